// The choice of the resource module at load: the registry's language extension, then the thread
// locale's abbreviation and its first two letters, each tried as a file beside the program that
// must load as a data file; and the owner that frees a module once it is replaced.
#include <gtest/gtest.h>

#include <string>

#include "ResourceModule.h"
#include "WineTestSupport.h"

namespace {

const wchar_t LocalesKey[] = L"Software\\Vyn\\Locales";
const wchar_t RuntimeLocalesKey[] = L"Software\\Vyn\\Runtime\\Locales";

// A small library of the system's, copied under a name of its own: mapped as a data file, a copy
// is a mapping of its own that FreeLibrary removes.
void CopyLoadableModule(const std::wstring& target) {
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_TRUE(::CopyFileW((std::wstring(system) + L"\\msimg32.dll").c_str(), target.c_str(), FALSE));
}

// The low bits of a data-file module mark it as such; the mapping starts below them.
bool IsMapped(HMODULE module) {
    MEMORY_BASIC_INFORMATION region{};
    const auto base =
        reinterpret_cast<const void*>(reinterpret_cast<UINT_PTR>(module) & ~static_cast<UINT_PTR>(3));
    return ::VirtualQuery(base, &region, sizeof region) != 0 && region.State == MEM_COMMIT;
}

UniqueModule LoadAsData(const std::wstring& path) {
    return UniqueModule(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

// A program of a name of its own in a folder of its own, so that neither the test program's path
// nor its registry value takes part, with German as the thread's locale ("DEU", then "DE").
class ResourceModuleChoice : public ::testing::Test {
protected:
    ScratchFolder folder_{L"FerruleResourceModuleChoice"};
    std::wstring program_ = folder_.Path() + L"\\Program.exe";
    TThreadLocaleScope german_{MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT)};

    std::wstring Beside(const wchar_t* extension) const { return folder_.Path() + L"\\Program." + extension; }
    std::wstring Chosen() const {
        std::optional<TResourceModuleFile> chosen = LoadResourceModuleOf(Wide(program_));
        if (!chosen)
            return L"<none>";
        EXPECT_TRUE(chosen->Module);
        return Win(chosen->FileName);
    }
};

TEST_F(ResourceModuleChoice, TriesTheRegistryExtensionThenTheLocaleAbbreviationThenItsFirstTwoLetters) {
    const TRegistryValueScope preferred(HKEY_CURRENT_USER, LocalesKey, program_.c_str(), L"XYZ");
    EXPECT_EQ(ResourceModuleCandidates(Wide(program_)),
              (std::vector<WideString>{Wide(Beside(L"XYZ")), Wide(Beside(L"DEU")), Wide(Beside(L"DE"))}));

    EXPECT_EQ(Chosen(), L"<none>");
    CopyLoadableModule(Beside(L"DE"));
    EXPECT_EQ(Chosen(), Beside(L"DE")) << "the named module is missing, and so is the locale's";
    CopyLoadableModule(Beside(L"DEU"));
    EXPECT_EQ(Chosen(), Beside(L"DEU"));
    CopyLoadableModule(Beside(L"XYZ"));
    EXPECT_EQ(Chosen(), Beside(L"XYZ"));
}

TEST_F(ResourceModuleChoice, PassesOverAFileThatIsNoModule) {
    const TRegistryValueScope preferred(HKEY_CURRENT_USER, LocalesKey, program_.c_str(), L"XYZ");
    WriteFileBytes(Beside(L"XYZ"), {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'u', 'l', 'e'});
    ::CreateDirectoryW(Beside(L"DEU").c_str(), nullptr);
    CopyLoadableModule(Beside(L"DE"));
    EXPECT_EQ(Chosen(), Beside(L"DE")) << "a text file and a folder are passed over";
}

bool KeyOpens(HKEY root, const wchar_t* path) {
    UniqueRegKey key;
    return ::RegOpenKeyExW(root, path, 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
}

TEST_F(ResourceModuleChoice, ReadsTheFirstKeyThatOpensAndThereTheProgramsValueBeforeTheDefault) {
    if (KeyOpens(HKEY_CURRENT_USER, LocalesKey) || KeyOpens(HKEY_LOCAL_MACHINE, LocalesKey))
        GTEST_SKIP() << "the prefix keeps language settings of its own";
    const WideString program = Wide(program_);
    const TRegistryValueScope runtimeDefault(HKEY_CURRENT_USER, RuntimeLocalesKey, nullptr, L"ITA");
    EXPECT_EQ(RegistryResourceExtension(program), u"ITA");
    const TRegistryValueScope machineNamed(HKEY_LOCAL_MACHINE, LocalesKey, program_.c_str(), L"FRA");
    EXPECT_EQ(RegistryResourceExtension(program), u"FRA");
    // The user's key opens, so it decides even though it holds nothing for this program.
    const TRegistryValueScope userOther(HKEY_CURRENT_USER, LocalesKey, L"C:\\Other.exe", L"RUS");
    EXPECT_EQ(RegistryResourceExtension(program), u"");
    const TRegistryValueScope userDefault(HKEY_CURRENT_USER, LocalesKey, nullptr, L"ESP");
    EXPECT_EQ(RegistryResourceExtension(program), u"ESP");
    const TRegistryValueScope userNamed(HKEY_CURRENT_USER, LocalesKey, program_.c_str(), L"NLD");
    EXPECT_EQ(RegistryResourceExtension(program), u"NLD");
}

TEST(ResourceModuleName, ReplacesTheFileNamesLastExtensionOnly) {
    EXPECT_EQ(ResourceModuleFileName(u"C:\\a.b\\Program.exe", u"02.QUZ"), u"C:\\a.b\\Program.02.QUZ");
    EXPECT_EQ(ResourceModuleFileName(u"C:\\a.b\\Program", u"DEU"), u"C:\\a.b\\Program.DEU");
    EXPECT_EQ(ResourceModuleFileName(u"C:\\Program.setup.exe", u"DEU"), u"C:\\Program.setup.DEU");
}

TEST(ResourceInstance, OwnsTheModuleInUseAndFreesItWhenAnotherTakesItsPlace) {
    const ScratchFolder folder(L"FerruleResourceInstance");
    CopyLoadableModule(folder.Path() + L"\\First.DEU");
    CopyLoadableModule(folder.Path() + L"\\Second.DEU");
    UniqueModule first = LoadAsData(folder.Path() + L"\\First.DEU");
    UniqueModule second = LoadAsData(folder.Path() + L"\\Second.DEU");
    ASSERT_TRUE(first && second);
    const HMODULE firstHandle = first.get();
    const HMODULE secondHandle = second.get();

    EXPECT_EQ(ResourceInstance(), MainInstance());
    SetResourceInstance(std::move(first));
    EXPECT_EQ(ResourceInstance(), firstHandle);

    // Handed in again, the module in use stays in use and loaded.
    SetResourceInstance(UniqueModule(firstHandle));
    EXPECT_EQ(ResourceInstance(), firstHandle);
    EXPECT_TRUE(IsMapped(firstHandle));

    SetResourceInstance(std::move(second));
    EXPECT_EQ(ResourceInstance(), secondHandle);
    EXPECT_FALSE(IsMapped(firstHandle)) << "replaced, the first is freed";

    // The program's own module puts the program back and is never freed itself.
    SetResourceInstance(UniqueModule(MainInstance()));
    EXPECT_EQ(ResourceInstance(), MainInstance());
    EXPECT_FALSE(IsMapped(secondHandle));
    EXPECT_EQ(::GetModuleHandleW(nullptr), MainInstance());
}

TEST(ResourceModuleUnit, PutsTheProgramsChoiceInPlaceAtItsStartAndFreesItAtItsEnd) {
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::wstring program = self;
    const std::wstring module = program.substr(0, program.rfind(L'.')) + L".TST";
    CopyLoadableModule(module);
    HMODULE chosen = nullptr;
    {
        const TRegistryValueScope preferred(HKEY_CURRENT_USER, LocalesKey, program.c_str(), L"TST");
        const TUnitStartup units{&RtlResourceModuleUnit};
        chosen = ResourceInstance();
        EXPECT_NE(chosen, MainInstance());
        EXPECT_TRUE(IsMapped(chosen));
    }
    EXPECT_EQ(ResourceInstance(), MainInstance());
    EXPECT_FALSE(IsMapped(chosen));
    EXPECT_TRUE(::DeleteFileW(module.c_str())) << "nothing holds the file any more";
}

} // namespace
