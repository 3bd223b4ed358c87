// Registering self-registering servers, and installing a resource over an existing file.
#include <gtest/gtest.h>

#include "OSError.h"
#include "TextConversion.h"
#include "VynLXSetupUtils.h"
#include "WineTestSupport.h"

namespace {


bool IsLoaded(const char* path) { return ::GetModuleHandleW(HostPath(path).c_str()) != nullptr; }

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteRegistryTree(HKEY_CLASSES_ROOT, L"DAO.TableDef.36");
        DeleteRegistryTree(HKEY_CLASSES_ROOT, L"DAO.TableDef");
    }
};

TEST_F(Registration, ASuccessfulServerIsRegisteredAndUnloaded) {
    RegisterDll(Wide(HostPath(STANDIN_TRACED_PATH)));
    EXPECT_EQ(ReadRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef.36\\CLSID"),
              L"{00000103-0000-0010-8000-00AA006D2EA4}");
    EXPECT_FALSE(IsLoaded(STANDIN_TRACED_PATH));
}

TEST_F(Registration, SFalseIsSuccess) {
    EXPECT_NO_THROW(RegisterDll(Wide(HostPath(STANDIN_SFALSE_PATH))));
    EXPECT_FALSE(IsLoaded(STANDIN_SFALSE_PATH));
}

TEST_F(Registration, AFailureHResultGetsTheRegisteringParagraphAndKeepsItsClass) {
    const WideString path = Wide(HostPath(STANDIN_FAILING_PATH));
    try {
        RegisterDll(path);
        FAIL();
    } catch (const EOleSysError& error) {
        EXPECT_EQ(error.ErrorCode(), static_cast<int32_t>(0x80004005L));
        EXPECT_EQ(error.Message(), "Error occurred while registering " + WideToAnsi(path) + ".\r\n\r\n" +
                                       SysErrorMessage(static_cast<DWORD>(0x80004005L)));
        EXPECT_EQ(error.FailingCall(), "DllRegisterServer");
        EXPECT_EQ(error.Subject(), path);
    }
    EXPECT_FALSE(IsLoaded(STANDIN_FAILING_PATH));
}

TEST_F(Registration, LoadAndExportFailuresArePlainSystemErrors) {
    try {
        RegisterDll(Wide(HostPath(NOT_A_LIBRARY_PATH)));
        FAIL();
    } catch (const EOSError& error) {
        EXPECT_EQ(error.Message().rfind("System Error.  Code: ", 0), 0u);
        EXPECT_EQ(error.Message().find("registering"), std::string::npos);
    }
    try {
        RegisterDll(Wide(HostPath(STANDIN_WITHOUT_REGISTRATION_PATH)));
        FAIL();
    } catch (const EOSError& error) {
        EXPECT_EQ(error.ErrorCode(), static_cast<uint32_t>(ERROR_PROC_NOT_FOUND));
        EXPECT_EQ(error.Message().find("registering"), std::string::npos);
    }
    EXPECT_FALSE(IsLoaded(STANDIN_WITHOUT_REGISTRATION_PATH)) << "unloaded after a failure past the load";
    try {
        RegisterDll(u"C:\\no\\such\\library.dll");
        FAIL();
    } catch (const EOSError& error) {
        EXPECT_NE(error.ErrorCode(), 0u);
        EXPECT_EQ(error.Message(), MakeOSError(error.ErrorCode()).Message()) << "the message shown is as before";
        EXPECT_EQ(error.FailingCall(), "LoadLibraryExW");
        EXPECT_EQ(error.Subject(), u"C:\\no\\such\\library.dll");
    }
}

class ResourceInstall : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"ferrule-install-test";
        ::CreateDirectoryW(folder_.c_str(), nullptr);
        target_ = folder_ + L"\\dao360.dll";
        RemoveFile(target_);
    }
    void TearDown() override {
        for (const std::wstring& name : FilesIn(folder_))
            RemoveFile(folder_ + L"\\" + name);
        ::RemoveDirectoryW(folder_.c_str());
    }
    void Install() { InstallResourceFile(::GetModuleHandleW(nullptr), u"payload", u"FILE", Wide(target_)); }
    void ExpectRefused(const std::vector<char>& old) {
        try {
            Install();
            FAIL() << "the protected target was replaced";
        } catch (const EFCreateError& error) {
            EXPECT_EQ(error.Message(), "Cannot create file " + WideToAnsi(Wide(target_)));
        }
        EXPECT_EQ(ReadFileBytes(target_), old);
        EXPECT_EQ(FilesIn(folder_), std::vector<std::wstring>{L"dao360.dll"});
    }
    std::wstring folder_;
    std::wstring target_;
};

TEST_F(ResourceInstall, WritesTheWholeResourceAndReplacesALongerFile) {
    Install();
    EXPECT_EQ(ReadFileBytes(target_), ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
    WriteFileBytes(target_, std::vector<char>(3'000'000, 'x'));
    Install();
    EXPECT_EQ(ReadFileBytes(target_), ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
    EXPECT_EQ(FilesIn(folder_), std::vector<std::wstring>{L"dao360.dll"});
}

TEST_F(ResourceInstall, ReadOnlyAndLockedTargetsAreRefusedAndKept) {
    const std::vector<char> old{'o', 'l', 'd'};
    WriteFileBytes(target_, old);
    ::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_READONLY);
    ExpectRefused(old);
    ::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_NORMAL);
    {
        UniqueFileHandle lock(
            ::CreateFileW(target_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock.valid());
        ExpectRefused(old);
    }
}

TEST_F(ResourceInstall, AMissingResourceWritesNothing) {
    EXPECT_THROW(InstallResourceFile(::GetModuleHandleW(nullptr), u"nothing", u"FILE", Wide(target_)), EResNotFound);
    EXPECT_TRUE(FilesIn(folder_).empty());
}

} // namespace
