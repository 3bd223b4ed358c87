#include "TraceCpuClock.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// a / b rounded to the nearest, halves up; b must not be 0. Computed without forming a + b / 2,
// which could overflow for tick totals near the top of the range.
uint64_t DivideRounded(uint64_t a, uint64_t b) {
    const uint64_t quotient = a / b;
    const uint64_t remainder = a % b;
    return remainder >= b - remainder ? quotient + 1 : quotient;
}

uint32_t PassMHz(const TClockPass& pass) {
    if (pass.Microseconds == 0)
        return 0;
    return static_cast<uint32_t>(DivideRounded(pass.TimeStampTicks, pass.Microseconds));
}

bool LastThreeAgree(const std::vector<uint32_t>& results) {
    const size_t n = results.size();
    const int64_t sum = int64_t{results[n - 1]} + results[n - 2] + results[n - 3];
    for (size_t i = n - 3; i < n; ++i) {
        if (std::llabs(3 * int64_t{results[i]} - sum) > 3)
            return false;
    }
    return true;
}

} // namespace

uint32_t MeasureClockMHz(const TClockPassSource& pass) {
    std::vector<uint32_t> results;
    uint64_t totalTicks = 0;
    uint64_t totalMicroseconds = 0;
    while (results.size() < static_cast<size_t>(MaxClockPasses)) {
        const TClockPass measured = pass();
        totalTicks += measured.TimeStampTicks;
        totalMicroseconds += measured.Microseconds;
        results.push_back(PassMHz(measured));
        if (results.size() >= static_cast<size_t>(MinClockPasses) && LastThreeAgree(results))
            break;
    }
    if (totalMicroseconds == 0)
        return 0;
    // Tenths and hundredths carry the fraction the integer quotient drops, so that 866.6 is
    // counted up as 867 and not 866 (the customary rounding then makes it 866 again).
    int64_t tenths = static_cast<int64_t>(DivideRounded(totalTicks * 10, totalMicroseconds));
    const int64_t hundredths = static_cast<int64_t>(DivideRounded(totalTicks * 100, totalMicroseconds));
    if (hundredths - 10 * tenths > 5)
        ++tenths;
    int64_t clock = static_cast<int64_t>(DivideRounded(totalTicks, totalMicroseconds));
    if (tenths - 10 * clock > 5)
        ++clock;
    return static_cast<uint32_t>(clock);
}

uint32_t RoundClockToCustomary(uint32_t mhz) {
    static constexpr std::array<uint32_t, 9> Customary{0, 20, 33, 50, 60, 66, 80, 90, 100};
    const uint32_t remainder = mhz % 100;
    for (size_t i = 1; i < Customary.size(); ++i) {
        const uint32_t upper = Customary[i];
        if (remainder < upper) {
            const uint32_t lower = Customary[i - 1];
            const uint32_t hundreds = mhz - remainder;
            return remainder - lower < upper - remainder ? hundreds + lower : hundreds + upper;
        }
    }
    return mhz;
}

uint64_t PassCounterTicks(uint64_t counterFrequency) {
    constexpr uint64_t MinimumTicks = 1000;
    const uint64_t ticksPerMillisecond = counterFrequency / 1000 + (counterFrequency % 1000 != 0 ? 1 : 0);
    return ticksPerMillisecond > MinimumTicks ? ticksPerMillisecond : MinimumTicks;
}

uint64_t CounterTicksToMicroseconds(uint64_t ticks, uint64_t counterFrequency) {
    if (counterFrequency == 0)
        return 0;
    constexpr uint64_t Million = 1000000;
    // Whole seconds and the rest apart: ticks * 1,000,000 would leave 64 bits after some days of
    // a GHz counter, and the i686 compiler has no 128-bit type.
    const uint64_t seconds = ticks / counterFrequency;
    const uint64_t rest = ticks % counterFrequency;
    uint64_t fraction;
    if (counterFrequency <= UINT64_MAX / Million)
        fraction = DivideRounded(rest * Million, counterFrequency);
    else
        fraction = static_cast<uint64_t>(static_cast<long double>(rest) * Million / counterFrequency + 0.5L);
    return seconds * Million + fraction;
}

bool DivisionTestPasses() {
    // volatile keeps the compiler from folding the division away at compile time: the test is of
    // the processor that runs the program.
    volatile double x = 2658955.0;
    volatile double pi = 3.14159265358979323846;
    const double quotient = x / pi;
    return x - quotient * pi < 1.0;
}
