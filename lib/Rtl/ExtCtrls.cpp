#include "ExtCtrls.h"

#include "Handles.h"

namespace {

void StartExtCtrls() { RegisterComponentClass(TImage::StaticClassInfo()); }
void EndExtCtrls() { UnregisterComponentClass(TImage::StaticClassInfo()); }

} // namespace

const TUnitInfo RtlExtCtrlsUnit{"lib/Rtl/ExtCtrls", StartExtCtrls, EndExtCtrls};

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !::GetIconInfo(icon, &info))
        return SIZE{0, 0};
    // GetIconInfo hands out copies of both bitmaps; they are ours to delete.
    UniqueBitmap mask(info.hbmMask);
    UniqueBitmap color(info.hbmColor);
    BITMAP bitmap{};
    if (color && ::GetObjectW(color.get(), sizeof bitmap, &bitmap) != 0)
        return SIZE{bitmap.bmWidth, bitmap.bmHeight};
    // A monochrome icon stacks its AND and XOR masks in one bitmap of twice the height.
    if (mask && ::GetObjectW(mask.get(), sizeof bitmap, &bitmap) != 0)
        return SIZE{bitmap.bmWidth, bitmap.bmHeight / 2};
    return SIZE{0, 0};
}

const TClassInfo& TImage::StaticClassInfo() {
    using C = TImage;
    static const TClassInfo info{
        "TImage",
        &TGraphicControl::StaticClassInfo(),
        {
            BooleanProperty<C>("Stretch", &C::Stretch, &C::SetStretch),
            BooleanProperty<C>("Center", &C::Center, &C::SetCenter),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TImage(owner); },
    };
    return info;
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 105, 105);
}

void TImage::SetIcon(HICON icon) {
    if (icon == icon_)
        return;
    icon_ = icon;
    Invalidate();
}

void TImage::SetStretch(bool value) {
    if (value == stretch_)
        return;
    stretch_ = value;
    Invalidate();
}

void TImage::SetCenter(bool value) {
    if (value == center_)
        return;
    center_ = value;
    Invalidate();
}

void TImage::Paint() {
    if (icon_ == nullptr)
        return;
    HDC dc = Canvas().Handle();
    if (stretch_) {
        ::DrawIconEx(dc, 0, 0, icon_, Width(), Height(), 0, nullptr, DI_NORMAL);
        return;
    }
    const SIZE size = IconSize(icon_);
    int x = 0, y = 0;
    if (center_) {
        x = (Width() - size.cx) / 2;
        y = (Height() - size.cy) / 2;
    }
    // Width and height 0 draw the icon at its own size rather than the system's default size.
    ::DrawIconEx(dc, x, y, icon_, 0, 0, 0, nullptr, DI_NORMAL);
}
