// Operating-system exceptions as the runtime's exception objects. A fault in the program's own
// code (a bad pointer, an integer division by zero, a stack overflow) raised while an event
// handler runs becomes an exception of the classes below, raised at the faulting instruction, so
// the dispatcher's handler reports it and the program keeps running.
#pragma once

#include <windows.h>

#include <exception>

#include "Exceptions.h"
#include "UnitRegistry.h"

// An operating-system exception: its code and the address it was raised at.
class EExternal : public Exception {
public:
    EExternal(AnsiString message, uint32_t exceptionCode, const void* exceptionAddress)
        : Exception(std::move(message)), exceptionCode_(exceptionCode), exceptionAddress_(exceptionAddress) {}
    uint32_t ExceptionCode() const noexcept { return exceptionCode_; }
    const void* ExceptionAddress() const noexcept { return exceptionAddress_; }

private:
    uint32_t exceptionCode_;
    const void* exceptionAddress_;
};

// "Access violation at address 0040121A in module 'Ferrule.exe'. Read of address 00000000".
class EAccessViolation : public EExternal {
public:
    EAccessViolation(AnsiString message, const void* exceptionAddress, const void* accessAddress)
        : EExternal(std::move(message), EXCEPTION_ACCESS_VIOLATION, exceptionAddress),
          accessAddress_(accessAddress) {}
    const void* AccessAddress() const noexcept { return accessAddress_; }

private:
    const void* accessAddress_;
};

// "Division by zero": an integer division.
class EDivByZero : public EExternal {
public:
    using EExternal::EExternal;
};

// "Stack overflow".
class EStackOverflow : public EExternal {
public:
    using EExternal::EExternal;
};

// "External exception C0000096": every other operating-system exception.
class EExternalException : public EExternal {
public:
    using EExternal::EExternal;
};

// The object the runtime raises for an exception record. Kept as an exception pointer so the
// object keeps its class until it is raised.
using TFaultObjectMapper = std::exception_ptr (*)(const EXCEPTION_RECORD& record);
// Replaces the mapping and returns the one in place, which a replacement is expected to call.
TFaultObjectMapper SetFaultObjectMapper(TFaultObjectMapper mapper);
// The runtime's own mapping: one of the classes above with the system's message.
std::exception_ptr MakeFaultObject(const EXCEPTION_RECORD& record);

// Whether an exception code is a hardware fault the runtime raises as an exception object
// (access violation, division, overflow, invalid instruction, floating-point and paging faults).
bool IsMappedFaultCode(DWORD code);
// Whether the vectored handler reports an exception at all: faults, and exceptions that foreign
// code raises with an error severity. Not: debugger notices, the C++ runtime's own raises, the
// program's language exception code (seen where it is raised).
bool IsReportedExceptionCode(DWORD code);

// The exception code the runtime's language raise uses with RaiseException.
constexpr DWORD LanguageExceptionCode = 0x0EEDFADE;

// While one lives on a thread, a fault in program code on that thread is raised as its exception
// object at the faulting instruction instead of ending the program. Every event dispatch of the
// framework opens one around the handler.
class TFaultMappingScope {
public:
    TFaultMappingScope() noexcept;
    ~TFaultMappingScope();
    TFaultMappingScope(const TFaultMappingScope&) = delete;
    TFaultMappingScope& operator=(const TFaultMappingScope&) = delete;
};

// Installs the vectored exception handler at start and removes it at the end.
extern const TUnitInfo RtlSystemFaultsUnit;
