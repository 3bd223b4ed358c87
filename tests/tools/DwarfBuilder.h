// Bytes of DWARF sections for the tests of the producer's reader: little-endian values, LEB128,
// strings, and patching a length once the bytes it counts are known.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class DwarfBytes {
public:
    DwarfBytes& U8(uint64_t value) { return Fixed(value, 1); }
    DwarfBytes& U16(uint64_t value) { return Fixed(value, 2); }
    DwarfBytes& U32(uint64_t value) { return Fixed(value, 4); }
    DwarfBytes& U64(uint64_t value) { return Fixed(value, 8); }
    DwarfBytes& Fixed(uint64_t value, size_t size) {
        for (size_t i = 0; i < size; ++i)
            bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
        return *this;
    }
    DwarfBytes& Uleb(uint64_t value) {
        do {
            uint8_t byte = value & 0x7F;
            value >>= 7;
            bytes_.push_back(static_cast<uint8_t>(byte | (value != 0 ? 0x80 : 0)));
        } while (value != 0);
        return *this;
    }
    DwarfBytes& Sleb(int64_t value) {
        for (;;) {
            const uint8_t byte = value & 0x7F;
            value >>= 7;
            const bool done = (value == 0 && (byte & 0x40) == 0) || (value == -1 && (byte & 0x40) != 0);
            bytes_.push_back(static_cast<uint8_t>(byte | (done ? 0 : 0x80)));
            if (done)
                return *this;
        }
    }
    DwarfBytes& Text(const std::string& text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back(0);
        return *this;
    }
    // A 32-bit length to be filled in by EndLength with the count of the bytes written after it.
    size_t BeginLength() {
        const size_t at = bytes_.size();
        U32(0);
        return at;
    }
    void EndLength(size_t at) {
        const uint64_t length = bytes_.size() - at - 4;
        for (size_t i = 0; i < 4; ++i)
            bytes_[at + i] = static_cast<uint8_t>(length >> (8 * i));
    }
    size_t Size() const { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};
