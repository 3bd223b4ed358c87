#include "TraceMemoryDiskLines.h"

#include "TraceReportStrings.h"
#include "VynFormatStrUtils.h"

namespace {

TVarRec Megabytes(uint64_t bytes) {
    return TVarRec(static_cast<long long>(bytes >> 20));
}

} // namespace

std::vector<WideString> MemoryLines(const TMemoryFigures& memory) {
    return {FormatWide(RsTotalPhysicalMemory, {Megabytes(memory.TotalPhysical)}),
            FormatWide(RsAvailPhysicalMemory, {Megabytes(memory.AvailPhysical)}),
            FormatWide(RsMemoryLoad, {memory.MemoryLoad})};
}

std::vector<WideString> WindowsDiskLines(const WideString& drive, uint64_t totalBytes, uint64_t freeBytes) {
    return {FormatWide(RsTotalWindowsDiskSpace, {drive, Megabytes(totalBytes)}),
            FormatWide(RsFreeWindowsDiskSpace, {Megabytes(freeBytes)})};
}
