// Reading string values as wide text, on the wide and on the ANSI path.
#include <gtest/gtest.h>

#include "VynLXRegistry.h"
#include "VynSysUtils.h"
#include "WineTestSupport.h"

namespace {

const std::wstring TestKey = L"Software\\FerruleTests\\Values";

class WideValues : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteRegistryTree(HKEY_CURRENT_USER, TestKey);
        WriteRegistryString(HKEY_CURRENT_USER, TestKey, nullptr, L"default text");
        WriteRegistryString(HKEY_CURRENT_USER, TestKey, L"Plain", L"C:\\Program Files\\x.dll");
        WriteRegistryString(HKEY_CURRENT_USER, TestKey, L"Expandable", L"%SystemRoot%\\x.dll", REG_EXPAND_SZ);
        WriteRegistryString(HKEY_CURRENT_USER, TestKey, L"Chinese", L"\u4E2D\u6587");
        WriteRegistryString(HKEY_CURRENT_USER, TestKey, L"Inner zero", std::wstring(L"front\0back", 10));
        // Stored without a terminator, as some writers do.
        WriteRegistryValue(HKEY_CURRENT_USER, TestKey, L"Unterminated", REG_SZ, L"abc", 3 * sizeof(wchar_t));
        // An odd number of bytes cannot be whole UTF-16 text, but must not stop the read.
        WriteRegistryValue(HKEY_CURRENT_USER, TestKey, L"Odd", REG_SZ, L"ab", 3);
        const DWORD number = 7;
        WriteRegistryValue(HKEY_CURRENT_USER, TestKey, L"Number", REG_DWORD, &number, sizeof number);
        WriteRegistryValue(HKEY_CURRENT_USER, TestKey, L"Bytes", REG_BINARY, "ab", 2);
        ASSERT_TRUE(registry_.OpenKey("Software\\FerruleTests\\Values", false));
    }
    void TearDown() override {
        VynPlatformIsNT = true;
        registry_.CloseKey();
        DeleteRegistryTree(HKEY_CURRENT_USER, TestKey);
    }

    TVynRegistry registry_;
};

TEST_F(WideValues, StringsReadAsStoredUpToTheirFirstZero) {
    EXPECT_EQ(registry_.ReadStringWide(u""), u"default text");
    EXPECT_EQ(registry_.ReadStringWide(u"Plain"), u"C:\\Program Files\\x.dll");
    EXPECT_EQ(registry_.ReadStringWide(u"Expandable"), u"%SystemRoot%\\x.dll");
    EXPECT_EQ(registry_.ReadStringWide(u"Chinese"), u"\u4E2D\u6587");
    EXPECT_EQ(registry_.ReadStringWide(u"Inner zero"), u"front");
    EXPECT_EQ(registry_.ReadStringWide(u"Unterminated"), u"abc");
    EXPECT_EQ(registry_.ReadStringWide(u"Odd").substr(0, 1), u"a");
    EXPECT_EQ(registry_.ReadStringWide(u"Missing"), u"");
}

TEST_F(WideValues, OtherTypesRaiseWithTheValuesName) {
    EXPECT_EQ(MessageOf([&] { registry_.ReadStringWide(u"Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(MessageOf([&] { registry_.ReadStringWide(u"Bytes"); }), "Invalid data type for 'Bytes'");
    EXPECT_THROW(registry_.ReadStringWide(u"Number"), ERegistryException);
}

TEST_F(WideValues, AFailedReadKeepsTheCallAndTheValuesFullName) {
    try {
        registry_.ReadStringWide(u"Number");
        FAIL();
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.FailingCall(), "RegQueryValueExW");
        EXPECT_EQ(error.Subject(), u"Software\\FerruleTests\\Values\\Number");
    }
    VynPlatformIsNT = false;
    try {
        registry_.ReadStringWide(u"Bytes");
        FAIL();
    } catch (const ERegistryException& error) {
        EXPECT_EQ(error.FailingCall(), "RegQueryValueExA");
        EXPECT_EQ(error.Subject(), u"Software\\FerruleTests\\Values\\Bytes");
    }
}

TEST(RegistryKeys, AKeyThatCannotBeOpenedKeepsTheSystemsCode) {
    TRegistry registry(KEY_READ);
    registry.SetRootKey(HKEY_CURRENT_USER);
    ::SetLastError(0);
    EXPECT_FALSE(registry.OpenKey("Software\\FerruleTests\\No such key", false));
    EXPECT_EQ(registry.LastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(registry.OpenKey("Software", false));
    EXPECT_EQ(registry.LastError(), ERROR_SUCCESS);
}

TEST_F(WideValues, TheAnsiPathReadsTheSameValuesAndRaisesTheSameWay) {
    VynPlatformIsNT = false;
    EXPECT_EQ(registry_.ReadStringWide(u""), u"default text");
    EXPECT_EQ(registry_.ReadStringWide(u"Expandable"), u"%SystemRoot%\\x.dll");
    EXPECT_EQ(registry_.ReadStringWide(u"Inner zero"), u"front");
    EXPECT_EQ(registry_.ReadStringWide(u"Unterminated"), u"abc");
    EXPECT_EQ(registry_.ReadStringWide(u"Missing"), u"");
    EXPECT_EQ(MessageOf([&] { registry_.ReadStringWide(u"Number"); }), "Invalid data type for 'Number'");
}

TEST(RegistryKeys, ReadingNeverCreatesAKey) {
    DeleteRegistryTree(HKEY_CURRENT_USER, TestKey);
    TVynRegistryLX registry;
    EXPECT_FALSE(registry.OpenKey("Software\\FerruleTests\\Values", false));
    EXPECT_EQ(registry.CurrentKey(), nullptr);
    EXPECT_FALSE(registry.KeyExists("Software\\FerruleTests\\Values"));
    EXPECT_EQ(registry.ReadStringWide(u"Plain"), u"");
    EXPECT_EQ(registry.Access(), static_cast<REGSAM>(KEY_READ));
}

TEST(RegistryKeys, AReadOnlyKeyRefusesWrites) {
    WriteRegistryString(HKEY_CURRENT_USER, TestKey, L"Plain", L"x");
    TVynRegistry registry;
    ASSERT_TRUE(registry.OpenKey("\\Software\\FerruleTests\\Values", false));
    EXPECT_EQ(registry.CurrentPath(), "Software\\FerruleTests\\Values");
    const wchar_t text[] = L"y";
    EXPECT_NE(::RegSetValueExW(registry.CurrentKey(), L"Plain", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                               sizeof text),
              ERROR_SUCCESS);
    registry.CloseKey();
    DeleteRegistryTree(HKEY_CURRENT_USER, TestKey);
}

} // namespace
