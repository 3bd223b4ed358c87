// The screen cursor: shown at once, and over the program's forms while it is not crDefault.
#include <gtest/gtest.h>

#include <memory>

#include "Application.h"
#include "Handles.h"
#include "Screen.h"

namespace {

HCURSOR SystemCursor(LPCWSTR name) {
    return ::LoadCursorW(nullptr, name);
}

class ScreenCursor : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{&RtlFormsUnit});
    }
    void TearDown() override { units_.reset(); }
    std::unique_ptr<TUnitStartup> units_;
};

TEST(ScreenObject, ExistsWhileTheFormsUnitRuns) {
    EXPECT_EQ(Screen, nullptr);
    {
        TUnitStartup units{&RtlFormsUnit};
        ASSERT_NE(Screen, nullptr);
        EXPECT_EQ(Screen->Cursor(), crDefault);
    }
    EXPECT_EQ(Screen, nullptr);
}

TEST_F(ScreenCursor, SettingItShowsTheSystemCursorAtOnce) {
    const struct {
        TCursor Cursor;
        LPCWSTR SystemName;
    } cases[] = {
        {crHourGlass, IDC_WAIT},       {crIBeam, IDC_IBEAM},        {crHandPoint, IDC_HAND},
        {crSizeAll, IDC_SIZEALL},      {crNo, IDC_NO},              {crAppStart, IDC_APPSTARTING},
        {crSizeNWSE, IDC_SIZENWSE},    {crArrow, IDC_ARROW},        {crDefault, IDC_ARROW},
        // Identifiers the system has no cursor for show the arrow.
        {-12, IDC_ARROW},              {5, IDC_ARROW},
    };
    for (const auto& c : cases) {
        ::SetCursor(nullptr);
        Screen->SetCursor(c.Cursor);
        EXPECT_EQ(Screen->Cursor(), c.Cursor);
        EXPECT_EQ(::GetCursor(), SystemCursor(c.SystemName)) << c.Cursor;
    }
}

// What a window's procedure leaves as the cursor when the mouse moves over its client area.
HCURSOR CursorAfterMouseMoveOver(HWND window) {
    ::SetCursor(nullptr);
    ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return ::GetCursor();
}

TEST_F(ScreenCursor, FormsAndTheirChildrenShowItUntilItIsTheDefaultAgain) {
    auto* form = new TForm(Application);
    HWND window = form->Handle();
    UniqueWindow edit(::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, window, nullptr,
                                        nullptr, nullptr));
    ASSERT_TRUE(edit);

    EXPECT_EQ(CursorAfterMouseMoveOver(window), SystemCursor(IDC_ARROW));
    EXPECT_EQ(CursorAfterMouseMoveOver(edit.get()), SystemCursor(IDC_IBEAM));

    Screen->SetCursor(crHourGlass);
    EXPECT_EQ(CursorAfterMouseMoveOver(window), SystemCursor(IDC_WAIT));
    EXPECT_EQ(CursorAfterMouseMoveOver(edit.get()), SystemCursor(IDC_WAIT));

    Screen->SetCursor(crDefault);
    EXPECT_EQ(CursorAfterMouseMoveOver(window), SystemCursor(IDC_ARROW));
    EXPECT_EQ(CursorAfterMouseMoveOver(edit.get()), SystemCursor(IDC_IBEAM));
}

} // namespace
