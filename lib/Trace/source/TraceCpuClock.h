// The processor clock of the error report: the rule that repeats measuring passes until they
// agree, the combination of all passes, and the rounding to the clock rates processors are sold
// with. The passes themselves come from a source the caller gives (the time-stamp counter against
// the performance counter on Windows; recorded figures in tests).
#pragma once

#include <cstdint>
#include <functional>

struct TClockPass {
    uint64_t TimeStampTicks = 0;
    uint64_t Microseconds = 0;
};
using TClockPassSource = std::function<TClockPass()>;

constexpr int MinClockPasses = 3;
constexpr int MaxClockPasses = 20;

// Runs passes, at least 3 and at most 20, until the last three each lie within 1 MHz of their
// mean, and answers the clock of all passes together in MHz, not yet rounded to a customary
// value. 0 when the passes measured no time at all.
uint32_t MeasureClockMHz(const TClockPassSource& pass);

// The nearer of the customary values around the clock (x00, x20, x33, x50, x60, x66, x80, x90),
// the upper one on a tie: 867 -> 866, 1399 -> 1400.
uint32_t RoundClockToCustomary(uint32_t mhz);

// The performance-counter ticks one pass counts over: 1000, or as many as make 1 ms when 1000
// ticks are shorter, so that a pass never lasts 0 us however fast the counter runs.
uint64_t PassCounterTicks(uint64_t counterFrequency);
// Counter ticks in microseconds, rounded to the nearest; 0 for a frequency of 0.
uint64_t CounterTicksToMicroseconds(uint64_t ticks, uint64_t counterFrequency);

// The test for the Pentium's division fault: x - (x / pi) * pi for x = 2658955 must stay below 1.
bool DivisionTestPasses();
