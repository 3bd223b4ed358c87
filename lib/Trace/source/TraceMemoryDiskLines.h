// The memory and disk lines of the error report's system-information block.
#pragma once

#include <cstdint>
#include <vector>

#include "SysTypes.h"

struct TMemoryFigures {
    uint64_t TotalPhysical = 0; // bytes
    uint64_t AvailPhysical = 0; // bytes
    uint32_t MemoryLoad = 0;    // percent
};

// "Total Physical Memory: N MB", "Avail Physical Memory: N MB", "Memory Load: N%"; megabytes are
// the bytes shifted right by 20.
std::vector<WideString> MemoryLines(const TMemoryFigures& memory);

// "Total Windows HD Space (<drive>) = N MB", "Free Windows HD Space = N MB".
std::vector<WideString> WindowsDiskLines(const WideString& drive, uint64_t totalBytes, uint64_t freeBytes);
