// Exact conversions between the form data's floats (the 10-byte x87 extended type, double, single,
// currency) and decimal text. The host's long double is 80 bits on some targets only, so the
// extended type is converted exactly here instead; that also makes text rendering identical on
// every build. Internal to the form data unit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "SysTypes.h"

namespace FloatText {

struct FloatFormat {
    int Precision;   // significant bits, including the leading one
    int MinExponent; // exponent of the smallest denormal's unit
    int MaxExponent;
};

constexpr FloatFormat ExtendedFormat{64, -16445, 16320};
constexpr FloatFormat DoubleFormat{53, -1074, 971};
constexpr FloatFormat SingleFormat{24, -149, 104};

// (-1)^Negative * Mantissa * 2^Exponent, normalised: the mantissa has Precision bits unless the
// exponent is the format's minimum (denormals and zero).
struct BinaryFloat {
    bool Negative = false;
    uint64_t Mantissa = 0;
    int Exponent = 0;
};

// Mantissa * 2^Exponent inside a format, the sign kept apart; zero has the format's minimum exponent.
struct BinaryMagnitude {
    uint64_t Mantissa = 0;
    int Exponent = 0;
};

// Digits * 10^Exponent; Digits has neither leading nor trailing zeros, zero is "0".
struct DecimalNumber {
    std::string Digits = "0";
    int64_t Exponent = 0;
};

DecimalNumber NormalizeDecimal(std::string digits, int64_t exponent);
// Correctly rounded (ties to even) conversion; nothing when the magnitude exceeds the format.
std::optional<BinaryMagnitude> DecimalToBinary(const DecimalNumber& decimal, const FloatFormat& format);
// The fewest significant digits that read back as exactly this value, so rendered text is short and
// still lossless.
DecimalNumber ShortestDecimal(const BinaryFloat& value, const FloatFormat& format);
// Always carries a '.' or an exponent so that the text reads back as a float, never an integer.
AnsiString FormatDecimal(bool negative, const DecimalNumber& decimal);

// Decoding gives nothing for values with no finite meaning (infinities, NaNs, unnormals).
std::optional<BinaryFloat> DecodeExtended(const std::array<uint8_t, 10>& bytes);
std::array<uint8_t, 10> EncodeExtended(const BinaryFloat& value);
std::optional<BinaryFloat> DecodeDouble(double number);
double EncodeDouble(const BinaryFloat& value);
std::optional<BinaryFloat> DecodeSingle(float number);
float EncodeSingle(const BinaryFloat& value);
// A plain static_cast is undefined for doubles beyond the float range; this rounds exactly and
// refuses what does not fit, and what is not finite.
std::optional<float> DoubleToSingle(double number);
double ExtendedToDouble(const BinaryFloat& value);

// Amount times 10000, rounded ties to even; nothing when it does not fit 64 bits.
std::optional<int64_t> DecimalToCurrency(const DecimalNumber& decimal, bool negative);
AnsiString FormatCurrency(int64_t amountTimes10000);

} // namespace FloatText
