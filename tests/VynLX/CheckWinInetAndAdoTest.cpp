// The prerequisite table: its fixed rows and the versions the unit's start detects; the
// system-information block of the error report and its hook.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "CheckWinInetAndAdo.h"
#include "VersionResource.h"
#include "VynFormatStrUtils.h"
#include "VynLXSystemInfo.h"
#include "VynLXUtils.h"
#include "VynWindows.h"
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

std::vector<WideString> EntriesOf(const TVynStringList& list) {
    std::vector<WideString> entries;
    for (int32_t i = 0; i < list.Count(); ++i)
        entries.push_back(list.Entry(i));
    return entries;
}

bool StartsWith(const WideString& text, const WideString& prefix) {
    return text.starts_with(prefix);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring program(path);
    return program.substr(0, program.find_last_of(L'\\') + 1);
}

// A copy of the stand-in with the given file version and company name.
std::wstring VersionedCopy(const std::wstring& path, const uint16_t (&version)[4],
                           const std::wstring& company) {
    TVersionResourceShape shape;
    std::copy(std::begin(version), std::end(version), shape.FileVersion);
    shape.StringTables = {{L"040904b0", {{L"CompanyName", company}}}};
    shape.Translations = {0x04B00409};
    CopyWithVersionResource(HostPath(STANDIN_DAO_PATH), path, BuildVersionResource(shape));
    return path;
}

const wchar_t JetClass[] = L"{F0E1D2C3-0000-4000-8000-00000000004A}";

TEST_F(RequirementTable, TheSystemInformationBlockOfThePrefixPartByPart) {
    const TRegisteredServer jet(L"Microsoft.Jet.OLEDB.4.0", JetClass, HostPath(STANDIN_JET_PATH));
    TUnitStartup units{&VynLXUtilsUnit, &CheckWinInetAndAdoUnit};
    ScratchFolder folder(L"SystemInfoBlock");
    const WideString versioned =
        Wide(VersionedCopy(folder.Path() + L"\\Reporting.dll", {3, 60, 5, 7}, L"Maker"));
    const WideString missing = Wide(folder.Path() + L"\\Missing Library.dll");
    AddToModuleList(versioned);
    AddToModuleList(missing);
    TVynStringList list;
    list.AppendEntry(u"left from before");
    AddSystemInfo(list);
    ModuleList->RemoveAt(ModuleList->PositionOf(missing));
    ModuleList->RemoveAt(ModuleList->PositionOf(versioned));
    const std::vector<WideString> lines = EntriesOf(list);
    const WideString separator(37, u'-');
    ASSERT_EQ(lines.size(), 37u) << Win(list.AllText());

    // The modules: this program has no version resource.
    EXPECT_EQ(lines[0], u"VynLXTests: 0.0 r0");
    EXPECT_EQ(lines[1], u"Reporting: 3.60 r5");
    EXPECT_EQ(lines[2], u"Missing Library: (Not Installed)");
    EXPECT_EQ(lines[3], separator);

    // The system and the user.
    EXPECT_EQ(lines[4], u"OS = NT 6.1 (Build 7601) Service Pack 1");
    // Kernel = <four numbers> (<product name>): Wine names itself.
    EXPECT_PRED2(StartsWith, lines[5], u"Kernel = ");
    EXPECT_TRUE(lines[5].ends_with(u" (Wine)")) << Win(lines[5]);
    EXPECT_EQ(std::count(lines[5].begin(), lines[5].end(), u'.'), 3) << Win(lines[5]);
    EXPECT_TRUE(lines[6] == u"Administrator = True" || lines[6] == u"Administrator = False") << Win(lines[6]);
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerSize = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(::GetComputerNameW(computer, &computerSize));
    wchar_t user[256] = {};
    DWORD userSize = 256;
    ASSERT_TRUE(::GetUserNameW(user, &userSize));
    EXPECT_EQ(lines[7], u"Computer Name = " + Wide(computer) + u" (" + Wide(user) + u")");
    const LCID systemLocale = ::GetSystemDefaultLCID();
    wchar_t language[80] = {};
    wchar_t country[80] = {};
    ::GetLocaleInfoW(systemLocale, LOCALE_SENGLANGUAGE, language, 80);
    ::GetLocaleInfoW(systemLocale, LOCALE_SENGCOUNTRY, country, 80);
    EXPECT_EQ(lines[8], u"System Locale ID = " + Wide(std::to_wstring(systemLocale)) + u": " +
                            Wide(language) + u" (" + Wide(country) + u")");
    // The prefix's user locale is its system locale.
    ASSERT_EQ(::GetUserDefaultLCID(), systemLocale);
    EXPECT_PRED2(StartsWith, lines[9], u"Sort Order = ");
    EXPECT_EQ(lines[10], u"ANSI Code Page = 1252,  ISO 8859-1,  Latin 1 (ANSI)");
    EXPECT_PRED2(StartsWith, lines[11], u"System Time = ");
    EXPECT_GT(lines[11].size(), WideString(u"System Time = ").size() + 8);
    EXPECT_EQ(lines[12], separator);

    // Memory and the Windows disk.
    MEMORYSTATUSEX memory{};
    memory.dwLength = sizeof memory;
    ASSERT_TRUE(::GlobalMemoryStatusEx(&memory));
    EXPECT_EQ(lines[13], FormatWide(u"Total Physical Memory: %d MB",
                                    {static_cast<long long>(memory.ullTotalPhys >> 20)}));
    EXPECT_PRED2(StartsWith, lines[14], u"Avail Physical Memory: ");
    EXPECT_PRED2(StartsWith, lines[15], u"Memory Load: ");
    EXPECT_EQ(lines[16], separator);
    EXPECT_PRED2(StartsWith, lines[17], u"Total Windows HD Space (C:) = ");
    EXPECT_PRED2(StartsWith, lines[18], u"Free Windows HD Space = ");
    EXPECT_EQ(lines[19], separator);

    // The table, tab-separated, with the messaging library's maker after its row.
    EXPECT_PRED2(StartsWith, lines[20], u"IE\t(");
    EXPECT_EQ(lines[21], u"MAPI\t(" + ComponentVersionToStr(0, GetMapi32Version()) + u")   (" +
                             GetMessagingCompany() + u")");
    EXPECT_FALSE(GetMessagingCompany().empty());
    EXPECT_EQ(lines[24], u"JET\t(4.0.0.0)");
    EXPECT_EQ(lines[25], u"DAO\t(0.0.0.0)");
    EXPECT_EQ(lines[30], u"CRPE-XLS\t(0.0.0.0)");
    EXPECT_EQ(lines[31], separator);

    // No report viewer on the prefix; Office is absent too.
    EXPECT_EQ(lines[32], u"Word=");
    EXPECT_EQ(lines[33], u"Excel=");
    EXPECT_EQ(lines[34], u"Outlook=");
    EXPECT_EQ(lines[35], u"Access=");
    EXPECT_EQ(lines[36], separator);
}

TEST_F(RequirementTable, TheReportViewerIsListedAndAnOldCompuServeOneIsWarnedAbout) {
    TUnitStartup units{&VynLXUtilsUnit, &CheckWinInetAndAdoUnit};
    const std::wstring viewer = ProgramFolder() + L"Rpawinet.dll";
    const auto blockAfterTheTable = [] {
        TVynStringList list;
        AddSystemInfo(list);
        const std::vector<WideString> lines = EntriesOf(list);
        const auto crystalXls = std::find_if(lines.begin(), lines.end(), [](const WideString& line) {
            return line.starts_with(u"CRPE-XLS\t");
        });
        return std::vector<WideString>(crystalXls + 1, lines.end());
    };
    struct RemovedAfterwards {
        std::wstring path;
        ~RemovedAfterwards() { RemoveFile(path); }
    } removed{viewer};

    VersionedCopy(viewer, {3, 13, 9, 9}, L"CompuServe Interactive Services");
    std::vector<WideString> after = blockAfterTheTable();
    ASSERT_GE(after.size(), 3u);
    EXPECT_EQ(after[0], u"RpaWInet.dll\t(3.13.9.9)   (CompuServe Interactive Services)");
    EXPECT_EQ(after[1], u"Warning: your version of RpaWInet.dll is known to be unstable.");
    EXPECT_EQ(after[2], WideString(37, u'-'));

    VersionedCopy(viewer, {3, 14, 0, 0}, L"CompuServe Interactive Services");
    after = blockAfterTheTable();
    EXPECT_EQ(after[0], u"RpaWInet.dll\t(3.14.0.0)   (CompuServe Interactive Services)");
    EXPECT_EQ(after[1], WideString(37, u'-'));

    VersionedCopy(viewer, {2, 0, 0, 0}, L"Another Maker");
    after = blockAfterTheTable();
    EXPECT_EQ(after[0], u"RpaWInet.dll\t(2.0.0.0)   (Another Maker)");
    EXPECT_EQ(after[1], WideString(37, u'-'));
}

// Stands in for the system's locale data, failing the sort order's query.
int LocaleInfoWithoutSortOrder(LCID locale, LCTYPE type, char16_t* buffer, int capacity) {
    if (type == LOCALE_SSORTNAME)
        throw std::runtime_error("no sort order");
    return VynGetLocaleInfoW(locale, type, buffer, capacity);
}

TEST_F(RequirementTable, ASortOrderThatCannotBeToldDropsOnlyItsLine) {
    TUnitStartup units{&VynLXUtilsUnit, &CheckWinInetAndAdoUnit};
    TVynStringList list;
    const TLocaleInfoQuery previous = SetLocaleInfoQuery(LocaleInfoWithoutSortOrder);
    try {
        AddSystemInfo(list);
    } catch (...) {
        SetLocaleInfoQuery(previous);
        throw;
    }
    SetLocaleInfoQuery(previous);
    const std::vector<WideString> lines = EntriesOf(list);
    const auto locale = std::find_if(lines.begin(), lines.end(), [](const WideString& line) {
        return line.starts_with(u"System Locale ID = ");
    });
    ASSERT_NE(locale, lines.end());
    ASSERT_NE(locale + 1, lines.end());
    EXPECT_PRED2(StartsWith, *(locale + 1), u"ANSI Code Page = ");
    for (const WideString& line : lines)
        EXPECT_FALSE(line.starts_with(u"Sort Order")) << Win(line);
}

TEST_F(RequirementTable, TheUnitInstallsItsBlockAsTheHookAndTakesOnlyItsOwnAway) {
    ASSERT_EQ(SystemInfoProc, nullptr);
    {
        TUnitStartup units{&VynLXUtilsUnit, &CheckWinInetAndAdoUnit};
        EXPECT_EQ(SystemInfoProc, &AddSystemInfo);
    }
    EXPECT_EQ(SystemInfoProc, nullptr);

    const TSystemInfoProc another = [](TVynStringList& lines) { lines.AppendEntry(u"another"); };
    {
        TUnitStartup units{&VynLXUtilsUnit, &CheckWinInetAndAdoUnit};
        SystemInfoProc = another;
    }
    EXPECT_EQ(SystemInfoProc, another);
    SystemInfoProc = nullptr;
}

TEST(SystemComponentSets, BitsFollowTheRows) {
    constexpr TSystemComponents installerNeeds{IE, MDAC, JET};
    static_assert(installerNeeds.Bits() == 0x0019);
    EXPECT_TRUE(installerNeeds.Contains(JET));
    EXPECT_FALSE(installerNeeds.Contains(DAO));
    EXPECT_EQ(TSystemComponents(0xF800).Bits() & 0x07FF, 0);
}

} // namespace
