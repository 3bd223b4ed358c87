#include "Forms.h"

#include <algorithm>
#include <vector>

#include "ActnList.h"
#include "Application.h"
#include "FormData.h"
#include "FormLoader.h"
#include "Format.h"
#include "FreeNotification.h"
#include "Menus.h"
#include "OSError.h"
#include "ResourceModule.h"
#include "Screen.h"
#include "TextConversion.h"
#include "WinText.h"

namespace {

AnsiString UpperCase(AnsiString text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// The thread's other enabled top-level windows, disabled while a modal form runs.
class TDisabledWindows {
public:
    explicit TDisabledWindows(HWND except) : except_(except) {
        ::EnumThreadWindows(::GetCurrentThreadId(), &TDisabledWindows::Collect,
                            reinterpret_cast<LPARAM>(this));
        for (HWND window : windows_)
            ::EnableWindow(window, FALSE);
    }
    ~TDisabledWindows() {
        for (HWND window : windows_)
            if (::IsWindow(window))
                ::EnableWindow(window, TRUE);
    }
    TDisabledWindows(const TDisabledWindows&) = delete;
    TDisabledWindows& operator=(const TDisabledWindows&) = delete;

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM self) {
        auto* list = reinterpret_cast<TDisabledWindows*>(self);
        if (window != list->except_ && ::IsWindowVisible(window) && ::IsWindowEnabled(window))
            list->windows_.push_back(window);
        return TRUE;
    }
    HWND except_;
    std::vector<HWND> windows_;
};

} // namespace

const TClassInfo& TCustomForm::StaticClassInfo() {
    using F = TCustomForm;
    static const TClassInfo info{
        "TCustomForm",
        &TWinControl::StaticClassInfo(),
        {
            IntegerProperty<F>("ClientWidth", &F::ClientWidth, &F::SetClientWidth),
            IntegerProperty<F>("ClientHeight", &F::ClientHeight, &F::SetClientHeight),
            AnsiStringProperty<F>("Caption", &F::Caption, &F::SetCaption),
            SetProperty<F>("BorderIcons", &F::BorderIcons, &F::SetBorderIcons,
                           {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}),
            EnumProperty<F, TFormBorderStyle>(
                "BorderStyle", &F::BorderStyle, &F::SetBorderStyle,
                {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}),
            EnumProperty<F, TFormStyle>("FormStyle", &F::FormStyle, &F::SetFormStyle,
                                        {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"}),
            BooleanProperty<F>("KeyPreview", &F::KeyPreview, &F::SetKeyPreview),
            BooleanProperty<F>("OldCreateOrder", &F::OldCreateOrder, &F::SetOldCreateOrder),
            BooleanProperty<F>("AlphaBlend", &F::AlphaBlend, &F::SetAlphaBlend),
            IntegerProperty<F>("AlphaBlendValue", &F::AlphaBlendValue, &F::SetAlphaBlendValue),
            BooleanProperty<F>("TransparentColor", &F::TransparentColor, &F::SetTransparentColor),
            IntegerProperty<F>("TransparentColorValue", &F::TransparentColorValue,
                               &F::SetTransparentColorValue, &ColorIdents()),
            EnumProperty<F, TPosition>("Position", &F::Position, &F::SetPosition,
                                       {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                                        "poScreenCenter", "poDesktopCenter", "poMainFormCenter",
                                        "poOwnerFormCenter"}),
            IntegerProperty<F>("PixelsPerInch", &F::PixelsPerInch, &F::SetPixelsPerInch),
            IntegerProperty<F>("TextHeight", &F::TextHeight, &F::SetTextHeight),
            AnsiStringProperty<F>("HelpFile", &F::HelpFile, &F::SetHelpFile),
            EventProperty<F>("OnCreate", &F::OnCreate, &F::OnCreateName),
            EventProperty<F>("OnDestroy", &F::OnDestroy, &F::OnDestroyName),
            EventProperty<F>("OnShow", &F::OnShow, &F::OnShowName),
            EventProperty<F>("OnHide", &F::OnHide, &F::OnHideName),
            EventProperty<F>("OnPaint", &F::OnPaint, &F::OnPaintName),
            EventProperty<F>("OnResize", &F::OnResize, &F::OnResizeName),
            KeyEventProperty<F>("OnKeyDown", &F::OnKeyDown, &F::OnKeyDownName),
            ReferenceProperty<F, TWinControl>("ActiveControl", &F::ActiveControl, &F::SetActiveControl),
        },
    };
    return info;
}

const TClassInfo& TForm::StaticClassInfo() {
    static const TClassInfo info{"TForm", &TCustomForm::StaticClassInfo()};
    return info;
}

TCustomForm* GetParentForm(TControl* control) {
    while (control != nullptr && control->Parent() != nullptr)
        control = control->Parent();
    return dynamic_cast<TCustomForm*>(control);
}

TCustomForm::TCustomForm(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>(*this)) {
    SetVisibleQuietly(false);
    SetBounds(0, 0, 320, 240);
}

TCustomForm::~TCustomForm() {
    RemoveFreeNotifications(this);
    activeControl_ = nullptr;
    canvas_->Release();
    // The menu may outlive the form; it must not reach back into it.
    if (menu_ != nullptr && menu_->form_ == this)
        menu_->form_ = nullptr;
    DoDestroy();
    if (Application != nullptr)
        Application->FormDestroyed(this);
    DestroyHandle();
}

void TCustomForm::DoDestroy() {
    if (!OnDestroy)
        return;
    // Once: the handler is gone before it runs.
    const TNotifyEvent handler = std::move(OnDestroy);
    OnDestroy = nullptr;
    DispatchEvent(this, [&] { handler(this); });
}

void TCustomForm::InitializeForm() {
    SetFormState(fsCreating, true);
    ReadFormResource();
    SetFormState(fsCreating, false);
    if (oldCreateOrder_)
        DoCreate();
    AfterConstruction();
}

void TCustomForm::ReadInheritedDescriptions(const TClassInfo& stop) {
    std::vector<const TClassInfo*> chain;
    const TClassInfo& framework = TForm::StaticClassInfo();
    for (const TClassInfo* info = &ClassInfo(); info != nullptr && info != &stop && info != &framework;
         info = info->Parent)
        chain.push_back(info);
    SetFormState(fsCreating, true);
    try {
        bool found = false;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            found = ReadFormResourceOf((*it)->ClassName) || found;
        if (!found)
            throw EResNotFound(Format("Resource %s not found", {ClassName()}));
    } catch (...) {
        SetFormState(fsCreating, false);
        throw;
    }
    SetFormState(fsCreating, false);
    if (oldCreateOrder_)
        DoCreate();
}

void TCustomForm::AfterConstruction() {
    if (!created_)
        DoCreate();
}

void TCustomForm::DoCreate() {
    created_ = true;
    if (OnCreate)
        OnCreate(this);
}

void TCustomForm::SetFormState(uint32_t flag, bool on) {
    formState_ = on ? (formState_ | flag) : (formState_ & ~flag);
}

void TCustomForm::ReadFormResource() {
    if (!ReadFormResourceOf(ClassName()))
        throw EResNotFound(Format("Resource %s not found", {UpperCase(ClassName())}));
}

bool TCustomForm::ReadFormResourceOf(const AnsiString& className) {
    const WideString wideName = AnsiToWide(UpperCase(className));
    const HINSTANCE module = ResourceInstance();
    HRSRC info = ::FindResourceW(module, WinText(wideName), reinterpret_cast<LPCWSTR>(RT_RCDATA));
    HGLOBAL data = info ? ::LoadResource(module, info) : nullptr;
    if (data == nullptr)
        return false;
    const auto* bytes = static_cast<const uint8_t*>(::LockResource(data));
    const DWORD size = ::SizeofResource(module, info);
    ReadComponentFromForm(*this, ReadFormBinary(bytes, size));
    return true;
}

void TCustomForm::Loaded() {
    TWinControl::Loaded();
    ApplyPendingClientSize();
}

void TCustomForm::ApplyPendingClientSize() {
    const RECT frame = OuterRectForClient(0, 0);
    int32_t width = Width(), height = Height();
    if (clientWidth_ >= 0)
        width = clientWidth_ + (frame.right - frame.left);
    if (clientHeight_ >= 0)
        height = clientHeight_ + (frame.bottom - frame.top);
    TWinControl::SetBounds(Left(), Top(), width, height);
}

int32_t TCustomForm::ClientWidth() const {
    if (HandleAllocated())
        return TWinControl::ClientWidth();
    if (clientWidth_ >= 0)
        return clientWidth_;
    const RECT frame = OuterRectForClient(0, 0);
    return Width() - (frame.right - frame.left);
}

int32_t TCustomForm::ClientHeight() const {
    if (HandleAllocated())
        return TWinControl::ClientHeight();
    if (clientHeight_ >= 0)
        return clientHeight_;
    const RECT frame = OuterRectForClient(0, 0);
    return Height() - (frame.bottom - frame.top);
}

void TCustomForm::SetClientWidth(int32_t value) {
    if (HandleAllocated()) {
        TWinControl::SetClientWidth(value);
        return;
    }
    // The frame depends on properties that may still follow; the outer size is settled later.
    clientWidth_ = value;
    ApplyPendingClientSize();
}

void TCustomForm::SetClientHeight(int32_t value) {
    if (HandleAllocated()) {
        TWinControl::SetClientHeight(value);
        return;
    }
    clientHeight_ = value;
    ApplyPendingClientSize();
}

void TCustomForm::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    if (width != Width())
        clientWidth_ = -1;
    if (height != Height())
        clientHeight_ = -1;
    TWinControl::SetBounds(left, top, width, height);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
    borderStyle_ = style;
    ApplyPendingClientSize();
    RecreateWnd();
}

void TCustomForm::SetBorderIcons(uint32_t icons) {
    borderIcons_ = icons;
    ApplyPendingClientSize();
    RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle style) {
    if (style == formStyle_)
        return;
    formStyle_ = style;
    RecreateWnd();
}

RECT TCustomForm::OuterRectForClient(int32_t clientWidth, int32_t clientHeight) const {
    RECT rect{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&rect, WindowStyle(), ShowsMenu() ? TRUE : FALSE, WindowExStyle());
    return rect;
}

void TCustomForm::TextChanged() {}

DWORD TCustomForm::WindowStyle() const {
    DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    switch (borderStyle_) {
    case bsNone:
        style |= WS_POPUP;
        break;
    case bsSingle:
    case bsToolWindow:
        style |= WS_CAPTION | WS_BORDER;
        break;
    case bsSizeable:
    case bsSizeToolWin:
        style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case bsDialog:
        style |= WS_POPUP | WS_CAPTION | WS_DLGFRAME;
        break;
    }
    if (borderStyle_ != bsNone && (borderIcons_ & biSystemMenu)) {
        style |= WS_SYSMENU;
        // Tool windows and dialogs have no minimise or maximise box.
        if (borderStyle_ == bsSingle || borderStyle_ == bsSizeable) {
            if (borderIcons_ & biMinimize)
                style |= WS_MINIMIZEBOX;
            if (borderIcons_ & biMaximize)
                style |= WS_MAXIMIZEBOX;
        }
    }
    if (formStyle_ == fsMDIChild)
        style = (style & ~static_cast<DWORD>(WS_POPUP)) | WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    return style;
}

DWORD TCustomForm::WindowExStyle() const {
    DWORD exStyle = 0;
    if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin)
        exStyle |= WS_EX_TOOLWINDOW;
    if (borderStyle_ == bsDialog)
        exStyle |= WS_EX_DLGMODALFRAME;
    if (borderStyle_ == bsDialog && (borderIcons_ & biHelp))
        exStyle |= WS_EX_CONTEXTHELP;
    if (formStyle_ == fsStayOnTop)
        exStyle |= WS_EX_TOPMOST;
    if (formStyle_ == fsMDIChild)
        exStyle |= WS_EX_MDICHILD;
    return exStyle;
}

void TCustomForm::PlaceByPosition() {
    const int32_t width = Width();
    const int32_t height = Height();
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
        break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
        TCustomForm* main = Application ? Application->MainForm() : nullptr;
        if (main != nullptr && main != this && main->HandleAllocated())
            ::GetWindowRect(main->HandleIfAllocated(), &area);
        break;
    }
    default:
        return;
    }
    StoreBounds(area.left + (area.right - area.left - width) / 2,
                area.top + (area.bottom - area.top - height) / 2, width, height);
}

void TCustomForm::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    PlaceByPosition();
    params.Style = WindowStyle();
    params.ExStyle = WindowExStyle();
    params.X = Left();
    params.Y = Top();
    params.Width = Width();
    params.Height = Height();
    if (position_ == poDefault || position_ == poDefaultPosOnly)
        params.X = params.Y = CW_USEDEFAULT;
    if (position_ == poDefault || position_ == poDefaultSizeOnly)
        params.Width = params.Height = CW_USEDEFAULT;
    params.WndParent = Application != nullptr ? Application->Handle() : nullptr;
    params.ClassStyle = CS_DBLCLKS;
    if (formStyle_ == fsMDIChild) {
        TCustomForm* main = Application != nullptr ? Application->MainForm() : nullptr;
        if (main == nullptr || main == this || main->ClientHandle() == nullptr)
            throw EInvalidOperation("Cannot create form. No MDI forms are currently active");
        params.WndParent = main->ClientHandle();
    }
}

void TCustomForm::CreateWindowHandle(const TCreateParams& params) {
    if (formStyle_ != fsMDIChild) {
        TWinControl::CreateWindowHandle(params);
        return;
    }
    SetCreatingControl(this);
    HWND window =
        ::CreateMDIWindowA(params.WinClassName.c_str(), WideToAnsi(params.Caption).c_str(), params.Style,
                           params.X, params.Y, params.Width, params.Height, params.WndParent, MainInstance(),
                           reinterpret_cast<LPARAM>(params.Param));
    const DWORD error = ::GetLastError();
    SetCreatingControl(nullptr);
    if (window == nullptr)
        RaiseOSError(error, "CreateMDIWindowA", AnsiToWide(params.WinClassName));
    if (HandleIfAllocated() != window)
        AttachWindow(window);
    SetFormState(fsCreatedMDIChild, true);
}

bool TCustomForm::ShowsMenu() const {
    return menu_ != nullptr && formStyle_ != fsMDIChild;
}

void TCustomForm::SetMenu(TMainMenu* menu) {
    if (menu == menu_)
        return;
    if (menu != nullptr && menu->form_ != nullptr && menu->form_ != this)
        menu->form_->SetMenu(nullptr);
    if (menu_ != nullptr && menu_->form_ == this)
        menu_->form_ = nullptr;
    menu_ = menu;
    if (menu_ != nullptr)
        menu_->form_ = this;
    if (HandleAllocated() && formStyle_ != fsMDIChild) {
        ::SetMenu(HandleIfAllocated(), menu_ != nullptr ? menu_->Handle() : nullptr);
        Perform(CM_MENUCHANGED);
    }
}

void TCustomForm::SetAlphaBlend(bool value) {
    if (value == alphaBlend_)
        return;
    alphaBlend_ = value;
    ApplyLayeredAttributes();
}

void TCustomForm::SetAlphaBlendValue(int32_t value) {
    value = std::clamp(value, 0, 255);
    if (value == alphaBlendValue_)
        return;
    alphaBlendValue_ = value;
    ApplyLayeredAttributes();
}

void TCustomForm::SetTransparentColor(bool value) {
    if (value == transparentColor_)
        return;
    transparentColor_ = value;
    ApplyLayeredAttributes();
}

void TCustomForm::SetTransparentColorValue(TColor value) {
    if (value == transparentColorValue_)
        return;
    transparentColorValue_ = value;
    ApplyLayeredAttributes();
}

void TCustomForm::ApplyLayeredAttributes() {
    HWND window = HandleIfAllocated();
    if (window == nullptr || (ComponentState() & csLoading) != 0)
        return;
    const LONG_PTR exStyle = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (alphaBlend_ || transparentColor_) {
        if ((exStyle & WS_EX_LAYERED) == 0)
            ::SetWindowLongPtrW(window, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        ::SetLayeredWindowAttributes(window, ColorToRGB(transparentColorValue_),
                                     static_cast<BYTE>(alphaBlendValue_),
                                     (alphaBlend_ ? LWA_ALPHA : 0) | (transparentColor_ ? LWA_COLORKEY : 0));
    } else if ((exStyle & WS_EX_LAYERED) != 0) {
        ::SetWindowLongPtrW(window, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        ::RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

void TCustomForm::UpdateActions() {
    if ((ComponentState() & csDesigning) != 0)
        return;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* list = dynamic_cast<TCustomActionList*>(Components(i)))
            list->UpdateActions();
    std::vector<TControl*> pending;
    for (int i = 0; i < ControlCount(); ++i)
        pending.push_back(Controls(i));
    for (size_t i = 0; i < pending.size(); ++i) {
        if (TControlActionLink* link = pending[i]->ActionLink())
            link->Update();
        if (auto* windowed = dynamic_cast<TWinControl*>(pending[i]))
            for (int j = 0; j < windowed->ControlCount(); ++j)
                pending.push_back(windowed->Controls(j));
    }
}

void TCustomForm::CreateWnd() {
    TWinControl::CreateWnd();
    // Framework classes carry no icon of their own: the caption and the task-bar button show the
    // program's.
    ::SendMessageW(HandleIfAllocated(), WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(ProgramIcon(::GetSystemMetrics(SM_CXICON))));
    ::SendMessageW(HandleIfAllocated(), WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(ProgramIcon(::GetSystemMetrics(SM_CXSMICON))));
    if (ShowsMenu())
        ::SetMenu(HandleIfAllocated(), menu_->Handle());
    ApplyLayeredAttributes();
    if (formStyle_ == fsMDIForm && clientWindow_ == nullptr) {
        CLIENTCREATESTRUCT client{nullptr, 0xFF00};
        RECT area;
        ::GetClientRect(HandleIfAllocated(), &area);
        clientWindow_ = ::CreateWindowExA(
            WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
            WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL, 0, 0,
            area.right, area.bottom, HandleIfAllocated(), nullptr, MainInstance(), &client);
        if (clientWindow_ == nullptr)
            RaiseLastOSError();
    }
}

void TCustomForm::DestroyWindowHandle() {
    // The MDI client dies with its frame; the menu bar is the menu's and must not.
    clientWindow_ = nullptr;
    if (HandleAllocated() && ShowsMenu())
        ::SetMenu(HandleIfAllocated(), nullptr);
    if ((formState_ & fsCreatedMDIChild) && HandleAllocated()) {
        HWND client = ::GetParent(HandleIfAllocated());
        SetFormState(fsCreatedMDIChild, false);
        ::SendMessageW(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(HandleIfAllocated()), 0);
    }
    TWinControl::DestroyWindowHandle();
}

TCustomForm* TCustomForm::ActiveMDIChild() const {
    if (clientWindow_ == nullptr)
        return nullptr;
    auto active = reinterpret_cast<HWND>(::SendMessageW(clientWindow_, WM_MDIGETACTIVE, 0, 0));
    return dynamic_cast<TCustomForm*>(FromHandle(active));
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    if (control == activeControl_)
        return;
    if (control != nullptr && (control == this || GetParentForm(control) != this))
        throw EInvalidOperation("Invalid control for ActiveControl");
    if (activeControl_ != nullptr)
        RemoveFreeNotification(activeControl_, this);
    activeControl_ = control;
    if (control != nullptr)
        AddFreeNotification(control, this, [this] { activeControl_ = nullptr; });
    if (control != nullptr && (ComponentState() & csLoading) == 0 && HandleAllocated() &&
        ::GetActiveWindow() == HandleIfAllocated())
        FocusActiveControl();
}

void TCustomForm::FocusActiveControl() {
    if (activeControl_ != nullptr && activeControl_->CanFocus() && !activeControl_->Focused())
        ::SetFocus(activeControl_->HandleIfAllocated());
}

void TCustomForm::VisibleChanged() {
    if (ComponentState() & csLoading)
        return;
    if (Visible()) {
        HWND window = Handle();
        ::ShowWindow(window, formStyle_ == fsMDIChild ? SW_SHOW : SW_SHOWNORMAL);
        FocusActiveControl();
        ::UpdateWindow(window);
        if (OnShow)
            OnShow(this);
    } else if (HandleAllocated()) {
        if (OnHide)
            OnHide(this);
        ::ShowWindow(HandleIfAllocated(), SW_HIDE);
    }
}

TModalResult TCustomForm::ShowModal() {
    if (Visible() || (formState_ & fsModal) || !Enabled())
        throw EInvalidOperation("Cannot make a visible window modal");
    ::ReleaseCapture();
    SetFormState(fsModal, true);
    struct LeaveModal {
        TCustomForm& form;
        ~LeaveModal() {
            form.SetFormState(fsModal, false);
            form.Hide();
        }
    } leave{*this};
    HWND window = Handle();
    TDisabledWindows disabled(window);
    modalResult_ = mrNone;
    Show();
    ::SetActiveWindow(window);
    while (modalResult_ == mrNone) {
        if (Application == nullptr || !Application->HandleMessage())
            break;
        if (Application->Terminated())
            modalResult_ = mrCancel;
        else if (modalResult_ != mrNone) {
            TCloseAction action = caHide;
            DoClose(action);
            if (action == caNone)
                modalResult_ = mrNone;
        }
    }
    return modalResult_;
}

void TCustomForm::DoClose(TCloseAction& action) {
    if (OnClose)
        OnClose(this, action);
}

void TCustomForm::Close() {
    if (formState_ & fsModal) {
        modalResult_ = mrCancel;
        return;
    }
    TCloseAction action = formStyle_ == fsMDIChild ? caMinimize : caHide;
    DoClose(action);
    if (action == caNone)
        return;
    if (Application != nullptr && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case caHide:
        Hide();
        break;
    case caMinimize:
        if (HandleAllocated())
            ::ShowWindow(HandleIfAllocated(), SW_MINIMIZE);
        break;
    case caFree:
        Release();
        break;
    default:
        break;
    }
}

void TCustomForm::Release() {
    if (Application != nullptr)
        Application->ReleaseForm(this);
    else
        delete this;
}

bool TCustomForm::PreviewKeyDown(WORD& key, TShiftState shift) {
    if (!keyPreview_)
        return false;
    KeyDown(key, shift);
    return key == 0;
}

bool TCustomForm::HandleDialogKey(WORD key) {
    if (key == VK_TAB) {
        HWND next =
            ::GetNextDlgTabItem(HandleIfAllocated(), ::GetFocus(), (KeyboardShiftState() & ssShift) != 0);
        if (next != nullptr)
            ::SetFocus(next);
        return true;
    }
    // The focused control first (a focused button takes Enter), then every control in turn.
    if (TWinControl* focused = FromHandle(::GetFocus()); focused != nullptr && focused != this &&
                                                         GetParentForm(focused) == this &&
                                                         focused->Perform(CM_DIALOGKEY, key) != 0)
        return true;
    std::vector<TControl*> pending;
    for (int i = 0; i < ControlCount(); ++i)
        pending.push_back(Controls(i));
    for (size_t i = 0; i < pending.size(); ++i) {
        if (pending[i]->Perform(CM_DIALOGKEY, key) != 0)
            return true;
        if (auto* windowed = dynamic_cast<TWinControl*>(pending[i]))
            for (int j = 0; j < windowed->ControlCount(); ++j)
                pending.push_back(windowed->Controls(j));
    }
    if (key == VK_ESCAPE && (formState_ & fsModal)) {
        modalResult_ = mrCancel;
        return true;
    }
    return false;
}

void TCustomForm::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_CLOSE:
        Close();
        message.Result = 0;
        return;
    case WM_SYSKEYDOWN:
        // Without a system menu the system ignores Alt+F4; it is still how a user closes a form.
        if (message.WParam == VK_F4) {
            Close();
            message.Result = 0;
            return;
        }
        break;
    case CM_DIALOGKEY:
        message.Result = HandleDialogKey(static_cast<WORD>(message.WParam)) ? 1 : 0;
        return;
    case WM_COMMAND:
        // A menu's command: no control window, notification code 0.
        if (message.LParam == 0 && HIWORD(message.WParam) == 0 && menu_ != nullptr &&
            menu_->DispatchCommand(LOWORD(message.WParam))) {
            message.Result = 0;
            return;
        }
        break;
    case CM_ACTIONEXECUTE:
    case CM_ACTIONUPDATE: {
        // The form's controls, breadth first, until one handles the action.
        std::vector<TControl*> pending;
        for (int i = 0; i < ControlCount(); ++i)
            pending.push_back(Controls(i));
        for (size_t i = 0; i < pending.size(); ++i) {
            if (pending[i]->Perform(message.Msg, message.WParam, message.LParam) != 0) {
                message.Result = 1;
                return;
            }
            if (auto* windowed = dynamic_cast<TWinControl*>(pending[i]))
                for (int j = 0; j < windowed->ControlCount(); ++j)
                    pending.push_back(windowed->Controls(j));
        }
        message.Result = 0;
        return;
    }
    case WM_GETMINMAXINFO: {
        // The system's minimum tracking size would make a caption-only form taller than designed.
        DefaultHandler(message);
        auto* limits = reinterpret_cast<MINMAXINFO*>(message.LParam);
        const TSizeConstraints& constraints = Constraints();
        limits->ptMinTrackSize = POINT{constraints.MinWidth(), constraints.MinHeight()};
        if (constraints.MaxWidth() > 0)
            limits->ptMaxTrackSize.x = limits->ptMaxSize.x =
                std::max(constraints.MaxWidth(), constraints.MinWidth());
        if (constraints.MaxHeight() > 0)
            limits->ptMaxTrackSize.y = limits->ptMaxSize.y =
                std::max(constraints.MaxHeight(), constraints.MinHeight());
        return;
    }
    case WM_PAINT:
        if (message.WParam != 0) {
            PaintForm(reinterpret_cast<HDC>(message.WParam));
        } else {
            const PaintScope paint(HandleIfAllocated());
            PaintForm(paint.dc());
        }
        message.Result = 0;
        return;
    case WM_SETFOCUS:
        // Activating the form gives it the focus; the focus belongs to its active control.
        TWinControl::WndProc(message);
        FocusActiveControl();
        return;
    case CM_FOCUSCHANGED: {
        auto* control = reinterpret_cast<TWinControl*>(message.LParam);
        if (control != nullptr && GetParentForm(control) == this)
            SetActiveControl(control);
        message.Result = 0;
        return;
    }
    case WM_SETCURSOR:
        // A busy cursor holds over the whole form, its frame and its children included: children
        // pass the message up to their parent before they set a cursor of their own.
        if (Screen != nullptr && Screen->Cursor() != crDefault) {
            ::SetCursor(TScreen::Cursors(Screen->Cursor()));
            message.Result = TRUE;
            return;
        }
        break;
    case WM_SIZE: {
        TWinControl::WndProc(message);
        RECT area;
        ::GetClientRect(HandleIfAllocated(), &area);
        if (clientWindow_ != nullptr)
            ::MoveWindow(clientWindow_, area.left, area.top, area.right - area.left, area.bottom - area.top,
                         TRUE);
        // A minimised form keeps its client size as far as its controls are concerned.
        if (message.WParam != SIZE_MINIMIZED &&
            (area.right != lastClientSize_.cx || area.bottom != lastClientSize_.cy)) {
            lastClientSize_ = SIZE{area.right, area.bottom};
            if (OnResize)
                OnResize(this);
        }
        return;
    }
    case WM_SETTEXT:
        TWinControl::WndProc(message);
        return;
    default:
        break;
    }
    TWinControl::WndProc(message);
}

void TCustomForm::PaintForm(HDC dc) {
    PaintWindow(dc);
    PaintControls(dc);
    if (OnPaint) {
        const TLentCanvas lent(*canvas_, dc);
        canvas_->Font().AssignFont(Font());
        OnPaint(this);
    }
}

void TCustomForm::DefaultHandler(TMessage& message) {
    HWND window = HandleIfAllocated();
    if (window == nullptr || message.Msg >= CM_BASE) {
        TWinControl::DefaultHandler(message);
        return;
    }
    const bool unicode = ::IsWindowUnicode(window) != FALSE;
    if (clientWindow_ != nullptr && message.Msg != WM_SIZE) {
        message.Result =
            unicode ? ::DefFrameProcW(window, clientWindow_, message.Msg, message.WParam, message.LParam)
                    : ::DefFrameProcA(window, clientWindow_, message.Msg, message.WParam, message.LParam);
        return;
    }
    if (formState_ & fsCreatedMDIChild) {
        message.Result = unicode ? ::DefMDIChildProcW(window, message.Msg, message.WParam, message.LParam)
                                 : ::DefMDIChildProcA(window, message.Msg, message.WParam, message.LParam);
        return;
    }
    TWinControl::DefaultHandler(message);
}
