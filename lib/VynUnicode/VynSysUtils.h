// Wide file-name, path, string and file functions of the Unicode runtime, character classes,
// date parsing, locale texts, the wide command line, and its two exception classes.
#pragma once

#include <windows.h>

#include "Exceptions.h"
#include "Handles.h"
#include "UnitRegistry.h"
#include "VynSysUtilsPaths.h"


// True on the NT family (platform identifier 2): selects the wide system calls.
extern bool VynPlatformIsNT;

// File handles as signed values: negative on failure, as the file functions report it.
using TFileHandle = intptr_t;
constexpr TFileHandle InvalidFileHandle = -1;

// ---- Results of ANSI calls copied into wide buffers

enum : uint32_t {
    // A text exactly as long as the capacity is cut by one unit to fit its terminator.
    CopyCutToFit = 1,
    // A buffer too small gets an empty text.
    CopyEmptyWhenTooSmall = 2,
    // A buffer too small is filled without terminator; the capacity is returned.
    CopyFillWithoutTerminator = 4,
};

// Converts ansi in DefaultCodePage into out (capacity units). Returns the units written without
// terminator, or, for a buffer too small, the units needed with the terminator (or what the
// options say). A null out counts as capacity 0.
DWORD CopyBufferResult(DWORD capacity, char16_t* out, const AnsiString& ansi, uint32_t options);

// Copies ANSI text, converted in DefaultCodePage, as WStrLCopy does.
char16_t* WStrPLCopy(char16_t* dest, const AnsiString& source, size_t maxLength);

// ---- Characters

bool IsCharMappableToAnsi(char16_t ch);
// A key character of the keyboard's code page as UTF-16; values of 256 and above are unchanged.
char16_t KeyCharToWide(uint16_t key);
// Character classes of the thread locale; a failing system call raises EOSError.
bool IsSpaceChar(char16_t ch);
bool IsPunctChar(char16_t ch);
// Zero, space or punctuation.
bool IsWordDelimiter(char16_t ch);

// ---- Strings

WideString UpperCaseWide(const WideString& text);
// 1-based position of sub in text ignoring case, 0 when absent.
size_t PosIgnoreCaseWide(const WideString& sub, const WideString& text);

enum : uint32_t { ReplaceAll = 1, ReplaceIgnoreCase = 2 };
// With wholeWord a match counts only between word delimiters (or the ends of the text).
WideString ReplaceTextWide(const WideString& text, const WideString& oldText, const WideString& newText,
                           uint32_t options, bool wholeWord);

// ---- Paths (those that need no system call are in VynSysUtilsPaths.h)

// The full path; empty when the system cannot give one shorter than MAX_PATH units.
WideString ExpandFileNameWide(const WideString& path);

// ---- Files

// Creates or truncates: read/write access, no sharing.
TFileHandle FileCreateWide(const WideString& fileName);
// Opens an existing file: access by the low two bits of mode (0 read, 1 write, 2 both), sharing
// by bits 4-7 (0/1 none, 2 deny write, 3 deny read, 4 share both). Undefined values are refused.
TFileHandle FileOpenWide(const WideString& fileName, uint32_t mode);
// The attributes, or -1 when the file is not there.
int32_t FileGetAttrWide(const WideString& fileName);
bool FileSetAttrWide(const WideString& fileName, uint32_t attributes);
bool FileExistsWide(const WideString& fileName);
bool DirectoryExistsWide(const WideString& path);
bool DeleteFileWide(const WideString& fileName);
// Creates every missing level, parent first; raises "Unable to create directory" for "".
bool ForceDirectoriesWide(const WideString& path);

// One entry of a file search. Time is the last write as local DOS date (high word) and time.
struct TSearchRecWide {
    int32_t Time = 0;
    int64_t Size = 0;
    uint32_t Attr = 0;
    WideString Name;
    uint32_t ExcludeAttr = 0;
    UniqueFindHandle FindHandle;
    WIN32_FIND_DATAW FindData{};
};

// Entries with hidden, system, volume-label or directory attributes are skipped unless asked
// for in attributes. Return 0, or the system error code.
DWORD FindFirstWide(const WideString& pattern, uint32_t attributes, TSearchRecWide& rec);
DWORD FindNextWide(TSearchRecWide& rec);
void FindCloseWide(TSearchRecWide& rec);

// ---- Dates, locale texts, command line

// OLE date values of the thread locale; failures raise EConvertError.
double StrToDateTimeWide(const WideString& text);
double StrToDateWide(const WideString& text);
double StrToTimeWide(const WideString& text);

WideString GetLocaleStrWide(LCID locale, LCTYPE type, const WideString& defaultText);
// 0 is the program; failure raises EOSError.
WideString ModuleFileNameWide(HMODULE module);
// 0 is the program's path; index n >= 1 the n-th parameter of the command line (empty when
// there is none), as ParamStrOfCommandLine reads it.
WideString ParamStrWide(int index);

extern const TUnitInfo VynSysUtilsUnit;
