// The application object: COM for the GUI thread, the title, the main form, the message loop,
// the termination request and the application-wide exception event.
#pragma once

#include <windows.h>

#include <functional>

#include "Classes.h"
#include "Forms.h"
#include "Handles.h"
#include "UnitRegistry.h"

class TApplication : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    // Initialises COM for this thread (undone when the application object goes).
    void Initialize();
    // The default title is the program's file name without extension.
    AnsiString Title() const { return title_; }
    void SetTitle(const AnsiString& title);
    // The hidden application window that owns every form.
    HWND Handle();

    template <class T>
    void CreateForm(T*& reference) {
        T* form = TCustomForm::CreateFromResource<T>(this);
        reference = form;
        if (mainForm_ == nullptr)
            mainForm_ = form;
    }
    TCustomForm* MainForm() const { return mainForm_; }

    // Shows the main form and handles messages until termination is requested.
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Handles the messages waiting in the queue, then returns.
    void ProcessMessages();

    // Must be called inside a catch handler: hands the exception being handled to OnException,
    // or shows it with ShowException. EAbort is silent.
    void HandleException(TObject* sender);
    // The standard exception message box: the message, a stop icon, the title as caption.
    void ShowException(const Exception& error);
    std::function<void(TObject* sender, Exception& error)> OnException;

private:
    bool HandleMessage();

    AnsiString title_;
    UniqueWindow window_;
    TCustomForm* mainForm_ = nullptr;
    bool terminated_ = false;
    bool comInitialized_ = false;
};

// Created by the forms unit's start-up, destroyed by its end.
extern TApplication* Application;

// For window procedures and other callbacks: no exception may cross the system's frames.
void HandleExceptionInCallback(TObject* sender) noexcept;

extern const TUnitInfo RtlFormsUnit;
