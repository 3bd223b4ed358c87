// Forms read from their stored description, their windows, the timer and the application's
// exception event, in a real message loop.
#include <gtest/gtest.h>

#include "Application.h"
#include "Timer.h"

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

