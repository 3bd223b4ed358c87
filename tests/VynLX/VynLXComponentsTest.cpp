// Finding installed components: the library search without running the library, in-process
// servers of ProgIDs with their fallbacks, files below the system folder, and Office.
#include <gtest/gtest.h>

#include <filesystem>

#include "OSError.h"
#include "Registry.h"
#include "VersionResource.h"
#include "VynLXUtils.h"
#include "WineTestSupport.h"

namespace {

const std::wstring TraceKey = L"Software\\FerruleTests";
const std::wstring VersionedClass = L"{F0E1D2C3-0000-4000-8000-000000000036}";
const std::wstring PlainClass = L"{F0E1D2C3-0000-4000-8000-000000000035}";

std::wstring ToLower(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(::towlower(c));
    return text;
}

void RemoveProgId(const std::wstring& progId, const std::wstring& classId) {
    DeleteRegistryTree(HKEY_CLASSES_ROOT, progId);
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L"CLSID\\" + classId);
}

void RegisterServer(const std::wstring& progId, const std::wstring& classId, const std::wstring& server,
                    DWORD type = REG_SZ) {
    WriteRegistryString(HKEY_CLASSES_ROOT, progId + L"\\CLSID", nullptr, classId);
    WriteRegistryString(HKEY_CLASSES_ROOT, L"CLSID\\" + classId + L"\\InprocServer32", nullptr, server, type);
}

// ---- The library search

TEST(LibrarySearch, ALibraryTheSystemCannotFindGivesNothing) {
    EXPECT_EQ(GetModulePathOf(u"NoSuchLibraryAnywhere"), u"");
    EXPECT_EQ(GetCrystalReportsVersion(), 0u);
}

TEST(LibrarySearch, TheKernelIsFoundWithItsVersionAndProductName) {
    const WideString path = GetModulePathOf(u"kernel32");
    EXPECT_EQ(ToLower(Win(path)), ToLower(Win(GetSystemFolder())) + L"\\kernel32.dll");
    WideString product = u"stale";
    EXPECT_NE(GetKernelVersion(product), 0u);
    EXPECT_FALSE(product.empty());
    WideString company = u"stale";
    EXPECT_EQ(GetReportViewerVersion(company), 0u);
    EXPECT_EQ(company, u"");
}

TEST(LibrarySearch, AFoundLibraryIsNeverInitialisedNorAreItsDependenciesLoaded) {
    ScratchFolder folder(L"NeverInitialised");
    const std::wstring library = folder.Path() + L"\\Traced.dll";
    ASSERT_TRUE(::CopyFileW(HostPath(STANDIN_ATTACH_TRACED_PATH).c_str(), library.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileW(HostPath(STANDIN_DEPENDENCY_PATH).c_str(),
                            (folder.Path() + L"\\StandInDependency.dll").c_str(), FALSE));
    DeleteRegistryTree(HKEY_CURRENT_USER, TraceKey);

    EXPECT_EQ(ToLower(Win(GetModulePathOf(Wide(library)))), ToLower(library));
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, TraceKey, L"Attached"), L"");
    EXPECT_EQ(::GetModuleHandleW(L"StandInDependency.dll"), nullptr);
    EXPECT_EQ(::GetModuleHandleW(library.c_str()), nullptr);

    // The trace works: a normal load initialises the library and loads its dependency.
    {
        const UniqueModule loaded(::LoadLibraryExW(library.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
        ASSERT_TRUE(loaded);
        EXPECT_NE(::GetModuleHandleW(L"StandInDependency.dll"), nullptr);
    }
    EXPECT_EQ(ToLower(ReadRegistryString(HKEY_CURRENT_USER, TraceKey, L"Attached")), ToLower(library));
    DeleteRegistryTree(HKEY_CURRENT_USER, TraceKey);
}

// ---- In-process servers of ProgIDs

class ComServers : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        RemoveProgId(L"DAO.TableDef.36", VersionedClass);
        RemoveProgId(L"DAO.TableDef", PlainClass);
    }
    ScratchFolder folder_{L"ComServers"};
};

TEST_F(ComServers, WithoutRegistrationThereIsNoServer) {
    EXPECT_EQ(GetComServerPath(u"DAO.TableDef.36"), u"");
    EXPECT_EQ(GetDaoVersion(), 0u);
}

TEST_F(ComServers, TheUnversionedProgIdIsTheFallback) {
    RegisterServer(L"DAO.TableDef", PlainClass, HostPath(STANDIN_DAO351_PATH));
    EXPECT_EQ(GetComServerPath(u"DAO.TableDef"), Wide(HostPath(STANDIN_DAO351_PATH)));
    EXPECT_EQ(GetDaoVersion(), MakeComponentVersion(3, 51, 0, 0));
}

TEST_F(ComServers, TheVersionedProgIdWinsWhenItHasAVersion) {
    RegisterServer(L"DAO.TableDef", PlainClass, HostPath(STANDIN_DAO351_PATH));
    RegisterServer(L"DAO.TableDef.36", VersionedClass, HostPath(STANDIN_DAO_PATH));
    EXPECT_EQ(GetDaoVersion(), MakeComponentVersion(3, 60, 0, 0));
    // A server file without version counts as nothing, and so does a missing file.
    RegisterServer(L"DAO.TableDef.36", VersionedClass, HostPath(NOT_A_LIBRARY_PATH));
    EXPECT_EQ(GetDaoVersion(), MakeComponentVersion(3, 51, 0, 0));
    RegisterServer(L"DAO.TableDef.36", VersionedClass, folder_.Path() + L"\\gone.dll");
    EXPECT_EQ(GetDaoVersion(), MakeComponentVersion(3, 51, 0, 0));
}

TEST_F(ComServers, TheServerPathIsUsedExactlyAsStored) {
    const std::wstring installed = HostPath(STANDIN_DAO_PATH);
    const std::wstring folder = installed.substr(0, installed.rfind(L'\\'));
    ::SetEnvironmentVariableW(L"FERRULE_STANDIN_FOLDER", folder.c_str());
    const std::wstring stored[] = {
        L"\"" + installed + L"\"",
        L"%FERRULE_STANDIN_FOLDER%\\dao360.dll",
        L"dao360.dll",
    };
    for (const std::wstring& value : stored) {
        RegisterServer(L"DAO.TableDef.36", VersionedClass, value);
        EXPECT_EQ(GetComServerPath(u"DAO.TableDef.36"), Wide(value));
        EXPECT_EQ(GetDaoVersion(), 0u) << value;
    }
    RegisterServer(L"DAO.TableDef.36", VersionedClass, L"%FERRULE_STANDIN_FOLDER%\\dao360.dll", REG_EXPAND_SZ);
    EXPECT_EQ(GetDaoVersion(), 0u);
    ::SetEnvironmentVariableW(L"FERRULE_STANDIN_FOLDER", nullptr);
}

TEST_F(ComServers, ARelativeServerPathCountsFromTheCurrentFolder) {
    ::CopyFileW(HostPath(STANDIN_DAO351_PATH).c_str(), (folder_.Path() + L"\\dao351.dll").c_str(), FALSE);
    RegisterServer(L"DAO.TableDef.36", VersionedClass, L"dao351.dll");
    wchar_t kept[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, kept);
    ::SetCurrentDirectoryW(folder_.Path().c_str());
    const TComponentVersion version = GetDaoVersion();
    ::SetCurrentDirectoryW(kept);
    EXPECT_EQ(version, MakeComponentVersion(3, 51, 0, 0));
}

TEST_F(ComServers, ANonStringServerValueRaises) {
    const DWORD number = 1;
    WriteRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef.36\\CLSID", nullptr, VersionedClass);
    WriteRegistryValue(HKEY_CLASSES_ROOT, L"CLSID\\" + VersionedClass + L"\\InprocServer32", nullptr, REG_DWORD,
                       &number, sizeof number);
    EXPECT_EQ(MessageOf([] { GetDaoVersion(); }), "Invalid data type for ''");
    EXPECT_THROW(GetComServerVersion(u"DAO.TableDef.36"), ERegistryException);
}

TEST_F(ComServers, EveryProgIdDetectorReadsItsOwnRegistrations) {
    struct TCase {
        const wchar_t* ProgId;
        TComponentVersion (*Detector)();
    };
    // Wine registers MDAC 2.8 itself (RowPosition.RowPosition); its registration is left alone.
    const TCase cases[] = {
        {L"CAPICOM.EncryptedData", GetCapicomVersion},
        {L"Microsoft.Jet.OLEDB.4.0", GetJetVersion},
        {L"SQLDMO.Application.7.0", GetSqlDmoVersion},
        {L"SQLDMO.Application", GetSqlDmoVersion},
    };
    for (const TCase& test : cases) {
        EXPECT_EQ(test.Detector(), 0u) << test.ProgId;
        RegisterServer(test.ProgId, PlainClass, HostPath(STANDIN_DAO351_PATH));
        EXPECT_EQ(test.Detector(), MakeComponentVersion(3, 51, 0, 0)) << test.ProgId;
        RemoveProgId(test.ProgId, PlainClass);
    }
    EXPECT_GE(GetMdacVersion() >> 32, 0x00020032u);
}

// ---- Files below the system folder

TEST(SystemFolderFiles, TheCrystalFilesAreReadWhereTheyLie) {
    const std::wstring crystal = Win(GetSystemFolder()) + L"\\Crystal";
    std::filesystem::create_directories(crystal);
    EXPECT_EQ(GetCrystalUflVersion(), 0u);
    struct TCase {
        const wchar_t* File;
        TComponentVersion (*Detector)();
    };
    const TCase cases[] = {{L"p2soledb.dll", GetCrystalOleDbVersion},
                           {L"u2lcom.dll", GetCrystalUflVersion},
                           {L"U2FXLS.DLL", GetCrystalXlsVersion}};
    for (const TCase& test : cases) {
        const std::wstring path = crystal + L"\\" + test.File;
        ASSERT_TRUE(::CopyFileW(HostPath(STANDIN_DAO351_PATH).c_str(), path.c_str(), FALSE));
        EXPECT_EQ(test.Detector(), MakeComponentVersion(3, 51, 0, 0)) << test.File;
        RemoveFile(path);
    }
    std::filesystem::remove_all(crystal);
}

// ---- Office

const wchar_t* const OfficeVersions[] = {L"11.0", L"10.0", L"9.0"};

class Office : public ::testing::Test {
protected:
    void SetUp() override {
        TearDown();
        for (const wchar_t* version : OfficeVersions)
            std::filesystem::create_directories(folder_.Path() + L"\\" + version);
    }
    void TearDown() override {
        for (const wchar_t* version : OfficeVersions)
            for (const wchar_t* app : {L"Word", L"Excel", L"Outlook", L"Access"})
                DeleteRegistryTree(HKEY_LOCAL_MACHINE,
                                   std::wstring(L"Software\\Microsoft\\Office\\") + version + L"\\" + app);
    }
    // Registers the install root of an Office version's application; with the executable, it
    // is there too.
    std::wstring Install(const wchar_t* version, const wchar_t* app, const wchar_t* executable) {
        const std::wstring root = folder_.Path() + L"\\" + version + L"\\";
        WriteRegistryString(HKEY_LOCAL_MACHINE,
                            std::wstring(L"Software\\Microsoft\\Office\\") + version + L"\\" + app + L"\\InstallRoot",
                            L"Path", root);
        if (executable != nullptr)
            WriteFileBytes(root + executable, {'M', 'Z'});
        return root;
    }
    ScratchFolder folder_{L"Office"};
};

TEST_F(Office, TheNewestInstalledVersionWins) {
    Install(L"9.0", L"Word", L"WINWORD.EXE");
    const std::wstring newest = Install(L"11.0", L"Word", L"WINWORD.EXE");
    EXPECT_EQ(GetOfficeInstallRoot(u"11.0", u"Word"), Wide(newest));
    EXPECT_EQ(GetOfficeAppVersion(u"Word", u"WINWORD.EXE"), u"11.0");
    RemoveFile(newest + L"WINWORD.EXE");
    EXPECT_EQ(GetOfficeAppVersion(u"Word", u"WINWORD.EXE"), u"9.0");
    EXPECT_EQ(GetOfficeAppVersion(u"Excel", u"EXCEL.EXE"), u"");
}

TEST_F(Office, ARootWithoutTheExecutableOrWithoutPathIsNotAnInstallation) {
    Install(L"10.0", L"Excel", nullptr);
    EXPECT_EQ(GetOfficeAppVersion(u"Excel", u"EXCEL.EXE"), u"");
    WriteRegistryString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Office\\9.0\\Excel\\InstallRoot", L"Other", L"x");
    EXPECT_EQ(GetOfficeInstallRoot(u"9.0", u"Excel"), u"");
    // Without a root the bare name would be looked up in the current folder.
    WriteFileBytes(folder_.Path() + L"\\EXCEL.EXE", {'M', 'Z'});
    wchar_t kept[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, kept);
    ::SetCurrentDirectoryW(folder_.Path().c_str());
    const WideString version = GetOfficeAppVersion(u"Excel", u"EXCEL.EXE");
    ::SetCurrentDirectoryW(kept);
    EXPECT_EQ(version, u"");
}

TEST_F(Office, TheUnitStartFindsEachApplicationAndItsEndForgetsThem) {
    Install(L"10.0", L"Outlook", L"OUTLOOK.EXE");
    Install(L"9.0", L"Access", L"MSACCESS.EXE");
    {
        TUnitStartup units{&VynLXUtilsUnit};
        EXPECT_EQ(OfficeAppVersions[oaWord].Version, u"");
        EXPECT_FALSE(OfficeAppVersions[oaWord].Installed);
        EXPECT_FALSE(OfficeAppVersions[oaExcel].Installed);
        EXPECT_EQ(OfficeAppVersions[oaOutlook].Version, u"10.0");
        EXPECT_TRUE(OfficeAppVersions[oaOutlook].Installed);
        EXPECT_EQ(OfficeAppVersions[oaAccess].Version, u"9.0");
        EXPECT_TRUE(OfficeAppVersions[oaAccess].Installed);
    }
    EXPECT_FALSE(OfficeAppVersions[oaOutlook].Installed);
    EXPECT_EQ(OfficeAppVersions[oaAccess].Version, u"");
}

TEST_F(Office, ANonStringRootStopsTheUnitStartWithNothingMade) {
    const DWORD number = 1;
    WriteRegistryValue(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Office\\11.0\\Access\\InstallRoot", L"Path",
                       REG_DWORD, &number, sizeof number);
    Install(L"9.0", L"Word", L"WINWORD.EXE");
    EXPECT_EQ(MessageOf([] { TUnitStartup units{&VynLXUtilsUnit}; }), "Invalid data type for 'Path'");
    EXPECT_EQ(GarbageCollectedFolderList, nullptr);
    EXPECT_FALSE(OfficeAppVersions[oaWord].Installed);
}

} // namespace
