#include "FormData.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "ByteReader.h"
#include "Exceptions.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Small text helpers

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

int HexDigitValue(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool IsIdentStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsIdentChar(unsigned char c) {
    return IsIdentStart(c) || IsDigit(c);
}

// Identifiers are what the text form can carry as names without quoting; anything else written
// bare would read back as different tokens.
bool IsIdentifier(std::string_view s, bool allowDots) {
    if (s.empty() || s.size() > 255)
        return false;
    bool segmentStart = true;
    for (unsigned char c : s) {
        if (c == '.') {
            if (!allowDots || segmentStart)
                return false;
            segmentStart = true;
            continue;
        }
        if (segmentStart ? !IsIdentStart(c) : !IsIdentChar(c))
            return false;
        segmentStart = false;
    }
    return !segmentStart;
}

// Decodes one strictly valid UTF-8 sequence; overlong forms, surrogates and values past U+10FFFF
// are refused so that every accepted byte sequence has exactly one UTF-16 form and back.
bool DecodeUtf8(std::string_view text, size_t& pos, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        codePoint = lead;
        ++pos;
        return true;
    }
    size_t extra = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        codePoint = lead & 0x1Fu;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        codePoint = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        codePoint = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return false;
    }
    if (extra > text.size() - pos - 1)
        return false;
    for (size_t i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return false;
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return false;
    pos += extra + 1;
    return true;
}

void AppendUtf16(WideString& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out += static_cast<char16_t>(codePoint);
        return;
    }
    codePoint -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
}

bool Utf8ToUtf16(std::string_view text, WideString& out) {
    out.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t codePoint = 0;
        if (!DecodeUtf8(text, pos, codePoint))
            return false;
        AppendUtf16(out, codePoint);
    }
    return true;
}

bool Utf16ToUtf8(const WideString& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t codePoint = text[i];
        if (codePoint >= 0xDC00 && codePoint <= 0xDFFF)
            return false;
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return false;
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (codePoint < 0x80) {
            out += static_cast<char>(codePoint);
        } else if (codePoint < 0x800) {
            out += static_cast<char>(0xC0 | (codePoint >> 6));
            out += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            out += static_cast<char>(0xE0 | (codePoint >> 12));
            out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (codePoint >> 18));
            out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (codePoint & 0x3F));
        }
    }
    return true;
}

// Restores the depth counter on every exit path, including the exceptions that unwind a rejected
// input.
class NestingGuard {
public:
    template <typename OnTooDeep>
    NestingGuard(int& depth, OnTooDeep onTooDeep) : depth_(depth) {
        if (depth_ >= kFormMaxNesting)
            onTooDeep();
        ++depth_;
    }
    ~NestingGuard() { --depth_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    int& depth_;
};

bool ValidObjectFlags(uint8_t flags) {
    return (flags & ~(ffInherited | ffChildPos | ffInline)) == 0 &&
           !((flags & ffInherited) && (flags & ffInline));
}

// ---------------------------------------------------------------------------------------------
// Exact arithmetic for float <-> decimal conversion. The host's long double is 80 bits on some
// targets only, so conversions of the 10-byte extended type are done exactly here instead; that
// also makes text rendering identical on every build.

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
            result.MulAdd(kPowersOf10[chunkLength], chunk);
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
        uint32_t* const limbs = limbs_.data();  // the hot loop of every conversion, kept lean
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
                const uint64_t sum = static_cast<uint64_t>(limbs_[i]) * other.limbs_[j] + product[i + j] + carry;
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
            MulAdd(kPowersOf10[9], 0);
        if (exponent != 0)
            MulAdd(kPowersOf10[exponent], 0);
    }

    void MulPow5(uint64_t exponent) {
        constexpr uint32_t kFiveToThe13 = 1220703125u;
        for (; exponent >= 13; exponent -= 13)
            MulAdd(kFiveToThe13, 0);
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
            uint32_t chunk = rest.DivModSmall(kPowersOf10[9]);
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

        constexpr uint64_t kBase = uint64_t{1} << 32;
        quotient.limbs_.assign(m - n + 1, 0);
        for (size_t j = m - n + 1; j-- > 0;) {
            const uint64_t top = (static_cast<uint64_t>(u[j + n]) << 32) | u[j + n - 1];
            uint64_t estimate = top / v[n - 1];
            uint64_t estimateRemainder = top % v[n - 1];
            while (estimate >= kBase || estimate * v[n - 2] > ((estimateRemainder << 32) | u[j + n - 2])) {
                --estimate;
                estimateRemainder += v[n - 1];
                if (estimateRemainder >= kBase)
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
    static constexpr uint32_t kPowersOf10[10] = {1,      10,      100,      1000,      10000,
                                                 100000, 1000000, 10000000, 100000000, 1000000000};

    void Trim() {
        while (!limbs_.empty() && limbs_.back() == 0)
            limbs_.pop_back();
    }

    std::vector<uint32_t> limbs_;  // least significant first
};

struct FloatFormat {
    int Precision;    // significant bits, including the leading one
    int MinExponent;  // exponent of the smallest denormal's unit
    int MaxExponent;
};

constexpr FloatFormat kExtendedFormat{64, -16445, 16320};
constexpr FloatFormat kDoubleFormat{53, -1074, 971};
constexpr FloatFormat kSingleFormat{24, -149, 104};

// (-1)^Negative * Mantissa * 2^Exponent, normalised: the mantissa has Precision bits unless the
// exponent is the format's minimum (denormals and zero).
struct BinaryFloat {
    bool Negative = false;
    uint64_t Mantissa = 0;
    int Exponent = 0;
};

// Digits * 10^Exponent; Digits has neither leading nor trailing zeros, zero is "0".
struct DecimalNumber {
    std::string Digits = "0";
    int64_t Exponent = 0;
};

// Beyond this many significant digits no decimal can change a rounding decision of any supported
// format (exact halfway points need about 11500), so the tail is replaced by one nonzero digit; this
// keeps the cost of absurdly long numbers bounded.
constexpr size_t kMaxSignificantDigits = 20000;

// Any decimal this far beyond the formats' range is decided without big arithmetic.
constexpr int64_t kDecimalOverflowExponent = 4933;
constexpr int64_t kDecimalUnderflowExponent = -4952;

DecimalNumber NormalizeDecimal(std::string digits, int64_t exponent) {
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return {};
    digits.erase(0, first);
    const size_t last = digits.find_last_not_of('0');
    exponent += static_cast<int64_t>(digits.size() - 1 - last);
    digits.resize(last + 1);
    if (digits.size() > kMaxSignificantDigits) {
        exponent += static_cast<int64_t>(digits.size() - kMaxSignificantDigits - 1);
        digits.resize(kMaxSignificantDigits);
        digits += '1';
    }
    return {std::move(digits), exponent};
}

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

// Correctly rounded (ties to even) conversion; false when the magnitude exceeds the format.
bool DecimalToBinary(const DecimalNumber& decimal, const FloatFormat& format, PowersOfFive& powers,
                     uint64_t& mantissa, int& exponent) {
    mantissa = 0;
    exponent = format.MinExponent;
    if (decimal.Digits == "0")
        return true;
    const auto digitCount = static_cast<int64_t>(decimal.Digits.size());
    if (digitCount - 1 + decimal.Exponent > kDecimalOverflowExponent)
        return false;
    if (digitCount + decimal.Exponent < kDecimalUnderflowExponent)
        return true;

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
        return false;
    mantissa = result;
    exponent = result == 0 ? format.MinExponent : static_cast<int>(resultExponent);
    return true;
}

bool DecimalToBinary(const DecimalNumber& decimal, const FloatFormat& format, uint64_t& mantissa, int& exponent) {
    PowersOfFive powers;
    return DecimalToBinary(decimal, format, powers, mantissa, exponent);
}

// Rounds mantissa * 2^exponent into the format (ties to even); false on overflow.
bool RoundToFormat(uint64_t mantissa, int exponent, const FloatFormat& format, uint64_t& outMantissa,
                   int& outExponent) {
    outMantissa = 0;
    outExponent = format.MinExponent;
    if (mantissa == 0)
        return true;
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
        return false;
    outMantissa = result;
    outExponent = result == 0 ? format.MinExponent : resultExponent;
    return true;
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

// The fewest significant digits that read back as exactly this value, so rendered text is short and
// still lossless.
DecimalNumber ShortestDecimal(const BinaryFloat& value, const FloatFormat& format) {
    if (value.Mantissa == 0)
        return {};
    const LeadingDigits leading = LeadingDecimalDigits(value.Mantissa, value.Exponent);
    PowersOfFive powers;
    for (size_t digits = 1; digits + 1 < leading.Digits.size(); ++digits) {
        const DecimalNumber candidate = RoundSignificant(leading, digits);
        uint64_t mantissa = 0;
        int exponent = 0;
        if (DecimalToBinary(candidate, format, powers, mantissa, exponent) && mantissa == value.Mantissa &&
            exponent == value.Exponent)
            return candidate;
    }
    // Not reached: 21 digits always single out a 64-bit mantissa.
    return RoundSignificant(leading, leading.Digits.size() - 1);
}

// Always carries a '.' or an exponent so that the text reads back as a float, never an integer.
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

bool DecodeExtended(const std::array<uint8_t, 10>& bytes, BinaryFloat& value) {
    uint64_t mantissa = 0;
    for (size_t i = 8; i-- > 0;)
        mantissa = (mantissa << 8) | bytes[i];
    const unsigned signAndExponent = bytes[8] | (static_cast<unsigned>(bytes[9]) << 8);
    const unsigned biasedExponent = signAndExponent & 0x7FFF;
    const bool integerBit = (mantissa >> 63) != 0;
    // Infinities, NaNs and the non-canonical encodings (unnormals, pseudo-denormals) have no decimal
    // text and no use in a form, so they are not accepted as values.
    if (biasedExponent == 0x7FFF || (biasedExponent == 0 ? integerBit : !integerBit))
        return false;
    value.Negative = (signAndExponent >> 15) != 0;
    value.Mantissa = mantissa;
    value.Exponent = biasedExponent == 0 ? kExtendedFormat.MinExponent : static_cast<int>(biasedExponent) - 16446;
    return true;
}

std::array<uint8_t, 10> EncodeExtended(const BinaryFloat& value) {
    const unsigned biasedExponent = (value.Mantissa >> 63) != 0 ? static_cast<unsigned>(value.Exponent + 16446) : 0;
    const unsigned signAndExponent = biasedExponent | (value.Negative ? 0x8000u : 0u);
    std::array<uint8_t, 10> bytes{};
    for (size_t i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>(value.Mantissa >> (8 * i));
    bytes[8] = static_cast<uint8_t>(signAndExponent);
    bytes[9] = static_cast<uint8_t>(signAndExponent >> 8);
    return bytes;
}

bool DecodeDouble(double number, BinaryFloat& value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    const auto biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (biasedExponent == 0x7FF)
        return false;
    value.Negative = (bits >> 63) != 0;
    value.Mantissa = biasedExponent == 0 ? fraction : fraction | (uint64_t{1} << 52);
    value.Exponent = biasedExponent == 0 ? kDoubleFormat.MinExponent : biasedExponent - 1075;
    return true;
}

double EncodeDouble(const BinaryFloat& value) {
    uint64_t bits = value.Negative ? uint64_t{1} << 63 : 0;
    if ((value.Mantissa >> 52) != 0)
        bits |= (static_cast<uint64_t>(value.Exponent + 1075) << 52) | (value.Mantissa & ((uint64_t{1} << 52) - 1));
    else
        bits |= value.Mantissa;
    double number = 0;
    std::memcpy(&number, &bits, sizeof number);
    return number;
}

bool DecodeSingle(float number, BinaryFloat& value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    const auto biasedExponent = static_cast<int>((bits >> 23) & 0xFF);
    const uint32_t fraction = bits & ((1u << 23) - 1);
    if (biasedExponent == 0xFF)
        return false;
    value.Negative = (bits >> 31) != 0;
    value.Mantissa = biasedExponent == 0 ? fraction : fraction | (1u << 23);
    value.Exponent = biasedExponent == 0 ? kSingleFormat.MinExponent : biasedExponent - 150;
    return true;
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

// A plain static_cast is undefined for doubles beyond the float range; this rounds exactly and
// refuses what does not fit.
bool DoubleToSingle(double number, float& result) {
    BinaryFloat value;
    if (!DecodeDouble(number, value))
        return false;
    BinaryFloat rounded{value.Negative, 0, 0};
    if (!RoundToFormat(value.Mantissa, value.Exponent, kSingleFormat, rounded.Mantissa, rounded.Exponent))
        return false;
    result = EncodeSingle(rounded);
    return true;
}

double ExtendedToDouble(const BinaryFloat& value) {
    BinaryFloat rounded{value.Negative, 0, 0};
    if (!RoundToFormat(value.Mantissa, value.Exponent, kDoubleFormat, rounded.Mantissa, rounded.Exponent))
        return value.Negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    return EncodeDouble(rounded);
}

// Amount times 10000, rounded ties to even; false when it does not fit 64 bits.
bool DecimalToCurrency(const DecimalNumber& decimal, bool negative, int64_t& result) {
    result = 0;
    if (decimal.Digits == "0")
        return true;
    const auto digitCount = static_cast<int64_t>(decimal.Digits.size());
    const int64_t scaledExponent = decimal.Exponent + 4;
    if (digitCount + scaledExponent > 20)
        return false;
    if (digitCount + scaledExponent < -1)
        return true;
    BigUnsigned remainder = BigUnsigned::FromDecimal(decimal.Digits);
    BigUnsigned divisor(1);
    if (scaledExponent >= 0)
        remainder.MulPow10(static_cast<uint64_t>(scaledExponent));
    else
        divisor.MulPow10(static_cast<uint64_t>(-scaledExponent));
    const BigUnsigned quotient = remainder.DivideInPlace(divisor);
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    if (quotient.BitLength() > 64 || quotient.Low64() > limit)
        return false;
    uint64_t magnitude = quotient.Low64();
    remainder.ShiftLeft(1);
    const int half = BigUnsigned::Compare(remainder, divisor);
    if (half > 0 || (half == 0 && (magnitude & 1) != 0))
        ++magnitude;
    if (magnitude > limit)
        return false;
    result = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

AnsiString FormatCurrency(int64_t amountTimes10000) {
    const uint64_t magnitude =
        amountTimes10000 < 0 ? 0 - static_cast<uint64_t>(amountTimes10000) : static_cast<uint64_t>(amountTimes10000);
    AnsiString text = amountTimes10000 < 0 ? "-" : "";
    text += std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000 + 10000).substr(1);
    while (fraction.size() > 1 && fraction.back() == '0')
        fraction.pop_back();
    return text + "." + fraction + "c";
}

[[noreturn]] void ThrowConvert(const char* expected) {
    throw EConvertError(AnsiString("Invalid property value: ") + expected + " expected");
}

// ---------------------------------------------------------------------------------------------
// Binary form stream reader

class FormStreamReader {
public:
    FormStreamReader(const uint8_t* data, size_t size) : reader_(data, size) {}

    TFormObject ReadRoot() {
        try {
            static constexpr uint8_t kSignature[4] = {'T', 'P', 'F', '0'};
            for (uint8_t expected : kSignature) {
                if (reader_.ReadU8() != expected)
                    Invalid();
            }
            return ReadObject();
        } catch (EByteReadError& e) {
            // Callers and stored expectations know this one text; the offset stays on the object.
            e.SetMessage("Stream read error");
            throw;
        }
    }

private:
    [[noreturn]] static void Invalid() { throw EReadError("Invalid stream format"); }

    size_t ReadLength() {
        const int32_t length = reader_.ReadI32();
        if (length < 0)
            Invalid();
        return static_cast<size_t>(length);
    }

    int32_t ReadSmallInteger() {
        switch (static_cast<TValueType>(reader_.ReadU8())) {
        case TValueType::vaInt8:
            return reader_.ReadI8();
        case TValueType::vaInt16:
            return reader_.ReadI16();
        case TValueType::vaInt32:
            return reader_.ReadI32();
        default:
            Invalid();
        }
    }

    auto TooDeep() {
        return [] { throw EReadError("Form nesting too deep"); };
    }

    TFormObject ReadObject() {
        NestingGuard guard(depth_, TooDeep());
        TFormObject object;
        const uint8_t first = reader_.PeekU8();
        if ((first & 0xF0) == 0xF0) {
            reader_.Skip(1);
            object.Flags = first & 0x0F;
            if (!ValidObjectFlags(object.Flags))
                Invalid();
            if ((object.Flags & ffChildPos) != 0)
                object.ChildPos = ReadSmallInteger();
        }
        object.ClassName = reader_.ReadShortString();
        if (object.ClassName.empty())
            Invalid();
        object.Name = reader_.ReadShortString();
        ReadProperties(object.Properties);
        while (reader_.PeekU8() != 0)
            object.Children.push_back(ReadObject());
        reader_.Skip(1);
        return object;
    }

    void ReadProperties(std::vector<TFormProperty>& properties) {
        for (;;) {
            AnsiString name = reader_.ReadShortString();
            if (name.empty())
                return;
            TFormValue value = ReadValue();
            properties.push_back({std::move(name), std::move(value)});
        }
    }

    TFormValue ReadValue() {
        const uint8_t typeByte = reader_.ReadU8();
        if (typeByte == 0 || typeByte > static_cast<uint8_t>(TValueType::vaUTF8String))
            Invalid();
        TFormValue value;
        value.Type = static_cast<TValueType>(typeByte);
        switch (value.Type) {
        case TValueType::vaList: {
            NestingGuard guard(depth_, TooDeep());
            while (reader_.PeekU8() != 0)
                value.List.push_back(ReadValue());
            reader_.Skip(1);
            break;
        }
        case TValueType::vaInt8:
            value.Integer = reader_.ReadI8();
            break;
        case TValueType::vaInt16:
            value.Integer = reader_.ReadI16();
            break;
        case TValueType::vaInt32:
            value.Integer = reader_.ReadI32();
            break;
        case TValueType::vaInt64:
        case TValueType::vaCurrency:
            value.Integer = reader_.ReadI64();
            break;
        case TValueType::vaExtended: {
            reader_.ReadInto(value.Extended.data(), value.Extended.size());
            BinaryFloat decoded;
            if (!DecodeExtended(value.Extended, decoded))
                Invalid();
            break;
        }
        case TValueType::vaSingle: {
            const uint32_t bits = reader_.ReadU32();
            float number = 0;
            std::memcpy(&number, &bits, sizeof number);
            if (!std::isfinite(number))
                Invalid();
            value.Float = number;
            break;
        }
        case TValueType::vaDate: {
            const uint64_t bits = reader_.ReadU64();
            double number = 0;
            std::memcpy(&number, &bits, sizeof number);
            if (!std::isfinite(number))
                Invalid();
            value.Float = number;
            break;
        }
        case TValueType::vaString:
        case TValueType::vaIdent:
            value.Text = reader_.ReadShortString();
            break;
        case TValueType::vaBinary:
        case TValueType::vaLString:
            value.Text = reader_.ReadString(ReadLength());
            break;
        case TValueType::vaWString:
            value.Wide = reader_.ReadWideString(ReadLength());
            break;
        case TValueType::vaUTF8String:
            if (!Utf8ToUtf16(reader_.ReadString(ReadLength()), value.Wide))
                Invalid();
            break;
        case TValueType::vaSet:
            for (;;) {
                AnsiString item = reader_.ReadShortString();
                if (item.empty())
                    break;
                value.SetItems.push_back(std::move(item));
            }
            break;
        case TValueType::vaCollection: {
            NestingGuard guard(depth_, TooDeep());
            ReadCollection(value.Collection);
            break;
        }
        case TValueType::vaFalse:
        case TValueType::vaTrue:
        case TValueType::vaNil:
        case TValueType::vaNull:
            break;
        }
        return value;
    }

    void ReadCollection(std::vector<TFormCollectionItem>& items) {
        for (;;) {
            auto marker = static_cast<TValueType>(reader_.PeekU8());
            if (marker == TValueType::vaNull) {
                reader_.Skip(1);
                return;
            }
            TFormCollectionItem item;
            if (marker == TValueType::vaInt8 || marker == TValueType::vaInt16 || marker == TValueType::vaInt32) {
                item.Order = ReadSmallInteger();
                marker = static_cast<TValueType>(reader_.PeekU8());
            }
            if (marker != TValueType::vaList)
                Invalid();
            reader_.Skip(1);
            ReadProperties(item.Properties);
            items.push_back(std::move(item));
        }
    }

    ByteReader reader_;
    int depth_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Binary form stream writer

class FormStreamWriter {
public:
    std::vector<uint8_t> Write(const TFormObject& root) {
        out_ = {'T', 'P', 'F', '0'};
        WriteObject(root);
        return std::move(out_);
    }

private:
    [[noreturn]] static void Fail(const AnsiString& message) { throw EWriteError(message); }

    auto TooDeep() {
        return [] { Fail("Form nesting too deep"); };
    }

    void WriteByte(uint8_t byte) { out_.push_back(byte); }

    void WriteType(TValueType type) { WriteByte(static_cast<uint8_t>(type)); }

    void WriteLittleEndian(uint64_t value, size_t byteCount) {
        for (size_t i = 0; i < byteCount; ++i)
            out_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }

    void WriteRaw(std::string_view bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

    void WriteShortString(const AnsiString& text, const AnsiString& context) {
        if (text.size() > 255)
            Fail(context + " is longer than 255 characters");
        WriteByte(static_cast<uint8_t>(text.size()));
        WriteRaw(text);
    }

    void WriteLength(size_t length, const AnsiString& context) {
        if (length > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            Fail(context + " is too long");
        WriteLittleEndian(length, 4);
    }

    void WriteSmallInteger(int64_t value) {
        if (value >= INT8_MIN && value <= INT8_MAX) {
            WriteType(TValueType::vaInt8);
            WriteLittleEndian(static_cast<uint64_t>(value), 1);
        } else if (value >= INT16_MIN && value <= INT16_MAX) {
            WriteType(TValueType::vaInt16);
            WriteLittleEndian(static_cast<uint64_t>(value), 2);
        } else {
            WriteType(TValueType::vaInt32);
            WriteLittleEndian(static_cast<uint64_t>(value), 4);
        }
    }

    void WriteObject(const TFormObject& object) {
        NestingGuard guard(depth_, TooDeep());
        const AnsiString context = "Object '" + object.Name + "'";
        if (!ValidObjectFlags(object.Flags))
            Fail(context + " has invalid flags");
        if (object.ClassName.empty())
            Fail(context + " has no class name");
        // A class name length byte of 0xF0 or more would read as a flags prefix, so such a name is
        // always preceded by one.
        if (object.Flags != 0 || object.ClassName.size() >= 0xF0) {
            WriteByte(static_cast<uint8_t>(0xF0 | object.Flags));
            if ((object.Flags & ffChildPos) != 0)
                WriteSmallInteger(object.ChildPos);
        }
        WriteShortString(object.ClassName, context + " class name");
        WriteShortString(object.Name, context + " name");
        WriteProperties(object.Properties);
        for (const TFormObject& child : object.Children)
            WriteObject(child);
        WriteByte(0);
    }

    void WriteProperties(const std::vector<TFormProperty>& properties) {
        for (const TFormProperty& property : properties) {
            if (property.Name.empty())
                Fail("Property name is empty");
            WriteShortString(property.Name, "Property name '" + property.Name.substr(0, 64) + "'");
            WriteValue(property.Value, property.Name);
        }
        WriteByte(0);
    }

    void CheckRange(const TFormValue& value, int64_t minimum, int64_t maximum, const AnsiString& property) {
        if (value.Integer < minimum || value.Integer > maximum)
            Fail("Value of property '" + property + "' does not fit its integer type");
    }

    void WriteValue(const TFormValue& value, const AnsiString& property) {
        const auto context = [&property] { return "Value of property '" + property + "'"; };
        switch (value.Type) {
        case TValueType::vaList: {
            NestingGuard guard(depth_, TooDeep());
            WriteType(value.Type);
            for (const TFormValue& item : value.List)
                WriteValue(item, property);
            WriteByte(0);
            return;
        }
        case TValueType::vaInt8:
            CheckRange(value, INT8_MIN, INT8_MAX, property);
            WriteType(value.Type);
            WriteLittleEndian(static_cast<uint64_t>(value.Integer), 1);
            return;
        case TValueType::vaInt16:
            CheckRange(value, INT16_MIN, INT16_MAX, property);
            WriteType(value.Type);
            WriteLittleEndian(static_cast<uint64_t>(value.Integer), 2);
            return;
        case TValueType::vaInt32:
            CheckRange(value, INT32_MIN, INT32_MAX, property);
            WriteType(value.Type);
            WriteLittleEndian(static_cast<uint64_t>(value.Integer), 4);
            return;
        case TValueType::vaInt64:
        case TValueType::vaCurrency:
            WriteType(value.Type);
            WriteLittleEndian(static_cast<uint64_t>(value.Integer), 8);
            return;
        case TValueType::vaExtended: {
            BinaryFloat decoded;
            if (!DecodeExtended(value.Extended, decoded))
                Fail(context() + " is not a finite number");
            WriteType(value.Type);
            out_.insert(out_.end(), value.Extended.begin(), value.Extended.end());
            return;
        }
        case TValueType::vaSingle: {
            float number = 0;
            if (!DoubleToSingle(value.Float, number))
                Fail(context() + " is not a finite single-precision number");
            uint32_t bits = 0;
            std::memcpy(&bits, &number, sizeof bits);
            WriteType(value.Type);
            WriteLittleEndian(bits, 4);
            return;
        }
        case TValueType::vaDate: {
            if (!std::isfinite(value.Float))
                Fail(context() + " is not a finite number");
            uint64_t bits = 0;
            std::memcpy(&bits, &value.Float, sizeof bits);
            WriteType(value.Type);
            WriteLittleEndian(bits, 8);
            return;
        }
        case TValueType::vaString:
        case TValueType::vaIdent:
            WriteType(value.Type);
            WriteShortString(value.Text, context());
            return;
        case TValueType::vaBinary:
        case TValueType::vaLString:
            WriteType(value.Type);
            WriteLength(value.Text.size(), context());
            WriteRaw(value.Text);
            return;
        case TValueType::vaWString:
            WriteType(value.Type);
            WriteLength(value.Wide.size(), context());
            for (char16_t unit : value.Wide)
                WriteLittleEndian(unit, 2);
            return;
        case TValueType::vaUTF8String: {
            std::string bytes;
            if (!Utf16ToUtf8(value.Wide, bytes))
                Fail(context() + " holds an unpaired surrogate");
            WriteType(value.Type);
            WriteLength(bytes.size(), context());
            WriteRaw(bytes);
            return;
        }
        case TValueType::vaSet:
            WriteType(value.Type);
            for (const AnsiString& item : value.SetItems) {
                if (item.empty())
                    Fail(context() + " has an empty set element");
                WriteShortString(item, context());
            }
            WriteByte(0);
            return;
        case TValueType::vaCollection: {
            NestingGuard guard(depth_, TooDeep());
            WriteType(value.Type);
            for (const TFormCollectionItem& item : value.Collection) {
                if (item.Order)
                    WriteSmallInteger(*item.Order);
                WriteType(TValueType::vaList);
                WriteProperties(item.Properties);
            }
            WriteByte(0);
            return;
        }
        case TValueType::vaFalse:
        case TValueType::vaTrue:
        case TValueType::vaNil:
            WriteType(value.Type);
            return;
        case TValueType::vaNull:
            break;
        }
        // A null only ends lists and collections in the stream; as a value it would end them early.
        Fail(context() + " has no valid type");
    }

    std::vector<uint8_t> out_;
    int depth_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Text form lexer

enum class TokenKind { End, Ident, Number, String, Binary, Symbol };

struct Token {
    TokenKind Kind = TokenKind::End;
    int Line = 1;
    AnsiString Text;  // identifier, number lexeme, or the bytes of a binary value
    WideString Wide;  // string value
    char Symbol = 0;
};

[[noreturn]] void ThrowParser(int line, const AnsiString& message) {
    throw EParserError("Line " + std::to_string(line) + ": " + message);
}

bool TextHasValidUtf8BeyondAscii(std::string_view text) {
    bool beyondAscii = false;
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t codePoint = 0;
        if (!DecodeUtf8(text, pos, codePoint))
            return false;
        beyondAscii = beyondAscii || codePoint >= 0x80;
    }
    return beyondAscii;
}

AnsiString DescribeCharacter(unsigned char c) {
    if (c > 32 && c < 127)
        return AnsiString("'") + static_cast<char>(c) + "'";
    return "#" + std::to_string(c);
}

class FormLexer {
public:
    explicit FormLexer(const AnsiString& text) : text_(text) {
        const auto byteAt = [&](size_t i) { return i < text_.size() ? static_cast<unsigned char>(text_[i]) : 0u; };
        if ((byteAt(0) == 0xFF && byteAt(1) == 0xFE) || (byteAt(0) == 0xFE && byteAt(1) == 0xFF))
            ThrowParser(1, "UTF-16 text is not supported");
        if (byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF)
            pos_ = 3;
        utf8_ = TextHasValidUtf8BeyondAscii(std::string_view(text_).substr(pos_));
    }

    // References stay valid while later tokens are scanned (deque growth keeps elements in place).
    const Token& Peek(size_t ahead = 0) {
        while (lookahead_.size() <= ahead)
            lookahead_.push_back(Scan());
        return lookahead_[ahead];
    }

    Token Next() {
        Peek();
        Token token = std::move(lookahead_.front());
        lookahead_.pop_front();
        return token;
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    unsigned char Current() const { return static_cast<unsigned char>(text_[pos_]); }

    bool SkipBlank() {
        if (AtEnd())
            return false;
        const unsigned char c = Current();
        if (c == '\n')
            ++line_;
        else if (c == '\r')
            line_ += (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') ? 0 : 1;
        else if (c != ' ' && c != '\t')
            return false;
        ++pos_;
        return true;
    }

    Token Scan() {
        while (SkipBlank()) {
        }
        Token token;
        token.Line = line_;
        if (AtEnd())
            return token;
        const unsigned char c = Current();
        if (IsIdentStart(c))
            return ScanIdent(token);
        if (IsDigit(c) || c == '-' || c == '$')
            return ScanNumber(token);
        if (c == '\'' || c == '#')
            return ScanString(token);
        if (c == '{')
            return ScanBinary(token);
        if (std::string_view("=:[](),<>+").find(static_cast<char>(c)) != std::string_view::npos) {
            token.Kind = TokenKind::Symbol;
            token.Symbol = static_cast<char>(c);
            ++pos_;
            return token;
        }
        ThrowParser(line_, "Invalid character " + DescribeCharacter(c));
    }

    Token ScanIdent(Token& token) {
        const size_t start = pos_;
        while (!AtEnd() && (IsIdentChar(Current()) || Current() == '.'))
            ++pos_;
        token.Kind = TokenKind::Ident;
        token.Text = text_.substr(start, pos_ - start);
        if (token.Text.size() > 255)
            ThrowParser(token.Line, "Identifier too long");
        if (!IsIdentifier(token.Text, true))
            ThrowParser(token.Line, "Invalid identifier '" + token.Text + "'");
        return std::move(token);
    }

    size_t SkipDigits(bool hex) {
        const size_t start = pos_;
        while (!AtEnd() && (hex ? HexDigitValue(Current()) >= 0 : IsDigit(Current())))
            ++pos_;
        return pos_ - start;
    }

    Token ScanNumber(Token& token) {
        const size_t start = pos_;
        const auto fail = [&] { ThrowParser(token.Line, "Invalid number"); };
        if (Current() == '-')
            ++pos_;
        if (!AtEnd() && Current() == '$') {
            ++pos_;
            if (SkipDigits(true) == 0)
                fail();
        } else {
            if (SkipDigits(false) == 0)
                fail();
            if (!AtEnd() && Current() == '.') {
                ++pos_;
                if (SkipDigits(false) == 0)
                    fail();
            }
            if (!AtEnd() && (Current() == 'e' || Current() == 'E')) {
                ++pos_;
                if (!AtEnd() && (Current() == '+' || Current() == '-'))
                    ++pos_;
                if (SkipDigits(false) == 0)
                    fail();
            }
            if (!AtEnd() && std::string_view("sScCdD").find(static_cast<char>(Current())) != std::string_view::npos)
                ++pos_;
        }
        if (!AtEnd() && (IsIdentChar(Current()) || Current() == '.'))
            fail();
        token.Kind = TokenKind::Number;
        token.Text = text_.substr(start, pos_ - start);
        return std::move(token);
    }

    // Quoted pieces and #codes directly adjacent to each other form one string.
    Token ScanString(Token& token) {
        token.Kind = TokenKind::String;
        for (;;) {
            if (!AtEnd() && Current() == '\'') {
                ++pos_;
                for (;;) {
                    if (AtEnd() || Current() == '\r' || Current() == '\n')
                        ThrowParser(line_, "Unterminated string");
                    const unsigned char c = Current();
                    if (c == '\'') {
                        ++pos_;
                        if (AtEnd() || Current() != '\'')
                            break;
                        token.Wide += u'\'';
                        ++pos_;
                    } else if (c < 0x80 || !utf8_) {
                        token.Wide += static_cast<char16_t>(c);
                        ++pos_;
                    } else {
                        char32_t codePoint = 0;
                        DecodeUtf8(text_, pos_, codePoint);  // the whole text was validated up front
                        AppendUtf16(token.Wide, codePoint);
                    }
                }
            } else if (!AtEnd() && Current() == '#') {
                ++pos_;
                const bool hex = !AtEnd() && Current() == '$';
                if (hex)
                    ++pos_;
                char32_t code = 0;
                size_t digits = 0;
                for (; !AtEnd() && (hex ? HexDigitValue(Current()) >= 0 : IsDigit(Current())); ++pos_, ++digits) {
                    code = code * (hex ? 16 : 10) + static_cast<char32_t>(HexDigitValue(Current()));
                    if (code > 0x10FFFF)
                        ThrowParser(line_, "Invalid character code");
                }
                if (digits == 0)
                    ThrowParser(line_, "Invalid character code");
                AppendUtf16(token.Wide, code);
            } else {
                return std::move(token);
            }
        }
    }

    Token ScanBinary(Token& token) {
        ++pos_;
        token.Kind = TokenKind::Binary;
        int pendingNibble = -1;
        for (;;) {
            if (AtEnd())
                ThrowParser(token.Line, "Unterminated binary value");
            if (SkipBlank())
                continue;
            if (Current() == '}') {
                ++pos_;
                break;
            }
            const int nibble = HexDigitValue(Current());
            if (nibble < 0)
                ThrowParser(line_, "Invalid binary value");
            ++pos_;
            if (pendingNibble < 0) {
                pendingNibble = nibble;
            } else {
                token.Text += static_cast<char>((pendingNibble << 4) | nibble);
                pendingNibble = -1;
            }
        }
        if (pendingNibble >= 0)
            ThrowParser(line_, "Invalid binary value");
        return std::move(token);
    }

    const AnsiString& text_;
    size_t pos_ = 0;
    int line_ = 1;
    bool utf8_ = false;
    std::deque<Token> lookahead_;
};

// ---------------------------------------------------------------------------------------------
// Text form parser

bool IsSymbol(const Token& token, char symbol) {
    return token.Kind == TokenKind::Symbol && token.Symbol == symbol;
}

bool IsKeyword(const Token& token, std::string_view keyword) {
    return token.Kind == TokenKind::Ident && SameTextAscii(token.Text, keyword);
}

bool IsObjectKeyword(const Token& token) {
    return IsKeyword(token, "object") || IsKeyword(token, "inherited") || IsKeyword(token, "inline");
}

class FormTextParser {
public:
    explicit FormTextParser(const AnsiString& text) : lexer_(text) {}

    TFormObject ParseRoot() {
        const Token& first = lexer_.Peek();
        if (!IsObjectKeyword(first))
            ThrowParser(first.Line, "'object' expected");
        TFormObject root = ParseObject();
        const Token& rest = lexer_.Peek();
        if (rest.Kind != TokenKind::End)
            ThrowParser(rest.Line, "End of file expected");
        return root;
    }

private:
    auto TooDeep(int line) {
        return [line] { ThrowParser(line, "Nesting too deep"); };
    }

    Token ExpectIdent() {
        Token token = lexer_.Next();
        if (token.Kind != TokenKind::Ident)
            ThrowParser(token.Line, "Identifier expected");
        return token;
    }

    void ExpectSymbol(char symbol) {
        const Token token = lexer_.Next();
        if (!IsSymbol(token, symbol))
            ThrowParser(token.Line, AnsiString("'") + symbol + "' expected");
    }

    int32_t ExpectInt32() {
        const Token token = lexer_.Next();
        if (token.Kind != TokenKind::Number)
            ThrowParser(token.Line, "Integer expected");
        const TFormValue value = ParseNumber(token);
        if (!value.IsInteger())
            ThrowParser(token.Line, "Integer expected");
        if (value.Integer < INT32_MIN || value.Integer > INT32_MAX)
            ThrowParser(token.Line, "Integer out of range");
        return static_cast<int32_t>(value.Integer);
    }

    // An identifier followed by '=' is a property even when it reads like a keyword.
    bool AtPropertyStart() {
        return lexer_.Peek().Kind == TokenKind::Ident && IsSymbol(lexer_.Peek(1), '=');
    }

    TFormObject ParseObject() {
        const Token keyword = lexer_.Next();
        NestingGuard guard(depth_, TooDeep(keyword.Line));
        TFormObject object;
        if (SameTextAscii(keyword.Text, "inherited"))
            object.Flags = ffInherited;
        else if (SameTextAscii(keyword.Text, "inline"))
            object.Flags = ffInline;
        const Token first = ExpectIdent();
        if (IsSymbol(lexer_.Peek(), ':')) {
            lexer_.Next();
            if (!IsIdentifier(first.Text, false))
                ThrowParser(first.Line, "Invalid component name '" + first.Text + "'");
            object.Name = first.Text;
            object.ClassName = ExpectIdent().Text;
        } else {
            object.ClassName = first.Text;
        }
        if (IsSymbol(lexer_.Peek(), '[')) {
            lexer_.Next();
            object.Flags |= ffChildPos;
            object.ChildPos = ExpectInt32();
            ExpectSymbol(']');
        }
        for (;;) {
            if (AtPropertyStart()) {
                object.Properties.push_back(ParseProperty());
                continue;
            }
            const Token& token = lexer_.Peek();
            if (IsKeyword(token, "end")) {
                lexer_.Next();
                return object;
            }
            if (IsObjectKeyword(token)) {
                object.Children.push_back(ParseObject());
                continue;
            }
            if (token.Kind == TokenKind::Ident)
                ThrowParser(lexer_.Peek(1).Line, "'=' expected");
            ThrowParser(token.Line, token.Kind == TokenKind::End ? "'end' expected" : "Identifier expected");
        }
    }

    TFormProperty ParseProperty() {
        Token name = lexer_.Next();
        ExpectSymbol('=');
        TFormValue value = ParseValue();
        return {std::move(name.Text), std::move(value)};
    }

    TFormValue ParseValue() {
        Token token = lexer_.Next();
        switch (token.Kind) {
        case TokenKind::Number:
            return ParseNumber(token);
        case TokenKind::String: {
            WideString text = std::move(token.Wide);
            while (IsSymbol(lexer_.Peek(), '+')) {
                lexer_.Next();
                const Token piece = lexer_.Next();
                if (piece.Kind != TokenKind::String)
                    ThrowParser(piece.Line, "String expected");
                text += piece.Wide;
            }
            return TFormValue::FromText(text);
        }
        case TokenKind::Ident:
            if (SameTextAscii(token.Text, "True"))
                return TFormValue::FromBoolean(true);
            if (SameTextAscii(token.Text, "False"))
                return TFormValue::FromBoolean(false);
            if (SameTextAscii(token.Text, "nil"))
                return TFormValue::Nil();
            return TFormValue::FromIdent(std::move(token.Text));
        case TokenKind::Binary:
            return TFormValue::FromBinary(std::move(token.Text));
        case TokenKind::Symbol:
            if (token.Symbol == '[')
                return ParseSet();
            if (token.Symbol == '(')
                return ParseList(token.Line);
            if (token.Symbol == '<')
                return ParseCollection(token.Line);
            break;
        case TokenKind::End:
            ThrowParser(token.Line, "Unexpected end of file");
        }
        ThrowParser(token.Line, "Invalid property value");
    }

    TFormValue ParseSet() {
        TFormValue value = TFormValue::FromSet({});
        if (IsSymbol(lexer_.Peek(), ']')) {
            lexer_.Next();
            return value;
        }
        for (;;) {
            const Token item = ExpectIdent();
            if (!IsIdentifier(item.Text, false))
                ThrowParser(item.Line, "Invalid set element '" + item.Text + "'");
            value.SetItems.push_back(item.Text);
            const Token separator = lexer_.Next();
            if (IsSymbol(separator, ']'))
                return value;
            if (!IsSymbol(separator, ','))
                ThrowParser(separator.Line, "',' or ']' expected");
        }
    }

    TFormValue ParseList(int line) {
        NestingGuard guard(depth_, TooDeep(line));
        TFormValue value = TFormValue::FromList({});
        while (!IsSymbol(lexer_.Peek(), ')')) {
            if (lexer_.Peek().Kind == TokenKind::End)
                ThrowParser(lexer_.Peek().Line, "')' expected");
            value.List.push_back(ParseValue());
        }
        lexer_.Next();
        return value;
    }

    TFormValue ParseCollection(int line) {
        NestingGuard guard(depth_, TooDeep(line));
        TFormValue value;
        value.Type = TValueType::vaCollection;
        for (;;) {
            const Token token = lexer_.Next();
            if (IsSymbol(token, '>'))
                return value;
            if (!IsKeyword(token, "item"))
                ThrowParser(token.Line, "'item' or '>' expected");
            TFormCollectionItem item;
            if (IsSymbol(lexer_.Peek(), '[')) {
                lexer_.Next();
                item.Order = ExpectInt32();
                ExpectSymbol(']');
            }
            while (!IsKeyword(lexer_.Peek(), "end") || IsSymbol(lexer_.Peek(1), '=')) {
                if (!AtPropertyStart()) {
                    const Token& unexpected = lexer_.Peek();
                    if (unexpected.Kind == TokenKind::Ident)
                        ThrowParser(lexer_.Peek(1).Line, "'=' expected");
                    ThrowParser(unexpected.Line,
                                unexpected.Kind == TokenKind::End ? "'end' expected" : "Identifier expected");
                }
                item.Properties.push_back(ParseProperty());
            }
            lexer_.Next();
            value.Collection.push_back(std::move(item));
        }
    }

    static TFormValue ParseNumber(const Token& token) {
        std::string_view lexeme = token.Text;
        const bool negative = lexeme.front() == '-';
        if (negative)
            lexeme.remove_prefix(1);
        if (lexeme.front() == '$' || lexeme.find_first_of(".eEsScCdD") == std::string_view::npos)
            return ParseInteger(token.Line, lexeme, negative);

        std::string digits;
        int64_t fractionDigits = 0;
        size_t pos = 0;
        for (; pos < lexeme.size() && IsDigit(lexeme[pos]); ++pos)
            digits += lexeme[pos];
        if (pos < lexeme.size() && lexeme[pos] == '.') {
            for (++pos; pos < lexeme.size() && IsDigit(lexeme[pos]); ++pos, ++fractionDigits)
                digits += lexeme[pos];
        }
        int64_t exponent = 0;
        if (pos < lexeme.size() && (lexeme[pos] == 'e' || lexeme[pos] == 'E')) {
            ++pos;
            const bool negativeExponent = pos < lexeme.size() && lexeme[pos] == '-';
            if (pos < lexeme.size() && (lexeme[pos] == '-' || lexeme[pos] == '+'))
                ++pos;
            // Far beyond any format's range already; the cap only keeps the arithmetic from wrapping.
            for (; pos < lexeme.size() && IsDigit(lexeme[pos]); ++pos)
                exponent = std::min<int64_t>(exponent * 10 + (lexeme[pos] - '0'), 1000000000);
            if (negativeExponent)
                exponent = -exponent;
        }
        const char suffix = pos < lexeme.size() ? LowerAscii(lexeme[pos]) : '\0';
        const DecimalNumber decimal = NormalizeDecimal(std::move(digits), exponent - fractionDigits);

        TFormValue value;
        BinaryFloat binary{negative, 0, 0};
        switch (suffix) {
        case 'c':
            value.Type = TValueType::vaCurrency;
            if (!DecimalToCurrency(decimal, negative, value.Integer))
                ThrowParser(token.Line, "Currency value out of range");
            return value;
        case 's':
            value.Type = TValueType::vaSingle;
            if (!DecimalToBinary(decimal, kSingleFormat, binary.Mantissa, binary.Exponent))
                ThrowParser(token.Line, "Floating point value out of range");
            value.Float = EncodeSingle(binary);
            return value;
        case 'd':
            value.Type = TValueType::vaDate;
            if (!DecimalToBinary(decimal, kDoubleFormat, binary.Mantissa, binary.Exponent))
                ThrowParser(token.Line, "Floating point value out of range");
            value.Float = EncodeDouble(binary);
            return value;
        default:
            value.Type = TValueType::vaExtended;
            if (!DecimalToBinary(decimal, kExtendedFormat, binary.Mantissa, binary.Exponent))
                ThrowParser(token.Line, "Floating point value out of range");
            value.Extended = EncodeExtended(binary);
            return value;
        }
    }

    static TFormValue ParseInteger(int line, std::string_view lexeme, bool negative) {
        const bool hex = lexeme.front() == '$';
        if (hex)
            lexeme.remove_prefix(1);
        const uint64_t base = hex ? 16 : 10;
        const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
        uint64_t magnitude = 0;
        for (char c : lexeme) {
            const auto digit = static_cast<uint64_t>(HexDigitValue(static_cast<unsigned char>(c)));
            if (magnitude > (limit - digit) / base)
                ThrowParser(line, "Integer out of range");
            magnitude = magnitude * base + digit;
        }
        return TFormValue::FromInteger(negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude));
    }

    FormLexer lexer_;
    int depth_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Text form renderer

constexpr size_t kStringPieceWidth = 64;
constexpr size_t kHexDigitsPerLine = 64;

bool IsStringType(TValueType type) {
    return type == TValueType::vaString || type == TValueType::vaLString || type == TValueType::vaWString ||
           type == TValueType::vaUTF8String;
}

// Printable ASCII goes inside quotes, everything else becomes #codes, so the text stays ASCII and
// no character is at the mercy of an editor's encoding. With a piece width, pieces also end after
// each line feed, which keeps multi-line texts readable.
std::vector<AnsiString> StringPieces(const WideString& units, size_t pieceWidth) {
    std::vector<AnsiString> pieces;
    AnsiString piece;
    bool quoted = false;
    const auto closePiece = [&] {
        if (quoted)
            piece += '\'';
        quoted = false;
        pieces.push_back(std::move(piece));
        piece.clear();
    };
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        const bool printable = unit >= 32 && unit < 127;
        const AnsiString code = printable ? AnsiString() : "#" + std::to_string(unit);
        const size_t added = printable ? (unit == u'\'' ? 2 : 1) + (quoted ? 0 : 2) : code.size();
        if (!piece.empty() && piece.size() + (quoted ? 1 : 0) + added > pieceWidth)
            closePiece();
        if (printable) {
            if (!quoted)
                piece += '\'';
            quoted = true;
            piece += unit == u'\'' ? "''" : AnsiString(1, static_cast<char>(unit));
        } else {
            if (quoted)
                piece += '\'';
            quoted = false;
            piece += code;
        }
        if (unit == u'\n' && pieceWidth != std::string::npos && i + 1 < units.size())
            closePiece();
    }
    if (units.empty())
        piece = "''";
    if (!piece.empty())
        closePiece();
    return pieces;
}

std::vector<AnsiString> RenderString(const WideString& units) {
    std::vector<AnsiString> pieces = StringPieces(units, std::string::npos);
    if (pieces.front().size() <= kStringPieceWidth)
        return pieces;
    return StringPieces(units, kStringPieceWidth);
}

class FormTextRenderer {
public:
    AnsiString Render(const TFormObject& root) {
        RenderObject(root, 0);
        out_ += "\r\n";
        return std::move(out_);
    }

private:
    [[noreturn]] static void Fail(const AnsiString& message) { throw EConvertError(message); }

    auto TooDeep() {
        return [] { Fail("Form nesting too deep"); };
    }

    void NewLine(int indent) {
        out_ += "\r\n";
        out_.append(static_cast<size_t>(indent), ' ');
    }

    void RenderObject(const TFormObject& object, int indent) {
        NestingGuard guard(depth_, TooDeep());
        if (!ValidObjectFlags(object.Flags))
            Fail("Object '" + object.Name + "' has invalid flags");
        if (!IsIdentifier(object.ClassName, true))
            Fail("Class name '" + object.ClassName + "' is not an identifier");
        if (!object.Name.empty() && !IsIdentifier(object.Name, false))
            Fail("Object name '" + object.Name + "' is not an identifier");
        out_.append(static_cast<size_t>(indent), ' ');
        if ((object.Flags & ffInline) != 0)
            out_ += "inline ";
        else if ((object.Flags & ffInherited) != 0)
            out_ += "inherited ";
        else
            out_ += "object ";
        if (!object.Name.empty())
            out_ += object.Name + ": ";
        out_ += object.ClassName;
        if ((object.Flags & ffChildPos) != 0)
            out_ += " [" + std::to_string(object.ChildPos) + "]";
        for (const TFormProperty& property : object.Properties)
            RenderProperty(property, indent + 2);
        for (const TFormObject& child : object.Children) {
            out_ += "\r\n";
            RenderObject(child, indent + 2);
        }
        NewLine(indent);
        out_ += "end";
    }

    void RenderProperty(const TFormProperty& property, int indent) {
        if (!IsIdentifier(property.Name, true))
            Fail("Property name '" + property.Name + "' is not an identifier");
        NewLine(indent);
        out_ += property.Name;
        out_ += " =";
        if (IsStringType(property.Value.Type)) {
            const std::vector<AnsiString> pieces = RenderString(property.Value.AsWideText());
            if (pieces.size() == 1) {
                out_ += ' ';
                out_ += pieces.front();
                return;
            }
            for (size_t i = 0; i < pieces.size(); ++i) {
                NewLine(indent + 2);
                out_ += pieces[i];
                if (i + 1 < pieces.size())
                    out_ += " +";
            }
            return;
        }
        out_ += ' ';
        RenderValue(property.Value, indent, property.Name);
    }

    // Starts where the value begins on the current line; nested lines are indented from `indent`.
    void RenderValue(const TFormValue& value, int indent, const AnsiString& property) {
        const auto context = [&property] { return "Value of property '" + property + "'"; };
        switch (value.Type) {
        case TValueType::vaInt8:
        case TValueType::vaInt16:
        case TValueType::vaInt32:
        case TValueType::vaInt64:
            out_ += std::to_string(value.Integer);
            return;
        case TValueType::vaExtended: {
            BinaryFloat decoded;
            if (!DecodeExtended(value.Extended, decoded))
                Fail(context() + " is not a finite number");
            out_ += FormatDecimal(decoded.Negative, ShortestDecimal(decoded, kExtendedFormat));
            return;
        }
        case TValueType::vaSingle: {
            float number = 0;
            BinaryFloat decoded;
            if (!DoubleToSingle(value.Float, number) || !DecodeSingle(number, decoded))
                Fail(context() + " is not a finite single-precision number");
            out_ += FormatDecimal(decoded.Negative, ShortestDecimal(decoded, kSingleFormat)) + "s";
            return;
        }
        case TValueType::vaDate: {
            BinaryFloat decoded;
            if (!DecodeDouble(value.Float, decoded))
                Fail(context() + " is not a finite number");
            out_ += FormatDecimal(decoded.Negative, ShortestDecimal(decoded, kDoubleFormat)) + "d";
            return;
        }
        case TValueType::vaCurrency:
            out_ += FormatCurrency(value.Integer);
            return;
        case TValueType::vaString:
        case TValueType::vaLString:
        case TValueType::vaWString:
        case TValueType::vaUTF8String: {
            const std::vector<AnsiString> pieces = RenderString(value.AsWideText());
            for (size_t i = 0; i < pieces.size(); ++i) {
                if (i > 0) {
                    out_ += " +";
                    NewLine(indent);
                }
                out_ += pieces[i];
            }
            return;
        }
        case TValueType::vaIdent:
            if (!IsIdentifier(value.Text, true))
                Fail(context() + " is not an identifier");
            out_ += value.Text;
            return;
        case TValueType::vaFalse:
            out_ += "False";
            return;
        case TValueType::vaTrue:
            out_ += "True";
            return;
        case TValueType::vaNil:
            out_ += "nil";
            return;
        case TValueType::vaSet:
            out_ += '[';
            for (size_t i = 0; i < value.SetItems.size(); ++i) {
                if (!IsIdentifier(value.SetItems[i], false))
                    Fail(context() + " has a set element that is not an identifier");
                if (i > 0)
                    out_ += ", ";
                out_ += value.SetItems[i];
            }
            out_ += ']';
            return;
        case TValueType::vaList: {
            NestingGuard guard(depth_, TooDeep());
            out_ += '(';
            for (const TFormValue& item : value.List) {
                NewLine(indent + 2);
                RenderValue(item, indent + 2, property);
            }
            out_ += ')';
            return;
        }
        case TValueType::vaBinary: {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out_ += '{';
            for (size_t i = 0; i < value.Text.size(); ++i) {
                if (i % (kHexDigitsPerLine / 2) == 0)
                    NewLine(indent + 2);
                const auto byte = static_cast<unsigned char>(value.Text[i]);
                out_ += kHex[byte >> 4];
                out_ += kHex[byte & 15];
            }
            out_ += '}';
            return;
        }
        case TValueType::vaCollection: {
            NestingGuard guard(depth_, TooDeep());
            out_ += '<';
            for (const TFormCollectionItem& item : value.Collection) {
                NewLine(indent + 2);
                out_ += "item";
                if (item.Order)
                    out_ += " [" + std::to_string(*item.Order) + "]";
                for (const TFormProperty& itemProperty : item.Properties)
                    RenderProperty(itemProperty, indent + 4);
                NewLine(indent + 2);
                out_ += "end";
            }
            out_ += '>';
            return;
        }
        case TValueType::vaNull:
            break;
        }
        Fail(context() + " has no valid type");
    }

    AnsiString out_;
    int depth_ = 0;
};

const TFormProperty* FindPropertyIn(const std::vector<TFormProperty>& properties, const AnsiString& name) {
    for (const TFormProperty& property : properties) {
        if (SameTextAscii(property.Name, name))
            return &property;
    }
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TFormValue

TFormValue TFormValue::FromInteger(int64_t value) {
    TFormValue result;
    result.Integer = value;
    if (value >= INT8_MIN && value <= INT8_MAX)
        result.Type = TValueType::vaInt8;
    else if (value >= INT16_MIN && value <= INT16_MAX)
        result.Type = TValueType::vaInt16;
    else if (value >= INT32_MIN && value <= INT32_MAX)
        result.Type = TValueType::vaInt32;
    else
        result.Type = TValueType::vaInt64;
    return result;
}

TFormValue TFormValue::FromBoolean(bool value) {
    TFormValue result;
    result.Type = value ? TValueType::vaTrue : TValueType::vaFalse;
    return result;
}

TFormValue TFormValue::FromIdent(AnsiString ident) {
    TFormValue result;
    result.Type = TValueType::vaIdent;
    result.Text = std::move(ident);
    return result;
}

TFormValue TFormValue::FromText(const WideString& text) {
    TFormValue result;
    if (std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x80; })) {
        result.Type = text.size() <= 255 ? TValueType::vaString : TValueType::vaLString;
        result.Text.assign(text.begin(), text.end());
    } else {
        result.Type = TValueType::vaWString;
        result.Wide = text;
    }
    return result;
}

TFormValue TFormValue::FromExtended(double value) {
    BinaryFloat decoded;
    if (!DecodeDouble(value, decoded))
        throw EConvertError("Invalid floating point value");
    if (decoded.Mantissa != 0) {
        // A double always fits an extended exactly; only the mantissa needs its leading one at bit 63.
        const int shift = 64 - std::bit_width(decoded.Mantissa);
        decoded.Mantissa <<= shift;
        decoded.Exponent -= shift;
    }
    TFormValue result;
    result.Type = TValueType::vaExtended;
    result.Extended = EncodeExtended(decoded);
    return result;
}

TFormValue TFormValue::FromSingle(float value) {
    if (!std::isfinite(value))
        throw EConvertError("Invalid floating point value");
    TFormValue result;
    result.Type = TValueType::vaSingle;
    result.Float = value;
    return result;
}

TFormValue TFormValue::FromCurrency(int64_t amountTimes10000) {
    TFormValue result;
    result.Type = TValueType::vaCurrency;
    result.Integer = amountTimes10000;
    return result;
}

TFormValue TFormValue::FromDate(double value) {
    if (!std::isfinite(value))
        throw EConvertError("Invalid floating point value");
    TFormValue result;
    result.Type = TValueType::vaDate;
    result.Float = value;
    return result;
}

TFormValue TFormValue::FromBinary(AnsiString bytes) {
    TFormValue result;
    result.Type = TValueType::vaBinary;
    result.Text = std::move(bytes);
    return result;
}

TFormValue TFormValue::FromSet(std::vector<AnsiString> items) {
    TFormValue result;
    result.Type = TValueType::vaSet;
    result.SetItems = std::move(items);
    return result;
}

TFormValue TFormValue::FromList(std::vector<TFormValue> items) {
    TFormValue result;
    result.Type = TValueType::vaList;
    result.List = std::move(items);
    return result;
}

TFormValue TFormValue::Nil() {
    TFormValue result;
    result.Type = TValueType::vaNil;
    return result;
}

bool TFormValue::IsInteger() const {
    return Type == TValueType::vaInt8 || Type == TValueType::vaInt16 || Type == TValueType::vaInt32 ||
           Type == TValueType::vaInt64;
}

bool TFormValue::IsFloat() const {
    return Type == TValueType::vaExtended || Type == TValueType::vaSingle || Type == TValueType::vaCurrency ||
           Type == TValueType::vaDate;
}

bool TFormValue::IsText() const {
    return IsStringType(Type);
}

bool TFormValue::IsBoolean() const {
    return Type == TValueType::vaFalse || Type == TValueType::vaTrue;
}

int64_t TFormValue::AsInteger() const {
    if (!IsInteger())
        ThrowConvert("integer");
    return Integer;
}

bool TFormValue::AsBoolean() const {
    if (!IsBoolean())
        ThrowConvert("boolean");
    return Type == TValueType::vaTrue;
}

double TFormValue::AsFloat() const {
    switch (Type) {
    case TValueType::vaExtended: {
        BinaryFloat decoded;
        if (!DecodeExtended(Extended, decoded))
            ThrowConvert("finite number");
        return ExtendedToDouble(decoded);
    }
    case TValueType::vaSingle:
    case TValueType::vaDate:
        return Float;
    case TValueType::vaCurrency:
        return static_cast<double>(Integer) / 10000.0;
    default:
        if (IsInteger())
            return static_cast<double>(Integer);
        ThrowConvert("number");
    }
}

const AnsiString& TFormValue::AsIdent() const {
    if (Type != TValueType::vaIdent)
        ThrowConvert("identifier");
    return Text;
}

WideString TFormValue::AsWideText() const {
    if (Type == TValueType::vaString || Type == TValueType::vaLString) {
        WideString widened;
        widened.reserve(Text.size());
        for (char c : Text)
            widened += static_cast<char16_t>(static_cast<unsigned char>(c));
        return widened;
    }
    if (Type == TValueType::vaWString || Type == TValueType::vaUTF8String)
        return Wide;
    ThrowConvert("string");
}

const AnsiString& TFormValue::AsBinary() const {
    if (Type != TValueType::vaBinary)
        ThrowConvert("binary data");
    return Text;
}

bool TFormValue::operator==(const TFormValue& other) const = default;
bool TFormProperty::operator==(const TFormProperty& other) const = default;
bool TFormCollectionItem::operator==(const TFormCollectionItem& other) const = default;
bool TFormObject::operator==(const TFormObject& other) const = default;

const TFormProperty* TFormCollectionItem::FindProperty(const AnsiString& name) const {
    return FindPropertyIn(Properties, name);
}

const TFormProperty* TFormObject::FindProperty(const AnsiString& name) const {
    return FindPropertyIn(Properties, name);
}

const TFormObject* TFormObject::FindChild(const AnsiString& name) const {
    for (const TFormObject& child : Children) {
        if (SameTextAscii(child.Name, name))
            return &child;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Conversions

TFormObject ReadFormBinary(const uint8_t* data, size_t size) {
    if (data == nullptr && size != 0)
        throw EReadError("Stream read error");
    return FormStreamReader(data, size).ReadRoot();
}

TFormObject ReadFormBinary(const std::vector<uint8_t>& data) {
    return ReadFormBinary(data.data(), data.size());
}

std::vector<uint8_t> WriteFormBinary(const TFormObject& root) {
    return FormStreamWriter().Write(root);
}

TFormObject ParseFormText(const AnsiString& text) {
    return FormTextParser(text).ParseRoot();
}

AnsiString RenderFormText(const TFormObject& root) {
    return FormTextRenderer().Render(root);
}
