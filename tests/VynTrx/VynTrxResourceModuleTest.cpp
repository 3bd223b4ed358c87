// The resource module in use: finding its file again as the runtime found it, and the warning about a
// translation's code page on a system without Unicode.
#include <gtest/gtest.h>

#include <windows.h>

#include "ResourceModule.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxResourceModule.h"
#include "WineTestSupport.h"

namespace {

const wchar_t LocalesKey[] = L"Software\\Vyn\\Locales";

void CopyLoadableModule(const std::wstring& target) {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_TRUE(::CopyFileW((std::wstring(system) + L"\\msimg32.dll").c_str(), target.c_str(), FALSE));
}

HMODULE LoadAsData(const std::wstring& path) {
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

// An application of a name of its own, German as the thread's locale, and a module in use that
// is none of the application's candidates; the application is its own resource module again
// afterwards.
class DetermineResourceModuleTest : public ::testing::Test {
protected:
    ScratchFolder folder_{L"FerruleDetermineResourceModule"};
    std::wstring application_ = folder_.Path() + L"\\Program.exe";
    TThreadLocaleScope german_{MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT)};

    ~DetermineResourceModuleTest() override { SetResourceModule(MainInstance()); }
    std::wstring Beside(const wchar_t* extension) const { return folder_.Path() + L"\\Program." + extension; }
    void UseSomeModule() {
        CopyLoadableModule(folder_.Path() + L"\\InUse.dll");
        SetResourceModule(LoadAsData(folder_.Path() + L"\\InUse.dll"));
        ASSERT_NE(CurrentResourceModule(), MainInstance());
    }
};

TEST_F(DetermineResourceModuleTest, IsTheApplicationWhileItIsItsOwnResourceModule) {
    CopyLoadableModule(Beside(L"DEU"));
    EXPECT_EQ(DetermineResourceModule(Wide(application_)), Wide(application_));
}

TEST_F(DetermineResourceModuleTest, FallsThroughAMissingRegistryModuleToTheLocalesAndThenItsTwoLetters) {
    UseSomeModule();
    const TRegistryValueScope preferred(HKEY_CURRENT_USER, LocalesKey, application_.c_str(), L"XYZ");
    EXPECT_EQ(MessageOf([&] { DetermineResourceModule(Wide(application_)); }),
              "Internal Error: Can not determine resource module.");
    CopyLoadableModule(Beside(L"DE"));
    EXPECT_EQ(DetermineResourceModule(Wide(application_)), Wide(Beside(L"DE")));
    CopyLoadableModule(Beside(L"DEU"));
    EXPECT_EQ(DetermineResourceModule(Wide(application_)), Wide(Beside(L"DEU")));
    WriteFileBytes(Beside(L"XYZ"), {'t', 'e', 'x', 't'});
    EXPECT_EQ(DetermineResourceModule(Wide(application_)), Wide(Beside(L"DEU")))
        << "a text file is no module";
    CopyLoadableModule(Beside(L"XYZ"));
    EXPECT_EQ(DetermineResourceModule(Wide(application_)), Wide(Beside(L"XYZ")));
}

// The platform flag switched for the test's lifetime.
class PlatformScope {
public:
    explicit PlatformScope(bool isNT) : saved_(VynPlatformIsNT) { VynPlatformIsNT = isNT; }
    ~PlatformScope() { VynPlatformIsNT = saved_; }
    PlatformScope(const PlatformScope&) = delete;
    PlatformScope& operator=(const PlatformScope&) = delete;

private:
    bool saved_;
};

TEST(LocaleCodePageWarning, IsDueOnlyWithoutUnicodeForALanguageOfAnotherCodePage) {
    const LANGID russian = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);
    ASSERT_NE(LocaleAnsiCodePage(MAKELCID(russian, SORT_DEFAULT)), ::GetACP())
        << "the prefix is not Cyrillic";
    EXPECT_EQ(LocaleCodePageWarning(russian), std::nullopt) << "a Unicode platform shows every language";
    WarnLocaleCodePage(russian); // nothing to show, so nothing waits for the user

    const PlatformScope ansi(false);
    EXPECT_EQ(LocaleCodePageWarning(russian),
              WideString(u"The current System Locale does not support the display of Russian characters.\r\n"
                         u"The user interface may appear garbled."));
    const LANGID systemLanguage = LANGIDFROMLCID(::GetSystemDefaultLCID());
    EXPECT_EQ(LocaleCodePageWarning(systemLanguage), std::nullopt);
    EXPECT_EQ(LocaleCodePageWarning(0x7FFF), std::nullopt) << "a language the system does not know";
}

} // namespace
