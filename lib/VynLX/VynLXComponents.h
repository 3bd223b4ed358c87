// Which version of a system component is installed, found without running the component: its
// file is located through the library search, through the COM class registration of a ProgID or
// at a fixed place below the system folder, and the version read from the file's version
// resource. Absence gives 0 or ""; nothing here raises for a missing component.
#pragma once

#include "SysTypes.h"
#include "VynLXVerUtils.h"

// The full path the system's library search finds for name, or "". The library is mapped as
// data only: neither its entry point nor its dependencies are loaded. Raises EOSError when the
// mapped library's name cannot be read.
WideString GetModulePathOf(const WideString& libraryName);
// The InprocServer32 value registered for the ProgID's class, exactly as stored (no expansion,
// unquoting or search), or "". A value that is not a string raises ERegistryException.
WideString GetComServerPath(const WideString& progId);
// The file version of the ProgID's in-process server, or 0 when there is none or its file does
// not exist. Local servers are never consulted.
TComponentVersion GetComServerVersion(const WideString& progId);

// ---- The components of the prerequisite table, in its row order

TComponentVersion GetWinInetVersion();
TComponentVersion GetMapi32Version();
TComponentVersion GetCapicomVersion();
// "RowPosition.RowPosition", else "RowPosition.RowPosition.1".
TComponentVersion GetMdacVersion();
TComponentVersion GetJetVersion();
// "DAO.TableDef.36", else "DAO.TableDef".
TComponentVersion GetDaoVersion();
// "SQLDMO.Application.7.0", else "SQLDMO.Application".
TComponentVersion GetSqlDmoVersion();
TComponentVersion GetCrystalReportsVersion();
// Files below the system folder's "Crystal" folder.
TComponentVersion GetCrystalOleDbVersion();
TComponentVersion GetCrystalUflVersion();
TComponentVersion GetCrystalXlsVersion();

// ---- Components the error report names

// The kernel library's version; productName receives its "ProductName" ("" when absent).
TComponentVersion GetKernelVersion(WideString& productName);
// The "CompanyName" of the messaging library, or "".
WideString GetMessagingCompany();
// The report viewer's ("Rpawinet") version; companyName receives its "CompanyName".
TComponentVersion GetReportViewerVersion(WideString& companyName);

// ---- Office applications

// The "Path" value of HKLM "Software\Microsoft\Office\<version>\<application>\InstallRoot", or
// "". A value that is not a string raises ERegistryException.
WideString GetOfficeInstallRoot(const WideString& officeVersion, const WideString& application);
// The newest of "11.0", "10.0" and "9.0" whose install root followed directly by the executable's
// name is an existing file, or "".
WideString GetOfficeAppVersion(const WideString& application, const WideString& executable);

enum TOfficeApp { oaWord, oaExcel, oaOutlook, oaAccess };
constexpr int OfficeAppCount = 4;

struct TOfficeAppVersion {
    WideString Version;
    bool Installed = false;
};

// Found once when the utility unit starts, cleared when it ends; read by the error report.
extern TOfficeAppVersion OfficeAppVersions[OfficeAppCount];
void DetectOfficeAppVersions();
void ClearOfficeAppVersions();
