// Raising operating-system and OLE failures. The last error is captured by the caller's first
// statement after the failing call; nothing in between may touch it.
#pragma once

#include <windows.h>

#include "Exceptions.h"

// The system's text for an error code, without trailing line breaks and periods; empty when
// the system has none.
AnsiString SysErrorMessage(DWORD errorCode);

// EOSError "System Error.  Code: %d.\r\n%s", or "A call to an OS function failed" for code 0.
// `call` and `subject` (the failing call and the path, key or value it concerned) are kept on
// the exception (FailingCall, Subject); the message does not show them.
EOSError MakeOSError(DWORD errorCode, std::string_view call = {}, std::u16string_view subject = {});
[[noreturn]] void RaiseOSError(DWORD errorCode, std::string_view call = {}, std::u16string_view subject = {});
// Raises for the thread's last error. The arguments are views, so passing them calls nothing
// that could change the last error before it is taken.
[[noreturn]] void RaiseLastOSError(std::string_view call = {}, std::u16string_view subject = {});

// EOleSysError with the system's text for the code, or "OLE error %.8x"; call and subject as above.
EOleSysError MakeOleSysError(HRESULT result, std::string_view call = {}, std::u16string_view subject = {});
[[noreturn]] void RaiseOleSysError(HRESULT result, std::string_view call = {}, std::u16string_view subject = {});
// Raises for a failing (negative) HRESULT; any other value is success and returned.
HRESULT OleCheck(HRESULT result, std::string_view call = {}, std::u16string_view subject = {});
