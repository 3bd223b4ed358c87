// The DWARF sections of a linked PE/COFF image, found by name (GNU ld gives the long names such as
// ".debug_line_str" through the COFF string table), and the one error every malformed section
// raises. The bytes are untrusted: readers of them go through ByteReader.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "ByteReader.h"
#include "TracePeImage.h"

struct DwarfSections {
    std::span<const uint8_t> Info, Abbrev, Line, Str, LineStr, Ranges, RngLists, Addr, StrOffsets;
};

// The sections the image has; an absent one is empty. The spans point into the image's bytes.
DwarfSections FindDwarfSections(const TTracePeImage& image);

// Malformed DWARF: "<section>: <what> at offset N" with N the offset inside that section.
class EDwarfFormatError : public std::runtime_error {
public:
    EDwarfFormatError(std::string_view section, std::string_view what, uint64_t offset);
    const std::string& Section() const noexcept { return section_; }
    uint64_t Offset() const noexcept { return offset_; }

private:
    std::string section_;
    uint64_t offset_;
};

// The message of a ByteReader failure without its " at offset N" (the offset is kept apart).
std::string_view ByteReadFailure(const EByteReadError& error);

// Runs `read`, turning a ByteReader failure into EDwarfFormatError for `section`, so that a
// truncated or garbled section names itself.
template <typename Read> decltype(auto) ReadingSection(std::string_view section, Read&& read) {
    try {
        return read();
    } catch (const EByteReadError& error) {
        throw EDwarfFormatError(section, ByteReadFailure(error), error.Offset());
    }
}
