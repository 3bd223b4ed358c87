// Units of .debug_info and the values of their attributes, in every form of DWARF 2 to 5 (and
// GCC's GNU forms), read through ByteReader. A value is kept as read; strings, addresses and
// references are resolved against their unit once the unit's own bases are known.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "ByteReader.h"
#include "DwarfSections.h"

struct DwarfUnit {
    uint64_t Offset = 0;    // of the unit header in .debug_info
    uint64_t End = 0;       // one past the unit's last byte
    uint64_t DiesStart = 0; // the first entry
    uint16_t Version = 0;
    uint8_t Type = 0;        // DW_UT_* (version 5; compile for older units)
    uint8_t AddressSize = 0; // 4 or 8
    uint8_t OffsetSize = 0;  // 4, or 8 for 64-bit DWARF
    uint64_t AbbrevOffset = 0;
    // From the unit's own entry, where it has them.
    uint64_t BaseAddress = 0;
    uint64_t StrOffsetsBase = 0;
    uint64_t AddrBase = 0;
    std::optional<uint64_t> RnglistsBase;
};

// The header of the unit at the reader's position (inside .debug_info); the reader ends at its
// first entry. Raises EDwarfFormatError for a unit longer than the section, a version other than 2
// to 5, or an address size other than 4 or 8.
DwarfUnit ReadDwarfUnitHeader(ByteReader& reader);

enum class DwarfValueClass : uint8_t {
    None,         // a form whose value the producer never needs (blocks, signatures, ...)
    Constant,     // unsigned data, flags
    Signed,       // sdata, implicit constants
    Address,      // Number is the address
    AddressIndex, // Number indexes .debug_addr
    Reference,    // Number is an offset in .debug_info
    String,       // Text is the string
    StringOffset, // Number is an offset in .debug_str
    LineStringOffset,
    StringIndex, // Number indexes .debug_str_offsets
    SectionOffset,
    RangeListIndex,
};

struct DwarfValue {
    DwarfValueClass Class = DwarfValueClass::None;
    uint64_t Number = 0;
    std::string_view Text;
};

// Signed LEB128 (at most 10 bytes).
int64_t ReadSignedLeb128(ByteReader& reader);

// The value of one attribute of `form` at the reader's position in `section` (.debug_info).
DwarfValue ReadDwarfValue(ByteReader& reader, std::span<const uint8_t> section, uint64_t form,
                          int64_t implicitConst, const DwarfUnit& unit);

// A string attribute's text; empty for a value of another class. Raises EDwarfFormatError
// naming the string section for an offset or index outside it or a string without terminator.
std::string_view DwarfText(const DwarfValue& value, const DwarfUnit& unit, const DwarfSections& sections);

// An address attribute's address (through .debug_addr for an index), or nothing for a value of
// another class.
std::optional<uint64_t> DwarfAddress(const DwarfValue& value, const DwarfUnit& unit,
                                     const DwarfSections& sections);

// The address at index in .debug_addr for the unit's base.
uint64_t DwarfIndexedAddress(uint64_t index, const DwarfUnit& unit, const DwarfSections& sections);

// The zero-terminated string at `offset` of a string section, in place.
std::string_view DwarfStringAt(std::span<const uint8_t> section, std::string_view sectionName,
                               uint64_t offset);
