#include "MaskFormat.h"

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

// ---- Masks without saved literals: the value holds the input characters only

TEST(MaskFormatInputOnly, InsertsTheLiteralsBetweenTheValuesCharacters) {
    EXPECT_EQ(FormatMaskText("(000) 000-0000;0;_", "5551234567"), "(555) 123-4567");
    EXPECT_EQ(FormatMaskText("00/00/0000;0", "24121999"), "24/12/1999");
}

TEST(MaskFormatInputOnly, MissingCharactersShowTheBlank) {
    EXPECT_EQ(FormatMaskText("(000) 000-0000;0;_", "555123"), "(555) 123-____");
    EXPECT_EQ(FormatMaskText("000-0000;0; ", "12"), "12 -    ");
    EXPECT_EQ(FormatMaskText("00/00;0;*", ""), "**/**");
}

TEST(MaskFormatInputOnly, TheBlankIsAnUnderscoreUnlessTheMaskNamesOne) {
    EXPECT_EQ(FormatMaskText("000;0", "1"), "1__");
    EXPECT_EQ(FormatMaskText("000;0;", "1"), "1__") << "an empty blank section names none";
    EXPECT_EQ(FormatMaskText("000;0;#x", "1"), "1##") << "the first character of the section counts";
}

TEST(MaskFormatInputOnly, EveryInputCharacterTakesOnePosition) {
    EXPECT_EQ(FormatMaskText("09#LlAaCc&;0;_", "1234567890"), "1234567890");
    EXPECT_EQ(FormatMaskText("0-9-#-L-l-A-a-C-c-&;0;_", "abcdefghij"), "a-b-c-d-e-f-g-h-i-j");
}

TEST(MaskFormatInputOnly, AValueLongerThanTheMaskKeepsItsExtraCharactersAtTheEnd) {
    EXPECT_EQ(FormatMaskText("00;0", "12345"), "12345");
    EXPECT_EQ(FormatMaskText("0-0;0", "123"), "1-23");
    EXPECT_EQ(FormatMaskText("(0);0", "123"), "(123)") << "they follow the last position, not the mask";
}

TEST(MaskFormatInputOnly, TheExclamationMarkFillsFromTheEnd) {
    EXPECT_EQ(FormatMaskText("!000;0;_", "7"), "__7");
    EXPECT_EQ(FormatMaskText("!00-00;0;_", "123"), "_1-23");
    EXPECT_EQ(FormatMaskText("!0-0;0", "123"), "12-3") << "extra characters come first";
    EXPECT_EQ(FormatMaskText("(!0);0", "123"), "(123)");
    EXPECT_EQ(FormatMaskText("00!;0;_", "1"), "_1") << "the directive holds wherever it stands";
}

TEST(MaskFormatInputOnly, AMaskOfLiteralsOnlyShowsThemBeforeTheValue) {
    EXPECT_EQ(FormatMaskText("+-=;0", "xy"), "+-=xy");
    EXPECT_EQ(FormatMaskText("+-=;0", ""), "+-=");
}

// ---- Masks with saved literals: the value holds them in place

TEST(MaskFormatSavedLiterals, LiteralsAreTheDefault) {
    EXPECT_EQ(FormatMaskText("00-00", "12-34"), "12-34");
    EXPECT_EQ(FormatMaskText("00-00;", "12-34"), "12-34");
    EXPECT_EQ(FormatMaskText("00-00;1;_", "12-34"), "12-34");
    EXPECT_EQ(FormatMaskText("00-00;x;_", "12-34"), "12-34") << "only '0' stores the input alone";
}

TEST(MaskFormatSavedLiterals, ShortFieldsArePadded) {
    EXPECT_EQ(FormatMaskText("99/99/0000;1;_", "1/2/2000"), "1_/2_/2000");
    EXPECT_EQ(FormatMaskText("!99/99/0000;1; ", "1/2/2000"), " 1/ 2/2000");
    EXPECT_EQ(FormatMaskText("00:00;1;_", "1:"), "1_:__");
}

TEST(MaskFormatSavedLiterals, ALiteralMissingFromTheValueIsShownAnyway) {
    EXPECT_EQ(FormatMaskText("00-00;1;_", "12"), "12-__");
    EXPECT_EQ(FormatMaskText("(000);1;_", "555"), "(555)");
}

TEST(MaskFormatSavedLiterals, ALongFieldKeepsItsExtraCharacters) {
    EXPECT_EQ(FormatMaskText("00-00;1;_", "123-4"), "123-4_");
    EXPECT_EQ(FormatMaskText("!00-00;1;_", "123-4"), "123-_4");
    EXPECT_EQ(FormatMaskText("00%;1", "123%"), "123%");
    EXPECT_EQ(FormatMaskText("+-;1", "+-cd"), "+-cd") << "characters no field takes follow the mask";
}

// ---- Case shifts, escapes, sections

TEST(MaskFormatCase, ShiftsApplyToTheFollowingPositions) {
    EXPECT_EQ(FormatMaskText(">LLL<lll;0", "abcDEF"), "ABCdef");
    EXPECT_EQ(FormatMaskText(">L<>L;0", "ab"), "Ab") << "<> ends the shift";
    EXPECT_EQ(FormatMaskText(">L;0", "\xE4"), "\xE4") << "bytes beyond ASCII stay as they are";
    EXPECT_EQ(FormatMaskText(">L;0;_", ""), "_") << "the blank is never shifted";
    EXPECT_EQ(FormatMaskText(">l-l;0", "a"), "A-_");
}

TEST(MaskFormatCase, ShiftsNeverChangeLiteralsOrExtraCharacters) {
    EXPECT_EQ(FormatMaskText(">L\\x;0", "abc"), "Abcx") << "the extras follow the last position";
}

TEST(MaskFormatEscape, ABackslashMakesTheNextCharacterALiteral) {
    EXPECT_EQ(FormatMaskText("\\00;0", "5"), "05");
    EXPECT_EQ(FormatMaskText("\\(000\\);0", "123"), "(123)");
    EXPECT_EQ(FormatMaskText("0\\;0;0;_", "12"), "1;2") << "an escaped separator belongs to the mask";
    EXPECT_EQ(FormatMaskText("\\\\0;0", "7"), "\\7");
    EXPECT_EQ(FormatMaskText("\\!0;0;_", ""), "!_") << "an escaped directive is a literal";
}

TEST(MaskFormatEscape, ABackslashEndingTheMaskIsShownAsItself) {
    EXPECT_EQ(FormatMaskText("00\\", "12"), "12\\");
    EXPECT_EQ(FormatMaskText("\\", "x"), "\\x");
}

TEST(MaskFormatEdges, AnEmptyMaskGivesTheValueUnchanged) {
    EXPECT_EQ(FormatMaskText("", "anything"), "anything");
    EXPECT_EQ(FormatMaskText(";0;_", "anything"), "anything");
    EXPECT_EQ(FormatMaskText("!><>;1;*", "x"), "x") << "directives alone show nothing";
    EXPECT_EQ(FormatMaskText("", ""), "");
}

TEST(MaskFormatEdges, ZeroBytesAreOrdinaryCharacters) {
    EXPECT_EQ(FormatMaskText("0-0;0;_", "\0\0"s), "\0-\0"s);
    EXPECT_EQ(FormatMaskText("0\0000;0;_"s, "12"), "1\0002"s);
}

// ---- Any mask and any value

// Every prefix of a mask and of a value formats; without saved literals the text holds every
// literal, and either every position or every character of the value.
TEST(MaskFormatEdges, EveryPrefixOfMaskAndValueFormats) {
    const std::string masks[] = {"!(000) 000-0000;0;*", ">LL\\-<aa;1;_", "99/99/0000;1; ", "\\\\\\;0;0"};
    const std::string value = "12/3-4ab;\\";
    for (const std::string& mask : masks)
        for (size_t m = 0; m <= mask.size(); ++m)
            for (size_t v = 0; v <= value.size(); ++v)
                EXPECT_NO_THROW(FormatMaskText(mask.substr(0, m), value.substr(0, v)));
}

size_t CountInputs(const std::string& mask, size_t& literals) {
    size_t inputs = 0;
    literals = 0;
    for (size_t i = 0; i < mask.size() && mask[i] != ';'; ++i) {
        const char c = mask[i];
        if (c == '\\') {
            ++literals;
            ++i;
        } else if (std::string("09#LlAaCc&").find(c) != std::string::npos) {
            ++inputs;
        } else if (c == '<' && i + 1 < mask.size() && mask[i + 1] == '>') {
            ++i;
        } else if (c != '!' && c != '<' && c != '>') {
            ++literals;
        }
    }
    return inputs;
}

TEST(MaskFormatEdges, RandomMasksAndValuesKeepEveryCharacter) {
    std::mt19937 random(20261209);
    const std::string alphabet = "09#LlAaCc&<>!\\;-/:() x\x80\xFF";
    for (int round = 0; round < 20000; ++round) {
        std::string mask;
        const size_t maskLength = random() % 16;
        for (size_t i = 0; i < maskLength; ++i)
            mask += alphabet[random() % alphabet.size()];
        std::string value;
        const size_t valueLength = random() % 16;
        for (size_t i = 0; i < valueLength; ++i)
            value += static_cast<char>(random() % 256);
        if (round % 2 == 0) {
            // Without saved literals the arithmetic of the result is known.
            std::string body = mask.substr(0, mask.find(';'));
            size_t trailingEscapes = 0;
            while (trailingEscapes < body.size() && body[body.size() - 1 - trailingEscapes] == '\\')
                ++trailingEscapes;
            if (trailingEscapes % 2 != 0)
                body.pop_back(); // it would escape the separator
            mask = body + ";0;_";
            size_t literals = 0;
            const size_t inputs = CountInputs(mask, literals);
            const std::string text = FormatMaskText(mask, value);
            if (inputs + literals == 0)
                EXPECT_EQ(text, value) << mask;
            else if (inputs == 0)
                EXPECT_EQ(text.size(), literals + value.size()) << mask;
            else
                EXPECT_EQ(text.size(), literals + std::max(inputs, value.size())) << mask;
        } else {
            const std::string text = FormatMaskText(mask, value);
            EXPECT_GE(text.size(), value.size()) << mask;
        }
    }
}

} // namespace
