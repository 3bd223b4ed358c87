// Wide format strings: the specifier parser, index rewriting, format comparison and FormatWide.
#include "VynFormatStrUtils.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "Exceptions.h"

#include "VynSysUtilsPaths.h"

namespace {

using namespace std::string_view_literals;

using GeneralError = EVynGeneralError;
using InternalError = EVynInternalError;

template <typename Error, typename Action> std::string MessageOf(Action action) {
    try {
        action();
    } catch (const Error& e) {
        return e.Message();
    }
    return "<no error>";
}

struct ParseResult {
    bool isSpecifier;
    WideString parsedText;
    WideString unreadRest;
    int32_t argIndex;
    int32_t explicitSpecifiers;
    int32_t implicitSpecifiers;
};

ParseResult ParseOne(std::u16string_view format) {
    TFormatStrParser parser(format);
    bool isSpecifier = parser.ParseSpecifier();
    return {isSpecifier,     parser.ParsedText.AccumulatedText(), WideString(parser.UnreadRest()),
            parser.ArgIndex, parser.ExplicitSpecifiers,           parser.ImplicitSpecifiers};
}

std::string InvalidSpecifierOf(std::u16string_view format) {
    return MessageOf<GeneralError>([&] { ParseOne(format); });
}

TEST(FormatStrParser, PercentPairsSpacesAndATrailingPercentAreNoSpecifiers) {
    for (std::u16string_view format : {u"%%d"sv, u"% d"sv, u"%"sv}) {
        ParseResult result = ParseOne(format);
        EXPECT_FALSE(result.isSpecifier);
        EXPECT_EQ(result.parsedText + result.unreadRest, format) << "nothing inserted, nothing lost";
        EXPECT_EQ(result.argIndex, -1);
        EXPECT_EQ(result.implicitSpecifiers + result.explicitSpecifiers, 0);
    }
}

TEST(FormatStrParser, EachPartOfASpecifierIsReadAndImplicitOnesGetTheirIndex) {
    ParseResult implicit = ParseOne(u"%-8.3f tail");
    EXPECT_TRUE(implicit.isSpecifier);
    EXPECT_EQ(implicit.parsedText, u"%0:-8.3f");
    EXPECT_EQ(implicit.unreadRest, u" tail");
    EXPECT_EQ(implicit.argIndex, 0);
    EXPECT_EQ(implicit.implicitSpecifiers, 1);

    ParseResult indexed = ParseOne(u"%12:-5S");
    EXPECT_EQ(indexed.parsedText, u"%12:-5S");
    EXPECT_EQ(indexed.argIndex, 12);
    EXPECT_EQ(indexed.explicitSpecifiers, 1);
    EXPECT_EQ(indexed.implicitSpecifiers, 0);

    EXPECT_EQ(ParseOne(u"%5x").parsedText, u"%0:5x") << "a width before any minus sign";
    EXPECT_EQ(ParseOne(u"%123456.654321n").parsedText, u"%0:123456.654321n") << "six digits are allowed";
}

TEST(FormatStrParser, EveryAsteriskTakesAnArgument) {
    ParseResult both = ParseOne(u"%*.*f");
    EXPECT_EQ(both.parsedText, u"%0:*.*f");
    EXPECT_EQ(both.argIndex, 2);
    EXPECT_EQ(both.implicitSpecifiers, 3);

    ParseResult afterIndex = ParseOne(u"%1:-*d");
    EXPECT_EQ(afterIndex.parsedText, u"%1:-*d");
    EXPECT_EQ(afterIndex.argIndex, 2);
    EXPECT_EQ(afterIndex.explicitSpecifiers, 1);
    EXPECT_EQ(afterIndex.implicitSpecifiers, 1);

    ParseResult indexFromArgument = ParseOne(u"%*:d");
    EXPECT_EQ(indexFromArgument.parsedText, u"%0:*:d");
    EXPECT_EQ(indexFromArgument.argIndex, 1);
}

TEST(FormatStrParser, MalformedAndUnfinishedSpecifiersQuoteWhatWasReadAndTheRest) {
    EXPECT_EQ(InvalidSpecifierOf(u"%1234567d!"), "Invalid Format Specifier: %1234567d!");
    EXPECT_EQ(InvalidSpecifierOf(u"%-1234567d"), "Invalid Format Specifier: %0:-1234567d");
    EXPECT_EQ(InvalidSpecifierOf(u"%.1234567f"), "Invalid Format Specifier: %0:.1234567f");
    EXPECT_EQ(InvalidSpecifierOf(u"%1234567:d"), "Invalid Format Specifier: %1234567:d");
    EXPECT_EQ(InvalidSpecifierOf(u"%k and more"), "Invalid Format Specifier: %0:k and more");
    EXPECT_EQ(InvalidSpecifierOf(u"%.f"), "Invalid Format Specifier: %0:.f");
    EXPECT_EQ(InvalidSpecifierOf(u"plain"), "Invalid Format Specifier: plain") << "not on a percent sign";
    for (std::u16string_view unfinished : {u"%5"sv, u"%1:"sv, u"%-"sv, u"%5."sv, u"%*"sv})
        EXPECT_NE(InvalidSpecifierOf(unfinished).find("Invalid Format Specifier: %"), std::string::npos);
    EXPECT_EQ(InvalidSpecifierOf(u"%5."), "Invalid Format Specifier: %0:5.");
}

TEST(FormatStrParser, NeverReadsBeyondTheGivenLength) {
    // The units after the view would complete the specifier if the parser looked at them.
    const WideString text = u"%12:s and %1234567d";
    EXPECT_EQ(InvalidSpecifierOf(std::u16string_view(text).substr(0, 3)), "Invalid Format Specifier: %0:12");
    EXPECT_EQ(InvalidSpecifierOf(std::u16string_view(text).substr(0, 4)), "Invalid Format Specifier: %12:");
    // Six digits within the view, the seventh beyond it.
    const WideString digits = u"%1234567:d";
    EXPECT_EQ(InvalidSpecifierOf(std::u16string_view(digits).substr(0, 7)),
              "Invalid Format Specifier: %0:123456");
}

TEST(FormatStrParser, SkippingToAPercentTellsEmptyLiteralTextFromNoPercentLeft) {
    TFormatStrParser parser(u"%d, %s tail"sv);
    EXPECT_EQ(parser.SkipToNextPercent(), u""sv) << "a '%' right at the cursor skips nothing";
    EXPECT_TRUE(parser.ParseSpecifier());
    EXPECT_EQ(parser.SkipToNextPercent(), u", "sv);
    EXPECT_TRUE(parser.ParseSpecifier());
    EXPECT_EQ(parser.SkipToNextPercent(), std::nullopt);
    EXPECT_EQ(parser.UnreadRest(), u" tail"sv) << "nothing moved";
}

TEST(FormatTypeClass, ClassifiesByTheLastCharacterInEitherCase) {
    for (std::u16string_view spec : {u"%d"sv, u"%0:U"sv, u"%x"sv})
        EXPECT_EQ(FormatTypeClass(spec), FormatTypeInteger);
    for (std::u16string_view spec : {u"%e"sv, u"%F"sv, u"%g"sv, u"%M"sv, u"%1:-3.2n"sv})
        EXPECT_EQ(FormatTypeClass(spec), FormatTypeFloat);
    EXPECT_EQ(FormatTypeClass(u"%P"), FormatTypePointer);
    EXPECT_EQ(FormatTypeClass(u"%5s"), FormatTypeString);
    EXPECT_EQ(MessageOf<InternalError>([] { FormatTypeClass(u"%k"); }),
              "Internal Error: Unexpected format type (k)");
    EXPECT_EQ(MessageOf<InternalError>([] { FormatTypeClass(u""); }),
              "Internal Error: Unexpected format type ()");
}

TEST(MakeIndexesExplicit, NumbersImplicitArgumentsAboveTheHighestIndexSeen) {
    EXPECT_EQ(MakeIndexesExplicit(u"%s"), u"%s") << "a single implicit argument is unambiguous";
    EXPECT_EQ(MakeIndexesExplicit(u"%1:s %0:d"), u"%1:s %0:d") << "only indexed specifiers";
    EXPECT_EQ(MakeIndexesExplicit(u"File %s, line %d."), u"File %0:s, line %1:d.");
    EXPECT_EQ(MakeIndexesExplicit(u"%1:s %d"), u"%1:s %2:d");
    EXPECT_EQ(MakeIndexesExplicit(u"%s %s %0:s %s"), u"%0:s %1:s %0:s %2:s");
    EXPECT_EQ(MakeIndexesExplicit(u"%*.*f%d"), u"%0:*.*f%3:d");
    EXPECT_EQ(MakeIndexesExplicit(u"%-*d|%x"), u"%0:-*d|%2:x");
    EXPECT_EQ(MakeIndexesExplicit(u"%5:d %s"), u"%5:d %6:s");
    // An index taken from an argument: the rewritten text reads the same way again.
    EXPECT_EQ(MakeIndexesExplicit(u"%*:d %s"), u"%0:*:d %2:s");
    EXPECT_EQ(MakeIndexesExplicit(u"%0:*:d %2:s"), u"%0:*:d %2:s");
}

TEST(MakeIndexesExplicit, KeepsNonSpecifiersAndEveryUnitOfTheLiteralText) {
    EXPECT_EQ(MakeIndexesExplicit(u"100%% of %s in %d% "), u"100%% of %0:s in %1:d% ");
    EXPECT_EQ(MakeIndexesExplicit(u"%s%d%"), u"%0:s%1:d%");
    const WideString withZero(u"a\0%s%d\0z", 8);
    EXPECT_EQ(MakeIndexesExplicit(withZero), WideString(u"a\0%0:s%1:d\0z", 12));
    EXPECT_EQ(MakeIndexesExplicit(u"no specifiers"), u"no specifiers");
}

TEST(MakeIndexesExplicit, AnInvalidSpecifierIsQuotedWithTheRewrittenTextBeforeIt) {
    EXPECT_EQ(MessageOf<GeneralError>([] { MakeIndexesExplicit(u"ab %s %5.x rest"); }),
              "Invalid Format Specifier: ab %0:s %1:5.x rest");
}

TEST(FormatSpecifierLists, ListsSpecifiersWithTheirIndexes) {
    EXPECT_EQ(ListFormatSpecifiers(u"%s %% %-5.2f % %1:d and %*x%"),
              (std::vector<WideString>{u"%0:s", u"%1:-5.2f", u"%1:d", u"%2:*x"}));
    EXPECT_TRUE(ListFormatSpecifiers(u"").empty());
}

TEST(FormatSpecifierLists, ExplicitIndexAndHighestIndex) {
    EXPECT_EQ(ExplicitIndexOf(u"%12:d"), 12);
    EXPECT_EQ(ExplicitIndexOf(u"%-5d"), -1);
    EXPECT_EQ(ExplicitIndexOf(u"%999999999:d"), 999999999);
    for (std::u16string_view bad : {u"%x:d"sv, u"%:d"sv, u":"sv, u"%1234567890:d"sv})
        EXPECT_EQ(MessageOf<GeneralError>([&] { ExplicitIndexOf(bad); }),
                  "Invalid Format Specifier: " + std::string(bad.begin(), bad.end()));

    EXPECT_EQ(HighestArgIndex({}), -1);
    EXPECT_EQ(HighestArgIndex({u"%s", u"%d"}), 1);
    // Here numbering after an index continues from that index, not from the highest one.
    EXPECT_EQ(HighestArgIndex({u"%5:d", u"%1:s", u"%d"}), 5);
    EXPECT_EQ(HighestArgIndex({u"%3:d", u"%d"}), 4);
}

TEST(FormatSpecifierLists, TypeTableKeepsTheFirstUseOfEachIndex) {
    TArgumentTypeTable table = BuildArgumentTypeTable({u"%3:d", u"%0:s", u"%s", u"%0:s", u"%3:x"});
    EXPECT_EQ(table.Count, 4);
    ASSERT_EQ(table.UsedIndexes.size(), 3u);
    EXPECT_EQ(table.UsedIndexes[0].Specifier, u"%0:s");
    EXPECT_EQ(table.UsedIndexes[1].TypeClass, FormatTypeString);
    EXPECT_EQ(table.UsedIndexes[3].Specifier, u"%3:d");
    EXPECT_EQ(table.UsedIndexes[3].TypeClass, FormatTypeInteger);
    EXPECT_EQ(table.UsedIndexes.count(2), 0u) << "an unused index has no entry";

    EXPECT_EQ(MessageOf<GeneralError>([] {
                  BuildArgumentTypeTable({u"%0:d", u"%1:p", u"%0:f"});
              }),
              "Argument types for index 0 do not match. (%0:d <> %0:f)");
}

TEST(FormatSpecifierLists, AHugeIndexCostsOneEntry) {
    TArgumentTypeTable table = BuildArgumentTypeTable(ListFormatSpecifiers(u"%999999:s %s"));
    EXPECT_EQ(table.Count, 1000001);
    EXPECT_EQ(table.UsedIndexes.size(), 2u);
}

std::string ComparisonError(const WideString& source, const WideString& translated) {
    return MessageOf<GeneralError>([&] { CompareFormatStrings(source, translated); });
}

TEST(CompareFormatStrings, ReorderedArgumentsOfTheSameClassesPass) {
    EXPECT_NO_THROW(CompareFormatStrings(u"%s %d", u"%1:d %0:s"));
    EXPECT_NO_THROW(CompareFormatStrings(u"%.2f of %x", u"%1:u: %0:8.1n"));
    EXPECT_NO_THROW(CompareFormatStrings(u"%*.*f%d", u"%3:d%0:*.*f"));
    EXPECT_NO_THROW(CompareFormatStrings(u"%*:d %s", u"%2:s %0:*:d"));
    EXPECT_NO_THROW(CompareFormatStrings(u"100%%", u"100 %%"));
}

TEST(CompareFormatStrings, MismatchesNameTheIndexAndBothSpecifiers) {
    EXPECT_EQ(ComparisonError(u"%s %d", u"%d %s"), "Argument types for index 0 do not match. (%0:s <> %0:d)");
    EXPECT_EQ(ComparisonError(u"%s %d", u"%s"), "Number of format specifiers do not match.");
    EXPECT_EQ(ComparisonError(u"%s", u"%s %s"), "Number of format specifiers do not match.");
    EXPECT_EQ(ComparisonError(u"%s %d", u"%s %1:d %1:s"),
              "Argument types for index 1 do not match. (%1:d <> %1:s)")
        << "the translation's own inconsistency";
    EXPECT_EQ(ComparisonError(u"%s", u"%0:k"), "Invalid Format Specifier: %0:k");
}

TEST(CompareFormatStrings, AnIndexOnlyOneFormatUsesIsAMismatch) {
    EXPECT_EQ(ComparisonError(u"%1:s", u"%0:d%1:s"), "Argument types for index 0 do not match. ( <> %0:d)");
    EXPECT_EQ(ComparisonError(u"%0:d %1:s", u"%1:s"), "Argument types for index 0 do not match. (%0:d <> )");
}

TEST(FormatWide, FloatsAmongOtherArgumentsAndIndexes) {
    EXPECT_EQ(FormatWide(u"%s=%.2f, %d; %-8.2e|%*.*f|%1:g", {u"\u0416", 3.14159, 42, 1.5e-3, 8, 3, 1.5}),
              u"\u0416=3.14, 42; 1.5E-003|   1.500|3.14159");
    EXPECT_EQ(FormatWide(u"%1:s %0:.1f %s", {2.25, "b", "c"}), u"b 2.3 c");
    // Numbering after an index goes on above the highest index seen.
    EXPECT_EQ(FormatWide(u"%s %s %0:s %s", {"a", "b", "c"}), u"a b a c");
    EXPECT_EQ(FormatWide(u"%m %% %d", {1234.5, 7}), u"$1,234.50 % 7");
    EXPECT_EQ(FormatWide(u"%*:d", {1, 9}), u"9") << "an index taken from an argument keeps its meaning";
    EXPECT_EQ(FormatWide(WideString(u"a\0%d|%.1f", 9), {5, 0.25}), WideString(u"a\0"
                                                                              u"5|0.3",
                                                                              7));
    EXPECT_EQ(FormatWide(u"", {}), u"");
}

TEST(FormatWide, SettingsReachTheFloatsAndTheirTextIsNotReadAsAFormat) {
    TFormatSettings settings;
    settings.DecimalSeparator = u',';
    settings.CurrencyString = u"%s";
    EXPECT_EQ(FormatWide(u"%.1f %m|%s", {2.25, 1.0, "x"}, settings), u"2,3 %s1,00|x");
    EXPECT_EQ(PreformatFloats(u"%m %d", {1.0, 5}, &settings), u"%%s1,00 %1:d");
}

TEST(FormatWide, ResultsOfAnyLengthComeBackWhole) {
    // Around the fixed buffer's capacity and around each doubled size.
    for (size_t length : {4094u, 4095u, 4096u, 8190u, 8191u, 8192u, 20000u}) {
        const WideString long1(length - 1, u'x');
        WideString expected = long1 + u"7";
        EXPECT_EQ(FormatWide(u"%s%d", {long1, 7}), expected) << length;
    }
    // A long format starts from its own length.
    const WideString longFormat = WideString(5000, u'-') + u"%.1f" + WideString(5000, u'+');
    EXPECT_EQ(FormatWide(longFormat, {0.5}), WideString(5000, u'-') + u"0.5" + WideString(5000, u'+'));
    EXPECT_EQ(FormatWide(u"%5000s|", {"a"}).size(), 5001u);
}

TEST(FormatWide, ToBufferWritesNoMoreThanTheCapacity) {
    std::vector<char16_t> buffer(8, u'#');
    EXPECT_EQ(FormatWideToBuffer(buffer.data(), 5, u"%s-%.1f", {"abc", 2.5}), 5u);
    EXPECT_EQ(WideString(buffer.begin(), buffer.end()), u"abc-2###");
    EXPECT_EQ(FormatWideToBuffer(buffer.data(), 8, u"%d%%", {12}), 3u);
    EXPECT_EQ(WideString(buffer.data(), 3), u"12%");
    EXPECT_EQ(FormatWideToBuffer(nullptr, 0, u"%d", {1}), 0u);
    EXPECT_EQ(FormatWideToBuffer(buffer.data(), 8, std::u16string_view(u"%dabc").substr(0, 2), {1}), 1u)
        << "only the given length of the format";
}

TEST(FormatWide, FormatterErrorsPassThroughAndHostileCountsAreRefused) {
    EXPECT_THROW(FormatWide(u"%d", {"text"}), EConvertError);
    EXPECT_THROW(FormatWide(u"50% off", {}), EConvertError) << "left to the formatter, which refuses it";
    EXPECT_THROW(FormatWide(u"%.2f", {1}), EConvertError);
    EXPECT_THROW(FormatWide(u"%s %s", {"only one"}), EConvertError);
    EXPECT_THROW(FormatWide(u"%999999:d", {1}), EConvertError);
    EXPECT_THROW(FormatWide(u"%*d", {2000000000, 1}), EConvertError);
    EXPECT_EQ(MessageOf<GeneralError>([] { FormatWide(u"[%99999999999999999999d]", {1}); }),
              "Invalid Format Specifier: %99999999999999999999d]");
    EXPECT_EQ(MessageOf<GeneralError>([] { FormatWide(u"%s %.", {"a"}); }), "Invalid Format Specifier: %1:.");
}

// What FormatWide gives by its general path: floats preformatted, then the built-in formatter.
WideString GeneralPath(const WideString& format, const std::vector<TVarRec>& args,
                       const TFormatSettings& settings) {
    return WideFormatBuiltIn(PreformatFloats(format, args, &settings), args, settings);
}

template <typename Action> std::string Outcome(Action action) {
    try {
        const WideString text = action();
        return "text: " + std::string(text.begin(), text.end()) + " (" + std::to_string(text.size()) +
               " units)";
    } catch (const Exception& e) {
        return std::string("error: ") + typeid(e).name() + ": " + e.Message();
    }
}

TEST(FormatWide, EveryFormatGivesWhatTheGeneralPathGives) {
    const std::vector<std::u16string> pieces = {
        u"ab ",       u"%",      u"%%",     u"% ",     u"%d",
        u"%5d",       u"%-5d",   u"%.3d",   u"%x",     u"%8.4X",
        u"%u",        u"%s",     u"%.2s",   u"%-8s|",  u"%f",
        u"%5.1f",     u"%.0f",   u"%-9.3f", u"%e",     u"%.3E",
        u"%g",        u"%n",     u"%.1n",   u"%m",     u"%.0M",
        u"%p",        u"%1:d",   u"%0:s",   u"%2:f",   u"%3:5.1f",
        u"%9:d",      u"%*d",    u"%.*f",   u"%D",     u"%z",
        u"%1234567d", u"%.f",    u"%5-3d",  u"%-",     u"%:",
        u"%1:2:d",    u"%0:-6s", u"%06.2f", u"\u0416", WideString(1, u'\0')};
    const std::vector<TVarRec> pool = {
        7, -42, int64_t{-5000000000}, 2.5, -0.125, 1234567.891, 1e300, "ansi", u"wide", u"\U0001F600x", 'c',
        u'\u0416', nullptr, 3u,
        // Runs on either side of the length copied unit by unit, and one beyond what is reserved.
        u"0123456789abcdef", u"0123456789abcdefg", WideString(300, u'w'),
        std::numeric_limits<uint64_t>::max(), std::numeric_limits<int64_t>::min()};
    TFormatSettings plain;
    TFormatSettings comma;
    comma.DecimalSeparator = u',';
    comma.ThousandSeparator = u'.';
    comma.CurrencyString = u"EUR%";
    comma.CurrencyFormat = 3;
    comma.NegCurrFormat = 8;
    TFormatSettings beyondAscii;
    beyondAscii.DecimalSeparator = u'\u066B';
    beyondAscii.ThousandSeparator = 0;
    beyondAscii.CurrencyString = u"\u20AC";
    std::mt19937 random(20261209);
    for (int i = 0; i < 4000; ++i) {
        WideString format;
        for (unsigned count = random() % 5; count > 0; --count)
            format += pieces[random() % pieces.size()];
        std::vector<TVarRec> args;
        for (unsigned count = random() % 6; count > 0; --count)
            args.push_back(pool[random() % pool.size()]);
        for (const TFormatSettings* settings : {&plain, &comma, &beyondAscii}) {
            ASSERT_EQ(Outcome([&] { return FormatWide(format, args, *settings); }),
                      Outcome([&] { return GeneralPath(format, args, *settings); }))
                << "format " << std::string(format.begin(), format.end()) << ", " << args.size()
                << " arguments";
        }
    }
}

TEST(FormatWide, TheUsualMessagesComeOutWhole) {
    EXPECT_EQ(FormatWide(u"%s: %d of %d (%5.1f%%)", {u"Copying", 3, 8, 37.5}), u"Copying: 3 of 8 ( 37.5%)");
    EXPECT_EQ(FormatWide(u"%-6s|%6s|%.1s", {u"ab", "cd", u"\U0001F600"}), u"ab    |    cd|");
    EXPECT_EQ(FormatWide(u"%2:s %s %0:d", {1, 2, u"x", u"y"}), u"x y 1");
    std::vector<char16_t> buffer(6, u'#');
    EXPECT_EQ(FormatWideToBuffer(buffer.data(), 4, u"%d|%.2f", {12, 0.125}), 4u);
    EXPECT_EQ(WideString(buffer.begin(), buffer.end()), u"12|0##");
}

TEST(FormatWide, InstalledAsTheFrameworksRoutineItKeepsTheCallersSettings) {
    TWideFormatRoutine previous = SetWideFormatRoutine(&FormatWideRoutine);
    TFormatSettings settings;
    settings.DecimalSeparator = u',';
    const WideString plain = WideFormat(u"%s %.1f", {"a", 1.25});
    const WideString withSettings = WideFormat(u"%.1f", {2.25}, settings);
    const std::string invalid = MessageOf<GeneralError>([] { WideFormat(u"%1234567d", {1}); });
    SetWideFormatRoutine(previous);
    EXPECT_EQ(plain, u"a 1.3");
    EXPECT_EQ(withSettings, u"2,3");
    EXPECT_EQ(invalid, "Invalid Format Specifier: %1234567d") << "the parser runs in WideFormat";
}

} // namespace
