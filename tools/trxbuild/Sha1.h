// SHA-1 (FIPS 180-4), for name-based identifiers; not for anything that needs collision resistance.
#pragma once

#include <array>
#include <cstdint>
#include <span>

class Sha1 {
public:
    Sha1();
    void Add(std::span<const uint8_t> bytes);
    // The digest of everything added; the object is spent afterwards.
    std::array<uint8_t, 20> Finish();

private:
    void Block(const uint8_t* block);

    std::array<uint32_t, 5> state_;
    std::array<uint8_t, 64> pending_{};
    size_t pendingSize_ = 0;
    uint64_t totalBytes_ = 0;
};
