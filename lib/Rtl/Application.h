// The application object: COM for the GUI thread, the title and hint, the hidden application
// window, the main form, the message loop with its hooks, the termination request and the
// application-wide exception event.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "Classes.h"
#include "Forms.h"
#include "Handles.h"
#include "SystemFaults.h"
#include "UnitRegistry.h"

// A hook on the application window's messages; true when it handled the message.
using TWindowHook = std::function<bool(TMessage& message)>;
// Sees every message taken from the queue first; setting handled keeps it from dispatch.
using TMessageEvent = std::function<void(MSG& message, bool& handled)>;

class TApplication : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    // Initialises COM for this thread (undone when the application object goes).
    void Initialize();
    // The default title is the program's file name without extension.
    AnsiString Title() const;
    void SetTitle(const AnsiString& title);
    AnsiString Hint() const { return hint_; }
    void SetHint(const AnsiString& hint);
    TNotifyEvent OnHint;
    // The hidden application window that owns every form (an ANSI window, as all framework
    // windows are).
    HWND Handle();
    bool HandleAllocated() const { return window_.valid(); }

    template <class T>
    void CreateForm(T*& reference) {
        T* form = TCustomForm::CreateFromResource<T>(this);
        reference = form;
        if (mainForm_ == nullptr)
            mainForm_ = form;
    }
    TCustomForm* MainForm() const { return mainForm_; }
    void SetMainForm(TCustomForm* form) { mainForm_ = form; }

    // Shows the main form and handles messages until termination is requested.
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Handles the messages waiting in the queue, then returns.
    void ProcessMessages();
    // Waits for one message and handles it; false once WM_QUIT was taken. An empty queue first
    // lets the visible forms update their actions (Idle).
    bool HandleMessage();
    void Idle();

    TMessageEvent OnMessage;
    // The modeless dialog window whose keys the loop hands to IsDialogMessage, or null.
    HWND DialogHandle() const { return dialogHandle_; }
    void SetDialogHandle(HWND window) { dialogHandle_ = window; }
    // Hooks on the application window, asked in the order added.
    void HookMainWindow(const void* owner, TWindowHook hook);
    void UnhookMainWindow(const void* owner);
    // Hides a hint that is showing; hints are shown by the hint window class of the forms layer.
    void CancelHint();
    std::function<void()> OnCancelHint;
    // Asks the help system for the context of the active form's help file; false without one.
    bool HelpContext(int32_t context);
    TBiDiMode BiDiMode() const { return biDiMode_; }
    void SetBiDiMode(TBiDiMode mode) { biDiMode_ = mode; }

    // Must be called inside a catch handler: hands the exception being handled to OnException,
    // or shows it with ShowException; in an unattended run its message goes to the run's sink
    // instead. EAbort is silent.
    void HandleException(TObject* sender);
    // How many exceptions HandleException has reported (EAbort not counted): a program that told
    // its user of an error does not end as if it had succeeded.
    int32_t ReportedErrorCount() const { return reportedErrors_; }
    // The standard exception message box: the message, a stop icon, the title as caption.
    void ShowException(const Exception& error);
    std::function<void(TObject* sender, Exception& error)> OnException;

    // For forms: one is going, or asks to be freed once the queue is handled.
    void FormDestroyed(TCustomForm* form);
    void ReleaseForm(TCustomForm* form);

private:
    LRESULT WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ApplicationWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void FreeReleasedForms();

    AnsiString title_;
    AnsiString hint_;
    UniqueWindow window_;
    TCustomForm* mainForm_ = nullptr;
    bool terminated_ = false;
    bool comInitialized_ = false;
    int32_t reportedErrors_ = 0;
    HWND dialogHandle_ = nullptr;
    TBiDiMode biDiMode_ = bdLeftToRight;
    std::vector<std::pair<const void*, TWindowHook>> hooks_;
    std::vector<TCustomForm*> releasedForms_;
};

// Created by the forms unit's start-up, destroyed by its end.
extern TApplication* Application;

// For window procedures and other callbacks: no exception may cross the system's frames.
void HandleExceptionInCallback(TObject* sender) noexcept;

// Runs an event handler for a system callback: a fault in the program's code inside it is raised
// as its exception object, and whatever it raises goes to the application's handler instead of
// crossing the system's frames. True when the handler returned normally.
template <class Handler>
bool DispatchEvent(TObject* sender, Handler&& handler) noexcept {
    try {
        const TFaultMappingScope faults;
        handler();
        return true;
    } catch (...) {
        HandleExceptionInCallback(sender);
        return false;
    }
}

extern const TUnitInfo RtlFormsUnit;
