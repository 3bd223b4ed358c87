// The wide wrappers on both paths: the W call (NT) and the A call with conversions.
#include <gtest/gtest.h>

#include <cstring>

#include "Handles.h"
#include "VynClasses.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

WideString FromWin(const wchar_t* text) { return WideString(reinterpret_cast<const char16_t*>(text)); }

WideString TempFolder() {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    return FromWin(folder);
}

// Runs each test once on the NT path and once on the ANSI path, putting the flag back after.
class BothPaths : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        savedPlatform_ = VynPlatformIsNT;
        VynPlatformIsNT = GetParam();
    }
    void TearDown() override { VynPlatformIsNT = savedPlatform_; }

    // A name with a character of the ANSI code page outside ASCII where the code page has one.
    static WideString LocalName(const WideString& stem) {
        return IsCharMappableToAnsi(u'\u00e9') ? stem + u" \u00e9t\u00e9" : stem;
    }

private:
    bool savedPlatform_ = true;
};

INSTANTIATE_TEST_SUITE_P(Wrappers, BothPaths, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Wide" : "Ansi"; });

TEST(CopyBufferResult, FitsTooSmallAndEachOption) {
    char16_t out[8];
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(CopyBufferResult(8, out, "abc", 0), 3u);
    EXPECT_EQ(WideString(out), u"abc");

    // Too small: the size needed with the terminator, the buffer untouched unless an option says.
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(CopyBufferResult(3, out, "abc", 0), 4u);
    EXPECT_EQ(out[0], u'#');
    EXPECT_EQ(CopyBufferResult(3, out, "abc", CopyEmptyWhenTooSmall), 4u);
    EXPECT_EQ(out[0], u'\0');

    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(CopyBufferResult(2, out, "abc", CopyFillWithoutTerminator), 2u);
    EXPECT_EQ(WideString(out, 3), u"ab#");

    // Exactly as long as the capacity: cut by one to fit the terminator, the full size reported.
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(CopyBufferResult(3, out, "abc", CopyCutToFit), 4u);
    EXPECT_EQ(WideString(out, 4), WideString(u"ab\0#", 4));
    EXPECT_EQ(CopyBufferResult(2, out, "abc", CopyCutToFit | CopyEmptyWhenTooSmall), 4u);
    EXPECT_EQ(out[0], u'\0');

    // No buffer is capacity 0, whatever the caller claims.
    EXPECT_EQ(CopyBufferResult(100, nullptr, "abc", CopyEmptyWhenTooSmall | CopyFillWithoutTerminator), 0u);
    EXPECT_EQ(CopyBufferResult(0, out, "", CopyCutToFit), 1u);
}

TEST_P(BothPaths, ModuleFileNameFillsASmallBufferWithoutTerminator) {
    wchar_t expected[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, expected, MAX_PATH);
    char16_t buffer[MAX_PATH];
    const DWORD length = VynGetModuleFileNameW(nullptr, buffer, MAX_PATH);
    EXPECT_EQ(WideString(buffer, length), FromWin(expected));

    if (!GetParam()) {
        char16_t small[6];
        std::fill(std::begin(small), std::end(small), u'#');
        EXPECT_EQ(VynGetModuleFileNameW(nullptr, small, 5), 5u);
        EXPECT_EQ(WideString(small, 5), FromWin(expected).substr(0, 5));
        EXPECT_EQ(small[5], u'#');
    }
}

TEST_P(BothPaths, TempAndWindowsFoldersAndTheSizeNeeded) {
    wchar_t expected[MAX_PATH] = {};
    const DWORD expectedLength = ::GetTempPathW(MAX_PATH, expected);
    char16_t buffer[MAX_PATH];
    EXPECT_EQ(VynGetTempPathW(MAX_PATH, buffer), expectedLength);
    EXPECT_EQ(WideString(buffer), FromWin(expected));

    char16_t small[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(VynGetTempPathW(3, small), expectedLength + 1);
    if (!GetParam()) {
        EXPECT_EQ(small[0], u'\0');
    }
    EXPECT_EQ(small[3], u'#');

    wchar_t windows[MAX_PATH] = {};
    const UINT windowsLength = ::GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(VynGetWindowsDirectoryW(buffer, MAX_PATH), windowsLength);
    EXPECT_EQ(WideString(buffer), FromWin(windows));
    EXPECT_EQ(VynGetWindowsDirectoryW(small, 2), windowsLength + 1);
}

TEST_P(BothPaths, FullPathNamePlacesTheFilePartInWideUnits) {
    const WideString name = LocalName(u"C:\\Folder") + u"\\sub\\..\\file.txt";
    const WideString full = LocalName(u"C:\\Folder") + u"\\file.txt";
    char16_t buffer[MAX_PATH];
    char16_t* filePart = nullptr;
    EXPECT_EQ(VynGetFullPathNameW(name.c_str(), MAX_PATH, buffer, &filePart), full.size());
    EXPECT_EQ(WideString(buffer), full);
    ASSERT_NE(filePart, nullptr);
    EXPECT_EQ(WideString(filePart), u"file.txt");

    filePart = buffer;
    EXPECT_EQ(VynGetFullPathNameW(name.c_str(), 5, buffer, &filePart), full.size() + 1);
    if (!GetParam()) {
        EXPECT_EQ(filePart, nullptr);
    }
}

TEST_P(BothPaths, FilesFoldersAndSearchWithConvertedNames) {
    const WideString folder = TempFolder() + LocalName(u"ferrule-wrappers");
    const WideString file = folder + u"\\" + LocalName(u"data") + u".bin";
    ASSERT_TRUE(VynCreateDirectoryW(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    {
        UniqueFileHandle handle(VynCreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(handle);
        DWORD written = 0;
        ::WriteFile(handle.get(), "12345", 5, &written, nullptr);
    }
    EXPECT_TRUE(VynSetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(VynGetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD{FILE_ATTRIBUTE_READONLY});
    EXPECT_TRUE(VynSetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL));

    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(VynFindFirstFileW((folder + u"\\*.bin").c_str(), &data));
    ASSERT_TRUE(find);
    EXPECT_EQ(FromWin(data.cFileName), LocalName(u"data") + u".bin");
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_FALSE(VynFindNextFileW(find.get(), &data));
    EXPECT_EQ(::GetLastError(), DWORD{ERROR_NO_MORE_FILES});
    find.reset();

    EXPECT_EQ(VynFindFirstFileW((folder + u"\\*.none").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(VynDeleteFileW(file.c_str()));
    EXPECT_EQ(VynGetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(::RemoveDirectoryW(WinText(folder)));
}

TEST_P(BothPaths, ComputerAndUserNamesReportTheSizeNeeded) {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerSize = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(::GetComputerNameW(computer, &computerSize));
    char16_t buffer[256];
    DWORD size = 256;
    ASSERT_TRUE(VynGetComputerNameW(buffer, &size));
    EXPECT_EQ(WideString(buffer), FromWin(computer));
    EXPECT_EQ(size, computerSize);
    size = 1;
    EXPECT_FALSE(VynGetComputerNameW(buffer, &size));
    EXPECT_EQ(size, computerSize + 1);

    wchar_t user[256] = {};
    DWORD userSize = 256;
    ASSERT_TRUE(::GetUserNameW(user, &userSize));
    size = 256;
    ASSERT_TRUE(VynGetUserNameW(buffer, &size));
    EXPECT_EQ(WideString(buffer), FromWin(user));
    EXPECT_EQ(size, userSize);
    size = 1;
    EXPECT_FALSE(VynGetUserNameW(buffer, &size));
    EXPECT_EQ(size, userSize);
}

TEST_P(BothPaths, DatesAndTimesInTheLocalesFormatsOrAGivenOne) {
    const SYSTEMTIME moment{2003, 4, 6, 5, 16, 7, 8, 0};
    char16_t buffer[64] = {};
    EXPECT_EQ(VynGetDateFormatW(LOCALE_USER_DEFAULT, 0, &moment, u"yyyy'-'MM'-'dd", buffer, 64), 11);
    EXPECT_EQ(WideString(buffer), u"2003-04-05");
    EXPECT_EQ(VynGetTimeFormatW(LOCALE_USER_DEFAULT, 0, &moment, u"HH':'mm':'ss", buffer, 64), 9);
    EXPECT_EQ(WideString(buffer), u"16:07:08");

    wchar_t expected[64] = {};
    ASSERT_GT(::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, expected, 64), 0);
    const int dateLength =
        VynGetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, buffer, 64);
    EXPECT_EQ(WideString(buffer), FromWin(expected));
    EXPECT_EQ(VynGetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, nullptr, 0),
              dateLength);
    ASSERT_GT(::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &moment, nullptr, expected, 64), 0);
    VynGetTimeFormatW(LOCALE_USER_DEFAULT, 0, &moment, nullptr, buffer, 64);
    EXPECT_EQ(WideString(buffer), FromWin(expected));

    ::SetLastError(0);
    EXPECT_EQ(VynGetTimeFormatW(LOCALE_USER_DEFAULT, 0, &moment, u"HH':'mm':'ss", buffer, 3), 0);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_P(BothPaths, StringTableStringsKeepTheirWideTextAndAreCut) {
    HMODULE self = ::GetModuleHandleW(nullptr);
    char16_t buffer[64];
    ASSERT_EQ(VynLoadStringW(self, 101, buffer, 64), 19);
    EXPECT_EQ(WideString(buffer), u"Zhe \u0416 and e-acute \u00e9");
    EXPECT_EQ(VynLoadStringW(self, 100, buffer, 5), 4);
    EXPECT_EQ(WideString(buffer), u"Hund");
    EXPECT_EQ(VynLoadStringW(self, 113, buffer, 64), 21);
    EXPECT_EQ(WideString(buffer), u"After an empty string");
    EXPECT_EQ(VynLoadStringW(self, 127, buffer, 64), 17);
    EXPECT_EQ(VynLoadStringW(self, 128, buffer, 64), 23);
    EXPECT_EQ(WideString(buffer), u"First of the next block");
    EXPECT_EQ(VynLoadStringW(self, 4000, buffer, 64), 0);
    if (!GetParam()) {
        EXPECT_EQ(VynLoadStringW(self, 111, nullptr, 0), 21);
        EXPECT_EQ(VynLoadStringW(self, static_cast<UINT>(-100), buffer, 64), 7);
        EXPECT_EQ(WideString(buffer), u"Hundred");
    }
}

TEST_P(BothPaths, VersionInformationAndStringValues) {
    const WideString self = ModuleFileNameWide(nullptr);
    DWORD handle = 0;
    const DWORD size = VynGetFileVersionInfoSizeW(self.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(VynGetFileVersionInfoW(self.c_str(), handle, size, block.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VynVerQueryValueW(block.data(), u"\\", &value, &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);

    ASSERT_TRUE(VynVerQueryValueW(block.data(), u"\\stringFileInfo\\040904E4\\ProductName", &value, &length));
    EXPECT_EQ(WideString(static_cast<const char16_t*>(value)), u"Unicode runtime tests");
    EXPECT_EQ(length, 22u);
    EXPECT_FALSE(VynVerQueryValueW(block.data(), u"\\StringFileInfo\\040904E4\\Missing", &value, &length));
}

TEST_P(BothPaths, UpperCaseOfTextsAndSingleCharacters) {
    WideString text = u"abc \u00e9x";
    VynCharUpperW(text.data());
    EXPECT_EQ(text, u"ABC \u00c9X");
    WideString buffer = u"mixed Case";
    EXPECT_EQ(VynCharUpperBuffW(buffer.data(), 5), 5u);
    EXPECT_EQ(buffer, u"MIXED Case");
    const auto upper = reinterpret_cast<uintptr_t>(VynCharUpperW(reinterpret_cast<char16_t*>(uintptr_t{u'q'})));
    EXPECT_EQ(upper, uintptr_t{u'Q'});
}

TEST_P(BothPaths, CharacterTypesOfTheCountedUnits) {
    WORD types[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    ASSERT_TRUE(VynGetStringTypeExW(LOCALE_USER_DEFAULT, CT_CTYPE1, u"a ,b", 3, types));
    EXPECT_NE(types[0] & C1_ALPHA, 0);
    EXPECT_NE(types[1] & C1_SPACE, 0);
    EXPECT_NE(types[2] & C1_PUNCT, 0);
    EXPECT_EQ(types[3], 0xFFFF);
}

// The system's layout of a name-mapping block.
struct WideMappings {
    UINT Count;
    SHNAMEMAPPINGW* Records;
};

TEST(NameMappings, AnsiBlocksBecomeWideCopiesWithTheirLengths) {
    const uint32_t savedCodePage = DefaultCodePage;
    DefaultCodePage = 1252;
    char oldFirst[] = "C:\\old\xE9.txt--not part of the name";
    char newFirst[] = "C:\\new.txt";
    char oldSecond[] = "D:\\a";
    char newSecond[] = "D:\\b";
    SHNAMEMAPPINGA records[2] = {{oldFirst, newFirst, 11, 10}, {oldSecond, newSecond, 4, 4}};
    struct {
        UINT Count;
        SHNAMEMAPPINGA* Records;
    } ansi{2, records};

    HANDLE wide = VynWidenNameMappings(static_cast<HANDLE>(&ansi));
    ASSERT_NE(wide, nullptr);
    const auto* mappings = static_cast<const WideMappings*>(static_cast<void*>(wide));
    ASSERT_EQ(mappings->Count, 2u);
    EXPECT_EQ(WideString(reinterpret_cast<const char16_t*>(mappings->Records[0].pszOldPath)), u"C:\\old\u00e9.txt");
    EXPECT_EQ(mappings->Records[0].cchOldPath, 11);
    EXPECT_EQ(WideString(reinterpret_cast<const char16_t*>(mappings->Records[0].pszNewPath)), u"C:\\new.txt");
    EXPECT_EQ(WideString(reinterpret_cast<const char16_t*>(mappings->Records[1].pszNewPath)), u"D:\\b");
    EXPECT_EQ(mappings->Records[1].cchNewPath, 4);
    // The ANSI block is left as it was.
    EXPECT_EQ(records[0].pszOldPath, oldFirst);
    VynSHFreeNameMappingsW(wide);
    EXPECT_EQ(VynWidenNameMappings(nullptr), nullptr);
    DefaultCodePage = savedCodePage;
}

TEST_P(BothPaths, ShellCopiesListsOfFilesAndDrawsAndCountsDiskSpace) {
    const WideString folder = TempFolder() + LocalName(u"ferrule-shell");
    ::CreateDirectoryW(WinText(folder), nullptr);
    const WideString first = folder + u"\\one.txt";
    const WideString second = folder + u"\\" + LocalName(u"two") + u".txt";
    WriteFileBytes(Win(first), {'1'});
    WriteFileBytes(Win(second), {'2'});
    const WideString target = folder + u"\\copy";
    ::CreateDirectoryW(WinText(target), nullptr);
    const WideString from = first + WideString(1, u'\0') + second + WideString(1, u'\0');

    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_COPY;
    operation.pFrom = WinText(from);
    operation.pTo = WinText(target);
    operation.fFlags = FOF_NO_UI;
    EXPECT_EQ(VynSHFileOperationW(&operation), 0);
    EXPECT_FALSE(operation.fAnyOperationsAborted);
    ASSERT_TRUE(FileExists(Win(target + u"\\one.txt")));
    EXPECT_EQ(ReadFileBytes(Win(target + u"\\one.txt")), std::vector<char>{'1'});
    EXPECT_EQ(ReadFileBytes(Win(target + u"\\" + LocalName(u"two") + u".txt")), std::vector<char>{'2'});

    // Copying onto itself with renaming: the mappings name the new copy, on both paths alike.
    const WideString single = first + WideString(1, u'\0');
    const WideString intoFolder = folder + WideString(1, u'\0');
    operation = {};
    operation.wFunc = FO_COPY;
    operation.pFrom = WinText(single);
    operation.pTo = WinText(intoFolder);
    operation.fFlags = FOF_NO_UI | FOF_RENAMEONCOLLISION | FOF_WANTMAPPINGHANDLE;
    EXPECT_EQ(VynSHFileOperationW(&operation), 0);
    if (operation.hNameMappings != nullptr) {
        const auto* mappings = static_cast<const WideMappings*>(static_cast<void*>(operation.hNameMappings));
        ASSERT_EQ(mappings->Count, 1u);
        const SHNAMEMAPPINGW& mapping = mappings->Records[0];
        EXPECT_EQ(WideString(reinterpret_cast<const char16_t*>(mapping.pszOldPath)), first);
        EXPECT_EQ(static_cast<size_t>(mapping.cchOldPath), first.size());
        const WideString copied(reinterpret_cast<const char16_t*>(mapping.pszNewPath));
        EXPECT_EQ(static_cast<size_t>(mapping.cchNewPath), copied.size());
        EXPECT_EQ(ReadFileBytes(Win(copied)), std::vector<char>{'1'});
        VynSHFreeNameMappingsW(operation.hNameMappings);
    }

    operation = {};
    const WideString all = folder + WideString(1, u'\0');
    operation.wFunc = FO_DELETE;
    operation.pFrom = WinText(all);
    operation.fFlags = FOF_NO_UI;
    EXPECT_EQ(VynSHFileOperationW(&operation), 0);
    EXPECT_EQ(::GetFileAttributesW(WinText(folder)), INVALID_FILE_ATTRIBUTES);

    DWORD sectors = 0, bytes = 0, freeClusters = 0, clusters = 0;
    EXPECT_TRUE(VynGetDiskFreeSpaceW(u"C:\\", &sectors, &bytes, &freeClusters, &clusters));
    EXPECT_GT(bytes, 0u);

    const UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    RECT rect{0, 0, 1000, 0};
    EXPECT_GT(VynDrawTextW(dc.get(), u"Wide text\u0416", 4, &rect, DT_CALCRECT | DT_SINGLELINE), 0);
    EXPECT_GT(rect.right, 0);
}

TEST_P(BothPaths, WindowTextsLibrariesAndShellPaths) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VynWindowsTestWindow";
    ::RegisterClassW(&windowClass);
    UniqueWindow window(::CreateWindowExW(0, L"VynWindowsTestWindow", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                          ::GetModuleHandleW(nullptr), nullptr));
    ASSERT_TRUE(window) << ::GetLastError();
    const WideString caption = LocalName(u"Caption");
    EXPECT_TRUE(VynSetWindowTextW(window.get(), caption.c_str()));
    wchar_t read[64] = {};
    ::GetWindowTextW(window.get(), read, 64);
    EXPECT_EQ(FromWin(read), caption);

    UniqueModule library(VynLoadLibraryW(u"kernel32.dll"));
    EXPECT_EQ(library.get(), ::GetModuleHandleW(L"kernel32.dll"));
    UniqueModule asData(VynLoadLibraryExW(u"kernel32.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_TRUE(asData);
    EXPECT_EQ(VynLoadLibraryW(u"no such library.dll"), nullptr);

    PIDLIST_ABSOLUTE list = nullptr;
    ASSERT_EQ(::SHGetSpecialFolderLocation(nullptr, CSIDL_WINDOWS, &list), S_OK);
    char16_t path[MAX_PATH] = {};
    EXPECT_TRUE(VynSHGetPathFromIDListW(list, path));
    ::CoTaskMemFree(list);
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(UpperCaseWide(WideString(path)), UpperCaseWide(FromWin(windows)));
}

} // namespace

namespace {

TEST_P(BothPaths, TemporaryNamesAndReplacingMovesForTheInstaller) {
    const WideString folder = TempFolder() + LocalName(u"ferrule-move");
    ASSERT_TRUE(ForceDirectoriesWide(folder));
    char16_t name[MAX_PATH + 1] = {};
    ASSERT_NE(VynGetTempFileNameW(folder.c_str(), u"~fe", 0, name), 0u);
    const WideString temporary(name);
    EXPECT_EQ(ExtractFilePathWide(temporary), folder + u"\\");
    EXPECT_TRUE(FileExistsWide(temporary)) << "the name is reserved by an empty file";

    const WideString target = folder + u"\\" + LocalName(u"target") + u".bin";
    {
        TVynFileStream old(target, fmCreate);
        old.WriteBuffer("old content", 11);
    }
    {
        TVynFileStream fresh(temporary, fmCreate);
        fresh.WriteBuffer("new", 3);
    }
    ASSERT_TRUE(VynMoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(FileExistsWide(temporary));
    TVynMemoryStream moved;
    moved.LoadFromWideFile(target);
    EXPECT_EQ(moved.Size(), 3);
    const WideString other = folder + u"\\other.bin";
    {
        TVynFileStream second(other, fmCreate);
    }
    EXPECT_FALSE(VynMoveFileExW(other.c_str(), target.c_str(), 0)) << "no replacing without the flag";
    EXPECT_TRUE(FileExistsWide(other));
    DeleteFileWide(other);

    char16_t system[MAX_PATH] = {};
    const UINT length = VynGetSystemDirectoryW(system, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(length, WideString(system).size());
    EXPECT_TRUE(DirectoryExistsWide(system));
    EXPECT_EQ(VynGetSystemDirectoryW(system, 3), length + 1) << "too small: the size needed, terminator included";

    DeleteFileWide(target);
    ::RemoveDirectoryW(WinText(folder));
}

} // namespace
