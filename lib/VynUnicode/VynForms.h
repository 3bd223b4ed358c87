// The Unicode application and forms: the wide application title and hint, characters beyond the
// ANSI code page delivered to Unicode windows, forms with wide captions and hints in Unicode
// windows (also MDI children) that read the stored descriptions of all their classes, and the
// set-up of the Unicode environment at start.
#pragma once

#include <windows.h>

#include "Application.h"
#include "Forms.h"
#include "UnitRegistry.h"
#include "VynControls.h"

using TWideCaption = WideString;

class TVynAppIdleEventControl;

// The process's one TVynApplication, beside the framework's Application; made and freed by the
// unit VynForms.
class TVynApplication : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynApplication(TComponent* owner);
    ~TVynApplication() override;

    // The application title as wide text: the application window's text once the window exists
    // (NT family), otherwise the wide value kept beside the framework's ANSI title. A title set
    // before the window exists is given to the window when it is made.
    WideString WideTitle();
    void SetWideTitle(const WideString& title);
    // The application hint, kept beside the framework's ANSI hint.
    WideString WideHint();
    void SetWideHint(const WideString& hint);
    // WideHint becomes the long part of the wide hint of the control under the mouse, or of its
    // nearest parent that has one; empty when none has.
    void UpdateHintFromMouse();

    // The invisible control put on a main form that is not a TVynForm, or null.
    TVynAppIdleEventControl* IdleEventControl() const { return idleEventControl_; }
    // Called for each message the thread's queue hands out; see the unit's message hook.
    void HandleQueuedMessage(MSG& message);

private:
    friend class TVynAppIdleEventControl;
    bool ApplicationWindowHook(TMessage& message);
    void CheckMainForm();

    WideString wideHint_;
    // Beside the ANSI title; also a title waiting for the application window.
    WideString wideTitle_;
    bool mainFormChecked_ = false;
    TVynAppIdleEventControl* idleEventControl_ = nullptr;
};

extern TVynApplication* VynApplication;

// Sits invisibly on a main form that is not a TVynForm, so that the application's idle updates
// also refresh the wide hint from the mouse there.
class TVynAppIdleEventControl : public TControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynAppIdleEventControl(TComponent* owner);
    ~TVynAppIdleEventControl() override;
};

// A form with a wide caption and hint. Its window is a Unicode window on the NT family (MDI
// children too); constructed from a stored description, it reads the descriptions of every class
// from its own class up to (not including) the base class it was constructed for.
class TVynForm : public TVynUnicodeWinControl<TForm> {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynForm(TComponent* owner);
    ~TVynForm() override;

    // Wide: these hide the framework's ANSI Caption and Hint (still reachable through TControl).
    TWideCaption Caption() const;
    void SetCaption(const TWideCaption& caption);
    WideString Hint() const;
    void SetHint(const WideString& hint);

    void DefineProperties(TFiler& filer) override;
    // The framework's updates, then the application's wide hint from the mouse.
    void UpdateActions() override;

protected:
    // CreateFromResource runs InitializeForm.
    friend class TCustomForm;
    // For classes below TVynForm whose own stored description is the first to read: baseClass is
    // the class whose descriptions are not read (the deriving class itself).
    TVynForm(TComponent* owner, const TClassInfo& baseClass);

    void InitializeForm() override;
    void CreateWindowHandle(const TCreateParams& params) override;
    void DestroyWindowHandle() override;
    void DefaultHandler(TMessage& message) override;
    void WndProc(TMessage& message) override;
    // The action's wide caption and hint where the framework takes its ANSI ones.
    void ActionChange(TObject* sender, bool checkDefaults) override;
    std::unique_ptr<TControlActionLink> CreateActionLink() override;

private:
    void CreateUnicodeMDIChild(const TCreateParams& params);
    // The application's wide hint becomes that of the menu item the message selects.
    void MenuItemSelected(const TMessage& message);
    // The Unicode menu layer writes the wide captions of the menu bar again.
    void RefreshMenus();

    const TClassInfo& baseClass_;
};

// Replaces the runtime's conversions, resource strings and wide formatting with the Unicode
// runtime's (DefaultCodePage becomes 0), makes DefaultUiFontName the face of new fonts, and
// TVynHintWindow the framework's hint window class. Run once, before any form is loaded.
void SetUpUnicodeEnvironment();
// The face of the system's dialog font: "MS Shell Dlg 2" as the profile's font substitutes name
// it (written there when missing: "Tahoma" when installed, else the "MS Shell Dlg" face).
WideString DefaultUiFontName();
// Whether this process is a COM+ host (w3wp.exe or dllhost.exe).
bool IsComPlusHost();

// The thread message hook that hands characters beyond the ANSI code page to Unicode windows;
// the unit installs it on the NT family. Installing it elsewhere is an assertion failure.
void InstallVynMessageHook();
void RemoveVynMessageHook();

extern const TUnitInfo VynFormsUnit;
