#include "FormData.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ByteReader.h"
#include "Exceptions.h"

namespace {

using namespace std::string_literals;

using Bytes = std::vector<uint8_t>;

std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Str(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A stream holding one object "A: TA" whose only property P has the given value bytes.
Bytes StreamWithValue(const Bytes& valueBytes) {
    return Concat({Str("TPF0\x02TA\x01" "A\x01P"), valueBytes, {0, 0}});
}

Bytes ValueBytesOf(const std::string& valueText) {
    const Bytes stream = WriteFormBinary(ParseFormText("object A: TA\n  P = " + valueText + "\nend\n"));
    const Bytes prefix = Str("TPF0\x02TA\x01" "A\x01P");
    EXPECT_EQ(Bytes(stream.begin(), stream.begin() + static_cast<long>(prefix.size())), prefix);
    return Bytes(stream.begin() + static_cast<long>(prefix.size()), stream.end() - 2);
}

TFormValue ValueOf(const std::string& valueText) {
    const TFormObject form = ParseFormText("object A: TA\n  P = " + valueText + "\nend\n");
    return form.Properties.at(0).Value;
}

std::string ParseError(const std::string& text) {
    try {
        ParseFormText(text);
    } catch (const EParserError& e) {
        return e.Message();
    }
    return "<no error>";
}

std::string ReadError(const Bytes& stream) {
    try {
        ReadFormBinary(stream);
    } catch (const EReadError& e) {
        return e.Message();
    }
    return "<no error>";
}

const char* const Sample = R"(object FerruleForm: TFerruleForm
  Left = 556
  BorderIcons = []
  BorderStyle = bsToolWindow
  Caption = 'DAO 3.60 setup'
  Font.Height = -11
  Font.Name = 'MS Shell Dlg 2'
  OldCreateOrder = True
  object Timer1: TTimer
    Interval = 250
    OnTimer = Timer1Timer
  end
end
)";

// Every construct of the text form, written canonically.
std::string CanonicalText() {
    return Crlf(R"(object Main: TMainForm
  Left = 556
  Top = -70000
  Huge = 1099511627776
  BorderIcons = [biSystemMenu, biMinimize]
  Caption = 'It''s DAO 3.60'
  Ratio = 0.1
  Big = 1.5E300
  Tiny = 4E-4951
  Whole = 100.0
  Negative = -0.0
  Scale = 2.5s
  Price = -12.5c
  Stamp = 45000.25d
  Wide = 'caf'#233' '#55357#56832
  Lines = 'one'#13#10'two'
  Flag = True
  Off = False
  Link = nil
  Font.Style = fsBold
  Items.Strings = (
    'one'
    -7
    (
      nested
      <>)
    [])
  Data = {
    000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F
    2021}
  Long = )" // the blank after "=" stays where the value starts on the next line
                "\n"
                R"(    ')" +
                std::string(62, 'a') + R"(' +
    'bbbbbbbb'
  Columns = <
    item
      Width = 50
    end
    item [3]
      Caption = 'x'
      Tags = (
        1)
    end>
  EmptyList = ()
  EmptyData = {}
  inherited Panel1: TPanel [2]
    Align = alClient
    inline Frame: TFrame
    end
  end
  object TTimer
  end
end
)");
}

std::array<uint8_t, 10> ExtendedBytes(uint64_t mantissa, uint16_t signAndExponent) {
    std::array<uint8_t, 10> bytes{};
    for (int i = 0; i < 8; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(mantissa >> (8 * i));
    bytes[8] = static_cast<uint8_t>(signAndExponent);
    bytes[9] = static_cast<uint8_t>(signAndExponent >> 8);
    return bytes;
}

// ---------------------------------------------------------------------------------------------

TEST(FormText, SampleFormBuildsTheTree) {
    const TFormObject form = ParseFormText(Sample);
    EXPECT_EQ(form.ClassName, "TFerruleForm");
    EXPECT_EQ(form.Name, "FerruleForm");
    EXPECT_EQ(form.Flags, 0);
    ASSERT_EQ(form.Properties.size(), 7u);
    EXPECT_EQ(form.FindProperty("left")->Value.Type, TValueType::vaInt16);
    EXPECT_EQ(form.FindProperty("Left")->Value.AsInteger(), 556);
    EXPECT_EQ(form.FindProperty("BorderIcons")->Value, TFormValue::FromSet({}));
    EXPECT_EQ(form.FindProperty("BorderStyle")->Value.AsIdent(), "bsToolWindow");
    EXPECT_EQ(form.FindProperty("Caption")->Value.Type, TValueType::vaString);
    EXPECT_EQ(form.FindProperty("Caption")->Value.AsWideText(), u"DAO 3.60 setup");
    EXPECT_EQ(form.FindProperty("Font.Height")->Value.Type, TValueType::vaInt8);
    EXPECT_EQ(form.FindProperty("Font.Height")->Value.AsInteger(), -11);
    EXPECT_EQ(form.FindProperty("Font.Name")->Value.Text, "MS Shell Dlg 2");
    EXPECT_TRUE(form.FindProperty("OldCreateOrder")->Value.AsBoolean());
    EXPECT_EQ(form.FindProperty("Missing"), nullptr);
    ASSERT_EQ(form.Children.size(), 1u);
    const TFormObject* timer = form.FindChild("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->ClassName, "TTimer");
    EXPECT_EQ(timer->FindProperty("Interval")->Value.AsInteger(), 250);
    EXPECT_EQ(timer->FindProperty("OnTimer")->Value.AsIdent(), "Timer1Timer");
}

TEST(FormBinary, SmallObjectsHaveTheExactStreamLayout) {
    EXPECT_EQ(WriteFormBinary(ParseFormText("object Timer1: TTimer\n  Interval = 250\n  Enabled = False\nend")),
              Concat({Str("TPF0\x06TTimer\x06Timer1\x08Interval\x03"), {0xFA, 0x00},
                      Str("\x07" "Enabled\x08"), {0, 0}}));
    // Prefix byte, child position as a typed integer, then an unnamed child.
    EXPECT_EQ(WriteFormBinary(ParseFormText("inherited B: TB [3]\n  object TC\n  end\nend")),
              Concat({Str("TPF0"), {0xF3, 0x02, 0x03}, Str("\x02TB\x01" "B"), {0x00},
                      Str("\x02TC"), {0x00, 0x00, 0x00, 0x00}}));
    EXPECT_EQ(WriteFormBinary(ParseFormText("inline F: TF\nend")),
              Concat({Str("TPF0"), {0xF4}, Str("\x02TF\x01" "F"), {0, 0}}));
}

TEST(FormText, IntegersTakeTheNarrowestType) {
    const struct {
        const char* text;
        TValueType type;
        int64_t value;
    } cases[] = {
        {"127", TValueType::vaInt8, 127},
        {"-128", TValueType::vaInt8, -128},
        {"128", TValueType::vaInt16, 128},
        {"-129", TValueType::vaInt16, -129},
        {"32768", TValueType::vaInt32, 32768},
        {"70000", TValueType::vaInt32, 70000},
        {"-2147483648", TValueType::vaInt32, INT32_MIN},
        {"2147483648", TValueType::vaInt64, 2147483648LL},
        {"1099511627776", TValueType::vaInt64, 1LL << 40},
        {"-9223372036854775808", TValueType::vaInt64, INT64_MIN},
        {"$7F", TValueType::vaInt8, 127},
        {"$ffff", TValueType::vaInt32, 65535},
        {"-$80", TValueType::vaInt8, -128},
    };
    for (const auto& c : cases) {
        const TFormValue value = ValueOf(c.text);
        EXPECT_EQ(value.Type, c.type) << c.text;
        EXPECT_EQ(value.AsInteger(), c.value) << c.text;
    }
    EXPECT_EQ(ValueBytesOf("-129"), (Bytes{0x03, 0x7F, 0xFF}));
    EXPECT_EQ(ValueBytesOf("70000"), (Bytes{0x04, 0x70, 0x11, 0x01, 0x00}));
    EXPECT_EQ(ValueBytesOf("1099511627776"), (Bytes{0x13, 0, 0, 0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(ParseError("object A: TA\n  P = 9223372036854775808\nend"), "Line 2: Integer out of range");
    EXPECT_EQ(ParseError("object A: TA\n  P = -9223372036854775809\nend"), "Line 2: Integer out of range");
    EXPECT_EQ(ParseError("object A: TA\n  P = $8000000000000000\nend"), "Line 2: Integer out of range");
}

TEST(FormText, StringsJoinPiecesAndWidenOnlyBeyondAscii) {
    EXPECT_EQ(ValueOf("'It''s'").Text, "It's");
    EXPECT_EQ(ValueOf("''"), TFormValue::FromText(u""));
    EXPECT_EQ(ValueOf("'a'#13#10'b'#$41").Text, "a\r\nbA");
    EXPECT_EQ(ValueOf("'abc' +\n    'def'+'g'").Text, "abcdefg");
    EXPECT_EQ(ValueOf("#39").Text, "'");

    const TFormValue long1 = ValueOf("'" + std::string(300, 'x') + "'");
    EXPECT_EQ(long1.Type, TValueType::vaLString);
    EXPECT_EQ(long1.Text.size(), 300u);
    EXPECT_EQ(ValueOf("'" + std::string(255, 'x') + "'").Type, TValueType::vaString);

    // Anything beyond ASCII is wide, whether it came as a code, UTF-8 or a Latin-1 byte.
    const TFormValue coded = ValueOf("'caf'#233");
    EXPECT_EQ(coded.Type, TValueType::vaWString);
    EXPECT_EQ(coded.Wide, u"caf\u00E9");
    EXPECT_EQ(ValueOf("'caf\xC3\xA9'").Wide, u"caf\u00E9");
    EXPECT_EQ(ValueOf("'caf\xE9'").Wide, u"caf\u00E9");
    EXPECT_EQ(ParseFormText("\xEF\xBB\xBFobject A: TA\n  P = '\xE2\x82\xAC'\nend").Properties[0].Value.Wide,
              u"\u20AC");
    EXPECT_EQ(ValueOf("#128512").Wide, u"\U0001F600");
    EXPECT_EQ(ValueOf("#$D800").Wide, WideString(1, char16_t(0xD800)));

    EXPECT_EQ(ValueBytesOf("#233'x'"), (Bytes{0x12, 2, 0, 0, 0, 0xE9, 0x00, 'x', 0x00}));
    EXPECT_EQ(ValueBytesOf("'ab'"), (Bytes{0x06, 2, 'a', 'b'}));
}

TEST(FormText, SetsListsBinaryAndCollections) {
    EXPECT_EQ(ValueBytesOf("[a, bc]"), (Bytes{0x0B, 1, 'a', 2, 'b', 'c', 0}));
    EXPECT_EQ(ValueBytesOf("(1 'x' (nil))"), (Bytes{0x01, 0x02, 1, 0x06, 1, 'x', 0x01, 0x0D, 0x00, 0x00}));
    EXPECT_EQ(ValueBytesOf("{0A0b\n   FF}"), (Bytes{0x0A, 3, 0, 0, 0, 0x0A, 0x0B, 0xFF}));
    EXPECT_EQ(ValueBytesOf("{}"), (Bytes{0x0A, 0, 0, 0, 0}));
    EXPECT_EQ(ValueBytesOf("<\n item\n W = 5\n end\n item [7]\n end>"),
              (Bytes{0x0E, 0x01, 1, 'W', 0x02, 5, 0x00, 0x02, 7, 0x01, 0x00, 0x00}));
    EXPECT_EQ(ValueBytesOf("<>"), (Bytes{0x0E, 0x00}));

    const TFormValue collection = ValueOf("<\n item\n  Caption = 'x'\n  End.Width = 3\n end\n item [300]\n end>");
    ASSERT_EQ(collection.Collection.size(), 2u);
    EXPECT_FALSE(collection.Collection[0].Order.has_value());
    EXPECT_EQ(collection.Collection[0].FindProperty("caption")->Value.Text, "x");
    EXPECT_EQ(collection.Collection[0].FindProperty("End.Width")->Value.AsInteger(), 3);
    EXPECT_EQ(collection.Collection[1].Order, 300);

    // Keywords followed by '=' are ordinary property names.
    const TFormObject form = ParseFormText("object A: TA\n  End = 1\n  Object = 2\n  Item = 3\nend");
    EXPECT_EQ(form.Properties.size(), 3u);
    EXPECT_EQ(form.FindProperty("object")->Value.AsInteger(), 2);
}

TEST(FormText, FloatsAreCorrectlyRoundedInEachKind) {
    EXPECT_EQ(ValueOf("1.5").Extended, ExtendedBytes(0xC000000000000000ULL, 0x3FFF));
    EXPECT_EQ(ValueOf("0.1").Extended, ExtendedBytes(0xCCCCCCCCCCCCCCCDULL, 0x3FFB));
    EXPECT_EQ(ValueOf("-2E0").Extended, ExtendedBytes(0x8000000000000000ULL, 0xC000));
    // Ties go to the even mantissa: 2^64+1 down to 2^64, 2^64+3 up to 2^64+4.
    EXPECT_EQ(ValueOf("18446744073709551617.0").Extended, ExtendedBytes(0x8000000000000000ULL, 0x403F));
    EXPECT_EQ(ValueOf("18446744073709551619.0").Extended, ExtendedBytes(0x8000000000000002ULL, 0x403F));
    EXPECT_EQ(ValueOf("1e-5000").Extended, ExtendedBytes(0, 0));
    EXPECT_EQ(ValueOf("3.6E-4951").Extended, ExtendedBytes(1, 0));  // smallest denormal
    EXPECT_EQ(ParseError("object A: TA\n\n  P = 1.2E4933\nend"), "Line 3: Floating point value out of range");
    EXPECT_EQ(ParseError("object A: TA\n  P = 1E400d\nend"), "Line 2: Floating point value out of range");

    EXPECT_EQ(ValueOf("9007199254740993d").AsFloat(), 9007199254740992.0);
    EXPECT_EQ(ValueOf("9007199254740993.000000000000000000001d").AsFloat(), 9007199254740994.0);
    EXPECT_EQ(ValueOf("2.5s").Type, TValueType::vaSingle);
    EXPECT_EQ(ValueOf("0.1s").Float, static_cast<double>(0.1f));
    EXPECT_EQ(ValueOf("45000.25d").Type, TValueType::vaDate);

    EXPECT_EQ(ValueOf("1.25c").Integer, 12500);
    EXPECT_EQ(ValueOf("0.00005c").Integer, 0);   // half of a unit: to even
    EXPECT_EQ(ValueOf("0.00015c").Integer, 2);
    EXPECT_EQ(ValueOf("-922337203685477.5808c").Integer, INT64_MIN);
    EXPECT_EQ(ParseError("object A: TA\n  P = 922337203685477.5808c\nend"), "Line 2: Currency value out of range");
    EXPECT_EQ(ValueBytesOf("1.25c"), (Bytes{0x10, 0xD4, 0x30, 0, 0, 0, 0, 0, 0}));
}

// The renderer writes the fewest digits that read back exactly; checked against random values
// across the whole range of each kind, including denormals.
TEST(FormText, RenderedFloatsReadBackBitForBit) {
    std::mt19937_64 random(12345);
    const auto roundTrip = [](const TFormValue& value) {
        TFormObject form;
        form.ClassName = "TA";
        form.Properties.push_back({"P", value});
        return ParseFormText(RenderFormText(form)).Properties.at(0).Value;
    };
    for (int i = 0; i < 150; ++i) {
        const uint64_t bits = random();
        const auto exponent = static_cast<uint16_t>(bits % 0x7FFF);  // never the NaN exponent
        const uint64_t mantissa = exponent == 0 ? random() >> (bits % 64) >> 1 : random() | (1ULL << 63);
        TFormValue value;
        value.Type = TValueType::vaExtended;
        value.Extended = ExtendedBytes(mantissa, static_cast<uint16_t>(exponent | ((bits >> 20) & 0x8000)));
        EXPECT_EQ(roundTrip(value), value) << i;
    }
    for (int i = 0; i < 2000; ++i) {
        uint64_t doubleBits = random();
        double date = 0;
        std::memcpy(&date, &doubleBits, sizeof date);
        if (std::isfinite(date)) {
            EXPECT_EQ(roundTrip(TFormValue::FromDate(date)).Float, date);
        }
        const auto singleBits = static_cast<uint32_t>(random());
        float single = 0;
        std::memcpy(&single, &singleBits, sizeof single);
        if (std::isfinite(single)) {
            EXPECT_EQ(roundTrip(TFormValue::FromSingle(single)).Float, static_cast<double>(single));
        }
        const auto currency = static_cast<int64_t>(random());
        EXPECT_EQ(roundTrip(TFormValue::FromCurrency(currency)).Integer, currency);
    }
    EXPECT_EQ(roundTrip(TFormValue::FromExtended(1.0 / 3)).AsFloat(), 1.0 / 3);
}

// Where the host's long double is the x87 format, its correctly rounded strtold is a second opinion.
TEST(FormText, DecimalParsingAgreesWithTheHostLibrary) {
    if (LDBL_MANT_DIG != 64 || LDBL_MAX_EXP != 16384)
        GTEST_SKIP() << "long double is not the 10-byte extended type here";
    std::mt19937_64 random(777);
    for (int i = 0; i < 3000; ++i) {
        std::string digits = std::to_string(random() % 9 + 1);
        const size_t count = random() % 30;
        for (size_t d = 0; d < count; ++d)
            digits += static_cast<char>('0' + random() % 10);
        const int exponent = static_cast<int>(random() % 9800) - 4960;
        const std::string text = digits.substr(0, 1) + "." + digits.substr(1) + "0E" + std::to_string(exponent);
        const long double expected = std::strtold(text.c_str(), nullptr);
        std::array<uint8_t, 10> expectedBytes{};
        std::memcpy(expectedBytes.data(), &expected, expectedBytes.size());
        EXPECT_EQ(ValueOf(text).Extended, expectedBytes) << text;

        const std::string shortText = digits.substr(0, 1) + "." + digits.substr(1) + "0E" +
                                      std::to_string(static_cast<int>(random() % 626) - 324);
        EXPECT_EQ(ValueOf(shortText + "d").Float, std::strtod(shortText.c_str(), nullptr)) << shortText;
        const std::string singleText = digits.substr(0, 1) + "." + digits.substr(1) + "0E" +
                                       std::to_string(static_cast<int>(random() % 83) - 45);
        EXPECT_EQ(ValueOf(singleText + "s").Float, static_cast<double>(std::strtof(singleText.c_str(), nullptr)))
            << singleText;
    }
}

TEST(FormRoundTrip, CanonicalTextSurvivesTextToBinaryToText) {
    const std::string text = CanonicalText();
    const Bytes stream = WriteFormBinary(ParseFormText(text));
    EXPECT_EQ(RenderFormText(ReadFormBinary(stream)), text);
    EXPECT_EQ(WriteFormBinary(ParseFormText(RenderFormText(ReadFormBinary(stream)))), stream);
    EXPECT_EQ(RenderFormText(ParseFormText(Sample)), Crlf(Sample));
}

TEST(FormRoundTrip, NonCanonicalStreamsKeepTheirValuesThroughText) {
    // Flags prefix without flags, an int32 holding 5, a narrow string with a Latin-1 byte, a UTF-8
    // string, a short long-string, an ASCII wide string.
    const Bytes stream = Concat({Str("TPF0"), {0xF0}, Str("\x02TA\x01" "A"),
                                 Str("\x01I"), {0x04, 5, 0, 0, 0},
                                 Str("\x01S"), {0x06, 2, 'e', 0xE9},
                                 Str("\x01U"), {0x14, 3, 0, 0, 0, 'e', 0xC3, 0xA9},
                                 Str("\x01L"), {0x0C, 1, 0, 0, 0, 'x'},
                                 Str("\x01W"), {0x12, 1, 0, 0, 0, 'y', 0},
                                 {0, 0}});
    const TFormObject original = ReadFormBinary(stream);
    const TFormObject reread = ReadFormBinary(WriteFormBinary(ParseFormText(RenderFormText(original))));
    ASSERT_EQ(reread.Properties.size(), original.Properties.size());
    for (size_t i = 0; i < original.Properties.size(); ++i) {
        const TFormValue& before = original.Properties[i].Value;
        const TFormValue& after = reread.Properties[i].Value;
        if (before.IsInteger())
            EXPECT_EQ(after.AsInteger(), before.AsInteger());
        else
            EXPECT_EQ(after.AsWideText(), before.AsWideText()) << original.Properties[i].Name;
    }
    EXPECT_EQ(original.FindProperty("S")->Value.AsWideText(), u"e\u00E9");
    EXPECT_EQ(original.FindProperty("U")->Value.Wide, u"e\u00E9");
    // The tree itself writes back unchanged.
    EXPECT_EQ(WriteFormBinary(original).size(), stream.size() - 1);  // only the empty prefix goes
}

TEST(FormRoundTrip, LongClassNamesAndStringsStayIntact) {
    TFormObject form;
    form.ClassName = "T" + std::string(244, 'x');
    form.Properties.push_back({"Text", TFormValue::FromText(u"first line\r\nsecond 'quoted' line that goes on and "
                                                            u"on past the width of one piece\r\n")});
    const Bytes stream = WriteFormBinary(form);
    EXPECT_EQ(stream[4], 0xF0);  // a 245-byte name would otherwise read as a prefix
    EXPECT_EQ(ReadFormBinary(stream), form);
    const std::string text = RenderFormText(form);
    EXPECT_NE(text.find("  Text = \r\n    'first line'#13#10 +\r\n    'second ''quoted'' line"),
              std::string::npos)
        << text;
    size_t lineStart = text.find("\r\n") + 2;  // after the long class name
    for (size_t end = text.find("\r\n", lineStart); end != std::string::npos; end = text.find("\r\n", lineStart)) {
        EXPECT_LE(end - lineStart, 4 + 64 + 2u) << text.substr(lineStart, end - lineStart);
        lineStart = end + 2;
    }
    EXPECT_EQ(ParseFormText(text), form);
}

TEST(FormBinaryErrors, EveryTruncationIsAReadError) {
    const Bytes stream = WriteFormBinary(ParseFormText(CanonicalText()));
    for (size_t size = 0; size < stream.size(); ++size) {
        const Bytes cut(stream.begin(), stream.begin() + static_cast<long>(size));
        EXPECT_EQ(ReadError(cut), "Stream read error") << "cut at " << size;
    }
    EXPECT_NO_THROW(ReadFormBinary(stream.data(), stream.size()));
    EXPECT_THROW(ReadFormBinary(nullptr, 0), EReadError);
}

TEST(FormBinaryErrors, AReadErrorKeepsTheOffsetWhereTheDataRanOut) {
    const auto offsetOf = [](const Bytes& stream) -> uint64_t {
        try {
            ReadFormBinary(stream);
        } catch (const EByteReadError& e) {
            EXPECT_EQ(e.Message(), "Stream read error");
            return e.Offset();
        }
        ADD_FAILURE() << "no byte read error";
        return 0;
    };
    EXPECT_EQ(offsetOf(Str("TPF0")), 4u);
    // A long string's length is read, then its bytes are missing: the offset is where they start.
    EXPECT_EQ(offsetOf(StreamWithValue({0x0C, 0x05, 0x00, 0x00, 0x00, 'x'})), 16u);
}

TEST(FormBinaryErrors, MalformedHeadersAndValuesAreRejected) {
    EXPECT_EQ(ReadError(Str("TPF1\x02TA\x00\x00\x00"s)), "Invalid stream format");
    EXPECT_EQ(ReadError(Str("XP")), "Invalid stream format");
    EXPECT_EQ(ReadError(StreamWithValue({21})), "Invalid stream format");
    EXPECT_EQ(ReadError(StreamWithValue({0xFF})), "Invalid stream format");
    EXPECT_EQ(ReadError(StreamWithValue({0x00})), "Invalid stream format");  // a null is not a value
    EXPECT_EQ(ReadError(Concat({Str("TPF0"), {0xF8}, Str("\x02TA\x00\x00\x00"s)})), "Invalid stream format");
    EXPECT_EQ(ReadError(Concat({Str("TPF0"), {0xF5}, Str("\x02TA\x00\x00\x00"s)})), "Invalid stream format");
    EXPECT_EQ(ReadError(Concat({Str("TPF0"), {0xF2, 0x05, 0, 0, 0, 0, 0, 0, 0, 0}, Str("\x02TA\x00\x00\x00"s)})),
              "Invalid stream format");  // child position must be a small integer
    EXPECT_EQ(ReadError(Concat({Str("TPF0"), {0xF0, 0, 0, 0, 0}})), "Invalid stream format");  // no class name
    EXPECT_EQ(ReadError(StreamWithValue({0x0E, 0x06})), "Invalid stream format");  // collection item marker

    // Lengths far beyond the data, including ones whose doubling would wrap a 32-bit size.
    EXPECT_EQ(ReadError(StreamWithValue({0x0C, 0xFF, 0xFF, 0xFF, 0x7F, 'x'})), "Stream read error");
    EXPECT_EQ(ReadError(StreamWithValue({0x12, 0xFF, 0xFF, 0xFF, 0x7F, 'x', 0})), "Stream read error");
    EXPECT_EQ(ReadError(StreamWithValue({0x0A, 0x00, 0x00, 0x00, 0x80})), "Invalid stream format");
    EXPECT_EQ(ReadError(StreamWithValue({0x14, 0xFF, 0xFF, 0xFF, 0xFF})), "Invalid stream format");

    // Values with no faithful meaning.
    EXPECT_EQ(ReadError(StreamWithValue({0x14, 2, 0, 0, 0, 0xC0, 0x80})), "Invalid stream format");  // overlong
    EXPECT_EQ(ReadError(StreamWithValue({0x0F, 0, 0, 0xC0, 0x7F})), "Invalid stream format");         // NaN
    EXPECT_EQ(ReadError(StreamWithValue({0x05, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x7F})), "Invalid stream format");
    EXPECT_EQ(ReadError(StreamWithValue({0x05, 0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F})),
              "Invalid stream format");  // unnormal: no integer bit

    // Zero-length strings and identifiers are values, not terminators.
    const TFormObject form = ReadFormBinary(StreamWithValue({0x01, 0x06, 0x00, 0x07, 0x00, 0x00}));
    EXPECT_EQ(form.Properties[0].Value.List.size(), 2u);
    EXPECT_EQ(form.Properties[0].Value.List[1].Type, TValueType::vaIdent);
}

TEST(FormBinaryErrors, NestingIsBounded) {
    const auto nestedLists = [](int depth) {
        Bytes value(static_cast<size_t>(depth), 0x01);
        value.insert(value.end(), static_cast<size_t>(depth), 0x00);
        return StreamWithValue(value);
    };
    EXPECT_NO_THROW(ReadFormBinary(nestedLists(FormMaxNesting - 1)));
    EXPECT_EQ(ReadError(nestedLists(FormMaxNesting)), "Form nesting too deep");
    EXPECT_EQ(ReadError(nestedLists(100000)), "Form nesting too deep");

    Bytes objects = Str("TPF0");
    for (int i = 0; i < 5000; ++i)
        objects.insert(objects.end(), {0x02, 'T', 'A', 0x00, 0x00});
    EXPECT_EQ(ReadError(objects), "Form nesting too deep");

    // The text parser counts the same way, so whatever it accepts reads back.
    const std::string deepText = "object A: TA\n  P = " + std::string(FormMaxNesting - 1, '(') +
                                 std::string(FormMaxNesting - 1, ')') + "\nend";
    EXPECT_NO_THROW(ReadFormBinary(WriteFormBinary(ParseFormText(deepText))));
    EXPECT_EQ(ParseError("object A: TA\n  P = " + std::string(100000, '(')), "Line 2: Nesting too deep");
}

TEST(FormTextErrors, MessagesNameTheLine) {
    EXPECT_EQ(ParseError("object A: TA\n  Caption = 'abc\nend"), "Line 2: Unterminated string");
    EXPECT_EQ(ParseError("object A: TA\n  Left = 5\n"), "Line 3: 'end' expected");
    EXPECT_EQ(ParseError("object A: TA\n  Left = 5\n  % \nend"), "Line 3: Invalid character '%'");
    EXPECT_EQ(ParseError("object A: TA\r\n\r\n  Left 5\r\nend"), "Line 3: '=' expected");
    EXPECT_EQ(ParseError("object A: TA\r  Left = \r  end"), "Line 3: 'end' expected");
    EXPECT_EQ(ParseError("object A: TA\n  D = {0A0}\nend"), "Line 2: Invalid binary value");
    EXPECT_EQ(ParseError("object A: TA\n  D = {0A\n  0G}\nend"), "Line 3: Invalid binary value");
    EXPECT_EQ(ParseError("object A: TA\n  D = {0A0B\n"), "Line 2: Unterminated binary value");
    EXPECT_EQ(ParseError("object A: TA\nend\nobject B: TB\nend"), "Line 3: End of file expected");
    EXPECT_EQ(ParseError("  Left = 5"), "Line 1: 'object' expected");
    EXPECT_EQ(ParseError(""), "Line 1: 'object' expected");
    EXPECT_EQ(ParseError("object A: TA\n  S = 'a' +\n  5\nend"), "Line 3: String expected");
    EXPECT_EQ(ParseError("object A: TA\n  S = [a, ]\nend"), "Line 2: Identifier expected");
    EXPECT_EQ(ParseError("object A: TA\n  S = [a b]\nend"), "Line 2: ',' or ']' expected");
    EXPECT_EQ(ParseError("object A: TA\n  Font..Name = 1\nend"), "Line 2: Invalid identifier 'Font..Name'");
    EXPECT_EQ(ParseError("object A: TA\n  N = 12abc\nend"), "Line 2: Invalid number");
    EXPECT_EQ(ParseError("object A: TA\n  N = 1.e5\nend"), "Line 2: Invalid number");
    EXPECT_EQ(ParseError("object A: TA\n  C = #1114112\nend"), "Line 2: Invalid character code");
    EXPECT_EQ(ParseError("object A: TA\n  L = (1 2\nend"), "Line 3: ')' expected");
    EXPECT_EQ(ParseError("object A: TA\n  L = <item\n  X = 1\n>\nend"), "Line 4: Identifier expected");
    EXPECT_EQ(ParseError("object A: TA\n  L = <items>\nend"), "Line 2: 'item' or '>' expected");
    EXPECT_EQ(ParseError("object a.b: TA\nend"), "Line 1: Invalid component name 'a.b'");
    EXPECT_EQ(ParseError("object A: TA [x]\nend"), "Line 1: Integer expected");
    EXPECT_EQ(ParseError("object A: TA\n  P =\n"), "Line 3: Unexpected end of file");
    EXPECT_EQ(ParseError("\xFF\xFEo\0"), "Line 1: UTF-16 text is not supported");
    EXPECT_EQ(ParseError("object A: TA\n  I = " + std::string(256, 'x') + "\nend"), "Line 2: Identifier too long");
}

TEST(FormWriting, TreesWithoutAFaithfulFormAreRefused) {
    const auto withValue = [](TFormValue value) {
        TFormObject form;
        form.ClassName = "TA";
        form.Properties.push_back({"P", std::move(value)});
        return form;
    };
    TFormValue narrow = TFormValue::FromInteger(1000);
    narrow.Type = TValueType::vaInt8;
    EXPECT_THROW(WriteFormBinary(withValue(narrow)), EWriteError);
    TFormValue longShort = TFormValue::FromIdent(std::string(256, 'x'));
    EXPECT_THROW(WriteFormBinary(withValue(longShort)), EWriteError);
    EXPECT_THROW(WriteFormBinary(withValue(TFormValue())), EWriteError);
    TFormValue single = TFormValue::FromSingle(1.0f);
    single.Float = 1e300;
    EXPECT_THROW(WriteFormBinary(withValue(single)), EWriteError);
    TFormValue unpaired;
    unpaired.Type = TValueType::vaUTF8String;
    unpaired.Wide = WideString(1, char16_t(0xDC00));
    EXPECT_THROW(WriteFormBinary(withValue(unpaired)), EWriteError);
    EXPECT_THROW(WriteFormBinary(withValue(TFormValue::FromSet({"a", ""}))), EWriteError);
    TFormObject unnamedProperty = withValue(TFormValue::Nil());
    unnamedProperty.Properties[0].Name.clear();
    EXPECT_THROW(WriteFormBinary(unnamedProperty), EWriteError);
    TFormObject noClass;
    EXPECT_THROW(WriteFormBinary(noClass), EWriteError);
    EXPECT_THROW(TFormValue::FromExtended(std::nan("")), EConvertError);

    // Text must never carry names or identifiers that would read back as other structure.
    TFormObject injected = withValue(TFormValue::FromIdent("x\r\n  object Evil: TEvil"));
    EXPECT_THROW(RenderFormText(injected), EConvertError);
    injected = withValue(TFormValue::FromIdent(""));
    EXPECT_THROW(RenderFormText(injected), EConvertError);
    injected = withValue(TFormValue::Nil());
    injected.Properties[0].Name = "A = 1\r\nB";
    EXPECT_THROW(RenderFormText(injected), EConvertError);
    injected = withValue(TFormValue::FromSet({"a]"}));
    EXPECT_THROW(RenderFormText(injected), EConvertError);
    injected = withValue(TFormValue::Nil());
    injected.Name = "9lives";
    EXPECT_THROW(RenderFormText(injected), EConvertError);
}

TEST(FormValue, AccessorsCheckTheKind) {
    EXPECT_EQ(TFormValue::FromText(u"\u00E9").Type, TValueType::vaWString);
    TFormValue latin1;
    latin1.Type = TValueType::vaString;
    latin1.Text = "\xE9";
    EXPECT_EQ(latin1.AsWideText(), u"\u00E9");
    EXPECT_THROW(latin1.AsInteger(), EConvertError);
    EXPECT_THROW(TFormValue::FromInteger(1).AsWideText(), EConvertError);
    EXPECT_THROW(TFormValue::FromInteger(1).AsIdent(), EConvertError);
    EXPECT_THROW(TFormValue::Nil().AsBoolean(), EConvertError);
    EXPECT_EQ(TFormValue::FromCurrency(12345).AsFloat(), 1.2345);
    EXPECT_EQ(TFormValue::FromExtended(-0.75).AsFloat(), -0.75);
    EXPECT_EQ(TFormValue::FromExtended(4.9e-324).AsFloat(), 4.9e-324);
    EXPECT_EQ(TFormValue::FromInteger(7).AsFloat(), 7.0);
    EXPECT_EQ(TFormValue::FromBinary("\x01").AsBinary(), "\x01");
}

// Mutated streams and texts must either convert or fail with the library's exceptions; whatever
// converts must then render and parse stably.
TEST(FormFuzz, MutatedInputNeverCrashes) {
    // Without the extreme float, whose exact conversions would dominate the run time.
    std::string seedText = CanonicalText();
    seedText.replace(seedText.find("4E-4951"), 7, "4E-49");
    const Bytes seed = WriteFormBinary(ParseFormText(seedText));
    std::mt19937 random(2024);
    int accepted = 0;
    for (int i = 0; i < 2500; ++i) {
        Bytes stream = seed;
        const unsigned mutations = 1 + random() % 4;
        for (unsigned m = 0; m < mutations; ++m) {
            const size_t at = random() % stream.size();
            switch (random() % 4) {
            case 0:
                stream[at] = static_cast<uint8_t>(random());
                break;
            case 1:
                stream[at] ^= static_cast<uint8_t>(1u << (random() % 8));
                break;
            case 2:
                stream.insert(stream.begin() + static_cast<long>(at), static_cast<uint8_t>(random()));
                break;
            default:
                stream.erase(stream.begin() + static_cast<long>(at));
                break;
            }
        }
        TFormObject form;
        try {
            form = ReadFormBinary(stream);
        } catch (const EReadError&) {
            continue;
        }
        ++accepted;
        EXPECT_NO_THROW(WriteFormBinary(form));
        std::string text;
        try {
            text = RenderFormText(form);
        } catch (const EConvertError&) {
            continue;
        }
        const TFormObject reparsed = ParseFormText(text);
        EXPECT_EQ(RenderFormText(reparsed), text);
        EXPECT_EQ(RenderFormText(ReadFormBinary(WriteFormBinary(reparsed))), text);
    }
    EXPECT_GT(accepted, 100);

    const std::string& textSeed = seedText;
    for (int i = 0; i < 2500; ++i) {
        std::string text = textSeed;
        for (unsigned m = 1 + random() % 3; m > 0; --m) {
            const size_t at = random() % text.size();
            static const char Interesting[] = "'#$+-.=:[](){}<>\r\n 0aZE";
            if (random() % 2 == 0)
                text[at] = Interesting[random() % (sizeof Interesting - 1)];
            else
                text.erase(at, 1 + random() % 8);
        }
        try {
            const TFormObject form = ParseFormText(text);
            const std::string canonical = RenderFormText(form);
            EXPECT_EQ(RenderFormText(ParseFormText(canonical)), canonical);
            EXPECT_EQ(ReadFormBinary(WriteFormBinary(form)), form);
        } catch (const EParserError&) {
        }
    }
}

}  // namespace
