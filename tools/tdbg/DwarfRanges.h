// The address ranges a DW_AT_ranges value designates: a list in .debug_ranges (DWARF 2 to 4) or
// .debug_rnglists (DWARF 5, by offset or by index through the unit's rnglists base).
#pragma once

#include <cstdint>
#include <vector>

#include "DwarfSections.h"
#include "DwarfValues.h"

struct DwarfAddressRange {
    uint64_t Low = 0;
    uint64_t High = 0; // one past the last byte
};

// Empty ranges are left out. Raises EDwarfFormatError naming the list's section for a list that
// runs past it or holds an unknown entry kind.
std::vector<DwarfAddressRange> ReadDwarfRanges(const DwarfValue& ranges, const DwarfUnit& unit,
                                               const DwarfSections& sections);
