// Raising operating-system and OLE failures. The last error is captured by the caller's first
// statement after the failing call; nothing in between may touch it.
#pragma once

#include <windows.h>

#include "Exceptions.h"

// The system's text for an error code, without trailing line breaks and periods; empty when
// the system has none.
AnsiString SysErrorMessage(DWORD errorCode);

// EOSError "System Error.  Code: %d.\r\n%s", or "A call to an OS function failed" for code 0.
EOSError MakeOSError(DWORD errorCode);
[[noreturn]] void RaiseOSError(DWORD errorCode);
[[noreturn]] void RaiseLastOSError();

// EOleSysError with the system's text for the code, or "OLE error %.8x".
EOleSysError MakeOleSysError(HRESULT result);
[[noreturn]] void RaiseOleSysError(HRESULT result);
// Raises for a failing (negative) HRESULT; any other value is success and returned.
HRESULT OleCheck(HRESULT result);
