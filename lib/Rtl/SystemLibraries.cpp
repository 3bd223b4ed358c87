#include "SystemLibraries.h"

#include <string>

#include "OSError.h"

namespace {

// Not in the headers of every toolchain, and absent from systems older than Windows 8 without
// their update: looked up at run time.
constexpr DWORD SearchSystem32 = 0x00000800;       // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD SearchDllLoadDir = 0x00000100;     // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
using TSetDllDirectoryW = BOOL(WINAPI*)(LPCWSTR);

bool systemOnly = false;

HMODULE Kernel32() { return ::GetModuleHandleW(L"kernel32.dll"); }

template <class Procedure> Procedure KernelProc(const char* name) {
    return reinterpret_cast<Procedure>(reinterpret_cast<void*>(::GetProcAddress(Kernel32(), name)));
}

std::u16string Utf16Of(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

} // namespace

bool RestrictLibrarySearch() {
    if (const auto setDefault = KernelProc<TSetDefaultDllDirectories>("SetDefaultDllDirectories");
        setDefault != nullptr && setDefault(SearchSystem32))
        systemOnly = true;
    // Also where the above worked: LoadLibrary calls with a search flag of their own still
    // consult the current folder otherwise.
    if (const auto setDirectory = KernelProc<TSetDllDirectoryW>("SetDllDirectoryW"); setDirectory != nullptr)
        setDirectory(L"");
    return systemOnly;
}

bool LibrarySearchIsSystemOnly() { return systemOnly; }

std::wstring SystemFolderFile(const wchar_t* fileName) {
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return std::wstring();
    std::wstring path(folder, length);
    if (path.back() != L'\\')
        path += L'\\';
    return path + fileName;
}

UniqueModule LoadSystemLibrary(const wchar_t* fileName) {
    if (systemOnly)
        return UniqueModule(::LoadLibraryExW(fileName, nullptr, SearchSystem32));
    const std::wstring path = SystemFolderFile(fileName);
    if (path.empty())
        return UniqueModule();
    // The library's own imports are then searched for beside it, in the system folder.
    return UniqueModule(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

DWORD LibraryAtPathFlags() {
    // Without the search flags, the altered search order puts the library's folder first and
    // leaves out the program's.
    return systemOnly ? SearchDllLoadDir | SearchSystem32 : LOAD_WITH_ALTERED_SEARCH_PATH;
}

UniqueModule LoadLibraryAtPath(const wchar_t* path) {
    return UniqueModule(::LoadLibraryExW(path, nullptr, LibraryAtPathFlags()));
}

const TSystemLibrary& Shell32Library() {
    static const TSystemLibrary library(L"shell32.dll");
    return library;
}

const TSystemLibrary& VersionLibrary() {
    static const TSystemLibrary library(L"version.dll");
    return library;
}

FARPROC TSystemLibrary::FindAddress(const char* name) const {
    std::call_once(loaded_, [this] { module_ = LoadSystemLibrary(fileName_); });
    if (!module_) {
        ::SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return ::GetProcAddress(module_.get(), name);
}

FARPROC TSystemLibrary::GetAddress(const char* name) const {
    const FARPROC address = FindAddress(name);
    if (address == nullptr) {
        const DWORD error = ::GetLastError();
        RaiseOSError(error, name, Utf16Of(fileName_));
    }
    return address;
}
