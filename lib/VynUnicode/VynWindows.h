// Wide wrappers of the system calls that take or return text: the W call on the NT family,
// otherwise the A call with the text converted in DefaultCodePage. They raise nothing and
// return what the system call returns (the lazy loading of the shell's wide entry points is the
// one exception: it raises EOSError). The text crosses to WCHAR through WinText.h.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "SysTypes.h"
#include "WinText.h"
#include "UnitRegistry.h"


HANDLE VynCreateFileW(const char16_t* fileName, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                      DWORD creation, DWORD flags, HANDLE templateFile);
DWORD VynGetFileAttributesW(const char16_t* fileName);
BOOL VynSetFileAttributesW(const char16_t* fileName, DWORD attributes);
BOOL VynCreateDirectoryW(const char16_t* path, SECURITY_ATTRIBUTES* security);
BOOL VynDeleteFileW(const char16_t* fileName);
BOOL VynGetDiskFreeSpaceW(const char16_t* rootPath, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                          DWORD* freeClusters, DWORD* totalClusters);
HMODULE VynLoadLibraryW(const char16_t* fileName);
HMODULE VynLoadLibraryExW(const char16_t* fileName, HANDLE reserved, DWORD flags);
DWORD VynGetFileVersionInfoSizeW(const char16_t* fileName, DWORD* handle);
BOOL VynGetFileVersionInfoW(const char16_t* fileName, DWORD handle, DWORD length, void* data);
BOOL VynSetWindowTextW(HWND window, const char16_t* text);

// On the ANSI path the names are converted into the wide record, each cut to its field.
HANDLE VynFindFirstFileW(const char16_t* fileName, WIN32_FIND_DATAW* findData);
BOOL VynFindNextFileW(HANDLE find, WIN32_FIND_DATAW* findData);

// Results of the ANSI path go through CopyBufferResult (VynSysUtils.h): a buffer too small gets
// the size needed with the terminator.
DWORD VynGetFullPathNameW(const char16_t* fileName, DWORD capacity, char16_t* buffer, char16_t** filePart);
// A buffer too small is filled without terminator and the capacity returned.
DWORD VynGetModuleFileNameW(HMODULE module, char16_t* buffer, DWORD capacity);
DWORD VynGetTempPathW(DWORD capacity, char16_t* buffer);
UINT VynGetWindowsDirectoryW(char16_t* buffer, UINT capacity);
// Wrappers beyond the classic table, for the installer's own calls; same two paths.
UINT VynGetSystemDirectoryW(char16_t* buffer, UINT capacity);
UINT VynGetTempFileNameW(const char16_t* folder, const char16_t* prefix, UINT unique, char16_t* name);
// On the systems without MoveFileEx, replacing is a delete followed by a move.
BOOL VynMoveFileExW(const char16_t* existing, const char16_t* target, DWORD flags);
// size: in, the buffer's capacity in units; out, the name's length (computer: without, user:
// with the terminator), or the capacity needed when the call fails for a buffer too small.
BOOL VynGetComputerNameW(char16_t* buffer, DWORD* size);
BOOL VynGetUserNameW(char16_t* buffer, DWORD* size);
// The length written with the terminator, 0 on failure; with capacity 0 the length needed. On
// the ANSI path a text longer than the buffer fails with ERROR_INSUFFICIENT_BUFFER, as the wide
// call does.
int VynGetLocaleInfoW(LCID locale, LCTYPE type, char16_t* buffer, int capacity);
// A date or time in the locale's formats (or in format when it is not null); lengths and
// failures as VynGetLocaleInfoW.
int VynGetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, const char16_t* format,
                      char16_t* buffer, int capacity);
int VynGetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, const char16_t* format,
                      char16_t* buffer, int capacity);

int VynDrawTextW(HDC dc, const char16_t* text, int count, RECT* rect, UINT format);
// The size of the first count units of text in the context's font; on the ANSI path the size of
// their ANSI form.
BOOL VynGetTextExtentPoint32W(HDC dc, const char16_t* text, int count, SIZE* size);
BOOL VynGetStringTypeExW(LCID locale, DWORD infoType, const char16_t* text, int count, WORD* charTypes);
// Empty operation, file, parameters and directory count as none.
HINSTANCE VynShellExecuteW(HWND window, const char16_t* operation, const char16_t* file,
                           const char16_t* parameters, const char16_t* directory, int show);

// A pointer (high 16 bits not zero) is upper-cased in place and returned; otherwise the low 16
// bits are one character and the result holds its upper case.
char16_t* VynCharUpperW(char16_t* textOrChar);
DWORD VynCharUpperBuffW(char16_t* text, DWORD length);

// The string-table string, or with a null buffer or capacity <= 0 its length (ANSI path; the NT
// path follows LoadStringW).
int VynLoadStringW(HINSTANCE module, UINT identifier, char16_t* buffer, int capacity);
// StringFileInfo values of the ANSI path are held as wide text until the next such query.
BOOL VynVerQueryValueW(const void* block, const char16_t* subBlock, void** value, UINT* length);

// Name mappings (FOF_WANTMAPPINGHANDLE) have the system's layout on both paths: a 32-bit count,
// then the address of the SHNAMEMAPPINGW records. Free them with VynSHFreeNameMappingsW.
int VynSHFileOperationW(SHFILEOPSTRUCTW* operation);
void VynSHFreeNameMappingsW(HANDLE mappings);
// A wide copy of an ANSI mapping block (as SHFileOperationA returns it); the ANSI block stays
// the caller's.
HANDLE VynWidenNameMappings(HANDLE ansiMappings);
BOOL VynSHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, char16_t* path);

extern const TUnitInfo VynWindowsUnit;
