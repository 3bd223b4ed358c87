#include "FloatText.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace FloatText {

namespace {

class BigUnsigned {
public:
    BigUnsigned() = default;
    explicit BigUnsigned(uint64_t value) {
        if (value != 0)
            limbs_.push_back(static_cast<uint32_t>(value));
        if ((value >> 32) != 0)
            limbs_.push_back(static_cast<uint32_t>(value >> 32));
    }

    static BigUnsigned FromDecimal(std::string_view digits) {
        BigUnsigned result;
        size_t chunkLength = digits.size() % 9 == 0 ? 9 : digits.size() % 9;
        for (size_t pos = 0; pos < digits.size(); pos += chunkLength, chunkLength = 9) {
            uint32_t chunk = 0;
            for (size_t i = 0; i < chunkLength; ++i)
                chunk = chunk * 10 + static_cast<uint32_t>(digits[pos + i] - '0');
            result.MulAdd(PowersOf10[chunkLength], chunk);
        }
        return result;
    }

    bool IsZero() const { return limbs_.empty(); }

    size_t BitLength() const {
        if (limbs_.empty())
            return 0;
        return (limbs_.size() - 1) * 32 + static_cast<size_t>(std::bit_width(limbs_.back()));
    }

    bool TestBit(size_t bit) const {
        const size_t limb = bit / 32;
        return limb < limbs_.size() && ((limbs_[limb] >> (bit % 32)) & 1u) != 0;
    }

    bool AnyBitBelow(size_t bit) const {
        const size_t fullLimbs = std::min(bit / 32, limbs_.size());
        for (size_t i = 0; i < fullLimbs; ++i) {
            if (limbs_[i] != 0)
                return true;
        }
        return fullLimbs < limbs_.size() && bit % 32 != 0 &&
               (limbs_[fullLimbs] & ((1u << (bit % 32)) - 1)) != 0;
    }

    uint64_t Low64() const {
        uint64_t value = limbs_.empty() ? 0 : limbs_[0];
        if (limbs_.size() > 1)
            value |= static_cast<uint64_t>(limbs_[1]) << 32;
        return value;
    }

    void MulAdd(uint32_t factor, uint32_t addend) {
        uint64_t carry = addend;
        uint32_t* const limbs = limbs_.data(); // the hot loop of every conversion, kept lean
        for (size_t i = 0, count = limbs_.size(); i < count; ++i) {
            const uint64_t product = static_cast<uint64_t>(limbs[i]) * factor + carry;
            limbs[i] = static_cast<uint32_t>(product);
            carry = product >> 32;
        }
        if (carry != 0)
            limbs_.push_back(static_cast<uint32_t>(carry));
        Trim();
    }

    void Multiply(const BigUnsigned& other) {
        if (limbs_.empty() || other.limbs_.empty()) {
            limbs_.clear();
            return;
        }
        std::vector<uint32_t> product(limbs_.size() + other.limbs_.size(), 0);
        for (size_t i = 0; i < limbs_.size(); ++i) {
            uint64_t carry = 0;
            for (size_t j = 0; j < other.limbs_.size(); ++j) {
                const uint64_t sum =
                    static_cast<uint64_t>(limbs_[i]) * other.limbs_[j] + product[i + j] + carry;
                product[i + j] = static_cast<uint32_t>(sum);
                carry = sum >> 32;
            }
            product[i + other.limbs_.size()] = static_cast<uint32_t>(carry);
        }
        limbs_ = std::move(product);
        Trim();
    }

    void MulPow10(uint64_t exponent) {
        for (; exponent >= 9; exponent -= 9)
            MulAdd(PowersOf10[9], 0);
        if (exponent != 0)
            MulAdd(PowersOf10[exponent], 0);
    }

    void MulPow5(uint64_t exponent) {
        constexpr uint32_t FiveToThe13 = 1220703125u;
        for (; exponent >= 13; exponent -= 13)
            MulAdd(FiveToThe13, 0);
        uint32_t rest = 1;
        for (; exponent != 0; --exponent)
            rest *= 5;
        MulAdd(rest, 0);
    }

    void ShiftLeft(size_t bits) {
        if (limbs_.empty() || bits == 0)
            return;
        const unsigned bitShift = bits % 32;
        if (bitShift != 0) {
            uint32_t carry = 0;
            for (uint32_t& limb : limbs_) {
                const uint32_t next = limb >> (32 - bitShift);
                limb = (limb << bitShift) | carry;
                carry = next;
            }
            if (carry != 0)
                limbs_.push_back(carry);
        }
        limbs_.insert(limbs_.begin(), bits / 32, 0u);
    }

    void ShiftRight(size_t bits) {
        const size_t limbShift = bits / 32;
        if (limbShift >= limbs_.size()) {
            limbs_.clear();
            return;
        }
        limbs_.erase(limbs_.begin(), limbs_.begin() + static_cast<std::ptrdiff_t>(limbShift));
        const unsigned bitShift = bits % 32;
        if (bitShift != 0) {
            for (size_t i = 0; i < limbs_.size(); ++i) {
                const uint32_t high = i + 1 < limbs_.size() ? limbs_[i + 1] << (32 - bitShift) : 0u;
                limbs_[i] = (limbs_[i] >> bitShift) | high;
            }
        }
        Trim();
    }

    // Requires *this >= other.
    void Subtract(const BigUnsigned& other) {
        int64_t borrow = 0;
        for (size_t i = 0; i < limbs_.size(); ++i) {
            int64_t difference = static_cast<int64_t>(limbs_[i]) - borrow -
                                 (i < other.limbs_.size() ? static_cast<int64_t>(other.limbs_[i]) : 0);
            borrow = difference < 0 ? 1 : 0;
            if (difference < 0)
                difference += int64_t{1} << 32;
            limbs_[i] = static_cast<uint32_t>(difference);
        }
        Trim();
    }

    uint32_t DivModSmall(uint32_t divisor) {
        uint64_t remainder = 0;
        for (size_t i = limbs_.size(); i-- > 0;) {
            const uint64_t current = (remainder << 32) | limbs_[i];
            limbs_[i] = static_cast<uint32_t>(current / divisor);
            remainder = current % divisor;
        }
        Trim();
        return static_cast<uint32_t>(remainder);
    }

    std::string ToDecimal() const {
        if (limbs_.empty())
            return "0";
        BigUnsigned rest = *this;
        std::string reversed;
        while (!rest.IsZero()) {
            uint32_t chunk = rest.DivModSmall(PowersOf10[9]);
            for (int i = 0; i < 9; ++i, chunk /= 10)
                reversed += static_cast<char>('0' + chunk % 10);
        }
        while (reversed.size() > 1 && reversed.back() == '0')
            reversed.pop_back();
        return std::string(reversed.rbegin(), reversed.rend());
    }

    static int Compare(const BigUnsigned& a, const BigUnsigned& b) {
        if (a.limbs_.size() != b.limbs_.size())
            return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
        for (size_t i = a.limbs_.size(); i-- > 0;) {
            if (a.limbs_[i] != b.limbs_[i])
                return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
        }
        return 0;
    }

    // Schoolbook long division on 32-bit limbs (Knuth's algorithm D): each quotient limb is
    // estimated from the leading limbs and corrected at most twice. Leaves the remainder in *this.
    BigUnsigned DivideInPlace(const BigUnsigned& divisor) {
        BigUnsigned quotient;
        if (Compare(*this, divisor) < 0)
            return quotient;
        if (divisor.limbs_.size() == 1) {
            quotient = *this;
            *this = BigUnsigned(quotient.DivModSmall(divisor.limbs_[0]));
            return quotient;
        }
        const size_t n = divisor.limbs_.size();
        const size_t m = limbs_.size();
        // Normalising so the divisor's top limb has its high bit set makes the estimates tight.
        const int shift = std::countl_zero(divisor.limbs_.back());
        const auto shiftedPair = [shift](uint32_t high, uint32_t low) {
            return static_cast<uint32_t>(((static_cast<uint64_t>(high) << 32) | low) >> (32 - shift));
        };
        std::vector<uint32_t> v(n);
        std::vector<uint32_t> u(m + 1);
        for (size_t i = n - 1; i > 0; --i)
            v[i] = shiftedPair(divisor.limbs_[i], divisor.limbs_[i - 1]);
        v[0] = divisor.limbs_[0] << shift;
        u[m] = shiftedPair(0, limbs_[m - 1]);
        for (size_t i = m - 1; i > 0; --i)
            u[i] = shiftedPair(limbs_[i], limbs_[i - 1]);
        u[0] = limbs_[0] << shift;

        constexpr uint64_t LimbBase = uint64_t{1} << 32;
        quotient.limbs_.assign(m - n + 1, 0);
        for (size_t j = m - n + 1; j-- > 0;) {
            const uint64_t top = (static_cast<uint64_t>(u[j + n]) << 32) | u[j + n - 1];
            uint64_t estimate = top / v[n - 1];
            uint64_t estimateRemainder = top % v[n - 1];
            while (estimate >= LimbBase || estimate * v[n - 2] > ((estimateRemainder << 32) | u[j + n - 2])) {
                --estimate;
                estimateRemainder += v[n - 1];
                if (estimateRemainder >= LimbBase)
                    break;
            }
            int64_t borrow = 0;
            for (size_t i = 0; i < n; ++i) {
                const uint64_t product = estimate * v[i];
                const int64_t difference =
                    static_cast<int64_t>(u[i + j]) - borrow - static_cast<int64_t>(product & 0xFFFFFFFFu);
                u[i + j] = static_cast<uint32_t>(difference);
                borrow = static_cast<int64_t>(product >> 32) - (difference >> 32);
            }
            const int64_t topDifference = static_cast<int64_t>(u[j + n]) - borrow;
            u[j + n] = static_cast<uint32_t>(topDifference);
            if (topDifference < 0) {
                // The estimate was one too large: add the divisor back once.
                --estimate;
                uint64_t carry = 0;
                for (size_t i = 0; i < n; ++i) {
                    const uint64_t sum = static_cast<uint64_t>(u[i + j]) + v[i] + carry;
                    u[i + j] = static_cast<uint32_t>(sum);
                    carry = sum >> 32;
                }
                u[j + n] = static_cast<uint32_t>(u[j + n] + carry);
            }
            quotient.limbs_[j] = static_cast<uint32_t>(estimate);
        }
        quotient.Trim();
        limbs_.assign(n, 0);
        for (size_t i = 0; i < n; ++i) {
            const uint64_t pair = (static_cast<uint64_t>(i + 1 < n ? u[i + 1] : 0) << 32) | u[i];
            limbs_[i] = static_cast<uint32_t>(pair >> shift);
        }
        Trim();
        return quotient;
    }

private:
    static constexpr uint32_t PowersOf10[10] = {1,      10,      100,      1000,      10000,
                                                100000, 1000000, 10000000, 100000000, 1000000000};

    void Trim() {
        while (!limbs_.empty() && limbs_.back() == 0)
            limbs_.pop_back();
    }

    std::vector<uint32_t> limbs_; // least significant first
};

// Beyond this many significant digits no decimal can change a rounding decision of any supported
// format (exact halfway points need about 11500), so the tail is replaced by one nonzero digit; this
// keeps the cost of absurdly long numbers bounded.
constexpr size_t MaxSignificantDigits = 20000;

// Any decimal this far beyond the formats' range is decided without big arithmetic.
constexpr int64_t DecimalOverflowExponent = 4933;
constexpr int64_t DecimalUnderflowExponent = -4952;

} // namespace

DecimalNumber NormalizeDecimal(std::string digits, int64_t exponent) {
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return {};
    digits.erase(0, first);
    const size_t last = digits.find_last_not_of('0');
    exponent += static_cast<int64_t>(digits.size() - 1 - last);
    digits.resize(last + 1);
    if (digits.size() > MaxSignificantDigits) {
        exponent += static_cast<int64_t>(digits.size() - MaxSignificantDigits - 1);
        digits.resize(MaxSignificantDigits);
        digits += '1';
    }
    return {std::move(digits), exponent};
}

namespace {

// Hands out 5^n from a cached 5^(n rounded down to a multiple of 64): the shortest-digits search
// converts the same number at ~20 neighbouring exponents and would otherwise redo the big
// multiplication for each.
class PowersOfFive {
public:
    BigUnsigned Get(uint64_t exponent) {
        const uint64_t baseExponent = exponent - exponent % 64;
        if (!cached_ || baseExponent != baseExponent_) {
            base_ = BigUnsigned(1);
            base_.MulPow5(baseExponent);
            baseExponent_ = baseExponent;
            cached_ = true;
        }
        BigUnsigned power = base_;
        power.MulPow5(exponent - baseExponent);
        return power;
    }

private:
    bool cached_ = false;
    uint64_t baseExponent_ = 0;
    BigUnsigned base_;
};

uint64_t MantissaLimit(int precision) {
    return precision == 64 ? std::numeric_limits<uint64_t>::max() : (uint64_t{1} << precision) - 1;
}

// Correctly rounded (ties to even) conversion; nothing when the magnitude exceeds the format.
std::optional<BinaryMagnitude> DecimalToBinary(const DecimalNumber& decimal, const FloatFormat& format,
                                               PowersOfFive& powers) {
    const BinaryMagnitude zero{0, format.MinExponent};
    if (decimal.Digits == "0")
        return zero;
    const auto digitCount = static_cast<int64_t>(decimal.Digits.size());
    if (digitCount - 1 + decimal.Exponent > DecimalOverflowExponent)
        return std::nullopt;
    if (digitCount + decimal.Exponent < DecimalUnderflowExponent)
        return zero;

    // 10^x is 5^x * 2^x; the powers of two only move the binary exponent, which keeps the big
    // numbers a third smaller.
    BigUnsigned numerator = BigUnsigned::FromDecimal(decimal.Digits);
    BigUnsigned denominator(1);
    if (decimal.Exponent >= 0)
        numerator.Multiply(powers.Get(static_cast<uint64_t>(decimal.Exponent)));
    else
        denominator = powers.Get(static_cast<uint64_t>(-decimal.Exponent));

    // Scale so that the quotient has Precision + 3 or + 4 bits: enough for the round bit.
    const int64_t scale = static_cast<int64_t>(numerator.BitLength()) -
                          static_cast<int64_t>(denominator.BitLength()) - format.Precision - 3;
    if (scale >= 0)
        denominator.ShiftLeft(static_cast<size_t>(scale));
    else
        numerator.ShiftLeft(static_cast<size_t>(-scale));
    BigUnsigned quotient = numerator.DivideInPlace(denominator);
    bool sticky = !numerator.IsZero();

    int64_t shift = static_cast<int64_t>(quotient.BitLength()) - format.Precision;
    int64_t resultExponent = scale + decimal.Exponent + shift;
    if (resultExponent < format.MinExponent) {
        shift += format.MinExponent - resultExponent;
        resultExponent = format.MinExponent;
    }
    const bool roundBit = quotient.TestBit(static_cast<size_t>(shift - 1));
    sticky = sticky || quotient.AnyBitBelow(static_cast<size_t>(shift - 1));
    quotient.ShiftRight(static_cast<size_t>(shift));
    uint64_t result = quotient.Low64();
    if (roundBit && (sticky || (result & 1) != 0)) {
        if (result == MantissaLimit(format.Precision)) {
            result = uint64_t{1} << (format.Precision - 1);
            ++resultExponent;
        } else {
            ++result;
        }
    }
    if (resultExponent > format.MaxExponent)
        return std::nullopt;
    return BinaryMagnitude{result, result == 0 ? format.MinExponent : static_cast<int>(resultExponent)};
}

} // namespace

std::optional<BinaryMagnitude> DecimalToBinary(const DecimalNumber& decimal, const FloatFormat& format) {
    PowersOfFive powers;
    return DecimalToBinary(decimal, format, powers);
}

namespace {

// Rounds mantissa * 2^exponent into the format (ties to even); nothing on overflow.
std::optional<BinaryMagnitude> RoundToFormat(uint64_t mantissa, int exponent, const FloatFormat& format) {
    if (mantissa == 0)
        return BinaryMagnitude{0, format.MinExponent};
    int shift = std::bit_width(mantissa) - format.Precision;
    if (exponent + shift < format.MinExponent)
        shift = format.MinExponent - exponent;
    uint64_t result = 0;
    if (shift <= 0) {
        result = mantissa << -shift;
    } else {
        bool roundBit = false;
        bool sticky = false;
        if (shift > 64) {
            sticky = true;
        } else {
            result = shift == 64 ? 0 : mantissa >> shift;
            roundBit = ((mantissa >> (shift - 1)) & 1) != 0;
            sticky = shift > 1 && (mantissa & ((uint64_t{1} << (shift - 1)) - 1)) != 0;
        }
        if (roundBit && (sticky || (result & 1) != 0))
            ++result;
        if (format.Precision < 64 && result == (uint64_t{1} << format.Precision)) {
            result >>= 1;
            ++shift;
        }
    }
    const int resultExponent = exponent + shift;
    if (resultExponent > format.MaxExponent)
        return std::nullopt;
    return BinaryMagnitude{result, result == 0 ? format.MinExponent : resultExponent};
}

// The leading significant decimal digits of mantissa * 2^exponent, cut off (not rounded) after
// 27 or 28 digits; Inexact tells whether anything nonzero was cut. That is enough to round correctly
// to any length the formats need (at most 21 digits), without expanding the value's thousands of
// exact digits.
struct LeadingDigits {
    std::string Digits;
    int64_t Exponent = 0;
    bool Inexact = false;
};

LeadingDigits LeadingDecimalDigits(uint64_t mantissa, int exponent) {
    // floor(log10(value)) or one less; scaling 26 decimal places above it leaves 27 or 28 digits.
    const int binaryMagnitude = std::bit_width(mantissa) - 1 + exponent;
    const auto decimalMagnitude = static_cast<int64_t>(std::floor(binaryMagnitude * 0.30102999566398120));
    const int64_t scale = 26 - decimalMagnitude;
    // value * 10^scale == mantissa * 5^scale * 2^(exponent + scale)
    BigUnsigned numerator(mantissa);
    BigUnsigned denominator(1);
    if (scale >= 0)
        numerator.MulPow5(static_cast<uint64_t>(scale));
    else
        denominator.MulPow5(static_cast<uint64_t>(-scale));
    const int64_t binaryExponent = exponent + scale;
    if (binaryExponent >= 0)
        numerator.ShiftLeft(static_cast<size_t>(binaryExponent));
    else
        denominator.ShiftLeft(static_cast<size_t>(-binaryExponent));
    const BigUnsigned quotient = numerator.DivideInPlace(denominator);
    return {quotient.ToDecimal(), -scale, !numerator.IsZero()};
}

// Requires digits < leading.Digits.size().
DecimalNumber RoundSignificant(const LeadingDigits& leading, size_t digits) {
    std::string kept = leading.Digits.substr(0, digits);
    const char next = leading.Digits[digits];
    const bool restNonZero =
        leading.Inexact || leading.Digits.find_first_not_of('0', digits + 1) != std::string::npos;
    const bool roundUp = next > '5' || (next == '5' && (restNonZero || ((kept.back() - '0') & 1) != 0));
    int64_t exponent = leading.Exponent + static_cast<int64_t>(leading.Digits.size() - digits);
    if (roundUp) {
        size_t i = kept.size();
        while (i > 0 && kept[i - 1] == '9')
            kept[--i] = '0';
        if (i == 0) {
            kept.insert(kept.begin(), '1');
            kept.pop_back();
            ++exponent;
        } else {
            ++kept[i - 1];
        }
    }
    return NormalizeDecimal(std::move(kept), exponent);
}

} // namespace

DecimalNumber ShortestDecimal(const BinaryFloat& value, const FloatFormat& format) {
    if (value.Mantissa == 0)
        return {};
    const LeadingDigits leading = LeadingDecimalDigits(value.Mantissa, value.Exponent);
    PowersOfFive powers;
    for (size_t digits = 1; digits + 1 < leading.Digits.size(); ++digits) {
        const DecimalNumber candidate = RoundSignificant(leading, digits);
        const std::optional<BinaryMagnitude> binary = DecimalToBinary(candidate, format, powers);
        if (binary && binary->Mantissa == value.Mantissa && binary->Exponent == value.Exponent)
            return candidate;
    }
    // Not reached: 21 digits always single out a 64-bit mantissa.
    return RoundSignificant(leading, leading.Digits.size() - 1);
}

AnsiString FormatDecimal(bool negative, const DecimalNumber& decimal) {
    AnsiString text = negative ? "-" : "";
    if (decimal.Digits == "0")
        return text + "0.0";
    const std::string& digits = decimal.Digits;
    const auto digitCount = static_cast<int64_t>(digits.size());
    const int64_t scientificExponent = digitCount - 1 + decimal.Exponent;
    if (scientificExponent >= 0 && scientificExponent < 15) {
        const auto integerDigits = static_cast<size_t>(scientificExponent + 1);
        if (integerDigits >= digits.size()) {
            text += digits;
            text.append(integerDigits - digits.size(), '0');
            text += ".0";
        } else {
            text += digits.substr(0, integerDigits);
            text += '.';
            text += digits.substr(integerDigits);
        }
    } else if (scientificExponent < 0 && scientificExponent >= -5) {
        text += "0.";
        text.append(static_cast<size_t>(-scientificExponent - 1), '0');
        text += digits;
    } else {
        text += digits[0];
        if (digits.size() > 1) {
            text += '.';
            text += digits.substr(1);
        }
        text += 'E';
        text += std::to_string(scientificExponent);
    }
    return text;
}

std::optional<BinaryFloat> DecodeExtended(const std::array<uint8_t, 10>& bytes) {
    uint64_t mantissa = 0;
    for (size_t i = 8; i-- > 0;)
        mantissa = (mantissa << 8) | bytes[i];
    const unsigned signAndExponent = bytes[8] | (static_cast<unsigned>(bytes[9]) << 8);
    const unsigned biasedExponent = signAndExponent & 0x7FFF;
    const bool integerBit = (mantissa >> 63) != 0;
    // Infinities, NaNs and the non-canonical encodings (unnormals, pseudo-denormals) have no decimal
    // text and no use in a form, so they are not accepted as values.
    if (biasedExponent == 0x7FFF || (biasedExponent == 0 ? integerBit : !integerBit))
        return std::nullopt;
    return BinaryFloat{(signAndExponent >> 15) != 0, mantissa,
                       biasedExponent == 0 ? ExtendedFormat.MinExponent
                                           : static_cast<int>(biasedExponent) - 16446};
}

std::array<uint8_t, 10> EncodeExtended(const BinaryFloat& value) {
    const unsigned biasedExponent =
        (value.Mantissa >> 63) != 0 ? static_cast<unsigned>(value.Exponent + 16446) : 0;
    const unsigned signAndExponent = biasedExponent | (value.Negative ? 0x8000u : 0u);
    std::array<uint8_t, 10> bytes{};
    for (size_t i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>(value.Mantissa >> (8 * i));
    bytes[8] = static_cast<uint8_t>(signAndExponent);
    bytes[9] = static_cast<uint8_t>(signAndExponent >> 8);
    return bytes;
}

std::optional<BinaryFloat> DecodeDouble(double number) {
    uint64_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    const auto biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (biasedExponent == 0x7FF)
        return std::nullopt;
    return BinaryFloat{(bits >> 63) != 0, biasedExponent == 0 ? fraction : fraction | (uint64_t{1} << 52),
                       biasedExponent == 0 ? DoubleFormat.MinExponent : biasedExponent - 1075};
}

double EncodeDouble(const BinaryFloat& value) {
    uint64_t bits = value.Negative ? uint64_t{1} << 63 : 0;
    if ((value.Mantissa >> 52) != 0)
        bits |= (static_cast<uint64_t>(value.Exponent + 1075) << 52) |
                (value.Mantissa & ((uint64_t{1} << 52) - 1));
    else
        bits |= value.Mantissa;
    double number = 0;
    std::memcpy(&number, &bits, sizeof number);
    return number;
}

std::optional<BinaryFloat> DecodeSingle(float number) {
    uint32_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    const auto biasedExponent = static_cast<int>((bits >> 23) & 0xFF);
    const uint32_t fraction = bits & ((1u << 23) - 1);
    if (biasedExponent == 0xFF)
        return std::nullopt;
    return BinaryFloat{(bits >> 31) != 0, biasedExponent == 0 ? fraction : fraction | (1u << 23),
                       biasedExponent == 0 ? SingleFormat.MinExponent : biasedExponent - 150};
}

float EncodeSingle(const BinaryFloat& value) {
    uint32_t bits = value.Negative ? 1u << 31 : 0;
    if ((value.Mantissa >> 23) != 0)
        bits |= (static_cast<uint32_t>(value.Exponent + 150) << 23) |
                (static_cast<uint32_t>(value.Mantissa) & ((1u << 23) - 1));
    else
        bits |= static_cast<uint32_t>(value.Mantissa);
    float number = 0;
    std::memcpy(&number, &bits, sizeof number);
    return number;
}

std::optional<float> DoubleToSingle(double number) {
    const std::optional<BinaryFloat> value = DecodeDouble(number);
    if (!value)
        return std::nullopt;
    const std::optional<BinaryMagnitude> rounded =
        RoundToFormat(value->Mantissa, value->Exponent, SingleFormat);
    if (!rounded)
        return std::nullopt;
    return EncodeSingle({value->Negative, rounded->Mantissa, rounded->Exponent});
}

double ExtendedToDouble(const BinaryFloat& value) {
    const std::optional<BinaryMagnitude> rounded =
        RoundToFormat(value.Mantissa, value.Exponent, DoubleFormat);
    if (!rounded)
        return value.Negative ? -std::numeric_limits<double>::infinity()
                              : std::numeric_limits<double>::infinity();
    return EncodeDouble({value.Negative, rounded->Mantissa, rounded->Exponent});
}

std::optional<int64_t> DecimalToCurrency(const DecimalNumber& decimal, bool negative) {
    if (decimal.Digits == "0")
        return 0;
    const auto digitCount = static_cast<int64_t>(decimal.Digits.size());
    const int64_t scaledExponent = decimal.Exponent + 4;
    if (digitCount + scaledExponent > 20)
        return std::nullopt;
    if (digitCount + scaledExponent < -1)
        return 0;
    BigUnsigned remainder = BigUnsigned::FromDecimal(decimal.Digits);
    BigUnsigned divisor(1);
    if (scaledExponent >= 0)
        remainder.MulPow10(static_cast<uint64_t>(scaledExponent));
    else
        divisor.MulPow10(static_cast<uint64_t>(-scaledExponent));
    const BigUnsigned quotient = remainder.DivideInPlace(divisor);
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    if (quotient.BitLength() > 64 || quotient.Low64() > limit)
        return std::nullopt;
    uint64_t magnitude = quotient.Low64();
    remainder.ShiftLeft(1);
    const int half = BigUnsigned::Compare(remainder, divisor);
    if (half > 0 || (half == 0 && (magnitude & 1) != 0))
        ++magnitude;
    if (magnitude > limit)
        return std::nullopt;
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

AnsiString FormatCurrency(int64_t amountTimes10000) {
    const uint64_t magnitude = amountTimes10000 < 0 ? 0 - static_cast<uint64_t>(amountTimes10000)
                                                    : static_cast<uint64_t>(amountTimes10000);
    AnsiString text = amountTimes10000 < 0 ? "-" : "";
    text += std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000 + 10000).substr(1);
    while (fraction.size() > 1 && fraction.back() == '0')
        fraction.pop_back();
    return text + "." + fraction + "c";
}

} // namespace FloatText
