// The extended form's window management in real windows: task-bar buttons and the application
// window, closing with several task-bar forms, style rules, clicks on forms a modal dialog has
// disabled, "Vyn.BringToFront", redraw locks and MDI docking of the bars.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "ComCtrls.h"
#include "ControlBars.h"
#include "FormData.h"
#include "FormLoader.h"
#include "FormWriter.h"
#include "FreeNotification.h"
#include "Menus.h"
#include "VynForms.h"
#include "VynMenus.h"
#include "VynLXForms.h"
#include "VynSysUtils.h"
#include "VynSysUtilsPaths.h"
#include "VynSystem.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

class TTestFormLX : public TVynFormLX {
    RTL_DECLARE_CLASS_INFO()
public:
    using TVynFormLX::TVynFormLX;
};

const TClassInfo& TTestFormLX::StaticClassInfo() {
    static const TClassInfo info{"TTestFormLX", &TVynFormLX::StaticClassInfo()};
    return info;
}

// What the flashing did, through the replaced system calls.
struct TFlashLog {
    std::vector<FLASHWINFO> flashedEx;
    std::vector<HWND> flashed;
    int beeps = 0;
};
TFlashLog* flashLog = nullptr;

BOOL WINAPI RecordFlashWindowEx(PFLASHWINFO info) {
    flashLog->flashedEx.push_back(*info);
    return TRUE;
}
BOOL WINAPI RecordFlashWindow(HWND window, BOOL) {
    flashLog->flashed.push_back(window);
    return TRUE;
}
BOOL WINAPI RecordMessageBeep(UINT) {
    ++flashLog->beeps;
    return TRUE;
}

// Work to do once a modal loop runs: a thread timer's message reaches it there.
std::vector<std::function<void()>>* timerSteps = nullptr;
void CALLBACK RunTimerStep(HWND, UINT, UINT_PTR id, DWORD) {
    if (timerSteps == nullptr || timerSteps->empty()) {
        ::KillTimer(nullptr, id);
        return;
    }
    auto step = std::move(timerSteps->front());
    timerSteps->erase(timerSteps->begin());
    if (timerSteps->empty())
        ::KillTimer(nullptr, id);
    step();
}

// The colour the bar of a menu has on this system.
TColor MenuBarColor() {
    HMODULE theme = ::LoadLibraryW(L"uxtheme.dll");
    bool themed = false;
    if (theme != nullptr) {
        using TQuery = BOOL(WINAPI*)();
        auto appThemed = reinterpret_cast<TQuery>(reinterpret_cast<void*>(::GetProcAddress(theme, "IsAppThemed")));
        auto active = reinterpret_cast<TQuery>(reinterpret_cast<void*>(::GetProcAddress(theme, "IsThemeActive")));
        themed = appThemed != nullptr && active != nullptr && appThemed() && active();
        ::FreeLibrary(theme);
    }
    return clSystemColor | (themed ? COLOR_MENUBAR : COLOR_MENU);
}

bool ProgramIsForeground() {
    DWORD process = 0;
    ::GetWindowThreadProcessId(::GetForegroundWindow(), &process);
    return process == ::GetCurrentProcessId();
}

class LXForms : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit, &RtlComCtrlsUnit,
            &RtlControlBarsUnit, &VynLXFormsUnit});
        flashLog = &log_;
        previousRoutines_ = ReplaceWindowFlashRoutines({&RecordFlashWindowEx, &RecordFlashWindow, &RecordMessageBeep});
        timerSteps = &steps_;
    }
    void TearDown() override {
        timerSteps = nullptr;
        ReplaceWindowFlashRoutines(previousRoutines_);
        // A termination asked for by a test leaves its quit message behind.
        Application->ProcessMessages();
        units_.reset();
        flashLog = nullptr;
    }

    TTestFormLX* NewForm() { return TCustomForm::CreateNew<TTestFormLX>(Application); }
    TTestFormLX* NewMainForm(bool taskBarButton) {
        TTestFormLX* form = NewForm();
        Application->SetMainForm(form);
        form->SetTaskBarButton(taskBarButton);
        return form;
    }
    // Runs the steps one by one from a timer, while the dialog's modal loop runs.
    void RunModal(TCustomForm& dialog, std::vector<std::function<void()>> steps) {
        steps_ = std::move(steps);
        steps_.push_back([&dialog] { dialog.SetModalResult(mrOk); });
        ::SetTimer(nullptr, 0, 30, &RunTimerStep);
        dialog.ShowModal();
    }
    bool ApplicationButtonShown() { return ::IsWindowVisible(Application->Handle()) != FALSE; }

    std::unique_ptr<TUnitStartup> units_;
    TFlashLog log_;
    TWindowFlashRoutines previousRoutines_;
    std::vector<std::function<void()>> steps_;
};

// ---- Task-bar buttons

TEST_F(LXForms, AMainFormWithItsOwnButtonIsAnAppWindowWithoutOwnerAndHidesTheApplicationsButton) {
    TTestFormLX* form = NewMainForm(true);
    form->Show();
    HWND window = form->Handle();
    EXPECT_TRUE(::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr);
    EXPECT_FALSE(ApplicationButtonShown());
    EXPECT_EQ(TaskBarForms(), (std::vector<TVynFormLX*>{form}));

    ::ShowWindow(Application->Handle(), SW_SHOWNA);
    form->Hide();
    EXPECT_FALSE(ApplicationButtonShown()) << "hidden again when the main form's visibility changes";

    form->Show();
    ::ShowWindow(Application->Handle(), SW_SHOWNA);
    ::SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_FALSE(ApplicationButtonShown()) << "hidden again when the form is activated";
}

TEST_F(LXForms, AMainFormWithoutItsOwnButtonLeavesTheButtonToTheApplication) {
    TTestFormLX* form = NewMainForm(false);
    form->Show();
    EXPECT_FALSE(::GetWindowLongW(form->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(::GetWindow(form->Handle(), GW_OWNER), Application->Handle());
    EXPECT_TRUE(ApplicationButtonShown());

    HWND before = form->Handle();
    form->SetTaskBarButton(true);
    EXPECT_NE(form->Handle(), before) << "the window is made again with the new style";
    EXPECT_TRUE(::IsWindowVisible(form->Handle()));
    EXPECT_TRUE(::GetWindowLongW(form->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_FALSE(ApplicationButtonShown());

    form->SetTaskBarButton(false);
    EXPECT_TRUE(ApplicationButtonShown());
    EXPECT_TRUE(TaskBarForms().empty());
}

TEST_F(LXForms, FormsThatCannotHaveAButtonOrAnOwnerAreRefused) {
    TTestFormLX* child = NewForm();
    child->SetFormStyle(fsMDIChild);
    EXPECT_EQ(MessageOf([&] { child->SetTaskBarButton(true); }),
              "A MDI child or a contained form can not have its own task bar button.");
    EXPECT_THROW(child->SetTaskBarButton(true), EVynGeneralError);
    EXPECT_FALSE(child->TaskBarButton());
    EXPECT_TRUE(TaskBarForms().empty());

    TTestFormLX* owner = NewForm();
    TTestFormLX* owned = NewForm();
    owned->SetOwnerForm(owner);
    EXPECT_THROW(owned->SetTaskBarButton(true), EVynGeneralError);
    EXPECT_EQ(MessageOf([&] { owned->SetFormStyle(fsMDIForm); }),
              "Internal Error: An owned form can not be a main or MDI form.");
    EXPECT_THROW(owned->SetFormStyle(fsMDIChild), EVynInternalError);
    EXPECT_EQ(owned->FormStyle(), fsNormal);
    owned->SetFormStyle(fsStayOnTop);
    EXPECT_EQ(owned->FormStyle(), fsStayOnTop) << "other styles are fine for an owned form";

    TTestFormLX* withButton = NewForm();
    withButton->SetTaskBarButton(true);
    EXPECT_EQ(MessageOf([&] { withButton->SetFormStyle(fsMDIChild); }),
              "Internal Error: An MDI child form can not have a taskbar button.");
    EXPECT_THROW(withButton->SetFormStyle(fsMDIChild), EVynInternalError);
    EXPECT_EQ(withButton->FormStyle(), fsNormal);
}

TEST_F(LXForms, SettingTheCurrentStyleLeavesTheWindowAlone) {
    TTestFormLX* form = NewForm();
    form->SetFormStyle(fsStayOnTop);
    HWND window = form->Handle();
    form->SetFormStyle(fsStayOnTop);
    EXPECT_EQ(form->Handle(), window);
    form->SetFormStyle(fsNormal);
    EXPECT_NE(form->Handle(), window);
}

TEST_F(LXForms, AnOwnedFormsWindowIsOwnedByItsOwnerUntilTheOwnerGoes) {
    TTestFormLX* owner = NewForm();
    TTestFormLX* owned = NewForm();
    owned->SetOwnerForm(owner);
    owned->Show();
    EXPECT_EQ(::GetWindow(owned->Handle(), GW_OWNER), owner->Handle());

    delete owner;
    EXPECT_EQ(owned->OwnerForm(), nullptr);
    ASSERT_TRUE(owned->HandleAllocated()) << "a window of its own, made again";
    EXPECT_TRUE(::IsWindowVisible(owned->Handle()));
    EXPECT_EQ(::GetWindow(owned->Handle(), GW_OWNER), Application->Handle());
}

// ---- Closing with several task-bar forms

TEST_F(LXForms, ClosingTheMainFormWhileAnotherTaskBarFormIsOpenOnlyHidesIt) {
    TTestFormLX* main = NewMainForm(true);
    TTestFormLX* other = NewForm();
    other->SetTaskBarButton(true);
    main->Show();
    other->Show();

    main->Close();
    EXPECT_FALSE(main->Visible());
    EXPECT_FALSE(Application->Terminated());
    EXPECT_TRUE(CloseMainWhenAlone());

    other->Close();
    EXPECT_TRUE(Application->Terminated()) << "closing the last other form closes the main form";
}

TEST_F(LXForms, FreeingTheLastOtherTaskBarFormClosesTheHiddenMainForm) {
    TTestFormLX* main = NewMainForm(true);
    TTestFormLX* other = NewForm();
    other->SetTaskBarButton(true);
    main->Show();
    other->Show();
    main->Close();
    ASSERT_FALSE(Application->Terminated());
    delete other;
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(LXForms, AHiddenTaskBarFormDoesNotKeepTheProgramAlive) {
    TTestFormLX* main = NewMainForm(true);
    TTestFormLX* hidden = NewForm();
    hidden->SetTaskBarButton(true);
    main->Show();
    main->Close();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(CloseMainWhenAlone());
}

TEST_F(LXForms, AnMdiChildIsFreedWhenClosed) {
    TTestFormLX* main = NewMainForm(false);
    main->SetFormStyle(fsMDIForm);
    main->Show();
    TTestFormLX* child = NewForm();
    child->SetFormStyle(fsMDIChild);
    child->Show();
    bool freed = false;
    int watcher = 0;
    AddFreeNotification(child, &watcher, [&] { freed = true; });
    child->Close();
    Application->ProcessMessages();
    EXPECT_TRUE(freed);
    EXPECT_FALSE(Application->Terminated());
}

// ---- Modal popups and flashing

TEST_F(LXForms, ClickingAFormDisabledByItsOwnDialogActivatesBeepsAndFlashesTheDialog) {
    TTestFormLX* main = NewMainForm(true);
    main->Show();
    ::SetForegroundWindow(main->Handle());
    TTestFormLX* dialog = NewForm();
    dialog->SetOwnerForm(main);
    bool foreground = false;
    RunModal(*dialog, {[&] {
        HWND window = main->Handle();
        EXPECT_FALSE(::IsWindowEnabled(window));
        EXPECT_EQ(FindModalPopup(window), dialog->Handle());
        foreground = ProgramIsForeground();
        ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTERROR, WM_LBUTTONDOWN));
        EXPECT_EQ(::GetActiveWindow(), dialog->Handle());
    }});
    ASSERT_TRUE(foreground) << "the program must be the active one for the beep and the flash";
    EXPECT_EQ(log_.beeps, 1);
    ASSERT_EQ(log_.flashedEx.size(), 1u);
    const FLASHWINFO& info = log_.flashedEx[0];
    EXPECT_EQ(info.cbSize, sizeof(FLASHWINFO));
    EXPECT_EQ(info.hwnd, dialog->HandleIfAllocated());
    EXPECT_EQ(info.dwFlags, static_cast<DWORD>(FLASHW_CAPTION));
    EXPECT_EQ(info.uCount, 3u);
    EXPECT_EQ(info.dwTimeout, 70u);
    EXPECT_TRUE(log_.flashed.empty());
}

TEST_F(LXForms, WithoutFlashWindowExTheCaptionFlashesOnceAndAnApplicationDialogGetsNoBeep) {
    ReplaceWindowFlashRoutines({nullptr, &RecordFlashWindow, &RecordMessageBeep});
    TTestFormLX* main = NewMainForm(true);
    main->Show();
    ::SetForegroundWindow(main->Handle());
    TTestFormLX* dialog = NewForm();
    HWND seenPopup = nullptr;
    RunModal(*dialog, {[&] {
        HWND window = main->Handle();
        EXPECT_EQ(FindModalPopup(window), nullptr) << "the dialog belongs to the application window";
        seenPopup = AppModalPopup();
        ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTERROR, WM_LBUTTONDOWN));
        // Moving the mouse is no click; an enabled form is nothing to bring forward.
        ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTERROR, WM_MOUSEMOVE));
    }});
    EXPECT_EQ(seenPopup, dialog->HandleIfAllocated());
    EXPECT_EQ(log_.beeps, 0);
    EXPECT_EQ(log_.flashed, (std::vector<HWND>{dialog->HandleIfAllocated()}));
    EXPECT_TRUE(log_.flashedEx.empty());
}

TEST_F(LXForms, OnlyEnabledModalPopupsOwnedByTheWindowQualify) {
    TTestFormLX* main = NewMainForm(false);
    main->Show();
    EXPECT_EQ(FindModalPopup(main->Handle()), nullptr) << "a window is not its own popup";
    TTestFormLX* modeless = NewForm();
    modeless->SetOwnerForm(main);
    modeless->Show();
    ::SetActiveWindow(modeless->Handle());
    EXPECT_EQ(::GetLastActivePopup(main->Handle()), modeless->Handle());
    EXPECT_EQ(FindModalPopup(main->Handle()), nullptr) << "a modeless form without a modal frame";

    // A dialog frame counts as modal only with both of its styles.
    HWND dialogLike = ::CreateWindowExW(WS_EX_DLGMODALFRAME, L"STATIC", L"", WS_POPUP | WS_VISIBLE | DS_MODALFRAME, 0,
                                        0, 50, 50, main->Handle(), nullptr, nullptr, nullptr);
    ASSERT_NE(dialogLike, nullptr);
    ::SetActiveWindow(dialogLike);
    EXPECT_EQ(FindModalPopup(main->Handle()), dialogLike);
    ::EnableWindow(dialogLike, FALSE);
    EXPECT_EQ(FindModalPopup(main->Handle()), nullptr) << "a disabled popup";
    ::DestroyWindow(dialogLike);
}

TEST_F(LXForms, ReactivatingTheApplicationBringsTheFormsAndTheDialogToTheFront) {
    TTestFormLX* main = NewMainForm(true);
    main->Show();
    TTestFormLX* dialog = NewForm();
    MSG posted{};
    bool postedSeen = false;
    std::vector<TVynFormLX*> waiting;
    RunModal(*dialog, {[&] {
                           ::SendMessageW(main->Handle(), WM_ACTIVATEAPP, TRUE, 0);
                           waiting = BringToFrontForms();
                           postedSeen = ::PeekMessageW(&posted, main->Handle(), BringToFrontMessage(),
                                                       BringToFrontMessage(), PM_NOREMOVE) != FALSE;
                           ::SetActiveWindow(main->Handle());
                       },
                       [&] {
                           EXPECT_TRUE(BringToFrontForms().empty());
                           EXPECT_EQ(::GetActiveWindow(), dialog->Handle());
                       }});
    EXPECT_EQ(waiting, (std::vector<TVynFormLX*>{main}));
    ASSERT_TRUE(postedSeen);
    EXPECT_EQ(reinterpret_cast<HWND>(posted.wParam), dialog->HandleIfAllocated());
}

TEST_F(LXForms, ReactivatingTheApplicationWithoutADialogPostsNothing) {
    TTestFormLX* main = NewMainForm(true);
    main->Show();
    ::SendMessageW(main->Handle(), WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_TRUE(BringToFrontForms().empty());
    MSG posted;
    EXPECT_FALSE(::PeekMessageW(&posted, main->Handle(), BringToFrontMessage(), BringToFrontMessage(), PM_NOREMOVE));
}

// ---- MDI

// Counts the redraw switches the MDI client receives.
struct TRedrawCounter {
    static inline int off = 0, on = 0;
    static inline WNDPROC previous = nullptr;
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SETREDRAW)
            ++(wParam ? on : off);
        return ::CallWindowProcW(previous, window, message, wParam, lParam);
    }
};

TEST_F(LXForms, NestedRedrawLocksLockOnceAndRedrawOnceAtTheOutermostEnd) {
    TTestFormLX* main = NewMainForm(false);
    main->SetFormStyle(fsMDIForm);
    main->Show();
    HWND client = main->ClientHandle();
    ASSERT_NE(client, nullptr);
    TRedrawCounter::off = TRedrawCounter::on = 0;
    TRedrawCounter::previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(client, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TRedrawCounter::Procedure)));

    BeginMdiRedrawLock();
    {
        TMdiRedrawLock inner;
        EXPECT_EQ(TRedrawCounter::off, 1);
        EXPECT_FALSE(::LockWindowUpdate(main->Handle())) << "the frame is locked already";
    }
    EXPECT_EQ(TRedrawCounter::on, 0) << "the inner end redraws nothing";
    EndMdiRedrawLock();
    EXPECT_EQ(TRedrawCounter::off, 1);
    EXPECT_EQ(TRedrawCounter::on, 1);
    EndMdiRedrawLock();
    EXPECT_EQ(TRedrawCounter::on, 1) << "an unbalanced end does nothing";
    EXPECT_TRUE(::LockWindowUpdate(main->Handle())) << "the lock was released";
    ::LockWindowUpdate(nullptr);

    ::SetWindowLongPtrW(client, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TRedrawCounter::previous));
}

TEST_F(LXForms, DockStateIsOnlyForMdiChildren) {
    TTestFormLX* form = NewForm();
    EXPECT_EQ(MessageOf([&] { MDIChild_UpdateMdiDockState(form, true); }),
              "Internal Error: MDIChild_UpdateMdiDockState can only be called from MDI child forms.");
}

class MdiDocking : public LXForms {
protected:
    struct TBars {
        TVynControlBar* control;
        TToolBar* tool;
        TVynStatusBar* status;
    };
    TBars AddBars(TTestFormLX& form, std::initializer_list<int32_t> panels) {
        auto* control = new TVynControlBar(&form);
        control->SetParent(&form);
        auto* tool = new TToolBar(&form);
        tool->SetAlign(alNone);
        tool->SetBounds(5, 0, 80, 24);
        tool->SetParent(control);
        auto* status = new TVynStatusBar(&form);
        status->SetParent(&form);
        for (int32_t width : panels)
            status->Panels().Add(width);
        form.SetMDIControlBar(control);
        form.SetMDIToolBar(tool);
        form.SetMDIStatusBar(status);
        return {control, tool, status};
    }
    std::vector<int> Parts(TStatusBar& bar) {
        int edges[16] = {};
        const auto count = ::SendMessageW(bar.Handle(), SB_GETPARTS, 16, reinterpret_cast<LPARAM>(edges));
        return std::vector<int>(edges, edges + count);
    }
};

TEST_F(MdiDocking, AMaximisedChildsBarsMoveIntoTheMainFormsBarsAndBack) {
    TTestFormLX* main = NewMainForm(false);
    main->SetFormStyle(fsMDIForm);
    main->SetBounds(50, 50, 600, 400);
    const TBars mainBars = AddBars(*main, {120, 80});
    main->Show();
    EXPECT_EQ(mainBars.control->Color(), MenuBarColor());

    TTestFormLX* child = NewForm();
    child->SetFormStyle(fsMDIChild);
    const TBars childBars = AddBars(*child, {50, 60});
    child->Show();
    ::SendMessageW(main->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child->Handle()), 0);
    ASSERT_EQ(main->ActiveMDIChild(), child);
    EXPECT_FALSE(child->MdiDocked());

    ::ShowWindow(child->Handle(), SW_MAXIMIZE);
    ASSERT_TRUE(child->MdiDocked());
    EXPECT_EQ(childBars.tool->Parent(), mainBars.control);
    EXPECT_EQ(::GetParent(childBars.tool->Handle()), mainBars.control->Handle());
    EXPECT_EQ(childBars.tool->Left(), mainBars.tool->Left() + 1);
    EXPECT_TRUE(childBars.tool->Visible());
    EXPECT_EQ(childBars.status->Parent(), mainBars.status);
    EXPECT_EQ(main->DockedChildStatusBar(), childBars.status);
    EXPECT_EQ(childBars.status->Left(), 122) << "after the main bar's first panel";
    EXPECT_EQ(childBars.status->Width(), 108) << "the child's panels, less the separators";
    EXPECT_EQ(childBars.status->Height(), mainBars.status->Height());
    EXPECT_FALSE(childBars.status->SizeGrip());
    EXPECT_EQ(Parts(*mainBars.status), (std::vector<int>{230, -1})) << "the main bar's panels make room";

    ::ShowWindow(child->Handle(), SW_RESTORE);
    EXPECT_FALSE(child->MdiDocked());
    EXPECT_EQ(childBars.tool->Parent(), childBars.control);
    EXPECT_EQ(childBars.tool->Left(), 0);
    EXPECT_EQ(childBars.status->Parent(), child);
    EXPECT_EQ(childBars.status->Align(), alBottom);
    EXPECT_TRUE(childBars.status->SizeGrip());
    EXPECT_EQ(main->DockedChildStatusBar(), nullptr);
    EXPECT_EQ(Parts(*mainBars.status), (std::vector<int>{120, -1}));
}

TEST_F(MdiDocking, ClosingADockedChildGivesTheMainBarItsPanelsBack) {
    TTestFormLX* main = NewMainForm(false);
    main->SetFormStyle(fsMDIForm);
    main->SetBounds(50, 50, 600, 400);
    const TBars mainBars = AddBars(*main, {120, 80});
    main->Show();
    TTestFormLX* child = NewForm();
    child->SetFormStyle(fsMDIChild);
    AddBars(*child, {50, 60});
    child->Show();
    ::SendMessageW(main->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(child->Handle()), 0);
    ::ShowWindow(child->Handle(), SW_MAXIMIZE);
    ASSERT_TRUE(child->MdiDocked());

    delete child;
    EXPECT_EQ(main->DockedChildStatusBar(), nullptr);
    EXPECT_EQ(mainBars.status->ControlCount(), 0);
    EXPECT_EQ(Parts(*mainBars.status), (std::vector<int>{120, -1}));
}

TEST_F(MdiDocking, BarReferencesAreClearedWhenTheBarsGo) {
    TTestFormLX* form = NewForm();
    const TBars bars = AddBars(*form, {10});
    delete bars.status;
    delete bars.tool;
    delete bars.control;
    EXPECT_EQ(form->MDIStatusBar(), nullptr);
    EXPECT_EQ(form->MDIToolBar(), nullptr);
    EXPECT_EQ(form->MDIControlBar(), nullptr);
}

// ---- Stored descriptions and the menu

TEST_F(LXForms, TheButtonAndTheBarsAreReadFromAStoredDescription) {
    TTestFormLX* form = NewForm();
    ReadComponentFromForm(*form, ParseFormText("object Main: TTestFormLX\n"
                                               "  TaskBarButton = True\n"
                                               "  MDIControlBar = Bars\n"
                                               "  MDIToolBar = Tools\n"
                                               "  MDIStatusBar = Status\n"
                                               "  object Bars: TVynControlBar\n"
                                               "    object Tools: TToolBar\n"
                                               "    end\n"
                                               "  end\n"
                                               "  object Status: TVynStatusBar\n"
                                               "  end\n"
                                               "end\n"));
    EXPECT_TRUE(form->TaskBarButton());
    EXPECT_EQ(TaskBarForms(), (std::vector<TVynFormLX*>{form}));
    ASSERT_NE(form->MDIControlBar(), nullptr);
    EXPECT_EQ(form->MDIControlBar()->Name(), "Bars");
    ASSERT_NE(form->MDIToolBar(), nullptr);
    EXPECT_EQ(form->MDIToolBar()->Name(), "Tools");
    ASSERT_NE(form->MDIStatusBar(), nullptr);
    EXPECT_EQ(form->MDIStatusBar()->Name(), "Status");
    EXPECT_EQ(form->MDIControlBar()->Color(), MenuBarColor());

    // And written back as they were read.
    const TFormObject written = WriteComponentToForm(*form);
    const TFormProperty* statusBar = written.FindProperty("MDIStatusBar");
    ASSERT_NE(statusBar, nullptr);
    EXPECT_EQ(statusBar->Value.AsIdent(), "Status");
    const TFormProperty* button = written.FindProperty("TaskBarButton");
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->Value.AsBoolean());
    EXPECT_EQ(written.FindProperty("Menu"), nullptr) << "no menu, nothing written";

    TTestFormLX* wrong = NewForm();
    EXPECT_THROW(ReadComponentFromForm(*wrong, ParseFormText("object Other: TTestFormLX\n"
                                                             "  MDIStatusBar = Nowhere\n"
                                                             "end\n")),
                 EReadError);
}

TEST_F(LXForms, TheMenuBarShowsWideCaptions) {
    TTestFormLX* form = NewForm();
    form->Show();
    auto* menu = new TMainMenu(form);
    auto* item = new TVynMenuItem(form);
    item->SetCaption(u"\u4E2D\u6587");
    menu->Items()->Add(item);
    form->SetMenu(menu);
    EXPECT_EQ(::GetMenu(form->Handle()), menu->Handle());
    wchar_t text[16] = {};
    ::GetMenuStringW(menu->Handle(), 0, text, 16, MF_BYPOSITION);
    EXPECT_STREQ(text, L"\u4E2D\u6587");
}

} // namespace
