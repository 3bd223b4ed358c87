#include "Random.h"

#include <chrono>

void TRandomGenerator::Randomize() noexcept {
    seed_ = ClockSeed();
}

uint32_t TRandomGenerator::Next(uint32_t range) noexcept {
    seed_ = seed_ * Multiplier + 1; // unsigned arithmetic: modulo 2^32 by definition
    return static_cast<uint32_t>((uint64_t{range} * seed_) >> 32);
}

uint32_t ClockSeed() noexcept {
    // The high-resolution clock counts in the platform's finest unit (the performance counter on
    // Windows); its low bits change fastest, so they make the seed.
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ticks));
}

TRandomGenerator& RuntimeRandom() noexcept {
    static TRandomGenerator generator;
    return generator;
}
