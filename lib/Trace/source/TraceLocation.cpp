#include "TraceLocation.h"

#include <cstdio>

namespace {

std::string Hex(uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string BracketedAddress(uintptr_t address) {
    return "[" + Hex(address, static_cast<int>(sizeof(void*) * 2)) + "]";
}

// " + $1A", or " - $1A" for a negative offset.
std::string SignedHexOffset(int32_t offset) {
    if (offset < 0)
        return " - $" + Hex(static_cast<uint32_t>(-static_cast<int64_t>(offset)), 1);
    return " + $" + Hex(static_cast<uint32_t>(offset), 1);
}

} // namespace

std::string FormatLocationText(uintptr_t address, const std::optional<TTraceLocationInfo>& location,
                               const std::optional<TTraceLocationInfo>& procedureStart,
                               const std::string& moduleFileName, const TLocationTextOptions& options) {
    const std::string bracketed = BracketedAddress(address);
    if (!location)
        return bracketed;
    std::string text;
    if (location->LineNumber <= 0) {
        const std::string offset = options.IncludeAddressOffset
                                       ? " + $" + Hex(static_cast<uint32_t>(location->OffsetFromProcName), 1)
                                       : "";
        text = location->UnitName.empty()
                   ? bracketed + " " + location->ProcedureName + offset
                   : bracketed + " " + location->UnitName + "." + location->ProcedureName + offset;
    } else {
        std::string lineText;
        if (options.IncludeLineOffset && procedureStart && procedureStart->LineNumber > 0)
            lineText = " + " + std::to_string(location->LineNumber - procedureStart->LineNumber);
        const std::string offset =
            options.IncludeAddressOffset ? SignedHexOffset(location->OffsetFromLineNumber) : "";
        text = bracketed + " " + location->UnitName + "." + location->ProcedureName + " (Line " +
               std::to_string(static_cast<uint32_t>(location->LineNumber)) + ", \"" + location->SourceName +
               "\"" + lineText + ")" + offset;
    }
    if (options.IncludeModuleName) {
        // Right after the bracketed address, the name padded to 12 characters.
        std::string module = moduleFileName;
        if (module.size() < 12)
            module.append(12 - module.size(), ' ');
        text.insert(bracketed.size(), "{" + module + "}");
    }
    return text;
}
