#include "FloatText.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include <gtest/gtest.h>

namespace {

using namespace FloatText;

std::optional<double> DecimalToDouble(const char* digits, int64_t exponent) {
    const std::optional<BinaryMagnitude> magnitude =
        DecimalToBinary(NormalizeDecimal(digits, exponent), DoubleFormat);
    if (!magnitude)
        return std::nullopt;
    return EncodeDouble({false, magnitude->Mantissa, magnitude->Exponent});
}

TEST(FloatText, DecimalToBinaryRoundsUpToTheLargestValueAndRefusesPastItsMidpoint) {
    const double largest = std::numeric_limits<double>::max();
    EXPECT_EQ(DecimalToDouble("17976931348623157", 292), largest);
    // The midpoint between the largest double and 2^1024 is 1.797693134862315807...e308.
    EXPECT_EQ(DecimalToDouble("17976931348623158", 292), largest);
    EXPECT_EQ(DecimalToDouble("17976931348623159", 292), std::nullopt);
    EXPECT_EQ(DecimalToDouble("1", 100000), std::nullopt);

    const std::optional<BinaryMagnitude> tiny = DecimalToBinary(NormalizeDecimal("1", -400), DoubleFormat);
    ASSERT_TRUE(tiny) << "underflow is zero, not a failure";
    EXPECT_EQ(tiny->Mantissa, 0u);
    EXPECT_EQ(tiny->Exponent, DoubleFormat.MinExponent);
}

TEST(FloatText, DoubleToSingleRoundsIntoTheFloatRangeAndRefusesWhatLiesBeyond) {
    const float largest = std::numeric_limits<float>::max();
    const double halfUnit = std::ldexp(1.0, 103); // half the spacing of floats at the top of the range
    EXPECT_EQ(DoubleToSingle(largest), largest);
    EXPECT_EQ(DoubleToSingle(largest + halfUnit / 2), largest);
    EXPECT_EQ(DoubleToSingle(largest + halfUnit), std::nullopt) << "the tie rounds to even, past the range";
    EXPECT_EQ(DoubleToSingle(-1e39), std::nullopt);
    EXPECT_EQ(DoubleToSingle(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(DoubleToSingle(std::numeric_limits<double>::quiet_NaN()), std::nullopt);

    const float smallest = std::numeric_limits<float>::denorm_min();
    EXPECT_EQ(DoubleToSingle(std::ldexp(1.0, -149)), smallest);
    EXPECT_EQ(DoubleToSingle(std::ldexp(1.0, -150)), 0.0f) << "the tie rounds to even, down to zero";
    EXPECT_EQ(DoubleToSingle(std::ldexp(1.0 + std::ldexp(1.0, -20), -150)), smallest);
    const std::optional<float> negativeTiny = DoubleToSingle(-1e-50);
    ASSERT_TRUE(negativeTiny);
    EXPECT_EQ(*negativeTiny, 0.0f);
    EXPECT_TRUE(std::signbit(*negativeTiny));
}

TEST(FloatText, CurrencyFillsTheWholeSignedRangeAndRoundsTiesToEven) {
    const auto currency = [](const char* digits, int64_t exponent, bool negative) {
        return DecimalToCurrency(NormalizeDecimal(digits, exponent), negative);
    };
    EXPECT_EQ(currency("9223372036854775807", -4, false), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(currency("9223372036854775808", -4, false), std::nullopt);
    EXPECT_EQ(currency("9223372036854775808", -4, true), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(currency("9223372036854775809", -4, true), std::nullopt);
    // 9223372036854775807.5 units: rounding up to even leaves the positive range only.
    EXPECT_EQ(currency("92233720368547758075", -5, false), std::nullopt);
    EXPECT_EQ(currency("92233720368547758075", -5, true), std::numeric_limits<int64_t>::min());

    EXPECT_EQ(currency("5", -5, false), 0);
    EXPECT_EQ(currency("15", -5, false), 2);
    EXPECT_EQ(currency("15", -5, true), -2);
    EXPECT_EQ(currency("50001", -9, false), 1);
    EXPECT_EQ(currency("5", -7, false), 0);
    EXPECT_EQ(currency("1", 100000, false), std::nullopt);
}

TEST(FloatText, DecodingRefusesWhatHasNoFiniteValue) {
    // Little-endian mantissa, then sign and biased exponent.
    const auto extended = [](uint64_t mantissa, unsigned signAndExponent) {
        std::array<uint8_t, 10> bytes{};
        for (size_t i = 0; i < 8; ++i)
            bytes[i] = static_cast<uint8_t>(mantissa >> (8 * i));
        bytes[8] = static_cast<uint8_t>(signAndExponent);
        bytes[9] = static_cast<uint8_t>(signAndExponent >> 8);
        return bytes;
    };
    const uint64_t integerBit = uint64_t{1} << 63;
    EXPECT_EQ(DecodeExtended(extended(integerBit, 0x7FFF)), std::nullopt) << "infinity";
    EXPECT_EQ(DecodeExtended(extended(integerBit | 1, 0xFFFF)), std::nullopt) << "NaN";
    EXPECT_EQ(DecodeExtended(extended(1, 0x3FFF)), std::nullopt) << "unnormal";
    EXPECT_EQ(DecodeExtended(extended(integerBit, 0)), std::nullopt) << "pseudo-denormal";

    const std::optional<BinaryFloat> minusOne = DecodeExtended(extended(integerBit, 0xBFFF));
    ASSERT_TRUE(minusOne);
    EXPECT_TRUE(minusOne->Negative);
    EXPECT_EQ(ExtendedToDouble(*minusOne), -1.0);
    EXPECT_EQ(EncodeExtended(*minusOne), extended(integerBit, 0xBFFF));

    EXPECT_EQ(DecodeDouble(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(DecodeDouble(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
    EXPECT_EQ(DecodeSingle(-std::numeric_limits<float>::infinity()), std::nullopt);
    EXPECT_EQ(DecodeSingle(std::numeric_limits<float>::quiet_NaN()), std::nullopt);
    const std::optional<BinaryFloat> smallest = DecodeSingle(std::numeric_limits<float>::denorm_min());
    ASSERT_TRUE(smallest);
    EXPECT_EQ(EncodeSingle(*smallest), std::numeric_limits<float>::denorm_min());
}

} // namespace
