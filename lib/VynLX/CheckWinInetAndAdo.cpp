#include "CheckWinInetAndAdo.h"

#include <memory>

#include "CheckWinInetAndAdoResStr.h"
#include "TextConversion.h"
#include "VynDialogs.h"
#include "VynFormatStrUtils.h"
#include "VynLXSystemInfo.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "VynSystem.h"

const char DefaultDownloadSite[] = "http://www.ferrule-setup.org/download/";

// The numbers of each row; its texts are set when the unit starts.
TComponentRequirement ComponentRequirements[SystemComponentCount] = {
    {{}, {}, 0, 0, 0x00050000, NoMaxMajorMinor, {}, {}, {}, false, 0},
    {{}, {}, 0, 0, 0x00010000, NoMaxMajorMinor, {}, {}, {}, false, 0},
    {{}, {}, 0, 0, 0x00020000, NoMaxMajorMinor, {}, {}, {}, false, 0},
    {{}, {}, 0, 0, 0x00020032, NoMaxMajorMinor, {}, {}, {}, true, 3010},
    {{}, {}, 0, 0, 0x00040000, 0x00040000, {}, {}, {}, true, 3010},
    {{}, {}, 0, 0, 0x0003003C, 0x0003003C, {}, {}, {}, false, 0},
    {{}, {}, 0, 0, 0x07CE000B, NoMaxMajorMinor, {}, {}, {}, false, 0},
    {{}, {}, 0, 0, 0x00080005, NoMaxMajorMinor, {}, {}, {}, true, 3010},
    {{}, {}, 0, 0, 0x00080005, NoMaxMajorMinor, {}, {}, {}, true, 3010},
    {{}, {}, 0, 0, 0x00080000, NoMaxMajorMinor, {}, {}, {}, true, 3010},
    {{}, {}, 0, 0, 0x00080005, NoMaxMajorMinor, {}, {}, {}, true, 3010},
};

TVynStringList* ModuleList = nullptr;

namespace {

// ---- Translatable texts

using namespace ResStr::CheckWinInetAndAdo;

constexpr const TResStringRec* DisplayNames[SystemComponentCount] = {
    &SDisplayNameIE,      &SDisplayNameMAPI,    &SDisplayNameCAPICOM, &SDisplayNameMDAC,
    &SDisplayNameJET,     &SDisplayNameDAO,     &SDisplayNameSQLDMO,  &SDisplayNameCRPE,
    &SDisplayNameCRPESQL, &SDisplayNameCRPEUFL, &SDisplayNameCRPEXLS,
};

// ---- Texts of the system-information block

constexpr char16_t SNotInstalled[] = u"(Not Installed)";
constexpr char16_t SReportViewerLibrary[] = u"RpaWInet.dll";
constexpr char16_t SUnstableReportViewer[] =
    u"Warning: your version of RpaWInet.dll is known to be unstable.";
constexpr char16_t SUnstableReportViewerMaker[] = u"CompuServe";
constexpr const char16_t* OfficeAppNames[OfficeAppCount] = {u"Word", u"Excel", u"Outlook", u"Access"};

// ---- Fixed texts

struct TRowTexts {
    const char16_t* Key;
    const char16_t* DownloadFile;
    const char16_t* InstallerParams;
};

constexpr char16_t MdacParams[] = u"/q /c:\"dasetup.exe /q /n\"";
constexpr char16_t CrystalParams[] = u"/s /v/f /v/qr";
constexpr char16_t MdacInstaller[] = u"mdac_typ.exe";
constexpr char16_t CrystalInstaller[] = u"crystal85_runtime.exe";

constexpr TRowTexts RowTexts[SystemComponentCount] = {
    {u"IE", u"", u""},
    {u"MAPI", u"", u""},
    {u"CAPICOM", u"capicom_setup.exe", u""},
    {u"MDAC", MdacInstaller, MdacParams},
    {u"JET", MdacInstaller, MdacParams},
    {u"DAO", u"dao360_setup.exe", u""},
    {u"SQL-DMO", u"sqldmo_setup.exe", u""},
    {u"CRPE", CrystalInstaller, CrystalParams},
    {u"CRPE-SQL", CrystalInstaller, CrystalParams},
    {u"CRPE-UFL", CrystalInstaller, CrystalParams},
    {u"CRPE-XLS", CrystalInstaller, CrystalParams},
};

using TComponentDetector = TComponentVersion (*)();
constexpr TComponentDetector Detectors[SystemComponentCount] = {
    GetWinInetVersion,   GetMapi32Version,         GetCapicomVersion,      GetMdacVersion,
    GetJetVersion,       GetDaoVersion,            GetSqlDmoVersion,       GetCrystalReportsVersion,
    GetCrystalOleDbVersion, GetCrystalUflVersion, GetCrystalXlsVersion,
};

int unitStarts = 0;
std::unique_ptr<TVynStringList> ownedModuleList;

void ForgetRows() {
    for (TComponentRequirement& row : ComponentRequirements) {
        row.DisplayName.clear();
        row.Key.clear();
        row.DownloadSite.clear();
        row.DownloadFile.clear();
        row.InstallerParams.clear();
        row.InstalledVersion = 0;
        row.InstalledMajorMinor = 0;
    }
}

void ReleaseModuleList() {
    ModuleList = nullptr;
    ownedModuleList.reset();
}

void FillRows() {
    for (int row = 0; row < SystemComponentCount; ++row) {
        TComponentRequirement& requirement = ComponentRequirements[row];
        requirement.DisplayName = LoadResString(DisplayNames[row]);
        requirement.Key = RowTexts[row].Key;
        requirement.DownloadFile = RowTexts[row].DownloadFile;
        requirement.InstallerParams = RowTexts[row].InstallerParams;
    }
    ComponentRequirements[IE].DownloadSite = LoadResString(&SDownloadSiteIE);
    ComponentRequirements[MAPI].DownloadSite = LoadResString(&SDownloadSiteMAPI);
    for (TComponentRequirement& requirement : ComponentRequirements) {
        if (!requirement.DownloadFile.empty())
            requirement.DownloadSite = DefaultDownloadSite;
    }
}

void DetectInstalledVersions() {
    for (int row = 0; row < SystemComponentCount; ++row)
        ComponentRequirements[row].InstalledVersion = Detectors[row]();
    for (TComponentRequirement& requirement : ComponentRequirements)
        requirement.InstalledMajorMinor = static_cast<int32_t>(requirement.InstalledVersion >> 32);
}

void StartCheckWinInetAndAdo() {
    if (unitStarts > 0) {
        ++unitStarts;
        return;
    }
    // A detector may raise (a registry value of the wrong type); the unit is then not started.
    try {
        FillRows();
        ownedModuleList = std::make_unique<TVynStringList>();
        ModuleList = ownedModuleList.get();
        AddToModuleList(GetProgramPath());
        DetectInstalledVersions();
        SystemInfoProc = AddSystemInfo;
    } catch (...) {
        ReleaseModuleList();
        ForgetRows();
        throw;
    }
    ++unitStarts;
}

void EndCheckWinInetAndAdo() {
    if (unitStarts == 0 || --unitStarts > 0)
        return;
    if (SystemInfoProc == AddSystemInfo)
        SystemInfoProc = nullptr;
    ReleaseModuleList();
    ForgetRows();
}

} // namespace

const TUnitInfo CheckWinInetAndAdoUnit{"lib/VynLX/CheckWinInetAndAdo", StartCheckWinInetAndAdo,
                                       EndCheckWinInetAndAdo};

void AddToModuleList(const WideString& path) {
    CheckAssigned(ModuleList, u"ModuleList");
    if (ModuleList->PositionOf(path) < 0)
        ModuleList->AppendEntry(path);
}

bool CheckRequirements(TSystemComponents required) {
    for (int row = 0; row < SystemComponentCount; ++row) {
        const TComponentRequirement& requirement = ComponentRequirements[row];
        if (!required.Contains(static_cast<TSystemComponent>(row)) ||
            requirement.InstalledMajorMinor >= requirement.MinMajorMinor)
            continue;
        const WideString format = LoadResStringWide(&SRequires) + u"\r\n" + LoadResStringWide(&SDownloadFrom);
        ShowMessageFmtWide(format, {AnsiToWide(requirement.DisplayName),
                                    AnsiToWide(requirement.DownloadSite) + requirement.DownloadFile});
        return false;
    }
    return true;
}

namespace {

void AppendModuleVersions(TVynStringList& lines) {
    if (ModuleList == nullptr)
        return;
    for (int32_t i = 0; i < ModuleList->Count(); ++i) {
        const WideString path = ModuleList->Entry(i);
        const WideString version = FileExistsWide(path) ? ComponentVersionToStr(2, ReadFileVersion(path))
                                                        : WideString(SNotInstalled);
        lines.AppendEntry(ExtractFileNameNoExt(path) + u": " + version);
    }
}

WideString LocaleLine(const WideString& label, LCID locale) {
    return label + FormatWide(u"%d", {static_cast<int32_t>(locale)}) + u": " +
           GetLocaleLanguageCountry(locale);
}

void AppendSystemAndUser(TVynStringList& lines) {
    lines.AppendEntry(u"OS = " + GetWindowsVersionText());
    WideString kernelProduct;
    const TComponentVersion kernel = GetKernelVersion(kernelProduct);
    lines.AppendEntry(u"Kernel = " + ComponentVersionToStr(0, kernel) + u" (" + kernelProduct + u")");
    if (VynPlatformIsNT)
        lines.AppendEntry(WideString(u"Administrator = ") + (IsAdministrator() ? u"True" : u"False"));
    lines.AppendEntry(u"Computer Name = " + GetComputerNameText() + u" (" + GetUserNameText() + u")");
    const LCID systemLocale = ::GetSystemDefaultLCID();
    const LCID userLocale = ::GetUserDefaultLCID();
    lines.AppendEntry(LocaleLine(u"System Locale ID = ", systemLocale));
    if (userLocale != systemLocale)
        lines.AppendEntry(LocaleLine(u"User Locale ID = ", userLocale));
    try {
        lines.AppendEntry(u"Sort Order = " + GetLocaleText(userLocale, LOCALE_SSORTNAME));
    } catch (...) {
        // The sort order is the one line the block can do without, whatever stops it.
    }
    const UINT codePage = ::GetACP();
    lines.AppendEntry(FormatWide(u"ANSI Code Page = %d,  ", {static_cast<int32_t>(codePage)}) +
                      GetCodePageIsoName(codePage));
    lines.AppendEntry(u"System Time = " + CurrentDateTimeText());
}

void AppendLines(TVynStringList& lines, const std::vector<WideString>& more) {
    for (const WideString& line : more)
        lines.AppendEntry(line);
}

void AppendInstalledComponents(TVynStringList& lines) {
    for (int row = 0; row < SystemComponentCount; ++row) {
        const TComponentRequirement& requirement = ComponentRequirements[row];
        WideString line =
            requirement.Key + u"\t(" + ComponentVersionToStr(0, requirement.InstalledVersion) + u")";
        if (row == MAPI)
            line += u"   (" + GetMessagingCompany() + u")";
        lines.AppendEntry(line);
    }
    WideString viewerCompany;
    const TComponentVersion viewer = GetReportViewerVersion(viewerCompany);
    if (viewer == 0)
        return;
    lines.AppendEntry(WideString(SReportViewerLibrary) + u"\t(" + ComponentVersionToStr(0, viewer) +
                      u")   (" + viewerCompany + u")");
    if (viewer < MakeComponentVersion(3, 14, 0, 0) && viewerCompany.starts_with(SUnstableReportViewerMaker))
        lines.AppendEntry(SUnstableReportViewer);
}

} // namespace

void AddSystemInfo(TVynStringList& lines) {
    TVynUpdateBracket bracket(lines);
    lines.RemoveAll();
    AppendModuleVersions(lines);
    lines.AppendEntry(RsSystemInfoSeparator);
    AppendSystemAndUser(lines);
    lines.AppendEntry(RsSystemInfoSeparator);
    AppendLines(lines, RunningMemoryLines());
    const std::vector<WideString> diskLines = RunningWindowsDiskLines();
    if (!diskLines.empty()) {
        lines.AppendEntry(RsSystemInfoSeparator);
        AppendLines(lines, diskLines);
    }
    lines.AppendEntry(RsSystemInfoSeparator);
    AppendInstalledComponents(lines);
    lines.AppendEntry(RsSystemInfoSeparator);
    for (int app = 0; app < OfficeAppCount; ++app)
        lines.AppendEntry(WideString(OfficeAppNames[app]) + u"=" + OfficeAppVersions[app].Version);
    lines.AppendEntry(RsSystemInfoSeparator);
}
