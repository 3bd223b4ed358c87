#include "VynLXUtils.h"

#include <shlobj.h>

#include <memory>

#include "Application.h"
#include "Handles.h"
#include "OSError.h"
#include "Random.h"
#include "SystemLibraries.h"
#include "TextConversion.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtils.h"
#include "VynWindows.h"

TVynStringList* GarbageCollectedFolderList = nullptr;
TVynStringList* GarbageCollectedFileList = nullptr;

namespace {

// ---- Translatable texts

constexpr char16_t SCouldNotCreate[] = u"Could not create %s";
constexpr char16_t SNotAssigned[] = u"Internal Error: %s not assigned.";
constexpr char16_t SFileDoesNotExist[] = u"Internal Error: File does not exist: ";
constexpr char16_t SNoFreeTempFileName[] = u"Could not find an unused temporary file name in %s";
constexpr char16_t SShellExecuteUnknownCode[] =
    u"Internal Error: ShellExecute() returned code %d for \"%s\".";
constexpr char16_t SShellOutOfResources[] = u"The operating system is out of memory or resources.";
constexpr char16_t SShellFileNotFound[] = u"The specified file was not found.";
constexpr char16_t SShellPathNotFound[] = u"The specified path was not found.";
constexpr char16_t SShellAccessDenied[] = u"The operating system denied access to the specified file.";
constexpr char16_t SShellOutOfMemory[] = u"There was not enough memory to complete the operation.";
constexpr char16_t SShellBadFormat[] =
    u"The .exe file is invalid (non-Microsoft Win32\u00AE .exe or error in .exe image).";
constexpr char16_t SShellSharingViolation[] = u"A sharing violation occurred.";
constexpr char16_t SShellAssociationIncomplete[] = u"The file name association is incomplete or invalid.";
constexpr char16_t SShellDdeTimeout[] =
    u"The DDE transaction could not be completed because the request timed out.";
constexpr char16_t SShellDdeFailed[] = u"The DDE transaction failed.";
constexpr char16_t SShellDdeBusy[] =
    u"The Dynamic Data Exchange (DDE) transaction could not be completed because "
    u"other DDE transactions were being processed.";
constexpr char16_t SShellNotPrintable[] = u"The specified file is not printable.";
constexpr char16_t SShellNoAssociation[] =
    u"There is no application associated with the given file name extension.";
constexpr char16_t SShellDllNotFound[] = u"The specified dynamic-link library (DLL) was not found.";

// Counts starts, so that nested start-ups share one pair of lists.
int unitStarts = 0;
// The runtime's generator is seeded from the clock at this unit's first draw, once per process.
bool randomSeeded = false;

[[noreturn]] void RaiseGeneral(const WideString& message) {
    throw EVynGeneralError(WideToAnsi(message));
}

HWND ApplicationWindow() {
    return Application != nullptr ? Application->Handle() : nullptr;
}

bool PathExists(const WideString& path) {
    return VynGetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint32_t DrawRandom(uint32_t range) {
    if (!randomSeeded) {
        Randomize();
        randomSeeded = true;
    }
    return Random(range);
}

// Text from a system call that fills a buffer and returns the length written, or the size needed
// (terminator included) when the buffer is too small. Asks once with MAX_PATH units and again with
// the size asked for, so that a long path is neither cut nor lost.
template <typename Query> WideString QueryText(Query query) {
    std::u16string buffer(MAX_PATH, u'\0');
    DWORD length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length >= buffer.size()) {
        buffer.assign(length + 1, u'\0');
        length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length >= buffer.size())
            return {};
    }
    buffer.resize(length);
    return buffer.substr(0, buffer.find(u'\0'));
}

WideString ShellFolderPath(int csidl) {
    LPITEMIDLIST items = nullptr;
    const auto folderLocation =
        Shell32Library().Get<decltype(&::SHGetSpecialFolderLocation)>("SHGetSpecialFolderLocation");
    if (FAILED(folderLocation(ApplicationWindow(), csidl, &items)))
        items = nullptr;
    char16_t path[MAX_PATH + 1] = {};
    const bool found = items != nullptr && VynSHGetPathFromIDListW(items, path);
    if (items != nullptr) {
        // The list belongs to the shell's allocator, found or not.
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(Shell32Library().Get<decltype(&::SHGetMalloc)>("SHGetMalloc")(&allocator)) &&
            allocator != nullptr) {
            allocator->Free(items);
            allocator->Release();
        }
    }
    return found ? WideString(path) : WideString();
}

TSpecialFolderLookup& SpecialFolderLookup() {
    static TSpecialFolderLookup lookup = ShellFolderPath;
    return lookup;
}

// The spelling the file system has for the last element of path, or "" when it finds nothing.
// A name with wildcards is not looked up: the search would report some other file's name.
WideString FoundSpelling(const WideString& path) {
    if (path.find_first_of(u"*?") != WideString::npos)
        return {};
    WIN32_FIND_DATAW found{};
    UniqueFindHandle search(VynFindFirstFileW(path.c_str(), &found));
    if (!search)
        return {};
    return WideString(reinterpret_cast<const char16_t*>(found.cFileName));
}

// Length of the root of a full path: "C:\" (3), "\\server\share" up to its next backslash, "\" (1);
// 0 when the path has no root.
size_t RootLength(const WideString& path) {
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
        const size_t afterServer = path.find(u'\\', 2);
        if (afterServer == WideString::npos)
            return path.size();
        const size_t afterShare = path.find(u'\\', afterServer + 1);
        return afterShare == WideString::npos ? path.size() : afterShare;
    }
    if (path.size() >= 2 && path[1] == u':')
        return path.size() >= 3 && path[2] == u'\\' ? 3 : 2;
    return !path.empty() && path[0] == u'\\' ? 1 : 0;
}

// The folder part of a path: up to its last "\" or ":", keeping the "\" after a drive colon and
// never shorter than the path's root.
WideString FolderPartOf(const WideString& path) {
    const size_t delimiter = path.find_last_of(u"\\:");
    if (delimiter == WideString::npos)
        return {};
    size_t length = delimiter;
    if (path[delimiter] == u':' || delimiter == 0 || path[delimiter - 1] == u':')
        length = delimiter + 1;
    const size_t root = RootLength(path);
    return path.substr(0, length < root ? root : length);
}

// GetLongPathOf for a path already expanded: every step drops an element, so the recursion ends.
WideString LongPathOfFullPath(const WideString& path) {
    const WideString folder = FolderPartOf(path);
    if (folder.empty()) {
        const WideString spelling = FoundSpelling(path);
        return spelling.empty() ? path : spelling;
    }
    if (folder.size() >= path.size())
        return path;
    const WideString spelling = FoundSpelling(path);
    const size_t elementStart = path[folder.size()] == u'\\' ? folder.size() + 1 : folder.size();
    return AddBackslash(LongPathOfFullPath(folder)) +
           (spelling.empty() ? path.substr(elementStart) : spelling);
}

// The lists exist between the unit's start and end; outside that, callers get the internal error.
TVynStringList& CleanUpList(TVynStringList* list, const char16_t* name) {
    CheckAssigned(list, name);
    return *list;
}

// The owners of the two clean-up lists; the exported pointers are views of them.
std::unique_ptr<TVynStringList> ownedFolderList;
std::unique_ptr<TVynStringList> ownedFileList;

void StartVynLXUtils() {
    if (unitStarts > 0) {
        ++unitStarts;
        return;
    }
    // First, because it may raise (a registry value of the wrong type) and nothing is made yet.
    DetectOfficeAppVersions();
    ownedFolderList = std::make_unique<TVynStringList>();
    ownedFileList = std::make_unique<TVynStringList>();
    GarbageCollectedFolderList = ownedFolderList.get();
    GarbageCollectedFileList = ownedFileList.get();
    CreateCursorStack();
    ++unitStarts;
}

void EndVynLXUtils() {
    if (unitStarts == 0 || --unitStarts > 0)
        return;
    FreeCursorStack();
    // The lists go even when a removal fails, so that nothing outlives the unit.
    struct ReleaseLists {
        ~ReleaseLists() {
            GarbageCollectedFolderList = nullptr;
            GarbageCollectedFileList = nullptr;
            ownedFolderList.reset();
            ownedFileList.reset();
        }
    } release;
    ClearOfficeAppVersions();
    RemoveTempFolders();
    RemoveTempFiles();
}

} // namespace

const TUnitInfo VynLXUtilsUnit{"lib/VynLX/VynLXUtils", StartVynLXUtils, EndVynLXUtils};

// ---- Special folders and folder creation

WideString GetSpecialFolder(int csidl) {
    return SpecialFolderLookup()(csidl);
}

TSpecialFolderLookup SetSpecialFolderLookup(TSpecialFolderLookup lookup) {
    const TSpecialFolderLookup previous = SpecialFolderLookup();
    SpecialFolderLookup() = lookup != nullptr ? lookup : ShellFolderPath;
    return previous;
}

WideString GetProgramFilesFolder() {
    WideString folder = GetSpecialFolder(CSIDL_PROGRAM_FILES);
    if (folder.empty()) {
        folder = u"C:\\Program Files";
        ForceFolder(folder);
    }
    return folder;
}

WideString GetCommonFilesFolder() {
    WideString folder = GetSpecialFolder(CSIDL_PROGRAM_FILES_COMMON);
    if (folder.empty()) {
        folder = GetProgramFilesFolder() + u"\\Common Files";
        ForceFolder(folder);
    }
    return folder;
}

void ForceFolder(const WideString& path) {
    if (!ForceDirectoriesWide(path))
        RaiseGeneral(FormatWide(SCouldNotCreate, {path}));
}

// ---- Path helpers

WideString AddBackslash(const WideString& path) {
    if (!path.empty() && path.back() == u'\\')
        return path;
    return path + u'\\';
}

WideString RemoveBackslash(const WideString& path) {
    return ExcludeTrailingBackslashWide(path);
}

WideString ExtractFileNameNoExt(const WideString& path) {
    // The name is what follows the last delimiter, so any dot in it belongs to the name itself.
    const WideString name = ExtractFileNameWide(path);
    const size_t dot = name.rfind(u'.');
    return dot == WideString::npos ? name : name.substr(0, dot);
}

WideString GetLongPathOf(const WideString& path) {
    if (path.empty())
        return {};
    WideString full = QueryText([&path](char16_t* buffer, DWORD capacity) {
        return VynGetFullPathNameW(path.c_str(), capacity, buffer, nullptr);
    });
    if (full.empty())
        full = path;
    return LongPathOfFullPath(full);
}

// ---- System folders and modules

WideString GetTempFolder() {
    return QueryText([](char16_t* buffer, DWORD capacity) { return VynGetTempPathW(capacity, buffer); });
}

WideString GetSystemFolder() {
    return QueryText(
        [](char16_t* buffer, DWORD capacity) { return VynGetSystemDirectoryW(buffer, capacity); });
}

WideString ModulePathOf(HMODULE module) {
    // The call truncates a long path to the buffer (without a terminator on older systems) and
    // returns the buffer's size; a larger buffer then holds it whole.
    std::u16string buffer(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length = VynGetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            RaiseLastOSError("GetModuleFileNameW");
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer.substr(0, buffer.find(u'\0'));
        }
        if (buffer.size() >= 0x8000)
            RaiseOSError(ERROR_INSUFFICIENT_BUFFER, "GetModuleFileNameW");
        buffer.assign(buffer.size() * 2, u'\0');
    }
}

WideString GetProgramPath() {
    return ModulePathOf(nullptr);
}

// ---- Temporary folders and files

WideString CreateTempFolder() {
    TVynStringList& list = CleanUpList(GarbageCollectedFolderList, u"GarbageCollectedFolderList");
    const WideString temp = GetTempFolder();
    for (;;) {
        // The draw read as signed, so the number may be negative.
        const int32_t number = static_cast<int32_t>(DrawRandom(0xFFFFFFFF));
        const WideString candidate = AddBackslash(temp + u"Temp" + FormatWide(u"%d", {number}));
        if (PathExists(candidate))
            continue;
        ForceFolder(temp);
        // Creating the last level ourselves makes the name ours: another process that picked the
        // same number in the meantime makes the call fail, and we draw again.
        if (!VynCreateDirectoryW(candidate.c_str(), nullptr)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
                continue;
            RaiseGeneral(FormatWide(SCouldNotCreate, {candidate}));
        }
        list.AppendEntry(candidate);
        return candidate;
    }
}

WideString CreateTempFileName(const WideString& extension, const WideString& folder,
                              const WideString& prefix) {
    TVynStringList& list = CleanUpList(GarbageCollectedFileList, u"GarbageCollectedFileList");
    const WideString base = AddBackslash(folder == SystemTempFolderMarker ? GetTempFolder() : folder);
    ForceFolder(base);
    // 65536 names exist per folder and prefix; a folder that holds them all must not hang us.
    for (int attempt = 0; attempt < 0x100000; ++attempt) {
        const uint32_t number = DrawRandom(0xFFFFFFFF) & 0xFFFF;
        const WideString name = base + prefix + u"-" + FormatWide(u"%X", {number}) + extension;
        if (!PathExists(name)) {
            list.AppendEntry(name);
            return name;
        }
    }
    RaiseGeneral(FormatWide(SNoFreeTempFileName, {base}));
}

void RemoveTempFolder(const WideString& path) {
    try {
        if (DirectoryExistsWide(path))
            ShellDelete(path, FOF_NOCONFIRMATION | FOF_NOERRORUI);
        TVynStringList& list = CleanUpList(GarbageCollectedFolderList, u"GarbageCollectedFolderList");
        list.RemoveAt(list.PositionOf(path));
    } catch (...) {
        // A folder that cannot go stays behind; one that was never registered is simply deleted.
    }
}

void RemoveTempFolders() {
    TVynStringList* list = GarbageCollectedFolderList;
    if (list == nullptr)
        return;
    for (int index = list->Count() - 1; index >= 0; --index) {
        if (index < list->Count())
            RemoveTempFolder(list->Entry(index));
    }
    list->RemoveAll();
}

void RemoveTempFiles() {
    TVynStringList* list = GarbageCollectedFileList;
    if (list == nullptr)
        return;
    for (int index = 0; index < list->Count(); ++index)
        DeleteFileWide(list->Entry(index));
    list->RemoveAll();
}

// ---- Deleting and opening

void ClearReadOnly(const WideString& path) {
    if (!PathExists(path))
        return;
    const DWORD attributes = VynGetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        RaiseLastOSError("GetFileAttributesW", path);
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        !VynSetFileAttributesW(path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}))
        RaiseLastOSError("SetFileAttributesW", path);
}

void DeleteFileForced(const WideString& path) {
    if (VynDeleteFileW(path.c_str()))
        return;
    ClearReadOnly(path);
    if (!VynDeleteFileW(path.c_str()))
        RaiseLastOSError("DeleteFileW", path);
}

void ShellDelete(const WideString& path, FILEOP_FLAGS flags) {
    // The shell reads a relative name against whatever the current folder is, so it gets the full
    // path. A drive or share root cannot be deleted, and without its backslash it would name the
    // current folder of the drive; neither may turn into a deletion somewhere else.
    if (path.empty())
        throw EAbort("Operation aborted");
    const WideString full = QueryText([&path](char16_t* buffer, DWORD capacity) {
        return VynGetFullPathNameW(path.c_str(), capacity, buffer, nullptr);
    });
    if (full.empty() || RootLength(full) >= RemoveBackslash(full).size())
        throw EAbort("Operation aborted");
    WideString source = DirectoryExistsWide(full) ? RemoveBackslash(full) : full;
    source.push_back(u'\0'); // with the string's own terminator: the double zero ending the list

    const char16_t noDestination[2] = {};
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = ApplicationWindow();
    operation.wFunc = FO_DELETE;
    operation.pFrom = WinText(source);
    operation.pTo = WinText(noDestination);
    operation.fFlags = flags;
    if (VynSHFileOperationW(&operation) != 0 || operation.fAnyOperationsAborted)
        throw EAbort("Operation aborted");
}

void ShellOpen(const WideString& file, const WideString& parameters, const WideString& folder,
               int showCommand) {
    // The wrapper passes empty texts as null, which is what the shell expects for "none".
    const HINSTANCE result = VynShellExecuteW(ApplicationWindow(), u"open", file.c_str(), parameters.c_str(),
                                              folder.c_str(), showCommand);
    CheckShellExecuteResult(reinterpret_cast<uintptr_t>(result), u"open", file);
}

void CheckShellExecuteResult(uintptr_t code, const WideString& operation, const WideString& file) {
    if (code > 32)
        return;
    switch (code) {
    case 0:
        RaiseGeneral(SShellOutOfResources);
    case ERROR_FILE_NOT_FOUND:
        RaiseGeneral(SShellFileNotFound);
    case ERROR_PATH_NOT_FOUND:
        RaiseGeneral(SShellPathNotFound);
    case SE_ERR_ACCESSDENIED:
        RaiseGeneral(SShellAccessDenied);
    case SE_ERR_OOM:
        RaiseGeneral(SShellOutOfMemory);
    case ERROR_BAD_FORMAT:
        RaiseGeneral(SShellBadFormat);
    case SE_ERR_SHARE:
        RaiseGeneral(SShellSharingViolation);
    case SE_ERR_ASSOCINCOMPLETE:
        RaiseGeneral(SShellAssociationIncomplete);
    case SE_ERR_DDETIMEOUT:
        RaiseGeneral(SShellDdeTimeout);
    case SE_ERR_DDEFAIL:
        RaiseGeneral(SShellDdeFailed);
    case SE_ERR_DDEBUSY:
        RaiseGeneral(SShellDdeBusy);
    case SE_ERR_NOASSOC:
        RaiseGeneral(UpperCaseWide(operation) == u"PRINT" ? SShellNotPrintable : SShellNoAssociation);
    case SE_ERR_DLLNOTFOUND:
        RaiseGeneral(SShellDllNotFound);
    default:
        throw EVynInternalError(
            WideToAnsi(FormatWide(SShellExecuteUnknownCode, {static_cast<int>(code), file})));
    }
}

// ---- Checks

void CheckCondition(bool condition, const WideString& message) {
    if (!condition)
        throw Exception(WideToAnsi(message));
}

void CheckAssigned(const void* reference, const WideString& name) {
    if (reference == nullptr)
        throw EVynInternalError(WideToAnsi(FormatWide(SNotAssigned, {name})));
}

void AssertFileExists(const WideString& path) {
    CheckCondition(FileExistsWide(path), SFileDoesNotExist + path);
}
