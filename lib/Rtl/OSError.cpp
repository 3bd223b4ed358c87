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

EOSError MakeOSError(DWORD errorCode, std::string_view call, std::u16string_view subject) {
    EOSError error = errorCode == 0 ? EOSError("A call to an OS function failed", 0)
                                    : EOSError(Format("System Error.  Code: %d.\r\n%s",
                                                      {static_cast<int32_t>(errorCode), SysErrorMessage(errorCode)}),
                                               errorCode);
    error.SetFailure(call, subject);
    return error;
}

void RaiseOSError(DWORD errorCode, std::string_view call, std::u16string_view subject) {
    throw MakeOSError(errorCode, call, subject);
}

void RaiseLastOSError(std::string_view call, std::u16string_view subject) {
    const DWORD errorCode = ::GetLastError();
    RaiseOSError(errorCode, call, subject);
}

EOleSysError MakeOleSysError(HRESULT result, std::string_view call, std::u16string_view subject) {
    AnsiString message = SysErrorMessage(static_cast<DWORD>(result));
    if (message.empty()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%.8lx", static_cast<unsigned long>(static_cast<uint32_t>(result)));
        message = AnsiString("OLE error ") + hex;
    }
    EOleSysError error(message, static_cast<int32_t>(result));
    error.SetFailure(call, subject);
    return error;
}

void RaiseOleSysError(HRESULT result, std::string_view call, std::u16string_view subject) {
    throw MakeOleSysError(result, call, subject);
}

HRESULT OleCheck(HRESULT result, std::string_view call, std::u16string_view subject) {
    if (FAILED(result))
        RaiseOleSysError(result, call, subject);
    return result;
}
