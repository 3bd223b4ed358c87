// The installer run as a user runs it, observed from outside: its windows, the installed file,
// the registry.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <chrono>
#include <memory>
#include <thread>

#include "InstallerTest.h"
#include "Screenshot.h"
#include "WineTestSupport.h"

using namespace std::chrono_literals;

namespace {

using FerruleInstall = InstallerTest;

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

TEST_F(FerruleInstall, FreshPrefixGetsTheFileAndTheRegistration) {
    // A stale, longer file of another content is replaced whole.
    ::SHCreateDirectoryExW(nullptr, installFolder_.c_str(), nullptr);
    WriteFileBytes(installFile_, std::vector<char>(2'000'000, 'x'));

    RunningProgram installer(HostPath(FERRULE_PATH));
    ASSERT_EQ(installer.WaitForExit(60s), 0u);

    EXPECT_EQ(ReadFileBytes(installFile_), ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
    const std::wstring classId = ReadRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef.36\\CLSID");
    EXPECT_EQ(classId, L"{00000103-0000-0010-8000-00AA006D2EA4}");
    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef\\CLSID"), classId);
    EXPECT_TRUE(SamePath(ReadRegistryString(HKEY_CLASSES_ROOT, L"CLSID\\" + classId + L"\\InprocServer32"),
                         installFile_));
    EXPECT_EQ(FilesIn(installFolder_), std::vector<std::wstring>{L"dao360.dll"}) << "a temporary file was left";
}

TEST_F(FerruleInstall, FailingRegistrationNamesTheFileAndKeepsTheWindowOpen) {
    RunningProgram installer(HostPath(FERRULE_FAILING_PATH));
    HWND dialog = WaitForErrorDialog(installer);
    ASSERT_NE(dialog, nullptr);

    const std::wstring expected = L"Error occurred while registering " + installFile_ + L".\r\n\r\n" +
                                  SystemMessage(static_cast<DWORD>(0x80004005L)) + L".";
    EXPECT_EQ(ErrorMessage(dialog), expected);
    EXPECT_EQ(WindowText(dialog), L"Ferrule 3.6  (Application Error)");
    EXPECT_TRUE(SamePath(UnloadTrace(), installFile_)) << "the library was not unloaded after the failure";

    HWND form = installer.WaitForWindow(L"TFerruleForm.UnicodeClass", 5s);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(WindowText(form), L"DAO 3.60 setup - registering...");

    CloseErrorDialog(dialog);
    EXPECT_EQ(installer.WaitForExit(1s), static_cast<DWORD>(STILL_ACTIVE)) << "no retry, no exit after an error";
    EXPECT_EQ(WindowText(form), L"DAO 3.60 setup - registering...");

    // The window has no close dialog; Alt+F4 still closes it and ends the program.
    ::PostMessageW(form, WM_SYSKEYDOWN, VK_F4, 0);
    EXPECT_EQ(installer.WaitForExit(30s), 2u) << "an error was reported: the run failed";
}

TEST_F(FerruleInstall, TheWindowIsACentredOneLineToolWindow) {
    RunningProgram installer(HostPath(FERRULE_FAILING_PATH));
    HWND dialog = WaitForErrorDialog(installer);
    ASSERT_NE(dialog, nullptr);
    HWND form = installer.WaitForWindow(L"TFerruleForm.UnicodeClass", 5s);
    ASSERT_NE(form, nullptr);

    const LONG_PTR style = ::GetWindowLongPtrW(form, GWL_STYLE);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(form, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    // Its own task-bar button: no owner window, and the application's button is hidden.
    EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
    EXPECT_EQ(::GetWindow(form, GW_OWNER), nullptr);
    for (HWND window : installer.TopLevelWindows()) {
        if (ClassNameOf(window) == L"TApplication") {
            EXPECT_FALSE(::IsWindowVisible(window));
        }
    }
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_FALSE(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));

    RECT client;
    ::GetClientRect(form, &client);
    EXPECT_EQ(client.right - client.left, 309);
    EXPECT_EQ(client.bottom - client.top, 1);

    RECT outer;
    ::GetWindowRect(form, &outer);
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR(outer.left, (screenWidth - (outer.right - outer.left)) / 2, 1);
    EXPECT_NEAR(outer.top, (screenHeight - (outer.bottom - outer.top)) / 2, 1);
    CloseErrorDialog(dialog);
    // The dialog stood over the window: its caption is drawn again before the picture is taken.
    ::RedrawWindow(form, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(SaveWindowScreenshot(form, HostPath(FERRULE_ARTEFACT_DIR) + L"\\installer-window.png"));
}

TEST_F(FerruleInstall, SFalseCountsAsSuccess) {
    RunningProgram installer(HostPath(FERRULE_SFALSE_PATH));
    EXPECT_EQ(installer.WaitForExit(60s), 0u);
    EXPECT_EQ(ReadFileBytes(installFile_), ReadFileBytes(HostPath(STANDIN_SFALSE_PATH)));
    EXPECT_TRUE(SamePath(UnloadTrace(), installFile_));
}

TEST_F(FerruleInstall, ANonLibraryGivesThePlainSystemError) {
    RunningProgram installer(HostPath(FERRULE_NOT_A_LIBRARY_PATH));
    HWND dialog = WaitForErrorDialog(installer);
    ASSERT_NE(dialog, nullptr);
    const std::wstring text = ErrorMessage(dialog);
    EXPECT_EQ(text.rfind(L"System Error.  Code: ", 0), 0u) << std::string(text.begin(), text.end());
    EXPECT_EQ(text.find(L"registering"), std::wstring::npos);
    EXPECT_EQ(WindowText(installer.WaitForWindow(L"TFerruleForm.UnicodeClass", 5s)), L"DAO 3.60 setup - registering...");
    CloseErrorDialog(dialog);
}

TEST_F(FerruleInstall, AMissingExportGivesThePlainSystemErrorAndUnloads) {
    RunningProgram installer(HostPath(FERRULE_WITHOUT_REGISTRATION_PATH));
    HWND dialog = WaitForErrorDialog(installer);
    ASSERT_NE(dialog, nullptr);
    const std::wstring expected = L"System Error.  Code: 127.\r\n" + SystemMessage(ERROR_PROC_NOT_FOUND) + L".";
    EXPECT_EQ(ErrorMessage(dialog), expected);
    EXPECT_TRUE(SamePath(UnloadTrace(), installFile_));
    CloseErrorDialog(dialog);
}

FILETIME LastWriteTime(const std::wstring& path) {
    FILETIME written{};
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid())
        ::GetFileTime(file.get(), nullptr, nullptr, &written);
    return written;
}

void SetLastWriteTime(const std::wstring& path, const FILETIME& written) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid());
    ASSERT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &written));
}

// Every caption the program's main form shows until the program ends.
std::vector<std::wstring> CaptionsUntilExit(RunningProgram& program, DWORD& exitCode) {
    std::vector<std::wstring> captions;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while ((exitCode = program.WaitForExit(0ms)) == STILL_ACTIVE && std::chrono::steady_clock::now() < deadline) {
        for (HWND window : program.TopLevelWindows()) {
            if (ClassNameOf(window) != L"TFerruleForm.UnicodeClass" || !::IsWindowVisible(window))
                continue;
            const std::wstring caption = WindowText(window);
            if (captions.empty() || captions.back() != caption)
                captions.push_back(caption);
        }
        std::this_thread::sleep_for(2ms);
    }
    return captions;
}

TEST_F(FerruleInstall, ASecondRunFindsTheInstalledServerAndTouchesNothing) {
    RunningProgram first(HostPath(FERRULE_PATH));
    ASSERT_EQ(first.WaitForExit(60s), 0u);
    ASSERT_TRUE(FileExists(installFile_));
    // An old time stamp, so that even a rewrite within the same clock tick would show.
    const FILETIME old{0x2A3B0000, 0x01C0F000};
    SetLastWriteTime(installFile_, old);
    // The versioned ProgID alone finds the server; a second registration would bring this back.
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L"DAO.TableDef");

    RunningProgram second(HostPath(FERRULE_PATH));
    DWORD exitCode = STILL_ACTIVE;
    const std::vector<std::wstring> captions = CaptionsUntilExit(second, exitCode);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(captions, std::vector<std::wstring>{L"DAO 3.60 setup"});
    const FILETIME after = LastWriteTime(installFile_);
    EXPECT_EQ(after.dwLowDateTime, old.dwLowDateTime);
    EXPECT_EQ(after.dwHighDateTime, old.dwHighDateTime);
    EXPECT_EQ(ReadFileBytes(installFile_), ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef\\CLSID"), L"");
}

TEST_F(FerruleInstall, ARegisteredOlderServerIsReplaced) {
    // DAO 3.51 registered where it lies in the build tree, as an older setup would leave it.
    WriteRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef.36\\CLSID", nullptr, ClassIdKey.substr(6));
    WriteRegistryString(HKEY_CLASSES_ROOT, ClassIdKey + L"\\InprocServer32", nullptr, HostPath(STANDIN_DAO351_PATH));

    RunningProgram installer(HostPath(FERRULE_PATH));
    DWORD exitCode = STILL_ACTIVE;
    const std::vector<std::wstring> captions = CaptionsUntilExit(installer, exitCode);
    EXPECT_EQ(exitCode, 0u);
    ASSERT_FALSE(captions.empty());
    EXPECT_EQ(captions.front(), L"DAO 3.60 setup");
    EXPECT_EQ(ReadFileBytes(installFile_), ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
    EXPECT_TRUE(SamePath(ReadRegistryString(HKEY_CLASSES_ROOT, ClassIdKey + L"\\InprocServer32"), installFile_));
}

class FerruleProtectedTarget : public FerruleInstall {
protected:
    void SetUp() override {
        FerruleInstall::SetUp();
        ::SHCreateDirectoryExW(nullptr, installFolder_.c_str(), nullptr);
        WriteFileBytes(installFile_, oldContent_);
    }
    void ExpectRefusedAndUnchanged() {
        RunningProgram installer(HostPath(FERRULE_PATH));
        HWND dialog = WaitForErrorDialog(installer);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(ErrorMessage(dialog), L"Cannot create file " + installFile_ + L".");
        EXPECT_EQ(WindowText(installer.WaitForWindow(L"TFerruleForm.UnicodeClass", 5s)), L"DAO 3.60 setup - installing...");
        CloseErrorDialog(dialog);
        EXPECT_EQ(ReadFileBytes(installFile_), oldContent_);
        EXPECT_EQ(FilesIn(installFolder_), std::vector<std::wstring>{L"dao360.dll"}) << "a temporary file was left";
        EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef.36\\CLSID"), L"");
    }
    const std::vector<char> oldContent_{'o', 'l', 'd', ' ', 'd', 'a', 'o'};
};

TEST_F(FerruleProtectedTarget, ReadOnlyTargetIsReportedAndKept) {
    ::SetFileAttributesW(installFile_.c_str(), FILE_ATTRIBUTE_READONLY);
    ExpectRefusedAndUnchanged();
}

TEST_F(FerruleProtectedTarget, LockedTargetIsReportedAndKept) {
    UniqueFileHandle lock(::CreateFileW(installFile_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock.valid());
    ExpectRefusedAndUnchanged();
}

} // namespace
