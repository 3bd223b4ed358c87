#include "ComCtrls.h"

#include <commctrl.h>

#include <algorithm>

#include "Format.h"
#include "FreeNotification.h"
#include "OSError.h"
#include "SystemLibraries.h"

namespace {

// The status bar refuses more parts than this.
constexpr size_t MaxStatusParts = 256;
constexpr int32_t DefaultStatusBarHeight = 19;
constexpr int32_t DefaultToolBarHeight = 29;

// The framework leaves a windowed control's window under the parent it was made in; a bar that
// is moved to another parent (an MDI child's bar docked into the main form) takes its window
// along, or gives it up until the new parent has one.
void FollowParentWindow(TWinControl& control) {
    HWND window = control.HandleIfAllocated();
    if (window == nullptr)
        return;
    TWinControl* parent = control.Parent();
    if (parent == nullptr || !parent->HandleAllocated()) {
        control.DestroyHandle();
        return;
    }
    HWND parentWindow = parent->HandleIfAllocated();
    if (::GetParent(window) != parentWindow)
        ::SetParent(window, parentWindow);
    ::SetWindowPos(window, nullptr, control.Left(), control.Top(), control.Width(), control.Height(),
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

[[noreturn]] void PanelIndexError(int index) {
    throw EListError(Format("List index out of bounds (%d)", {index}));
}

void StartComCtrls() {
    RegisterComponentClass(TStatusBar::StaticClassInfo());
    RegisterComponentClass(TToolBar::StaticClassInfo());
    RegisterComponentClass(TToolButton::StaticClassInfo());
}

void EndComCtrls() {
    UnregisterComponentClass(TToolButton::StaticClassInfo());
    UnregisterComponentClass(TToolBar::StaticClassInfo());
    UnregisterComponentClass(TStatusBar::StaticClassInfo());
}

} // namespace

const TUnitInfo RtlComCtrlsUnit{"lib/Rtl/ComCtrls", StartComCtrls, EndComCtrls};

void InitCommonControlClasses(DWORD classes) {
    static DWORD initialised = 0;
    if ((initialised & classes) == classes)
        return;
    // COMCTL32.DLL is not among the libraries the system always takes from its own folder: bound
    // at run time from there (or from the Common Controls assembly the manifest names).
    static const TSystemLibrary commonControls(L"comctl32.dll");
    const auto initialise = commonControls.Get<decltype(&::InitCommonControlsEx)>("InitCommonControlsEx");
    INITCOMMONCONTROLSEX init{sizeof init, classes};
    if (!initialise(&init))
        RaiseLastOSError("InitCommonControlsEx");
    initialised |= classes;
}

// ---- Status bar panels

void TStatusPanel::SetWidth(int32_t width) {
    if (width == width_)
        return;
    width_ = width;
    bar_.UpdatePanels();
}

void TStatusPanel::SetText(const AnsiString& text) {
    if (text == text_)
        return;
    text_ = text;
    bar_.UpdatePanels();
}

int TStatusPanel::Index() const {
    const auto& panels = bar_.Panels().panels_;
    for (size_t i = 0; i < panels.size(); ++i)
        if (panels[i].get() == this)
            return static_cast<int>(i);
    return -1;
}

TStatusPanel& TStatusPanels::Items(int index) const {
    if (index < 0 || index >= Count())
        PanelIndexError(index);
    return *panels_[static_cast<size_t>(index)];
}

TStatusPanel& TStatusPanels::Add(int32_t width) {
    panels_.push_back(std::make_unique<TStatusPanel>(bar_, width));
    bar_.UpdatePanels();
    return *panels_.back();
}

void TStatusPanels::Delete(int index) {
    if (index < 0 || index >= Count())
        PanelIndexError(index);
    panels_.erase(panels_.begin() + index);
    bar_.UpdatePanels();
}

void TStatusPanels::Clear() {
    panels_.clear();
    bar_.UpdatePanels();
}

int32_t TStatusPanels::TotalWidth() const {
    int32_t total = 0;
    for (const auto& panel : panels_)
        total += panel->Width();
    return total;
}

// ---- TStatusBar

const TClassInfo& TStatusBar::StaticClassInfo() {
    using C = TStatusBar;
    static const TClassInfo info{
        "TStatusBar",
        &TWinControl::StaticClassInfo(),
        {
            BooleanProperty<C>("SimplePanel", &C::SimplePanel, &C::SetSimplePanel),
            AnsiStringProperty<C>("SimpleText", &C::SimpleText, &C::SetSimpleText),
            BooleanProperty<C>("SizeGrip", &C::SizeGrip, &C::SetSizeGrip),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TStatusBar(owner); },
    };
    return info;
}

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner), panels_(*this) {
    SetBounds(0, 0, 150, DefaultStatusBarHeight);
    SetAlign(alBottom);
}

TStatusBar::~TStatusBar() {
    NotifyFreed(this);
}

void TStatusBar::SetSimplePanel(bool value) {
    if (value == simplePanel_)
        return;
    simplePanel_ = value;
    UpdatePanels();
}

void TStatusBar::SetSimpleText(const AnsiString& text) {
    if (text == simpleText_)
        return;
    simpleText_ = text;
    if (HandleAllocated() && simplePanel_)
        ::SendMessageA(HandleIfAllocated(), SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(simpleText_.c_str()));
}

void TStatusBar::SetSizeGrip(bool value) {
    if (value == sizeGrip_)
        return;
    sizeGrip_ = value;
    RecreateWnd();
}

void TStatusBar::CreateParams(TCreateParams& params) {
    InitCommonControlClasses(ICC_BAR_CLASSES);
    TWinControl::CreateParams(params);
    CreateSubClass(params, STATUSCLASSNAMEA);
    // The framework places the bar; the system would otherwise pin it to its parent's bottom.
    params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE;
    if (sizeGrip_)
        params.Style |= SBARS_SIZEGRIP;
}

void TStatusBar::CreateWnd() {
    TWinControl::CreateWnd();
    if (Color() != clBtnFace)
        ::SendMessageW(HandleIfAllocated(), SB_SETBKCOLOR, 0, static_cast<LPARAM>(ColorToRGB(Color())));
    UpdatePanels();
}

void TStatusBar::UpdatePanels() {
    if (!HandleAllocated())
        return;
    HWND window = HandleIfAllocated();
    if (simplePanel_) {
        ::SendMessageW(window, SB_SIMPLE, TRUE, 0);
        ::SendMessageA(window, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(simpleText_.c_str()));
        return;
    }
    ::SendMessageW(window, SB_SIMPLE, FALSE, 0);
    const size_t count = std::min(static_cast<size_t>(std::max(panels_.Count(), 1)), MaxStatusParts);
    std::vector<int> edges(count, -1);
    int32_t right = 0;
    for (size_t i = 0; i + 1 < count; ++i) {
        right += panels_.Items(static_cast<int>(i)).Width();
        edges[i] = right;
    }
    ::SendMessageW(window, SB_SETPARTS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(edges.data()));
    for (size_t i = 0; i < count && static_cast<int>(i) < panels_.Count(); ++i)
        ::SendMessageA(window, SB_SETTEXTA, static_cast<WPARAM>(i),
                       reinterpret_cast<LPARAM>(panels_.Items(static_cast<int>(i)).Text().c_str()));
}

void TStatusBar::SetParent(TWinControl* parent) {
    TWinControl::SetParent(parent);
    FollowParentWindow(*this);
}

void TStatusBar::WndProc(TMessage& message) {
    if (message.Msg == CM_COLORCHANGED && HandleAllocated())
        ::SendMessageW(HandleIfAllocated(), SB_SETBKCOLOR, 0,
                       Color() == clBtnFace ? static_cast<LPARAM>(CLR_DEFAULT)
                                            : static_cast<LPARAM>(ColorToRGB(Color())));
    TWinControl::WndProc(message);
}

// ---- TToolButton

const TClassInfo& TToolButton::StaticClassInfo() {
    using C = TToolButton;
    static const TClassInfo info{
        "TToolButton",
        &TComponent::StaticClassInfo(),
        {
            AnsiStringProperty<C>("Caption", &C::Caption, &C::SetCaption),
            BooleanProperty<C>("Enabled", &C::Enabled, &C::SetEnabled),
            EventProperty<C>("OnClick", &C::OnClick, &C::OnClickName),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TToolButton(owner); },
    };
    return info;
}

TToolButton::TToolButton(TComponent* owner) : TComponent(owner) {}

TToolButton::~TToolButton() {
    SetToolBar(nullptr);
}

void TToolButton::SetToolBar(TToolBar* bar) {
    if (bar == toolBar_)
        return;
    if (toolBar_ != nullptr)
        toolBar_->RemoveButton(this);
    if (bar != nullptr)
        bar->InsertButton(this);
}

void TToolButton::SetCaption(const AnsiString& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    if (toolBar_ != nullptr)
        toolBar_->ButtonChanged(this);
}

void TToolButton::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (toolBar_ != nullptr && toolBar_->HandleAllocated())
        ::SendMessageW(toolBar_->HandleIfAllocated(), TB_ENABLEBUTTON, static_cast<WPARAM>(toolBar_->CommandOf(this)),
                       MAKELPARAM(enabled ? TRUE : FALSE, 0));
}

int TToolButton::Index() const {
    if (toolBar_ == nullptr)
        return -1;
    const auto found = std::find(toolBar_->buttons_.begin(), toolBar_->buttons_.end(), this);
    return static_cast<int>(found - toolBar_->buttons_.begin());
}

void TToolButton::Click() {
    if (OnClick)
        OnClick(this);
}

void TToolButton::SetParentComponent(TComponent* parent) {
    SetToolBar(dynamic_cast<TToolBar*>(parent));
}

TComponent* TToolButton::GetParentComponent() const {
    return toolBar_;
}

// ---- TToolBar

const TClassInfo& TToolBar::StaticClassInfo() {
    static const TClassInfo info{
        "TToolBar",
        &TWinControl::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TToolBar(owner); },
    };
    return info;
}

TToolBar::TToolBar(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 150, DefaultToolBarHeight);
    SetAlign(alTop);
}

TToolBar::~TToolBar() {
    NotifyFreed(this);
    // Buttons owned elsewhere outlive the bar; they must not reach back.
    for (TToolButton* button : buttons_)
        button->toolBar_ = nullptr;
    buttons_.clear();
}

int TToolBar::CommandOf(const TToolButton* button) const {
    const auto found = std::find(buttons_.begin(), buttons_.end(), button);
    return found == buttons_.end() ? 0 : static_cast<int>(found - buttons_.begin()) + 1;
}

void TToolBar::InsertButton(TToolButton* button) {
    buttons_.push_back(button);
    button->toolBar_ = this;
    RebuildButtons();
}

void TToolBar::RemoveButton(TToolButton* button) {
    std::erase(buttons_, button);
    button->toolBar_ = nullptr;
    RebuildButtons();
}

void TToolBar::ButtonChanged(TToolButton*) {
    RebuildButtons();
}

// Command identifiers follow the buttons' order, so every change of the list rebuilds the
// window's buttons.
void TToolBar::RebuildButtons() {
    if (!HandleAllocated() || (ComponentState() & csDestroying))
        return;
    HWND window = HandleIfAllocated();
    for (LRESULT count = ::SendMessageW(window, TB_BUTTONCOUNT, 0, 0); count > 0; --count)
        ::SendMessageW(window, TB_DELETEBUTTON, 0, 0);
    if (buttons_.empty())
        return;
    std::vector<TBBUTTON> entries(buttons_.size());
    for (size_t i = 0; i < buttons_.size(); ++i) {
        TBBUTTON& entry = entries[i];
        entry.iBitmap = I_IMAGENONE;
        entry.idCommand = static_cast<int>(i) + 1;
        entry.fsState = buttons_[i]->Enabled() ? TBSTATE_ENABLED : 0;
        entry.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
        // The control copies the text while it handles the message.
        entry.iString = reinterpret_cast<INT_PTR>(buttons_[i]->caption_.c_str());
    }
    ::SendMessageA(window, TB_ADDBUTTONSA, static_cast<WPARAM>(entries.size()),
                   reinterpret_cast<LPARAM>(entries.data()));
}

void TToolBar::CreateParams(TCreateParams& params) {
    InitCommonControlClasses(ICC_BAR_CLASSES);
    TWinControl::CreateParams(params);
    CreateSubClass(params, TOOLBARCLASSNAMEA);
    params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | TBSTYLE_FLAT | TBSTYLE_LIST |
                    TBSTYLE_TRANSPARENT;
}

void TToolBar::CreateWnd() {
    TWinControl::CreateWnd();
    HWND window = HandleIfAllocated();
    ::SendMessageW(window, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // Text buttons only: no room for images.
    ::SendMessageW(window, TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    RebuildButtons();
}

void TToolBar::SetParent(TWinControl* parent) {
    TWinControl::SetParent(parent);
    FollowParentWindow(*this);
    if (HandleAllocated() && Parent() != nullptr)
        ::SendMessageW(HandleIfAllocated(), TB_SETPARENT, reinterpret_cast<WPARAM>(Parent()->HandleIfAllocated()), 0);
}

void TToolBar::WndProc(TMessage& message) {
    if (message.Msg == CN_COMMAND) {
        const int command = LOWORD(message.WParam);
        if (command >= 1 && command <= ButtonCount()) {
            Buttons(command - 1)->Click();
            message.Result = 0;
            return;
        }
    }
    TWinControl::WndProc(message);
}
