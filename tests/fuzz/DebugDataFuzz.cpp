// TDBG debug data, read from a module's "TRACEDBG" section or a file beside it: a malformed table
// answers "nothing", and the scanner that keeps its tables answers as the one that reads them at
// every lookup.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "LookupOffsets.h"
#include "TraceDebugScanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TTraceBinDebugScanner cached(data, size, true);
    const TTraceBinDebugScanner uncached(data, size, false);
    if (cached.ValidFormat() != uncached.ValidFormat())
        std::abort();
    if (!cached.ValidFormat())
        return 0;
    static_cast<void>(cached.MatchesModule("C:\\Program Files\\Ferrule.exe"));
    const std::vector<uint32_t> offsets = fuzz::LookupOffsets(data, size);
    for (const uint32_t offset : offsets) {
        static_cast<void>(cached.UnitOf(offset));
        static_cast<void>(cached.ProcedureOf(offset));
        static_cast<void>(cached.LineOf(offset));
        static_cast<void>(cached.SourceFileOf(offset));
        static_cast<void>(cached.NameAt(offset));
    }
    // The scanner without a cache expands its tables at every lookup: a few offsets keep the
    // comparison fast enough to fuzz.
    for (size_t i = 0; i < offsets.size() && i < 8; ++i) {
        const uint32_t offset = offsets[i < 3 ? i : offsets.size() - 1 - (i - 3)];
        const auto procedure = cached.ProcedureOf(offset);
        const auto otherProcedure = uncached.ProcedureOf(offset);
        const auto line = cached.LineOf(offset);
        const auto otherLine = uncached.LineOf(offset);
        if (cached.UnitOf(offset) != uncached.UnitOf(offset) ||
            cached.UnitStartOf(offset) != uncached.UnitStartOf(offset) ||
            procedure.Name != otherProcedure.Name || procedure.Offset != otherProcedure.Offset ||
            line.Line != otherLine.Line || line.Offset != otherLine.Offset ||
            cached.SourceFileOf(offset) != uncached.SourceFileOf(offset))
            std::abort();
    }
    return 0;
}
