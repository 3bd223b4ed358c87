#include "SystemFaults.h"

#include <atomic>
#include <utility>
#include <cstdio>

#include "LanguageRaise.h"
#include "ModuleRegistry.h"
#include "TextConversion.h"

namespace {

std::atomic<TFaultObjectMapper> faultMapper{&MakeFaultObject};
thread_local unsigned mappingDepth = 0;
// The object the redirected thread raises on entering RaisePendingFault.
thread_local std::exception_ptr pendingFault;

PVOID handlerHandle = nullptr;

// "%p" as the runtime prints it: upper-case, all the digits of a pointer.
AnsiString PointerText(const void* pointer) {
    char text[2 * sizeof(void*) + 1];
    std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}

AnsiString ModuleNameOf(const void* address) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(address), &module))
        return {};
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c != 0; ++c)
        if (*c == L'\\' || *c == L'/')
            name = c + 1;
    return WideToAnsi(reinterpret_cast<const char16_t*>(name));
}

AnsiString AccessViolationMessage(const EXCEPTION_RECORD& record) {
    const char* operation = "Read";
    const void* target = nullptr;
    if (record.NumberParameters >= 2) {
        if (record.ExceptionInformation[0] == 1)
            operation = "Write";
        else if (record.ExceptionInformation[0] == 8)
            operation = "Execute";
        target = reinterpret_cast<const void*>(record.ExceptionInformation[1]);
    }
    return "Access violation at address " + PointerText(record.ExceptionAddress) + " in module '" +
           ModuleNameOf(record.ExceptionAddress) + "'. " + operation + " of address " + PointerText(target);
}

// Entered instead of the faulting instruction, as if that instruction had called it: the throw
// unwinds from the faulting frame, whose handlers and destructors run as for any throw there.
[[noreturn]] void RaisePendingFault() {
    std::exception_ptr fault = std::exchange(pendingFault, nullptr);
    // Reported when it was mapped; the raise itself is no new exception.
    const TUnobservedRaise unobserved;
    std::rethrow_exception(fault);
}

// Points the thread's context at RaisePendingFault with the fault address + 1 as its return
// address: unwinders look up the instruction before a return address, which is then the faulting
// one itself. The faulting function's callee-saved registers are untouched, so the unwind
// restores them as for any call.
void RedirectToRaiser(CONTEXT& context, const void* faultAddress) {
    const auto returnAddress = reinterpret_cast<uintptr_t>(faultAddress) + 1;
#if defined(_M_X64) || defined(__x86_64__)
    DWORD64 imageBase = 0;
    const PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
    // The unwind data's header: version and flags, prologue size, number of codes.
    const auto* unwindInfo =
        function != nullptr ? reinterpret_cast<const uint8_t*>(imageBase + function->UnwindData) : nullptr;
    constexpr uint8_t ChainedInfo = 0x4 << 3;
    const bool frameless = function == nullptr || (unwindInfo[2] == 0 && (unwindInfo[0] & ChainedInfo) == 0);
    if (frameless) {
        // A function that never moves the stack pointer has nothing to clean up: the raise
        // starts as if it had called the raiser in its caller's place, its return address on top
        // of the stack. (Unwinding from inside such a function fails under Wine.)
        context.Rip = reinterpret_cast<uintptr_t>(&RaisePendingFault);
        return;
    }
    context.Rsp -= sizeof(uintptr_t);
    *reinterpret_cast<uintptr_t*>(context.Rsp) = returnAddress;
    context.Rip = reinterpret_cast<uintptr_t>(&RaisePendingFault);
#else
    context.Esp -= sizeof(uintptr_t);
    *reinterpret_cast<uintptr_t*>(context.Esp) = returnAddress;
    context.Eip = reinterpret_cast<uintptr_t>(&RaisePendingFault);
#endif
}

RTL_RAISE_PATH LONG CALLBACK FaultHandler(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (!IsReportedExceptionCode(record.ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    const bool programFault =
        IsMappedFaultCode(record.ExceptionCode) && IsRegisteredModuleAddress(record.ExceptionAddress);
    // A fault in foreign code may be the foreign code's own business (it handles it further up);
    // only its raised exceptions are reported, as they would be when they reach our frames.
    if (IsMappedFaultCode(record.ExceptionCode) && !programFault)
        return EXCEPTION_CONTINUE_SEARCH;
    std::exception_ptr object;
    try {
        const TRaiseOriginScope origin(TRaiseOrigin{0, pointers->ContextRecord});
        object = faultMapper.load()(record);
    } catch (...) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    if (!programFault || mappingDepth == 0 || !object)
        return EXCEPTION_CONTINUE_SEARCH;
    pendingFault = std::move(object);
    RedirectToRaiser(*pointers->ContextRecord, record.ExceptionAddress);
    return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallFaultHandler() {
    handlerHandle = ::AddVectoredExceptionHandler(1, &FaultHandler);
}

void RemoveFaultHandler() {
    if (handlerHandle != nullptr)
        ::RemoveVectoredExceptionHandler(std::exchange(handlerHandle, nullptr));
}

} // namespace

TFaultObjectMapper SetFaultObjectMapper(TFaultObjectMapper mapper) {
    return faultMapper.exchange(mapper != nullptr ? mapper : &MakeFaultObject);
}

std::exception_ptr MakeFaultObject(const EXCEPTION_RECORD& record) {
    const void* address = record.ExceptionAddress;
    switch (record.ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION:
        return std::make_exception_ptr(EAccessViolation(
            AccessViolationMessage(record), address,
            record.NumberParameters >= 2 ? reinterpret_cast<const void*>(record.ExceptionInformation[1]) : nullptr));
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
        return std::make_exception_ptr(EDivByZero("Division by zero", record.ExceptionCode, address));
    case EXCEPTION_STACK_OVERFLOW:
        return std::make_exception_ptr(EStackOverflow("Stack overflow", record.ExceptionCode, address));
    default: {
        char code[9];
        std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(record.ExceptionCode));
        return std::make_exception_ptr(
            EExternalException(AnsiString("External exception ") + code, record.ExceptionCode, address));
    }
    }
}

bool IsMappedFaultCode(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
        return true;
    default:
        return false;
    }
}

bool IsReportedExceptionCode(DWORD code) {
    // C++ exceptions that libraries built with the system's own compiler raise are caught by
    // those libraries as a rule.
    constexpr DWORD SystemCompilerCppExceptionCode = 0xE06D7363;
    if (IsMappedFaultCode(code))
        return true;
    if (code == LanguageExceptionCode || code == SystemCompilerCppExceptionCode)
        return false;
    // Error severity: the two top bits set. Informational and warning codes (debug output, thread
    // names, breakpoints, the C++ runtime's unwinding on x86-64) are no failures.
    return (code & 0xC0000000u) == 0xC0000000u;
}

TFaultMappingScope::TFaultMappingScope() noexcept {
    ++mappingDepth;
}

TFaultMappingScope::~TFaultMappingScope() {
    --mappingDepth;
}

const TUnitInfo RtlSystemFaultsUnit{"SystemFaults", &InstallFaultHandler, &RemoveFaultHandler};
