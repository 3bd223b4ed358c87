// A section added to a linked image: where it lands, what the headers say afterwards, and the
// images it must refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "PeImageBuilder.h"
#include "PeSectionAppender.h"
#include "TracePeImage.h"

namespace {

const std::vector<uint8_t> Payload = {'T', 'D', 'B', 'G', 1, 2, 3, 4, 5, 6, 7};

TEST(PeSectionAppender, TheSectionFollowsTheLastOneInMemoryAndInTheFile) {
    for (const bool is64 : {false, true}) {
        const ImageBuilder builder(is64);
        const std::vector<uint8_t> out = AppendPeSection(builder.File(), "TRACEDBG", Payload);
        const auto image = TTracePeImage::Read(out, TPeLayout::File);
        ASSERT_TRUE(image);
        ASSERT_EQ(image->Sections().size(), 4u);
        const TPeSection* added = image->FindSection("TRACEDBG");
        ASSERT_NE(added, nullptr);
        EXPECT_EQ(added->VirtualAddress, 0x4000u) << "after the last section, aligned";
        EXPECT_EQ(added->VirtualSize, Payload.size())
            << "the exact size: the reader checks the data's length";
        EXPECT_EQ(added->PointerToRawData, 0x600u);
        EXPECT_EQ(added->SizeOfRawData, 0x200u);
        EXPECT_EQ(image->SizeOfImage(), 0x5000u);
        const std::span<const uint8_t> data = image->SectionData(*added);
        EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.end()), Payload);
        EXPECT_EQ(image->Sections()[2].Name, ".debug_info") << "the other sections are untouched";
        EXPECT_EQ(image->Exports().size(), 3u);
        const size_t checksum = image->OptionalHeaderOffset() + 64;
        const uint32_t stored = out[checksum] | out[checksum + 1] << 8 | out[checksum + 2] << 16 |
                                static_cast<uint32_t>(out[checksum + 3]) << 24;
        EXPECT_EQ(stored, PeChecksum(out, checksum));
    }
}

TEST(PeSectionAppender, RefusesWhatItCannotDoCleanly) {
    const ImageBuilder builder(false);
    EXPECT_THROW(AppendPeSection(std::vector<uint8_t>(100, 0), "TRACEDBG", Payload), std::runtime_error);
    EXPECT_THROW(AppendPeSection(builder.File(), "TRACEDEBUG", Payload), std::runtime_error);
    EXPECT_THROW(AppendPeSection(builder.File(), ".text", Payload), std::runtime_error);
    ImageBuilder crowded(false);
    crowded.Put32(0x58 + 224 + 20, 0x1B0); // .text's raw data starts right after the section table
    EXPECT_THROW(AppendPeSection(crowded.File(), "TRACEDBG", Payload), std::runtime_error);
}

TEST(PeSectionAppender, AStrippedImageGetsBackTheLinkersTimeStamp) {
    for (const bool is64 : {false, true}) {
        ImageBuilder linked(is64);
        linked.Put32(0x40 + 4 + 4, 0); // the link left the time stamp 0
        const std::vector<uint8_t> linkedFile = linked.File();
        ImageBuilder stripped(is64);
        stripped.Put32(0x40 + 4 + 4, 0x6757A5D4); // what objcopy writes: the clock
        std::vector<uint8_t> image = stripped.File();
        std::vector<uint8_t> expected = image;
        std::fill_n(expected.begin() + 0x48, 4, 0);
        KeepLinkTimeStamp(linkedFile, image);
        EXPECT_EQ(image, expected) << "only the time stamp changes";
    }
    std::vector<uint8_t> notAnImage(100, 0);
    EXPECT_THROW(KeepLinkTimeStamp(ImageBuilder(false).File(), notAnImage), std::runtime_error);
}

TEST(PeSectionAppender, TheChecksumIsTheFoldedWordSumPlusTheLength) {
    // Words 0x0001 and 0xFFFF fold to 0x0001; the field itself (bytes 4-7) counts as zero.
    const std::vector<uint8_t> bytes = {0x01, 0x00, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC, 0xDD};
    EXPECT_EQ(PeChecksum(bytes, 4), 0x0001u + 8u);
}

} // namespace
