// One unit's abbreviation table from .debug_abbrev: for each code, the tag, whether children
// follow, and the attributes with their forms (an implicit constant carries its value here).
#pragma once

#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

struct DwarfAttributeSpec {
    uint64_t Name = 0;
    uint64_t Form = 0;
    int64_t ImplicitConst = 0;
};

struct DwarfAbbreviation {
    uint64_t Tag = 0;
    bool HasChildren = false;
    std::vector<DwarfAttributeSpec> Attributes;
};

class DwarfAbbreviationTable {
public:
    // The table starting at `offset` of .debug_abbrev. Raises EDwarfFormatError naming
    // .debug_abbrev for a table that runs past the section, code 0 inside an entry, or a code
    // given twice.
    static DwarfAbbreviationTable Read(std::span<const uint8_t> section, uint64_t offset);

    // The abbreviation of a code, or null when the table has none.
    const DwarfAbbreviation* Find(uint64_t code) const;

private:
    // Codes are usually 1..n in order: those sit in `dense_`, any other in `sparse_`.
    std::vector<DwarfAbbreviation> dense_;
    std::unordered_map<uint64_t, DwarfAbbreviation> sparse_;
};
