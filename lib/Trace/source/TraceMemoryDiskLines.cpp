#include "TraceMemoryDiskLines.h"

#include "Format.h"
#include "TraceReportStrings.h"

namespace {

TVarRec Megabytes(uint64_t bytes) {
    return TVarRec(static_cast<long long>(bytes >> 20));
}

} // namespace

std::vector<WideString> MemoryLines(const TMemoryFigures& memory) {
    return {WideFormat(RsTotalPhysicalMemory, {Megabytes(memory.TotalPhysical)}),
            WideFormat(RsAvailPhysicalMemory, {Megabytes(memory.AvailPhysical)}),
            WideFormat(RsMemoryLoad, {memory.MemoryLoad})};
}

std::vector<WideString> WindowsDiskLines(const WideString& drive, uint64_t totalBytes, uint64_t freeBytes) {
    return {WideFormat(RsTotalWindowsDiskSpace, {drive, Megabytes(totalBytes)}),
            WideFormat(RsFreeWindowsDiskSpace, {Megabytes(freeBytes)})};
}
