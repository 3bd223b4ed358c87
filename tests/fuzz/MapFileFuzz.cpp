// Linker map files as a debug-data source: any text parses without reading past its end, and the
// names the scanner hands out lie inside it.
#include <cstdint>
#include <string_view>

#include "LookupOffsets.h"
#include "TraceMapScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size);
    const TTraceMapScanner scanner(text);
    static_cast<void>(scanner.LinkerBugUnit());
    for (const uint32_t offset : fuzz::LookupOffsets(data, size)) {
        static_cast<void>(scanner.UnitOf(offset));
        static_cast<void>(scanner.UnitStartOf(offset));
        static_cast<void>(scanner.ProcedureOf(offset));
        static_cast<void>(scanner.LineOf(offset));
        static_cast<void>(scanner.SourceFileOf(offset));
    }
    for (size_t position : {size_t{0}, size / 2, size})
        static_cast<void>(scanner.NameTextAt(position));
    return 0;
}
