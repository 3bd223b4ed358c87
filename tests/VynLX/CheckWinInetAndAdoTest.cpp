// The prerequisite table: its fixed rows and the versions the unit's start detects.
#include <gtest/gtest.h>

#include <string_view>

#include "CheckWinInetAndAdo.h"
#include "VynLXUtils.h"
#include "WineTestSupport.h"

namespace {

const std::wstring DaoClass = L"{F0E1D2C3-0000-4000-8000-0000000000DA}";

class RequirementTable : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        for (const wchar_t* progId : {L"DAO.TableDef.36", L"DAO.TableDef", L"Microsoft.Jet.OLEDB.4.0"})
            DeleteRegistryTree(HKEY_CLASSES_ROOT, progId);
        DeleteRegistryTree(HKEY_CLASSES_ROOT, L"CLSID\\" + DaoClass);
    }
    void RegisterDao(const std::wstring& progId, const std::wstring& server, DWORD type = REG_SZ) {
        WriteRegistryString(HKEY_CLASSES_ROOT, progId + L"\\CLSID", nullptr, DaoClass);
        WriteRegistryString(HKEY_CLASSES_ROOT, L"CLSID\\" + DaoClass + L"\\InprocServer32", nullptr, server, type);
    }
};

TEST_F(RequirementTable, TheStartDetectsEveryRowAndTheEndForgetsThem) {
    RegisterDao(L"DAO.TableDef", HostPath(STANDIN_DAO351_PATH));
    {
        TUnitStartup units{&VynLXUtilsUnit, &CheckWinInetAndAdoUnit};
        const TComponentRequirement& dao = ComponentRequirements[DAO];
        EXPECT_EQ(dao.InstalledVersion, MakeComponentVersion(3, 51, 0, 0));
        EXPECT_EQ(dao.InstalledMajorMinor, 0x00030033);
        EXPECT_LT(dao.InstalledMajorMinor, dao.MinMajorMinor);
        EXPECT_EQ(ComponentRequirements[JET].InstalledVersion, 0u);
        // Wine has a library of this name, with a version resource.
        EXPECT_NE(ComponentRequirements[IE].InstalledVersion, 0u);
        for (const TComponentRequirement& row : ComponentRequirements)
            EXPECT_EQ(row.InstalledMajorMinor, static_cast<int32_t>(row.InstalledVersion >> 32)) << Win(row.Key);
        ASSERT_NE(ModuleList, nullptr);
        EXPECT_EQ(ModuleList->Count(), 1);
        EXPECT_EQ(ModuleList->Entry(0), GetProgramPath());
    }
    EXPECT_EQ(ModuleList, nullptr);
    EXPECT_EQ(ComponentRequirements[DAO].InstalledVersion, 0u);
    EXPECT_EQ(ComponentRequirements[DAO].Key, u"");
    EXPECT_EQ(ComponentRequirements[DAO].MinMajorMinor, 0x0003003C);
}

TEST_F(RequirementTable, TheRowsCarryTheirNamesSitesAndInstallers) {
    TUnitStartup units{&VynLXUtilsUnit, &CheckWinInetAndAdoUnit};
    const char16_t* keys[] = {u"IE",   u"MAPI", u"CAPICOM",  u"MDAC",     u"JET",     u"DAO",
                              u"SQL-DMO", u"CRPE", u"CRPE-SQL", u"CRPE-UFL", u"CRPE-XLS"};
    const int32_t minimums[] = {0x00050000, 0x00010000, 0x00020000, 0x00020032, 0x00040000, 0x0003003C,
                                0x07CE000B, 0x00080005, 0x00080005, 0x00080000, 0x00080005};
    for (int row = 0; row < SystemComponentCount; ++row) {
        const TComponentRequirement& requirement = ComponentRequirements[row];
        EXPECT_EQ(requirement.Key, keys[row]);
        EXPECT_EQ(requirement.MinMajorMinor, minimums[row]) << row;
        EXPECT_FALSE(requirement.DisplayName.empty());
        EXPECT_EQ(requirement.InstallerCode, requirement.InstallerFlag ? 3010 : 0);
        // Rows with an installer of their own are downloaded from the maker's folder.
        if (row >= CAPICOM) {
            EXPECT_EQ(requirement.DownloadSite, DefaultDownloadSite) << row;
            EXPECT_NE(requirement.DownloadFile.find(u'.'), WideString::npos) << row;
            EXPECT_EQ(requirement.DownloadFile.find_first_of(u"/\\"), WideString::npos) << row;
        }
    }
    EXPECT_TRUE(std::string_view(DefaultDownloadSite).ends_with("/download/"));
    EXPECT_EQ(ComponentRequirements[IE].DisplayName, "Internet Explorer 5.0 or newer");
    EXPECT_EQ(ComponentRequirements[JET].DisplayName, "Microsoft Jet 4.0 Drivers");
    EXPECT_TRUE(ComponentRequirements[IE].DownloadSite.starts_with("http://"));
    EXPECT_EQ(ComponentRequirements[IE].DownloadFile, u"");
    EXPECT_EQ(ComponentRequirements[MAPI].DownloadSite, "your Windows CD.");
    EXPECT_EQ(ComponentRequirements[MAPI].DownloadFile, u"");

    const WideString mdacParams = u"/q /c:\"dasetup.exe /q /n\"";
    EXPECT_EQ(mdacParams.size(), 25u);
    EXPECT_EQ(ComponentRequirements[MDAC].InstallerParams, mdacParams);
    EXPECT_EQ(ComponentRequirements[JET].InstallerParams, mdacParams);
    EXPECT_EQ(ComponentRequirements[MDAC].DownloadFile, ComponentRequirements[JET].DownloadFile);
    for (TSystemComponent row : {CRPE, CRPE_SQL, CRPE_UFL, CRPE_XLS}) {
        EXPECT_EQ(ComponentRequirements[row].InstallerParams, u"/s /v/f /v/qr");
        EXPECT_EQ(ComponentRequirements[row].DownloadFile, ComponentRequirements[CRPE].DownloadFile);
        EXPECT_TRUE(ComponentRequirements[row].InstallerFlag);
    }
    EXPECT_NE(ComponentRequirements[CAPICOM].DownloadFile, ComponentRequirements[MDAC].DownloadFile);
    EXPECT_EQ(ComponentRequirements[JET].MaxMajorMinor, 0x00040000);
    EXPECT_EQ(ComponentRequirements[DAO].MaxMajorMinor, 0x0003003C);
    EXPECT_EQ(ComponentRequirements[IE].MaxMajorMinor, 0x7FFFFFFF);
    EXPECT_TRUE(ComponentRequirements[MDAC].InstallerFlag);
    EXPECT_FALSE(ComponentRequirements[DAO].InstallerFlag);
}

TEST_F(RequirementTable, TheModuleListTakesEachPathOnce) {
    TUnitStartup units{&VynLXUtilsUnit, &CheckWinInetAndAdoUnit};
    AddToModuleList(GetProgramPath());
    AddToModuleList(u"C:\\windows\\system32\\kernel32.dll");
    AddToModuleList(u"C:\\windows\\system32\\kernel32.dll");
    EXPECT_EQ(ModuleList->Count(), 2);
}

TEST_F(RequirementTable, ADetectorThatRaisesStopsTheStartWithNothingLeft) {
    RegisterDao(L"DAO.TableDef.36", L"", REG_BINARY);
    EXPECT_EQ(MessageOf([] { TUnitStartup units{&VynLXUtilsUnit, &CheckWinInetAndAdoUnit}; }),
              "Invalid data type for ''");
    EXPECT_EQ(ModuleList, nullptr);
    EXPECT_EQ(ComponentRequirements[IE].InstalledVersion, 0u);
    EXPECT_EQ(ComponentRequirements[IE].Key, u"");
}

TEST(SystemComponentSets, BitsFollowTheRows) {
    constexpr TSystemComponents installerNeeds{IE, MDAC, JET};
    static_assert(installerNeeds.Bits() == 0x0019);
    EXPECT_TRUE(installerNeeds.Contains(JET));
    EXPECT_FALSE(installerNeeds.Contains(DAO));
    EXPECT_EQ(TSystemComponents(0xF800).Bits() & 0x07FF, 0);
}

} // namespace
