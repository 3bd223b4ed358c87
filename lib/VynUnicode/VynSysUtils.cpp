#include "VynSysUtils.h"

#include <oleauto.h>

#include <algorithm>
#include <cstring>

#include "OSError.h"
#include "TextConversion.h"
#include "VynClasses.h"
#include "VynFormatStrUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"

bool VynPlatformIsNT = true;

namespace {

void StartVynSysUtils() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (::GetVersionExW(&version))
        VynPlatformIsNT = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

} // namespace

const TUnitInfo VynSysUtilsUnit{"lib/VynUnicode/VynSysUtils", StartVynSysUtils, nullptr};

// ---------------------------------------------------------------------------------------------------------
// Results of ANSI calls

DWORD CopyBufferResult(DWORD capacity, char16_t* out, const AnsiString& ansi, uint32_t options) {
    if (out == nullptr)
        capacity = 0;
    const WideString wide = AnsiToWideCP(ansi, DefaultCodePage);
    const size_t length = wide.size();
    if (length < capacity) {
        std::memcpy(out, wide.c_str(), (length + 1) * sizeof(char16_t));
        return static_cast<DWORD>(length);
    }
    if ((options & CopyFillWithoutTerminator) != 0) {
        std::memcpy(out, wide.data(), capacity * sizeof(char16_t));
        return capacity;
    }
    if ((options & CopyCutToFit) != 0 && length == capacity && capacity > 0) {
        std::memcpy(out, wide.data(), (capacity - 1) * sizeof(char16_t));
        out[capacity - 1] = 0;
        return static_cast<DWORD>(length + 1);
    }
    if (capacity > 0 && (options & CopyEmptyWhenTooSmall) != 0)
        out[0] = 0;
    return static_cast<DWORD>(length + 1);
}

// ---------------------------------------------------------------------------------------------------------
// Zero-terminated wide buffers

char16_t* WStrPLCopy(char16_t* dest, const AnsiString& source, size_t maxLength) {
    return WStrLCopy(dest, AnsiToWideCP(source, DefaultCodePage).c_str(), maxLength);
}

// ---------------------------------------------------------------------------------------------------------
// Characters

bool IsCharMappableToAnsi(char16_t ch) {
    // The Unicode code pages map everything and take no used-default flag.
    if (DefaultCodePage == CP_UTF7 || DefaultCodePage == CP_UTF8)
        return true;
    const auto unit = static_cast<WCHAR>(ch);
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(DefaultCodePage, 0, &unit, 1, nullptr, 0, nullptr, &usedDefault);
    return length > 0 && !usedDefault;
}

char16_t KeyCharToWide(uint16_t key) {
    if (key >= 256)
        return static_cast<char16_t>(key);
    const char byte = static_cast<char>(key);
    WCHAR result = 0;
    if (::MultiByteToWideChar(KeyboardCodePage(), MB_USEGLYPHCHARS, &byte, 1, &result, 1) != 1)
        return static_cast<char16_t>(key);
    return static_cast<char16_t>(result);
}

namespace {

WORD CharType1(char16_t ch) {
    WORD type = 0;
    if (!VynGetStringTypeExW(::GetThreadLocale(), CT_CTYPE1, &ch, 1, &type))
        RaiseLastOSError("GetStringTypeExW");
    return type;
}

} // namespace

bool IsSpaceChar(char16_t ch) { return (CharType1(ch) & C1_SPACE) != 0; }

bool IsPunctChar(char16_t ch) { return (CharType1(ch) & C1_PUNCT) != 0; }

bool IsWordDelimiter(char16_t ch) { return ch == 0 || IsSpaceChar(ch) || IsPunctChar(ch); }

// ---------------------------------------------------------------------------------------------------------
// Strings

WideString UpperCaseWide(const WideString& text) {
    WideString result = text;
    if (!result.empty())
        VynCharUpperBuffW(result.data(), static_cast<DWORD>(result.size()));
    return result;
}

size_t PosIgnoreCaseWide(const WideString& sub, const WideString& text) {
    if (sub.empty())
        return 0;
    const size_t at = UpperCaseWide(text).find(UpperCaseWide(sub));
    return at == WideString::npos ? 0 : at + 1;
}

WideString ReplaceTextWide(const WideString& text, const WideString& oldText, const WideString& newText,
                           uint32_t options, bool wholeWord) {
    // Nothing to look for: an empty pattern would match everywhere without advancing.
    if (oldText.empty())
        return text;
    const bool ignoreCase = (options & ReplaceIgnoreCase) != 0;
    // Upper-casing maps unit for unit, so positions in the searched copy are positions in text.
    const WideString searched = ignoreCase ? UpperCaseWide(text) : text;
    const WideString pattern = ignoreCase ? UpperCaseWide(oldText) : oldText;
    WideString result;
    size_t rest = 0;
    for (;;) {
        const size_t found = searched.find(pattern, rest);
        if (found == WideString::npos) {
            result.append(text, rest, WideString::npos);
            break;
        }
        const size_t end = found + pattern.size();
        if (wholeWord) {
            const char16_t before = found > rest ? text[found - 1] : LastCharWide(result);
            const char16_t after = end < text.size() ? text[end] : u'\0';
            if (!IsWordDelimiter(before) || !IsWordDelimiter(after)) {
                result.append(text, rest, end - rest);
                rest = end;
                continue;
            }
        }
        result.append(text, rest, found - rest);
        result.append(newText);
        rest = end;
        if ((options & ReplaceAll) == 0) {
            result.append(text, rest, WideString::npos);
            break;
        }
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------------
// Paths

WideString ExpandFileNameWide(const WideString& path) {
    char16_t buffer[MAX_PATH];
    char16_t* filePart = nullptr;
    const DWORD length = VynGetFullPathNameW(path.c_str(), MAX_PATH, buffer, &filePart);
    // A full path that does not fit the buffer is refused rather than cut.
    if (length == 0 || length >= MAX_PATH)
        return {};
    return WideString(buffer, length);
}

// ---------------------------------------------------------------------------------------------------------
// Files

TFileHandle FileCreateWide(const WideString& fileName) {
    HANDLE handle = VynCreateFileW(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? InvalidFileHandle : reinterpret_cast<TFileHandle>(handle);
}

TFileHandle FileOpenWide(const WideString& fileName, uint32_t mode) {
    static const DWORD accessModes[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    static const DWORD shareModes[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
    const uint32_t access = mode & 3;
    const uint32_t share = (mode & 0xF0) >> 4;
    if (access > 2 || share > 4 || (mode & ~0xF3u) != 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return InvalidFileHandle;
    }
    HANDLE handle = VynCreateFileW(fileName.c_str(), accessModes[access], shareModes[share], nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? InvalidFileHandle : reinterpret_cast<TFileHandle>(handle);
}

int32_t FileGetAttrWide(const WideString& fileName) {
    return static_cast<int32_t>(VynGetFileAttributesW(fileName.c_str()));
}

bool FileSetAttrWide(const WideString& fileName, uint32_t attributes) {
    return VynSetFileAttributesW(fileName.c_str(), attributes) != FALSE;
}

bool FileExistsWide(const WideString& fileName) {
    const DWORD attributes = VynGetFileAttributesW(fileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExistsWide(const WideString& path) {
    const DWORD attributes = VynGetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteFileWide(const WideString& fileName) { return VynDeleteFileW(fileName.c_str()) != FALSE; }

bool ForceDirectoriesWide(const WideString& path) {
    if (path.empty())
        throw EVynGeneralError("Unable to create directory");
    const WideString folder = ExcludeTrailingBackslashWide(path);
    if (folder.size() < 3 || DirectoryExistsWide(folder) || ExtractFilePathWide(folder) == folder)
        return true;
    return ForceDirectoriesWide(ExtractFilePathWide(folder)) && VynCreateDirectoryW(folder.c_str(), nullptr);
}

namespace {

// Moves on to the first entry without excluded attributes and fills the record from it; a
// failure ends the search.
DWORD FindMatchingFile(TSearchRecWide& rec) {
    WIN32_FIND_DATAW& data = rec.FindData;
    while ((data.dwFileAttributes & rec.ExcludeAttr) != 0) {
        if (!VynFindNextFileW(rec.FindHandle.get(), &data)) {
            const DWORD error = ::GetLastError();
            FindCloseWide(rec);
            return error;
        }
    }
    FILETIME local{};
    WORD dosDate = 0;
    WORD dosTime = 0;
    ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    ::FileTimeToDosDateTime(&local, &dosDate, &dosTime);
    rec.Time = static_cast<int32_t>((static_cast<uint32_t>(dosDate) << 16) | dosTime);
    rec.Size = static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    rec.Attr = data.dwFileAttributes;
    const auto* name = reinterpret_cast<const char16_t*>(data.cFileName);
    size_t length = 0;
    while (length < MAX_PATH && name[length] != 0)
        ++length;
    rec.Name.assign(name, length);
    return 0;
}

} // namespace

DWORD FindFirstWide(const WideString& pattern, uint32_t attributes, TSearchRecWide& rec) {
    constexpr uint32_t skippable = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x08 /* volume label */ |
                                   FILE_ATTRIBUTE_DIRECTORY;
    rec.ExcludeAttr = ~attributes & skippable;
    HANDLE find = VynFindFirstFileW(pattern.c_str(), &rec.FindData);
    if (find == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    rec.FindHandle.reset(find);
    return FindMatchingFile(rec);
}

DWORD FindNextWide(TSearchRecWide& rec) {
    if (!rec.FindHandle)
        return ERROR_INVALID_HANDLE;
    if (!VynFindNextFileW(rec.FindHandle.get(), &rec.FindData))
        return ::GetLastError();
    return FindMatchingFile(rec);
}

void FindCloseWide(TSearchRecWide& rec) { rec.FindHandle.reset(); }

// ---------------------------------------------------------------------------------------------------------
// Dates, locale texts, command line

namespace {

double ParseDate(const WideString& text, ULONG flags, const char16_t* messageFormat) {
    WideString copy = text;
    DATE value = 0;
    const HRESULT result =
        ::VarDateFromStr(reinterpret_cast<OLECHAR*>(copy.data()), ::GetThreadLocale(), flags, &value);
    if (FAILED(result))
        throw EConvertError(WideToAnsi(FormatWide(messageFormat, {text})) + "\r\n" +
                            SysErrorMessage(static_cast<DWORD>(result)));
    return value;
}

} // namespace

double StrToDateTimeWide(const WideString& text) {
    return ParseDate(text, 0, u"'%s' is not a valid date and time");
}

double StrToDateWide(const WideString& text) {
    return ParseDate(text, VAR_DATEVALUEONLY, u"'%s' is not a valid date");
}

double StrToTimeWide(const WideString& text) {
    return ParseDate(text, VAR_TIMEVALUEONLY, u"'%s' is not a valid time");
}

WideString GetLocaleStrWide(LCID locale, LCTYPE type, const WideString& defaultText) {
    if (VynPlatformIsNT) {
        WCHAR buffer[255];
        const int length = ::GetLocaleInfoW(locale, type, buffer, 255);
        if (length <= 0)
            return defaultText;
        return WideString(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(length - 1));
    }
    char buffer[256];
    const int length = ::GetLocaleInfoA(locale, type, buffer, 255);
    if (length <= 0)
        return AnsiToWideCP(WideToAnsiCP(defaultText, DefaultCodePage), DefaultCodePage);
    return AnsiToWideCP(AnsiString(buffer, static_cast<size_t>(length - 1)), DefaultCodePage);
}

WideString ModuleFileNameWide(HMODULE module) {
    char16_t buffer[MAX_PATH];
    const DWORD length = VynGetModuleFileNameW(module, buffer, MAX_PATH);
    if (length == 0)
        RaiseLastOSError("GetModuleFileNameW");
    return WideString(buffer, std::min<DWORD>(length, MAX_PATH));
}

WideString ParamStrWide(int index) {
    if (index == 0)
        return ModuleFileNameWide(nullptr);
    return ParamStrOfCommandLine(reinterpret_cast<const char16_t*>(::GetCommandLineW()), index);
}
