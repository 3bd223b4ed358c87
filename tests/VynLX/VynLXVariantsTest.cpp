#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "VynLXUtils.h"

namespace {

const TLocateOptions None;
const TLocateOptions CaseInsensitive = loCaseInsensitive;
const TLocateOptions Partial = loPartialKey;
const TLocateOptions Both = loCaseInsensitive | loPartialKey;

std::string AssertionOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EAssertionFailed& e) {
        return e.Message();
    } catch (...) {
        return "<another exception>";
    }
    return "<nothing raised>";
}

// "<text> (lib/VynLX/VynLXUtils, line N)" with any line.
::testing::AssertionResult IsAssertion(const std::string& message, const std::string& text) {
    const std::regex shape(std::regex_replace(text, std::regex(R"([.()])"), R"(\$&)") +
                           R"( \(lib/VynLX/VynLXUtils, line [1-9][0-9]*\))");
    if (std::regex_match(message, shape))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "message: " << message;
}

TVariant Decimal(double value) {
    return TVariant::FromDouble(value).ChangeType(VT_DECIMAL);
}

TVariant Pair(const TVariant& first, const TVariant& second, int32_t low = 0) {
    TVariant array = TVariant::CreateArray(low, low + 1);
    array.SetElement(low, first);
    array.SetElement(low + 1, second);
    return array;
}

// ---- CompareWideStr

TEST(CompareWideStr, CaseAndPartialKeys) {
    EXPECT_EQ(CompareWideStr(u"Apple", u"apple", CaseInsensitive), 0);
    EXPECT_NE(CompareWideStr(u"Apple", u"apple", None), 0);
    EXPECT_LT(CompareWideStr(u"apple", u"banana", None), 0);
    EXPECT_EQ(CompareWideStr(u"applesauce", u"apple", Partial), 0) << "the record text begins with the key";
    EXPECT_NE(CompareWideStr(u"Applesauce", u"apple", Partial), 0);
    EXPECT_EQ(CompareWideStr(u"Applesauce", u"apple", Both), 0);
    EXPECT_LT(CompareWideStr(u"app", u"apple", Partial), 0) << "a shorter record text is not extended";
    EXPECT_EQ(CompareWideStr(u"anything", u"", Partial), 0);
}

// ---- The table: each function with each kind of value under each option set

struct Case {
    const char* Name;
    TVariant Left;
    TVariant Right;
    TLocateOptions Options;
    bool Equal;  // VarEqual and VarArrayEqual
    int Compare; // CompareVariantValues and CompareVariants
};

std::vector<Case> Cases() {
    const TVariant empty, null = TVariant::Null();
    const double day = 45000.0; // a date in 2023
    return {
        {"empty, empty", empty, empty, None, true, 0},
        {"null, null", null, null, None, true, 0},
        {"empty, null", empty, null, None, false, 0},
        {"null, empty", null, empty, None, false, 0},
        {"null, number", null, TVariant::FromInteger(5), None, false, -1},
        {"number, null", TVariant::FromInteger(5), null, None, false, 1},
        {"empty, number", empty, TVariant::FromInteger(0), None, false, -1},
        {"number, empty", TVariant::FromDouble(-3), empty, None, false, 1},
        {"null, text, case-insensitive", null, TVariant::FromWide(u"x"), CaseInsensitive, false, -1},
        {"empty, empty text, case-insensitive", empty, TVariant::FromWide(u""), CaseInsensitive, true, -1},
        {"integer, double", TVariant::FromInteger(5), TVariant::FromDouble(5.0), None, true, 0},
        {"integer, larger integer", TVariant::FromInteger(5), TVariant::FromInteger(7), None, false, -1},
        {"int64 near the top", TVariant::FromInt64(INT64_MAX), TVariant::FromInt64(INT64_MAX - 1), None,
         false, 1},
        {"decimal, double", Decimal(5), TVariant::FromDouble(5.0), None, true, 0},
        {"double, decimal", TVariant::FromDouble(2.5), Decimal(2.5), None, true, 0},
        {"decimal, integer", Decimal(2.5), TVariant::FromInteger(3), None, false, -1},
        {"date, same date", TVariant::FromDate(day), TVariant::FromDate(day), None, true, 0},
        {"date, later date", TVariant::FromDate(day), TVariant::FromDate(day + 0.5), None, false, -1},
        {"date, its text, case-insensitive", TVariant::FromDate(day),
         TVariant::FromDate(day).ChangeType(VT_BSTR), CaseInsensitive, true, -1},
        {"boolean, boolean", TVariant::FromBoolean(true), TVariant::FromBoolean(true), None, true, 0},
        {"true, false (true is -1)", TVariant::FromBoolean(true), TVariant::FromBoolean(false), None, false,
         -1},
        {"boolean, its text, case-insensitive", TVariant::FromBoolean(false), TVariant::FromWide(u"FALSE"),
         CaseInsensitive, true, -1},
        {"narrow, wide, same text", TVariant::FromAnsi("abc"), TVariant::FromWide(u"abc"), None, true, 0},
        {"narrow, wide, other case", TVariant::FromAnsi("abc"), TVariant::FromWide(u"ABC"), None, false, -1},
        {"narrow, wide, case-insensitive", TVariant::FromAnsi("abc"), TVariant::FromWide(u"ABC"),
         CaseInsensitive, true, 0},
        {"wide, wide, ordered", TVariant::FromWide(u"pear"), TVariant::FromWide(u"Plum"), CaseInsensitive,
         false, -1},
        {"record text begins with the key, both", TVariant::FromWide(u"Applesauce"),
         TVariant::FromWide(u"apple"), Both, true, 0},
        {"record text begins with the key, partial only", TVariant::FromWide(u"Applesauce"),
         TVariant::FromWide(u"apple"), Partial, false, 1},
        {"record text begins with the key, case-sensitive", TVariant::FromWide(u"applesauce"),
         TVariant::FromWide(u"apple"), Partial, true, 0},
        {"number, its text, case-insensitive", TVariant::FromInteger(5), TVariant::FromWide(u"5"),
         CaseInsensitive, true, -1},
        {"narrow number text, number", TVariant::FromAnsi("15"), TVariant::FromInteger(15), CaseInsensitive,
         true, 1},
    };
}

TEST(VariantComparisonTable, SingleValues) {
    for (const Case& c : Cases()) {
        EXPECT_EQ(VarEqual(c.Left, c.Right, c.Options), c.Equal) << c.Name;
        EXPECT_EQ(VarArrayEqual(c.Left, c.Right, c.Options), c.Equal) << c.Name;
        EXPECT_EQ(CompareVariantValues(c.Left, c.Right, c.Options), c.Compare) << c.Name;
        EXPECT_EQ(CompareVariants(c.Left, c.Right, c.Options), c.Compare) << c.Name;
    }
}

TEST(VariantComparisonTable, EachPairAsAOneElementArray) {
    for (const Case& c : Cases()) {
        TVariant left = TVariant::CreateArray(3, 3), right = TVariant::CreateArray(3, 3);
        left.SetElement(3, c.Left);
        right.SetElement(3, c.Right);
        EXPECT_EQ(VarArrayEqual(left, right, c.Options), c.Equal) << c.Name;
        EXPECT_EQ(CompareVariants(left, right, c.Options), c.Compare) << c.Name;
    }
}

TEST(VariantComparison, ANumberAndItsTextWithoutOptionsAreDecidedByTheVariantRelationship) {
    const TVariant number = TVariant::FromInteger(5), text = TVariant::FromWide(u"5");
    EXPECT_EQ(VarEqual(number, text, None), VariantRelationship(number, text) == vrEqual);
    EXPECT_TRUE(VarEqual(number, text, CaseInsensitive));
}

TEST(VariantComparison, VarEqualNeverRaisesForConversions) {
    std::vector<TVariant> kinds{TVariant(),
                                TVariant::Null(),
                                TVariant::FromInteger(1),
                                TVariant::FromDouble(1e300),
                                Decimal(1.5),
                                TVariant::FromDate(45000.75),
                                TVariant::FromBoolean(true),
                                TVariant::FromAnsi("\xff\x80text"),
                                TVariant::FromWide(u"\u4e2d"),
                                TVariant::FromWide(u"not a number"),
                                TVariant::FromCurrency(1)};
    const TLocateOptions options[] = {None, CaseInsensitive, Partial, Both};
    for (const TVariant& left : kinds)
        for (const TVariant& right : kinds)
            for (TLocateOptions option : options)
                EXPECT_NO_THROW(VarEqual(left, right, option))
                    << VariantTypeName(left) << ", " << VariantTypeName(right) << ", " << int{option.Bits()};
}

// ---- Arrays

TEST(VariantComparisonArrays, ElementsDifferingOnlyInCaseAreEqualCaseInsensitively) {
    const TVariant left = Pair(TVariant::FromWide(u"alpha"), TVariant::FromAnsi("Beta"));
    const TVariant right = Pair(TVariant::FromWide(u"ALPHA"), TVariant::FromWide(u"beta"));
    EXPECT_TRUE(VarArrayEqual(left, right, CaseInsensitive));
    EXPECT_EQ(CompareVariants(left, right, CaseInsensitive), 0);
    EXPECT_FALSE(VarArrayEqual(left, right, None));
    EXPECT_NE(CompareVariants(left, right, None), 0);
}

TEST(VariantComparisonArrays, TheFirstDifferingElementDecides) {
    const TVariant low = Pair(TVariant::FromInteger(1), TVariant::FromInteger(9));
    const TVariant high = Pair(TVariant::FromInteger(2), TVariant::FromInteger(0));
    EXPECT_EQ(CompareVariants(low, high, None), -1);
    EXPECT_EQ(CompareVariants(high, low, None), 1);
    const TVariant nullFirst = Pair(TVariant::Null(), TVariant::FromInteger(0));
    EXPECT_EQ(CompareVariants(nullFirst, low, None), -1);
    EXPECT_FALSE(VarArrayEqual(nullFirst, low, None));
}

TEST(VariantComparisonArrays, EmptyArraysOfEqualBoundsAreEqual) {
    EXPECT_TRUE(VarArrayEqual(TVariant::CreateArray(1, 0), TVariant::CreateArray(1, 0), None));
    EXPECT_EQ(CompareVariants(TVariant::CreateArray(1, 0), TVariant::CreateArray(1, 0), None), 0);
}

TEST(VariantComparisonArrays, DifferentShapesAreUnequalAndCannotBeCompared) {
    const TVariant zeroBased = Pair(TVariant::FromInteger(1), TVariant::FromInteger(2), 0);
    const TVariant oneBased = Pair(TVariant::FromInteger(1), TVariant::FromInteger(2), 1);
    TVariant longer = TVariant::CreateArray(0, 2);
    longer.SetElement(0, TVariant::FromInteger(1));
    longer.SetElement(1, TVariant::FromInteger(2));
    const TVariant single = TVariant::FromInteger(1);

    EXPECT_FALSE(VarArrayEqual(zeroBased, oneBased, None));
    EXPECT_FALSE(VarArrayEqual(zeroBased, longer, None));
    EXPECT_FALSE(VarArrayEqual(zeroBased, single, None));
    EXPECT_FALSE(VarArrayEqual(single, zeroBased, None));

    EXPECT_TRUE(IsAssertion(AssertionOf([&] { CompareVariants(zeroBased, oneBased, None); }),
                            "CompareVariants: Must have same lower bound."));
    EXPECT_TRUE(IsAssertion(AssertionOf([&] { CompareVariants(zeroBased, longer, None); }),
                            "CompareVariants: Must have same upper bound."));
    EXPECT_TRUE(IsAssertion(AssertionOf([&] { CompareVariants(zeroBased, single, None); }),
                            "CompareVariants: Must have same dim count."));
    EXPECT_TRUE(IsAssertion(AssertionOf([&] { CompareVariants(single, zeroBased, None); }),
                            "CompareVariants: Must have same dim count."));
}

TEST(VariantComparisonArrays, TheSingleValueFunctionsRejectArrays) {
    const TVariant array = Pair(TVariant::FromInteger(1), TVariant::FromInteger(2));
    const TVariant single = TVariant::FromInteger(1);
    for (TLocateOptions options : {None, Both}) {
        EXPECT_TRUE(IsAssertion(AssertionOf([&] { VarEqual(array, single, options); }),
                                "InternalError: Array type variants found."));
        EXPECT_TRUE(IsAssertion(AssertionOf([&] { VarEqual(single, array, options); }),
                                "InternalError: Array type variants found."));
        EXPECT_TRUE(IsAssertion(AssertionOf([&] { CompareVariantValues(array, array, options); }),
                                "InternalError: Array type variants found."));
    }
}

TEST(VariantComparison, IsNullOrEmpty) {
    EXPECT_TRUE(IsNullOrEmpty(TVariant()));
    EXPECT_TRUE(IsNullOrEmpty(TVariant::Null()));
    EXPECT_FALSE(IsNullOrEmpty(TVariant::FromWide(u"")));
    EXPECT_FALSE(IsNullOrEmpty(TVariant::FromInteger(0)));
}

} // namespace
