#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "Variants.h"

namespace {

std::string VariantErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EVariantError& e) {
        return e.Message();
    } catch (...) {
        return "<another exception>";
    }
    return "<nothing raised>";
}

AnsiString AllByteValues() {
    AnsiString bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<char>(value));
    return bytes;
}

// ---- Ownership

TEST(VariantOwnership, CopiesAreIndependentAndMovesLeaveEmpty) {
    TVariant array = TVariant::CreateArray(0, 1);
    array.SetElement(0, TVariant::FromWide(u"first"));
    TVariant copy = array;
    copy.SetElement(0, TVariant::FromInteger(7));
    EXPECT_EQ(array.Element(0).AsWide(), u"first") << "a copy owns its own array";

    TVariant moved = std::move(copy);
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(moved.Element(0).AsInteger(), 7);

    TVariant& same = moved;
    moved = same;
    EXPECT_EQ(moved.Element(0).AsInteger(), 7) << "self-assignment keeps the value";
    moved = TVariant::Null();
    EXPECT_TRUE(moved.IsNull());
}

TEST(VariantOwnership, DetachHandsTheValueOver) {
    TVariant text = TVariant::FromWide(u"kept");
    VARIANT raw = text.Detach();
    EXPECT_TRUE(text.IsEmpty());
    const TVariant again(raw);
    ::VariantClear(&raw);
    EXPECT_EQ(again.AsWide(), u"kept");
}

// ---- Narrow strings

TEST(VariantNarrowString, EveryByteValueSurvivesCopiesAndArrays) {
    const AnsiString bytes = AllByteValues();
    const TVariant narrow = TVariant::FromAnsi(bytes);
    EXPECT_TRUE(narrow.IsNarrowString());
    EXPECT_TRUE(narrow.IsString());
    EXPECT_EQ(narrow.AsAnsi(), bytes);

    const TVariant copy(narrow.Value());
    EXPECT_EQ(copy.AsAnsi(), bytes);
    TVariant array = TVariant::CreateArray(1, 3);
    array.SetElement(2, narrow);
    const TVariant arrayCopy = array;
    EXPECT_TRUE(arrayCopy.Element(2).IsNarrowString());
    EXPECT_EQ(arrayCopy.Element(2).AsAnsi(), bytes);
}

TEST(VariantNarrowString, ConvertsAsTheWideTextItStandsFor) {
    const TVariant narrow = TVariant::FromAnsi("12");
    EXPECT_EQ(narrow.AsWide(), u"12");
    EXPECT_EQ(narrow.AsInteger(), 12);
    EXPECT_EQ(narrow.ChangeType(VT_BSTR).AsWide(), u"12");
    EXPECT_FALSE(TVariant::FromWide(u"12").IsNarrowString());
    EXPECT_EQ(TVariant::FromWide(u"wide").AsAnsi(), "wide");
    EXPECT_EQ(VariantTypeName(narrow), "String");
}

TEST(VariantNarrowString, AnotherObjectIsNoNarrowString) {
    TVariant array = TVariant::CreateArray(0, 0);
    TVariant unknown;
    VARIANT* slot = unknown.Put();
    slot->vt = VT_UNKNOWN;
    slot->punkVal = nullptr;
    EXPECT_FALSE(unknown.IsNarrowString());
    EXPECT_FALSE(unknown.IsString());
    EXPECT_FALSE(array.IsNarrowString());
}

// ---- Conversions

TEST(VariantConversion, ValuesConvertByTheSystemsRules) {
    EXPECT_EQ(TVariant::FromWide(u"42").AsInteger(), 42);
    EXPECT_EQ(TVariant::FromInteger(42).AsWide(), u"42");
    EXPECT_EQ(TVariant::FromBoolean(true).AsWide(), u"True");
    EXPECT_EQ(TVariant::FromBoolean(false).AsWide(), u"False");
    EXPECT_TRUE(TVariant::FromInteger(-1).AsBoolean());
    EXPECT_EQ(TVariant::FromCurrency(12345).AsDouble(), 1.2345);
    EXPECT_EQ(TVariant().AsWide(), u"") << "empty is the empty text";
    EXPECT_EQ(TVariant().AsInteger(), 0);
    const int64_t large = INT64_MAX;
    EXPECT_EQ(TVariant::FromInt64(large).AsInt64(), large);
    EXPECT_EQ(TVariant::FromInt64(large).ChangeType(VT_BSTR).AsWide(), u"9223372036854775807");
}

TEST(VariantConversion, AFailureNamesBothTypes) {
    EXPECT_EQ(VariantErrorOf([] { TVariant::FromWide(u"abc").AsDouble(); }),
              "Could not convert variant of type (OleStr) into type (Double)");
    EXPECT_EQ(VariantErrorOf([] { TVariant::FromAnsi("abc").AsInteger(); }),
              "Could not convert variant of type (String) into type (Integer)");
    EXPECT_EQ(VariantErrorOf([] { TVariant::Null().AsWide(); }),
              "Could not convert variant of type (Null) into type (OleStr)");
    EXPECT_EQ(VariantErrorOf([] { TVariant::FromDouble(1e300).AsInteger(); }),
              "Overflow while converting variant of type (Double) into type (Integer)");
    EXPECT_EQ(VariantErrorOf([] { TVariant::CreateArray(0, 1).AsInteger(); }),
              "Could not convert variant of type (Array of Variant) into type (Integer)");
}

// ---- Arrays

TEST(VariantArray, BoundsElementsAndDimensions) {
    TVariant array = TVariant::CreateArray(-2, 3);
    EXPECT_TRUE(array.IsArray());
    EXPECT_EQ(array.DimCount(), 1);
    EXPECT_EQ(array.LowBound(), -2);
    EXPECT_EQ(array.HighBound(), 3);
    EXPECT_TRUE(array.Element(-2).IsEmpty());
    array.SetElement(3, TVariant::FromDouble(2.5));
    EXPECT_EQ(array.Element(3).AsDouble(), 2.5);
    EXPECT_EQ(TVariant::FromInteger(1).DimCount(), 0);

    const TVariant none = TVariant::CreateArray(5, 4);
    EXPECT_EQ(none.DimCount(), 1);
    EXPECT_EQ(none.HighBound() - none.LowBound() + 1, 0);
}

TEST(VariantArray, Failures) {
    TVariant array = TVariant::CreateArray(0, 2);
    EXPECT_EQ(VariantErrorOf([&] { array.Element(3); }), "Variant or safe array index out of bounds");
    EXPECT_EQ(VariantErrorOf([&] { array.SetElement(-1, TVariant()); }),
              "Variant or safe array index out of bounds");
    EXPECT_EQ(VariantErrorOf([] { TVariant::CreateArray(5, 3); }), "Variant array bounds error");
    EXPECT_EQ(VariantErrorOf([] { TVariant::FromInteger(1).Element(0); }), "Variant is not an array");
    EXPECT_EQ(VariantErrorOf([] { TVariant::FromInteger(1).LowBound(); }), "Variant is not an array");
    EXPECT_EQ(VariantErrorOf([&] { array.HighBound(2); }), "Variant array bounds error");

    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    TVariant square;
    VARIANT* slot = square.Put();
    slot->parray = ::SafeArrayCreate(VT_VARIANT, 2, bounds);
    slot->vt = VT_ARRAY | VT_VARIANT;
    EXPECT_EQ(square.DimCount(), 2);
    EXPECT_EQ(VariantErrorOf([&] { square.Element(0); }), "Variant array is not one-dimensional");
}

// ---- Relationship

TEST(VariantRelationship, EmptyAndNullAreComparableToNothing) {
    const TVariant values[] = {TVariant(), TVariant::Null()};
    for (const TVariant& missing : values) {
        EXPECT_EQ(VariantRelationship(missing, TVariant()), vrNotComparable);
        EXPECT_EQ(VariantRelationship(missing, TVariant::Null()), vrNotComparable);
        EXPECT_EQ(VariantRelationship(missing, TVariant::FromInteger(0)), vrNotComparable);
        EXPECT_EQ(VariantRelationship(TVariant::FromWide(u""), missing), vrNotComparable);
    }
    EXPECT_EQ(VariantRelationship(TVariant::CreateArray(0, 0), TVariant::CreateArray(0, 0)), vrNotComparable);
}

TEST(VariantRelationship, NumbersTextAndDates) {
    EXPECT_EQ(VariantRelationship(TVariant::FromInteger(1), TVariant::FromDouble(2.0)), vrLessThan);
    EXPECT_EQ(VariantRelationship(TVariant::FromDouble(2.0), TVariant::FromSmallInt(2)), vrEqual);
    EXPECT_EQ(VariantRelationship(TVariant::FromInt64(INT64_MAX), TVariant::FromInt64(INT64_MAX - 1)),
              vrGreaterThan)
        << "64-bit integers are compared exactly";
    EXPECT_EQ(VariantRelationship(TVariant::FromDate(40000.5), TVariant::FromDate(40000.25)), vrGreaterThan);
    EXPECT_EQ(VariantRelationship(TVariant::FromWide(u"apple"), TVariant::FromWide(u"banana")), vrLessThan);
    EXPECT_EQ(VariantRelationship(TVariant::FromAnsi("same"), TVariant::FromWide(u"same")), vrEqual);
    EXPECT_NE(VariantRelationship(TVariant::FromWide(u"abc"), TVariant::FromWide(u"ABC")), vrEqual)
        << "text compares with regard to case";
}

} // namespace
