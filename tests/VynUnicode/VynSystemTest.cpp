// Code pages, resource strings as wide text and the replaced runtime conversions.
#include <gtest/gtest.h>

#include <algorithm>

#include "Format.h"
#include "ResourceModule.h"
#include "TextConversion.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"

namespace {

// Keeps DefaultCodePage as the test found it.
class CodePageScope {
public:
    CodePageScope() : saved_(DefaultCodePage) {}
    ~CodePageScope() { DefaultCodePage = saved_; }
    CodePageScope(const CodePageScope&) = delete;
    CodePageScope& operator=(const CodePageScope&) = delete;

private:
    uint32_t saved_;
};

TEST(CodePages, OfLocales) {
    EXPECT_EQ(LocaleAnsiCodePage(0x409), 1252u);
    EXPECT_EQ(LocaleAnsiCodePage(0x419), 1251u);
    EXPECT_EQ(LocaleAnsiCodePage(0x411), 932u);
    // No such locale: the system's ANSI code page.
    EXPECT_EQ(LocaleAnsiCodePage(0x7FFF), ::GetACP());
    EXPECT_NE(KeyboardCodePage(), 0u);
}

TEST(RuntimeConversions, InstalledAtStartFollowTheCodePageAndArePutBackAtEnd) {
    CodePageScope scope;
    DefaultCodePage = 0;
    ASSERT_FALSE(RuntimeRoutinesReplaced());
    const WideString builtIn = AnsiToWide("\xC6");
    // The platform flag is the system's answer (Wine reports NT), not whatever it was before.
    VynPlatformIsNT = false;
    {
        TUnitStartup units{&VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit};
        EXPECT_TRUE(RuntimeRoutinesReplaced());
        EXPECT_EQ(DefaultCodePage, uint32_t{CP_THREAD_ACP});
        EXPECT_TRUE(VynPlatformIsNT);

        DefaultCodePage = 1251;
        EXPECT_EQ(AnsiToWide("\xC6"), u"\u0416");
        EXPECT_EQ(WideToAnsi(u"\u0416\u0436"), "\xC6\xE6");
        // The formatter converts through the same routines.
        EXPECT_EQ(WideFormat(u"<%s>", {AnsiString("\xC6")}), u"<\u0416>");
        EXPECT_EQ(Format("<%s>", {WideString(u"\u0416")}), "<\xC6>");

        // Long texts take the other road through the same code page.
        const AnsiString longAnsi(5000, '\xC6');
        EXPECT_EQ(AnsiToWide(longAnsi), WideString(5000, u'\u0416'));
        EXPECT_EQ(WideToAnsi(WideString(5000, u'\u0416')), longAnsi);
        DefaultCodePage = CP_UTF8;
        EXPECT_EQ(WideToAnsi(WideString(3000, u'\u4e2d')).size(), 9000u);
        EXPECT_EQ(AnsiToWide(AnsiString("\xE4\xB8\xAD")), u"\u4e2d");
        // UTF-7 needs far more than two bytes per unit when letters and other characters alternate.
        DefaultCodePage = CP_UTF7;
        WideString mixed;
        for (int i = 0; i < 3000; ++i)
            mixed += u"a\u00e9";
        const AnsiString utf7 = WideToAnsi(mixed);
        EXPECT_GT(utf7.size(), 4u * mixed.size() / 2);
        EXPECT_EQ(AnsiToWide(utf7), mixed);

        // Replacing again leaves the replacement alone; the second group switches to the system code page.
        ReplaceRuntimeRoutines(ReplaceConversionsSystemCodePage);
        EXPECT_EQ(DefaultCodePage, 0u);
        DefaultCodePage = 1251;
        EXPECT_EQ(AnsiToWide("\xC6"), u"\u0416");
    }
    // The end puts back the code page computed at start, whatever the program set meanwhile.
    EXPECT_FALSE(RuntimeRoutinesReplaced());
    EXPECT_EQ(DefaultCodePage, uint32_t{CP_THREAD_ACP});
    EXPECT_EQ(AnsiToWide("\xC6"), builtIn);
}

TEST(RuntimeConversions, AnotherHookInstalledAfterwardsIsPutBackToWhatWasBefore) {
    auto shout = [](const AnsiString& text) { return WideString(text.begin(), text.end()) + u"!"; };
    const TStringConversionRoutines before = SetStringConversionRoutines({+shout, nullptr});
    ReplaceRuntimeRoutines(ReplaceConversionsAndResStrings);
    EXPECT_EQ(AnsiToWide("a"), u"a");
    RestoreRuntimeRoutines();
    EXPECT_EQ(AnsiToWide("a"), u"a!");
    SetStringConversionRoutines(before);
    EXPECT_EQ(AnsiToWide("a"), u"a");
}

TEST(RuntimeConversions, WideFormattingIsHandedToFormatWideAndBack) {
    ReplaceRuntimeRoutines(ReplaceWideFormatting);
    TWideFormatRoutine installed = SetWideFormatRoutine(nullptr);
    EXPECT_EQ(installed, &FormatWideRoutine);
    SetWideFormatRoutine(installed);
    EXPECT_EQ(WideFormat(u"%s-%d", {WideString(u"a"), 5}), u"a-5");
    RestoreRuntimeRoutines();
    installed = SetWideFormatRoutine(nullptr);
    EXPECT_EQ(installed, &WideFormatBuiltIn);
    EXPECT_FALSE(RuntimeRoutinesReplaced());
}

const char utf8Literal[] = "\xEF\xBB\xBF\xD0\x96 ok";
const char ansiLiteral[] = "\xC6 plain";
const char shortMarked[] = "\xEF\xBB\xBF";

TEST(ResourceStrings, LiteralsAndStringTableEntries) {
    CodePageScope scope;
    DefaultCodePage = 1251;
    EXPECT_EQ(LoadResStringWide(nullptr), u"");

    const TResStringRec marked{nullptr, reinterpret_cast<uintptr_t>(utf8Literal)};
    EXPECT_EQ(LoadResStringWide(&marked), u"\u0416 ok");
    const TResStringRec plain{nullptr, reinterpret_cast<uintptr_t>(ansiLiteral)};
    EXPECT_EQ(LoadResStringWide(&plain), u"\u0416 plain");
    // Three bytes are not enough for a marked text: they are ANSI text.
    const TResStringRec onlyMark{nullptr, reinterpret_cast<uintptr_t>(shortMarked)};
    EXPECT_EQ(LoadResStringWide(&onlyMark).size(), 3u);

    const TResStringRec table{nullptr, 101};
    EXPECT_EQ(LoadResStringWide(&table), u"Zhe \u0416 and e-acute \u00e9");
    const HMODULE self = ::GetModuleHandleW(nullptr);
    const TResStringRec ofModule{&self, 100};
    EXPECT_EQ(LoadResStringWide(&ofModule), u"Hundred");
    const TResStringRec missing{nullptr, 4000};
    EXPECT_EQ(LoadResStringWide(&missing), u"");

    // The program's strings follow the installed resource module.
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto kernelString = [kernel](UINT identifier) {
        wchar_t buffer[4097] = {};
        const int length = ::LoadStringW(kernel, identifier, buffer, 4097);
        return WideString(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(std::max(length, 0)));
    };
    const TResStringRec other{&kernel, 100};
    EXPECT_EQ(LoadResStringWide(&other), kernelString(100));
    // A reference of its own: the resource module frees what it is handed.
    SetResourceInstance(UniqueModule(::LoadLibraryW(L"kernel32.dll")));
    EXPECT_EQ(LoadResStringWide(&table), kernelString(101));
    EXPECT_NE(LoadResStringWide(&table), u"Zhe \u0416 and e-acute \u00e9");
    SetResourceInstance(UniqueModule());
    EXPECT_EQ(LoadResStringWide(&ofModule), u"Hundred");
}

TEST(ResourceStrings, TheWideTextSurvivesTheRuntimesAnsiRoadOnlyWhileReplaced) {
    CodePageScope scope;
    const TResStringRec table{nullptr, 101};
    const WideString full = u"Zhe \u0416 and e-acute \u00e9";

    // Before replacement the ANSI road of the system code page loses what that code page lacks.
    const bool systemCodePageLoses = BuiltInAnsiToWide(BuiltInWideToAnsi(full)) != full;
    if (systemCodePageLoses) {
        EXPECT_NE(LoadResStringAsWide(&table), full);
    }

    ReplaceRuntimeRoutines(ReplaceConversionsAndResStrings);
    DefaultCodePage = 1252;
    EXPECT_EQ(LoadResString(&table), "Zhe ? and e-acute \xE9");
    EXPECT_EQ(LoadResStringAsWide(&table), full);
    EXPECT_EQ(LoadResStringAsWide(&table), full);
    // Equal bytes elsewhere are converted as what they are.
    EXPECT_EQ(AnsiToWide(LoadResString(&table)), u"Zhe ? and e-acute \u00e9");
    RestoreRuntimeRoutines();
    EXPECT_EQ(LoadResStringAsWide(&table), BuiltInAnsiToWide(BuiltInWideToAnsi(full)));
}

} // namespace
