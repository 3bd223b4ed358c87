// The runtime's exception hierarchy. Raising is a C++ throw; adding context to a failure is
// "catch (Exception& e) { e.SetMessage(...); throw; }" so the object and its class survive.
#pragma once

#include <cstdint>
#include <exception>
#include <string_view>

#include "SysTypes.h"

class Exception : public std::exception {
public:
    explicit Exception(AnsiString message) : message_(std::move(message)) {}
    ~Exception() override = default;

    const AnsiString& Message() const noexcept { return message_; }
    void SetMessage(AnsiString message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }

    // What the failure concerns, kept beside the message for the error report: the call that
    // failed ("LoadLibraryW") and its subject (a path, a registry key or value name). Empty where
    // the raiser did not know them; the message never changes for them.
    const AnsiString& FailingCall() const noexcept { return failingCall_; }
    const WideString& Subject() const noexcept { return subject_; }
    void SetFailure(std::string_view call, std::u16string_view subject) {
        failingCall_.assign(call);
        subject_.assign(subject);
    }

private:
    AnsiString message_;
    AnsiString failingCall_;
    WideString subject_;
};

#define RTL_DECLARE_EXCEPTION(Name, Base)  \
    class Name : public Base {             \
    public:                                \
        using Base::Base;                  \
    };

// The silent exception: the application's handler swallows it without a message.
RTL_DECLARE_EXCEPTION(EAbort, Exception)
RTL_DECLARE_EXCEPTION(EAssertionFailed, Exception)
RTL_DECLARE_EXCEPTION(EConvertError, Exception)
RTL_DECLARE_EXCEPTION(EInvalidOperation, Exception)
RTL_DECLARE_EXCEPTION(EListError, Exception)
RTL_DECLARE_EXCEPTION(EStringListError, Exception)
RTL_DECLARE_EXCEPTION(EParserError, Exception)
RTL_DECLARE_EXCEPTION(EClassNotFound, Exception)
RTL_DECLARE_EXCEPTION(EComponentError, Exception)
RTL_DECLARE_EXCEPTION(EStreamError, Exception)
RTL_DECLARE_EXCEPTION(EFileStreamError, EStreamError)
RTL_DECLARE_EXCEPTION(EFCreateError, EFileStreamError)
RTL_DECLARE_EXCEPTION(EFOpenError, EFileStreamError)
RTL_DECLARE_EXCEPTION(EReadError, EStreamError)
RTL_DECLARE_EXCEPTION(EWriteError, EStreamError)
RTL_DECLARE_EXCEPTION(EResNotFound, Exception)
RTL_DECLARE_EXCEPTION(EOleError, Exception)
RTL_DECLARE_EXCEPTION(EOutOfResources, Exception)

// An operating-system call failed; ErrorCode is the thread's last error captured right after it.
class EOSError : public Exception {
public:
    EOSError(AnsiString message, uint32_t errorCode) : Exception(std::move(message)), errorCode_(errorCode) {}
    uint32_t ErrorCode() const noexcept { return errorCode_; }

private:
    uint32_t errorCode_;
};

// A failing HRESULT of an OLE/COM call.
class EOleSysError : public EOleError {
public:
    EOleSysError(AnsiString message, int32_t errorCode) : EOleError(std::move(message)), errorCode_(errorCode) {}
    int32_t ErrorCode() const noexcept { return errorCode_; }

private:
    int32_t errorCode_;
};
