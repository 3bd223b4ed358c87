// The block array behind long sorted lists, checked against a plain vector doing the same edits:
// tiny blocks, so that every split, merge and removal of a block is reached many times.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TieredArray.h"

namespace {

template <typename Array> std::vector<std::string> Contents(const Array& array) {
    std::vector<std::string> contents;
    for (size_t i = 0; i < array.size(); ++i)
        contents.push_back(array[i]);
    return contents;
}

// Long enough that the small-string buffer is not what holds it: moves must carry the heap text.
std::string Entry(unsigned number) {
    return "entry number " + std::to_string(number) + " with text beyond the inline buffer";
}

template <size_t MaxBlock> void CompareWithVectorUnderRandomEdits(unsigned seed) {
    std::mt19937 random(seed);
    TTieredArray<std::string, MaxBlock> array;
    std::vector<std::string> model;
    unsigned next = 0;
    for (int step = 0; step < 6000; ++step) {
        const unsigned action = random() % 100;
        // Phases that mostly grow, then mostly shrink, so blocks are split and merged alike.
        const bool growing = (step / 1500) % 2 == 0;
        if (model.empty() || action < (growing ? 65u : 30u)) {
            const size_t at = random() % (model.size() + 1);
            array.insert(at, Entry(next));
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), Entry(next));
            ++next;
        } else if (action < 95) {
            const size_t at = random() % model.size();
            array.erase(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        } else if (action < 98) {
            const size_t a = random() % model.size();
            const size_t b = random() % model.size();
            std::swap(array[a], array[b]);
            std::swap(model[a], model[b]);
        } else {
            array.Gather();
            ASSERT_LE(array.BlockCount(), 1u);
            if (action == 99)
                array.Spread();
        }
        ASSERT_EQ(array.size(), model.size()) << "step " << step;
        if (step % 97 == 0 || model.size() < 3) {
            ASSERT_EQ(Contents(array), model) << "step " << step;
        } else {
            const size_t probe = random() % model.size();
            ASSERT_EQ(array[probe], model[probe]) << "step " << step << ", index " << probe;
        }
    }
    EXPECT_EQ(Contents(array), model);
}

} // namespace

TEST(TieredArray, AgreesWithAVectorThroughInsertsDeletesSwapsAndGathering) {
    for (unsigned seed : {1u, 2u, 3u})
        CompareWithVectorUnderRandomEdits<4>(seed);
    CompareWithVectorUnderRandomEdits<8>(4);
    CompareWithVectorUnderRandomEdits<512>(5);
}

TEST(TieredArray, KeepsFewBlocksWhateverTheHistory) {
    TTieredArray<std::string, 8> array;
    for (unsigned i = 0; i < 1000; ++i)
        array.insert(i / 2, Entry(i));
    // Split blocks are half full at worst.
    EXPECT_LE(array.BlockCount(), 1000u / 4 + 1);
    // Deleting all but a few leaves neighbours that fit together merged.
    while (array.size() > 10)
        array.erase(array.size() / 3);
    EXPECT_LE(array.BlockCount(), 4u);
    array.Gather();
    EXPECT_EQ(array.BlockCount(), 1u);
    array.insert(5, "new");
    EXPECT_EQ(array[5], "new");
    EXPECT_LE(array.BlockCount(), 3u) << "an insert into a gathered block splits it";
    while (!array.empty())
        array.erase(0);
    EXPECT_EQ(array.BlockCount(), 0u);
    array.push_back("again");
    EXPECT_EQ(Contents(array), std::vector<std::string>{"again"});
    array.clear();
    EXPECT_TRUE(array.empty());
}

TEST(TieredArray, SpreadingAGatheredArrayKeepsItsOrder) {
    TTieredArray<std::string, 4> array;
    std::vector<std::string> model;
    for (unsigned i = 0; i < 101; ++i) {
        array.push_back(Entry(i));
        model.push_back(Entry(i));
    }
    array.Gather();
    array.Spread();
    EXPECT_EQ(array.BlockCount(), 50u) << "pieces of two, the last with the odd one";
    EXPECT_EQ(Contents(array), model);
    array.Spread();
    EXPECT_EQ(Contents(array), model);
}
