// The platform-free part of VynSysUtils: the unit's two exception classes, path names, the
// command-line parser and zero-terminated wide buffers. Include VynSysUtils.h; this header stands alone only for the native build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Exceptions.h"
#include "SysTypes.h"

// Conditions a user can meet.
RTL_DECLARE_EXCEPTION(EVynGeneralError, Exception)
// Broken invariants; messages begin "Internal Error: ".
RTL_DECLARE_EXCEPTION(EVynInternalError, Exception)

// ---- Zero-terminated wide buffers

char16_t* WStrEnd(const char16_t* text);
size_t WStrLen(const char16_t* text);
// Copies up to the first zero unit or maxLength units, whichever comes first, and terminates:
// dest holds maxLength + 1 units.
char16_t* WStrLCopy(char16_t* dest, const char16_t* source, size_t maxLength);
// The first unit equal to ch (the terminator included), or null.
char16_t* WStrScan(const char16_t* text, char16_t ch);
char16_t* WStrMove(char16_t* dest, const char16_t* source, size_t count);
// A buffer of units code units carrying a 32-bit size header (2 * units + 4 bytes) before the
// text; free it with WStrDispose. Raises EOutOfResources for sizes the header cannot hold.
char16_t* WStrAlloc(size_t units);
// The block size recorded in the header of a WStrAlloc buffer.
uint32_t WStrBufSize(const char16_t* buffer);
// A WStrAlloc copy with terminator; null stays null.
char16_t* WStrNew(const char16_t* text);
void WStrDispose(char16_t* buffer);

char16_t LastCharWide(const WideString& text);

// ---- Paths (delimiters: backslash and colon; the extension delimiter is the point)

size_t LastDelimiterWide(const WideString& delimiters, const WideString& text);
WideString ExtractFilePathWide(const WideString& path);
WideString ExtractFileNameWide(const WideString& path);
WideString ExtractFileDirWide(const WideString& path);
// "X:" or, for "\\server\share\...", "\\server\share"; empty otherwise.
WideString ExtractFileDriveWide(const WideString& path);
WideString ExtractFileExtWide(const WideString& path);
WideString ChangeFileExtWide(const WideString& path, const WideString& extension);
WideString ExcludeTrailingBackslashWide(const WideString& path);

// ---- Command line

// A parameter holds at most MaxParamLength units; the rest is cut.
constexpr size_t MaxParamLength = 4096;
// The parameter of index n >= 1 of a command line (index 0 is its first item, the program);
// empty when there is none.
WideString ParamStrOfCommandLine(const char16_t* commandLine, int index);
