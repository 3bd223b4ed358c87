// The data-access framework's locate options, a set of two bits.
#pragma once

#include <cstdint>

enum TLocateOption : uint8_t { loCaseInsensitive = 0, loPartialKey = 1 };

class TLocateOptions {
public:
    constexpr TLocateOptions() noexcept = default;
    constexpr TLocateOptions(TLocateOption option) noexcept : bits_(static_cast<uint8_t>(1u << option)) {}
    static constexpr TLocateOptions FromBits(uint8_t bits) noexcept {
        TLocateOptions options;
        options.bits_ = bits;
        return options;
    }

    constexpr uint8_t Bits() const noexcept { return bits_; }
    constexpr bool Empty() const noexcept { return bits_ == 0; }
    constexpr bool Contains(TLocateOption option) const noexcept { return (bits_ & (1u << option)) != 0; }
    friend constexpr TLocateOptions operator|(TLocateOptions a, TLocateOptions b) noexcept {
        return FromBits(static_cast<uint8_t>(a.bits_ | b.bits_));
    }
    friend constexpr bool operator==(TLocateOptions a, TLocateOptions b) noexcept = default;

private:
    uint8_t bits_ = 0;
};

constexpr TLocateOptions operator|(TLocateOption a, TLocateOption b) noexcept {
    return TLocateOptions(a) | TLocateOptions(b);
}
