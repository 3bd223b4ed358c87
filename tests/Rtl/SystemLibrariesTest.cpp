// System libraries bound at run time: from the system folder, with failures that name the library
// and the entry.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "Exceptions.h"
#include "SystemLibraries.h"

namespace {

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, length);
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& unit : text)
        unit = static_cast<wchar_t>(::towlower(unit));
    return text;
}

TEST(SystemLibraries, ASystemLibraryComesFromTheSystemFolder) {
    const UniqueModule version = LoadSystemLibrary(L"version.dll");
    ASSERT_TRUE(version);
    EXPECT_EQ(Lower(ModulePath(version.get())), Lower(SystemFolderFile(L"version.dll")));
    const std::wstring expected = SystemFolderFile(L"psapi.dll");
    EXPECT_EQ(expected.find(L"\\\\"), std::wstring::npos) << "one backslash before the name";
    EXPECT_EQ(expected.rfind(L"\\psapi.dll"), expected.size() - 10);

    const UniqueModule missing = LoadSystemLibrary(L"no-such-library.dll");
    EXPECT_FALSE(missing);
    EXPECT_NE(::GetLastError(), 0u);
}

TEST(SystemLibraries, EntriesAreFoundOnceAndMissingOnesNameLibraryAndEntry) {
    const TSystemLibrary version(L"version.dll");
    using TSize = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    const TSize sizeOf = version.Find<TSize>("GetFileVersionInfoSizeW");
    ASSERT_NE(sizeOf, nullptr);
    EXPECT_EQ(version.Get<TSize>("GetFileVersionInfoSizeW"), sizeOf);
    EXPECT_EQ(version.Find<TSize>("NoSuchEntry"), nullptr);
    try {
        version.Get<TSize>("NoSuchEntry");
        FAIL() << "a missing entry raises";
    } catch (const EOSError& error) {
        EXPECT_EQ(error.ErrorCode(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
        EXPECT_EQ(error.FailingCall(), "NoSuchEntry");
        EXPECT_EQ(error.Subject(), u"version.dll");
    }

    const TSystemLibrary missing(L"no-such-library.dll");
    EXPECT_EQ(missing.Find<TSize>("Anything"), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    try {
        missing.Get<TSize>("Anything");
        FAIL() << "a missing library raises";
    } catch (const EOSError& error) {
        EXPECT_EQ(error.ErrorCode(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
        EXPECT_EQ(error.Subject(), u"no-such-library.dll");
    }
}

TEST(SystemLibraries, TheBoundLibrariesAreTheSystemsOwn) {
    using TExecute = decltype(&::ShellExecuteW);
    EXPECT_NE(Shell32Library().Find<TExecute>("ShellExecuteW"), nullptr);
    using TQuery = decltype(&::VerQueryValueW);
    EXPECT_NE(VersionLibrary().Find<TQuery>("VerQueryValueW"), nullptr);
    HMODULE shell = nullptr;
    ASSERT_TRUE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                     reinterpret_cast<LPCWSTR>(Shell32Library().Find<TExecute>("ShellExecuteW")),
                                     &shell));
    EXPECT_EQ(Lower(ModulePath(shell)), Lower(SystemFolderFile(L"shell32.dll")));
}

} // namespace
