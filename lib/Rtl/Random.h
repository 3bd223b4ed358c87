// The runtime's pseudo-random generator: a linear congruential generator over 32 bits,
// seed := seed * 0x08088405 + 1, whose draw with range R is the high half of R * seed.
// Not for anything that must be hard to guess: its purpose is unique names for temporary files.
#pragma once

#include <cstdint>

class TRandomGenerator {
public:
    static constexpr uint32_t Multiplier = 0x08088405;

    explicit TRandomGenerator(uint32_t seed = 0) noexcept : seed_(seed) {}

    uint32_t Seed() const noexcept { return seed_; }
    void SetSeed(uint32_t seed) noexcept { seed_ = seed; }
    // Seeds from the clock (ClockSeed).
    void Randomize() noexcept;
    // Advances the seed, then returns a value in [0, range): 0 for range 0.
    uint32_t Next(uint32_t range) noexcept;

private:
    uint32_t seed_;
};

// The low 32 bits of the finest clock the platform offers, so that two processes started in the
// same millisecond still differ.
uint32_t ClockSeed() noexcept;

// The process-wide generator, seeded 0 until someone calls Randomize. No lock: the callers draw
// on the GUI thread.
TRandomGenerator& RuntimeRandom() noexcept;
inline uint32_t Random(uint32_t range) noexcept {
    return RuntimeRandom().Next(range);
}
inline void Randomize() noexcept {
    RuntimeRandom().Randomize();
}
