// Wide captions and hints of controls: synced pairs of wide and ANSI values, the holders that keep
// them outside windows, Unicode windows, wide actions and the wide hint window.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "Application.h"
#include "Forms.h"
#include "TextConversion.h"
#include "VynControls.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

// 'Zhong' and 'wen': nothing of code page 1252 holds them.
const WideString Chinese = u"\u4E2D\u6587";

class TTextControl : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    int textChanges = 0;

protected:
    void TextChanged() override { ++textChanges; }
};

class TWideChild : public TVynUnicodeWinControl<TWinControl> {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TWideChild(TComponent* owner) : TVynUnicodeWinControl<TWinControl>(owner) { SetBounds(0, 0, 80, 20); }
    int textChanges = 0;

protected:
    void TextChanged() override { ++textChanges; }
};

const TClassInfo& TWideChild::StaticClassInfo() {
    static const TClassInfo info{"TWideChild", &TWinControl::StaticClassInfo()};
    return info;
}

// The Unicode runtime and the forms unit, with conversions in code page 1252 whatever the
// prefix's locale is, and the platform flag put back afterwards.
class WideControls : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(
            std::initializer_list<const TUnitInfo*>{&VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit});
        savedCodePage_ = DefaultCodePage;
        DefaultCodePage = 1252;
        savedPlatform_ = VynPlatformIsNT;
    }
    void TearDown() override {
        VynPlatformIsNT = savedPlatform_;
        DefaultCodePage = savedCodePage_;
        units_.reset();
    }
    // A hidden ANSI form to put children on.
    TForm* NewForm() { return TCustomForm::CreateNew<TForm>(Application); }

    std::unique_ptr<TUnitStartup> units_;
    uint32_t savedCodePage_ = 0;
    bool savedPlatform_ = true;
};

std::wstring WindowTextW(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

TEST_F(WideControls, ASyncedWideStringFollowsTheAnsiValueOnceOtherCodeChangesIt) {
    WideString wide = Chinese;
    EXPECT_EQ(GetSyncedWideString(wide, "??"), Chinese) << "the ANSI value is still the wide value's form";
    EXPECT_EQ(GetSyncedWideString(wide, "plain"), u"plain");
    EXPECT_EQ(wide, u"plain");
    EXPECT_EQ(GetSyncedWideString(wide, "caf\xE9"), u"caf\u00E9");
}

TEST_F(WideControls, SettingASyncedWideStringReachesTheAnsiSetterOnlyForChanges) {
    WideString wide;
    AnsiString ansi;
    std::vector<AnsiString> calls;
    auto setter = [&](const AnsiString& value) {
        calls.push_back(value);
        ansi = value;
    };
    SetSyncedWideString(u"plain", wide, ansi, setter);
    EXPECT_EQ(calls, std::vector<AnsiString>{"plain"});
    SetSyncedWideString(u"plain", wide, ansi, setter);
    EXPECT_EQ(calls.size(), 1u) << "the same value changes nothing";

    calls.clear();
    SetSyncedWideString(Chinese, wide, ansi, setter);
    EXPECT_EQ(calls, std::vector<AnsiString>{"??"});
    // Another text with the same ANSI form: the ANSI value is cleared first so that a watcher of
    // the ANSI value sees the change.
    calls.clear();
    SetSyncedWideString(u"\u65E5\u672C", wide, ansi, setter);
    EXPECT_EQ(calls, (std::vector<AnsiString>{"", "??"}));
    EXPECT_EQ(GetSyncedWideString(wide, ansi), u"\u65E5\u672C");
    // A text that the ANSI form keeps needs no clearing, even when the ANSI value is equal.
    calls.clear();
    ansi = "caf\xE9";
    SetSyncedWideString(u"caf\u00E9", wide, ansi, setter);
    EXPECT_TRUE(calls.empty()) << "the current value (from the ANSI value) is already that text";
}

TEST_F(WideControls, HoldersAreFoundForTheirControlsAmongManyAndGoWithThem) {
    const size_t before = TWideCaptionHolder::Count();
    std::vector<std::unique_ptr<TTextControl>> controls;
    for (int i = 0; i < 40; ++i) {
        controls.push_back(std::make_unique<TTextControl>(nullptr));
        if (i % 3 != 0)
            SetWideControlHint(*controls.back(), Chinese + WideString(1, static_cast<char16_t>(u'a' + i % 26)));
    }
    EXPECT_EQ(TWideCaptionHolder::Count(), before + 26);
    std::mt19937 random(7);
    std::shuffle(controls.begin(), controls.end(), random);
    while (controls.size() > 10)
        controls.pop_back();
    for (const auto& control : controls) {
        TWideCaptionHolder* holder = TWideCaptionHolder::Find(*control);
        if (control->Hint().empty()) {
            EXPECT_EQ(holder, nullptr);
            continue;
        }
        ASSERT_NE(holder, nullptr);
        EXPECT_EQ(&holder->Control(), control.get());
        EXPECT_EQ(GetWideControlHint(*control).substr(0, 2), Chinese);
    }
    controls.clear();
    EXPECT_EQ(TWideCaptionHolder::Count(), before);
}

TEST_F(WideControls, AControlWithoutWindowKeepsItsWideTextAndNotifiesChanges) {
    TTextControl control(nullptr);
    EXPECT_EQ(GetWideControlText(control), u"");
    SetWideControlText(control, Chinese);
    EXPECT_EQ(GetWideControlText(control), Chinese);
    EXPECT_EQ(control.Caption(), "??");
    EXPECT_EQ(control.textChanges, 1);
    // Same ANSI form, other text: still a change for whoever watches the control.
    SetWideControlText(control, u"\u65E5\u672C");
    EXPECT_EQ(GetWideControlText(control), u"\u65E5\u672C");
    EXPECT_GE(control.textChanges, 2);
    const int changes = control.textChanges;
    SetWideControlText(control, u"\u65E5\u672C");
    EXPECT_EQ(control.textChanges, changes);
    // Code that knows only the ANSI text wins over an older wide text.
    control.SetCaption("ansi");
    EXPECT_EQ(GetWideControlText(control), u"ansi");
}

TEST_F(WideControls, OffTheNTFamilyOnlyTheAnsiTextAndHintExist) {
    VynPlatformIsNT = false;
    TTextControl control(nullptr);
    SetWideControlText(control, u"caf\u00E9 " + Chinese);
    SetWideControlHint(control, Chinese);
    EXPECT_EQ(GetWideControlText(control), u"caf\u00E9 ??");
    EXPECT_EQ(GetWideControlHint(control), u"??");
    EXPECT_EQ(TWideCaptionHolder::Find(control), nullptr);
}

TEST_F(WideControls, HintsKeepWideTextBesideTheAnsiHint) {
    TTextControl control(nullptr);
    SetWideControlHint(control, u"Short|Long " + Chinese);
    EXPECT_EQ(GetWideControlHint(control), u"Short|Long " + Chinese);
    EXPECT_EQ(control.Hint(), "Short|Long ??");
    EXPECT_EQ(LongHintPart(GetWideControlHint(control)), u"Long " + Chinese);
    EXPECT_EQ(ShortHintPart(GetWideControlHint(control)), u"Short");
    EXPECT_EQ(LongHintPart(u"no bar"), u"no bar");
    EXPECT_EQ(LongHintPart(u"a|b|c"), u"b|c");
    control.SetHint("changed");
    EXPECT_EQ(GetWideControlHint(control), u"changed");
}

TEST_F(WideControls, AUnicodeWindowShowsTheWideTextAndKeepsItWhenMadeAgain) {
    TForm* form = NewForm();
    auto* child = new TWideChild(form);
    // Set before the window exists: the window is made with it.
    SetWideControlText(*child, Chinese);
    child->SetParent(form);
    HWND window = child->Handle();
    EXPECT_TRUE(::IsWindowUnicode(window));
    EXPECT_FALSE(::IsWindowUnicode(form->Handle())) << "framework windows stay ANSI";
    EXPECT_EQ(ClassNameOf(window), L"TWideChild.UnicodeClass");
    EXPECT_EQ(WindowTextW(window), Win(Chinese));
    EXPECT_EQ(GetWideControlText(*child), Chinese);

    const int changes = child->textChanges;
    SetWideControlText(*child, u"\u65E5\u672C");
    EXPECT_EQ(WindowTextW(window), L"\u65E5\u672C");
    EXPECT_EQ(child->textChanges, changes + 1);
    SetWideControlText(*child, u"\u65E5\u672C");
    EXPECT_EQ(child->textChanges, changes + 1) << "no change, no notification";

    child->RecreateWnd();
    EXPECT_NE(child->HandleIfAllocated(), nullptr);
    EXPECT_EQ(WindowTextW(child->Handle()), L"\u65E5\u672C");
    EXPECT_EQ(GetWideControlText(*child), u"\u65E5\u672C");
    // The framework still finds its control behind the window.
    EXPECT_EQ(TWinControl::FromHandle(child->Handle()), child);
}

TEST_F(WideControls, OffTheNTFamilyTheWindowIsTheFrameworksAnsiWindow) {
    VynPlatformIsNT = false;
    TForm* form = NewForm();
    auto* child = new TWideChild(form);
    child->SetParent(form);
    SetWideControlText(*child, u"caf\u00E9");
    EXPECT_FALSE(::IsWindowUnicode(child->Handle()));
    EXPECT_EQ(ClassNameOf(child->Handle()), L"TWideChild");
    EXPECT_EQ(GetWideControlText(*child), u"caf\u00E9");
}

TEST_F(WideControls, AClassRegisteredWithAnotherProcedureIsReplaced) {
    WNDCLASSW foreign{};
    foreign.lpfnWndProc = &::DefWindowProcW;
    foreign.hInstance = ::GetModuleHandleW(nullptr);
    foreign.lpszClassName = L"TWideChild.UnicodeClass";
    ::UnregisterClassW(foreign.lpszClassName, foreign.hInstance);
    ASSERT_NE(::RegisterClassW(&foreign), 0);
    TForm* form = NewForm();
    auto* child = new TWideChild(form);
    child->SetParent(form);
    HWND window = child->Handle();
    EXPECT_EQ(TWinControl::FromHandle(window), child);
    SetWideControlText(*child, Chinese);
    EXPECT_EQ(WindowTextW(window), Win(Chinese));
}

TEST_F(WideControls, AnAnsiWindowIsNoUnicodeControl) {
    TForm* form = NewForm();
    EXPECT_EQ(MessageOf([&] { SubClassUnicodeControl(form->Handle()); }),
              "Internal Error: SubClassUnicodeControl.Control is not Unicode.");
}

TEST_F(WideControls, WideActionsGiveTheirTextToWideLinksAndKeepAnsiFormsForOthers) {
    TVynAction action(nullptr);
    action.SetCaption(Chinese);
    action.SetHint(u"h|" + Chinese);
    EXPECT_EQ(WideActionCaption(action), Chinese);
    EXPECT_EQ(WideActionHint(action), u"h|" + Chinese);
    EXPECT_EQ(action.TCustomAction::Caption(), "??");

    TTextControl ansiClient(nullptr);
    ansiClient.SetAction(&action);
    EXPECT_EQ(ansiClient.Caption(), "??");

    TAction plain(nullptr);
    plain.SetCaption("caf\xE9");
    EXPECT_EQ(WideActionCaption(plain), u"caf\u00E9");
    TVynHintAction hintAction(nullptr);
    hintAction.SetHint(Chinese);
    EXPECT_EQ(WideActionHint(hintAction), Chinese);
}

TEST_F(WideControls, TheWideHintWindowShowsWideHints) {
    std::unique_ptr<TVynHintWindow> hint(new TVynHintWindow(nullptr));
    const RECT needed = hint->CalcHintRectWide(300, Chinese);
    EXPECT_GT(needed.right, 0);
    EXPECT_GT(needed.bottom, 0);
    hint->ActivateHintWide(RECT{10, 10, 10 + needed.right, 10 + needed.bottom}, Chinese);
    HWND window = hint->HandleIfAllocated();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(::IsWindowUnicode(window));
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(WindowTextW(window), Win(Chinese));
    EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    // The framework hands over the ANSI form: the wide text shown stays.
    hint->ActivateHint(RECT{10, 10, 100, 30}, "??");
    EXPECT_EQ(WindowTextW(window), Win(Chinese));
    hint->ActivateHint(RECT{10, 10, 100, 30}, "other");
    EXPECT_EQ(WindowTextW(window), L"other");
    hint->ReleaseHint();
    EXPECT_FALSE(::IsWindowVisible(window));
}

} // namespace
