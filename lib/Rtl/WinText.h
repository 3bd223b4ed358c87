// Where UTF-16 text of the program (char16_t) is handed to the system's wide calls (WCHAR): the
// two are the same 16-bit units on Windows, so a cast is all it takes, and it is made only here.
#pragma once

#include <windows.h>

#include "SysTypes.h"

inline const WCHAR* WinText(const char16_t* text) { return reinterpret_cast<const WCHAR*>(text); }
inline const WCHAR* WinText(const WideString& text) { return reinterpret_cast<const WCHAR*>(text.c_str()); }
inline WCHAR* WinBuffer(char16_t* buffer) { return reinterpret_cast<WCHAR*>(buffer); }
