// The screen cursor: shown at once, and over the program's forms while it is not crDefault.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "DeviceContexts.h"
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
        {crHourGlass, IDC_WAIT},
        {crIBeam, IDC_IBEAM},
        {crHandPoint, IDC_HAND},
        {crSizeAll, IDC_SIZEALL},
        {crNo, IDC_NO},
        {crAppStart, IDC_APPSTARTING},
        {crSizeNWSE, IDC_SIZENWSE},
        {crArrow, IDC_ARROW},
        {crDefault, IDC_ARROW},
        // Identifiers the system has no cursor for show the arrow.
        {-12, IDC_ARROW},
        {5, IDC_ARROW},
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
    ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
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

namespace {

bool LessIgnoringCase(const AnsiString& a, const AnsiString& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

int CALLBACK CollectFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM families) {
    std::wstring face(font->lfFaceName);
    if (!face.empty() && face[0] != L'@')
        reinterpret_cast<std::vector<AnsiString>*>(families)->emplace_back(face.begin(), face.end());
    return 1;
}

TEST(ScreenObject, KnowsTheScreenFontsAndSize) {
    TUnitStartup units{&RtlFormsUnit};
    const std::vector<AnsiString>& fonts = Screen->Fonts();
    std::string all;
    for (const AnsiString& face : fonts)
        all += face + "; ";
    // Every family the system lists through another call is there (this prefix has the host's
    // DejaVu faces, no Courier New or Arial).
    std::vector<AnsiString> families;
    {
        const WindowDC screen = WindowDC::OfClient(nullptr);
        ::EnumFontFamiliesW(screen.get(), nullptr, &CollectFamily, reinterpret_cast<LPARAM>(&families));
    }
    ASSERT_FALSE(families.empty());
    for (const AnsiString& family : families)
        EXPECT_NE(std::find(fonts.begin(), fonts.end(), family), fonts.end()) << family << " in " << all;
    EXPECT_EQ(std::find(fonts.begin(), fonts.end(), "No Such Face Anywhere"), fonts.end());
    EXPECT_TRUE(std::is_sorted(fonts.begin(), fonts.end(), LessIgnoringCase)) << all;
    EXPECT_EQ(std::adjacent_find(fonts.begin(), fonts.end()), fonts.end()) << "each face once: " << all;
    EXPECT_TRUE(
        std::none_of(fonts.begin(), fonts.end(), [](const AnsiString& face) { return face[0] == '@'; }));
    EXPECT_EQ(&Screen->Fonts(), &fonts) << "read once";

    EXPECT_EQ(Screen->Width(), ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(Screen->Height(), ::GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GT(Screen->Width(), 0);
}

} // namespace
