#include "VynStdCtrls.h"

#include "VynClasses.h"
#include "VynWindows.h"

namespace {

void StartVynStdCtrls() {
    RegisterComponentClass(TVynLabel::StaticClassInfo());
    RegisterComponentClass(TVynButton::StaticClassInfo());
    RegisterComponentClass(TVynImage::StaticClassInfo());
}

void EndVynStdCtrls() {
    UnregisterComponentClass(TVynImage::StaticClassInfo());
    UnregisterComponentClass(TVynButton::StaticClassInfo());
    UnregisterComponentClass(TVynLabel::StaticClassInfo());
}

} // namespace

const TUnitInfo VynStdCtrlsUnit{"lib/VynUnicode/VynStdCtrls", StartVynStdCtrls, EndVynStdCtrls};

// ---- TVynLabel

const TClassInfo& TVynLabel::StaticClassInfo() {
    using C = TVynLabel;
    static const TClassInfo info{
        "TVynLabel",
        &TLabel::StaticClassInfo(),
        {
            WideStringProperty<C>("Caption", &C::Caption, &C::SetCaption),
            WideStringProperty<C>("Hint", &C::Hint, &C::SetHint),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TVynLabel(owner); },
    };
    return info;
}

void TVynLabel::DefineProperties(TFiler& filer) {
    TLabel::DefineProperties(filer);
    DefineWideProperties(filer, *this);
}

void TVynLabel::DoDrawText(RECT& rect, UINT flags) {
    WideString text = Caption();
    // An empty label still measures one line high, or it could not be seen or clicked.
    if ((flags & DT_CALCRECT) != 0 && (text.empty() || (ShowAccelChar() && text == u"&")))
        text += u' ';
    VynDrawTextW(Canvas().Handle(), text.c_str(), static_cast<int>(text.size()), &rect, LabelTextFlags(flags));
}

// ---- TVynButton

const TClassInfo& TVynButton::StaticClassInfo() {
    using C = TVynButton;
    static const TClassInfo info{
        "TVynButton",
        &TButton::StaticClassInfo(),
        {
            WideStringProperty<C>("Caption", &C::Caption, &C::SetCaption),
            WideStringProperty<C>("Hint", &C::Hint, &C::SetHint),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TVynButton(owner); },
    };
    return info;
}

void TVynButton::DefineProperties(TFiler& filer) {
    TButton::DefineProperties(filer);
    DefineWideProperties(filer, *this);
}

// ---- TVynImage

const TClassInfo& TVynImage::StaticClassInfo() {
    using C = TVynImage;
    static const TClassInfo info{
        "TVynImage",
        &TImage::StaticClassInfo(),
        {
            WideStringProperty<C>("Hint", &C::Hint, &C::SetHint),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TVynImage(owner); },
    };
    return info;
}

void TVynImage::DefineProperties(TFiler& filer) {
    TImage::DefineProperties(filer);
    DefineWideProperties(filer, *this);
}
