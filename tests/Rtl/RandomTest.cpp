#include "Random.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

namespace {

TEST(RandomGenerator, AFixedSeedGivesTheRuntimesSequence) {
    TRandomGenerator generator(0);
    EXPECT_EQ(generator.Next(100), 0u);
    EXPECT_EQ(generator.Seed(), 1u);
    EXPECT_EQ(generator.Next(100), 3u);
    EXPECT_EQ(generator.Seed(), 0x08088406u);
    EXPECT_EQ(generator.Next(100), 86u);
    EXPECT_EQ(generator.Seed(), 0xDC6DAC1Fu);
    EXPECT_EQ(generator.Next(0xFFFFFFFF), 0x33DC589Bu);
    EXPECT_EQ(generator.Next(0xFFFFFFFF), 0x45DE2B0Cu);
    EXPECT_EQ(generator.Next(1000000), 671654u);
    EXPECT_EQ(generator.Seed(), 0xABF18B42u);
}

TEST(RandomGenerator, TheSeedWrapsAroundAndTheFullRangeReachesTheUpperHalf) {
    // 0xFFFFFFFF * multiplier + 1 wraps to 1 - 0x08088405 modulo 2^32.
    TRandomGenerator generator(0xFFFFFFFF);
    generator.Next(1);
    EXPECT_EQ(generator.Seed(), 0xF7F77BFCu);

    // A draw over the whole 32-bit range can exceed 2^31: read as signed it is negative, which
    // the names of temporary folders show.
    generator.SetSeed(0x08088406);
    const uint32_t draw = generator.Next(0xFFFFFFFF);
    EXPECT_EQ(draw, 0xDC6DAC1Eu);
    EXPECT_LT(static_cast<int32_t>(draw), 0);
}

TEST(RandomGenerator, DrawsStayBelowTheirRange) {
    TRandomGenerator generator(0x2468ACE1);
    EXPECT_EQ(generator.Next(0), 0u);
    std::set<uint32_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const uint32_t draw = generator.Next(16);
        ASSERT_LT(draw, 16u);
        seen.insert(draw);
    }
    EXPECT_EQ(seen.size(), 16u) << "every value of a small range turns up";
}

TEST(RandomGenerator, TheProcessWideGeneratorIsSharedAndRandomizeReseedsIt) {
    RuntimeRandom().SetSeed(0);
    EXPECT_EQ(Random(100), 0u);
    EXPECT_EQ(Random(100), 3u);
    EXPECT_EQ(RuntimeRandom().Seed(), 0x08088406u);

    // The clock moves between two seedings; a seed that stayed put would repeat every name.
    Randomize();
    const uint32_t first = RuntimeRandom().Seed();
    uint32_t second = first;
    for (int i = 0; i < 1000 && second == first; ++i) {
        Randomize();
        second = RuntimeRandom().Seed();
    }
    EXPECT_NE(first, second);
}

} // namespace
