#include "VynLXComponents.h"

#include <objbase.h>

#include <iterator>
#include <utility>

#include "Handles.h"
#include "TextConversion.h"
#include "VynFormatStrUtils.h"
#include "VynLXRegistry.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "VynWindows.h"
#include "WinText.h"

TOfficeAppVersion OfficeAppVersions[OfficeAppCount];

namespace {

TComponentVersion LibraryVersion(const WideString& libraryName) {
    const WideString path = GetModulePathOf(libraryName);
    return path.empty() ? 0 : ReadFileVersion(path);
}

// The first ProgID's version, or the fallback's when the first gives exactly 0.
TComponentVersion ComServerVersionWithFallback(const WideString& progId, const WideString& fallback) {
    const TComponentVersion version = GetComServerVersion(progId);
    return version != 0 ? version : GetComServerVersion(fallback);
}

TComponentVersion SystemFileVersion(const WideString& relativePath) {
    const WideString path = GetSystemFolder() + relativePath;
    return FileExistsWide(path) ? ReadFileVersion(path) : 0;
}

WideString GuidText(const GUID& guid) {
    WCHAR text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return WideString(reinterpret_cast<const char16_t*>(text));
}

} // namespace

WideString GetModulePathOf(const WideString& libraryName) {
    const UniqueModule library(VynLoadLibraryExW(libraryName.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    if (!library)
        return WideString();
    return ModulePathOf(library.get());
}

WideString GetComServerPath(const WideString& progId) {
    CLSID classId{};
    if (FAILED(::CLSIDFromProgID(WinText(progId), &classId)))
        return WideString();
    TVynRegistryLX registry;
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    if (!registry.OpenKey(WideToAnsi(u"CLSID\\" + GuidText(classId) + u"\\InprocServer32"), false))
        return WideString();
    return registry.ReadStringWide(WideString());
}

TComponentVersion GetComServerVersion(const WideString& progId) {
    const WideString path = GetComServerPath(progId);
    return !path.empty() && FileExistsWide(path) ? ReadFileVersion(path) : 0;
}

TComponentVersion GetWinInetVersion() { return LibraryVersion(u"wininet"); }
TComponentVersion GetMapi32Version() { return LibraryVersion(u"mapi32"); }
TComponentVersion GetCapicomVersion() { return GetComServerVersion(u"CAPICOM.EncryptedData"); }
TComponentVersion GetMdacVersion() {
    return ComServerVersionWithFallback(u"RowPosition.RowPosition", u"RowPosition.RowPosition.1");
}
TComponentVersion GetJetVersion() { return GetComServerVersion(u"Microsoft.Jet.OLEDB.4.0"); }
TComponentVersion GetDaoVersion() { return ComServerVersionWithFallback(u"DAO.TableDef.36", u"DAO.TableDef"); }
TComponentVersion GetSqlDmoVersion() {
    return ComServerVersionWithFallback(u"SQLDMO.Application.7.0", u"SQLDMO.Application");
}
TComponentVersion GetCrystalReportsVersion() { return LibraryVersion(u"Crpe32"); }
TComponentVersion GetCrystalOleDbVersion() { return SystemFileVersion(u"\\Crystal\\p2soledb.dll"); }
TComponentVersion GetCrystalUflVersion() { return SystemFileVersion(u"\\Crystal\\u2lcom.dll"); }
TComponentVersion GetCrystalXlsVersion() { return SystemFileVersion(u"\\Crystal\\U2FXLS.DLL"); }

TComponentVersion GetKernelVersion(WideString& productName) {
    productName.clear();
    const WideString path = GetModulePathOf(u"kernel32");
    if (path.empty())
        return 0;
    productName = GetFileVersionString(u"ProductName", path, 0, 0);
    return ReadFileVersion(path);
}

WideString GetMessagingCompany() {
    const WideString path = GetModulePathOf(u"mapi32");
    return path.empty() ? WideString() : GetFileVersionString(u"CompanyName", path, 0, 0);
}

TComponentVersion GetReportViewerVersion(WideString& companyName) {
    companyName.clear();
    const WideString path = GetModulePathOf(u"Rpawinet");
    if (path.empty())
        return 0;
    companyName = GetFileVersionString(u"CompanyName", path, 0, 0);
    return ReadFileVersion(path);
}

WideString GetOfficeInstallRoot(const WideString& officeVersion, const WideString& application) {
    TVynRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    const WideString key =
        FormatWide(u"Software\\Microsoft\\Office\\%s\\%s\\InstallRoot", {officeVersion, application});
    if (!registry.OpenKey(WideToAnsi(key), false) || !registry.ValueExists("Path"))
        return WideString();
    return registry.ReadStringWide(u"Path");
}

WideString GetOfficeAppVersion(const WideString& application, const WideString& executable) {
    for (const char16_t* version : {u"11.0", u"10.0", u"9.0"}) {
        // The stored folder is expected to end with a backslash, so none is put in between. A
        // missing root would leave the bare file name, which names a file in the current folder.
        const WideString root = GetOfficeInstallRoot(version, application);
        if (!root.empty() && FileExistsWide(root + executable))
            return version;
    }
    return WideString();
}

void DetectOfficeAppVersions() {
    static constexpr const char16_t* applications[OfficeAppCount][2] = {
        {u"Word", u"WINWORD.EXE"}, {u"Excel", u"EXCEL.EXE"}, {u"Outlook", u"OUTLOOK.EXE"}, {u"Access", u"MSACCESS.EXE"}};
    // All or nothing: a registry value of the wrong type raises before anything is stored.
    TOfficeAppVersion found[OfficeAppCount];
    for (int app = 0; app < OfficeAppCount; ++app) {
        found[app].Version = GetOfficeAppVersion(applications[app][0], applications[app][1]);
        found[app].Installed = !found[app].Version.empty();
    }
    std::move(std::begin(found), std::end(found), std::begin(OfficeAppVersions));
}

void ClearOfficeAppVersions() {
    for (TOfficeAppVersion& app : OfficeAppVersions)
        app = TOfficeAppVersion{};
}
