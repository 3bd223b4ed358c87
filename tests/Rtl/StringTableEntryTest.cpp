// Finding one string in a stored string-table block, including blocks cut short or lying about
// their counts.
#include "StringTableEntry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// A block of the given texts (ASCII, for readable expectations) in positions 0, 1, ...; the
// positions after the last text are left out, as a damaged block would.
std::vector<uint8_t> Block(const std::vector<std::string>& texts) {
    std::vector<uint8_t> bytes;
    for (const std::string& text : texts) {
        bytes.push_back(static_cast<uint8_t>(text.size()));
        bytes.push_back(static_cast<uint8_t>(text.size() >> 8));
        for (char c : text) {
            bytes.push_back(static_cast<uint8_t>(c));
            bytes.push_back(0);
        }
    }
    return bytes;
}

std::string TextAt(const std::vector<uint8_t>& block, const TStringTableText& entry) {
    std::string text;
    for (size_t i = 0; i < entry.Length; ++i)
        text.push_back(static_cast<char>(block[entry.Offset + 2 * i]));
    return text;
}

TEST(StringTableEntry, EachPositionFindsItsOwnTextAfterEmptyOnes) {
    std::vector<std::string> texts(16);
    texts[0] = "first";
    texts[3] = "after two empty";
    texts[15] = "last";
    const std::vector<uint8_t> block = Block(texts);
    for (unsigned position = 0; position < 16; ++position) {
        const std::optional<TStringTableText> entry = FindStringTableEntry(block, position);
        ASSERT_TRUE(entry) << position;
        EXPECT_EQ(TextAt(block, *entry), texts[position]) << position;
    }
    EXPECT_EQ(TextAt(block, *FindStringTableEntry(block, 16 + 3)), "after two empty") << "taken modulo 16";
}

TEST(StringTableEntry, ABlockCutShortNeverGivesTextBeyondItsEnd) {
    const std::vector<uint8_t> whole = Block({"alpha", "", "gamma delta"});
    for (size_t size = 0; size <= whole.size(); ++size) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        for (unsigned position = 0; position < 16; ++position) {
            const std::optional<TStringTableText> entry = FindStringTableEntry(cut, position);
            if (entry)
                EXPECT_LE(entry->Offset + 2 * entry->Length, size) << size << " bytes, position " << position;
        }
    }
    // A text cut inside keeps its whole units; an odd last byte is no unit.
    const std::vector<uint8_t> cutInGamma(whole.begin(), whole.begin() + 16 + 4 + 1);
    EXPECT_EQ(TextAt(cutInGamma, *FindStringTableEntry(cutInGamma, 2)), "ga");
    // Without its whole count, an entry is not there at all.
    const std::vector<uint8_t> beforeGamma(whole.begin(), whole.begin() + 15);
    EXPECT_FALSE(FindStringTableEntry(beforeGamma, 2));
}

TEST(StringTableEntry, ACountReachingPastTheBlockHidesTheEntriesBehindIt) {
    std::vector<uint8_t> block = Block({"one", "two"});
    block[0] = 0xFF; // the first entry claims 255 units
    EXPECT_EQ(FindStringTableEntry(block, 0)->Length, (block.size() - 2) / 2) << "cut to the block";
    EXPECT_FALSE(FindStringTableEntry(block, 1));
    EXPECT_FALSE(FindStringTableEntry({}, 0));
}

} // namespace
