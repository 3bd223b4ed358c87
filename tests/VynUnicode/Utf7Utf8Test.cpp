// UTF-7 and UTF-8 conversions, and the code pages the conversions handle on every platform.
#include <gtest/gtest.h>

#include <random>

#include "VynClasses.h"

namespace {

AnsiString Utf7DecodeError(const AnsiString& text) {
    try {
        Utf7Decode(text);
    } catch (const EVynGeneralError& error) {
        return error.Message();
    }
    return "no error";
}

TEST(Utf7, EncodesDirectCharactersRunsAndPlusSignsAsChosen) {
    EXPECT_EQ(Utf7Encode(u""), "");
    EXPECT_EQ(Utf7Encode(u"A+B"), "A+-B");
    // Set D, Set O, space, tab, CR and LF stand for themselves; '\' and '~' do not.
    EXPECT_EQ(Utf7Encode(u"az09'(),-./:? \t\r\n!\"#$%&*;<=>@[]^_`{|}"),
              "az09'(),-./:? \t\r\n!\"#$%&*;<=>@[]^_`{|}");
    EXPECT_EQ(Utf7Encode(u"~"), "+AH4");
    EXPECT_EQ(Utf7Encode(u"\\"), "+AFw");
    // A run ends with '-' only before a base64 letter or a '-', never at the end of the text.
    EXPECT_EQ(Utf7Encode(u"\u00e9"), "+AOk");
    EXPECT_EQ(Utf7Encode(u"\u00e9a"), "+AOk-a");
    EXPECT_EQ(Utf7Encode(u"\u00e9/"), "+AOk-/");
    EXPECT_EQ(Utf7Encode(u"\u00e9."), "+AOk.");
    EXPECT_EQ(Utf7Encode(u"Hi Mom -\u263a-!"), "Hi Mom -+Jjo--!");
    EXPECT_EQ(Utf7Encode(u"\u65e5\u672c\u8a9e"), "+ZeVnLIqe");
    // Inside a run a plus sign is part of the run.
    EXPECT_EQ(Utf7Encode(u"\u00e9+"), "+AOkAKw");
}

TEST(Utf7, TheLongestEncodingsFitTheirOutput) {
    // Each unit alone in its run, closed by a '-' before a base64 letter: five bytes for one unit.
    WideString worst;
    AnsiString expected;
    for (int i = 0; i < 1000; ++i) {
        worst += u"\uFFFFa";
        expected += "+//8-a";
    }
    EXPECT_EQ(Utf7Encode(worst), expected);
    EXPECT_EQ(Utf7Decode(expected), worst);
    EXPECT_EQ(Utf7Encode(WideString(999, u'\uFFFF')).size(), 1u + (999u * 16 + 5) / 6);
    EXPECT_EQ(Utf7Encode(u"+++"), "+-+-+-");
}

TEST(Utf7, DecodesRunsAndRefusesMalformedInput) {
    EXPECT_EQ(Utf7Decode("A+-B"), u"A+B");
    EXPECT_EQ(Utf7Decode("+-"), u"+");
    EXPECT_EQ(Utf7Decode("Hi Mom -+Jjo--!"), u"Hi Mom -\u263a-!");
    EXPECT_EQ(Utf7Decode("+ZeVnLIqe-"), u"\u65e5\u672c\u8a9e");
    EXPECT_EQ(Utf7Decode("+AOk."), u"\u00e9.");
    EXPECT_EQ(Utf7Decode("~\\"), u"~\\") << "direct characters beyond the encoder's set are accepted";

    EXPECT_EQ(Utf7DecodeError("abc\x80"), "Invalid UTF7");
    EXPECT_EQ(Utf7DecodeError("\xe9"), "Invalid UTF7");
    EXPECT_EQ(Utf7DecodeError("+"), "Invalid UTF7") << "a run holding no character";
    EXPECT_EQ(Utf7DecodeError("+!"), "Invalid UTF7");
    EXPECT_EQ(Utf7DecodeError("+A-"), "Invalid UTF7");
    EXPECT_EQ(Utf7DecodeError("+AOl"), "Invalid UTF7") << "leftover bits that are not zero";
    EXPECT_EQ(Utf7DecodeError("+AOk\xc3"), "Invalid UTF7");
}

TEST(Utf8, EncodesPairsAsOneCharacterAndLoneSurrogatesOnTheirOwn) {
    EXPECT_EQ(Utf8Encode(u"a\u00e9\u20ac"), "a\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(Utf8Encode(u"\U0001F600"), "\xf0\x9f\x98\x80");
    EXPECT_EQ(Utf8Encode(WideString(1, u'\xd800')), "\xed\xa0\x80");
    EXPECT_EQ(Utf8Decode("\xed\xa0\x80"), WideString(1, u'\xd800'));
    EXPECT_EQ(Utf8Decode("\xed\xa0\xbd\xed\xb8\x80"), u"\U0001F600") << "surrogates written one by one";
    EXPECT_EQ(Utf8Decode(AnsiString("a\0b", 3)), WideString(u"a\0b", 3));
}

TEST(Utf8, IllFormedInputBecomesReplacementCharactersWithoutReadingBeyondTheText) {
    EXPECT_EQ(Utf8Decode("\xc3"), u"\ufffd");
    EXPECT_EQ(Utf8Decode("\xe2\x82"), u"\ufffd");
    EXPECT_EQ(Utf8Decode("\xe2\x82" "A"), u"\ufffdA");
    EXPECT_EQ(Utf8Decode("\xc0\xaf"), u"\ufffd\ufffd") << "overlong form";
    EXPECT_EQ(Utf8Decode("\xe0\x80\x80"), u"\ufffd\ufffd\ufffd");
    EXPECT_EQ(Utf8Decode("\xf4\x90\x80\x80"), u"\ufffd\ufffd\ufffd\ufffd") << "beyond U+10FFFF";
    EXPECT_EQ(Utf8Decode("\xff\xfe"), u"\ufffd\ufffd");
    EXPECT_EQ(Utf8Decode("\x80" "a"), u"\ufffda");
    // Every cut of a well-formed text decodes to its whole characters and one replacement.
    const AnsiString text = Utf8Encode(u"\u00e9\u20ac\U0001F600");
    for (size_t length = 0; length <= text.size(); ++length) {
        const std::unique_ptr<char[]> exact(new char[length]);
        std::copy(text.begin(), text.begin() + static_cast<ptrdiff_t>(length), exact.get());
        const WideString decoded = Utf8Decode(AnsiString(exact.get(), length));
        EXPECT_LE(decoded.size(), length);
    }
    EXPECT_EQ(Utf8Decode(text.substr(0, 4)), u"\u00e9\ufffd");
}

// Random UTF-16 text: ASCII (with the characters UTF-7 treats specially), Latin-1, the rest of
// the BMP and surrogate pairs.
WideString RandomText(std::mt19937& random) {
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> kind(0, 4);
    std::uniform_int_distribution<int> ascii(0, 0x7F);
    std::uniform_int_distribution<int> latin(0x80, 0xFF);
    std::uniform_int_distribution<int> bmp(0x100, 0xFFFD);
    std::uniform_int_distribution<int> astral(0x10000, 0x10FFFF);
    WideString text;
    const int count = length(random);
    for (int i = 0; i < count; ++i) {
        switch (kind(random)) {
        case 0: text.push_back(static_cast<char16_t>(ascii(random))); break;
        case 1: text.push_back(u"+-A/~\\"[random() % 6]); break;
        case 2: text.push_back(static_cast<char16_t>(latin(random))); break;
        case 3: {
            const auto unit = static_cast<char16_t>(bmp(random));
            text.push_back(unit >= 0xD800 && unit <= 0xDFFF ? u'\u4e2d' : unit);
            break;
        }
        default: {
            const int codePoint = astral(random) - 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
        }
        }
    }
    return text;
}

TEST(Utf7Utf8, RandomTextComesBackUnchangedThroughBothCodecs) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 5000; ++round) {
        const WideString text = RandomText(random);
        const AnsiString utf7 = Utf7Encode(text);
        ASSERT_TRUE(std::all_of(utf7.begin(), utf7.end(),
                                [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
        ASSERT_EQ(Utf7Decode(utf7), text) << "UTF-7 " << utf7;
        const AnsiString utf8 = Utf8Encode(text);
        ASSERT_EQ(Utf8Decode(utf8), text) << "UTF-8 " << utf8;
        ASSERT_EQ(AnsiToWideCP(WideToAnsiCP(text, CodePageUtf7), CodePageUtf7), text);
        ASSERT_EQ(AnsiToWideCP(WideToAnsiCP(text, CodePageUtf8), CodePageUtf8), text);
    }
}

TEST(Utf7Utf8, RandomBytesDecodeOrFailCleanly) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> byte(0, 255);
    // Bytes UTF-7 gives meaning to, so that runs and their ends are hit often.
    const AnsiString utf7Bytes = "+-AZaz09/+-.!~\\" "\x80";
    for (int round = 0; round < 20000; ++round) {
        AnsiString bytes;
        const int count = length(random);
        for (int i = 0; i < count; ++i)
            bytes.push_back(round % 2 == 0 ? static_cast<char>(byte(random))
                                           : utf7Bytes[static_cast<size_t>(byte(random)) % utf7Bytes.size()]);
        const WideString utf8 = Utf8Decode(bytes);
        ASSERT_LE(utf8.size(), bytes.size());
        ASSERT_EQ(Utf8Decode(Utf8Encode(utf8)), utf8) << "decoded text is well-formed";
        try {
            const WideString utf7 = Utf7Decode(bytes);
            ASSERT_LE(utf7.size(), bytes.size());
            ASSERT_EQ(Utf7Decode(Utf7Encode(utf7)), utf7);
        } catch (const EVynGeneralError& error) {
            ASSERT_EQ(error.Message(), "Invalid UTF7");
        }
    }
}

TEST(CodePages, BuiltInCodePagesConvertBothWays) {
    EXPECT_EQ(AnsiToWideCP("\x80\xe9", 1252), u"\u20ac\u00e9");
    EXPECT_EQ(WideToAnsiCP(u"\u20ac\u00e9\u4e2d", 1252), "\x80\xe9?");
    EXPECT_EQ(AnsiToWideCP("\x80\xe9", 28591), u"\u0080\u00e9");
    EXPECT_EQ(WideToAnsiCP(u"\U0001F600x", 0), "?x") << "a pair is one character";
    EXPECT_EQ(AnsiToWideCP("abc", 932), u"") << "a code page that cannot be converted here";
    EXPECT_EQ(AnsiToWideCP("caf\xc3\xa9", CodePageUtf8), u"caf\u00e9");
    EXPECT_EQ(WideToAnsiCP(u"A+B", CodePageUtf7), "A+-B");
}

} // namespace
