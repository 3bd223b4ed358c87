// Reads .debug_info for what names code: every subprogram and inlined subroutine with the code
// ranges it covers, the entries a name is built from (their origins and declarations, and the
// namespaces and classes around those), and the units with their line programs.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "DwarfSections.h"

struct DwarfNamingEntry {
    static constexpr uint32_t NoParent = std::numeric_limits<uint32_t>::max();
    uint64_t Offset = 0;          // in .debug_info
    uint32_t Parent = NoParent;   // the nearest enclosing naming entry
    uint64_t Tag = 0;             // subprogram, inlined subroutine, namespace, class, structure, union
    std::string_view Name;        // DW_AT_name, empty when absent
    std::string_view LinkageName; // mangled
    uint64_t Origin = 0;          // DW_AT_abstract_origin (an offset in .debug_info; 0: none)
    uint64_t Specification = 0;   // DW_AT_specification
};

struct DwarfCodeRange {
    uint64_t Low = 0;
    uint64_t High = 0;  // one past the last byte
    uint32_t Entry = 0; // index of the function's entry
    uint32_t Unit = 0;  // index of its unit
};

// A compilation unit and where its line program lies.
struct DwarfUnitSummary {
    std::string_view Name;               // DW_AT_name: the main source file
    std::string_view CompDir;            // where it was compiled
    std::optional<uint64_t> LineProgram; // DW_AT_stmt_list: an offset in .debug_line
    uint8_t AddressSize = 0;
};

struct DwarfFunctions {
    std::vector<DwarfUnitSummary> Units;
    std::vector<DwarfNamingEntry> Entries; // in the order of .debug_info, so sorted by Offset
    std::vector<DwarfCodeRange> Ranges;

    // The entry at an offset of .debug_info, or NoParent when none was kept there.
    uint32_t EntryAt(uint64_t offset) const;
};

// Every unit of .debug_info. Raises EDwarfFormatError naming the section at fault (.debug_info,
// .debug_abbrev, a string or range section) for malformed data.
DwarfFunctions ScanDwarfFunctions(const DwarfSections& sections);
