#include <gtest/gtest.h>

#include <shlobj.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "Handles.h"
#include "OSError.h"
#include "Random.h"
#include "TextConversion.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "WineTestSupport.h"

namespace {

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// ---- Special folders and their fallbacks

// What the replaced shell lookup answers: "" for a folder it shall not know.
WideString shellProgramFiles;
WideString shellCommonFiles;
std::vector<int> askedFor;

WideString ReplacedShell(int csidl) {
    askedFor.push_back(csidl);
    if (csidl == CSIDL_PROGRAM_FILES)
        return shellProgramFiles;
    if (csidl == CSIDL_PROGRAM_FILES_COMMON)
        return shellCommonFiles;
    return {};
}

class SpecialFolders : public ::testing::Test {
protected:
    void SetUp() override {
        askedFor.clear();
        previous_ = SetSpecialFolderLookup(ReplacedShell);
    }
    void TearDown() override { SetSpecialFolderLookup(previous_); }

private:
    TSpecialFolderLookup previous_ = nullptr;
};

TEST(Folders, CommonFilesIsTheShellsFolderWithoutTrailingBackslash) {
    const WideString folder = GetCommonFilesFolder();
    EXPECT_EQ(Win(folder), CommonFilesFolder());
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), u'\\');
    EXPECT_EQ(Win(GetSpecialFolder(CSIDL_PROGRAM_FILES_COMMON)), CommonFilesFolder());
}

TEST_F(SpecialFolders, AShellThatKnowsNeitherFolderGivesTheFixedFallback) {
    shellProgramFiles.clear();
    shellCommonFiles.clear();
    EXPECT_EQ(GetCommonFilesFolder(), u"C:\\Program Files\\Common Files");
    EXPECT_EQ(askedFor, (std::vector<int>{CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES}));
    EXPECT_TRUE(FolderExists(L"C:\\Program Files\\Common Files"));
    EXPECT_EQ(GetProgramFilesFolder(), u"C:\\Program Files");
}

TEST_F(SpecialFolders, CommonFilesFallsBackBelowProgramFilesAndIsCreated) {
    ScratchFolder programFiles(L"ferrule-programfiles");
    shellProgramFiles = Wide(programFiles.Path());
    shellCommonFiles.clear();
    EXPECT_EQ(GetCommonFilesFolder(), shellProgramFiles + u"\\Common Files");
    EXPECT_TRUE(FolderExists(programFiles.Path() + L"\\Common Files"));
}

TEST_F(SpecialFolders, AFolderTheShellReportsIsUsedAsItIsAndNotCreated) {
    shellCommonFiles = Wide(SystemTemp()) + u"ferrule-not-there\\Common";
    EXPECT_EQ(GetCommonFilesFolder(), shellCommonFiles);
    EXPECT_FALSE(FolderExists(Win(shellCommonFiles)));
    EXPECT_EQ(askedFor, std::vector<int>{CSIDL_PROGRAM_FILES_COMMON});
}

TEST(Folders, ForceFolderCreatesEveryLevelAndReportsFailure) {
    ScratchFolder root(L"ferrule-force");
    const WideString deep = Wide(root.Path() + L"\\a\\b\\c");
    ForceFolder(deep + u"\\");
    EXPECT_TRUE(DirectoryExistsWide(deep));
    ForceFolder(deep);

    // A file standing where a folder level must go makes creation fail.
    const std::wstring blocker = root.Path() + L"\\file";
    WriteFileBytes(blocker, {'x'});
    const WideString blocked = Wide(blocker) + u"\\sub";
    try {
        ForceFolder(blocked);
        FAIL();
    } catch (const EVynGeneralError& error) {
        EXPECT_EQ(error.Message(), "Could not create " + WideToAnsi(blocked));
    }
    EXPECT_THROW(ForceFolder(u""), EVynGeneralError);
}

// ---- Path helpers

TEST(PathHelpers, BackslashesAreAddedAndRemovedOnce) {
    EXPECT_EQ(AddBackslash(u"C:\\Temp"), u"C:\\Temp\\");
    EXPECT_EQ(AddBackslash(u"C:\\Temp\\"), u"C:\\Temp\\");
    EXPECT_EQ(AddBackslash(u""), u"\\");
    EXPECT_EQ(RemoveBackslash(u"C:\\"), u"C:");
    EXPECT_EQ(RemoveBackslash(u"C:\\Temp\\\\"), u"C:\\Temp\\");
    EXPECT_EQ(RemoveBackslash(u"C:\\Temp"), u"C:\\Temp");
    EXPECT_EQ(RemoveBackslash(u""), u"");
}

TEST(PathHelpers, ExtractFileNameNoExtStripsOnlyTheFileNamesLastExtension) {
    EXPECT_EQ(ExtractFileNameNoExt(u"C:\\My.Folder\\README"), u"README");
    EXPECT_EQ(ExtractFileNameNoExt(u"C:\\My.Folder\\archive.tar.gz"), u"archive.tar");
    EXPECT_EQ(ExtractFileNameNoExt(u"C:\\Folder\\report.txt"), u"report");
    EXPECT_EQ(ExtractFileNameNoExt(u"C:report.txt"), u"report");
    EXPECT_EQ(ExtractFileNameNoExt(u"name."), u"name");
    EXPECT_EQ(ExtractFileNameNoExt(u"C:\\Folder\\"), u"");
    EXPECT_EQ(ExtractFileNameNoExt(u""), u"");
}

TEST(PathHelpers, GetLongPathOfGivesTheFileSystemsSpellingOfEveryElement) {
    ScratchFolder root(L"ferrule-Long");
    std::filesystem::create_directories(root.Path() + L"\\Mixed Case.Folder");
    WriteFileBytes(root.Path() + L"\\Mixed Case.Folder\\Report.Final.TXT", {'x'});
    const WideString temp = GetLongPathOf(Wide(SystemTemp()));

    EXPECT_EQ(GetLongPathOf(temp + u"FERRULE-LONG\\mixed case.folder\\report.final.txt"),
              temp + u"ferrule-Long\\Mixed Case.Folder\\Report.Final.TXT");
    // Elements that do not exist keep the caller's spelling; "." and ".." are resolved.
    EXPECT_EQ(GetLongPathOf(temp + u"ferrule-long\\.\\MIXED CASE.FOLDER\\..\\New\\File.txt"),
              temp + u"ferrule-Long\\New\\File.txt");
    // A wildcard is not a name to look up.
    EXPECT_EQ(GetLongPathOf(temp + u"ferrule-long\\mixed*"), temp + u"ferrule-Long\\mixed*");
    EXPECT_EQ(GetLongPathOf(temp + u"ferrule-long\\"), temp + u"ferrule-Long\\");
    EXPECT_EQ(GetLongPathOf(u"C:\\"), u"C:\\");
    EXPECT_EQ(GetLongPathOf(u""), u"");

    // A relative path is taken from the current folder.
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(::SetCurrentDirectoryW((root.Path() + L"\\Mixed Case.Folder").c_str()));
    const WideString relative = GetLongPathOf(u"REPORT.final.txt");
    ::SetCurrentDirectoryW(current);
    EXPECT_EQ(relative, temp + u"ferrule-Long\\Mixed Case.Folder\\Report.Final.TXT");
}

// ---- System folders and modules

TEST(SystemPaths, TheSystemFoldersAndTheProgramsPath) {
    EXPECT_EQ(Win(GetTempFolder()), SystemTemp());
    EXPECT_EQ(GetTempFolder().back(), u'\\');

    const WideString system = GetSystemFolder();
    EXPECT_TRUE(FolderExists(Win(system)));
    EXPECT_TRUE(FileExistsWide(AddBackslash(system) + u"kernel32.dll"));

    const WideString program = GetProgramPath();
    EXPECT_EQ(ExtractFileNameNoExt(program), u"VynLXTests");
    EXPECT_TRUE(FileExistsWide(program));
    EXPECT_EQ(ModulePathOf(::GetModuleHandleW(L"kernel32.dll")), AddBackslash(system) + u"kernel32.dll");
}

TEST(SystemPaths, ModulePathOfAnUnloadedModuleRaisesTheSystemError) {
    try {
        ModulePathOf(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x10)));
        FAIL();
    } catch (const EOSError& error) {
        EXPECT_NE(error.ErrorCode(), 0u);
    }
}

// ---- Temporary folders and files

// The unit is started and ended around each test, as the program's entry does.
class TempItems : public ::testing::Test {
protected:
    static std::wstring NewFile(const WideString& path) {
        const std::wstring file = Win(path);
        WriteFileBytes(file, {'t', 'e', 's', 't'});
        return file;
    }
};

TEST_F(TempItems, WithoutTheUnitStartedNothingIsCreatedAndTheListIsNamed) {
    EXPECT_EQ(MessageOf([] { CreateTempFolder(); }),
              "Internal Error: GarbageCollectedFolderList not assigned.");
    EXPECT_THROW(CreateTempFolder(), EVynInternalError);
    EXPECT_EQ(MessageOf([] { CreateTempFileName(u".txt", SystemTempFolderMarker, u"tmp"); }),
              "Internal Error: GarbageCollectedFileList not assigned.");
    // Clean-up without lists has nothing to do and raises nothing.
    RemoveTempFolders();
    RemoveTempFiles();
}

TEST_F(TempItems, FoldersAreNewDistinctAndRemovedWithTheirContentAtTheEnd) {
    std::wstring first, second;
    {
        TUnitStartup units{&VynLXUtilsUnit};
        const WideString a = CreateTempFolder();
        const WideString b = CreateTempFolder();
        first = Win(a);
        second = Win(b);
        EXPECT_NE(a, b);
        const std::wregex shape(
            std::regex_replace(SystemTemp(), std::wregex(LR"([\\.^$|()\[\]{}*+?])"), LR"(\$&)") +
            L"Temp-?[0-9]+\\\\");
        EXPECT_TRUE(std::regex_match(first, shape)) << first;
        EXPECT_TRUE(FolderExists(first));
        EXPECT_TRUE(FolderExists(second));
        ASSERT_EQ(GarbageCollectedFolderList->Count(), 2);
        EXPECT_EQ(GarbageCollectedFolderList->Entry(0), a);
        EXPECT_EQ(GarbageCollectedFolderList->Entry(1), b);

        std::filesystem::create_directories(second + L"inner\\deeper");
        NewFile(b + u"inner\\deeper\\data.bin");
        NewFile(a + u"top.txt");
        ::SetFileAttributesW((first + L"top.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    }
    EXPECT_FALSE(FileExists(first));
    EXPECT_FALSE(FileExists(second));
    EXPECT_EQ(GarbageCollectedFolderList, nullptr);
}

// The names of the folder entries removed from the temporary folder while the unit ends, in order.
std::vector<std::wstring> RemovalsDuringEnd(std::unique_ptr<TUnitStartup>& units) {
    UniqueFileHandle watched(::CreateFileW(
        SystemTemp().c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    UniqueKernelHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    alignas(DWORD) char buffer[16384];
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    auto watch = [&] {
        ::ResetEvent(done.get());
        return ::ReadDirectoryChangesW(watched.get(), buffer, sizeof buffer, FALSE,
                                       FILE_NOTIFY_CHANGE_DIR_NAME, nullptr, &overlapped, nullptr) != FALSE;
    };
    std::vector<std::wstring> removed;
    if (!watch())
        return removed;
    units.reset();
    for (;;) {
        DWORD bytes = 0;
        if (::WaitForSingleObject(done.get(), 1000) != WAIT_OBJECT_0 ||
            !::GetOverlappedResult(watched.get(), &overlapped, &bytes, FALSE))
            break;
        for (size_t offset = 0; bytes != 0 && offset + sizeof(FILE_NOTIFY_INFORMATION) <= bytes;) {
            const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + offset);
            if (change->Action == FILE_ACTION_REMOVED)
                removed.emplace_back(change->FileName, change->FileNameLength / sizeof(WCHAR));
            if (change->NextEntryOffset == 0)
                break;
            offset += change->NextEntryOffset;
        }
        if (!watch())
            break;
    }
    ::CancelIo(watched.get());
    return removed;
}

TEST_F(TempItems, FoldersAreRemovedInTheReverseOrderOfCreation) {
    auto units = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{&VynLXUtilsUnit});
    std::vector<std::wstring> created;
    for (int i = 0; i < 3; ++i)
        created.push_back(Win(ExtractFileNameWide(RemoveBackslash(CreateTempFolder()))));
    const std::vector<std::wstring> removed = RemovalsDuringEnd(units);
    EXPECT_EQ(removed, (std::vector<std::wstring>{created[2], created[1], created[0]}));
    for (const std::wstring& name : created)
        EXPECT_FALSE(FileExists(SystemTemp() + name));
}

TEST_F(TempItems, RemoveTempFolderDeletesAndUnregistersAndSwallowsEveryFailure) {
    TUnitStartup units{&VynLXUtilsUnit};
    const WideString kept = CreateTempFolder();
    const WideString removed = CreateTempFolder();
    NewFile(removed + u"file.txt");
    // The list compares without regard to case, as the file system does.
    std::wstring upper = Win(removed);
    for (wchar_t& ch : upper)
        ch = static_cast<wchar_t>(::towupper(ch));
    RemoveTempFolder(Wide(upper));
    EXPECT_FALSE(FileExists(Win(removed)));
    ASSERT_EQ(GarbageCollectedFolderList->Count(), 1);
    EXPECT_EQ(GarbageCollectedFolderList->Entry(0), kept);

    // Never registered: deleted all the same, and no error.
    ScratchFolder stranger(L"ferrule-unregistered");
    WriteFileBytes(stranger.Path() + L"\\x.txt", {'x'});
    RemoveTempFolder(Wide(stranger.Path()));
    EXPECT_FALSE(FileExists(stranger.Path()));
    RemoveTempFolder(Wide(stranger.Path()));
    EXPECT_EQ(GarbageCollectedFolderList->Count(), 1);
}

TEST_F(TempItems, FolderNumbersAreSignedDraws) {
    TUnitStartup units{&VynLXUtilsUnit};
    CreateTempFolder();                  // the unit's first draw seeds the generator from the clock
    RuntimeRandom().SetSeed(0x08088406); // the next draw is 0xDC6DAC1E
    EXPECT_EQ(CreateTempFolder(), Wide(SystemTemp()) + u"Temp-596792290\\");
}

TEST_F(TempItems, FileNamesSkipTakenNamesAndTheFilesGoAtTheEnd) {
    ScratchFolder scratch(L"ferrule-tempfiles");
    const WideString folder = Wide(scratch.Path()) + u"\\new\\level";
    std::wstring first, second;
    {
        TUnitStartup units{&VynLXUtilsUnit};
        const WideString temp = CreateTempFileName(u".txt", SystemTempFolderMarker, u"tmp");
        const std::wregex shape(
            std::regex_replace(SystemTemp(), std::wregex(LR"([\\.^$|()\[\]{}*+?])"), LR"(\$&)") +
            L"tmp-[0-9A-F]{1,4}\\.txt");
        EXPECT_TRUE(std::regex_match(Win(temp), shape)) << Win(temp);
        EXPECT_FALSE(FileExists(Win(temp))) << "the caller creates the file";

        // With a known seed the names are known: a taken name is skipped.
        TRandomGenerator expected(0x12345678);
        const uint32_t firstDraw = expected.Next(0xFFFFFFFF) & 0xFFFF;
        const uint32_t secondDraw = expected.Next(0xFFFFFFFF) & 0xFFFF;
        RuntimeRandom().SetSeed(0x12345678);
        const WideString name = CreateTempFileName(u".log", folder, u"report");
        EXPECT_TRUE(FolderExists(Win(folder))) << "the folder is created";
        first = NewFile(name);
        RuntimeRandom().SetSeed(0x12345678);
        const WideString next = CreateTempFileName(u".log", folder + u"\\", u"report");
        second = NewFile(next);
        wchar_t expectedFirst[64], expectedSecond[64];
        swprintf(expectedFirst, 64, L"\\report-%X.log", firstDraw);
        swprintf(expectedSecond, 64, L"\\report-%X.log", secondDraw);
        EXPECT_EQ(Win(name), Win(folder) + expectedFirst);
        EXPECT_EQ(Win(next), Win(folder) + expectedSecond);

        ASSERT_EQ(GarbageCollectedFileList->Count(), 3);
        EXPECT_EQ(GarbageCollectedFileList->Entry(0), temp);
        EXPECT_EQ(GarbageCollectedFileList->Entry(2), next);
    }
    EXPECT_FALSE(FileExists(first));
    EXPECT_FALSE(FileExists(second));
    EXPECT_TRUE(FolderExists(Win(folder))) << "only the files are registered";
}

// ---- Deleting and opening

TEST(Deleting, DeleteFileForcedRemovesAReadOnlyFileAndReportsAMissingOne) {
    ScratchFolder scratch(L"ferrule-delete");
    const std::wstring file = scratch.Path() + L"\\locked.txt";
    WriteFileBytes(file, {'x'});
    ASSERT_TRUE(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_FALSE(::DeleteFileW(file.c_str())) << "the file system refuses read-only files";
    DeleteFileForced(Wide(file));
    EXPECT_FALSE(FileExists(file));

    try {
        DeleteFileForced(Wide(file));
        FAIL();
    } catch (const EOSError& error) {
        EXPECT_EQ(error.ErrorCode(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    }
}

TEST(Deleting, ClearReadOnlyKeepsTheOtherAttributesAndIgnoresMissingPaths) {
    ScratchFolder scratch(L"ferrule-readonly");
    const std::wstring file = scratch.Path() + L"\\file.txt";
    WriteFileBytes(file, {'x'});
    ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ClearReadOnly(Wide(file));
    EXPECT_EQ(::GetFileAttributesW(file.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    ClearReadOnly(Wide(scratch.Path() + L"\\missing.txt"));
}

TEST(Deleting, ShellDeleteRemovesATreeAndAbortsSilentlyOnFailure) {
    ScratchFolder scratch(L"ferrule-shelldelete");
    const std::wstring tree = scratch.Path() + L"\\tree";
    std::filesystem::create_directories(tree + L"\\a\\b");
    WriteFileBytes(tree + L"\\a\\b\\leaf.txt", {'x'});
    ShellDelete(Wide(tree) + u"\\", FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT);
    EXPECT_FALSE(FileExists(tree));
    EXPECT_TRUE(FolderExists(scratch.Path()));

    EXPECT_THROW(ShellDelete(Wide(tree), FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT), EAbort);
    EXPECT_THROW(ShellDelete(u"", FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT), EAbort);
    // A root is never handed to the shell (without its backslash it would name the current folder).
    EXPECT_THROW(ShellDelete(u"C:\\", FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT), EAbort);
}

std::string ShellErrorOf(uintptr_t code, const WideString& operation = u"open") {
    try {
        CheckShellExecuteResult(code, operation, u"C:\\Docs\\report.doc");
    } catch (const EVynGeneralError& error) {
        return "general: " + error.Message();
    } catch (const EVynInternalError& error) {
        return "internal: " + error.Message();
    }
    return "<nothing raised>";
}

TEST(ShellOpening, EveryResultCodeHasItsReason) {
    EXPECT_EQ(ShellErrorOf(33), "<nothing raised>");
    EXPECT_EQ(ShellErrorOf(0x7FFF0000), "<nothing raised>");
    EXPECT_EQ(ShellErrorOf(0), "general: The operating system is out of memory or resources.");
    EXPECT_EQ(ShellErrorOf(2), "general: The specified file was not found.");
    EXPECT_EQ(ShellErrorOf(3), "general: The specified path was not found.");
    EXPECT_EQ(ShellErrorOf(5), "general: The operating system denied access to the specified file.");
    EXPECT_EQ(ShellErrorOf(8), "general: There was not enough memory to complete the operation.");
    EXPECT_EQ(ShellErrorOf(11),
              "general: " + WideToAnsi(u"The .exe file is invalid (non-Microsoft Win32\u00AE "
                                       u".exe or error in .exe image)."));
    EXPECT_EQ(ShellErrorOf(26), "general: A sharing violation occurred.");
    EXPECT_EQ(ShellErrorOf(27), "general: The file name association is incomplete or invalid.");
    EXPECT_EQ(ShellErrorOf(28),
              "general: The DDE transaction could not be completed because the request timed out.");
    EXPECT_EQ(ShellErrorOf(29), "general: The DDE transaction failed.");
    EXPECT_EQ(ShellErrorOf(30), "general: The Dynamic Data Exchange (DDE) transaction could not be completed "
                                "because other DDE transactions were being processed.");
    EXPECT_EQ(ShellErrorOf(31),
              "general: There is no application associated with the given file name extension.");
    EXPECT_EQ(ShellErrorOf(31, u"Print"), "general: The specified file is not printable.");
    EXPECT_EQ(ShellErrorOf(32), "general: The specified dynamic-link library (DLL) was not found.");
    for (uintptr_t code : {1, 4, 6, 7, 9, 10, 12, 25})
        EXPECT_EQ(ShellErrorOf(code), "internal: Internal Error: ShellExecute() returned code " +
                                          std::to_string(code) + " for \"C:\\Docs\\report.doc\".");
}

TEST(ShellOpening, TheShellsAnswersReachTheCaller) {
    ScratchFolder scratch(L"ferrule-open");
    try {
        ShellOpen(Wide(scratch.Path()) + u"\\missing.txt", u"", u"", SW_HIDE);
        FAIL();
    } catch (const EVynGeneralError& error) {
        EXPECT_EQ(error.Message(), "The specified file was not found.");
    }

    const std::wstring unknown = scratch.Path() + L"\\document.ferrule-unknown";
    WriteFileBytes(unknown, {'x'});
    try {
        ShellOpen(Wide(unknown), u"", u"", SW_HIDE);
        FAIL();
    } catch (const EVynGeneralError& error) {
        EXPECT_EQ(error.Message(), "There is no application associated with the given file name extension.");
    }

    // A program with parameters and a working folder: the shell starts it.
    const WideString command = AddBackslash(GetSystemFolder()) + u"cmd.exe";
    ShellOpen(command, u"/c echo x> started.txt", Wide(scratch.Path()), SW_HIDE);
    const std::wstring marker = scratch.Path() + L"\\started.txt";
    for (int wait = 0; wait < 100 && !FileExists(marker); ++wait)
        ::Sleep(50);
    EXPECT_TRUE(FileExists(marker));
    ::Sleep(200); // let the program close its file before the scratch folder goes
}

// ---- Checks

TEST(Checks, ConditionsAndReferencesRaiseTheirOwnClasses) {
    CheckCondition(true, u"never");
    const int present = 0;
    CheckAssigned(&present, u"present");
    try {
        CheckCondition(false, u"Broken: \u00E9t\u00E9");
        FAIL();
    } catch (const EVynGeneralError&) {
        FAIL() << "the plain Exception, not a subclass";
    } catch (const EVynInternalError&) {
        FAIL() << "the plain Exception, not a subclass";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), WideToAnsi(u"Broken: \u00E9t\u00E9"));
    }
    EXPECT_EQ(MessageOf([] { CheckAssigned(nullptr, u"TranslationTable"); }),
              "Internal Error: TranslationTable not assigned.");
    EXPECT_THROW(CheckAssigned(nullptr, u"x"), EVynInternalError);

    const WideString program = GetProgramPath();
    AssertFileExists(program);
    EXPECT_EQ(MessageOf([] { AssertFileExists(u"C:\\no\\such.file"); }),
              "Internal Error: File does not exist: C:\\no\\such.file");
    // A folder is not a file.
    EXPECT_THROW(AssertFileExists(GetSystemFolder()), Exception);
}

} // namespace
