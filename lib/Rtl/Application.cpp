#include "Application.h"

#include <objbase.h>

#include <memory>

#include "OSError.h"
#include "ResourceModule.h"
#include "Screen.h"
#include "TextConversion.h"
#include "Timer.h"
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

LRESULT CALLBACK ApplicationWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE && Application != nullptr) {
        if (TCustomForm* main = Application->MainForm())
            main->Close();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

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

void TApplication::SetTitle(const AnsiString& title) {
    title_ = title;
    if (window_)
        ::SetWindowTextW(window_.get(), WinText(AnsiToWide(title_)));
}

HWND TApplication::Handle() {
    if (!window_) {
        static const WCHAR className[] = L"TApplication";
        EnsureWindowClass(className, ApplicationWindowProcedure);
        HWND window = ::CreateWindowExW(0, className, WinText(AnsiToWide(title_)), WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                        0, 0, 0, 0, nullptr, nullptr, MainInstance(), nullptr);
        if (window == nullptr)
            RaiseLastOSError();
        window_.reset(window);
    }
    return window_.get();
}

bool TApplication::HandleMessage() {
    MSG message;
    const BOOL result = ::GetMessageW(&message, nullptr, 0, 0);
    if (result == 0 || result == -1) {
        terminated_ = true;
        return false;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
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
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            terminated_ = true;
            break;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
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
    HWND owner = (mainForm_ != nullptr && mainForm_->HandleAllocated()) ? mainForm_->Handle() : nullptr;
    ::MessageBoxW(owner, WinText(AnsiToWide(message)), WinText(AnsiToWide(title_)), MB_OK | MB_ICONSTOP);
}

void TApplication::HandleException(TObject* sender) {
    auto dispatch = [&](Exception& error) {
        if (OnException)
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
