#include "Utf8Text.h"

#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace {

using namespace std::string_view_literals;

TEST(Utf8Text, OnlyTheShortestFormOfAScalarValueIsAccepted) {
    EXPECT_EQ(Utf8ToUtf16("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"sv), u"A\u00E9\u20AC\U0001F600");
    EXPECT_EQ(Utf8ToUtf16(""sv), u"");
    EXPECT_EQ(Utf8ToUtf16("nul \0 inside"sv), u"nul \0 inside"sv);
    for (std::string_view invalid : {"\xC0\x80"sv, "\xC1\xBF"sv, "\xE0\x80\x80"sv, "\xE0\x9F\xBF"sv,
                                     "\xF0\x80\x80\x80"sv, "\xF0\x8F\xBF\xBF"sv}) {
        EXPECT_EQ(Utf8ToUtf16(invalid), std::nullopt) << "overlong";
    }
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"sv), std::nullopt) << "an encoded high surrogate";
    EXPECT_EQ(Utf8ToUtf16("\xED\xBF\xBF"sv), std::nullopt) << "an encoded low surrogate";
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"sv), std::nullopt) << "beyond U+10FFFF";
    EXPECT_EQ(Utf8ToUtf16("ok \xE2\x82"sv), std::nullopt) << "cut short at the end";
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"
                          "A"sv),
              std::nullopt)
        << "cut short by a lead byte";
    EXPECT_EQ(Utf8ToUtf16("\x80"sv), std::nullopt) << "a lone continuation byte";
}

TEST(Utf8Text, DecodingMovesPastAValidSequenceOnly) {
    const std::string_view text = "\xE2\x82\xAC\xE2\x82"sv;
    size_t pos = 0;
    EXPECT_EQ(DecodeUtf8(text, pos), U'\u20AC');
    EXPECT_EQ(pos, 3u);
    EXPECT_EQ(DecodeUtf8(text, pos), std::nullopt);
    EXPECT_EQ(pos, 3u) << "a refused sequence leaves the cursor where it was";
}

TEST(Utf8Text, Utf16WithAnUnpairedSurrogateHasNoUtf8Form) {
    EXPECT_EQ(Utf16ToUtf8(u"A\u00E9\u20AC\U0001F600"), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(u"\xD83D"), std::nullopt) << "a high surrogate at the end";
    EXPECT_EQ(Utf16ToUtf8(u"\xD83D"
                          u"A"),
              std::nullopt)
        << "a high surrogate before a non-surrogate";
    EXPECT_EQ(Utf16ToUtf8(u"\xDE00\xD83D"), std::nullopt) << "a pair in the wrong order";
    EXPECT_EQ(Utf16ToUtf8(u"A\xDE00"), std::nullopt) << "a lone low surrogate";
}

TEST(Utf8Text, Utf16CodePointsJoinPairsAndRefuseHalves) {
    EXPECT_EQ(Utf16ToCodePoints(u"A\U0001F600\u20AC"), U"A\U0001F600\u20AC");
    EXPECT_EQ(Utf16ToCodePoints(u"A\xDE00"), std::nullopt);
    EXPECT_EQ(Utf16ToCodePoints(u"\xD83D"), std::nullopt);
    const std::u16string_view text = u"\U0001F600\xD83D";
    size_t pos = 0;
    EXPECT_EQ(DecodeUtf16(text, pos), U'\U0001F600');
    EXPECT_EQ(pos, 2u);
    EXPECT_EQ(DecodeUtf16(text, pos), std::nullopt);
    EXPECT_EQ(pos, 2u) << "a refused unit leaves the cursor where it was";
}

} // namespace
