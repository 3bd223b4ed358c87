// Offsets the debug-data targets look up: the edges, and words taken from the input itself, so
// that offsets the tables name are found and searched around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz {

inline std::vector<uint32_t> LookupOffsets(const uint8_t* data, size_t size) {
    std::vector<uint32_t> offsets{0, 1, 0x1000, 0x7FFFFFFF, 0xFFFFFFFF};
    // Every 4th word of the input, at most 8 of them, and their neighbours: the scanners that read
    // their tables at every lookup take time in proportion.
    for (size_t at = 0; at + 4 <= size && offsets.size() < 5 + 3 * 8; at += 16) {
        const uint32_t word = data[at] | data[at + 1] << 8 | data[at + 2] << 16 | uint32_t{data[at + 3]} << 24;
        offsets.push_back(word);
        offsets.push_back(word - 1);
        offsets.push_back(word + 1);
    }
    return offsets;
}

} // namespace fuzz
