// The extended form: a Unicode form with window-management rules. A form may have a task-bar
// button of its own; a click on a form that a modal dialog has disabled brings the dialog forward
// and flashes its caption; re-activating the application through such a form's task-bar button
// brings the right windows to the front ("Vyn.BringToFront"); an MDI child merges its tool bar
// and status bar into the main form's bars while it is maximised.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "ComCtrls.h"
#include "ControlBars.h"
#include "UnitRegistry.h"
#include "VynForms.h"

// The bars an MDI main form and its children dock into each other.
class TVynControlBar : public TControlBar {
    RTL_DECLARE_CLASS_INFO()
public:
    using TControlBar::TControlBar;
};

class TVynStatusBar : public TStatusBar {
    RTL_DECLARE_CLASS_INFO()
public:
    using TStatusBar::TStatusBar;
};

class TVynFormLX : public TVynForm {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynFormLX(TComponent* owner);
    ~TVynFormLX() override;
    // Reachable for CreateFromResource, also for the classes below this one.
    using TVynForm::InitializeForm;

    // Raises EVynInternalError for an MDI style (or any style of the main form) while an owner
    // form is set, and for the MDI child style while the form has a task-bar button.
    void SetFormStyle(TFormStyle style) override;
    // A button of the form's own on the task bar (and no owner window). Raises EVynGeneralError
    // for an MDI child or a form with an owner form.
    bool TaskBarButton() const { return taskBarButton_; }
    void SetTaskBarButton(bool value);

    // The bars of MDI docking; each reference is cleared when its bar goes.
    TVynControlBar* MDIControlBar() const { return mdiControlBar_; }
    void SetMDIControlBar(TVynControlBar* bar);
    TToolBar* MDIToolBar() const { return mdiToolBar_; }
    void SetMDIToolBar(TToolBar* bar);
    TVynStatusBar* MDIStatusBar() const { return mdiStatusBar_; }
    void SetMDIStatusBar(TVynStatusBar* bar);

    // A form whose window owns this form's window; cleared (and this window made again) when that
    // form goes. Raises like the style and task-bar rules do for forms that cannot be owned.
    TVynFormLX* OwnerForm() const { return ownerForm_; }
    void SetOwnerForm(TVynFormLX* form);

    // Whether this MDI child's bars are docked into the main form's.
    bool MdiDocked() const { return mdiDocked_; }
    // The child status bar docked into this (main) form's status bar, or null.
    TVynStatusBar* DockedChildStatusBar() const { return dockedChildStatusBar_; }

    // The menu bar, its wide captions written first; stored by name like the bars.
    void SetMenu(TMainMenu* menu) override;

    void Loaded() override;
    void DefineProperties(TFiler& filer) override;

protected:
    // For classes below this one that want their own class to be the base of resource loading.
    TVynFormLX(TComponent* owner, const TClassInfo& baseClass);

    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void DestroyWindowHandle() override;
    void WndProc(TMessage& message) override;
    void DoClose(TCloseAction& action) override;

private:
    friend void MDIChild_UpdateMdiDockState(TVynFormLX* child, bool docked);

    bool IsMainForm() const;
    bool Designing() const { return (ComponentState() & csDesigning) != 0; }
    void WatchReference(TComponent* reference, std::function<void()> cleared);
    void UpdateMdiControlBarColor();
    void HookStatusBar();
    void UnhookStatusBar();
    void StatusBarWindowProc(TMessage& message);
    void PaintDockSeparators();
    void SetDockedChildStatusBar(TVynStatusBar* bar);
    void RefreshMdiDockState(bool withLock);
    void HookMdiClient();
    void UnhookMdiClient();
    static LRESULT CALLBACK MdiClientProcedure(HWND client, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT MdiClientWindowProc(HWND client, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT CallPreviousClientProcedure(HWND client, UINT message, WPARAM wParam, LPARAM lParam);
    void HandleSetCursor(TMessage& message);
    void HandleActivateApp(TMessage& message);
    void HandleBringToFront(TMessage& message);
    void LeaveTaskBarForms();
    bool OtherTaskBarFormVisible() const;
    // Closes the main form that closing hid, once no other task-bar form is open.
    static void CheckCloseMainWhenAlone();

    bool taskBarButton_ = false;
    bool destroying_ = false;
    TVynControlBar* mdiControlBar_ = nullptr;
    TToolBar* mdiToolBar_ = nullptr;
    TVynStatusBar* mdiStatusBar_ = nullptr;
    TVynFormLX* ownerForm_ = nullptr;
    // The MDI client whose procedure this form replaced, and the one it replaced.
    HWND hookedClient_ = nullptr;
    WNDPROC previousClientProcedure_ = nullptr;
    // The MDI window menu the client was last given.
    HMENU mdiWindowMenu_ = nullptr;
    // The status bar whose WindowProc this form replaced, and the one it replaced.
    TStatusBar* hookedStatusBar_ = nullptr;
    std::function<void(TMessage&)> previousStatusBarProc_;
    TVynStatusBar* dockedChildStatusBar_ = nullptr;
    // Where this child's status bar was before it was docked.
    RECT savedStatusBarBounds_{};
    TAlign savedStatusBarAlign_ = alNone;
    bool savedStatusBarSizeGrip_ = true;
    bool mdiDocked_ = false;
    // Set while the menu of a maximised MDI child is switched: the frame is painted once after.
    bool suppressNcPaint_ = false;
    // Names of the bars read from a stored description, bound once every component exists.
    AnsiString pendingMenu_, pendingControlBar_, pendingToolBar_, pendingStatusBar_;
};

// ---- Task-bar buttons and closing

// Shows the application window's task-bar button, or hides it when the main form has its own.
void ShowApplicationButton(bool ownButton);
// The forms that have a task-bar button of their own, in the order they got it.
const std::vector<TVynFormLX*>& TaskBarForms();
// Set when closing the main form was turned into hiding it because another task-bar form was
// open; the main form is closed once it is alone.
bool CloseMainWhenAlone();

// ---- Modal popups, flashing, bringing to the front

// The enabled modal popup window owned by window that was active last: a framework form shown
// modally, or a dialog with a modal frame; null when there is none.
HWND FindModalPopup(HWND window);
// FindModalPopup of the application window.
HWND AppModalPopup();
// Flashes the window's caption three times quickly (once where the system cannot do that).
void FlashWindowOnce(HWND window);
// Activates the window; when the application was active, beeps (if asked) and flashes it.
void ActivateAndFlash(HWND window, bool beep, bool applicationWasActive);
// The message a disabled task-bar form posts to itself when the application is activated.
UINT BringToFrontMessage();
// The forms waiting to be brought to the front by that message, in the order they were added.
const std::vector<TVynFormLX*>& BringToFrontForms();

// The system calls the flashing goes through; tests replace them to watch what happens. A null
// FlashWindowEx means the system has none. Returns the routines in place before.
struct TWindowFlashRoutines {
    BOOL(WINAPI* FlashWindowEx)(PFLASHWINFO info) = nullptr;
    BOOL(WINAPI* FlashWindow)(HWND window, BOOL invert) = nullptr;
    BOOL(WINAPI* MessageBeep)(UINT type) = nullptr;
};
TWindowFlashRoutines ReplaceWindowFlashRoutines(const TWindowFlashRoutines& routines);

// ---- MDI

// Stops the main form and its MDI client from painting until the outermost EndMdiRedrawLock,
// which repaints them once.
void BeginMdiRedrawLock();
void EndMdiRedrawLock();
class TMdiRedrawLock {
public:
    TMdiRedrawLock() { BeginMdiRedrawLock(); }
    ~TMdiRedrawLock() { EndMdiRedrawLock(); }
    TMdiRedrawLock(const TMdiRedrawLock&) = delete;
    TMdiRedrawLock& operator=(const TMdiRedrawLock&) = delete;
};

// Docks the MDI child's tool bar and status bar into the main form's (docked) or puts them back.
// Raises EVynInternalError for a form that is not an MDI child.
void MDIChild_UpdateMdiDockState(TVynFormLX* child, bool docked);

extern const TUnitInfo VynLXFormsUnit;
