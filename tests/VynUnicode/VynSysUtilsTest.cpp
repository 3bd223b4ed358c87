// Wide path, string, file, search, date and command-line functions.
#include <gtest/gtest.h>

#include <algorithm>

#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {


WideString TempFolder() {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    return WideString(reinterpret_cast<const char16_t*>(folder));
}

// Switches to the ANSI path for the life of the object.
class AnsiPath {
public:
    AnsiPath() : saved_(VynPlatformIsNT) { VynPlatformIsNT = false; }
    ~AnsiPath() { VynPlatformIsNT = saved_; }
    AnsiPath(const AnsiPath&) = delete;
    AnsiPath& operator=(const AnsiPath&) = delete;

private:
    bool saved_;
};

TEST(Paths, ExpandFileNameRefusesFullPathsTooLongOnBothPaths) {
    EXPECT_EQ(ExpandFileNameWide(u"C:\\a\\b\\..\\c.txt"), u"C:\\a\\c.txt");
    const WideString tooLong = u"C:\\" + WideString(300, u'x');
    EXPECT_EQ(ExpandFileNameWide(tooLong), u"");
    AnsiPath ansi;
    EXPECT_EQ(ExpandFileNameWide(u"C:\\a\\b\\..\\c.txt"), u"C:\\a\\c.txt");
    EXPECT_EQ(ExpandFileNameWide(tooLong), u"");
    EXPECT_EQ(ExpandFileNameWide(u"C:\\" + WideString(600, u'y')), u"");
}

TEST(Strings, UpperCaseSearchAndLastCharacter) {
    EXPECT_EQ(UpperCaseWide(u"Mixed \u00e9"), u"MIXED \u00c9");
    EXPECT_EQ(PosIgnoreCaseWide(u"LD", u"Hello world"), 10u);
    EXPECT_EQ(PosIgnoreCaseWide(u"xyz", u"Hello world"), 0u);
    EXPECT_EQ(PosIgnoreCaseWide(u"", u"Hello"), 0u);
    EXPECT_EQ(LastCharWide(u"abc"), u'c');
    EXPECT_EQ(LastCharWide(u""), u'\0');
    AnsiPath ansi;
    EXPECT_EQ(UpperCaseWide(u"Mixed"), u"MIXED");
}

TEST(Strings, ReplaceTextOnceAllIgnoringCaseAndWholeWords) {
    EXPECT_EQ(ReplaceTextWide(u"a cat, a cat", u"cat", u"dog", 0, false), u"a dog, a cat");
    EXPECT_EQ(ReplaceTextWide(u"a cat, a cat", u"cat", u"dog", ReplaceAll, false), u"a dog, a dog");
    EXPECT_EQ(ReplaceTextWide(u"a Cat, a CAT", u"cat", u"dog", ReplaceAll, false), u"a Cat, a CAT");
    EXPECT_EQ(ReplaceTextWide(u"a Cat, a CAT", u"cat", u"dog", ReplaceAll | ReplaceIgnoreCase, false),
              u"a dog, a dog");
    // The pieces kept come from the text itself, not from its upper-cased copy.
    EXPECT_EQ(ReplaceTextWide(u"Ab ab", u"B", u"-", ReplaceAll | ReplaceIgnoreCase, false), u"A- a-");

    // Whole words: between spaces or punctuation or at the ends, never inside a longer word.
    EXPECT_EQ(ReplaceTextWide(u"cat concat cats cat", u"cat", u"dog", ReplaceAll, true), u"dog concat cats dog");
    EXPECT_EQ(ReplaceTextWide(u"(cat)", u"cat", u"dog", ReplaceAll, true), u"(dog)");
    EXPECT_EQ(ReplaceTextWide(u"concat cat", u"cat", u"dog", 0, true), u"concat dog");
    // After a replacement the unit before the next match is the last unit written.
    EXPECT_EQ(ReplaceTextWide(u"catcat", u"cat", u"x", ReplaceAll, true), u"catcat");
    EXPECT_EQ(ReplaceTextWide(u"a,a", u"a", u"b", ReplaceAll, true), u"b,b");
    EXPECT_EQ(ReplaceTextWide(u"text", u"", u"x", ReplaceAll, false), u"text");
}

TEST(WideBuffers, AnsiTextIsConvertedAndBounded) {
    const uint32_t savedCodePage = DefaultCodePage;
    DefaultCodePage = 1251;
    char16_t buffer[4];
    WStrPLCopy(buffer, "\xC6\xE6-too-long", 3);
    EXPECT_EQ(WideString(buffer), u"\u0416\u0436-");
    DefaultCodePage = savedCodePage;
}

TEST(Characters, ClassesOnBothPathsAndMapping) {
    for (bool nt : {true, false}) {
        const bool saved = VynPlatformIsNT;
        VynPlatformIsNT = nt;
        EXPECT_TRUE(IsSpaceChar(u' '));
        EXPECT_TRUE(IsSpaceChar(u'\t'));
        EXPECT_FALSE(IsSpaceChar(u'a'));
        EXPECT_TRUE(IsPunctChar(u','));
        EXPECT_FALSE(IsPunctChar(u'7'));
        EXPECT_TRUE(IsWordDelimiter(u'\0'));
        EXPECT_TRUE(IsWordDelimiter(u'.'));
        EXPECT_FALSE(IsWordDelimiter(u'x'));
        VynPlatformIsNT = saved;
    }
    const uint32_t savedCodePage = DefaultCodePage;
    DefaultCodePage = 1252;
    EXPECT_TRUE(IsCharMappableToAnsi(u'\u00e9'));
    EXPECT_FALSE(IsCharMappableToAnsi(u'\u0416'));
    DefaultCodePage = 1251;
    EXPECT_TRUE(IsCharMappableToAnsi(u'\u0416'));
    DefaultCodePage = CP_UTF8;
    EXPECT_TRUE(IsCharMappableToAnsi(u'\u4e2d'));
    DefaultCodePage = savedCodePage;
    EXPECT_EQ(KeyCharToWide(u'A'), u'A');
    EXPECT_EQ(KeyCharToWide(0x0416), u'\u0416');
}

class TempFiles : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = TempFolder() + u"ferrule-sysutils-" + std::u16string(1, static_cast<char16_t>(u'a' + counter_++));
        ::CreateDirectoryW(WinText(root_), nullptr);
    }
    void TearDown() override {
        const WideString list = root_ + WideString(2, u'\0');
        SHFILEOPSTRUCTW operation{};
        operation.wFunc = FO_DELETE;
        operation.pFrom = WinText(list);
        operation.fFlags = FOF_NO_UI;
        ::SHFileOperationW(&operation);
    }
    WideString root_;
    static inline int counter_ = 0;
};

TEST_F(TempFiles, OpenModesAreHonouredAndUndefinedOnesRefused) {
    const WideString file = root_ + u"\\modes.bin";
    const TFileHandle created = FileCreateWide(file);
    ASSERT_GE(created, 0);
    ::CloseHandle(reinterpret_cast<HANDLE>(created));
    EXPECT_TRUE(FileExistsWide(file));
    EXPECT_FALSE(DirectoryExistsWide(file));
    EXPECT_TRUE(DirectoryExistsWide(root_));
    EXPECT_FALSE(FileExistsWide(root_));

    for (uint32_t mode : {0x03u, 0x50u, 0xF0u, 0x100u, 0x80000000u}) {
        EXPECT_EQ(FileOpenWide(file, mode), InvalidFileHandle) << mode;
        EXPECT_EQ(::GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
    }
    // Deny write: a reader may join, a writer may not.
    const TFileHandle reader = FileOpenWide(file, 0x20);
    ASSERT_GE(reader, 0);
    const TFileHandle secondReader = FileOpenWide(file, 0x40);
    EXPECT_GE(secondReader, 0);
    EXPECT_EQ(FileOpenWide(file, 0x41), InvalidFileHandle);
    ::CloseHandle(reinterpret_cast<HANDLE>(secondReader));
    ::CloseHandle(reinterpret_cast<HANDLE>(reader));
    // Exclusive: nobody may join.
    const TFileHandle exclusive = FileOpenWide(file, 0x12);
    ASSERT_GE(exclusive, 0);
    EXPECT_EQ(FileOpenWide(file, 0x40), InvalidFileHandle);
    ::CloseHandle(reinterpret_cast<HANDLE>(exclusive));
    EXPECT_EQ(FileOpenWide(root_ + u"\\missing.bin", 0), InvalidFileHandle);

    EXPECT_TRUE(FileSetAttrWide(file, FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(FileGetAttrWide(file) & FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(FileSetAttrWide(file, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(FileGetAttrWide(root_ + u"\\missing.bin"), -1);
    EXPECT_TRUE(DeleteFileWide(file));
    EXPECT_FALSE(DeleteFileWide(file));
}

TEST_F(TempFiles, ForceDirectoriesCreatesParentsFirstAndRefusesAnEmptyName) {
    const WideString deep = root_ + u"\\one\\two\\three\\";
    EXPECT_TRUE(ForceDirectoriesWide(deep));
    EXPECT_TRUE(DirectoryExistsWide(root_ + u"\\one\\two\\three"));
    EXPECT_TRUE(ForceDirectoriesWide(root_ + u"\\one"));
    {
        AnsiPath ansi;
        EXPECT_TRUE(ForceDirectoriesWide(root_ + u"\\ansi\\level"));
    }
    EXPECT_TRUE(DirectoryExistsWide(root_ + u"\\ansi\\level"));
    WriteFileBytes(Win(root_ + u"\\blocker"), {'x'});
    EXPECT_FALSE(ForceDirectoriesWide(root_ + u"\\blocker\\below"));
    try {
        ForceDirectoriesWide(u"");
        FAIL();
    } catch (const EVynGeneralError& error) {
        EXPECT_EQ(error.Message(), "Unable to create directory");
    }
}

TEST_F(TempFiles, SearchSkipsHiddenSystemAndDirectoryEntriesUnlessAsked) {
    WriteFileBytes(Win(root_ + u"\\plain.txt"), std::vector<char>(1234, 'p'));
    WriteFileBytes(Win(root_ + u"\\hidden.txt"), {'h'});
    WriteFileBytes(Win(root_ + u"\\system.txt"), {'s'});
    ::SetFileAttributesW(WinText(root_ + u"\\hidden.txt"), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW(WinText(root_ + u"\\system.txt"), FILE_ATTRIBUTE_SYSTEM);
    ::CreateDirectoryW(WinText(root_ + u"\\folder"), nullptr);

    for (bool nt : {true, false}) {
        const bool saved = VynPlatformIsNT;
        VynPlatformIsNT = nt;
        auto names = [this](uint32_t attributes) {
            std::vector<WideString> found;
            TSearchRecWide rec;
            for (DWORD result = FindFirstWide(root_ + u"\\*", attributes, rec); result == 0;
                 result = FindNextWide(rec))
                found.push_back(rec.Name);
            FindCloseWide(rec);
            EXPECT_FALSE(rec.FindHandle);
            std::sort(found.begin(), found.end());
            return found;
        };
        EXPECT_EQ(names(0), std::vector<WideString>{u"plain.txt"});
        EXPECT_EQ(names(FILE_ATTRIBUTE_HIDDEN),
                  (std::vector<WideString>{u"hidden.txt", u"plain.txt"}));
        EXPECT_EQ(names(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM),
                  (std::vector<WideString>{u".", u"..", u"folder", u"plain.txt", u"system.txt"}));

        TSearchRecWide rec;
        ASSERT_EQ(FindFirstWide(root_ + u"\\plain.*", 0, rec), 0u);
        EXPECT_EQ(rec.Size, 1234);
        EXPECT_EQ(rec.Attr & FILE_ATTRIBUTE_DIRECTORY, 0u);
        // DOS date: year since 1980 in the top seven bits.
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        EXPECT_EQ((static_cast<uint32_t>(rec.Time) >> 25) + 1980, now.wYear);
        EXPECT_EQ(FindNextWide(rec), DWORD{ERROR_NO_MORE_FILES});
        FindCloseWide(rec);
        EXPECT_EQ(FindNextWide(rec), DWORD{ERROR_INVALID_HANDLE});

        // Only excluded entries: the search ends with the system's code and is closed.
        TSearchRecWide onlyHidden;
        EXPECT_EQ(FindFirstWide(root_ + u"\\hidden.*", 0, onlyHidden), DWORD{ERROR_NO_MORE_FILES});
        EXPECT_FALSE(onlyHidden.FindHandle);
        EXPECT_EQ(FindFirstWide(root_ + u"\\none.*", 0, onlyHidden), DWORD{ERROR_FILE_NOT_FOUND});
        VynPlatformIsNT = saved;
    }
    ::SetFileAttributesW(WinText(root_ + u"\\system.txt"), FILE_ATTRIBUTE_NORMAL);
    ::SetFileAttributesW(WinText(root_ + u"\\hidden.txt"), FILE_ATTRIBUTE_NORMAL);
}

TEST(Dates, ParsedByTheSystemAndRefusedWithTheirMessages) {
    const LCID saved = ::GetThreadLocale();
    ::SetThreadLocale(MAKELCID(0x409, SORT_DEFAULT));
    EXPECT_DOUBLE_EQ(StrToDateWide(u"3/15/2024"), 45366.0);
    EXPECT_DOUBLE_EQ(StrToTimeWide(u"18:00:00"), 0.75);
    EXPECT_DOUBLE_EQ(StrToDateTimeWide(u"3/15/2024 06:00:00"), 45366.25);

    auto messageOf = [](double (*parse)(const WideString&), const WideString& text) {
        try {
            parse(text);
        } catch (const EConvertError& error) {
            return error.Message();
        }
        return AnsiString("no error");
    };
    const AnsiString dateTime = messageOf(StrToDateTimeWide, u"no date");
    EXPECT_EQ(dateTime.rfind("'no date' is not a valid date and time\r\n", 0), 0u) << dateTime;
    const AnsiString date = messageOf(StrToDateWide, u"no date");
    EXPECT_EQ(date.rfind("'no date' is not a valid date\r\n", 0), 0u) << date;
    const AnsiString time = messageOf(StrToTimeWide, u"no time");
    EXPECT_EQ(time.rfind("'no time' is not a valid time\r\n", 0), 0u) << time;
    ::SetThreadLocale(saved);
}

TEST(LocaleTexts, BothPathsAndTheDefault) {
    for (bool nt : {true, false}) {
        const bool saved = VynPlatformIsNT;
        VynPlatformIsNT = nt;
        EXPECT_EQ(GetLocaleStrWide(0x409, LOCALE_SENGLANGUAGE, u"none"), u"English");
        EXPECT_EQ(GetLocaleStrWide(0x409, LOCALE_IDEFAULTANSICODEPAGE, u"none"), u"1252");
        EXPECT_EQ(GetLocaleStrWide(0x409, 0xFFFF, u"fallback"), u"fallback");
        VynPlatformIsNT = saved;
    }
}

TEST(CommandLine, ProgramPathAndModuleNames) {
    EXPECT_EQ(ParamStrWide(0), ModuleFileNameWide(nullptr));
    EXPECT_EQ(UpperCaseWide(ExtractFileExtWide(ParamStrWide(0))), u".EXE");
    EXPECT_EQ(ModuleFileNameWide(::GetModuleHandleW(L"kernel32.dll")).empty(), false);
    EXPECT_THROW(ModuleFileNameWide(reinterpret_cast<HMODULE>(uintptr_t{0x10})), EOSError);
}

} // namespace
