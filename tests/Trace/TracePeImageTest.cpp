// PE images built byte by byte: PE32 and PE32+, as stored and as mapped, with exports (named,
// by ordinal only, forwarded), a debug directory and a section with a long name; then the same
// images cut short and garbled.
#include <gtest/gtest.h>

#include <random>

#include "PeImageBuilder.h"
#include "TracePeImage.h"

namespace {

void ExpectExports(const TTracePeImage& image) {
    const std::vector<TPeExport> exports = image.Exports();
    ASSERT_EQ(exports.size(), 3u) << "the forwarder is left out";
    EXPECT_EQ(exports[0].Name, "DllRegisterServer");
    EXPECT_EQ(exports[0].Ordinal, 5u);
    EXPECT_EQ(exports[0].Rva, 0x1010u);
    EXPECT_EQ(exports[1].Name, "DllUnregisterServer");
    EXPECT_EQ(exports[2].Name, "") << "exported by ordinal only";
    EXPECT_EQ(exports[2].Ordinal, 7u);
}

TEST(PeImage, ReadsPe32AndPe32PlusAsStored) {
    for (const bool is64 : {false, true}) {
        const ImageBuilder builder(is64);
        const auto image = TTracePeImage::Read(builder.File(), TPeLayout::File);
        ASSERT_TRUE(image) << is64;
        EXPECT_EQ(image->Is64(), is64);
        EXPECT_EQ(image->ImageBase(), is64 ? 0x140000000ull : 0x400000ull);
        EXPECT_EQ(image->SizeOfImage(), 0x4000u);
        EXPECT_EQ(image->SectionAlignment(), 0x1000u);
        ASSERT_EQ(image->Sections().size(), 3u);
        EXPECT_EQ(image->Sections()[0].Name, ".text");
        EXPECT_EQ(image->Sections()[2].Name, ".debug_info") << "the long name from the string table";
        const TPeSection* text = image->FindSection(".text");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(image->SectionData(*text).size(), 0x40u) << "the virtual size, not the padded raw size";
        ExpectExports(*image);
        const auto debug = image->DebugDirectories();
        ASSERT_EQ(debug.size(), 1u);
        EXPECT_EQ(debug[0].Type, 2u);
        EXPECT_EQ(debug[0].PointerToRawData, 0x530u);
    }
}

TEST(PeImage, ReadsAnImageAsTheLoaderMappedIt) {
    const ImageBuilder builder(false);
    const std::vector<uint8_t> mapped = builder.Mapped();
    const auto image = TTracePeImage::Read(mapped, TPeLayout::Mapped);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->Sections()[2].Name, "/4") << "the string table is not mapped";
    ExpectExports(*image);
    const std::span<const uint8_t> edata = image->SectionData(*image->FindSection(".edata"));
    EXPECT_EQ(edata.data(), mapped.data() + 0x2000);
}

TEST(PeImage, WhatIsNoImageIsRefused) {
    const ImageBuilder builder(false);
    std::vector<uint8_t> noMz = builder.File();
    noMz[0] = 'X';
    EXPECT_FALSE(TTracePeImage::Read(noMz, TPeLayout::File));
    std::vector<uint8_t> farPe = builder.File();
    farPe[0x3C] = 0xFF;
    farPe[0x3F] = 0x7F;
    EXPECT_FALSE(TTracePeImage::Read(farPe, TPeLayout::File)) << "the PE header lies past the bytes";
    std::vector<uint8_t> rom = builder.File();
    rom[0x58] = 0x07;
    rom[0x59] = 0x01;
    EXPECT_FALSE(TTracePeImage::Read(rom, TPeLayout::File)) << "an optional header of no known kind";
    ImageBuilder manySections(false);
    manySections.Put16(0x46, 0xFFFF);
    EXPECT_FALSE(TTracePeImage::Read(manySections.File(), TPeLayout::File));
}

TEST(PeImage, ExportCountsBeyondTheImageGiveNoExports) {
    ImageBuilder builder(false);
    builder.Put32(0x400 + 20, 0x40000001); // functions: times 4 wraps 32 bits
    EXPECT_TRUE(TTracePeImage::Read(builder.File(), TPeLayout::File)->Exports().empty());
    ImageBuilder names(false);
    names.Put32(0x400 + 24, 0xFFFFFFFF);
    EXPECT_TRUE(TTracePeImage::Read(names.File(), TPeLayout::File)->Exports().empty());
    ImageBuilder badOrdinal(false);
    badOrdinal.Put16(0x470, 40); // a name for a function that does not exist
    const auto exports = TTracePeImage::Read(badOrdinal.File(), TPeLayout::File)->Exports();
    EXPECT_EQ(exports.size(), 3u);
    EXPECT_EQ(exports[0].Name, "") << "the name that pointed nowhere is dropped, not misplaced";
}

TEST(PeImage, EveryPrefixAndMutationIsReadWithinItsBounds) {
    const auto read = [](const std::vector<uint8_t>& bytes, TPeLayout layout) {
        const std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        if (const auto image = TTracePeImage::Read({exact.get(), bytes.size()}, layout)) {
            for (const TPeSection& section : image->Sections())
                image->SectionData(section);
            image->Exports();
            image->DebugDirectories();
            image->BytesAt(0x2000, 0x100);
        }
    };
    for (const bool is64 : {false, true}) {
        const ImageBuilder builder(is64);
        for (size_t length = 0; length <= builder.File().size(); length += 3)
            read({builder.File().begin(), builder.File().begin() + static_cast<std::ptrdiff_t>(length)},
                 TPeLayout::File);
        std::mt19937 random(is64 ? 64 : 32);
        for (int round = 0; round < 2000; ++round) {
            std::vector<uint8_t> bytes = round % 2 ? builder.File() : builder.Mapped();
            const int changes = 1 + static_cast<int>(random() % 6);
            for (int c = 0; c < changes; ++c)
                bytes[random() % std::min<size_t>(bytes.size(), 0x600)] = static_cast<uint8_t>(random());
            read(bytes, round % 2 ? TPeLayout::File : TPeLayout::Mapped);
        }
    }
}

} // namespace
