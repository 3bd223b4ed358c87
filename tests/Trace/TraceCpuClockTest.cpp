// The processor clock from recorded passes: when passes stop, how they combine, and the rounding
// to the rates processors are sold with.
#include <gtest/gtest.h>

#include <vector>

#include "TraceCpuClock.h"

namespace {

// Hands out the recorded passes in order (the last one again once they run out) and counts them.
class RecordedPasses {
public:
    explicit RecordedPasses(std::vector<TClockPass> passes) : passes_(std::move(passes)) {}
    TClockPassSource Source() {
        return [this] {
            const size_t index = taken_ < passes_.size() ? taken_ : passes_.size() - 1;
            ++taken_;
            return passes_[index];
        };
    }
    size_t Taken() const { return taken_; }

private:
    std::vector<TClockPass> passes_;
    size_t taken_ = 0;
};

TEST(ClockPasses, StopAfterThreeThatAgreeWithinOneMHz) {
    RecordedPasses passes({{733000, 1000}, {734000, 1000}, {732000, 1000}, {900000, 1000}});
    EXPECT_EQ(MeasureClockMHz(passes.Source()), 733u);
    EXPECT_EQ(passes.Taken(), 3u);
}

TEST(ClockPasses, GoOnUntilTheLastThreeAgree) {
    RecordedPasses passes({{500000, 1000}, {733000, 1000}, {733000, 1000}, {733000, 1000}, {1, 1000}});
    MeasureClockMHz(passes.Source());
    EXPECT_EQ(passes.Taken(), 4u);
}

TEST(ClockPasses, ThreeSpreadOverTwoMHzDoNotAgree) {
    // 732, 733, 735: 3 * 735 - 2200 = 5; then 733, 735, 733 and 735, 733, 733: 4 each.
    RecordedPasses passes(
        {{732000, 1000}, {733000, 1000}, {735000, 1000}, {733000, 1000}, {733000, 1000}, {733000, 1000}});
    MeasureClockMHz(passes.Source());
    EXPECT_EQ(passes.Taken(), 6u);
}

TEST(ClockPasses, StopAtTwentyWhenTheyNeverAgree) {
    std::vector<TClockPass> alternating;
    for (int i = 0; i < 30; ++i)
        alternating.push_back({i % 2 == 0 ? 700000u : 800000u, 1000});
    RecordedPasses passes(alternating);
    EXPECT_EQ(MeasureClockMHz(passes.Source()), 750u);
    EXPECT_EQ(passes.Taken(), 20u);
}

TEST(ClockPasses, TheClockIsThatOfAllPassesTogetherCountingUpFractions) {
    // 2,600,000 ticks in 3000 us: 866.67 MHz is counted as 867.
    RecordedPasses passes({{866000, 1000}, {867000, 1000}, {867000, 1000}});
    EXPECT_EQ(MeasureClockMHz(passes.Source()), 867u);
    RecordedPasses slower({{1332400, 1000}, {1332400, 1000}, {1332400, 1000}});
    EXPECT_EQ(MeasureClockMHz(slower.Source()), 1332u);
}

TEST(ClockPasses, PassesThatMeasuredNoTimeGiveNoClockInsteadOfDividingByZero) {
    RecordedPasses passes({{1000, 0}});
    EXPECT_EQ(MeasureClockMHz(passes.Source()), 0u);
    RecordedPasses someWithoutTime({{733000, 0}, {733000, 1000}, {733000, 1000}, {733000, 1000}});
    EXPECT_NE(MeasureClockMHz(someWithoutTime.Source()), 0u);
}

TEST(CustomaryClock, MovesToTheNearerCustomaryValueTheUpperOneOnATie) {
    EXPECT_EQ(RoundClockToCustomary(733), 733u);
    EXPECT_EQ(RoundClockToCustomary(1250), 1250u);
    EXPECT_EQ(RoundClockToCustomary(867), 866u);
    EXPECT_EQ(RoundClockToCustomary(1399), 1400u);
    EXPECT_EQ(RoundClockToCustomary(1667), 1666u);
    EXPECT_EQ(RoundClockToCustomary(1998), 2000u);
    EXPECT_EQ(RoundClockToCustomary(2000), 2000u);
    EXPECT_EQ(RoundClockToCustomary(2010), 2020u); // 10 from both 0 and 20
    EXPECT_EQ(RoundClockToCustomary(2009), 2000u);
    EXPECT_EQ(RoundClockToCustomary(2041), 2033u);
    EXPECT_EQ(RoundClockToCustomary(2042), 2050u);
    EXPECT_EQ(RoundClockToCustomary(2055), 2060u);
    EXPECT_EQ(RoundClockToCustomary(2085), 2090u);
    EXPECT_EQ(RoundClockToCustomary(2094), 2090u);
    EXPECT_EQ(RoundClockToCustomary(2095), 2100u);
    EXPECT_EQ(RoundClockToCustomary(0), 0u);
    EXPECT_EQ(RoundClockToCustomary(99), 100u);
}

TEST(ClockPassLength, AtLeastAThousandTicksAndAtLeastOneMillisecond) {
    EXPECT_EQ(PassCounterTicks(3579545), 3580u);
    EXPECT_EQ(PassCounterTicks(1000000), 1000u);
    EXPECT_EQ(PassCounterTicks(10000000), 10000u);
    EXPECT_EQ(PassCounterTicks(1193182), 1194u);
    // A counter of 2 GHz: 1000 ticks are half a microsecond, which would round to 0.
    EXPECT_EQ(PassCounterTicks(2000000000), 2000000u);
    EXPECT_GE(CounterTicksToMicroseconds(PassCounterTicks(2400000000u), 2400000000u), 1000u);
    EXPECT_EQ(PassCounterTicks(0), 1000u);
}

TEST(ClockPassLength, CounterTicksInMicrosecondsRoundToTheNearest) {
    EXPECT_EQ(CounterTicksToMicroseconds(3580, 3579545), 1000u);
    EXPECT_EQ(CounterTicksToMicroseconds(1000, 2000000000), 1u); // 0.5 us rounds up
    EXPECT_EQ(CounterTicksToMicroseconds(999, 2000000000), 0u);
    EXPECT_EQ(CounterTicksToMicroseconds(1000, 0), 0u);
    // Days of a GHz counter do not overflow.
    EXPECT_EQ(CounterTicksToMicroseconds(864000000000000ull, 1000000000), 864000000000ull);
    EXPECT_EQ(CounterTicksToMicroseconds(3, UINT64_MAX), 0u);
}

TEST(DivisionTest, PassesOnAProcessorWithoutTheFault) {
    EXPECT_TRUE(DivisionTestPasses());
}

} // namespace
