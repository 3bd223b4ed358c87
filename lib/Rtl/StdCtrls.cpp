#include "StdCtrls.h"

#include <vector>

#include "Application.h"
#include "DeviceContexts.h"
#include "Memo.h"

namespace {

const std::vector<AnsiString>& AlignmentNames() {
    static const std::vector<AnsiString> names{"taLeftJustify", "taRightJustify", "taCenter"};
    return names;
}

UINT AlignmentFlags(TAlignment alignment) {
    switch (alignment) {
    case taRightJustify:
        return DT_RIGHT;
    case taCenter:
        return DT_CENTER;
    default:
        return DT_LEFT;
    }
}

void CollectButtons(TWinControl* parent, std::vector<TButton*>& buttons) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* control = parent->Controls(i);
        if (auto* button = dynamic_cast<TButton*>(control))
            buttons.push_back(button);
        if (auto* windowed = dynamic_cast<TWinControl*>(control))
            CollectButtons(windowed, buttons);
    }
}

void StartStdCtrls() {
    RegisterComponentClass(TLabel::StaticClassInfo());
    RegisterComponentClass(TButton::StaticClassInfo());
    RegisterComponentClass(TMemo::StaticClassInfo());
}

void EndStdCtrls() {
    UnregisterComponentClass(TMemo::StaticClassInfo());
    UnregisterComponentClass(TButton::StaticClassInfo());
    UnregisterComponentClass(TLabel::StaticClassInfo());
}

} // namespace

const TUnitInfo RtlStdCtrlsUnit{"lib/Rtl/StdCtrls", StartStdCtrls, EndStdCtrls};

// ---- TCustomLabel

const TClassInfo& TCustomLabel::StaticClassInfo() {
    using C = TCustomLabel;
    static const TClassInfo info{
        "TCustomLabel",
        &TGraphicControl::StaticClassInfo(),
        {
            AnsiStringProperty<C>("Caption", &C::Caption, &C::SetCaption),
            BooleanProperty<C>("WordWrap", &C::WordWrap, &C::SetWordWrap),
            BooleanProperty<C>("AutoSize", &C::AutoSize, &C::SetAutoSize),
            EnumProperty<C, TAlignment>("Alignment", &C::Alignment, &C::SetAlignment, AlignmentNames()),
            BooleanProperty<C>("ShowAccelChar", &C::ShowAccelChar, &C::SetShowAccelChar),
            BooleanProperty<C>("Transparent", &C::Transparent, &C::SetTransparent),
        },
    };
    return info;
}

const TClassInfo& TLabel::StaticClassInfo() {
    static const TClassInfo info{
        "TLabel", &TCustomLabel::StaticClassInfo(),
        {},       {},
        {},       [](TComponent* owner) -> TComponent* { return new TLabel(owner); },
    };
    return info;
}

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetWordWrap(bool value) {
    if (value == wordWrap_)
        return;
    wordWrap_ = value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool value) {
    if (value == autoSize_)
        return;
    autoSize_ = value;
    AdjustBounds();
}

void TCustomLabel::SetAlignment(TAlignment value) {
    if (value == alignment_)
        return;
    alignment_ = value;
    Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool value) {
    if (value == showAccelChar_)
        return;
    showAccelChar_ = value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetTransparent(bool value) {
    if (value == transparent_)
        return;
    transparent_ = value;
    Invalidate();
}

void TCustomLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

UINT TCustomLabel::LabelTextFlags(UINT flags) const {
    if (!showAccelChar_)
        flags |= DT_NOPREFIX;
    return DrawTextBiDiModeFlags(flags);
}

void TCustomLabel::DoDrawText(RECT& rect, UINT flags) {
    AnsiString text = Caption();
    // An empty label still measures one line high, or it could not be seen or clicked.
    if ((flags & DT_CALCRECT) != 0 && (text.empty() || (showAccelChar_ && text == "&")))
        text += ' ';
    ::DrawTextA(Canvas().Handle(), text.c_str(), static_cast<int>(text.size()), &rect, LabelTextFlags(flags));
}

void TCustomLabel::Paint() {
    TCanvas& canvas = Canvas();
    RECT rect{0, 0, Width(), Height()};
    if (!transparent_) {
        canvas.SetBrushColor(Color());
        canvas.FillRect(rect);
    }
    HDC dc = canvas.Handle();
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, Enabled() ? ColorToRGB(Font().Color()) : ::GetSysColor(COLOR_GRAYTEXT));
    DoDrawText(rect, DT_EXPANDTABS | (wordWrap_ ? DT_WORDBREAK : 0u) | AlignmentFlags(alignment_));
}

void TCustomLabel::AdjustBounds() {
    if (!autoSize_ || (ComponentState() & csLoading))
        return;
    RECT rect{0, 0, Width(), Height()};
    {
        // The screen's device context: the control may have no window yet.
        const WindowDC screen = WindowDC::OfClient(nullptr);
        Canvas().Font().AssignFont(Font());
        TLentCanvas lent(Canvas(), screen.get());
        DoDrawText(rect, DT_EXPANDTABS | DT_CALCRECT | (wordWrap_ ? DT_WORDBREAK : 0u));
    }
    int32_t left = Left();
    TAlignment alignment = alignment_;
    // Right-to-left alignment mirrors the sides: the label grows away from its anchored edge.
    if (UseRightToLeftAlignment() && alignment != taCenter)
        alignment = alignment == taLeftJustify ? taRightJustify : taLeftJustify;
    if (alignment == taRightJustify)
        left += Width() - rect.right;
    SetBounds(left, Top(), rect.right, rect.bottom);
}

void TCustomLabel::TextChanged() {
    Invalidate();
    AdjustBounds();
}

void TCustomLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustBounds();
}

void TCustomLabel::WndProc(TMessage& message) {
    switch (message.Msg) {
    case CM_ENABLEDCHANGED:
    case CM_BIDIMODECHANGED:
        Invalidate();
        break;
    default:
        break;
    }
    TGraphicControl::WndProc(message);
}

// ---- TButton

const TClassInfo& TButton::StaticClassInfo() {
    using C = TButton;
    static const TClassInfo info{
        "TButton",
        &TWinControl::StaticClassInfo(),
        {
            AnsiStringProperty<C>("Caption", &C::Caption, &C::SetCaption),
            BooleanProperty<C>("Default", &C::Default, &C::SetDefault),
            BooleanProperty<C>("Cancel", &C::Cancel, &C::SetCancel),
            IntegerProperty<C>("ModalResult", &C::ModalResult, &C::SetModalResult),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TButton(owner); },
    };
    return info;
}

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 75, 25);
}

void TButton::SetDefault(bool value) {
    if (value == default_)
        return;
    default_ = value;
    if (!HandleAllocated())
        return;
    HWND focus = ::GetFocus();
    if (TCustomForm* form = GetParentForm(this))
        UpdateDefaultLooks(form, focus);
    else
        ShowAsDefault(default_ || focus == HandleIfAllocated());
}

void TButton::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    CreateSubClass(params, "BUTTON");
    shownAsDefault_ = default_;
    params.Style |= WS_TABSTOP | (default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

void TButton::Click() {
    if (TCustomForm* form = GetParentForm(this))
        form->SetModalResult(modalResult_);
    TWinControl::Click();
}

void TButton::ShowAsDefault(bool value) {
    if (value == shownAsDefault_)
        return;
    shownAsDefault_ = value;
    if (HandleAllocated())
        ::SendMessageW(HandleIfAllocated(), BM_SETSTYLE, value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::UpdateDefaultLooks(TCustomForm* form, HWND focus) {
    if (form == nullptr)
        return;
    std::vector<TButton*> buttons;
    CollectButtons(form, buttons);
    bool buttonFocused = false;
    for (TButton* button : buttons)
        if (button->HandleAllocated() && button->HandleIfAllocated() == focus)
            buttonFocused = true;
    for (TButton* button : buttons) {
        const bool focused = button->HandleAllocated() && button->HandleIfAllocated() == focus;
        button->ShowAsDefault(focused || (button->default_ && !buttonFocused));
    }
}

void TButton::WndProc(TMessage& message) {
    switch (message.Msg) {
    case CN_COMMAND:
        if (HIWORD(message.WParam) == BN_CLICKED)
            Click();
        message.Result = 0;
        return;
    case CM_DIALOGKEY: {
        const auto key = static_cast<WORD>(message.WParam);
        // The form asks the focused control first, so a default button only sees Enter when
        // no button has the focus.
        const bool pressed = (key == VK_RETURN && (default_ || Focused())) || (key == VK_ESCAPE && cancel_);
        if (pressed && CanFocus()) {
            Click();
            message.Result = 1;
        } else {
            message.Result = 0;
        }
        return;
    }
    case WM_SETFOCUS:
        UpdateDefaultLooks(GetParentForm(this), HandleIfAllocated());
        break;
    case WM_KILLFOCUS:
        UpdateDefaultLooks(GetParentForm(this), reinterpret_cast<HWND>(message.WParam));
        break;
    default:
        break;
    }
    TWinControl::WndProc(message);
}
