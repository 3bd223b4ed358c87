#include "OSError.h"

#include <cstdio>

#include "Format.h"
#include "Handles.h"

AnsiString SysErrorMessage(DWORD errorCode) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                              FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                          nullptr, errorCode, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    UniqueLocalMemory owner(static_cast<HLOCAL>(text));
    if (length == 0 || text == nullptr)
        return {};
    AnsiString message(text, length);
    // System texts end in a period and a line break; messages built on them add their own.
    while (!message.empty() && (static_cast<unsigned char>(message.back()) <= ' ' || message.back() == '.'))
        message.pop_back();
    return message;
}

EOSError MakeOSError(DWORD errorCode) {
    if (errorCode == 0)
        return EOSError("A call to an OS function failed", 0);
    return EOSError(Format("System Error.  Code: %d.\r\n%s",
                           {static_cast<int32_t>(errorCode), SysErrorMessage(errorCode)}),
                    errorCode);
}

void RaiseOSError(DWORD errorCode) { throw MakeOSError(errorCode); }

void RaiseLastOSError() { RaiseOSError(::GetLastError()); }

EOleSysError MakeOleSysError(HRESULT result) {
    AnsiString message = SysErrorMessage(static_cast<DWORD>(result));
    if (message.empty()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%.8lx", static_cast<unsigned long>(static_cast<uint32_t>(result)));
        message = AnsiString("OLE error ") + hex;
    }
    return EOleSysError(message, static_cast<int32_t>(result));
}

void RaiseOleSysError(HRESULT result) { throw MakeOleSysError(result); }

HRESULT OleCheck(HRESULT result) {
    if (FAILED(result))
        RaiseOleSysError(result);
    return result;
}
