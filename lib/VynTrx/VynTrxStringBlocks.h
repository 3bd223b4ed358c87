// String-table blocks (RT_STRING resources) in their stored form and back: 16 entries, each a
// 16-bit count of UTF-16 units followed by the units, no terminator. Platform-free: a translation
// module's bytes are untrusted.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "SysTypes.h"

// One string of a string table with its identifier ((block - 1) * 16 + position).
struct TStringTableEntry {
    uint32_t Id = 0;
    WideString Text;

    bool operator==(const TStringTableEntry&) const = default;
};
// The non-empty strings of one string-table block, in identifier order.
using TStringTableBlock = std::vector<TStringTableEntry>;

// The block (1-based resource name) holding a string identifier.
constexpr uint32_t StringTableBlockOf(uint32_t id) {
    return id / 16 + 1;
}

// The non-empty entries of the stored block `block` (1 to 4096). Bytes after the 16th entry are
// ignored (the system pads resources); a block that ends inside an entry raises EByteReadError.
TStringTableBlock DecodeStringTableBlock(std::span<const uint8_t> bytes, uint32_t block);

// The stored form of block `block`: entry k holds the text of the entry whose identifier is
// (block - 1) * 16 + k, empty when there is none; entries of other blocks are left out. A text
// longer than a count can hold raises EVynInternalError naming its identifier.
std::vector<uint8_t> EncodeStringTableBlock(const TStringTableBlock& entries, uint32_t block);
