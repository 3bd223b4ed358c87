// Icons kept as text: the grid and palette read back, and the .ico file Windows will load.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "IconText.h"

namespace {

uint32_t Le(const std::vector<uint8_t>& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes.at(at + static_cast<size_t>(i));
    return value;
}

const char TwoByTwo[] = "# a comment, then the palette\n"
                        "colour . none\r\n"
                        "colour R ff0000\n"
                        "colour b 0000Aa\n"
                        "\n"
                        "R.\n"
                        "bR  \n";

TEST(IconText, TheGridAndPaletteGiveOnePixelPerCharacter) {
    const TIconArt art = ParseIconText(TwoByTwo);
    EXPECT_EQ(art.Edge, 2);
    EXPECT_EQ(art.Pixels, (std::vector<uint32_t>{0xFFFF0000u, 0u, 0xFF0000AAu, 0xFFFF0000u}));
}

TEST(IconText, MistakesNameTheirLine) {
    const auto lineOf = [](const std::string& text) {
        try {
            ParseIconText(text);
        } catch (const EIconText& e) {
            return e.Line();
        }
        return 0;
    };
    EXPECT_EQ(lineOf("colour R ff0000\nRR\nRx\n"), 3) << "a character without a colour";
    EXPECT_EQ(lineOf("colour R ff0000\nRR\nR\n"), 3) << "a short row";
    EXPECT_EQ(lineOf("colour R ff0000\nRRR\nRR\n"), 2) << "rows longer than the grid is high";
    EXPECT_EQ(lineOf("colour R ff00\n"), 1) << "five hex digits";
    EXPECT_EQ(lineOf("colour R ff00zz\n"), 1);
    EXPECT_EQ(lineOf("colour RR ff0000\n"), 1) << "a name of two characters";
    EXPECT_EQ(lineOf("colour R ff0000 extra\n"), 1);
    EXPECT_EQ(lineOf("# nothing\ncolour R ff0000\n"), 2) << "no rows at all";
}

TEST(IconText, TheIconFileHoldsOneScaledImageWithItsMaskPerEdge) {
    const std::vector<uint8_t> file = WriteIconFile(ParseIconText(TwoByTwo), {2, 4});
    ASSERT_GE(file.size(), 38u);
    EXPECT_EQ(Le(file, 0, 2), 0u);
    EXPECT_EQ(Le(file, 2, 2), 1u) << "an icon, not a cursor";
    EXPECT_EQ(Le(file, 4, 2), 2u);

    size_t expectedOffset = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
        const size_t entry = 6 + 16 * static_cast<size_t>(i);
        const uint32_t edge = i == 0 ? 2 : 4;
        const uint32_t size = 40 + edge * edge * 4 + 4 * edge; // mask rows padded to 4 bytes
        EXPECT_EQ(file[entry], edge);
        EXPECT_EQ(file[entry + 1], edge);
        EXPECT_EQ(Le(file, entry + 4, 2), 1u);
        EXPECT_EQ(Le(file, entry + 6, 2), 32u);
        EXPECT_EQ(Le(file, entry + 8, 4), size);
        EXPECT_EQ(Le(file, entry + 12, 4), expectedOffset);
        const size_t header = expectedOffset;
        EXPECT_EQ(Le(file, header, 4), 40u);
        EXPECT_EQ(Le(file, header + 4, 4), edge);
        EXPECT_EQ(Le(file, header + 8, 4), 2 * edge) << "colour and mask together";
        EXPECT_EQ(Le(file, header + 14, 2), 32u);
        expectedOffset += size;
    }
    EXPECT_EQ(file.size(), expectedOffset);

    // The 4-pixel image, rows bottom-up: its first row is the art's last ("bR"), each pixel doubled.
    const size_t pixels = Le(file, 6 + 16 + 12, 4) + 40;
    EXPECT_EQ(Le(file, pixels, 4), 0xFF0000AAu);
    EXPECT_EQ(Le(file, pixels + 4, 4), 0xFF0000AAu);
    EXPECT_EQ(Le(file, pixels + 8, 4), 0xFFFF0000u);
    // Its top row is "R." doubled: the transparent half is stored as zero and masked.
    const size_t topRow = pixels + 3 * 16;
    EXPECT_EQ(Le(file, topRow + 4, 4), 0xFFFF0000u);
    EXPECT_EQ(Le(file, topRow + 8, 4), 0u);
    const size_t mask = pixels + 4 * 16;
    EXPECT_EQ(file[mask], 0x00) << "bottom row opaque";
    EXPECT_EQ(file[mask + 3 * 4], 0x30) << "top row: pixels 2 and 3 transparent";
}

TEST(IconText, EdgesThatAreNoWholeMultipleOrTooLargeAreRefused) {
    const TIconArt art = ParseIconText(TwoByTwo);
    EXPECT_THROW(WriteIconFile(art, {3}), std::invalid_argument);
    EXPECT_THROW(WriteIconFile(art, {256}), std::invalid_argument);
    EXPECT_THROW(WriteIconFile(art, {0}), std::invalid_argument);
    EXPECT_THROW(WriteIconFile(art, {}), std::invalid_argument);
    EXPECT_NO_THROW(WriteIconFile(art, {2, 254}));
}

} // namespace
