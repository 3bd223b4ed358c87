// Forms read from their stored description, their windows, the timer and the application's
// exception event, in a real message loop.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "Application.h"
#include "ResourceModule.h"
#include "Timer.h"
#include "Unattended.h"

namespace {

class TTestForm : public TForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TForm::TForm;
    TTimer* Ticker = nullptr;
    int ticks = 0;
    bool failOnTick = false;
    void TickerTimer(TObject*) {
        ++ticks;
        if (failOnTick) {
            Ticker->SetEnabled(false);
            throw EInvalidOperation("tick failed");
        }
        if (ticks == 3)
            Application->Terminate();
    }
};

const TClassInfo& TTestForm::StaticClassInfo() {
    static const TClassInfo info{"TTestForm",
                                 &TForm::StaticClassInfo(),
                                 {},
                                 {PublishedMethod<TTestForm>("TickerTimer", &TTestForm::TickerTimer)},
                                 {PublishedField<TTestForm, TTimer>("Ticker", &TTestForm::Ticker)}};
    return info;
}

class TNoResourceForm : public TForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TForm::TForm;
};

const TClassInfo& TNoResourceForm::StaticClassInfo() {
    static const TClassInfo info{"TNoResourceForm", &TForm::StaticClassInfo()};
    return info;
}

// A form whose OnDestroy handler uses a member of its own: it runs the handler in its destructor.
class TOwnMembersForm : public TForm {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TOwnMembersForm(TComponent* owner) : TForm(owner) {
        OnDestroy = [this](TObject*) {
            ++destroyCalls;
            lastSeenNote = *note_;
        };
    }
    ~TOwnMembersForm() override { DoDestroy(); }

    static inline int destroyCalls = 0;
    static inline std::string lastSeenNote;

private:
    std::unique_ptr<std::string> note_ = std::make_unique<std::string>("still here");
};

const TClassInfo& TOwnMembersForm::StaticClassInfo() {
    static const TClassInfo info{"TOwnMembersForm", &TForm::StaticClassInfo()};
    return info;
}

class Forms : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{&RtlFormsUnit});
        RegisterComponentClass(TTestForm::StaticClassInfo());
    }
    void TearDown() override {
        UnregisterComponentClass(TTestForm::StaticClassInfo());
        units_.reset();
    }
    std::unique_ptr<TUnitStartup> units_;
};

TEST_F(Forms, AFormIsBuiltFromItsResourceAndItsTimerTicksThroughTheLoop) {
    TTestForm* form = nullptr;
    Application->Initialize();
    Application->CreateForm(form);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(Application->MainForm(), form);
    ASSERT_NE(form->Ticker, nullptr);
    EXPECT_EQ(form->Ticker->Interval(), 20);

    HWND window = form->Handle();
    wchar_t caption[64] = {};
    ::GetWindowTextW(window, caption, 64);
    EXPECT_STREQ(caption, L"Test form");
    RECT client;
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.right, 200);
    EXPECT_EQ(client.bottom, 50);
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_EQ(::GetWindow(window, GW_OWNER), Application->Handle());

    Application->Run();
    EXPECT_EQ(form->ticks, 3);
    EXPECT_TRUE(Application->Terminated());
}

TEST_F(Forms, FormsAndTheApplicationWindowShowTheProgramsMainIcon) {
    // This program carries the product's icon as "MAINICON" (RtlTests.rc).
    const HICON big = ProgramIcon(::GetSystemMetrics(SM_CXICON));
    const HICON small = ProgramIcon(::GetSystemMetrics(SM_CXSMICON));
    ASSERT_NE(big, ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)));
    const int edge = ::GetSystemMetrics(SM_CXICON);
    const HANDLE loaded = ::LoadImageW(MainInstance(), L"MAINICON", IMAGE_ICON, edge, edge, LR_SHARED);
    EXPECT_EQ(big, static_cast<HICON>(loaded));

    TTestForm* form = nullptr;
    Application->CreateForm(form);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(form->Handle(), WM_GETICON, ICON_BIG, 0)), big);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(form->Handle(), WM_GETICON, ICON_SMALL, 0)), small);
    EXPECT_EQ(reinterpret_cast<HICON>(::GetClassLongPtrW(Application->Handle(), GCLP_HICON)), big);
}

TEST_F(Forms, AnExceptionInAnEventReachesTheApplicationsExceptionEvent) {
    TTestForm* form = nullptr;
    Application->CreateForm(form);
    form->failOnTick = true;
    AnsiString seen;
    TObject* seenSender = nullptr;
    Application->OnException = [&](TObject* sender, Exception& error) {
        seen = error.Message();
        seenSender = sender;
        Application->Terminate();
    };
    Application->Run();
    EXPECT_EQ(seen, "tick failed");
    EXPECT_EQ(seenSender, form->Ticker);
    EXPECT_EQ(form->ticks, 1);
}

TEST_F(Forms, OnDestroyRunsOnceWhileTheDerivedFormsMembersStillLive) {
    TOwnMembersForm::destroyCalls = 0;
    TOwnMembersForm::lastSeenNote.clear();
    delete TCustomForm::CreateNew<TOwnMembersForm>(Application);
    EXPECT_EQ(TOwnMembersForm::destroyCalls, 1);
    EXPECT_EQ(TOwnMembersForm::lastSeenNote, "still here");
}

TEST_F(Forms, TheDefaultTitleIsTheProgramName) { EXPECT_EQ(Application->Title(), "RtlTests"); }

TEST_F(Forms, AMissingFormResourceIsReported) {
    try {
        TCustomForm::CreateFromResource<TNoResourceForm>(Application);
        FAIL();
    } catch (const EResNotFound& error) {
        EXPECT_EQ(error.Message(), "Resource TNORESOURCEFORM not found");
    }
    EXPECT_EQ(Application->ComponentCount(), 0) << "the half-built form was freed";
}

} // namespace


namespace {

TEST_F(Forms, FontAndBorderPropertiesComeFromTheDescription) {
    TTestForm* form = nullptr;
    Application->CreateForm(form);
    EXPECT_EQ(form->Font().Name(), "MS Shell Dlg 2");
    EXPECT_EQ(form->BorderStyle(), bsSingle);
    EXPECT_EQ(form->BorderIcons(), static_cast<uint32_t>(biSystemMenu));
    EXPECT_EQ(form->Position(), poDesigned);
    EXPECT_EQ(form->ClientWidth(), 200);
    EXPECT_GT(form->Width(), 200) << "the outer width includes the frame";
    HWND window = form->Handle();
    RECT outer;
    ::GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, 10);
    EXPECT_EQ(outer.top, 20);
    LOGFONTW font{};
    ::GetObjectW(form->Font().Handle(), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, L"MS Shell Dlg 2");
    EXPECT_EQ(font.lfHeight, -11);
}

TEST_F(Forms, ExceptionsOfEveryKindReachTheEventAndAbortIsSilent) {
    std::vector<AnsiString> seen;
    Application->OnException = [&](TObject*, Exception& error) { seen.push_back(error.Message()); };
    auto raise = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            HandleExceptionInCallback(nullptr);
        }
    };
    raise([] { throw EAbort("silent"); });
    raise([] { throw EOSError("os", 5); });
    raise([] { throw std::runtime_error("standard"); });
    raise([] { throw 42; });
    EXPECT_EQ(seen, (std::vector<AnsiString>{"os", "standard", "Unknown exception"}));
}

TEST_F(Forms, ReportedErrorsAreCountedAndInAnUnattendedRunGoToItsSinkInstead) {
    std::vector<AnsiString> dialogs;
    Application->OnException = [&](TObject*, Exception& error) { dialogs.push_back(error.Message()); };
    auto raise = [](auto thrower) {
        try {
            thrower();
        } catch (...) {
            HandleExceptionInCallback(nullptr);
        }
    };
    const int32_t before = Application->ReportedErrorCount();
    raise([] { throw EAbort("silent"); });
    EXPECT_EQ(Application->ReportedErrorCount(), before) << "the silent exception is no error";
    raise([] { throw EOSError("shown", 5); });
    EXPECT_EQ(Application->ReportedErrorCount(), before + 1);
    {
        std::vector<WideString> told;
        const TUnattendedRun run([&told](const WideString& text) { told.push_back(text); });
        raise([] { throw EOSError("Registering failed", 5); });
        raise([] { throw std::runtime_error("standard."); });
        raise([] { throw EAbort("silent"); });
        Application->ShowException(Exception("Direct"));
        // The closing period the message box would add, and no dialog for a user who is not there.
        EXPECT_EQ(told, (std::vector<WideString>{u"Registering failed.", u"standard.", u"Direct."}));
    }
    EXPECT_EQ(dialogs, std::vector<AnsiString>{"shown"});
    EXPECT_EQ(Application->ReportedErrorCount(), before + 3);
}

TEST_F(Forms, ClosingTheMainFormEndsTheLoopAndAnotherFormIsOnlyHidden) {
    TTestForm* main = nullptr;
    Application->CreateForm(main);
    // A second instance under the same owner would repeat the component name.
    std::unique_ptr<TTestForm> secondForm(TCustomForm::CreateFromResource<TTestForm>(nullptr));
    TTestForm* second = secondForm.get();
    EXPECT_THROW(TCustomForm::CreateFromResource<TTestForm>(Application), EComponentError);
    main->Ticker->SetEnabled(false);
    second->Ticker->SetEnabled(false);
    second->Show();
    ::SendMessageW(second->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(second->Handle()));
    EXPECT_FALSE(Application->Terminated());
    ::PostMessageW(main->Handle(), WM_SYSKEYDOWN, VK_F4, 0);
    Application->Run();
    EXPECT_TRUE(Application->Terminated());
}

} // namespace
