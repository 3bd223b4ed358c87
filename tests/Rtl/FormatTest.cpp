#include "Format.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <type_traits>

#include <gtest/gtest.h>

#include "Exceptions.h"

namespace {

std::string ErrorOf(const std::string& format, const std::vector<TVarRec>& args) {
    try {
        Format(format, args);
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return "<no error>";
}

std::string InvalidMessage(const std::string& format) {
    return "Format '" + format + "' invalid or incompatible with argument";
}

TEST(FormatArguments, ExplicitIndexRepositionsTheRunningArgument) {
    EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}), "b a b");
    EXPECT_EQ(Format("%s %s %0:s %s", {"a", "b"}), "a b a b");
    EXPECT_EQ(Format("%2:d-%d", {1, 2, 3, 4}), "3-4");
}

TEST(FormatArguments, StarTakesWidthAndPrecisionFromTheArguments) {
    EXPECT_EQ(Format("[%*d]", {5, 42}), "[   42]");
    EXPECT_EQ(Format("[%-*d]", {5, 42}), "[42   ]");
    EXPECT_EQ(Format("[%*d]", {-5, 42}), "[42   ]");
    EXPECT_EQ(Format("[%.*s]", {2, "abcdef"}), "[ab]");
    EXPECT_EQ(Format("[%*.*f]", {8, 3, 3.14159}), "[   3.142]");
    EXPECT_EQ(Format("[%.*f]", {-1, 2.5}), "[2.50]");
    EXPECT_EQ(Format("%1:*d", {0, 4, 7}), "   7");
}

TEST(FormatArguments, AnIndexFromAnArgumentMayFollowAWrittenIndex) {
    EXPECT_EQ(Format("%0:*:d|%*:s", {2, 9, 7, 4, "x"}), "7|x");
    EXPECT_EQ(Format("[%1:*d]", {0, 3, 5}), "[  5]") << "without a second colon the star is a width";
    EXPECT_EQ(ErrorOf("%0:*:d", {-1, 2}), InvalidMessage("%0:*:d"));
    EXPECT_EQ(ErrorOf("%0:*:d", {"x", 2}), InvalidMessage("%0:*:d"));
}

TEST(FormatWideBuffer, WritesAtMostTheCapacityWithTheBuiltInFormatter) {
    std::vector<char16_t> buffer(6, u'#');
    EXPECT_EQ(WideFormatBuf(buffer.data(), 4, u"%s=%d", {u"\u0416b", 42}), 4u);
    EXPECT_EQ(WideString(buffer.begin(), buffer.end()), u"\u0416b=4##");
    TFormatSettings comma;
    comma.DecimalSeparator = u',';
    EXPECT_EQ(WideFormatBuf(buffer.data(), 6, u"%.1f", {2.5}, comma), 3u);
    EXPECT_EQ(WideString(buffer.data(), 3), u"2,5");
    EXPECT_EQ(WideFormatBuf(nullptr, 0, u"%d", {1}), 0u);
    EXPECT_THROW(WideFormatBuf(buffer.data(), 6, u"%d", {}), EConvertError);
}

TEST(FormatArguments, ArgumentKindsFollowTheCallersTypes) {
    EXPECT_EQ(TVarRec(7u).ValueKind(), TVarRec::Kind::Integer);
    EXPECT_EQ(TVarRec(0x80000000u).ValueKind(), TVarRec::Kind::Int64);
    EXPECT_EQ(TVarRec(int64_t{1}).ValueKind(), TVarRec::Kind::Int64);
    EXPECT_EQ(TVarRec(1.5f).ValueKind(), TVarRec::Kind::Extended);
    EXPECT_EQ(TVarRec(static_cast<const char*>(nullptr)).AsAnsiString(), "");
    static_assert(!std::is_constructible_v<TVarRec, bool>);
    static_assert(!std::is_constructible_v<TVarRec, const wchar_t*>);
    EXPECT_THROW(TVarRec(1).AsAnsiString(), EConvertError);

    // Strings are owned: the temporary is gone before formatting starts.
    std::vector<TVarRec> args{std::string("temporary ") + "text"};
    EXPECT_EQ(Format("%s", args), "temporary text");
}

TEST(FormatIntegers, SignedUnsignedAndHexWithWidthAndPrecision) {
    EXPECT_EQ(Format("[%5d|%-5d|%.4d|%D]", {42, 42, -42, 7}), "[   42|42   |-0042|7]");
    EXPECT_EQ(Format("%d", {std::numeric_limits<int32_t>::min()}), "-2147483648");
    EXPECT_EQ(Format("%d", {std::numeric_limits<int64_t>::min()}), "-9223372036854775808");
    EXPECT_EQ(Format("%d %u", {0xFFFFFFFFu, std::numeric_limits<uint64_t>::max()}),
              "4294967295 18446744073709551615");
    EXPECT_EQ(Format("%u %x", {-1, -1}), "4294967295 FFFFFFFF");
    EXPECT_EQ(Format("%x", {int64_t{-1}}), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(Format("[%8.4x|%-6X|%.0d]", {255, 0xAB, 0}), "[    00FF|AB    |0]");
}

TEST(FormatStrings, AllTextKindsWithWidthAndPrecision) {
    EXPECT_EQ(Format("[%5s|%-5s|%.2s|%3.1s]", {"ab", "ab", "abcdef", "xyz"}), "[   ab|ab   |ab|  x]");
    EXPECT_EQ(Format("%s%s%s", {'c', u'\u00E9', WideString(u"w")}), "c\xE9w");
    EXPECT_EQ(Format("%s|%s", {u'\u0416', u"a\U0001F600b"}), "?|a?b");
    EXPECT_EQ(Format("100%% %s", {"done"}), "100% done");
    EXPECT_EQ(Format("%p", {nullptr}), std::string(sizeof(void*) * 2, '0'));
}

TEST(FormatWide, WideFormatKeepsCharactersBeyondLatin1) {
    EXPECT_EQ(WideFormat(u"%s=%d", {u"\u0416\u4E2D", 5}), u"\u0416\u4E2D=5");
    EXPECT_EQ(WideFormat(u"[%-4s]", {u'\u0416'}), u"[\u0416   ]");
    EXPECT_EQ(WideFormat(u"%s%s", {"\xE9", 'x'}), u"\u00E9x");
    // Precision never splits a surrogate pair.
    EXPECT_EQ(WideFormat(u"[%.1s|%.2s]", {u"\U0001F600x", u"\U0001F600x"}), u"[|\U0001F600]");
    EXPECT_EQ(WideFormat(u"%.1f", {2.25}), u"2.3");
    try {
        WideFormat(u"\u0416%k", {1});
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), InvalidMessage("?%k"));
    }
}

TEST(FormatFloats, ScientificRoundsAndPadsTheExponent) {
    EXPECT_EQ(Format("%e", {1.0}), "1.00000000000000E+000");
    EXPECT_EQ(Format("%.3e", {1234.5}), "1.23E+003");
    EXPECT_EQ(Format("%.2e", {-9.96e-10}), "-1.0E-009");
    EXPECT_EQ(Format("%.1e|%.0e", {25.0, 0.0}), "3E+001|0E+000");
    EXPECT_EQ(Format("%.3e", {1e300L * 1e300L}), "1.00E+600");
}

TEST(FormatFloats, FixedRoundsHalfAwayFromZeroOnTheExactValue) {
    EXPECT_EQ(Format("%.2f|%.2f|%.0f|%.0f", {0.125, -0.125, 2.5, -3.5}), "0.13|-0.13|3|-4");
    // 1.005 and 2.675 are stored slightly below the halfway point.
    EXPECT_EQ(Format("%.2f|%.2f", {1.005, 2.675}), "1.00|2.67");
    EXPECT_EQ(Format("%f|%10.3f|%-8.1f|", {3.0, -2.0 / 3.0, 9.96}), "3.00|    -0.667|10.0    |");
    EXPECT_EQ(Format("%.2f|%.2f", {-0.001, 0.005}), "0.00|0.01");
    EXPECT_EQ(Format("%.0f", {1e20}), "100000000000000000000");
    EXPECT_EQ(Format("%.30f", {0.5}), "0.500000000000000000");
    EXPECT_EQ(Format("%.2f", {0.125}, TFormatSettings{u','}), "0,13");
}

// Fixed notation from the value's exact digits: printf writes far more decimals than asked, and
// the text is rounded half away from zero by hand, digit by digit.
std::string FixedReference(long double value, int decimals) {
    std::vector<char> buffer(6000);
#if defined(__MINGW32__)
    __mingw_snprintf(buffer.data(), buffer.size(), "%.*Lf", decimals + 60, std::fabs(value));
#else
    std::snprintf(buffer.data(), buffer.size(), "%.*Lf", decimals + 60, std::fabs(value));
#endif
    const std::string text(buffer.data());
    const size_t point = text.find('.');
    std::string digits = text.substr(0, point) + text.substr(point + 1, static_cast<size_t>(decimals));
    if (text[point + 1 + static_cast<size_t>(decimals)] >= '5') {
        size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9')
            digits[--i] = '0';
        if (i == 0)
            digits.insert(digits.begin(), '1');
        else
            ++digits[i - 1];
    }
    const bool zero = digits.find_first_not_of('0') == std::string::npos;
    std::string out = (value < 0 && !zero) ? "-" : "";
    const size_t integerLength = digits.size() - static_cast<size_t>(decimals);
    out += digits.substr(0, integerLength);
    if (decimals > 0)
        out += "." + digits.substr(integerLength);
    return out;
}

TEST(FormatFloats, FixedAgreesWithTheExactDigitsForValuesOfEveryScale) {
    std::mt19937_64 random(20261209);
    std::vector<long double> values = {0.0L,
                                       0.5L,
                                       1.5L,
                                       -2.5L,
                                       0.045L,
                                       35.05L,
                                       9.995L,
                                       1e-20L,
                                       5e-19L,
                                       18446744073709551615.0L,
                                       9223372036854775807.5L,
                                       1e19L,
                                       1e25L};
    for (int i = 0; i < 3000; ++i) {
        const auto mantissa = static_cast<long double>(random() >> (random() % 64));
        // Exact binary fractions hit the halfway points; the rest spread over the scales.
        values.push_back(std::ldexp(mantissa, -static_cast<int>(random() % 90)) * ((i & 1) ? 1 : -1));
        values.push_back(static_cast<long double>(static_cast<int64_t>(random() % 2000001) - 1000000) / 8);
        values.push_back(static_cast<double>(random() % 100000000) / 1000.0);
    }
    for (const long double value : values) {
        for (int decimals : {0, 1, 2, 3, 5, 9, 18}) {
            ASSERT_EQ(Format("%.*f", {decimals, value}), FixedReference(value, decimals))
                << static_cast<double>(value) << " with " << decimals << " decimals";
        }
    }
}

TEST(FormatFloats, FixedOutsideSixtyFourBitsStaysExact) {
    // Results beyond 64 bits take the long way; both ways must meet at the boundary.
    EXPECT_EQ(Format("%.2f", {1.8e17L}), "180000000000000000.00");
    EXPECT_EQ(Format("%.2f", {1.9e17L}), "190000000000000000.00");
    EXPECT_EQ(Format("%.18f", {123.5L}), "123.500000000000000000");
    EXPECT_EQ(Format("%.1f", {1e300}), FixedReference(1e300, 1));
    EXPECT_EQ(Format("%.18f|%.18f", {4.9e-324, -1e-300}), "0.000000000000000000|0.000000000000000000");
    EXPECT_EQ(Format("%.3n|%.1m", {-1234567.0625L, 0.05L}), "-1,234,567.063|$0.1");
}

TEST(FormatFloats, NumberGroupsThousands) {
    EXPECT_EQ(Format("%n|%.0n|%n", {1234567.891, 999.5, -12.0}), "1,234,567.89|1,000|-12.00");
    TFormatSettings european;
    european.DecimalSeparator = u',';
    european.ThousandSeparator = u'.';
    EXPECT_EQ(Format("%.1n", {-1234567.25}, european), "-1.234.567,3");
    european.ThousandSeparator = 0;
    EXPECT_EQ(Format("%.1n", {1234567.25}, european), "1234567,3");
    european.ThousandSeparator = u'\u00A0';
    EXPECT_EQ(WideFormat(u"%.0n", {1234.0}, european), u"1\u00A0234");
}

TEST(FormatFloats, GeneralSwitchesBetweenFixedAndScientific) {
    EXPECT_EQ(Format("%g|%.1g|%g|%g", {2.5, 2.5, 0.0, -1.25}), "2.5|3|0|-1.25");
    EXPECT_EQ(Format("%g|%g|%g", {123456789012345.0, 1e15, 1e20}), "123456789012345|1E15|1E20");
    EXPECT_EQ(Format("%g|%g|%g", {0.00001, 0.000001, 1.5e-7}), "0.00001|1E-6|1.5E-7");
    EXPECT_EQ(Format("%g|%.3g|%.3g", {0.1 + 0.2, 1234.0, 999.7}), "0.3|1.23E3|1E3");
    EXPECT_EQ(FloatToStr(1.0L / 3), "0.333333333333333");
    EXPECT_EQ(FloatToStr(-2.0L / 3), "-0.666666666666667");
}

TEST(FormatFloats, InfinityAndNanInEveryFloatFormat) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Format("%e %f %g %n %m", {inf, inf, inf, inf, inf}), "INF INF INF INF INF");
    EXPECT_EQ(Format("%e %f %g %n %m", {-inf, -inf, -inf, -inf, -inf}), "-INF -INF -INF -INF -INF");
    EXPECT_EQ(Format("%e %f %6g %n %m", {nan, nan, nan, nan, nan}), "NAN NAN    NAN NAN NAN");
    EXPECT_EQ(FloatToStr(inf), "INF");
}

TEST(FormatCurrency, PositiveAndNegativeLayouts) {
    TFormatSettings settings;
    EXPECT_EQ(Format("%m|%.0m|%m", {1234.5, 1234.5, -0.001}, settings), "$1,234.50|$1,235|$0.00");
    settings.CurrencyString = u"EUR";
    settings.CurrencyDecimals = 1;
    const char* positive[] = {"EUR1.5", "1.5EUR", "EUR 1.5", "1.5 EUR"};
    for (uint8_t layout = 0; layout < 4; ++layout) {
        settings.CurrencyFormat = layout;
        EXPECT_EQ(Format("%m", {1.46}, settings), positive[layout]) << int(layout);
    }
    const char* negative[] = {"(EUR1.5)", "-EUR1.5",  "EUR-1.5",   "EUR1.5-",  "(1.5EUR)", "-1.5EUR",
                              "1.5-EUR",  "1.5EUR-",  "-1.5 EUR",  "-EUR 1.5", "1.5 EUR-", "EUR 1.5-",
                              "EUR -1.5", "1.5- EUR", "(EUR 1.5)", "(1.5 EUR)"};
    for (uint8_t layout = 0; layout < 16; ++layout) {
        settings.NegCurrFormat = layout;
        EXPECT_EQ(Format("%m", {-1.46}, settings), negative[layout]) << int(layout);
    }
    settings.NegCurrFormat = 200;
    settings.CurrencyFormat = 9;
    EXPECT_EQ(Format("%m|%m", {-1.0, 1.0}, settings), "(EUR1.0)|EUR1.0");
}

TEST(FormatErrors, InvalidFormatsAndMismatchedArguments) {
    for (const char* format :
         {"%k", "%d", "%s", "%f", "%p", "%*d", "%", "abc%5", "%1:", "%-", "%.", "%5-d", "%:d"}) {
        std::vector<TVarRec> args{TVarRec(int64_t{5}), "x"};
        if (std::string(format) == "%d" || std::string(format) == "%p")
            args = {"x"};
        else if (std::string(format) == "%s" || std::string(format) == "%f")
            args = {1};
        EXPECT_EQ(ErrorOf(format, args), InvalidMessage(format)) << format;
    }
}

TEST(FormatErrors, MissingArguments) {
    EXPECT_EQ(ErrorOf("%d %d", {1}), "No argument for format '%d %d'");
    EXPECT_EQ(ErrorOf("%1:d", {1}), "No argument for format '%1:d'");
    EXPECT_EQ(ErrorOf("%*d", {5}), "No argument for format '%*d'");
    EXPECT_EQ(ErrorOf("plain", {}), "<no error>");
}

TEST(FormatErrors, HugeCountsAreRejectedWithoutAllocating) {
    for (const char* format : {"%999999999d", "%99999999999999999999999d", "%.1000001d", "%4294967296:d"})
        EXPECT_EQ(ErrorOf(format, {1}), InvalidMessage(format)) << format;
    EXPECT_EQ(ErrorOf("%*d", {1000001, 1}), InvalidMessage("%*d"));
    EXPECT_EQ(ErrorOf("%*d", {std::numeric_limits<int32_t>::min(), 1}), InvalidMessage("%*d"));
    EXPECT_EQ(ErrorOf("%.*d", {std::numeric_limits<int32_t>::max(), 1}), InvalidMessage("%.*d"));
    EXPECT_EQ(Format("%1000000d", {1}).size(), 1000000u);
}

class FormatHooks : public ::testing::Test {
protected:
    void TearDown() override {
        SetWideFormatRoutine(nullptr);
        SetFormatConversionRoutines(nullptr, nullptr);
    }

    static WideString Replacement(const WideString& format, const std::vector<TVarRec>& args,
                                  const TFormatSettings&) {
        return u"hooked:" + format + u":" + std::u16string(1, char16_t(u'0' + args.size()));
    }
};

TEST_F(FormatHooks, WideFormatCallsTheInstalledRoutineUntilRestored) {
    TWideFormatRoutine builtIn = SetWideFormatRoutine(&Replacement);
    EXPECT_EQ(builtIn, &WideFormatBuiltIn);
    EXPECT_EQ(WideFormat(u"%d", {1, 2}), u"hooked:%d:2");
    EXPECT_EQ(WideFormatBuiltIn(u"%d", {1}, TFormatSettings{}), u"1");
    char16_t buffer[4];
    EXPECT_EQ(WideFormatBuf(buffer, 4, u"%d", {7}), 1u);
    EXPECT_EQ(buffer[0], u'7') << "the buffer formatter is the built-in one";
    EXPECT_EQ(SetWideFormatRoutine(nullptr), &Replacement);
    EXPECT_EQ(WideFormat(u"%d", {1}), u"1");
}

TEST_F(FormatHooks, ArgumentConversionsGoThroughTheInstalledRoutines) {
    SetFormatConversionRoutines(
        [](const AnsiString& text) { return u"<" + WideString(text.begin(), text.end()) + u">"; },
        [](const WideString& text) { return "[" + std::to_string(text.size()) + "]"; });
    EXPECT_EQ(WideFormat(u"%s", {"ab"}), u"<ab>");
    EXPECT_EQ(Format("%s", {u"\u0416\u0416"}), "[2]");
    SetFormatConversionRoutines(nullptr, nullptr);
    EXPECT_EQ(Format("%s", {u"\u0416\u00E9"}), "?\xE9");
}

} // namespace
