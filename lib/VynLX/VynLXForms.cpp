#include "VynLXForms.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "DeviceContexts.h"
#include "FormLoader.h"
#include "SystemLibraries.h"
#include "FormWriter.h"
#include "FreeNotification.h"
#include "Handles.h"
#include "Menus.h"
#include "OSError.h"
#include "VynMenus.h"
#include "VynSysUtilsPaths.h"
#include "VynWindows.h"

namespace {

// The window properties by which the replaced MDI client procedure finds its form and the
// procedure it replaced.
constexpr WCHAR MdiClientFormProperty[] = L"VynLXMdiClientForm";
constexpr WCHAR MdiClientPreviousProperty[] = L"VynLXMdiClientPrevious";

constexpr UINT DefaultDockedWidth = 100;
constexpr COLORREF SeparatorShadow = 0x808080;
constexpr COLORREF SeparatorHighlight = 0xFFFFFF;

struct TFormsState {
    std::vector<TVynFormLX*> taskBarForms;
    std::vector<TVynFormLX*> bringToFrontForms;
    bool closeMainWhenAlone = false;
    UINT bringToFrontMessage = 0;
    // Set once the main form was shown: an MDI main form is hidden when the unit ends.
    bool exitProcedureAdded = false;
};

std::unique_ptr<TFormsState> formsState;
TWindowFlashRoutines flashRoutines;

int redrawLockDepth = 0;
bool lockWindowUpdateSucceeded = false;
// The client and frame the outermost lock stopped, so that the end restores those even when the
// main form changed meanwhile.
HWND lockedClient = nullptr;
HWND lockedFrame = nullptr;

TFormsState& State() {
    if (!formsState)
        throw EVynInternalError("Internal Error: the unit VynLXForms has not been started.");
    return *formsState;
}

TCustomForm* MainForm() {
    return Application != nullptr ? Application->MainForm() : nullptr;
}

// Whether the window the user works in belongs to this program.
bool ApplicationActive() {
    HWND foreground = ::GetForegroundWindow();
    if (foreground == nullptr)
        return false;
    DWORD process = 0;
    ::GetWindowThreadProcessId(foreground, &process);
    return process == ::GetCurrentProcessId();
}

// Themes need uxtheme, which older systems do not have.
bool ThemesEnabled() {
    const UniqueModule theme = LoadSystemLibrary(L"uxtheme.dll");
    if (!theme)
        return false;
    using TThemeQuery = BOOL(WINAPI*)();
    auto isAppThemed =
        reinterpret_cast<TThemeQuery>(reinterpret_cast<void*>(::GetProcAddress(theme.get(), "IsAppThemed")));
    auto isThemeActive =
        reinterpret_cast<TThemeQuery>(reinterpret_cast<void*>(::GetProcAddress(theme.get(), "IsThemeActive")));
    return isAppThemed != nullptr && isThemeActive != nullptr && isAppThemed() && isThemeActive();
}

// The width a status bar takes when docked: its panels, or one standard panel when it shows a
// single text or has no panels.
int32_t DockedWidthOf(const TStatusBar& bar) {
    if (bar.SimplePanel() || bar.Panels().Count() == 0)
        return DefaultDockedWidth;
    return bar.Panels().TotalWidth();
}

int32_t FirstPanelWidthOf(const TStatusBar& bar) {
    if (bar.SimplePanel() || bar.Panels().Count() == 0)
        return DefaultDockedWidth;
    return bar.Panels()[0].Width();
}

void DrawVerticalLine(HDC dc, COLORREF color, int x, int top, int bottom) {
    const UniquePen pen(::CreatePen(PS_SOLID, 1, color));
    const SelectedObject selection(dc, pen.get());
    ::MoveToEx(dc, x, top, nullptr);
    ::LineTo(dc, x, bottom);
}

void StartVynLXForms() {
    const UniqueModule user32 = LoadSystemLibrary(L"user32.dll");
    if (!user32)
        RaiseLastOSError("LoadLibraryExW", u"user32.dll");
    // Not every system has it; user32 stays loaded by the process, so the address stays valid.
    flashRoutines.FlashWindowEx = reinterpret_cast<BOOL(WINAPI*)(PFLASHWINFO)>(
        reinterpret_cast<void*>(::GetProcAddress(user32.get(), "FlashWindowEx")));
    flashRoutines.FlashWindow = &::FlashWindow;
    flashRoutines.MessageBeep = &::MessageBeep;
    formsState = std::make_unique<TFormsState>();
    formsState->bringToFrontMessage = ::RegisterWindowMessageA("Vyn.BringToFront");
    RegisterComponentClass(TVynControlBar::StaticClassInfo());
    RegisterComponentClass(TVynStatusBar::StaticClassInfo());
}

void EndVynLXForms() {
    if (formsState && formsState->exitProcedureAdded) {
        // An MDI main form would otherwise be seen repainting as its children go one by one.
        TCustomForm* main = MainForm();
        if (main != nullptr && main->FormStyle() == fsMDIForm && main->HandleAllocated())
            ::ShowWindow(main->HandleIfAllocated(), SW_HIDE);
    }
    UnregisterComponentClass(TVynStatusBar::StaticClassInfo());
    UnregisterComponentClass(TVynControlBar::StaticClassInfo());
    formsState.reset();
    flashRoutines = {};
}

} // namespace

const TUnitInfo VynLXFormsUnit{"lib/VynLX/VynLXForms", StartVynLXForms, EndVynLXForms};

// ---- The bars

const TClassInfo& TVynControlBar::StaticClassInfo() {
    static const TClassInfo info{
        "TVynControlBar", &TControlBar::StaticClassInfo(), {}, {}, {},
        [](TComponent* owner) -> TComponent* { return new TVynControlBar(owner); },
    };
    return info;
}

const TClassInfo& TVynStatusBar::StaticClassInfo() {
    static const TClassInfo info{
        "TVynStatusBar", &TStatusBar::StaticClassInfo(), {}, {}, {},
        [](TComponent* owner) -> TComponent* { return new TVynStatusBar(owner); },
    };
    return info;
}

// ---- Free functions

void ShowApplicationButton(bool ownButton) {
    if (Application == nullptr)
        return;
    TCustomForm* main = MainForm();
    const bool designing = main != nullptr && (main->ComponentState() & csDesigning) != 0;
    // Shown without activation: the application window is a zero-size window that only carries
    // the button, and taking the activation from the form being shown would be wrong.
    ::ShowWindow(Application->Handle(), ownButton && !designing ? SW_HIDE : SW_SHOWNA);
}

const std::vector<TVynFormLX*>& TaskBarForms() {
    return State().taskBarForms;
}

bool CloseMainWhenAlone() {
    return State().closeMainWhenAlone;
}

HWND FindModalPopup(HWND window) {
    if (window == nullptr)
        return nullptr;
    HWND popup = ::GetLastActivePopup(window);
    if (!::IsWindow(popup) || popup == window || ::GetWindow(popup, GW_OWNER) != window || !::IsWindowEnabled(popup))
        return nullptr;
    if (auto* form = dynamic_cast<TCustomForm*>(TWinControl::FromHandle(popup));
        form != nullptr && (form->FormState() & fsModal) != 0)
        return popup;
    const auto style = static_cast<DWORD>(::GetWindowLongW(popup, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongW(popup, GWL_EXSTYLE));
    if ((style & DS_MODALFRAME) != 0 && (exStyle & WS_EX_DLGMODALFRAME) != 0)
        return popup;
    return nullptr;
}

HWND AppModalPopup() {
    if (Application == nullptr || !Application->HandleAllocated())
        return nullptr;
    return FindModalPopup(Application->Handle());
}

void FlashWindowOnce(HWND window) {
    if (flashRoutines.FlashWindowEx != nullptr) {
        FLASHWINFO info{};
        info.cbSize = sizeof info;
        info.hwnd = window;
        info.dwFlags = FLASHW_CAPTION;
        info.uCount = 3;
        info.dwTimeout = 70;
        flashRoutines.FlashWindowEx(&info);
    } else if (flashRoutines.FlashWindow != nullptr) {
        flashRoutines.FlashWindow(window, TRUE);
    }
}

void ActivateAndFlash(HWND window, bool beep, bool applicationWasActive) {
    ::SetActiveWindow(window);
    if (!applicationWasActive)
        return;
    if (beep && flashRoutines.MessageBeep != nullptr)
        flashRoutines.MessageBeep(0);
    FlashWindowOnce(window);
}

UINT BringToFrontMessage() {
    return State().bringToFrontMessage;
}

const std::vector<TVynFormLX*>& BringToFrontForms() {
    return State().bringToFrontForms;
}

TWindowFlashRoutines ReplaceWindowFlashRoutines(const TWindowFlashRoutines& routines) {
    return std::exchange(flashRoutines, routines);
}

void BeginMdiRedrawLock() {
    if (redrawLockDepth == 0) {
        TCustomForm* main = MainForm();
        if (main != nullptr && main->ClientHandle() != nullptr && main->HandleAllocated()) {
            lockedFrame = main->HandleIfAllocated();
            lockedClient = main->ClientHandle();
            lockWindowUpdateSucceeded = ::LockWindowUpdate(lockedFrame) != FALSE;
            ::SendMessageW(lockedClient, WM_SETREDRAW, FALSE, 0);
        }
    }
    ++redrawLockDepth;
}

void EndMdiRedrawLock() {
    if (redrawLockDepth <= 0)
        return;
    if (--redrawLockDepth > 0)
        return;
    HWND client = std::exchange(lockedClient, nullptr);
    HWND frame = std::exchange(lockedFrame, nullptr);
    if (client != nullptr && ::IsWindow(client)) {
        ::SendMessageW(client, WM_SETREDRAW, TRUE, 0);
        ::RedrawWindow(client, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_NOINTERNALPAINT | RDW_INVALIDATE);
    }
    if (frame != nullptr && ::IsWindow(frame)) {
        ::InvalidateRect(frame, nullptr, TRUE);
        ::UpdateWindow(frame);
    }
    if (std::exchange(lockWindowUpdateSucceeded, false))
        ::LockWindowUpdate(nullptr);
}

void MDIChild_UpdateMdiDockState(TVynFormLX* child, bool docked) {
    if (child == nullptr || (child->ComponentState() & csLoading) != 0)
        return;
    if (child->FormStyle() != fsMDIChild)
        throw EVynInternalError("Internal Error: MDIChild_UpdateMdiDockState can only be called from MDI child forms.");
    auto* main = dynamic_cast<TVynFormLX*>(MainForm());
    if (docked == child->mdiDocked_ || main == nullptr)
        return;
    TMdiRedrawLock lock;
    if (child->mdiToolBar_ != nullptr && child->mdiControlBar_ != nullptr && main->mdiToolBar_ != nullptr &&
        main->mdiControlBar_ != nullptr) {
        TToolBar* bar = child->mdiToolBar_;
        bar->Hide();
        if (docked) {
            bar->SetParent(main->mdiControlBar_);
            bar->SetLeft(main->mdiToolBar_->Left() + 1);
        } else {
            bar->SetParent(child->mdiControlBar_);
            bar->SetLeft(0);
        }
        bar->SetTop(0);
        child->mdiControlBar_->SetTop(0);
        bar->Show();
    }
    if (child->mdiStatusBar_ != nullptr && main->mdiStatusBar_ != nullptr) {
        TVynStatusBar* bar = child->mdiStatusBar_;
        TVynStatusBar* mainBar = main->mdiStatusBar_;
        if (docked) {
            const RECT bounds = bar->BoundsRect();
            child->savedStatusBarBounds_ = bounds;
            child->savedStatusBarAlign_ = bar->Align();
            child->savedStatusBarSizeGrip_ = bar->SizeGrip();
            bar->SetSizeGrip(false);
            bar->SetAlign(alNone);
            bar->SetBounds(FirstPanelWidthOf(*mainBar) + 2, 0, DockedWidthOf(*bar) - 2, mainBar->Height());
            bar->SetParent(mainBar);
            main->SetDockedChildStatusBar(bar);
        } else {
            bar->SetParent(child);
            bar->SetAlign(child->savedStatusBarAlign_);
            const RECT& saved = child->savedStatusBarBounds_;
            bar->SetBounds(saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top);
            bar->SetSizeGrip(child->savedStatusBarSizeGrip_);
            if (main->dockedChildStatusBar_ == bar)
                main->SetDockedChildStatusBar(nullptr);
        }
        mainBar->UpdatePanels();
    }
    child->mdiDocked_ = docked;
}

// ---- TVynFormLX

const TClassInfo& TVynFormLX::StaticClassInfo() {
    using F = TVynFormLX;
    static const TClassInfo info = [] {
        TPropInfo formStyle = EnumProperty<F, TFormStyle>("FormStyle", &F::FormStyle, &F::SetFormStyle,
                                                          {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"});
        // A form used as a control takes no style of its own.
        formStyle.Stored = [](const TPersistent& form) { return static_cast<const F&>(form).Parent() == nullptr; };
        TPropInfo taskBarButton = BooleanProperty<F>("TaskBarButton", &F::TaskBarButton, &F::SetTaskBarButton);
        taskBarButton.Default = 0;
        return TClassInfo{"TVynFormLX", &TVynForm::StaticClassInfo(), {formStyle, taskBarButton}};
    }();
    return info;
}

TVynFormLX::TVynFormLX(TComponent* owner) : TVynFormLX(owner, TVynFormLX::StaticClassInfo()) {}

TVynFormLX::TVynFormLX(TComponent* owner, const TClassInfo& baseClass) : TVynForm(owner, baseClass) {}

TVynFormLX::~TVynFormLX() {
    destroying_ = true;
    const bool mdiChild = FormStyle() == fsMDIChild;
    if (mdiChild)
        BeginMdiRedrawLock();
    // Forms this one owns get windows of their own before this window goes.
    NotifyFreed(this);
    RemoveFreeNotifications(this);
    UnhookStatusBar();
    try {
        if (mdiDocked_)
            MDIChild_UpdateMdiDockState(this, false);
        SetTaskBarButton(false);
    } catch (...) {
        HandleExceptionInCallback(this);
    }
    if (formsState)
        std::erase(formsState->bringToFrontForms, this);
    if (mdiChild) {
        // The child's window goes inside the lock, so that the frame repaints once.
        DestroyHandle();
        EndMdiRedrawLock();
    }
    UnhookMdiClient();
}

bool TVynFormLX::IsMainForm() const {
    return MainForm() == this;
}

void TVynFormLX::SetFormStyle(TFormStyle style) {
    if (style == FormStyle())
        return;
    if ((style == fsMDIChild || style == fsMDIForm || IsMainForm()) && ownerForm_ != nullptr)
        throw EVynInternalError("Internal Error: An owned form can not be a main or MDI form.");
    if (style == fsMDIChild && taskBarButton_)
        throw EVynInternalError("Internal Error: An MDI child form can not have a taskbar button.");
    TVynForm::SetFormStyle(style);
    RefreshMdiDockState(true);
}

void TVynFormLX::SetTaskBarButton(bool value) {
    if (value == taskBarButton_)
        return;
    if (value && (FormStyle() == fsMDIChild || ownerForm_ != nullptr))
        throw EVynGeneralError("A MDI child or a contained form can not have its own task bar button.");
    taskBarButton_ = value;
    if (value)
        State().taskBarForms.push_back(this);
    else
        LeaveTaskBarForms();
    if (destroying_ || Designing())
        return;
    RecreateWnd();
    if (IsMainForm())
        ShowApplicationButton(value);
}

void TVynFormLX::LeaveTaskBarForms() {
    if (!formsState)
        return;
    std::erase(formsState->taskBarForms, this);
    CheckCloseMainWhenAlone();
}

void TVynFormLX::CheckCloseMainWhenAlone() {
    if (!formsState || !formsState->closeMainWhenAlone)
        return;
    auto* main = dynamic_cast<TVynFormLX*>(MainForm());
    if (main == nullptr || main->destroying_)
        return;
    const auto& forms = formsState->taskBarForms;
    if (std::find(forms.begin(), forms.end(), main) == forms.end())
        return;
    // A form hidden by closing it is as good as gone: otherwise the program would stay behind
    // with no window to show.
    for (TVynFormLX* form : forms)
        if (form != main && form->Visible())
            return;
    main->Close();
}

bool TVynFormLX::OtherTaskBarFormVisible() const {
    if (!formsState)
        return false;
    for (TVynFormLX* form : formsState->taskBarForms)
        if (form != this && form->Visible())
            return true;
    return false;
}

void TVynFormLX::SetOwnerForm(TVynFormLX* form) {
    if (form == ownerForm_)
        return;
    if (form != nullptr) {
        if (form == this)
            throw EVynInternalError("Internal Error: A form can not own itself.");
        if (FormStyle() == fsMDIChild || FormStyle() == fsMDIForm || IsMainForm())
            throw EVynInternalError("Internal Error: An owned form can not be a main or MDI form.");
        if (taskBarButton_)
            throw EVynGeneralError("A MDI child or a contained form can not have its own task bar button.");
    }
    if (ownerForm_ != nullptr)
        RemoveFreeNotification(ownerForm_, this);
    ownerForm_ = form;
    if (form != nullptr)
        AddFreeNotification(form, this, [this] {
            ownerForm_ = nullptr;
            if (!destroying_)
                RecreateWnd();
        });
    if (!destroying_)
        RecreateWnd();
}

void TVynFormLX::WatchReference(TComponent* reference, std::function<void()> cleared) {
    if (reference != nullptr)
        AddFreeNotification(reference, this, std::move(cleared));
}

void TVynFormLX::SetMDIControlBar(TVynControlBar* bar) {
    if (bar == mdiControlBar_)
        return;
    if (mdiControlBar_ != nullptr)
        RemoveFreeNotification(mdiControlBar_, this);
    mdiControlBar_ = bar;
    WatchReference(bar, [this] { mdiControlBar_ = nullptr; });
    UpdateMdiControlBarColor();
    RefreshMdiDockState(true);
}

void TVynFormLX::SetMDIToolBar(TToolBar* bar) {
    if (bar == mdiToolBar_)
        return;
    if (mdiToolBar_ != nullptr)
        RemoveFreeNotification(mdiToolBar_, this);
    mdiToolBar_ = bar;
    WatchReference(bar, [this] { mdiToolBar_ = nullptr; });
    RefreshMdiDockState(true);
}

void TVynFormLX::SetMDIStatusBar(TVynStatusBar* bar) {
    if (bar == mdiStatusBar_)
        return;
    if (mdiStatusBar_ != nullptr && mdiStatusBar_ != dockedChildStatusBar_)
        RemoveFreeNotification(mdiStatusBar_, this);
    mdiStatusBar_ = bar;
    WatchReference(bar, [this] {
        if (hookedStatusBar_ == mdiStatusBar_)
            UnhookStatusBar();
        mdiStatusBar_ = nullptr;
    });
    if ((ComponentState() & csLoading) == 0)
        HookStatusBar();
    RefreshMdiDockState(true);
}

void TVynFormLX::SetDockedChildStatusBar(TVynStatusBar* bar) {
    if (dockedChildStatusBar_ != nullptr && dockedChildStatusBar_ != mdiStatusBar_)
        RemoveFreeNotification(dockedChildStatusBar_, this);
    dockedChildStatusBar_ = bar;
    // A child that goes while its bar is docked leaves the main bar with its own panels again.
    WatchReference(bar, [this] {
        dockedChildStatusBar_ = nullptr;
        if (mdiStatusBar_ != nullptr)
            mdiStatusBar_->UpdatePanels();
    });
}

void TVynFormLX::DefineProperties(TFiler& filer) {
    TVynForm::DefineProperties(filer);
    // References to other components are stored by name and bound once all components exist.
    auto reference = [&filer](const char* name, AnsiString& pending, TComponent* current) {
        filer.DefineProperty(
            name, [&pending](TReader& reader) { pending = reader.ReadIdent(); },
            [current](TWriter& writer) { writer.WriteIdent(current->Name()); },
            current != nullptr && !current->Name().empty());
    };
    reference("Menu", pendingMenu_, Menu());
    reference("MDIControlBar", pendingControlBar_, mdiControlBar_);
    reference("MDIToolBar", pendingToolBar_, mdiToolBar_);
    reference("MDIStatusBar", pendingStatusBar_, mdiStatusBar_);
}

void TVynFormLX::Loaded() {
    TVynForm::Loaded();
    auto bind = [this]<class T>(AnsiString& pending, void (TVynFormLX::*set)(T*)) {
        if (pending.empty())
            return;
        TComponent* component = FindComponent(pending);
        auto* typed = dynamic_cast<T*>(component);
        if (typed == nullptr)
            throw EReadError("Invalid property value");
        pending.clear();
        (this->*set)(typed);
    };
    bind(pendingMenu_, &TVynFormLX::SetMenu);
    bind(pendingControlBar_, &TVynFormLX::SetMDIControlBar);
    bind(pendingToolBar_, &TVynFormLX::SetMDIToolBar);
    bind(pendingStatusBar_, &TVynFormLX::SetMDIStatusBar);
    UpdateMdiControlBarColor();
    HookStatusBar();
    RefreshMdiDockState(true);
}

void TVynFormLX::SetMenu(TMainMenu* menu) {
    // The wide captions are in the system menus before the menu bar shows them.
    if (menu != nullptr)
        RefreshVynMenu(*menu);
    TVynForm::SetMenu(menu);
}

void TVynFormLX::UpdateMdiControlBarColor() {
    if (mdiControlBar_ == nullptr || Designing())
        return;
    mdiControlBar_->SetColor(clSystemColor | (ThemesEnabled() ? COLOR_MENUBAR : COLOR_MENU));
}

void TVynFormLX::HookStatusBar() {
    if (hookedStatusBar_ == mdiStatusBar_)
        return;
    UnhookStatusBar();
    if (mdiStatusBar_ == nullptr)
        return;
    hookedStatusBar_ = mdiStatusBar_;
    previousStatusBarProc_ = hookedStatusBar_->WindowProc;
    hookedStatusBar_->WindowProc = [this](TMessage& message) { StatusBarWindowProc(message); };
}

void TVynFormLX::UnhookStatusBar() {
    if (hookedStatusBar_ == nullptr)
        return;
    hookedStatusBar_->WindowProc = std::move(previousStatusBarProc_);
    previousStatusBarProc_ = nullptr;
    hookedStatusBar_ = nullptr;
}

void TVynFormLX::StatusBarWindowProc(TMessage& message) {
    // The procedure may be replaced while it runs; the one to call is held here.
    const auto previous = previousStatusBarProc_;
    if (message.Msg == SB_SETPARTS && dockedChildStatusBar_ != nullptr && message.LParam != 0) {
        // The docked bar sits after the first panel: every panel edge but the open last one moves
        // right by its width. The caller's array stays as it was.
        const int* edges = reinterpret_cast<const int*>(message.LParam);
        std::vector<int> moved(edges, edges + std::min<WPARAM>(message.WParam, 256));
        const int shift = DockedWidthOf(*dockedChildStatusBar_);
        for (int& edge : moved)
            if (edge != -1)
                edge += shift;
        TMessage shifted = message;
        shifted.WParam = moved.size();
        shifted.LParam = reinterpret_cast<LPARAM>(moved.data());
        previous(shifted);
        message.Result = shifted.Result;
        return;
    }
    previous(message);
    if (message.Msg == WM_PAINT && dockedChildStatusBar_ != nullptr)
        PaintDockSeparators();
}

void TVynFormLX::PaintDockSeparators() {
    TStatusBar* bar = hookedStatusBar_;
    if (bar == nullptr || !bar->HandleAllocated() || dockedChildStatusBar_ == nullptr)
        return;
    const WindowDC lent = WindowDC::OfClient(bar->HandleIfAllocated());
    if (!lent)
        return;
    const HDC dc = lent.get();
    const int left = dockedChildStatusBar_->Left();
    const int right = left + dockedChildStatusBar_->Width();
    const int bottom = bar->Height();
    DrawVerticalLine(dc, SeparatorShadow, left - 2, 0, bottom);
    DrawVerticalLine(dc, SeparatorHighlight, left - 1, 0, bottom);
    DrawVerticalLine(dc, SeparatorShadow, right, 0, bottom);
    DrawVerticalLine(dc, SeparatorHighlight, right + 1, 0, bottom);
}

void TVynFormLX::RefreshMdiDockState(bool withLock) {
    if (FormStyle() != fsMDIChild || (ComponentState() & csLoading) != 0 || destroying_)
        return;
    TCustomForm* main = MainForm();
    if (main == nullptr || main->ActiveMDIChild() != this)
        return;
    const bool maximised = HandleAllocated() && ::IsZoomed(HandleIfAllocated());
    if (!withLock) {
        MDIChild_UpdateMdiDockState(this, maximised);
        return;
    }
    TMdiRedrawLock lock;
    MDIChild_UpdateMdiDockState(this, !maximised);
    MDIChild_UpdateMdiDockState(this, maximised);
}

void TVynFormLX::CreateParams(TCreateParams& params) {
    TVynForm::CreateParams(params);
    if (ownerForm_ != nullptr)
        params.WndParent = ownerForm_->Handle();
    if (taskBarButton_ && !Designing()) {
        params.ExStyle |= WS_EX_APPWINDOW;
        params.WndParent = nullptr;
    }
}

void TVynFormLX::CreateWnd() {
    TVynForm::CreateWnd();
    HookMdiClient();
}

void TVynFormLX::DestroyWindowHandle() {
    UnhookMdiClient();
    TVynForm::DestroyWindowHandle();
}

void TVynFormLX::HookMdiClient() {
    HWND client = ClientHandle();
    if (client == nullptr || client == hookedClient_)
        return;
    UnhookMdiClient();
    const bool unicode = ::IsWindowUnicode(client) != FALSE;
    const auto procedure = reinterpret_cast<LONG_PTR>(&TVynFormLX::MdiClientProcedure);
    ::SetPropW(client, MdiClientFormProperty, this);
    // The setter of the window's own character set keeps the window's character set.
    const LONG_PTR previous = unicode ? ::SetWindowLongPtrW(client, GWLP_WNDPROC, procedure)
                                      : ::SetWindowLongPtrA(client, GWLP_WNDPROC, procedure);
    ::SetPropW(client, MdiClientPreviousProperty, reinterpret_cast<HANDLE>(previous));
    previousClientProcedure_ = reinterpret_cast<WNDPROC>(previous);
    hookedClient_ = client;
}

void TVynFormLX::UnhookMdiClient() {
    HWND client = std::exchange(hookedClient_, nullptr);
    WNDPROC previous = std::exchange(previousClientProcedure_, nullptr);
    if (client == nullptr || !::IsWindow(client))
        return;
    ::RemovePropW(client, MdiClientFormProperty);
    const bool unicode = ::IsWindowUnicode(client) != FALSE;
    const LONG_PTR current =
        unicode ? ::GetWindowLongPtrW(client, GWLP_WNDPROC) : ::GetWindowLongPtrA(client, GWLP_WNDPROC);
    // Someone who replaced the procedure after this form still calls it; it then only passes on.
    if (current != reinterpret_cast<LONG_PTR>(&TVynFormLX::MdiClientProcedure))
        return;
    ::RemovePropW(client, MdiClientPreviousProperty);
    if (unicode)
        ::SetWindowLongPtrW(client, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    else
        ::SetWindowLongPtrA(client, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
}

LRESULT CALLBACK TVynFormLX::MdiClientProcedure(HWND client, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = static_cast<TVynFormLX*>(::GetPropW(client, MdiClientFormProperty));
    if (form == nullptr || form->hookedClient_ != client) {
        auto previous = reinterpret_cast<WNDPROC>(::GetPropW(client, MdiClientPreviousProperty));
        if (message == WM_NCDESTROY)
            ::RemovePropW(client, MdiClientPreviousProperty);
        if (previous == nullptr)
            return ::DefWindowProcW(client, message, wParam, lParam);
        return ::IsWindowUnicode(client) ? ::CallWindowProcW(previous, client, message, wParam, lParam)
                                         : ::CallWindowProcA(previous, client, message, wParam, lParam);
    }
    LRESULT result = 0;
    DispatchEvent(form, [&] { result = form->MdiClientWindowProc(client, message, wParam, lParam); });
    return result;
}

LRESULT TVynFormLX::CallPreviousClientProcedure(HWND client, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::IsWindowUnicode(client)
               ? ::CallWindowProcW(previousClientProcedure_, client, message, wParam, lParam)
               : ::CallWindowProcA(previousClientProcedure_, client, message, wParam, lParam);
}

LRESULT TVynFormLX::MdiClientWindowProc(HWND client, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) {
        const LRESULT result = CallPreviousClientProcedure(client, message, wParam, lParam);
        ::RemovePropW(client, MdiClientFormProperty);
        ::RemovePropW(client, MdiClientPreviousProperty);
        hookedClient_ = nullptr;
        previousClientProcedure_ = nullptr;
        return result;
    }
    if (message == WM_MDISETMENU) {
        if (lParam != 0)
            mdiWindowMenu_ = reinterpret_cast<HMENU>(lParam);
        BOOL maximised = FALSE;
        auto active = reinterpret_cast<HWND>(
            CallPreviousClientProcedure(client, WM_MDIGETACTIVE, 0, reinterpret_cast<LPARAM>(&maximised)));
        if (active != nullptr && maximised) {
            // The maximised child's caption buttons live in the frame's menu bar: the child is
            // restored for the switch, without painting the frame half-way.
            RECT area{};
            ::GetClientRect(active, &area);
            const LPARAM size = MAKELPARAM(area.right, area.bottom);
            suppressNcPaint_ = true;
            struct ClearFlag {
                bool& flag;
                ~ClearFlag() { flag = false; }
            } clear{suppressNcPaint_};
            ::SendMessageW(active, WM_SIZE, SIZE_RESTORED, size);
            const LRESULT result = CallPreviousClientProcedure(client, message, wParam, lParam);
            ::SendMessageW(active, WM_SIZE, SIZE_MAXIMIZED, size);
            suppressNcPaint_ = false;
            if (HandleAllocated()) {
                RECT frame{0, -1, Width(), 0};
                ::RedrawWindow(HandleIfAllocated(), &frame, nullptr, RDW_FRAME | RDW_INVALIDATE);
            }
            return result;
        }
    }
    return CallPreviousClientProcedure(client, message, wParam, lParam);
}

void TVynFormLX::DoClose(TCloseAction& action) {
    if (FormStyle() == fsMDIChild)
        action = caFree;
    TVynForm::DoClose(action);
    if (IsMainForm() && taskBarButton_ && !Designing() && action != caNone && OtherTaskBarFormVisible()) {
        action = caNone;
        State().closeMainWhenAlone = true;
        Hide();
    }
}

void TVynFormLX::HandleSetCursor(TMessage& message) {
    const bool wasActive = ApplicationActive();
    TVynForm::WndProc(message);
    HWND window = HandleIfAllocated();
    if (window == nullptr || reinterpret_cast<HWND>(message.WParam) != window ||
        HIWORD(message.LParam) != WM_LBUTTONDOWN || ::IsWindowEnabled(window))
        return;
    if (HWND popup = FindModalPopup(window))
        ActivateAndFlash(popup, true, wasActive);
    else if (HWND appPopup = AppModalPopup())
        ActivateAndFlash(appPopup, false, wasActive);
}

void TVynFormLX::HandleActivateApp(TMessage& message) {
    TVynForm::WndProc(message);
    HWND window = HandleIfAllocated();
    if (message.WParam == 0 || !Visible() || !taskBarButton_ || Designing() || window == nullptr ||
        ::IsWindowEnabled(window) || !formsState)
        return;
    HWND popup = AppModalPopup();
    if (popup == nullptr)
        return;
    auto& forms = formsState->bringToFrontForms;
    if (std::find(forms.begin(), forms.end(), this) == forms.end())
        forms.push_back(this);
    ::PostMessageW(window, formsState->bringToFrontMessage, reinterpret_cast<WPARAM>(popup), 0);
}

void TVynFormLX::HandleBringToFront(TMessage& message) {
    const std::vector<TVynFormLX*> forms = std::exchange(formsState->bringToFrontForms, {});
    for (auto form = forms.rbegin(); form != forms.rend(); ++form)
        if ((*form)->HandleAllocated())
            ::SetWindowPos((*form)->HandleIfAllocated(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    auto popup = reinterpret_cast<HWND>(message.WParam);
    if (::IsWindow(popup))
        ::SetActiveWindow(popup);
    message.Result = 0;
}

void TVynFormLX::WndProc(TMessage& message) {
    if (formsState && message.Msg == formsState->bringToFrontMessage && !formsState->bringToFrontForms.empty()) {
        HandleBringToFront(message);
        return;
    }
    switch (message.Msg) {
    case WM_NCPAINT:
        if (suppressNcPaint_) {
            message.Result = 0;
            return;
        }
        break;
    case WM_INITMENUPOPUP:
        if (FormStyle() == fsMDIForm && ClientHandle() != nullptr && mdiWindowMenu_ != nullptr &&
            reinterpret_cast<HMENU>(message.WParam) == mdiWindowMenu_)
            ::SendMessageW(ClientHandle(), WM_MDIREFRESHMENU, 0, 0);
        break;
    case WM_MDIACTIVATE: {
        TVynForm::WndProc(message);
        HWND window = HandleIfAllocated();
        if (window != nullptr && FormStyle() == fsMDIChild) {
            if (reinterpret_cast<HWND>(message.LParam) == window)
                MDIChild_UpdateMdiDockState(this, ::IsZoomed(window) != FALSE);
            else if (reinterpret_cast<HWND>(message.WParam) == window)
                MDIChild_UpdateMdiDockState(this, false);
        }
        return;
    }
    case WM_SYSCOMMAND:
        // A main form with its own button is minimised itself, not through the application.
        if ((message.WParam & 0xFFF0) == SC_MINIMIZE && IsMainForm() && taskBarButton_) {
            DefaultHandler(message);
            return;
        }
        break;
    case WM_ACTIVATE:
        TVynForm::WndProc(message);
        if (LOWORD(message.WParam) != WA_INACTIVE && taskBarButton_) {
            if (HandleAllocated() && !::IsWindowEnabled(HandleIfAllocated()))
                if (HWND popup = AppModalPopup())
                    ::SetActiveWindow(popup);
            ShowApplicationButton(true);
        }
        return;
    case WM_ACTIVATEAPP: HandleActivateApp(message); return;
    case WM_SETCURSOR: HandleSetCursor(message); return;
    case WM_SIZE:
        TVynForm::WndProc(message);
        if (FormStyle() == fsMDIChild)
            if (auto* main = dynamic_cast<TVynFormLX*>(MainForm()); main != nullptr && !main->suppressNcPaint_)
                RefreshMdiDockState(false);
        return;
    case WM_THEMECHANGED: UpdateMdiControlBarColor(); break;
    case CM_MENUCHANGED:
        if (Menu() != nullptr)
            RefreshVynMenu(*Menu());
        break;
    case CM_VISIBLECHANGED:
        TVynForm::WndProc(message);
        if (IsMainForm()) {
            ShowApplicationButton(taskBarButton_);
            if (Visible() && formsState)
                formsState->exitProcedureAdded = true;
        } else if (!Visible() && taskBarButton_) {
            CheckCloseMainWhenAlone();
        }
        return;
    case CM_SHOWINGCHANGED:
        TVynForm::WndProc(message);
        if (IsMainForm() || MainForm() == nullptr)
            ShowApplicationButton(taskBarButton_);
        return;
    default: break;
    }
    TVynForm::WndProc(message);
}
