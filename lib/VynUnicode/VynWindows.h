// Wide wrappers of the system calls that take or return text: the W call on the NT family,
// otherwise the A call with the text converted in DefaultCodePage. They raise nothing and
// return what the system call returns. This is the one place where char16_t meets WCHAR.
#pragma once

#include <windows.h>

#include "SysTypes.h"

inline const WCHAR* WinText(const char16_t* text) { return reinterpret_cast<const WCHAR*>(text); }
inline const WCHAR* WinText(const WideString& text) { return reinterpret_cast<const WCHAR*>(text.c_str()); }

HANDLE VynCreateFileW(const char16_t* fileName, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                      DWORD creation, DWORD flags, HANDLE templateFile);
DWORD VynGetFileAttributesW(const char16_t* fileName);
BOOL VynSetFileAttributesW(const char16_t* fileName, DWORD attributes);
BOOL VynCreateDirectoryW(const char16_t* path, SECURITY_ATTRIBUTES* security);
BOOL VynDeleteFileW(const char16_t* fileName);
HMODULE VynLoadLibraryW(const char16_t* fileName);
HMODULE VynLoadLibraryExW(const char16_t* fileName, HANDLE reserved, DWORD flags);
BOOL VynSetWindowTextW(HWND window, const char16_t* text);
