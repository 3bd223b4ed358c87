// A stand-in for the DAO 3.60 engine library: an in-process COM server that registers one
// class under the ProgIDs the installer's detection asks for. Build options turn it into the
// test fixtures (a failing or S_FALSE registration, an unload trace).
#include <windows.h>
#include <ole2.h>
#include <olectl.h>
#include <shlwapi.h>

#include <atomic>
#include <cwchar>
#include <new>

namespace {

const CLSID TableDefClassId = {0x00000103, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x6D, 0x2E, 0xA4}};
const wchar_t TableDefClassIdText[] = L"{00000103-0000-0010-8000-00AA006D2EA4}";
const wchar_t VersionedProgId[] = L"DAO.TableDef.36";
const wchar_t ProgId[] = L"DAO.TableDef";

HMODULE thisModule = nullptr;
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

class RegKey {
public:
    explicit RegKey(const wchar_t* path) {
        if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key_, nullptr) != 0)
            key_ = nullptr;
    }
    ~RegKey() {
        if (key_ != nullptr)
            ::RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    bool SetString(const wchar_t* name, const wchar_t* value) {
        return key_ != nullptr &&
               ::RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(wchar_t))) == 0;
    }

private:
    HKEY key_ = nullptr;
};

[[maybe_unused]] bool WriteKey(const wchar_t* path, const wchar_t* name, const wchar_t* value) {
    RegKey key(path);
    return key.SetString(name, value);
}

class TableDef : public IUnknown {
public:
    TableDef() { ++liveObjects; }
    virtual ~TableDef() { --liveObjects; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --references_;
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

private:
    std::atomic<long> references_{1};
};

class TableDefFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is a static object: its lifetime is the module's.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        auto* instance = new (std::nothrow) TableDef;
        if (instance == nullptr)
            return E_OUTOFMEMORY;
        const HRESULT result = instance->QueryInterface(iid, object);
        instance->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++serverLocks : --serverLocks;
        return S_OK;
    }
};

TableDefFactory factory;

#if defined(STANDIN_TRACE_UNLOAD) || defined(STANDIN_TRACE_ATTACH)
// Tests read these values to see that the library was initialised, or unloaded (not merely left
// to process exit).
void LeaveTrace(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(thisModule, path, MAX_PATH);
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\FerruleTests", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr) == 0) {
        ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                         static_cast<DWORD>((std::wcslen(path) + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
    }
}
#endif

#ifdef STANDIN_TRACE_ATTACH
// Imported from a library of its own, so that tests can see whether dependencies were loaded.
extern "C" __declspec(dllimport) int StandInDependencyMarker();
#endif

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        ::DisableThreadLibraryCalls(instance);
#ifdef STANDIN_TRACE_ATTACH
        if (StandInDependencyMarker() != 0)
            LeaveTrace(L"Attached");
#endif
    }
#ifdef STANDIN_TRACE_UNLOAD
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr)
        LeaveTrace(L"Unloaded");
#else
    (void)reserved;
#endif
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID iid, void** object) {
    if (!IsEqualCLSID(classId, TableDefClassId))
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return (liveObjects == 0 && serverLocks == 0) ? S_OK : S_FALSE;
}

#ifndef STANDIN_WITHOUT_REGISTRATION
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
#ifdef STANDIN_REGISTER_RESULT
    return STANDIN_REGISTER_RESULT;
#else
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(thisModule, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return E_FAIL;
    wchar_t classKey[64];
    std::swprintf(classKey, 64, L"CLSID\\%ls", TableDefClassIdText);
    wchar_t serverKey[96];
    std::swprintf(serverKey, 96, L"%ls\\InprocServer32", classKey);
    wchar_t progIdKey[96];
    std::swprintf(progIdKey, 96, L"%ls\\ProgID", classKey);
    wchar_t independentKey[96];
    std::swprintf(independentKey, 96, L"%ls\\VersionIndependentProgID", classKey);
    const bool written = WriteKey(classKey, nullptr, L"DAO.TableDef") && WriteKey(serverKey, nullptr, path) &&
                         WriteKey(serverKey, L"ThreadingModel", L"Apartment") &&
                         WriteKey(progIdKey, nullptr, VersionedProgId) &&
                         WriteKey(independentKey, nullptr, ProgId) &&
                         WriteKey(L"DAO.TableDef.36", nullptr, L"DAO.TableDef") &&
                         WriteKey(L"DAO.TableDef.36\\CLSID", nullptr, TableDefClassIdText) &&
                         WriteKey(L"DAO.TableDef", nullptr, L"DAO.TableDef") &&
                         WriteKey(L"DAO.TableDef\\CLSID", nullptr, TableDefClassIdText) &&
                         WriteKey(L"DAO.TableDef\\CurVer", nullptr, VersionedProgId);
    return written ? S_OK : SELFREG_E_CLASS;
#endif
}
#endif

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    wchar_t classKey[64];
    std::swprintf(classKey, 64, L"CLSID\\%ls", TableDefClassIdText);
    ::SHDeleteKeyW(HKEY_CLASSES_ROOT, classKey);
    ::SHDeleteKeyW(HKEY_CLASSES_ROOT, VersionedProgId);
    ::SHDeleteKeyW(HKEY_CLASSES_ROOT, ProgId);
    return S_OK;
}
