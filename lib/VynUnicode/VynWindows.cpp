#include "VynWindows.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "AsciiText.h"
#include "Handles.h"
#include "OSError.h"
#include "StringTableEntry.h"
#include "SystemLibraries.h"
#include "VynClasses.h"
#include "VynSysUtils.h"
#include "VynSystem.h"

namespace {

AnsiString Narrow(const char16_t* text) {
    return text == nullptr ? AnsiString() : WideToAnsiCP(WideString(text), DefaultCodePage);
}

// The text for an optional ANSI argument: null for a null or empty one.
const char* NullIfEmpty(const AnsiString& text) {
    return text.empty() ? nullptr : text.c_str();
}

WideString Widen(const char* text, size_t length) {
    return AnsiToWideCP(AnsiString(text, length), DefaultCodePage);
}

// Copies wide text into a fixed field, cut to leave room for the terminator.
template <size_t N> void CopyIntoField(WCHAR (&field)[N], const WideString& text) {
    const size_t count = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), count * sizeof(WCHAR));
    field[count] = 0;
}

void WidenFindData(const WIN32_FIND_DATAA& ansi, WIN32_FIND_DATAW* wide) {
    // Attributes, the three times, the size and the two reserved words lie alike in both records.
    static_assert(offsetof(WIN32_FIND_DATAA, cFileName) == 44 && offsetof(WIN32_FIND_DATAW, cFileName) == 44);
    std::memcpy(wide, &ansi, 44);
    CopyIntoField(wide->cFileName, Widen(ansi.cFileName, strnlen(ansi.cFileName, sizeof ansi.cFileName)));
    CopyIntoField(
        wide->cAlternateFileName,
        Widen(ansi.cAlternateFileName, strnlen(ansi.cAlternateFileName, sizeof ansi.cAlternateFileName)));
}

// The units of a double-zero-terminated list up to and including its last string's terminator.
WideString DoubleZeroList(const char16_t* list) {
    if (list == nullptr)
        return {};
    size_t length = 0;
    while (list[length] != 0 || list[length + 1] != 0)
        ++length;
    return WideString(list, length + 1);
}

// Shell entry points resolved from "shell32.dll" on first use, so the program also loads where
// the shell has no wide entry points.
using TSHFileOperationW = int(WINAPI*)(SHFILEOPSTRUCTW*);
using TSHGetPathFromIDListW = BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, WCHAR*);

struct TShellEntries {
    UniqueModule Library;
    TSHFileOperationW FileOperation = nullptr;
    TSHGetPathFromIDListW GetPathFromIDList = nullptr;
};

TShellEntries& ShellEntries() {
    static TShellEntries entries;
    return entries;
}

std::mutex& ShellEntriesLock() {
    static std::mutex lock;
    return lock;
}

const TShellEntries& LoadedShellEntries() {
    std::lock_guard<std::mutex> guard(ShellEntriesLock());
    TShellEntries& entries = ShellEntries();
    if (entries.Library)
        return entries;
    UniqueModule library = LoadSystemLibrary(L"shell32.dll");
    if (!library)
        RaiseLastOSError("LoadLibraryExW", u"shell32.dll");
    auto fileOperation = reinterpret_cast<TSHFileOperationW>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), "SHFileOperationW")));
    if (fileOperation == nullptr)
        RaiseLastOSError("GetProcAddress", u"SHFileOperationW");
    auto getPath = reinterpret_cast<TSHGetPathFromIDListW>(
        reinterpret_cast<void*>(::GetProcAddress(library.get(), "SHGetPathFromIDListW")));
    if (getPath == nullptr)
        RaiseLastOSError("GetProcAddress", u"SHGetPathFromIDListW");
    entries.FileOperation = fileOperation;
    entries.GetPathFromIDList = getPath;
    entries.Library = std::move(library);
    return entries;
}

// The last StringFileInfo value of the ANSI path of VerQueryValueW, as wide text.
WideString& StringFileInfoValue() {
    static WideString value;
    return value;
}

// Name-mapping blocks made by the ANSI path of SHFileOperationW: the system's layout, a count
// and the address of the records, which follow in the same block.
struct TWideNameMappings {
    UINT Count;
    SHNAMEMAPPINGW* Mappings;
};

std::set<void*>& OwnNameMappings() {
    static std::set<void*> blocks;
    return blocks;
}

void EndVynWindows() {
    std::lock_guard<std::mutex> guard(ShellEntriesLock());
    TShellEntries& entries = ShellEntries();
    entries.FileOperation = nullptr;
    entries.GetPathFromIDList = nullptr;
    entries.Library.reset();
    StringFileInfoValue() = WideString();
}

} // namespace

const TUnitInfo VynWindowsUnit{"lib/VynUnicode/VynWindows", nullptr, EndVynWindows};

HANDLE VynCreateFileW(const char16_t* fileName, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                      DWORD creation, DWORD flags, HANDLE templateFile) {
    if (VynPlatformIsNT)
        return ::CreateFileW(WinText(fileName), access, shareMode, security, creation, flags, templateFile);
    return ::CreateFileA(Narrow(fileName).c_str(), access, shareMode, security, creation, flags,
                         templateFile);
}

DWORD VynGetFileAttributesW(const char16_t* fileName) {
    if (VynPlatformIsNT)
        return ::GetFileAttributesW(WinText(fileName));
    return ::GetFileAttributesA(Narrow(fileName).c_str());
}

BOOL VynSetFileAttributesW(const char16_t* fileName, DWORD attributes) {
    if (VynPlatformIsNT)
        return ::SetFileAttributesW(WinText(fileName), attributes);
    return ::SetFileAttributesA(Narrow(fileName).c_str(), attributes);
}

BOOL VynCreateDirectoryW(const char16_t* path, SECURITY_ATTRIBUTES* security) {
    if (VynPlatformIsNT)
        return ::CreateDirectoryW(WinText(path), security);
    return ::CreateDirectoryA(Narrow(path).c_str(), security);
}

BOOL VynDeleteFileW(const char16_t* fileName) {
    if (VynPlatformIsNT)
        return ::DeleteFileW(WinText(fileName));
    return ::DeleteFileA(Narrow(fileName).c_str());
}

BOOL VynGetDiskFreeSpaceW(const char16_t* rootPath, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                          DWORD* freeClusters, DWORD* totalClusters) {
    if (VynPlatformIsNT)
        return ::GetDiskFreeSpaceW(WinText(rootPath), sectorsPerCluster, bytesPerSector, freeClusters,
                                   totalClusters);
    const AnsiString root = Narrow(rootPath);
    return ::GetDiskFreeSpaceA(rootPath ? root.c_str() : nullptr, sectorsPerCluster, bytesPerSector,
                               freeClusters, totalClusters);
}

HMODULE VynLoadLibraryW(const char16_t* fileName) {
    if (VynPlatformIsNT)
        return ::LoadLibraryW(WinText(fileName));
    return ::LoadLibraryA(Narrow(fileName).c_str());
}

HMODULE VynLoadLibraryExW(const char16_t* fileName, HANDLE reserved, DWORD flags) {
    if (VynPlatformIsNT)
        return ::LoadLibraryExW(WinText(fileName), reserved, flags);
    return ::LoadLibraryExA(Narrow(fileName).c_str(), reserved, flags);
}

DWORD VynGetFileVersionInfoSizeW(const char16_t* fileName, DWORD* handle) {
    if (VynPlatformIsNT) {
        const auto sizeOf =
            VersionLibrary().Find<decltype(&::GetFileVersionInfoSizeW)>("GetFileVersionInfoSizeW");
        return sizeOf != nullptr ? sizeOf(WinText(fileName), handle) : 0;
    }
    const auto sizeOf =
        VersionLibrary().Find<decltype(&::GetFileVersionInfoSizeA)>("GetFileVersionInfoSizeA");
    return sizeOf != nullptr ? sizeOf(Narrow(fileName).c_str(), handle) : 0;
}

BOOL VynGetFileVersionInfoW(const char16_t* fileName, DWORD handle, DWORD length, void* data) {
    if (VynPlatformIsNT) {
        const auto read = VersionLibrary().Find<decltype(&::GetFileVersionInfoW)>("GetFileVersionInfoW");
        return read != nullptr && read(WinText(fileName), handle, length, data);
    }
    const auto read = VersionLibrary().Find<decltype(&::GetFileVersionInfoA)>("GetFileVersionInfoA");
    return read != nullptr && read(Narrow(fileName).c_str(), handle, length, data);
}

BOOL VynSetWindowTextW(HWND window, const char16_t* text) {
    if (VynPlatformIsNT)
        return ::SetWindowTextW(window, WinText(text));
    return ::SetWindowTextA(window, Narrow(text).c_str());
}

HANDLE VynFindFirstFileW(const char16_t* fileName, WIN32_FIND_DATAW* findData) {
    if (VynPlatformIsNT)
        return ::FindFirstFileW(WinText(fileName), findData);
    WIN32_FIND_DATAA ansi{};
    HANDLE find = ::FindFirstFileA(Narrow(fileName).c_str(), &ansi);
    if (find != INVALID_HANDLE_VALUE)
        WidenFindData(ansi, findData);
    return find;
}

BOOL VynFindNextFileW(HANDLE find, WIN32_FIND_DATAW* findData) {
    if (VynPlatformIsNT)
        return ::FindNextFileW(find, findData);
    WIN32_FIND_DATAA ansi{};
    const BOOL found = ::FindNextFileA(find, &ansi);
    if (found)
        WidenFindData(ansi, findData);
    return found;
}

DWORD VynGetFullPathNameW(const char16_t* fileName, DWORD capacity, char16_t* buffer, char16_t** filePart) {
    if (VynPlatformIsNT)
        return ::GetFullPathNameW(WinText(fileName), capacity, WinBuffer(buffer),
                                  reinterpret_cast<WCHAR**>(filePart));
    char ansi[520] = {};
    char* ansiFilePart = nullptr;
    const DWORD length = ::GetFullPathNameA(Narrow(fileName).c_str(), sizeof ansi, ansi, &ansiFilePart);
    if (filePart != nullptr)
        *filePart = nullptr;
    if (length == 0)
        return 0;
    // Too long for the ANSI buffer: nothing was written; the bytes needed bound the units needed.
    if (length >= sizeof ansi) {
        if (buffer != nullptr && capacity > 0)
            buffer[0] = 0;
        return length;
    }
    const DWORD result = CopyBufferResult(capacity, buffer, AnsiString(ansi, length), CopyEmptyWhenTooSmall);
    if (filePart != nullptr && ansiFilePart != nullptr && result < capacity) {
        const size_t offset =
            AnsiToWideCP(AnsiString(ansi, static_cast<size_t>(ansiFilePart - ansi)), DefaultCodePage).size();
        *filePart = buffer + offset;
    }
    return result;
}

DWORD VynGetModuleFileNameW(HMODULE module, char16_t* buffer, DWORD capacity) {
    if (VynPlatformIsNT)
        return ::GetModuleFileNameW(module, WinBuffer(buffer), capacity);
    char ansi[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(module, ansi, sizeof ansi);
    if (length == 0)
        return 0;
    return CopyBufferResult(capacity, buffer, AnsiString(ansi, std::min<DWORD>(length, sizeof ansi)),
                            CopyFillWithoutTerminator);
}

DWORD VynGetTempPathW(DWORD capacity, char16_t* buffer) {
    if (VynPlatformIsNT)
        return ::GetTempPathW(capacity, WinBuffer(buffer));
    char ansi[MAX_PATH] = {};
    const DWORD length = ::GetTempPathA(sizeof ansi, ansi);
    if (length == 0 || length >= sizeof ansi)
        return length;
    return CopyBufferResult(capacity, buffer, AnsiString(ansi, length), CopyCutToFit | CopyEmptyWhenTooSmall);
}

namespace {

// The ANSI path of the calls that fill a folder name into a buffer of MAX_PATH bytes.
UINT FolderThroughAnsi(UINT(WINAPI* ansiCall)(LPSTR, UINT), char16_t* buffer, UINT capacity) {
    char ansi[MAX_PATH] = {};
    const UINT length = ansiCall(ansi, sizeof ansi);
    if (length == 0 || length >= sizeof ansi)
        return length;
    return CopyBufferResult(capacity, buffer, AnsiString(ansi, length), 0);
}

} // namespace

UINT VynGetWindowsDirectoryW(char16_t* buffer, UINT capacity) {
    if (VynPlatformIsNT)
        return ::GetWindowsDirectoryW(WinBuffer(buffer), capacity);
    return FolderThroughAnsi(::GetWindowsDirectoryA, buffer, capacity);
}

UINT VynGetSystemDirectoryW(char16_t* buffer, UINT capacity) {
    if (VynPlatformIsNT)
        return ::GetSystemDirectoryW(WinBuffer(buffer), capacity);
    return FolderThroughAnsi(::GetSystemDirectoryA, buffer, capacity);
}

UINT VynGetTempFileNameW(const char16_t* folder, const char16_t* prefix, UINT unique, char16_t* name) {
    if (VynPlatformIsNT)
        return ::GetTempFileNameW(WinText(folder), WinText(prefix), unique, WinBuffer(name));
    char ansi[MAX_PATH] = {};
    const UINT result = ::GetTempFileNameA(Narrow(folder).c_str(), Narrow(prefix).c_str(), unique, ansi);
    if (result != 0 && CopyBufferResult(MAX_PATH, name, AnsiString(ansi), 0) >= MAX_PATH)
        return 0;
    return result;
}

BOOL VynMoveFileExW(const char16_t* existing, const char16_t* target, DWORD flags) {
    if (VynPlatformIsNT)
        return ::MoveFileExW(WinText(existing), WinText(target), flags);
    const AnsiString from = Narrow(existing);
    const AnsiString to = Narrow(target);
    if (::MoveFileExA(from.c_str(), to.c_str(), flags))
        return TRUE;
    if (::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
        return FALSE;
    if ((flags & MOVEFILE_REPLACE_EXISTING) && ::GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !::DeleteFileA(to.c_str()))
        return FALSE;
    return ::MoveFileA(from.c_str(), to.c_str());
}

namespace {

// The ANSI path of GetComputerNameW and GetUserNameW; countsTerminator says whether the size
// reported on success includes the terminator, as the wide call of each does.
BOOL CopyAnsiName(BOOL called, const char* ansi, char16_t* buffer, DWORD* size, bool countsTerminator,
                  DWORD tooSmallError) {
    if (!called || size == nullptr)
        return FALSE;
    const WideString name = AnsiToWideCP(AnsiString(ansi), DefaultCodePage);
    if (name.empty() || buffer == nullptr || name.size() >= *size) {
        *size = static_cast<DWORD>(name.size() + 1);
        ::SetLastError(name.empty() ? ERROR_INVALID_DATA : tooSmallError);
        return FALSE;
    }
    std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(char16_t));
    *size = static_cast<DWORD>(name.size() + (countsTerminator ? 1 : 0));
    return TRUE;
}

} // namespace

BOOL VynGetComputerNameW(char16_t* buffer, DWORD* size) {
    if (VynPlatformIsNT)
        return ::GetComputerNameW(WinBuffer(buffer), size);
    char ansi[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD ansiSize = sizeof ansi;
    const BOOL called = ::GetComputerNameA(ansi, &ansiSize);
    return CopyAnsiName(called, ansi, buffer, size, false, ERROR_BUFFER_OVERFLOW);
}

BOOL VynGetUserNameW(char16_t* buffer, DWORD* size) {
    if (VynPlatformIsNT)
        return ::GetUserNameW(WinBuffer(buffer), size);
    char ansi[256] = {};
    DWORD ansiSize = 255;
    const BOOL called = ::GetUserNameA(ansi, &ansiSize);
    return CopyAnsiName(called, ansi, buffer, size, true, ERROR_INSUFFICIENT_BUFFER);
}

namespace {

// The ANSI path of a call that writes text into a caller's buffer and counts its terminator: the
// byte length is asked first, since a double-byte text needs more bytes than the caller has units.
template <typename AnsiCall> int WidenedTextResult(AnsiCall ansiCall, char16_t* buffer, int capacity) {
    const int bytes = ansiCall(nullptr, 0);
    if (bytes <= 0)
        return 0;
    std::vector<char> ansi(static_cast<size_t>(bytes));
    const int written = ansiCall(ansi.data(), bytes);
    if (written <= 0)
        return 0;
    const WideString text = Widen(ansi.data(), strnlen(ansi.data(), static_cast<size_t>(written)));
    const int needed = static_cast<int>(text.size() + 1);
    if (capacity == 0)
        return needed;
    if (buffer == nullptr || capacity < needed) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, text.c_str(), static_cast<size_t>(needed) * sizeof(char16_t));
    return needed;
}

} // namespace

int VynGetLocaleInfoW(LCID locale, LCTYPE type, char16_t* buffer, int capacity) {
    if (VynPlatformIsNT)
        return ::GetLocaleInfoW(locale, type, WinBuffer(buffer), capacity);
    return WidenedTextResult(
        [&](char* ansi, int bytes) { return ::GetLocaleInfoA(locale, type, ansi, bytes); }, buffer, capacity);
}

int VynGetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, const char16_t* format,
                      char16_t* buffer, int capacity) {
    if (VynPlatformIsNT)
        return ::GetDateFormatW(locale, flags, date, format != nullptr ? WinText(format) : nullptr,
                                WinBuffer(buffer), capacity);
    const AnsiString ansiFormat = Narrow(format);
    return WidenedTextResult(
        [&](char* ansi, int bytes) {
            return ::GetDateFormatA(locale, flags, date, format != nullptr ? ansiFormat.c_str() : nullptr,
                                    ansi, bytes);
        },
        buffer, capacity);
}

int VynGetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, const char16_t* format,
                      char16_t* buffer, int capacity) {
    if (VynPlatformIsNT)
        return ::GetTimeFormatW(locale, flags, time, format != nullptr ? WinText(format) : nullptr,
                                WinBuffer(buffer), capacity);
    const AnsiString ansiFormat = Narrow(format);
    return WidenedTextResult(
        [&](char* ansi, int bytes) {
            return ::GetTimeFormatA(locale, flags, time, format != nullptr ? ansiFormat.c_str() : nullptr,
                                    ansi, bytes);
        },
        buffer, capacity);
}

namespace {

// The first count units of text (all when count is negative).
WideString Leading(const char16_t* text, int count) {
    if (text == nullptr)
        return {};
    return count < 0 ? WideString(text) : WideString(text, static_cast<size_t>(count));
}

} // namespace

int VynDrawTextW(HDC dc, const char16_t* text, int count, RECT* rect, UINT format) {
    if (VynPlatformIsNT)
        return ::DrawTextW(dc, WinText(text), count, rect, format);
    AnsiString ansi = WideToAnsiCP(Leading(text, count), DefaultCodePage);
    // The converted copy has no room for the ellipsis the system would write into it.
    return ::DrawTextA(dc, ansi.data(), -1, rect, format & ~static_cast<UINT>(DT_MODIFYSTRING));
}

BOOL VynGetTextExtentPoint32W(HDC dc, const char16_t* text, int count, SIZE* size) {
    if (VynPlatformIsNT)
        return ::GetTextExtentPoint32W(dc, WinText(text), count, size);
    const AnsiString ansi = WideToAnsiCP(Leading(text, count), DefaultCodePage);
    return ::GetTextExtentPoint32A(dc, ansi.data(), static_cast<int>(ansi.size()), size);
}

BOOL VynGetStringTypeExW(LCID locale, DWORD infoType, const char16_t* text, int count, WORD* charTypes) {
    if (VynPlatformIsNT)
        return ::GetStringTypeExW(locale, infoType, WinText(text), count, charTypes);
    const WideString wide = Leading(text, count);
    const AnsiString ansi = WideToAnsiCP(wide, DefaultCodePage);
    // One type per ANSI byte: a double-byte code page can give more bytes than the caller has
    // room for, so the types are gathered here and only the caller's count copied.
    std::vector<WORD> types(ansi.size() + 1);
    if (!::GetStringTypeExA(locale, infoType, ansi.c_str(), -1, types.data()))
        return FALSE;
    if (charTypes != nullptr)
        std::copy_n(types.begin(), std::min(wide.size(), ansi.size()), charTypes);
    return TRUE;
}

HINSTANCE VynShellExecuteW(HWND window, const char16_t* operation, const char16_t* file,
                           const char16_t* parameters, const char16_t* directory, int show) {
    if (VynPlatformIsNT)
        return Shell32Library().Get<decltype(&::ShellExecuteW)>("ShellExecuteW")(
            window, WinText(operation), WinText(file), WinText(parameters), WinText(directory), show);
    const AnsiString ansiOperation = Narrow(operation);
    const AnsiString ansiFile = Narrow(file);
    const AnsiString ansiParameters = Narrow(parameters);
    const AnsiString ansiDirectory = Narrow(directory);
    return Shell32Library().Get<decltype(&::ShellExecuteA)>("ShellExecuteA")(
        window, NullIfEmpty(ansiOperation), NullIfEmpty(ansiFile), NullIfEmpty(ansiParameters),
        NullIfEmpty(ansiDirectory), show);
}

namespace {

// Upper case of one unit through the ANSI code page; a unit without an ANSI form, or whose
// upper case does not come back as exactly one unit, stays as it is.
char16_t UpperCaseByAnsi(char16_t ch) {
    if (!IsCharMappableToAnsi(ch))
        return ch;
    AnsiString ansi = WideToAnsiCP(WideString(1, ch), DefaultCodePage);
    if (ansi.empty())
        return ch;
    ::CharUpperBuffA(ansi.data(), static_cast<DWORD>(ansi.size()));
    const WideString back = AnsiToWideCP(ansi, DefaultCodePage);
    return back.size() == 1 ? back[0] : ch;
}

} // namespace

char16_t* VynCharUpperW(char16_t* textOrChar) {
    if (VynPlatformIsNT)
        return reinterpret_cast<char16_t*>(::CharUpperW(WinBuffer(textOrChar)));
    const auto value = reinterpret_cast<uintptr_t>(textOrChar);
    if ((value >> 16) == 0)
        return reinterpret_cast<char16_t*>(uintptr_t{UpperCaseByAnsi(static_cast<char16_t>(value))});
    for (char16_t* unit = textOrChar; *unit != 0; ++unit)
        *unit = UpperCaseByAnsi(*unit);
    return textOrChar;
}

DWORD VynCharUpperBuffW(char16_t* text, DWORD length) {
    if (VynPlatformIsNT)
        return ::CharUpperBuffW(WinBuffer(text), length);
    if (text == nullptr)
        return 0;
    for (DWORD i = 0; i < length; ++i)
        text[i] = UpperCaseByAnsi(text[i]);
    return length;
}

int VynLoadStringW(HINSTANCE module, UINT identifier, char16_t* buffer, int capacity) {
    if (VynPlatformIsNT)
        return ::LoadStringW(module, identifier, WinBuffer(buffer), capacity);
    if ((identifier & 0xFFFF0000u) == 0xFFFF0000u)
        identifier = 0u - identifier;
    HRSRC info =
        ::FindResourceA(module, MAKEINTRESOURCEA((identifier >> 4) + 1), reinterpret_cast<LPCSTR>(RT_STRING));
    if (info == nullptr)
        return 0;
    HGLOBAL data = ::LoadResource(module, info);
    const auto* block = data != nullptr ? static_cast<const uint8_t*>(::LockResource(data)) : nullptr;
    if (block == nullptr)
        return 0;
    const std::optional<TStringTableText> entry =
        FindStringTableEntry(std::span(block, ::SizeofResource(module, info)), identifier & 15);
    if (!entry)
        return 0;
    if (buffer == nullptr || capacity <= 0)
        return static_cast<int>(entry->Length);
    const size_t copied = std::min(static_cast<size_t>(capacity - 1), entry->Length);
    std::memcpy(buffer, block + entry->Offset, copied * 2);
    buffer[copied] = 0;
    return static_cast<int>(copied);
}

BOOL VynVerQueryValueW(const void* block, const char16_t* subBlock, void** value, UINT* length) {
    if (VynPlatformIsNT) {
        const auto query = VersionLibrary().Find<decltype(&::VerQueryValueW)>("VerQueryValueW");
        return query != nullptr && query(block, WinText(subBlock), value, length);
    }
    const auto queryAnsi = VersionLibrary().Find<decltype(&::VerQueryValueA)>("VerQueryValueA");
    void* ansiValue = nullptr;
    UINT ansiLength = 0;
    if (queryAnsi == nullptr || !queryAnsi(block, Narrow(subBlock).c_str(), &ansiValue, &ansiLength))
        return FALSE;
    const WideString sub = subBlock != nullptr ? WideString(subBlock) : WideString();
    if (!StartsWithIgnoringAsciiCase(sub, u"\\StringFileInfo")) {
        if (value != nullptr)
            *value = ansiValue;
        if (length != nullptr)
            *length = ansiLength;
        return TRUE;
    }
    // The ANSI length counts the terminator; the text ends at the first zero within it.
    const char* text = static_cast<const char*>(ansiValue);
    const size_t textLength = text != nullptr ? strnlen(text, ansiLength) : 0;
    WideString& held = StringFileInfoValue();
    held = Widen(text != nullptr ? text : "", textLength);
    if (value != nullptr)
        *value = held.data();
    if (length != nullptr)
        *length = static_cast<UINT>(held.size() + (textLength < ansiLength ? 1 : 0));
    return TRUE;
}

HANDLE VynWidenNameMappings(HANDLE ansiMappings) {
    if (ansiMappings == nullptr)
        return nullptr;
    const auto* source = static_cast<const TWideNameMappings*>(static_cast<void*>(ansiMappings));
    const auto* ansiRecords = reinterpret_cast<const SHNAMEMAPPINGA*>(source->Mappings);
    const UINT count = source->Count;
    auto* block = static_cast<TWideNameMappings*>(
        ::operator new(sizeof(TWideNameMappings) + count * sizeof(SHNAMEMAPPINGW)));
    block->Count = count;
    block->Mappings = reinterpret_cast<SHNAMEMAPPINGW*>(block + 1);
    for (UINT i = 0; i < count; ++i) {
        const SHNAMEMAPPINGA& from = ansiRecords[i];
        const WideString oldName = Widen(from.pszOldPath, static_cast<size_t>(std::max(from.cchOldPath, 0)));
        const WideString newName = Widen(from.pszNewPath, static_cast<size_t>(std::max(from.cchNewPath, 0)));
        SHNAMEMAPPINGW& to = block->Mappings[i];
        to.pszOldPath = WinBuffer(WStrNew(oldName.c_str()));
        to.pszNewPath = WinBuffer(WStrNew(newName.c_str()));
        to.cchOldPath = static_cast<int>(oldName.size());
        to.cchNewPath = static_cast<int>(newName.size());
    }
    OwnNameMappings().insert(block);
    return static_cast<HANDLE>(block);
}

int VynSHFileOperationW(SHFILEOPSTRUCTW* operation) {
    if (VynPlatformIsNT)
        return LoadedShellEntries().FileOperation(operation);
    const auto* from = reinterpret_cast<const char16_t*>(operation->pFrom);
    const auto* to = reinterpret_cast<const char16_t*>(operation->pTo);
    const AnsiString ansiFrom = WideToAnsiCP(DoubleZeroList(from), DefaultCodePage);
    const AnsiString ansiTo = WideToAnsiCP(DoubleZeroList(to), DefaultCodePage);
    const AnsiString ansiTitle = Narrow(reinterpret_cast<const char16_t*>(operation->lpszProgressTitle));
    // Each converted list ends in its last string's terminator; c_str adds the closing zero.
    SHFILEOPSTRUCTA ansi{};
    ansi.hwnd = operation->hwnd;
    ansi.wFunc = operation->wFunc;
    ansi.pFrom = from != nullptr ? ansiFrom.c_str() : nullptr;
    ansi.pTo = to != nullptr ? ansiTo.c_str() : nullptr;
    ansi.fFlags = operation->fFlags;
    ansi.lpszProgressTitle = operation->lpszProgressTitle != nullptr ? ansiTitle.c_str() : nullptr;
    const int result = Shell32Library().Get<decltype(&::SHFileOperationA)>("SHFileOperationA")(&ansi);
    operation->fAnyOperationsAborted = ansi.fAnyOperationsAborted;
    operation->hNameMappings = nullptr;
    if ((operation->fFlags & FOF_WANTMAPPINGHANDLE) != 0 && ansi.hNameMappings != nullptr) {
        operation->hNameMappings = VynWidenNameMappings(ansi.hNameMappings);
        Shell32Library().Get<decltype(&::SHFreeNameMappings)>("SHFreeNameMappings")(ansi.hNameMappings);
    }
    return result;
}

void VynSHFreeNameMappingsW(HANDLE mappings) {
    if (mappings == nullptr)
        return;
    if (OwnNameMappings().erase(mappings) == 0) {
        Shell32Library().Get<decltype(&::SHFreeNameMappings)>("SHFreeNameMappings")(mappings);
        return;
    }
    auto* block = static_cast<TWideNameMappings*>(static_cast<void*>(mappings));
    for (UINT i = 0; i < block->Count; ++i) {
        WStrDispose(reinterpret_cast<char16_t*>(block->Mappings[i].pszOldPath));
        WStrDispose(reinterpret_cast<char16_t*>(block->Mappings[i].pszNewPath));
    }
    ::operator delete(block);
}

BOOL VynSHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, char16_t* path) {
    if (VynPlatformIsNT)
        return LoadedShellEntries().GetPathFromIDList(list, WinBuffer(path));
    char ansi[MAX_PATH] = {};
    if (!Shell32Library().Get<decltype(&::SHGetPathFromIDListA)>("SHGetPathFromIDListA")(list, ansi))
        return FALSE;
    if (path != nullptr)
        CopyBufferResult(MAX_PATH, path, AnsiString(ansi, strnlen(ansi, sizeof ansi)), CopyEmptyWhenTooSmall);
    return TRUE;
}
