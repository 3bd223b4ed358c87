// The clipboard: ANSI and Unicode round trips, the Windows 9x path, clearing, and a clipboard
// that another thread keeps open.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Clipbrd.h"
#include "WindowsVersion.h"

namespace {

TEST(Clipboard, TextGoesRoundInBothWidths) {
    Clipboard().SetAsText("Plain ANSI text");
    EXPECT_TRUE(Clipboard().HasFormat(CF_TEXT));
    EXPECT_EQ(Clipboard().AsText(), "Plain ANSI text");
    EXPECT_EQ(Clipboard().AsWideText(), u"Plain ANSI text") << "the system converts for readers";

    const WideString wide = u"Gr\u00FC\u00DFe \u4E2D\u6587 \u0416\u20AC";
    Clipboard().SetAsWideText(wide);
    EXPECT_TRUE(Clipboard().HasFormat(CF_UNICODETEXT));
    EXPECT_EQ(Clipboard().AsWideText(), wide);

    Clipboard().Clear();
    EXPECT_FALSE(Clipboard().HasFormat(CF_TEXT));
    EXPECT_FALSE(Clipboard().HasFormat(CF_UNICODETEXT));
    EXPECT_EQ(Clipboard().AsText(), "");
    EXPECT_EQ(Clipboard().AsWideText(), u"");
}

// Puts a Windows 98 in place for the life of the scope.
class NinetyEightScope {
public:
    NinetyEightScope() {
        TWindowsVersion version = WindowsVersion();
        version.Platform = VER_PLATFORM_WIN32_WINDOWS;
        saved_ = ReplaceWindowsVersion(version);
    }
    ~NinetyEightScope() { ReplaceWindowsVersion(saved_); }
    NinetyEightScope(const NinetyEightScope&) = delete;
    NinetyEightScope& operator=(const NinetyEightScope&) = delete;

private:
    TWindowsVersion saved_;
};

TEST(Clipboard, WithoutAUnicodeClipboardWideTextGoesAsAnsi) {
    char expected[8] = {};
    ::WideCharToMultiByte(CP_ACP, 0, L"Caf\u00E9", -1, expected, sizeof expected, nullptr, nullptr);
    const NinetyEightScope ninetyEight;
    Clipboard().SetAsWideText(u"Caf\u00E9");
    EXPECT_EQ(Clipboard().AsText(), expected);
    EXPECT_EQ(Clipboard().AsWideText(), u"Caf\u00E9") << "read back as ANSI and converted";
}

TEST(Clipboard, AClipboardHeldOpenElsewhereFailsAfterTheRetries) {
    UniqueKernelHandle opened(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueKernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread holder([&] {
        ::OpenClipboard(nullptr);
        ::SetEvent(opened.get());
        ::WaitForSingleObject(release.get(), 10000);
        ::CloseClipboard();
    });
    ::WaitForSingleObject(opened.get(), 10000);
    const auto start = std::chrono::steady_clock::now();
    bool raised = false;
    try {
        Clipboard().SetAsText("refused");
    } catch (const EClipboardException& error) {
        raised = true;
        EXPECT_EQ(error.Message(), "Cannot open clipboard");
    }
    const auto waited = std::chrono::steady_clock::now() - start;
    ::SetEvent(release.get());
    holder.join();
    EXPECT_TRUE(raised);
    EXPECT_GE(waited, std::chrono::milliseconds(100)) << "it tried more than once";
    Clipboard().SetAsText("accepted");
    EXPECT_EQ(Clipboard().AsText(), "accepted");
}

} // namespace
