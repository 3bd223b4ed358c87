// Where a code address lies, as the debug-data readers answer it, and the one-line text the stack
// lists and the error report show for it. Platform-free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TTraceDebugInfoSource;

// Cleared before every lookup.
struct TTraceLocationInfo {
    uintptr_t Address = 0;
    std::string UnitName;
    std::string ProcedureName;
    int32_t OffsetFromProcName = 0;
    int32_t LineNumber = 0; // 0 = unknown
    int32_t OffsetFromLineNumber = 0;
    std::string SourceName;
    TTraceDebugInfoSource* DebugInfo = nullptr; // the source that answered
};

struct TLocationTextOptions {
    bool IncludeModuleName = false;
    bool IncludeAddressOffset = false;
    bool IncludeLineOffset = false;
};

// The text of one address. `location` is what was found for it (none: "[address]" alone);
// `procedureStart` is what was found for the address where its procedure starts (only its line
// number is used, for " + lines from the procedure's start"); `moduleFileName` names the module
// without folder. Addresses show with the platform's pointer width in upper-case hex.
std::string FormatLocationText(uintptr_t address, const std::optional<TTraceLocationInfo>& location,
                               const std::optional<TTraceLocationInfo>& procedureStart,
                               const std::string& moduleFileName, const TLocationTextOptions& options);
