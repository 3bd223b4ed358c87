// Little-endian values written in place into a byte buffer: the headers and tables the build's
// debug-data tools fill in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline void PutLittleEndian(std::vector<uint8_t>& bytes, size_t at, uint64_t value, size_t byteCount) {
    for (size_t b = 0; b < byteCount; ++b)
        bytes[at + b] = static_cast<uint8_t>(value >> (8 * b));
}

inline void PutU16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    PutLittleEndian(bytes, at, value, 2);
}
inline void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    PutLittleEndian(bytes, at, value, 4);
}
