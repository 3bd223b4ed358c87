// Flash messages: the designed notice read from its stored description, its width for short and
// long messages, and the hourglass that nested notices show and put back, also after a failure.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <stdexcept>

#include "Application.h"
#include "DeviceContexts.h"
#include "Screen.h"
#include "VynForms.h"
#include "VynLXFlashMsg.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

class FlashMessages : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit, &VynLXFlashMsgUnit});
    }
    void TearDown() override { units_.reset(); }

    // The outer width of a notice as designed: its client width and the tool window's frame.
    static int32_t DesignedWidth(HWND window) {
        RECT frame{0, 0, 216, 0};
        ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE)));
        return frame.right - frame.left;
    }

    std::unique_ptr<TUnitStartup> units_;
};

TEST_F(FlashMessages, ANoticeIsACaptionOnlyToolWindowShownAtOnce) {
    auto notice = ShowFlashMessage(u"Reading Translation Info for MainForm");
    HWND window = notice->Handle();
    EXPECT_EQ(notice->Name(), "VynFlashForm");
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE(::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(::GetWindowLongW(window, GWL_STYLE) & WS_SYSMENU) << "no border icons";
    RECT client;
    ::GetClientRect(window, &client);
    EXPECT_EQ(client.bottom, 0) << "only the caption bar remains";
    EXPECT_EQ(WindowText(window), L"Reading Translation Info for MainForm");
    EXPECT_EQ(notice->Caption(), u"Reading Translation Info for MainForm");
    EXPECT_EQ(FlashForms(), (std::vector<TVynFlashForm*>{notice.get()}));

    notice.reset();
    EXPECT_TRUE(FlashForms().empty());
}

TEST_F(FlashMessages, AShortMessageKeepsTheDesignedWidthAndALongOneWidensTheNotice) {
    auto shortNotice = ShowFlashMessage(u"Wait");
    EXPECT_EQ(shortNotice->Width(), DesignedWidth(shortNotice->Handle()));

    const WideString longMessage =
        u"Updating Translation Resource (C:\\Program Files\\Common Files\\Some Vendor\\A Rather Long Folder "
        u"Name\\Translations\\MainProgram.lng) \u4E2D\u6587";
    auto longNotice = ShowFlashMessage(longMessage);
    HWND window = longNotice->Handle();
    SIZE extent{};
    ::GetTextExtentPoint32W(WindowDC::OfWindow(window).get(), reinterpret_cast<const WCHAR*>(longMessage.c_str()),
                            static_cast<int>(longMessage.size()), &extent);
    ASSERT_GT(extent.cx, DesignedWidth(window));
    EXPECT_EQ(longNotice->Width(), extent.cx);
    RECT rect;
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, extent.cx);
    EXPECT_EQ(longNotice->Caption(), longMessage) << "text beyond the ANSI code page survives";

    SetFlashCaption(*longNotice, u"Done");
    EXPECT_EQ(longNotice->Width(), extent.cx) << "a notice never narrows";
}

TEST_F(FlashMessages, NestedNoticesPutBackTheCursorInReverseOrder) {
    Screen->SetCursor(crIBeam);
    auto outer = ShowFlashMessage(u"outer");
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    Screen->SetCursor(crCross);
    auto inner = ShowFlashMessage(u"inner");
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    EXPECT_EQ(outer->Name(), "VynFlashForm");
    EXPECT_EQ(inner->Name(), "VynFlashForm_1") << "nested notices come from one description";
    inner.reset();
    EXPECT_EQ(Screen->Cursor(), crCross);
    outer.reset();
    EXPECT_EQ(Screen->Cursor(), crIBeam);
}

TEST_F(FlashMessages, ANoticeWhoseWorkFailedStillPutsBackTheCursor) {
    Screen->SetCursor(crDefault);
    try {
        auto notice = ShowFlashMessage(u"Updating Translation Resource (x.lng)");
        throw std::runtime_error("the work failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_TRUE(FlashForms().empty());
}

TEST_F(FlashMessages, ANoticeNobodyFreedGoesWithTheApplicationAfterTheUnitEnded) {
    TVynFlashForm* notice = ShowFlashMessage(u"left behind").release();
    EXPECT_EQ(notice->Owner(), Application);
    units_.reset();
    units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
        &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit, &VynLXFlashMsgUnit});
    EXPECT_TRUE(FlashForms().empty());
}

TEST_F(FlashMessages, PoppingMoreThanWasPushedShowsTheDefaultCursor) {
    PushScreenCursor(crHelp);
    EXPECT_EQ(Screen->Cursor(), crHelp);
    PopScreenCursor();
    EXPECT_EQ(Screen->Cursor(), crDefault);
    Screen->SetCursor(crCross);
    PopScreenCursor();
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

} // namespace
