// String-table blocks from their stored bytes and back: the positions of the strings are their
// identifiers, so a gap must survive and a short block must be refused, not read past.
#include <gtest/gtest.h>

#include <vector>

#include "ByteReader.h"
#include "VynSysUtilsPaths.h"
#include "VynTrxStringBlocks.h"

namespace {

TEST(VynTrxStringBlocks, EveryStringKeepsItsIdentifierThroughBytesAndBack) {
    // Block 3841 holds 61440..61455: the first two entries empty, a surrogate pair and an empty
    // text between the others.
    const TStringTableBlock block = {{61442, u"Dieses Programm ben\u00F6tigt %s."},
                                     {61443, u"\U0001F600"},
                                     {61455, u"last \"entry\"\r\n"}};
    const std::vector<uint8_t> bytes = EncodeStringTableBlock(block, 3841);
    EXPECT_EQ(bytes.size(),
              16u * 2 + (block[0].Text.size() + block[1].Text.size() + block[2].Text.size()) * 2);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[2], 0) << "the second entry is empty too";
    EXPECT_EQ(bytes[4], block[0].Text.size());
    EXPECT_EQ(DecodeStringTableBlock(bytes, 3841), block);
}

TEST(VynTrxStringBlocks, EntriesOfOtherBlocksAreLeftOutAndPaddingIgnored) {
    const TStringTableBlock mixed = {
        {15, u"block one"}, {16, u"first of two"}, {31, u"last of two"}, {32, u"three"}};
    std::vector<uint8_t> bytes = EncodeStringTableBlock(mixed, 2);
    bytes.resize(bytes.size() + 3, 0); // the system rounds resources up
    const TStringTableBlock expected = {{16, u"first of two"}, {31, u"last of two"}};
    EXPECT_EQ(DecodeStringTableBlock(bytes, 2), expected);
    EXPECT_EQ(StringTableBlockOf(15), 1u);
    EXPECT_EQ(StringTableBlockOf(16), 2u);
}

TEST(VynTrxStringBlocks, ABlockEndingInsideAnEntryIsRefused) {
    const std::vector<uint8_t> bytes = EncodeStringTableBlock({{0, u"Hallo"}}, 1);
    for (size_t cut : {size_t{0}, size_t{1}, size_t{5}, bytes.size() - 1}) {
        const std::vector<uint8_t> shorter(bytes.begin(), bytes.begin() + cut);
        EXPECT_THROW(DecodeStringTableBlock(shorter, 1), EByteReadError) << cut << " bytes";
    }
    // A count larger than the bytes left.
    std::vector<uint8_t> lying(32, 0);
    lying[0] = 0xFF;
    lying[1] = 0xFF;
    EXPECT_THROW(DecodeStringTableBlock(lying, 1), EByteReadError);
}

TEST(VynTrxStringBlocks, ATextLongerThanACountHoldsIsRefusedByItsIdentifier) {
    const TStringTableBlock block = {{17, WideString(0x10000, u'x')}};
    try {
        EncodeStringTableBlock(block, 2);
        FAIL() << "no error";
    } catch (const EVynInternalError& error) {
        EXPECT_NE(std::string(error.what()).find("17"), std::string::npos) << error.what();
    }
}

} // namespace
