#include <gtest/gtest.h>

#include "TextConversion.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "WineTestSupport.h"

namespace {

std::wstring Win(const WideString& text) { return std::wstring(text.begin(), text.end()); }

TEST(Folders, CommonFilesIsTheShellsFolderWithoutTrailingBackslash) {
    const WideString folder = GetCommonFilesFolder();
    EXPECT_EQ(Win(folder), CommonFilesFolder());
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), u'\\');
}

TEST(Folders, ForceFolderCreatesEveryLevelAndReportsFailure) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"ferrule-force";
    const std::wstring deep = root + L"\\a\\b\\c";
    ForceFolder(WideString(deep.begin(), deep.end()) + u"\\");
    EXPECT_TRUE(DirectoryExistsWide(WideString(deep.begin(), deep.end())));
    ForceFolder(WideString(deep.begin(), deep.end()));

    // A file standing where a folder level must go makes creation fail.
    const std::wstring blocker = root + L"\\file";
    WriteFileBytes(blocker, {'x'});
    const WideString blocked = WideString(blocker.begin(), blocker.end()) + u"\\sub";
    try {
        ForceFolder(blocked);
        FAIL();
    } catch (const EVynGeneralError& error) {
        EXPECT_EQ(error.Message(), "Could not create " + WideToAnsi(blocked));
    }
    EXPECT_THROW(ForceFolder(u""), EVynGeneralError);

    RemoveFile(blocker);
    for (std::wstring level = deep; level.size() >= root.size(); level = level.substr(0, level.rfind(L'\\')))
        ::RemoveDirectoryW(level.c_str());
}

} // namespace
