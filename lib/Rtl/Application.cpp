#include "Application.h"

#include <objbase.h>

#include <algorithm>
#include <memory>

#include "ActnList.h"
#include "OSError.h"
#include "ResourceModule.h"
#include "Screen.h"
#include "TextConversion.h"
#include "Timer.h"
#include "Unattended.h"
#include "WinText.h"
#include "WindowClasses.h"

TApplication* Application = nullptr;

namespace {

AnsiString ProgramName() {
    WCHAR path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    WideString name(reinterpret_cast<const char16_t*>(path), length);
    const size_t slash = name.find_last_of(u"\\/:");
    if (slash != WideString::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.rfind(u'.');
    if (dot != WideString::npos)
        name.erase(dot);
    return WideToAnsi(name);
}

// Posted to the application window: free the forms that asked for it.
constexpr UINT CM_RELEASE = CM_BASE + 33;

void StartForms() {
    RegisterComponentClass(TTimer::StaticClassInfo());
    // Held until the application exists, so that a failing start leaves no screen behind.
    auto screen = std::make_unique<TScreen>(nullptr);
    Application = new TApplication(nullptr);
    Screen = screen.release();
}

void EndForms() {
    delete Application;
    Application = nullptr;
    delete Screen;
    Screen = nullptr;
    UnregisterComponentClass(TTimer::StaticClassInfo());
}

} // namespace

const TUnitInfo RtlFormsUnit{"lib/Rtl/Forms", StartForms, EndForms};

const TClassInfo& TApplication::StaticClassInfo() {
    static const TClassInfo info{"TApplication", &TComponent::StaticClassInfo()};
    return info;
}

TApplication::TApplication(TComponent* owner) : TComponent(owner), title_(ProgramName()) {}

TApplication::~TApplication() {
    // Forms and their windows go before COM is released.
    while (ComponentCount() > 0)
        delete Components(ComponentCount() - 1);
    mainForm_ = nullptr;
    releasedForms_.clear();
    hooks_.clear();
    window_.reset();
    if (comInitialized_)
        ::CoUninitialize();
}

void TApplication::Initialize() {
    if (!comInitialized_) {
        const HRESULT result = ::CoInitialize(nullptr);
        comInitialized_ = SUCCEEDED(result);
    }
}

AnsiString TApplication::Title() const {
    if (!window_)
        return title_;
    return WindowTextA(window_.get());
}

void TApplication::SetTitle(const AnsiString& title) {
    title_ = title;
    if (window_)
        ::SetWindowTextA(window_.get(), title_.c_str());
}

void TApplication::SetHint(const AnsiString& hint) {
    if (hint == hint_)
        return;
    hint_ = hint;
    if (OnHint) {
        OnHint(this);
        return;
    }
    // Controls that show hints (a status bar) take it from the hint action.
    THintAction action(nullptr);
    action.SetHint(hint_);
    action.Execute();
}

HWND TApplication::Handle() {
    if (!window_) {
        static const char className[] = "TApplication";
        WNDCLASSA windowClass{};
        if (!::GetClassInfoA(MainInstance(), className, &windowClass)) {
            windowClass.lpfnWndProc = &TApplication::ApplicationWindowProcedure;
            windowClass.hInstance = MainInstance();
            windowClass.lpszClassName = className;
            windowClass.hIcon = ProgramIcon(::GetSystemMetrics(SM_CXICON));
            if (::RegisterClassA(&windowClass) == 0)
                RaiseLastOSError();
        }
        HWND window = ::CreateWindowExA(0, className, title_.c_str(),
                                        WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                                        0, 0, nullptr, nullptr, MainInstance(), this);
        if (window == nullptr) {
            const DWORD error = ::GetLastError();
            static_cast<void>(window_.release()); // the system destroyed the window it had begun
            RaiseOSError(error);
        }
        if (window_.get() != window)
            window_.reset(window);
    }
    return window_.get();
}

LRESULT CALLBACK TApplication::ApplicationWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
        // Hooks see WM_CREATE with the window already known as the application's.
        if (auto* creating = static_cast<TApplication*>(creation->lpCreateParams);
            creating != nullptr && !creating->window_)
            creating->window_.reset(window);
    }
    auto* application = reinterpret_cast<TApplication*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (application == nullptr || application != Application)
        return ::DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    DispatchEvent(application, [&] { result = application->WindowProcedure(window, message, wParam, lParam); });
    return result;
}

LRESULT TApplication::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    TMessage record{message, wParam, lParam, 0};
    // A hook may unhook itself; the list is copied for the walk.
    const auto hooks = hooks_;
    for (const auto& hook : hooks)
        if (hook.second(record))
            return record.Result;
    switch (message) {
    case WM_CLOSE:
        if (mainForm_ != nullptr)
            mainForm_->Close();
        return 0;
    case CM_RELEASE:
        FreeReleasedForms();
        return 0;
    default: break;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void TApplication::HookMainWindow(const void* owner, TWindowHook hook) {
    hooks_.emplace_back(owner, std::move(hook));
}

void TApplication::UnhookMainWindow(const void* owner) {
    std::erase_if(hooks_, [owner](const auto& hook) { return hook.first == owner; });
}

void TApplication::CancelHint() {
    if (OnCancelHint)
        OnCancelHint();
}

bool TApplication::HelpContext(int32_t context) {
    TCustomForm* form = mainForm_;
    if (HWND active = ::GetActiveWindow(); active != nullptr)
        if (auto* activeForm = dynamic_cast<TCustomForm*>(TWinControl::FromHandle(active)))
            form = activeForm;
    if (form == nullptr || form->HelpFile().empty())
        return false;
    return ::WinHelpA(form->Handle(), form->HelpFile().c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(context)) != 0;
}

void TApplication::FormDestroyed(TCustomForm* form) {
    if (mainForm_ == form)
        mainForm_ = nullptr;
    std::erase(releasedForms_, form);
}

void TApplication::ReleaseForm(TCustomForm* form) {
    if (std::find(releasedForms_.begin(), releasedForms_.end(), form) == releasedForms_.end())
        releasedForms_.push_back(form);
    ::PostMessageA(Handle(), CM_RELEASE, 0, 0);
}

void TApplication::FreeReleasedForms() {
    while (!releasedForms_.empty()) {
        TCustomForm* form = releasedForms_.back();
        releasedForms_.pop_back();
        delete form;
    }
}

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

} // namespace

void TApplication::Idle() {
    std::vector<HWND> windows;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        // An update may close forms; each window is looked up again.
        auto* form = dynamic_cast<TCustomForm*>(TWinControl::FromHandle(window));
        if (form != nullptr && ::IsWindowVisible(window) && ::IsWindowEnabled(window))
            form->UpdateActions();
    }
}

bool TApplication::HandleMessage() {
    MSG message;
    if (!::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        try {
            Idle();
        } catch (...) {
            HandleException(this);
        }
    }
    const BOOL result = ::GetMessageA(&message, nullptr, 0, 0);
    if (result == 0 || result == -1) {
        terminated_ = true;
        return false;
    }
    bool handled = false;
    if (OnMessage)
        OnMessage(message, handled);
    if (!handled && dialogHandle_ != nullptr && ::IsDialogMessageA(dialogHandle_, &message))
        handled = true;
    if (!handled) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return true;
}

void TApplication::Run() {
    if (mainForm_ != nullptr) {
        try {
            mainForm_->Show();
        } catch (...) {
            HandleException(this);
        }
    }
    // Runs until WM_QUIT itself is taken from the queue, so that no stale quit message is left
    // behind for a later loop.
    while (HandleMessage()) {
    }
}

void TApplication::ProcessMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        if (message.message == WM_QUIT) {
            ::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
            terminated_ = true;
            break;
        }
        HandleMessage();
    }
}

void TApplication::Terminate() {
    if (!terminated_) {
        terminated_ = true;
        ::PostQuitMessage(0);
    }
}

void TApplication::ShowException(const Exception& error) {
    AnsiString message = error.Message();
    // A message gets a closing period unless it already ends in punctuation.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        message += '.';
    if (RunsUnattended()) {
        TellUnattended(AnsiToWide(message));
        return;
    }
    // Over the window the user works in: a modal form disables the main form, and a box owned by
    // a disabled window would enable it again when it closes.
    HWND owner = ::GetActiveWindow();
    if (owner == nullptr || !::IsWindowEnabled(owner))
        owner = (mainForm_ != nullptr && mainForm_->HandleAllocated()) ? mainForm_->Handle() : nullptr;
    ::MessageBoxW(owner, WinText(AnsiToWide(message)), WinText(AnsiToWide(Title())), MB_OK | MB_ICONSTOP);
}

void TApplication::HandleException(TObject* sender) {
    auto dispatch = [&](Exception& error) {
        ++reportedErrors_;
        // The dialogs OnException shows would wait for a user who is not there.
        if (RunsUnattended())
            ShowException(error);
        else if (OnException)
            OnException(sender, error);
        else
            ShowException(error);
    };
    try {
        throw;
    } catch (EAbort&) {
    } catch (Exception& error) {
        dispatch(error);
    } catch (std::exception& error) {
        Exception wrapped(error.what());
        dispatch(wrapped);
    } catch (...) {
        Exception wrapped("Unknown exception");
        dispatch(wrapped);
    }
}

void HandleExceptionInCallback(TObject* sender) noexcept {
    try {
        if (Application != nullptr)
            Application->HandleException(sender);
    } catch (...) {
        // The handler itself failed; there is nobody left to tell.
    }
}
