// The installer started from a folder where someone planted libraries named like the system's:
// none of them may ever run, and the installation must still succeed.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "InstallerTest.h"
#include "WineTestSupport.h"

using namespace std::chrono_literals;

namespace {

// Every library the installer loads under Wine (the program's imports, what it loads at run time,
// and what those load in turn), and common ones a planted copy would aim at. Wine's own core
// (ntdll, kernel32, kernelbase, win32u) cannot be replaced by any program's folder.
const std::vector<std::wstring> PlantedNames = {
    L"version",  L"comctl32", L"psapi",    L"mapi32",   L"uxtheme",  L"dwmapi",  L"cryptbase", L"wininet",
    L"advapi32", L"gdi32",    L"user32",   L"ole32",    L"oleaut32", L"shell32", L"msvcrt",    L"shlwapi",
    L"shcore",   L"imm32",    L"rpcrt4",   L"sechost",  L"combase",  L"ucrtbase", L"comdlg32", L"winmm",
    L"setupapi", L"msimg32",  L"usp10",    L"dbghelp",  L"imagehlp", L"crypt32", L"bcrypt",    L"secur32",
    L"userenv",  L"wintrust", L"iertutil", L"urlmon",   L"propsys",  L"dwrite",  L"winspool",  L"msctf"};

std::wstring Overrides() {
    std::wstring names;
    for (const std::wstring& name : PlantedNames)
        names += (names.empty() ? L"" : L",") + name;
    return L"WINEDLLOVERRIDES=" + names + L"=n,b";
}

class FerruleLibrarySearch : public InstallerTest {
protected:
    void Plant(const std::wstring& folder) {
        for (const std::wstring& name : PlantedNames)
            ASSERT_TRUE(::CopyFileW(HostPath(CANARY_PATH).c_str(), (folder + L"\\" + name + L".dll").c_str(), FALSE));
    }

    // The planted libraries that ran (each leaves "<name>.dll.ran").
    static std::vector<std::wstring> Ran(const std::wstring& folder) {
        std::vector<std::wstring> ran;
        for (const std::wstring& file : FilesIn(folder)) {
            if (file.size() > 4 && file.compare(file.size() - 4, 4, L".ran") == 0)
                ran.push_back(file);
        }
        return ran;
    }

    // With its window (forms, common controls, themes) or quietly (its log instead).
    DWORD RunPlanted(const char* installer, bool quiet) {
        Plant(programFolder_.Path());
        Plant(currentFolder_.Path());
        const std::wstring program = programFolder_.Path() + L"\\Ferrule.exe";
        EXPECT_TRUE(::CopyFileW(HostPath(installer).c_str(), program.c_str(), FALSE));
        std::vector<std::wstring> arguments;
        if (quiet)
            arguments = {L"/q", L"/log=" + programFolder_.Path() + L"\\run.log"};
        RunningProgram run(program, TRunOptions{.Environment = {Overrides()}, .Arguments = arguments,
                                                .WorkingDirectory = currentFolder_.Path()});
        return run.WaitForExit(90s);
    }

    ScratchFolder programFolder_{L"FerruleDownloads"};
    ScratchFolder currentFolder_{L"FerruleCurrent"};
};

std::string Narrow(const std::vector<std::wstring>& names) {
    std::string text;
    for (const std::wstring& name : names)
        text += std::string(name.begin(), name.end()) + " ";
    return text;
}

TEST_F(FerruleLibrarySearch, NoPlantedLibraryRunsAndTheInstallationSucceeds) {
    EXPECT_EQ(RunPlanted(FERRULE_PATH, false), 0u);
    EXPECT_EQ(Ran(programFolder_.Path()), std::vector<std::wstring>{}) << Narrow(Ran(programFolder_.Path()));
    EXPECT_EQ(Ran(currentFolder_.Path()), std::vector<std::wstring>{}) << Narrow(Ran(currentFolder_.Path()));
    EXPECT_EQ(ReadFileBytes(installFile_), ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
    EXPECT_NE(ReadRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef.36\\CLSID"), L"");
}

TEST_F(FerruleLibrarySearch, AProgramThatImportsShell32WouldRunAPlantedLibrary) {
    // The trap works: this test program imports SHELL32 by name, as the installer once did, and
    // a copy of it started among the planted libraries runs one of them before its own code.
    Plant(programFolder_.Path());
    wchar_t self[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::wstring copy = programFolder_.Path() + L"\\Unprotected.exe";
    ASSERT_TRUE(::CopyFileW(self, copy.c_str(), FALSE));
    RunningProgram run(copy, TRunOptions{.Environment = {Overrides()}, .Arguments = {L"--gtest_list_tests"}});
    EXPECT_NE(run.WaitForExit(60s), 0u) << "the planted library refuses to stay, so the copy cannot start";
    EXPECT_FALSE(Ran(programFolder_.Path()).empty());
}

TEST_F(FerruleLibrarySearch, ThePayloadStillFindsTheLibrariesBesideIt) {
    // A payload that imports a library of its own, which lies in the installation folder.
    ASSERT_TRUE(::CreateDirectoryW(installFolder_.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(::CopyFileW(HostPath(STANDIN_DEPENDENCY_PATH).c_str(),
                            (installFolder_ + L"\\StandInDependency.dll").c_str(), FALSE));
    EXPECT_EQ(RunPlanted(FERRULE_WITH_DEPENDENCY_PATH, true), 0u);
    EXPECT_EQ(Ran(programFolder_.Path()), std::vector<std::wstring>{});
    EXPECT_EQ(ReadFileBytes(installFile_), ReadFileBytes(HostPath(STANDIN_ATTACH_TRACED_PATH)));
    EXPECT_NE(ReadRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef.36\\CLSID"), L"");
    EXPECT_NE(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\FerruleTests", L"Attached"), L"");
}

} // namespace
