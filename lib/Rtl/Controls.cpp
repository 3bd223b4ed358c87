#include "Controls.h"

#include <algorithm>
#include <set>

#include "ActnList.h"
#include "Application.h"
#include "DeviceContexts.h"
#include "FreeNotification.h"
#include "OSError.h"
#include "ResourceModule.h"
#include "TextConversion.h"
#include "WinText.h"

namespace {

// The window property that ties a window to its control; a property, not GWLP_USERDATA, because
// system classes taken over by controls may use their user data themselves.
constexpr WCHAR ControlProperty[] = L"RtlControl";

// The control whose window is being made: the system sends messages before CreateWindowEx
// returns, and the first of them binds the window to it.
thread_local TWinControl* creatingControl = nullptr;

// ANSI window classes registered by this process, by name.
std::set<AnsiString>& RegisteredClasses() {
    static std::set<AnsiString> classes;
    return classes;
}

void RegisterControlClass(const TCreateParams& params, WNDPROC procedure, WNDPROC& systemProcedure) {
    WNDCLASSA windowClass{};
    systemProcedure = nullptr;
    if (!params.SystemClassName.empty()) {
        if (!::GetClassInfoA(nullptr, params.SystemClassName.c_str(), &windowClass)) {
            const DWORD error = ::GetLastError();
            RaiseOSError(error, "GetClassInfoA", AnsiToWide(params.SystemClassName));
        }
        systemProcedure = windowClass.lpfnWndProc;
    } else {
        windowClass.style = params.ClassStyle;
        windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = params.Background;
    }
    if (RegisteredClasses().count(params.WinClassName) != 0)
        return;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = MainInstance();
    windowClass.lpszClassName = params.WinClassName.c_str();
    windowClass.lpszMenuName = nullptr;
    if (::RegisterClassA(&windowClass) == 0) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_CLASS_ALREADY_EXISTS)
            RaiseOSError(error, "RegisterClassA", AnsiToWide(params.WinClassName));
    }
    RegisteredClasses().insert(params.WinClassName);
}

} // namespace

AnsiString WindowTextA(HWND window) {
    const int length = ::GetWindowTextLengthA(window);
    AnsiString text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    const int copied = ::GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

TShiftState KeyboardShiftState() {
    TShiftState shift = 0;
    if (::GetKeyState(VK_SHIFT) < 0)
        shift |= ssShift;
    if (::GetKeyState(VK_CONTROL) < 0)
        shift |= ssCtrl;
    if (::GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    return shift;
}

namespace {

TPropInfo DefaultZero(TPropInfo info) {
    info.Default = 0;
    return info;
}

TPropInfo ColorProperty() {
    TPropInfo info =
        IntegerProperty<TControl>("Color", &TControl::Color, &TControl::SetColor, &ColorIdents());
    // The parent's colour is not the control's to store.
    info.Stored = [](const TPersistent& o) { return !static_cast<const TControl&>(o).ParentColor(); };
    return info;
}

TPropInfo AnchorsProperty() {
    TPropInfo info = SetProperty<TControl>("Anchors", &TControl::Anchors, &TControl::SetAnchors,
                                           {"akLeft", "akTop", "akRight", "akBottom"});
    info.Default = DefaultAnchors;
    return info;
}

// Sets a flag for the life of a scope, also when the scope is left by an exception.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

} // namespace

// ---- TControl

const TClassInfo& TControl::StaticClassInfo() {
    using C = TControl;
    static const TClassInfo info{
        "TControl",
        &TComponent::StaticClassInfo(),
        {
            IntegerProperty<C>("Left", &C::Left, &C::SetLeft),
            IntegerProperty<C>("Top", &C::Top, &C::SetTop),
            IntegerProperty<C>("Width", &C::Width, &C::SetWidth),
            IntegerProperty<C>("Height", &C::Height, &C::SetHeight),
            BooleanProperty<C>("Visible", &C::Visible, &C::SetVisible),
            BooleanProperty<C>("Enabled", &C::Enabled, &C::SetEnabled),
            AnsiStringProperty<C>("Hint", &C::Hint, &C::SetHint),
            BooleanProperty<C>("ShowHint", &C::ShowHint, &C::SetShowHint),
            ColorProperty(),
            ObjectProperty<C>("Font", &C::FontObject),
            BooleanProperty<C>("ParentFont", &C::ParentFont, &C::SetParentFont),
            BooleanProperty<C>("ParentColor", &C::ParentColor, &C::SetParentColor),
            AnchorsProperty(),
            ObjectProperty<C>("Constraints", &C::ConstraintsObject),
            EnumProperty<C, TAlign>("Align", &C::Align, &C::SetAlign,
                                    {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}),
            IntegerProperty<C>("HelpContext", &C::HelpContext, &C::SetHelpContext),
            EnumProperty<C, TBiDiMode>(
                "BiDiMode", &C::BiDiMode, &C::SetBiDiMode,
                {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"}),
            BooleanProperty<C>("ParentBiDiMode", &C::ParentBiDiMode, &C::SetParentBiDiMode),
            EventProperty<C>("OnClick", &C::OnClick, &C::OnClickName),
            EventProperty<C>("OnDblClick", &C::OnDblClick, &C::OnDblClickName),
        },
    };
    return info;
}

// ---- TSizeConstraints

const TClassInfo& TSizeConstraints::StaticClassInfo() {
    using C = TSizeConstraints;
    static const TClassInfo info{
        "TSizeConstraints",
        &TPersistent::StaticClassInfo(),
        {
            DefaultZero(IntegerProperty<C>("MaxHeight", &C::MaxHeight, &C::SetMaxHeight)),
            DefaultZero(IntegerProperty<C>("MaxWidth", &C::MaxWidth, &C::SetMaxWidth)),
            DefaultZero(IntegerProperty<C>("MinHeight", &C::MinHeight, &C::SetMinHeight)),
            DefaultZero(IntegerProperty<C>("MinWidth", &C::MinWidth, &C::SetMinWidth)),
        },
    };
    return info;
}

void TSizeConstraints::Change(int32_t& field, int32_t value) {
    value = std::max(value, 0);
    if (value == field)
        return;
    field = value;
    if (OnChange)
        OnChange();
}

int32_t TSizeConstraints::ConstrainWidth(int32_t width) const {
    if (maxWidth_ > 0)
        width = std::min(width, maxWidth_);
    return std::max(width, minWidth_);
}

int32_t TSizeConstraints::ConstrainHeight(int32_t height) const {
    if (maxHeight_ > 0)
        height = std::min(height, maxHeight_);
    return std::max(height, minHeight_);
}

// ---- TControl

TControl::TControl(TComponent* owner)
    : TComponent(owner), font_(std::make_unique<TFont>()),
      constraints_(std::make_unique<TSizeConstraints>()) {
    constraints_->OnChange = [this] { ApplyConstraints(); };
    WindowProc = [this](TMessage& message) { WndProc(message); };
    font_->OnChange = [this] {
        if (!takingParentFont_)
            parentFont_ = false;
        Perform(CM_FONTCHANGED);
    };
}

TControl::~TControl() {
    font_->OnChange = nullptr;
    constraints_->OnChange = nullptr;
    if (parent_ != nullptr)
        parent_->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_)
        return;
    if (parent_ != nullptr)
        parent_->RemoveControl(this);
    if (parent != nullptr)
        parent->InsertControl(this);
}

void TControl::SetParentComponent(TComponent* parent) {
    if (auto* windowed = dynamic_cast<TWinControl*>(parent))
        SetParent(windowed);
}

TComponent* TControl::GetParentComponent() const {
    return parent_;
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    width = constraints_->ConstrainWidth(width);
    height = constraints_->ConstrainHeight(height);
    if (left == left_ && top == top_ && width == width_ && height == height_) {
        if (!followingAnchors_)
            UpdateAnchorRules();
        return;
    }
    if (!IsWindowed() && parent_ != nullptr)
        Invalidate();
    left_ = left, top_ = top, width_ = width, height_ = height;
    if (!IsWindowed() && parent_ != nullptr)
        Invalidate();
    if (!followingAnchors_)
        UpdateAnchorRules();
    if (parent_ != nullptr && align_ != alNone)
        parent_->Realign();
}

void TControl::ApplyConstraints() {
    SetBounds(left_, top_, width_, height_);
}

void TControl::Loaded() {
    TComponent::Loaded();
    UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
    // While a description is read the parent's size is not settled; Loaded measures again.
    if (parent_ == nullptr || (ComponentState() & csLoading) != 0) {
        anchorRules_.Valid = false;
        return;
    }
    anchorRules_ =
        TAnchorRules{true, left_, top_, width_, height_, parent_->ClientWidth(), parent_->ClientHeight()};
}

void TControl::SetAnchors(TAnchors anchors) {
    anchors_ = anchors & (AnchorBit(akLeft) | AnchorBit(akTop) | AnchorBit(akRight) | AnchorBit(akBottom));
    UpdateAnchorRules();
}

void TControl::FollowAnchors(int32_t parentWidth, int32_t parentHeight) {
    if (!anchorRules_.Valid || align_ != alNone)
        return;
    const TAnchorRules& rules = anchorRules_;
    int32_t left = rules.Left, top = rules.Top, width = rules.Width, height = rules.Height;
    const int32_t grownWidth = parentWidth - rules.ParentWidth;
    const int32_t grownHeight = parentHeight - rules.ParentHeight;
    if (anchors_ & AnchorBit(akRight)) {
        if (anchors_ & AnchorBit(akLeft))
            width += grownWidth;
        else
            left += grownWidth;
    } else if ((anchors_ & AnchorBit(akLeft)) == 0) {
        // Anchored to neither side, the control keeps its centre's place in proportion.
        left += grownWidth / 2;
    }
    if (anchors_ & AnchorBit(akBottom)) {
        if (anchors_ & AnchorBit(akTop))
            height += grownHeight;
        else
            top += grownHeight;
    } else if ((anchors_ & AnchorBit(akTop)) == 0) {
        top += grownHeight / 2;
    }
    const FlagScope following(followingAnchors_);
    SetBounds(left, top, std::max(width, 0), std::max(height, 0));
}

void TControl::StoreBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    left_ = left, top_ = top, width_ = width, height_ = height;
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_)
        return;
    if (!IsWindowed() && parent_ != nullptr)
        Invalidate();
    visible_ = visible;
    Perform(CM_VISIBLECHANGED, visible ? 1 : 0);
    if (parent_ != nullptr && align_ != alNone)
        parent_->Realign();
}

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Perform(CM_ENABLEDCHANGED);
}

AnsiString TControl::GetText() const {
    return text_;
}

void TControl::SetText(const AnsiString& text) {
    if (text == text_)
        return;
    text_ = text;
    Perform(CM_TEXTCHANGED);
}

void TControl::SetColor(TColor color) {
    if (!takingParentColor_)
        parentColor_ = false;
    if (color == color_)
        return;
    color_ = color;
    Perform(CM_COLORCHANGED);
    Invalidate();
    if (IsWindowed()) {
        const auto& windowed = static_cast<const TWinControl&>(*this);
        for (int i = 0; i < windowed.ControlCount(); ++i)
            windowed.Controls(i)->TakeParentColor();
    }
}

void TControl::SetParentColor(bool value) {
    parentColor_ = value;
    if (value)
        TakeParentColor();
}

void TControl::TakeParentColor() {
    if (!parentColor_ || parent_ == nullptr)
        return;
    const FlagScope taking(takingParentColor_);
    SetColor(parent_->Color());
}

void TControl::SetParentFont(bool value) {
    parentFont_ = value;
    if (value)
        TakeParentFont();
}

void TControl::TakeParentFont() {
    if (!parentFont_ || parent_ == nullptr)
        return;
    takingParentFont_ = true;
    font_->AssignFont(parent_->Font());
    takingParentFont_ = false;
}

void TControl::SetAlign(TAlign align) {
    if (align == align_)
        return;
    align_ = align;
    if (parent_ != nullptr)
        parent_->Realign();
}

void TControl::SetBiDiMode(TBiDiMode mode) {
    parentBiDiMode_ = false;
    if (mode == biDiMode_)
        return;
    biDiMode_ = mode;
    Perform(CM_BIDIMODECHANGED);
}

void TControl::SetParentBiDiMode(bool value) {
    parentBiDiMode_ = value;
    if (value && parent_ != nullptr && parent_->BiDiMode() != biDiMode_) {
        biDiMode_ = parent_->BiDiMode();
        Perform(CM_BIDIMODECHANGED);
    }
}

UINT TControl::DrawTextBiDiModeFlags(UINT flags) const {
    if (UseRightToLeftAlignment()) {
        if ((flags & DT_RIGHT) == DT_RIGHT)
            flags &= ~static_cast<UINT>(DT_RIGHT);
        else if ((flags & DT_CENTER) == 0)
            flags |= DT_RIGHT;
    }
    return flags | DrawTextBiDiModeFlagsReadingOnly();
}

UINT TControl::DrawTextBiDiModeFlagsReadingOnly() const {
    return UseRightToLeftReading() ? DT_RTLREADING : 0;
}

void TControl::SetOnClick(TNotifyEvent handler, AnsiString name) {
    OnClick = std::move(handler);
    OnClickName = std::move(name);
}

void TControl::DblClick() {
    if (OnDblClick)
        OnDblClick(this);
}

void TControl::Click() {
    if (OnClick)
        OnClick(this);
    else if (actionLink_ != nullptr && (ComponentState() & csDesigning) == 0)
        actionLink_->Execute(this);
}

TBasicAction* TControl::Action() const {
    return actionLink_ != nullptr ? actionLink_->Action() : nullptr;
}

void TControl::SetAction(TBasicAction* action) {
    if (action == nullptr) {
        actionLink_.reset();
        return;
    }
    if (actionLink_ == nullptr)
        actionLink_ = CreateActionLink();
    actionLink_->SetAction(action);
    ActionChange(action, (ComponentState() & csLoading) != 0);
}

std::unique_ptr<TControlActionLink> TControl::CreateActionLink() {
    return std::make_unique<TControlActionLink>(*this);
}

bool TControl::IsCaptionStored() const {
    return actionLink_ == nullptr || !actionLink_->IsCaptionLinked();
}

bool TControl::IsHintStored() const {
    return actionLink_ == nullptr || !actionLink_->IsHintLinked();
}

void TControl::ActionChange(TObject* sender, bool checkDefaults) {
    auto* action = dynamic_cast<TCustomAction*>(sender);
    if (action == nullptr)
        return;
    if (!checkDefaults || Caption().empty())
        SetCaption(action->Caption());
    if (!checkDefaults || Enabled())
        SetEnabled(action->Enabled());
    if (!checkDefaults || Hint().empty())
        SetHint(action->Hint());
    if (!checkDefaults || Visible())
        SetVisible(action->Visible());
    if (!checkDefaults || HelpContext() == 0)
        SetHelpContext(action->HelpContext());
}

LRESULT TControl::Perform(UINT message, WPARAM wParam, LPARAM lParam) {
    TMessage record{message, wParam, lParam, 0};
    WindowProc(record);
    return record.Result;
}

void TControl::WndProc(TMessage& message) {
    switch (message.Msg) {
    case CM_TEXTCHANGED:
        TextChanged();
        break;
    case CM_VISIBLECHANGED:
        VisibleChanged();
        break;
    case CM_FONTCHANGED:
        FontChanged();
        break;
    case CM_ENABLEDCHANGED:
        EnabledChanged();
        break;
    default:
        break;
    }
    DefaultHandler(message);
}

void TControl::DefaultHandler(TMessage& message) {
    message.Result = 0;
}

void TControl::Invalidate() {
    if (parent_ == nullptr || !parent_->HandleAllocated())
        return;
    const RECT rect = BoundsRect();
    ::InvalidateRect(parent_->HandleIfAllocated(), &rect, TRUE);
}

void TControl::Repaint() {
    Invalidate();
    if (parent_ != nullptr && parent_->HandleAllocated())
        ::UpdateWindow(parent_->HandleIfAllocated());
}

bool TControl::Showing() const {
    return visible_ && parent_ != nullptr && parent_->Showing();
}

POINT TControl::ClientToScreen(POINT point) const {
    if (parent_ == nullptr)
        return point;
    point.x += left_;
    point.y += top_;
    return parent_->ClientToScreen(point);
}

POINT TControl::ScreenToClient(POINT point) const {
    if (parent_ == nullptr)
        return point;
    point = parent_->ScreenToClient(point);
    point.x -= left_;
    point.y -= top_;
    return point;
}

void TControl::VisibleChanged() {
    Invalidate();
}

void TControl::FontChanged() {
    Invalidate();
}

// ---- TWinControl

const TClassInfo& TWinControl::StaticClassInfo() {
    using C = TWinControl;
    static const TClassInfo info{
        "TWinControl",
        &TControl::StaticClassInfo(),
        {IntegerProperty<C>("TabOrder", &C::TabOrder, &C::SetTabOrder)},
    };
    return info;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // A form may hold this control as its active one.
    NotifyFreed(this);
    tabList_.clear();
    // Children outlive their parent when another component owns them; they must not reach back.
    for (TControl* control : controls_)
        control->parent_ = nullptr;
    controls_.clear();
    if (window_ != nullptr) {
        // No message of the dying window may reach this half-destroyed object.
        HWND window = window_;
        DetachWindow();
        ::DestroyWindow(window);
    }
}

TWinControl* TWinControl::FromHandle(HWND window) {
    return window != nullptr ? static_cast<TWinControl*>(::GetPropW(window, ControlProperty)) : nullptr;
}

void TWinControl::SetCreatingControl(TWinControl* control) {
    creatingControl = control;
}

void TWinControl::AttachWindow(HWND window) {
    window_ = window;
    ::SetPropW(window, ControlProperty, this);
}

void TWinControl::DetachWindow() {
    if (window_ != nullptr)
        ::RemovePropW(window_, ControlProperty);
    window_ = nullptr;
}

LRESULT CALLBACK TWinControl::StandardWindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                      LPARAM lParam) {
    TWinControl* control = FromHandle(window);
    if (control == nullptr && creatingControl != nullptr) {
        control = creatingControl;
        creatingControl = nullptr;
        control->AttachWindow(window);
    }
    if (control == nullptr)
        return ::IsWindowUnicode(window) ? ::DefWindowProcW(window, message, wParam, lParam)
                                         : ::DefWindowProcA(window, message, wParam, lParam);
    TMessage record{message, wParam, lParam, 0};
    // No exception may cross the system's frames: it is handed to the application instead.
    DispatchEvent(control, [&] { control->WindowProc(record); });
    return record.Result;
}

HWND TWinControl::Handle() {
    if (window_ == nullptr) {
        CreateWnd();
        if (window_ == nullptr)
            throw EInvalidOperation("Control '" + Name() + "' has no window");
    }
    return window_;
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.Caption = AnsiToWide(text_);
    params.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (Visible())
        params.Style |= WS_VISIBLE;
    if (!Enabled())
        params.Style |= WS_DISABLED;
    params.X = Left();
    params.Y = Top();
    params.Width = Width();
    params.Height = Height();
    params.WndParent = Parent() != nullptr ? Parent()->Handle() : nullptr;
    params.WinClassName = ClassName();
}

void TWinControl::CreateSubClass(TCreateParams& params, const char* systemClass) {
    params.SystemClassName = systemClass;
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    WNDPROC systemProcedure = nullptr;
    RegisterControlClass(params, &TWinControl::StandardWindowProcedure, systemProcedure);
    if (!params.SystemClassName.empty())
        defaultProcedure_ = systemProcedure;
    CreateWindowHandle(params);
    if (window_ == nullptr)
        RaiseLastOSError();
    ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), FALSE);
    AnchorControls();
    for (TControl* control : controls_)
        if (auto* child = dynamic_cast<TWinControl*>(control); child != nullptr && !child->HandleAllocated())
            child->CreateWnd();
    ApplyTabOrder();
    if (!controls_.empty())
        Realign();
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
    SetCreatingControl(this);
    HWND window =
        ::CreateWindowExA(params.ExStyle, params.WinClassName.c_str(), WideToAnsi(params.Caption).c_str(),
                          params.Style, params.X, params.Y, params.Width, params.Height, params.WndParent,
                          nullptr, MainInstance(), params.Param);
    const DWORD error = ::GetLastError();
    SetCreatingControl(nullptr);
    if (window == nullptr)
        RaiseOSError(error, "CreateWindowExA", AnsiToWide(params.WinClassName));
    if (window_ != window)
        AttachWindow(window);
}

void TWinControl::DestroyWnd() {
    if (window_ != nullptr)
        text_ = TWinControl::GetText();
    DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle() {
    if (window_ != nullptr)
        ::DestroyWindow(window_);
    // WM_NCDESTROY detached it; a window destroyed without it is forgotten here.
    DetachWindow();
}

void TWinControl::DestroyHandle() {
    if (window_ != nullptr)
        DestroyWnd();
}

void TWinControl::RecreateWnd() {
    if (window_ == nullptr)
        return;
    const bool wasVisible = ::IsWindowVisible(window_) != FALSE;
    DestroyHandle();
    HandleNeeded();
    if (wasVisible && !::IsWindowVisible(window_))
        ::ShowWindow(window_, SW_SHOWNA);
}

void TWinControl::InsertControl(TControl* control) {
    controls_.push_back(control);
    control->parent_ = this;
    auto* windowed = dynamic_cast<TWinControl*>(control);
    if (windowed != nullptr)
        tabList_.push_back(windowed);
    control->TakeParentFont();
    control->TakeParentColor();
    control->UpdateAnchorRules();
    if (control->ParentBiDiMode() && control->BiDiMode() != BiDiMode())
        control->SetParentBiDiMode(true);
    if (window_ != nullptr) {
        if (auto* child = dynamic_cast<TWinControl*>(control); child != nullptr && !child->HandleAllocated())
            child->CreateWnd();
        else
            control->Invalidate();
    }
    if (control->Align() != alNone)
        Realign();
}

void TWinControl::RemoveControl(TControl* control) {
    const auto found = std::find(controls_.begin(), controls_.end(), control);
    if (found == controls_.end())
        return;
    control->Invalidate();
    controls_.erase(found);
    std::erase(tabList_, control);
    control->parent_ = nullptr;
    control->anchorRules_.Valid = false;
    if (control->Align() != alNone)
        Realign();
}

void TWinControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    // Compared after the constraints had their say: re-applying them changes the size.
    const RECT before = BoundsRect();
    TControl::SetBounds(left, top, width, height);
    const RECT after = BoundsRect();
    const bool changed = !::EqualRect(&before, &after);
    if (changed)
        UpdateWindowBounds();
    // With a window, WM_SIZE brings the children along.
    if (changed && window_ == nullptr)
        AnchorControls();
}

void TWinControl::AnchorControls() {
    const int32_t width = ClientWidth();
    const int32_t height = ClientHeight();
    for (TControl* control : controls_)
        control->FollowAnchors(width, height);
}

void TWinControl::Loaded() {
    TControl::Loaded();
    if (pendingTabOrder_ >= 0)
        SetTabOrder(std::exchange(pendingTabOrder_, -1));
}

int32_t TWinControl::TabOrder() const {
    if (Parent() == nullptr)
        return -1;
    const auto& list = Parent()->tabList_;
    const auto found = std::find(list.begin(), list.end(), this);
    return found == list.end() ? -1 : static_cast<int32_t>(found - list.begin());
}

void TWinControl::SetTabOrder(int32_t value) {
    // The siblings a description names later are not there yet: the order waits for Loaded.
    if (Parent() == nullptr || (ComponentState() & csLoading) != 0) {
        pendingTabOrder_ = value;
        return;
    }
    auto& list = Parent()->tabList_;
    std::erase(list, this);
    const auto count = static_cast<int32_t>(list.size());
    list.insert(list.begin() + (value < 0 || value > count ? count : value), this);
    Parent()->ApplyTabOrder();
}

void TWinControl::ApplyTabOrder() {
    if (window_ == nullptr)
        return;
    HWND previous = HWND_TOP;
    for (TWinControl* control : tabList_) {
        if (control->window_ == nullptr)
            continue;
        ::SetWindowPos(control->window_, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control->window_;
    }
}

void TWinControl::UpdateWindowBounds() {
    if (window_ != nullptr)
        ::SetWindowPos(window_, nullptr, Left(), Top(), Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

int32_t TWinControl::ClientWidth() const {
    if (window_ == nullptr)
        return Width();
    RECT client;
    ::GetClientRect(window_, &client);
    return client.right;
}

int32_t TWinControl::ClientHeight() const {
    if (window_ == nullptr)
        return Height();
    RECT client;
    ::GetClientRect(window_, &client);
    return client.bottom;
}

void TWinControl::SetClientWidth(int32_t value) {
    SetWidth(Width() - ClientWidth() + value);
}

void TWinControl::SetClientHeight(int32_t value) {
    SetHeight(Height() - ClientHeight() + value);
}

AnsiString TWinControl::GetText() const {
    if (window_ == nullptr)
        return text_;
    return WindowTextA(window_);
}

void TWinControl::SetText(const AnsiString& text) {
    if (window_ == nullptr) {
        TControl::SetText(text);
        return;
    }
    if (GetText() == text)
        return;
    text_ = text;
    ::SetWindowTextA(window_, text.c_str());
    Perform(CM_TEXTCHANGED);
}

void TWinControl::TextChanged() {}

void TWinControl::Invalidate() {
    if (window_ != nullptr)
        ::InvalidateRect(window_, nullptr, TRUE);
}

bool TWinControl::Showing() const {
    return window_ != nullptr && ::IsWindowVisible(window_) != FALSE;
}

void TWinControl::SetFocus() {
    ::SetFocus(Handle());
}

bool TWinControl::Focused() const {
    return window_ != nullptr && ::GetFocus() == window_;
}

bool TWinControl::CanFocus() const {
    return window_ != nullptr && ::IsWindowVisible(window_) && ::IsWindowEnabled(window_);
}

void TWinControl::EnabledChanged() {
    if (window_ != nullptr)
        ::EnableWindow(window_, Enabled() ? TRUE : FALSE);
}

void TWinControl::VisibleChanged() {
    if (window_ != nullptr)
        ::ShowWindow(window_, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::FontChanged() {
    if (window_ != nullptr)
        ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), TRUE);
    for (TControl* control : controls_)
        if (control->ParentFont())
            control->TakeParentFont();
}

void TWinControl::Realign() {
    if (realigning_ || window_ == nullptr)
        return;
    realigning_ = true;
    RECT rect;
    ::GetClientRect(window_, &rect);
    AlignControls(rect);
    realigning_ = false;
}

void TWinControl::AlignControls(RECT& rect) {
    for (TAlign pass : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (TControl* control : controls_) {
            if (control->Align() != pass || !control->Visible())
                continue;
            const int32_t width = control->Width();
            const int32_t height = control->Height();
            switch (pass) {
            case alTop:
                control->SetBounds(rect.left, rect.top, rect.right - rect.left, height);
                rect.top += height;
                break;
            case alBottom:
                control->SetBounds(rect.left, rect.bottom - height, rect.right - rect.left, height);
                rect.bottom -= height;
                break;
            case alLeft:
                control->SetBounds(rect.left, rect.top, width, rect.bottom - rect.top);
                rect.left += width;
                break;
            case alRight:
                control->SetBounds(rect.right - width, rect.top, width, rect.bottom - rect.top);
                rect.right -= width;
                break;
            default:
                control->SetBounds(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
                break;
            }
        }
    }
}

void TWinControl::PaintWindow(HDC dc) {
    TMessage paint{WM_PAINT, reinterpret_cast<WPARAM>(dc), 0, 0};
    DefaultHandler(paint);
}

void TWinControl::PaintControls(HDC dc) {
    for (TControl* control : controls_)
        if (auto* graphic = dynamic_cast<TGraphicControl*>(control); graphic != nullptr && graphic->Visible())
            graphic->PaintTo(dc);
}

bool TWinControl::DoKeyDown(WORD& key, TShiftState shift) {
    TWinControl* top = this;
    while (top->Parent() != nullptr)
        top = top->Parent();
    if (top != this && top->PreviewKeyDown(key, shift))
        return true;
    KeyDown(key, shift);
    return key == 0;
}

bool TWinControl::PreviewKeyDown(WORD&, TShiftState) {
    return false;
}

bool TWinControl::WantsKey(WORD) const {
    return false;
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

void TWinControl::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_PAINT: {
        const bool hasGraphicChildren =
            std::any_of(controls_.begin(), controls_.end(),
                        [](TControl* control) { return dynamic_cast<TGraphicControl*>(control) != nullptr; });
        if (!hasGraphicChildren)
            break;
        if (message.WParam != 0) {
            const auto dc = reinterpret_cast<HDC>(message.WParam);
            PaintWindow(dc);
            PaintControls(dc);
        } else {
            const PaintScope paint(window_);
            PaintWindow(paint.dc());
            PaintControls(paint.dc());
        }
        message.Result = 0;
        return;
    }
    case WM_ERASEBKGND:
        if (defaultProcedure_ != nullptr)
            break;
        {
            const UniqueBrush brush(::CreateSolidBrush(ColorToRGB(Color())));
            RECT client;
            ::GetClientRect(window_, &client);
            ::FillRect(reinterpret_cast<HDC>(message.WParam), &client, brush.get());
        }
        message.Result = 1;
        return;
    case WM_COMMAND:
        if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(message.LParam)); child != nullptr) {
            message.Result = child->Perform(CN_COMMAND, message.WParam, message.LParam);
            return;
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        WORD key = static_cast<WORD>(message.WParam);
        if (DoKeyDown(key, KeyboardShiftState())) {
            message.Result = 0;
            return;
        }
        if ((key == VK_RETURN || key == VK_ESCAPE || key == VK_TAB) && !WantsKey(key)) {
            TWinControl* top = this;
            while (top->Parent() != nullptr)
                top = top->Parent();
            if (top->Perform(CM_DIALOGKEY, key, message.LParam) != 0) {
                message.Result = 0;
                return;
            }
        }
        message.WParam = key;
        break;
    }
    case WM_SIZE:
        TControl::WndProc(message);
        AnchorControls();
        Realign();
        return;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (TWinControl* child = FromHandle(reinterpret_cast<HWND>(message.LParam));
            child != nullptr && child != this) {
            if (const LRESULT brush = child->Perform(CN_BASE + message.Msg, message.WParam, message.LParam)) {
                message.Result = brush;
                return;
            }
        }
        break;
    case WM_LBUTTONDBLCLK:
        DblClick();
        break;
    case WM_SETFOCUS: {
        TWinControl* top = this;
        while (top->Parent() != nullptr)
            top = top->Parent();
        if (top != this)
            top->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(this));
        break;
    }
    case WM_WINDOWPOSCHANGED: {
        const auto* position = reinterpret_cast<const WINDOWPOS*>(message.LParam);
        if ((position->flags & SWP_NOSIZE) == 0 || (position->flags & SWP_NOMOVE) == 0) {
            RECT rect;
            ::GetWindowRect(window_, &rect);
            if (HWND parent = ::GetParent(window_);
                parent != nullptr && (::GetWindowLongW(window_, GWL_STYLE) & WS_CHILD))
                ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
            StoreBounds(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        }
        break;
    }
    case WM_NCDESTROY:
        TControl::WndProc(message);
        DetachWindow();
        return;
    default:
        break;
    }
    TControl::WndProc(message);
}

void TWinControl::DefaultHandler(TMessage& message) {
    // The framework's own notifications mean nothing to the system.
    if (window_ == nullptr || message.Msg >= CM_BASE) {
        message.Result = 0;
        return;
    }
    const bool unicode = ::IsWindowUnicode(window_) != FALSE;
    if (defaultProcedure_ != nullptr)
        message.Result =
            unicode
                ? ::CallWindowProcW(defaultProcedure_, window_, message.Msg, message.WParam, message.LParam)
                : ::CallWindowProcA(defaultProcedure_, window_, message.Msg, message.WParam, message.LParam);
    else
        message.Result = unicode ? ::DefWindowProcW(window_, message.Msg, message.WParam, message.LParam)
                                 : ::DefWindowProcA(window_, message.Msg, message.WParam, message.LParam);
}

// ---- Canvases

HDC TCanvas::Handle() {
    if (dc_ == nullptr)
        CreateHandle();
    if (dc_ != nullptr)
        SelectFont();
    return dc_;
}

void TCanvas::SetHandle(HDC dc) {
    fontSelection_.reset();
    dc_ = dc;
}

void TCanvas::SelectFont() {
    // The first selection remembers the DC's own font; later ones only follow a changed font.
    if (!fontSelection_)
        fontSelection_.emplace(dc_, font_.Handle());
    else
        ::SelectObject(dc_, font_.Handle());
}

void TCanvas::ReleaseHandle() {
    SetHandle(nullptr);
}

SIZE TCanvas::TextExtent(const AnsiString& text) {
    SIZE size{0, 0};
    ::GetTextExtentPoint32A(Handle(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

SIZE TCanvas::TextExtentWide(const WideString& text) {
    SIZE size{0, 0};
    ::GetTextExtentPoint32W(Handle(), WinText(text), static_cast<int>(text.size()), &size);
    return size;
}

void TCanvas::FillRect(const RECT& rect) {
    const UniqueBrush brush(::CreateSolidBrush(ColorToRGB(brushColor_)));
    ::FillRect(Handle(), &rect, brush.get());
}

TControlCanvas::~TControlCanvas() {
    ReleaseHandle();
}

void TControlCanvas::CreateHandle() {
    TWinControl* windowed = control_.IsWindowed() ? static_cast<TWinControl*>(&control_) : control_.Parent();
    if (windowed == nullptr)
        return;
    lent_ = WindowDC::OfClient(windowed->Handle());
    SetHandle(lent_.get());
}

void TControlCanvas::ReleaseHandle() {
    // The font goes out of the DC before the DC goes back.
    TCanvas::ReleaseHandle();
    lent_.reset();
}

// ---- TGraphicControl

const TClassInfo& TGraphicControl::StaticClassInfo() {
    static const TClassInfo info{"TGraphicControl", &TControl::StaticClassInfo()};
    return info;
}

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>(*this)) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::PaintTo(HDC dc) {
    const SavedDCState saved(dc);
    ::SetViewportOrgEx(dc, Left(), Top(), nullptr);
    ::IntersectClipRect(dc, 0, 0, Width(), Height());
    canvas_->Font().AssignFont(Font());
    // Declared after the saved state: the canvas lets go of the DC before the state comes back.
    const TLentCanvas lent(*canvas_, dc);
    Paint();
}
