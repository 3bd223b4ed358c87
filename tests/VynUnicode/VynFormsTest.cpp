// The Unicode application and forms: stored descriptions of every class, Unicode top-level and MDI
// windows, the wide title and hint, characters beyond the ANSI code page, menus and actions, and
// the set-up of the Unicode environment.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "ActnList.h"
#include "Application.h"
#include "DeviceContexts.h"
#include "Forms.h"
#include "HintWindow.h"
#include "Menus.h"
#include "TextConversion.h"
#include "VynForms.h"
#include "VynMenus.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

const WideString Chinese = u"\u4E2D\u6587";

class TTestVynForm : public TVynForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TVynForm::TVynForm;
    std::vector<WPARAM> chars;
    int textChanges = 0;

protected:
    void TextChanged() override { ++textChanges; }
    void WndProc(TMessage& message) override {
        if (message.Msg == WM_CHAR)
            chars.push_back(message.WParam);
        TVynForm::WndProc(message);
    }
};

const TClassInfo& TTestVynForm::StaticClassInfo() {
    static const TClassInfo info{"TTestVynForm", &TVynForm::StaticClassInfo()};
    return info;
}

class TTestVynFormChild : public TTestVynForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TTestVynForm::TTestVynForm;
};

const TClassInfo& TTestVynFormChild::StaticClassInfo() {
    static const TClassInfo info{"TTestVynFormChild", &TTestVynForm::StaticClassInfo()};
    return info;
}

// A base class whose own description is never read for its subclasses.
class TTestBaseForm : public TVynForm {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TTestBaseForm(TComponent* owner) : TVynForm(owner, TTestBaseForm::StaticClassInfo()) {}
};

const TClassInfo& TTestBaseForm::StaticClassInfo() {
    static const TClassInfo info{"TTestBaseForm", &TVynForm::StaticClassInfo()};
    return info;
}

class TTestLeafForm : public TTestBaseForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TTestBaseForm::TTestBaseForm;
};

const TClassInfo& TTestLeafForm::StaticClassInfo() {
    static const TClassInfo info{"TTestLeafForm", &TTestBaseForm::StaticClassInfo()};
    return info;
}

class TNoResourceVynForm : public TVynForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TVynForm::TVynForm;
};

const TClassInfo& TNoResourceVynForm::StaticClassInfo() {
    static const TClassInfo info{"TNoResourceVynForm", &TVynForm::StaticClassInfo()};
    return info;
}

// Shows hint actions as a status bar would, and carries a hint of its own.
class THintPanel : public TGraphicControl {
public:
    explicit THintPanel(TComponent* owner) : TGraphicControl(owner) {}
    std::vector<WideString> shown;

protected:
    void WndProc(TMessage& message) override {
        if (message.Msg == CM_ACTIONEXECUTE) {
            if (auto* action = dynamic_cast<TVynHintAction*>(reinterpret_cast<TBasicAction*>(message.LParam))) {
                shown.push_back(action->Hint());
                message.Result = 1;
                return;
            }
        }
        TGraphicControl::WndProc(message);
    }
};

// A Unicode child window that counts the characters it receives.
class TWideField : public TVynUnicodeWinControl<TWinControl> {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TWideField(TComponent* owner) : TVynUnicodeWinControl<TWinControl>(owner) { SetBounds(5, 5, 80, 20); }
    std::vector<WPARAM> chars;

protected:
    void WndProc(TMessage& message) override {
        if (message.Msg == WM_CHAR)
            chars.push_back(message.WParam);
        TVynUnicodeWinControl<TWinControl>::WndProc(message);
    }
};

const TClassInfo& TWideField::StaticClassInfo() {
    static const TClassInfo info{"TWideField", &TWinControl::StaticClassInfo()};
    return info;
}

class VynForms : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit});
        savedCodePage_ = DefaultCodePage;
        DefaultCodePage = 1252;
        savedPlatform_ = VynPlatformIsNT;
    }
    void TearDown() override {
        VynPlatformIsNT = savedPlatform_;
        DefaultCodePage = savedCodePage_;
        units_.reset();
    }

    std::unique_ptr<TUnitStartup> units_;
    uint32_t savedCodePage_ = 0;
    bool savedPlatform_ = true;
};

std::wstring WindowTextW(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

std::wstring InternalWindowText(HWND window) {
    wchar_t text[256] = {};
    ::InternalGetWindowText(window, text, 256);
    return text;
}

// Moves the mouse to a point of the form's client area.
void MoveMouseTo(TWinControl& form, POINT point) {
    ::ClientToScreen(form.Handle(), &point);
    ::SetCursorPos(point.x, point.y);
}

// ---- Construction from stored descriptions

TEST_F(VynForms, AFormReadsItsDescriptionIntoAUnicodeWindow) {
    auto* form = TCustomForm::CreateFromResource<TTestVynForm>(Application);
    EXPECT_EQ(form->Caption(), u"Wide " + Chinese);
    EXPECT_EQ(form->Hint(), u"Short|Long \u4E2D");
    EXPECT_EQ(form->Tag(), 1);
    EXPECT_EQ(form->FormState() & fsCreating, 0u);
    HWND window = form->Handle();
    EXPECT_TRUE(::IsWindowUnicode(window));
    EXPECT_EQ(ClassNameOf(window), L"TTestVynForm.UnicodeClass");
    EXPECT_EQ(WindowTextW(window), L"Wide " + Win(Chinese));
    RECT client;
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 60);
    EXPECT_EQ(TWinControl::FromHandle(window), form);
}

TEST_F(VynForms, AnInheritedFormReadsTheDescriptionsOfItsClassesAncestorsFirst) {
    auto* form = TCustomForm::CreateFromResource<TTestVynFormChild>(Application);
    EXPECT_EQ(form->Caption(), u"Child \u0416");
    EXPECT_EQ(form->Tag(), 1) << "from the ancestor's description";
    EXPECT_EQ(form->ClientWidth(), 200);
    EXPECT_NE(form->FindComponent("Ticker"), nullptr);
}

TEST_F(VynForms, TheDescriptionsOfTheBaseClassAndAboveAreNotRead) {
    auto* leaf = TCustomForm::CreateFromResource<TTestLeafForm>(Application);
    EXPECT_EQ(leaf->Caption(), u"Leaf");
    EXPECT_EQ(leaf->Tag(), 0) << "the base class's description was left alone";
    auto* base = TCustomForm::CreateFromResource<TTestBaseForm>(Application);
    EXPECT_EQ(base->Tag(), 0);
    EXPECT_EQ(base->Caption(), u"");
    auto* plain = TCustomForm::CreateFromResource<TVynForm>(Application);
    EXPECT_EQ(plain->Caption(), u"");
}

TEST_F(VynForms, AFormWithoutAnyDescriptionIsReported) {
    EXPECT_EQ(MessageOf([] { TCustomForm::CreateFromResource<TNoResourceVynForm>(Application); }),
              "Resource TNoResourceVynForm not found");
    EXPECT_EQ(Application->ComponentCount(), 0);
}

// ---- Captions and windows

TEST_F(VynForms, ACaptionSetBeforeTheWindowIsTheWindowsTextAndChangesAreNotified) {
    auto* form = TCustomForm::CreateNew<TTestVynForm>(Application);
    form->SetCaption(Chinese);
    EXPECT_EQ(form->TControl::Caption(), "??");
    const int changes = form->textChanges;
    // The same ANSI form: the ANSI text is cleared first so the change is seen.
    form->SetCaption(u"\u65E5\u672C");
    EXPECT_GT(form->textChanges, changes);
    EXPECT_EQ(form->Caption(), u"\u65E5\u672C");
    EXPECT_EQ(WindowTextW(form->Handle()), L"\u65E5\u672C");
    form->SetCaption(Chinese);
    EXPECT_EQ(WindowTextW(form->Handle()), Win(Chinese));
    EXPECT_EQ(form->Caption(), Chinese);
    form->RecreateWnd();
    EXPECT_EQ(WindowTextW(form->Handle()), Win(Chinese)) << "made again with the wide caption";
}

TEST_F(VynForms, OffTheNTFamilyAFormIsTheFrameworksAnsiForm) {
    VynPlatformIsNT = false;
    auto* form = TCustomForm::CreateNew<TTestVynForm>(Application);
    form->SetCaption(u"caf\u00E9 " + Chinese);
    HWND window = form->Handle();
    EXPECT_FALSE(::IsWindowUnicode(window));
    EXPECT_EQ(ClassNameOf(window), L"TTestVynForm");
    EXPECT_EQ(form->Caption(), u"caf\u00E9 ??");
}

TEST_F(VynForms, AnMDIChildIsAUnicodeWindowInTheMainFormsClient) {
    auto* child = TCustomForm::CreateNew<TVynForm>(Application);
    child->SetFormStyle(fsMDIChild);
    EXPECT_EQ(MessageOf([&] { child->Handle(); }), "Cannot create form. No MDI forms are currently active");

    auto* frame = TCustomForm::CreateNew<TVynForm>(Application);
    frame->SetFormStyle(fsMDIForm);
    Application->SetMainForm(frame);
    frame->Show();
    ASSERT_NE(frame->ClientHandle(), nullptr);
    child->SetCaption(Chinese);
    HWND window = child->Handle();
    EXPECT_TRUE(::IsWindowUnicode(window));
    EXPECT_EQ(ClassNameOf(window), L"TVynForm.UnicodeClass");
    EXPECT_EQ(::GetParent(window), frame->ClientHandle());
    EXPECT_EQ(WindowTextW(window), Win(Chinese));
    EXPECT_NE(child->FormState() & fsCreatedMDIChild, 0u);
    child->Show();
    // A child made hidden is activated through the client.
    ::SendMessageW(frame->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(window), 0);
    EXPECT_EQ(frame->ActiveMDIChild(), child);
    ::SendMessageW(frame->ClientHandle(), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(window), 0);
    EXPECT_TRUE(::IsZoomed(window));

    // The frame leaves what it does not handle to the MDI frame procedure, which activates a
    // child for the command of the window list.
    auto* second = TCustomForm::CreateNew<TVynForm>(Application);
    second->SetFormStyle(fsMDIChild);
    second->Show();
    ::SendMessageW(frame->ClientHandle(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(second->Handle()), 0);
    ASSERT_EQ(frame->ActiveMDIChild(), second);
    ::SendMessageW(frame->Handle(), WM_COMMAND, 0xFF00, 0);
    EXPECT_EQ(frame->ActiveMDIChild(), child);
    delete second;
    delete child;
    EXPECT_EQ(frame->ActiveMDIChild(), nullptr);
}

TEST_F(VynForms, LayeredAttributesReachTheNewWindow) {
    auto* form = TCustomForm::CreateNew<TVynForm>(Application);
    form->SetAlphaBlend(true);
    form->SetAlphaBlendValue(128);
    HWND window = form->Handle();
    EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(window, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 128);
    EXPECT_TRUE(flags & LWA_ALPHA);
}

// ---- Application title and hint

TEST_F(VynForms, ATitleSetBeforeTheApplicationWindowIsGivenToTheWindow) {
    ASSERT_FALSE(Application->HandleAllocated());
    VynApplication->SetWideTitle(u"Title " + Chinese);
    EXPECT_EQ(VynApplication->WideTitle(), u"Title " + Chinese);
    EXPECT_EQ(Application->Title(), "Title ??");
    HWND window = Application->Handle();
    // What the shell shows: the window's own text, not an ANSI window procedure's answer.
    EXPECT_EQ(InternalWindowText(window), L"Title " + Win(Chinese));
    EXPECT_EQ(VynApplication->WideTitle(), u"Title " + Chinese);

    VynApplication->SetWideTitle(u"\u65E5\u672C");
    EXPECT_EQ(InternalWindowText(window), L"\u65E5\u672C");
    // Code that sets the ANSI title is seen.
    Application->SetTitle("Plain");
    EXPECT_EQ(VynApplication->WideTitle(), u"Plain");
}

TEST_F(VynForms, OffTheNTFamilyTheTitleIsKeptBesideTheAnsiTitle) {
    VynPlatformIsNT = false;
    Application->Handle();
    VynApplication->SetWideTitle(Chinese);
    EXPECT_EQ(VynApplication->WideTitle(), Chinese);
    EXPECT_EQ(Application->Title(), "??");
    Application->SetTitle("Plain");
    EXPECT_EQ(VynApplication->WideTitle(), u"Plain");
}

TEST_F(VynForms, TheWideHintReachesControlsThatShowHints) {
    TTestVynForm* form = nullptr;
    Application->CreateForm(form);
    auto* panel = new THintPanel(form);
    panel->SetParent(form);

    VynApplication->SetWideHint(Chinese);
    EXPECT_EQ(VynApplication->WideHint(), Chinese);
    EXPECT_EQ(Application->Hint(), "??");
    ASSERT_FALSE(panel->shown.empty());
    EXPECT_EQ(panel->shown.back(), Chinese);

    VynApplication->SetWideHint(u"\u65E5\u672C");
    EXPECT_EQ(panel->shown.back(), u"\u65E5\u672C") << "the same ANSI form still reaches the panel";

    Application->SetHint("ansi");
    EXPECT_EQ(VynApplication->WideHint(), u"ansi");
    EXPECT_EQ(panel->shown.back(), u"ansi");
}

TEST_F(VynForms, TheHintOfTheControlUnderTheMouseBecomesTheApplicationsHint) {
    TTestVynForm* form = nullptr;
    Application->CreateForm(form);
    auto* panel = new THintPanel(form);
    panel->SetParent(form);
    panel->SetBounds(10, 10, 60, 30);
    SetWideControlHint(*panel, u"Panel|Panel " + Chinese);
    form->Show();
    Application->ProcessMessages();

    MoveMouseTo(*form, POINT{15, 15});
    VynApplication->UpdateHintFromMouse();
    EXPECT_EQ(VynApplication->WideHint(), u"Panel " + Chinese);
    // Elsewhere on the form: the form's own hint.
    MoveMouseTo(*form, POINT{150, 50});
    form->UpdateActions();
    EXPECT_EQ(VynApplication->WideHint(), u"Long \u4E2D");
}

// ---- Characters beyond the ANSI code page

class MessageLog {
public:
    MessageLog() {
        Application->OnMessage = [this](MSG& message, bool& handled) {
            seen.emplace_back(message.message, message.wParam);
            handled = handle;
        };
    }
    ~MessageLog() { Application->OnMessage = nullptr; }
    bool Saw(UINT message) const {
        for (const auto& entry : seen)
            if (entry.first == message)
                return true;
        return false;
    }
    std::vector<std::pair<UINT, WPARAM>> seen;
    bool handle = false;
};

TEST_F(VynForms, ACharacterBeyondAnsiReachesAUnicodeWindowWide) {
    auto* form = TCustomForm::CreateFromResource<TTestVynForm>(Application);
    MessageLog log;
    ::PostMessageW(form->Handle(), WM_CHAR, 0x4E2D, 0);
    Application->ProcessMessages();
    EXPECT_EQ(form->chars, std::vector<WPARAM>{0x4E2D});
    const auto wide = std::find(log.seen.begin(), log.seen.end(), std::make_pair(UINT{WM_CHAR}, WPARAM{0x4E2D}));
    ASSERT_NE(wide, log.seen.end()) << "the message event saw the wide character";
    EXPECT_NE(std::find_if(wide, log.seen.end(), [](const auto& entry) { return entry.first == WM_NULL; }),
              log.seen.end())
        << "the loop found nothing left to do";
}

TEST_F(VynForms, CharactersOfTheAnsiRangeAndAnsiWindowsAreLeftToTheFramework) {
    auto* form = TCustomForm::CreateFromResource<TTestVynForm>(Application);
    MessageLog log;
    ::PostMessageW(form->Handle(), WM_CHAR, 0xE9, 0);
    Application->ProcessMessages();
    EXPECT_EQ(form->chars.size(), 1u);
    EXPECT_TRUE(log.Saw(WM_CHAR));
    EXPECT_FALSE(log.Saw(WM_NULL));

    log.seen.clear();
    auto* ansiForm = TCustomForm::CreateNew<TForm>(Application);
    ::PostMessageW(ansiForm->Handle(), WM_CHAR, 0x4E2D, 0);
    Application->ProcessMessages();
    EXPECT_TRUE(log.Saw(WM_CHAR));
    EXPECT_FALSE(log.Saw(WM_NULL));
}

TEST_F(VynForms, ACharacterTheMessageEventHandlesIsNotDispatched) {
    auto* form = TCustomForm::CreateFromResource<TTestVynForm>(Application);
    MessageLog log;
    log.handle = true;
    ::PostMessageW(form->Handle(), WM_CHAR, 0x4E2D, 0);
    Application->ProcessMessages();
    EXPECT_TRUE(form->chars.empty());
    EXPECT_TRUE(log.Saw(WM_NULL));
}

TEST_F(VynForms, AModelessDialogGetsEachCharacterOnce) {
    MessageLog log;
    // An ANSI dialog: the framework's loop hands the character to the dialog manager.
    auto* ansiDialog = TCustomForm::CreateNew<TForm>(Application);
    auto* ansiField = new TWideField(ansiDialog);
    ansiField->SetParent(ansiDialog);
    ansiDialog->Show();
    Application->SetDialogHandle(ansiDialog->Handle());
    ::PostMessageW(ansiField->Handle(), WM_CHAR, 0x4E2D, 0);
    Application->ProcessMessages();
    EXPECT_EQ(ansiField->chars.size(), 1u);
    EXPECT_FALSE(log.Saw(WM_NULL));

    // A Unicode dialog: the hook hands the wide character to the dialog manager itself.
    auto* wideDialog = TCustomForm::CreateNew<TVynForm>(Application);
    auto* wideField = new TWideField(wideDialog);
    wideField->SetParent(wideDialog);
    wideDialog->Show();
    Application->SetDialogHandle(wideDialog->Handle());
    ::PostMessageW(wideField->Handle(), WM_CHAR, 0x4E2D, 0);
    Application->ProcessMessages();
    EXPECT_EQ(wideField->chars, std::vector<WPARAM>{0x4E2D});
    EXPECT_TRUE(log.Saw(WM_NULL));
    Application->SetDialogHandle(nullptr);
}

TEST_F(VynForms, TheMessageHookBelongsToTheNTFamily) {
    RemoveVynMessageHook();
    VynPlatformIsNT = false;
    const std::string message = MessageOf([] { InstallVynMessageHook(); });
    EXPECT_EQ(message.rfind("Assertion failure (lib/VynUnicode/VynForms, line ", 0), 0u) << message;
    VynPlatformIsNT = true;
    InstallVynMessageHook();
    EXPECT_FALSE(IsComPlusHost());
}

// ---- The idle-event control

TEST_F(VynForms, AMainFormOfTheFrameworkGetsTheIdleEventControl) {
    auto* main = TCustomForm::CreateNew<TForm>(Application);
    Application->SetMainForm(main);
    main->Show();
    ::PostMessageW(main->Handle(), WM_NULL, 0, 0);
    Application->ProcessMessages();
    TVynAppIdleEventControl* control = VynApplication->IdleEventControl();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->Parent(), main);
    EXPECT_FALSE(control->Visible());

    // Its action updates the wide hint from the mouse when the application is idle.
    auto* panel = new THintPanel(main);
    panel->SetParent(main);
    panel->SetBounds(0, 0, 50, 50);
    SetWideControlHint(*panel, Chinese);
    MoveMouseTo(*main, POINT{5, 5});
    Application->Idle();
    EXPECT_EQ(VynApplication->WideHint(), Chinese);

    delete control;
    EXPECT_EQ(VynApplication->IdleEventControl(), nullptr);
}

TEST_F(VynForms, AUnicodeMainFormNeedsNoIdleEventControl) {
    TTestVynForm* form = nullptr;
    Application->CreateForm(form);
    ::PostMessageW(form->Handle(), WM_NULL, 0, 0);
    Application->ProcessMessages();
    EXPECT_EQ(VynApplication->IdleEventControl(), nullptr);
}

// ---- Menus and actions

TEST_F(VynForms, MenuItemsShowWideCaptionsAndGiveTheirHintsToTheApplication) {
    auto* form = TCustomForm::CreateNew<TTestVynForm>(Application);
    auto* menu = new TMainMenu(form);
    auto* file = new TVynMenuItem(form);
    file->SetCaption(u"&File " + Chinese);
    file->SetHint(u"F|File menu " + Chinese);
    menu->Items()->Add(file);
    auto* open = new TVynMenuItem(form);
    open->SetCaption(u"Open " + Chinese);
    open->SetHint(u"O|Opens " + Chinese);
    file->Add(open);
    bool clicked = false;
    open->OnClick = [&](TObject*) { clicked = true; };
    form->SetMenu(menu);
    HWND window = form->Handle();

    HMENU bar = ::GetMenu(window);
    ASSERT_EQ(bar, menu->Handle());
    wchar_t text[64] = {};
    ::GetMenuStringW(bar, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(text), L"&File " + Win(Chinese));

    ::SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(open->Command(), 0), reinterpret_cast<LPARAM>(file->Handle()));
    EXPECT_EQ(VynApplication->WideHint(), u"Opens " + Chinese);
    ::SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP), reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(VynApplication->WideHint(), u"File menu " + Chinese);
    ::SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(VynApplication->WideHint(), u"File menu " + Chinese) << "closing the menu keeps the hint";
    ::SendMessageW(window, WM_MENUSELECT, MAKEWPARAM(SC_CLOSE, MF_SYSMENU), 0);
    EXPECT_EQ(VynApplication->WideHint(), u"");

    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(open->Command(), 0), 0);
    EXPECT_TRUE(clicked);

    // Something wrote the ANSI text into the bar; the refresh of the Unicode layer puts the wide
    // text back.
    ::ModifyMenuA(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(file->Handle()), "ansi");
    form->Perform(CM_BIDIMODECHANGED);
    ::GetMenuStringW(bar, 0, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(text), L"&File " + Win(Chinese));

    // The menu goes before the form: the form lets go of it.
    delete menu;
    EXPECT_EQ(form->Menu(), nullptr);
    EXPECT_EQ(::GetMenu(window), nullptr);
}

TEST_F(VynForms, AFormTakesTheWideTextOfItsActionAndStoresWhatTheActionDoesNotSupply) {
    auto* form = TCustomForm::CreateNew<TTestVynForm>(Application);
    auto* action = new TVynAction(form);
    action->SetCaption(Chinese);
    action->SetHint(u"h|" + Chinese);
    form->SetAction(action);
    EXPECT_EQ(form->Caption(), Chinese);
    EXPECT_EQ(form->Hint(), u"h|" + Chinese);
    EXPECT_FALSE(form->IsCaptionStored());
    EXPECT_FALSE(form->IsHintStored());

    action->SetCaption(u"\u65E5\u672C");
    EXPECT_EQ(WindowTextW(form->Handle()), L"\u65E5\u672C");
    form->SetCaption(u"own");
    EXPECT_TRUE(form->IsCaptionStored());
    const TPropInfo* caption = form->ClassInfo().FindProperty("Caption");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->Kind, TTypeKind::tkWString);
    EXPECT_TRUE(caption->IsStored(*form));
    EXPECT_FALSE(form->ClassInfo().FindProperty("Hint")->IsStored(*form));

    delete action;
    EXPECT_EQ(form->Action(), nullptr);
    EXPECT_TRUE(form->IsHintStored());
}

TEST_F(VynForms, MenuEntriesFollowTheirItems) {
    auto* form = TCustomForm::CreateNew<TTestVynForm>(Application);
    auto* menu = new TMainMenu(form);
    std::vector<TVynMenuItem*> items;
    for (const char16_t* caption : {u"One", u"Two", u"Three"}) {
        items.push_back(new TVynMenuItem(form));
        items.back()->SetCaption(caption);
        menu->Items()->Add(items.back());
    }
    form->SetMenu(menu);
    HMENU bar = ::GetMenu(form->Handle());
    auto entries = [&] {
        std::vector<std::wstring> texts;
        for (int i = 0; i < ::GetMenuItemCount(bar); ++i) {
            wchar_t text[32] = {};
            ::GetMenuStringW(bar, static_cast<UINT>(i), text, 32, MF_BYPOSITION);
            texts.emplace_back(text);
        }
        return texts;
    };
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"One", L"Two", L"Three"}));
    items[1]->SetVisible(false);
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"One", L"Three"}));
    items[2]->SetCaption(Chinese);
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"One", Win(Chinese)}));
    items[1]->SetVisible(true);
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"One", L"Two", Win(Chinese)}));
    // An item with items becomes a submenu; freeing an item takes its entry and its items away.
    auto* sub = new TVynMenuItem(form);
    sub->SetCaption(u"Sub");
    items[0]->Add(sub);
    EXPECT_EQ(::GetSubMenu(bar, 0), items[0]->Handle());
    EXPECT_EQ(menu->FindItem(reinterpret_cast<UINT_PTR>(items[0]->Handle()), fkHandle), items[0]);
    const int before = form->ComponentCount();
    delete items[0];
    EXPECT_EQ(form->ComponentCount(), before - 2);
    EXPECT_EQ(entries(), (std::vector<std::wstring>{L"Two", Win(Chinese)}));
    EXPECT_THROW(items[1]->Add(items[1]), EInvalidOperation);
}

TEST_F(VynForms, ActionsRunOnClicksAndUpdateWhileTheApplicationIsIdle) {
    TTestVynForm* form = nullptr;
    Application->CreateForm(form);
    auto* list = new TActionList(form);
    auto* listed = new TAction(form);
    listed->SetActionList(list);
    int listedUpdates = 0;
    listed->OnUpdate = [&](TObject*) { ++listedUpdates; };
    auto* panel = new THintPanel(form);
    panel->SetParent(form);
    auto* linked = new TAction(form);
    int executed = 0, linkedUpdates = 0;
    linked->OnExecute = [&](TObject* sender) {
        ++executed;
        EXPECT_EQ(static_cast<TBasicAction*>(sender)->ActionComponent(), panel);
    };
    linked->OnUpdate = [&](TObject*) { ++linkedUpdates; };
    linked->SetCaption("Go");
    panel->SetAction(linked);
    EXPECT_EQ(panel->Caption(), "Go");
    panel->Click();
    EXPECT_EQ(executed, 1);
    linked->SetEnabled(false);
    EXPECT_FALSE(panel->Enabled()) << "the control follows its action";

    form->Show();
    Application->Idle();
    EXPECT_EQ(listedUpdates, 1);
    EXPECT_EQ(linkedUpdates, 1);
    delete linked;
    EXPECT_EQ(panel->Action(), nullptr);
    panel->Click();
    EXPECT_EQ(executed, 1);
}

// ---- The Unicode environment

// Keeps a font substitute of the profile as the test found it.
class FontSubstituteScope {
public:
    explicit FontSubstituteScope(const char* face) : face_(face) {
        char value[64] = {};
        ::GetProfileStringA("FontSubstitutes", face, "", value, sizeof value);
        saved_ = value;
    }
    ~FontSubstituteScope() {
        ::WriteProfileStringA("FontSubstitutes", face_, saved_.empty() ? nullptr : saved_.c_str());
    }
    FontSubstituteScope(const FontSubstituteScope&) = delete;
    FontSubstituteScope& operator=(const FontSubstituteScope&) = delete;
    static std::string Value(const char* face) {
        char value[64] = {};
        ::GetProfileStringA("FontSubstitutes", face, "", value, sizeof value);
        return value;
    }

private:
    const char* face_;
    std::string saved_;
};

int CALLBACK NoteFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM data) {
    *reinterpret_cast<bool*>(data) = true;
    return 0;
}

bool TahomaInstalled() {
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    wcscpy(font.lfFaceName, L"Tahoma");
    bool found = false;
    const WindowDC screen = WindowDC::OfClient(nullptr);
    ::EnumFontFamiliesExW(screen.get(), &font, &NoteFont, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

TEST_F(VynForms, MissingFontSubstitutesAreWrittenAndTheDialogFontNamed) {
    FontSubstituteScope shellDlg("MS Shell Dlg");
    FontSubstituteScope shellDlg2("MS Shell Dlg 2");
    ::WriteProfileStringA("FontSubstitutes", "MS Shell Dlg", nullptr);
    ::WriteProfileStringA("FontSubstitutes", "MS Shell Dlg 2", nullptr);
    // Wine's own Tahoma comes with its fonts package; without it the "MS Shell Dlg" face is taken.
    const std::string expected = TahomaInstalled() ? "Tahoma" : "MS Sans Serif";
    EXPECT_EQ(DefaultUiFontName(), Wide(std::wstring(expected.begin(), expected.end())));
    EXPECT_EQ(FontSubstituteScope::Value("MS Shell Dlg"), "MS Sans Serif");
    EXPECT_EQ(FontSubstituteScope::Value("MS Shell Dlg 2"), expected);

    ::WriteProfileStringA("FontSubstitutes", "MS Shell Dlg 2", "Arial");
    EXPECT_EQ(DefaultUiFontName(), u"Arial");
}

TEST_F(VynForms, TheUnicodeEnvironmentTakesOverConversionsFontsAndHints) {
    FontSubstituteScope shellDlg("MS Shell Dlg");
    FontSubstituteScope shellDlg2("MS Shell Dlg 2");
    const AnsiString savedFont = TFont::DefaultName();
    const THintWindowClass savedHintWindow = HintWindowClass;
    SetUpUnicodeEnvironment();
    EXPECT_EQ(DefaultCodePage, 0u);
    EXPECT_TRUE(RuntimeRoutinesReplaced());
    const AnsiString face = TFont::DefaultName();
    EXPECT_EQ(face, WideToAnsi(DefaultUiFontName()));
    EXPECT_EQ(TFont().Name(), face);
    std::unique_ptr<THintWindow> hint(CreateHintWindow(nullptr));
    EXPECT_NE(dynamic_cast<TVynHintWindow*>(hint.get()), nullptr);
    HintWindowClass = savedHintWindow;
    TFont::DefaultName() = savedFont;
}

} // namespace
