#include "Format.h"

#include "TextConversion.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "Exceptions.h"

// ---------------------------------------------------------------------------------------------------------
// TVarRec

namespace {

[[noreturn]] void ThrowWrongArgumentKind() {
    throw EConvertError("Format argument accessed as the wrong kind");
}

template <typename T, typename Storage> const T& AlternativeOrThrow(const Storage& storage) {
    if (const T* value = std::get_if<T>(&storage))
        return *value;
    ThrowWrongArgumentKind();
}

} // namespace

int32_t TVarRec::AsInteger() const {
    if (kind_ != Kind::Integer)
        ThrowWrongArgumentKind();
    return static_cast<int32_t>(std::get<int64_t>(value_));
}

int64_t TVarRec::AsInt64() const {
    if (kind_ != Kind::Integer && kind_ != Kind::Int64)
        ThrowWrongArgumentKind();
    return std::get<int64_t>(value_);
}

long double TVarRec::AsExtended() const {
    return AlternativeOrThrow<long double>(value_);
}

char TVarRec::AsChar() const {
    if (kind_ != Kind::Char)
        ThrowWrongArgumentKind();
    return static_cast<char>(std::get<char16_t>(value_));
}

char16_t TVarRec::AsWideChar() const {
    if (kind_ != Kind::WideChar)
        ThrowWrongArgumentKind();
    return std::get<char16_t>(value_);
}

const AnsiString& TVarRec::AsAnsiString() const {
    return AlternativeOrThrow<AnsiString>(value_);
}
const WideString& TVarRec::AsWideString() const {
    return AlternativeOrThrow<WideString>(value_);
}
const void* TVarRec::AsPointer() const {
    return AlternativeOrThrow<const void*>(value_);
}

// ---------------------------------------------------------------------------------------------------------
// Settings and hook points

TFormatSettings& DefaultFormatSettings() {
    static TFormatSettings settings;
    return settings;
}

namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Constant-initialised, so the hooks are valid before any static constructor runs.
std::atomic<TWideFormatRoutine> wideFormatRoutine{&WideFormatBuiltIn};
// By default the runtime's own conversions, so that one code page applies everywhere.
std::atomic<TAnsiToWideRoutine> ansiToWideRoutine{&AnsiToWide};
std::atomic<TWideToAnsiRoutine> wideToAnsiRoutine{&WideToAnsi};

WideString ConvertAnsiToWide(const AnsiString& text) {
    return ansiToWideRoutine.load()(text);
}
AnsiString ConvertWideToAnsi(const WideString& text) {
    return wideToAnsiRoutine.load()(text);
}

} // namespace

TWideFormatRoutine SetWideFormatRoutine(TWideFormatRoutine routine) {
    return wideFormatRoutine.exchange(routine ? routine : &WideFormatBuiltIn);
}

void SetFormatConversionRoutines(TAnsiToWideRoutine ansiToWide, TWideToAnsiRoutine wideToAnsi) {
    ansiToWideRoutine.store(ansiToWide ? ansiToWide : &AnsiToWide);
    wideToAnsiRoutine.store(wideToAnsi ? wideToAnsi : &WideToAnsi);
}

// ---------------------------------------------------------------------------------------------------------
// Decimal digits of a floating-point value

namespace {

constexpr int MaxFieldSize = 1000000;
constexpr int MaxFloatDigits = 18;
constexpr int DefaultSignificantDigits = 15;
constexpr int DefaultFixedDecimals = 2;

// Digits are asked for this far beyond the last one shown. A value exactly halfway between two results
// has just one digit beyond the last shown, so it comes out exactly and rounds away from zero; any other
// value would need a run of this many 9s or 0s after the last shown digit to be rounded the wrong way.
constexpr int GuardDigits = 40;

// A finite value as 0.DIGITS x 10^PointPosition: PointPosition is the number of digits before the
// decimal point. Empty digits mean zero.
struct DecimalNumber {
    bool negative = false;
    std::string digits;
    int pointPosition = 0;
};

int PrintScientific(char* buffer, size_t size, int decimals, long double value) {
#if defined(__MINGW32__)
    // The Microsoft C runtime's printf has no 80-bit long double; MinGW's own one has.
    return __mingw_snprintf(buffer, size, "%.*Le", decimals, value);
#else
    return std::snprintf(buffer, size, "%.*Le", decimals, value);
#endif
}

DecimalNumber DecimalDigitsOf(long double value, int significantDigits) {
    std::vector<char> buffer(static_cast<size_t>(significantDigits) + 32);
    int length = PrintScientific(buffer.data(), buffer.size(), significantDigits - 1, value);
    if (length < 0 || static_cast<size_t>(length) >= buffer.size())
        throw EConvertError("Floating-point value could not be converted to text");

    // Layout is "[-]d.ddd...e(+|-)dd".
    DecimalNumber number;
    const char* cursor = buffer.data();
    if (*cursor == '-') {
        number.negative = true;
        ++cursor;
    }
    for (; *cursor != 'e' && *cursor != 'E' && *cursor != '\0'; ++cursor) {
        if (*cursor >= '0' && *cursor <= '9')
            number.digits.push_back(*cursor);
    }
    int exponent = 0;
    if (*cursor != '\0') {
        ++cursor;
        bool negativeExponent = *cursor == '-';
        if (*cursor == '-' || *cursor == '+')
            ++cursor;
        for (; *cursor >= '0' && *cursor <= '9'; ++cursor)
            exponent = exponent * 10 + (*cursor - '0');
        if (negativeExponent)
            exponent = -exponent;
    }
    size_t lastNonZero = number.digits.find_last_not_of('0');
    if (lastNonZero == std::string::npos) {
        number.digits.clear();
        number.pointPosition = 0;
    } else {
        number.digits.resize(lastNonZero + 1);
        number.pointPosition = exponent + 1;
    }
    return number;
}

// Rounds half away from zero, as money and everyday figures are rounded.
void RoundToDigitCount(DecimalNumber& number, int keep) {
    if (static_cast<int>(number.digits.size()) <= keep)
        return;
    if (keep < 0) {
        number.digits.clear();
        return;
    }
    bool roundUp = number.digits[static_cast<size_t>(keep)] >= '5';
    number.digits.resize(static_cast<size_t>(keep));
    if (roundUp) {
        size_t i = number.digits.size();
        while (i > 0 && number.digits[i - 1] == '9')
            --i;
        if (i == 0) {
            number.digits = "1";
            ++number.pointPosition;
        } else {
            number.digits.resize(i);
            ++number.digits[i - 1];
        }
    }
    size_t lastNonZero = number.digits.find_last_not_of('0');
    number.digits.resize(lastNonZero == std::string::npos ? 0 : lastNonZero + 1);
}

DecimalNumber RoundedToSignificantDigits(long double value, int significantDigits) {
    DecimalNumber number = DecimalDigitsOf(value, significantDigits + GuardDigits);
    RoundToDigitCount(number, significantDigits);
    return number;
}

template <typename CharT> CharT* UnsignedDigits(uint64_t value, unsigned base, CharT* end);

// A 128-bit product of two 64-bit numbers in 32-bit halves, so it works where the compiler has no
// 128-bit integers (32-bit targets).
struct Wide128 {
    uint64_t high;
    uint64_t low;
};

Wide128 Multiply64(uint64_t a, uint64_t b) {
    const uint64_t aLow = a & 0xFFFFFFFFu, aHigh = a >> 32;
    const uint64_t bLow = b & 0xFFFFFFFFu, bHigh = b >> 32;
    const uint64_t lowLow = aLow * bLow;
    const uint64_t lowHigh = aLow * bHigh;
    const uint64_t highLow = aHigh * bLow;
    const uint64_t middle = (lowLow >> 32) + (lowHigh & 0xFFFFFFFFu) + (highLow & 0xFFFFFFFFu);
    return {aHigh * bHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32),
            (middle << 32) | (lowLow & 0xFFFFFFFFu)};
}

bool BitIsSet(const Wide128& number, int bit) {
    return bit >= 64 ? ((number.high >> (bit - 64)) & 1) != 0 : ((number.low >> bit) & 1) != 0;
}

// |value| x 10^decimals rounded half away from zero, computed exactly from the value's binary
// mantissa and exponent; nothing when the result (or a step towards it) needs more than 64 bits.
// It gives what the decimal expansion gives, at a fraction of the cost of printing the digits.
std::optional<uint64_t> ScaledMagnitude(long double value, int decimals) {
    if (decimals < 0 || decimals > 19)
        return std::nullopt;
    uint64_t power = 1;
    for (int i = 0; i < decimals; ++i)
        power *= 10;
    int exponent = 0;
    const long double fraction = std::frexp(std::fabs(value), &exponent);
    if (fraction == 0)
        return uint64_t{0};
    // Every long double mantissa has at most 64 bits, so this is an exact integer.
    const auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
    if (static_cast<long double>(mantissa) != std::ldexp(fraction, 64))
        return std::nullopt;
    const int shift = exponent - 64;
    if (shift >= 0) {
        if (shift >= 64 || mantissa > (UINT64_MAX >> shift))
            return std::nullopt;
        const uint64_t integer = mantissa << shift;
        if (integer > UINT64_MAX / power)
            return std::nullopt;
        return integer * power;
    }
    // mantissa x power / 2^drop, rounded up when the first dropped bit (the half) is set.
    const int drop = -shift;
    const Wide128 product = Multiply64(mantissa, power);
    uint64_t kept;
    if (drop >= 129)
        return uint64_t{0};
    if (drop == 128) {
        kept = 0;
    } else if (drop >= 64) {
        kept = product.high >> (drop - 64);
    } else {
        if ((product.high >> drop) != 0)
            return std::nullopt;
        kept = (product.high << (64 - drop)) | (product.low >> drop);
    }
    if (BitIsSet(product, drop - 1)) {
        if (kept == UINT64_MAX)
            return std::nullopt;
        ++kept;
    }
    return kept;
}

DecimalNumber RoundedToDecimals(long double value, int decimals) {
    if (const std::optional<uint64_t> scaled = ScaledMagnitude(value, decimals)) {
        DecimalNumber number;
        if (*scaled == 0)
            return number;
        number.negative = std::signbit(value);
        char buffer[24];
        char* const end = buffer + sizeof buffer;
        const char* first = UnsignedDigits(*scaled, 10, end);
        number.pointPosition = static_cast<int>(end - first) - decimals;
        const char* last = end;
        while (last[-1] == '0')
            --last;
        number.digits.assign(first, last);
        return number;
    }
    // Enough for any value below 10; larger values are printed again once their size is known.
    int firstGuess = 1 + decimals + GuardDigits;
    DecimalNumber number = DecimalDigitsOf(value, firstGuess);
    int needed = number.pointPosition + decimals + GuardDigits;
    if (needed > firstGuess)
        number = DecimalDigitsOf(value, needed);
    RoundToDigitCount(number, number.pointPosition + decimals);
    return number;
}

char DigitAt(const DecimalNumber& number, int index) {
    return index >= 0 && index < static_cast<int>(number.digits.size())
               ? number.digits[static_cast<size_t>(index)]
               : '0';
}

// ---------------------------------------------------------------------------------------------------------
// The formatter, shared by the ANSI and the wide form

template <typename CharT> struct TextKind;

template <> struct TextKind<char> {
    static AnsiString FromAnsi(const AnsiString& text) { return text; }
    static AnsiString FromWide(const WideString& text) { return ConvertWideToAnsi(text); }
    static AnsiString ToAnsi(const AnsiString& text) { return text; }
};

template <> struct TextKind<char16_t> {
    static WideString FromAnsi(const AnsiString& text) { return ConvertAnsiToWide(text); }
    static WideString FromWide(const WideString& text) { return text; }
    static AnsiString ToAnsi(const WideString& text) { return ConvertWideToAnsi(text); }
};

// The settings' symbols in the output's own text type, converted once per call.
template <typename CharT> struct LocalSymbols {
    using String = std::basic_string<CharT>;

    explicit LocalSymbols(const TFormatSettings& settings)
        : decimalSeparator(TextKind<CharT>::FromWide(WideString(1, settings.DecimalSeparator))),
          thousandSeparator(settings.ThousandSeparator == 0
                                ? String()
                                : TextKind<CharT>::FromWide(WideString(1, settings.ThousandSeparator))),
          currencyString(TextKind<CharT>::FromWide(settings.CurrencyString)),
          currencyFormat(settings.CurrencyFormat), negCurrFormat(settings.NegCurrFormat),
          currencyDecimals(std::min<int>(settings.CurrencyDecimals, MaxFloatDigits)) {}

    String decimalSeparator;
    String thousandSeparator;
    String currencyString;
    int currencyFormat;
    int negCurrFormat;
    int currencyDecimals;
};

template <typename CharT> void AppendAscii(std::basic_string<CharT>& out, std::string_view ascii) {
    for (char c : ascii)
        out.push_back(static_cast<CharT>(c));
}

template <typename CharT>
void AppendDigitGroups(std::basic_string<CharT>& out, const std::string& digits,
                       const std::basic_string<CharT>& separator) {
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += separator;
        out.push_back(static_cast<CharT>(digits[i]));
    }
}

std::string IntegerDigits(const DecimalNumber& number) {
    if (number.pointPosition <= 0)
        return "0";
    std::string digits;
    digits.reserve(static_cast<size_t>(number.pointPosition));
    for (int i = 0; i < number.pointPosition; ++i)
        digits.push_back(DigitAt(number, i));
    return digits;
}

// An already rounded number without its sign, in fixed notation.
template <typename CharT>
std::basic_string<CharT> FixedMagnitudeText(const DecimalNumber& number, int decimals, bool grouped,
                                            const LocalSymbols<CharT>& symbols) {
    std::basic_string<CharT> out;
    std::string integerDigits = IntegerDigits(number);
    if (grouped)
        AppendDigitGroups(out, integerDigits, symbols.thousandSeparator);
    else
        AppendAscii(out, integerDigits);
    if (decimals > 0) {
        out += symbols.decimalSeparator;
        for (int i = 0; i < decimals; ++i)
            out.push_back(static_cast<CharT>(DigitAt(number, number.pointPosition + i)));
    }
    return out;
}

// A result that rounds to zero is written without a sign: "-0.00" would claim a value that isn't there.
bool ShowsMinus(const DecimalNumber& number) {
    return number.negative && !number.digits.empty();
}

template <typename CharT> std::basic_string<CharT> NonFiniteText(long double value) {
    std::basic_string<CharT> out;
    AppendAscii(out, std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF"));
    return out;
}

template <typename CharT>
std::basic_string<CharT> ScientificText(long double value, int significantDigits,
                                        const LocalSymbols<CharT>& symbols) {
    DecimalNumber number = RoundedToSignificantDigits(value, significantDigits);
    std::basic_string<CharT> out;
    if (ShowsMinus(number))
        out.push_back('-');
    out.push_back(static_cast<CharT>(DigitAt(number, 0)));
    if (significantDigits > 1) {
        out += symbols.decimalSeparator;
        for (int i = 1; i < significantDigits; ++i)
            out.push_back(static_cast<CharT>(DigitAt(number, i)));
    }
    int exponent = number.digits.empty() ? 0 : number.pointPosition - 1;
    char exponentText[16];
    std::snprintf(exponentText, sizeof exponentText, "E%c%03d", exponent < 0 ? '-' : '+',
                  exponent < 0 ? -exponent : exponent);
    AppendAscii(out, exponentText);
    return out;
}

template <typename CharT>
std::basic_string<CharT> GeneralText(long double value, int significantDigits,
                                     const LocalSymbols<CharT>& symbols) {
    DecimalNumber number = RoundedToSignificantDigits(value, significantDigits);
    std::basic_string<CharT> out;
    if (number.digits.empty()) {
        out.push_back('0');
        return out;
    }
    if (number.negative)
        out.push_back('-');
    int exponent = number.pointPosition - 1;
    const std::string& digits = number.digits;
    if (exponent >= significantDigits || exponent < -5) {
        out.push_back(static_cast<CharT>(digits[0]));
        if (digits.size() > 1) {
            out += symbols.decimalSeparator;
            AppendAscii(out, std::string_view(digits).substr(1));
        }
        AppendAscii(out, "E" + std::to_string(exponent));
        return out;
    }
    if (number.pointPosition <= 0) {
        out.push_back('0');
        out += symbols.decimalSeparator;
        out.append(static_cast<size_t>(-number.pointPosition), static_cast<CharT>('0'));
        AppendAscii(out, digits);
        return out;
    }
    AppendAscii(out, IntegerDigits(number));
    if (static_cast<int>(digits.size()) > number.pointPosition) {
        out += symbols.decimalSeparator;
        AppendAscii(out, std::string_view(digits).substr(static_cast<size_t>(number.pointPosition)));
    }
    return out;
}

template <typename CharT>
std::basic_string<CharT> FixedText(long double value, int decimals, bool grouped,
                                   const LocalSymbols<CharT>& symbols) {
    DecimalNumber number = RoundedToDecimals(value, decimals);
    std::basic_string<CharT> out;
    if (ShowsMinus(number))
        out.push_back('-');
    out += FixedMagnitudeText(number, decimals, grouped, symbols);
    return out;
}

// '$' stands for the currency string, '1' for the amount.
constexpr std::string_view PositiveCurrencyLayouts[] = {"$1", "1$", "$ 1", "1 $"};
constexpr std::string_view NegativeCurrencyLayouts[] = {
    "($1)", "-$1",  "$-1",  "$1-",  "(1$)", "-1$",  "1-$",   "1$-",
    "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)",
};

template <typename CharT>
std::basic_string<CharT> CurrencyText(long double value, int decimals, const LocalSymbols<CharT>& symbols) {
    DecimalNumber number = RoundedToDecimals(value, decimals);
    std::basic_string<CharT> amount = FixedMagnitudeText(number, decimals, true, symbols);
    // A layout number the table lacks (a corrupt locale) falls back to the first layout instead of
    // reading outside the table.
    std::string_view layout;
    if (ShowsMinus(number)) {
        int index = symbols.negCurrFormat;
        layout = NegativeCurrencyLayouts[index < 16 ? index : 0];
    } else {
        int index = symbols.currencyFormat;
        layout = PositiveCurrencyLayouts[index < 4 ? index : 0];
    }
    std::basic_string<CharT> out;
    for (char c : layout) {
        if (c == '$')
            out += symbols.currencyString;
        else if (c == '1')
            out += amount;
        else
            out.push_back(static_cast<CharT>(c));
    }
    return out;
}

// The digits of value written backwards, ending at end; returns where they start. 64 bits need at most
// 20 decimal digits.
// The digits of value in Base written backwards, ending at end; returns where they start.
template <unsigned Base, typename CharT> CharT* DigitsInBase(uint64_t value, CharT* end) {
    // 64-bit division is a library call on 32-bit targets; most values fit 32 bits.
    while (value > UINT32_MAX) {
        *--end = static_cast<CharT>("0123456789ABCDEF"[value % Base]);
        value /= Base;
    }
    auto small = static_cast<uint32_t>(value);
    do {
        *--end = static_cast<CharT>("0123456789ABCDEF"[small % Base]);
        small /= Base;
    } while (small != 0);
    return end;
}

template <typename CharT> CharT* UnsignedDigits(uint64_t value, unsigned base, CharT* end) {
    // Division by a divisor known at compile time is a multiplication; by a variable one it is the
    // slowest instruction there is, once per digit. Decimal is nearly every call.
    if (base == 10)
        return DigitsInBase<10>(value, end);
    if (base == 16)
        return DigitsInBase<16>(value, end);
    do {
        *--end = static_cast<CharT>("0123456789ABCDEF"[value % base]);
        value /= base;
    } while (value != 0);
    return end;
}

bool IsKnownType(char16_t type) {
    return type < 0x80 &&
           std::string_view("duxefgnmps").find(static_cast<char>(type)) != std::string_view::npos;
}

// Writes one field of a format into the output, padding included. Both formatters and the field entry
// point share it, so a field looks the same whoever parses the format.
template <typename CharT> class FieldWriter {
public:
    using String = std::basic_string<CharT>;

    explicit FieldWriter(const TFormatSettings& settings) : settings_(settings) {}

    // False, with nothing appended, when the type is unknown or the argument's kind does not suit it.
    bool Append(String& out, const TFormatDirective& directive, const TVarRec& arg) {
        const size_t start = out.size();
        if (!AppendUnpadded(out, directive, arg))
            return false;
        const size_t length = out.size() - start;
        const auto width = static_cast<size_t>(directive.Width);
        if (length < width) {
            if (directive.LeftJustify)
                out.append(width - length, static_cast<CharT>(' '));
            else
                out.insert(start, width - length, static_cast<CharT>(' '));
        }
        return true;
    }

private:
    // Only floats need the separators and currency symbols, so only they convert them.
    const LocalSymbols<CharT>& Symbols() {
        if (!symbols_)
            symbols_.emplace(settings_);
        return *symbols_;
    }

    bool AppendUnpadded(String& out, const TFormatDirective& directive, const TVarRec& arg) {
        using Kind = TVarRec::Kind;
        const Kind kind = arg.ValueKind();
        switch (directive.Type) {
        case u'd':
        case u'u':
        case u'x':
            if (kind != Kind::Integer && kind != Kind::Int64)
                return false;
            AppendInteger(out, directive, arg);
            return true;
        case u'e':
        case u'f':
        case u'g':
        case u'n':
        case u'm':
            if (kind != Kind::Extended)
                return false;
            out += FloatText(directive, arg.AsExtended());
            return true;
        case u'p': {
            if (kind != Kind::Pointer)
                return false;
            CharT buffer[24];
            CharT* const end = std::end(buffer);
            const CharT* const first = UnsignedDigits(reinterpret_cast<uintptr_t>(arg.AsPointer()), 16, end);
            out.append(sizeof(void*) * 2 - static_cast<size_t>(end - first), static_cast<CharT>('0'));
            out.append(first, static_cast<size_t>(end - first));
            return true;
        }
        case u's':
            return AppendString(out, directive, arg);
        }
        return false;
    }

    void AppendInteger(String& out, const TFormatDirective& directive, const TVarRec& arg) {
        bool is64 = arg.ValueKind() == TVarRec::Kind::Int64;
        int64_t value = arg.AsInt64();
        bool negative = false;
        uint64_t magnitude;
        if (directive.Type == u'd') {
            negative = value < 0;
            // Negating in unsigned arithmetic keeps the most negative value intact.
            magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        } else {
            magnitude = is64 ? static_cast<uint64_t>(value) : static_cast<uint32_t>(value);
        }
        CharT buffer[24];
        CharT* const end = std::end(buffer);
        const CharT* const first = UnsignedDigits(magnitude, directive.Type == u'x' ? 16 : 10, end);
        const auto count = static_cast<size_t>(end - first);
        if (negative)
            out.push_back('-');
        if (directive.Precision && static_cast<size_t>(*directive.Precision) > count)
            out.append(static_cast<size_t>(*directive.Precision) - count, static_cast<CharT>('0'));
        AppendRun(out, first, count);
    }

    String FloatText(const TFormatDirective& directive, long double value) {
        if (!std::isfinite(value))
            return NonFiniteText<CharT>(value);
        // Precision 0 still needs one significant digit.
        int significant = directive.Precision ? std::clamp(*directive.Precision, 1, MaxFloatDigits)
                                              : DefaultSignificantDigits;
        switch (directive.Type) {
        case u'e':
            return ScientificText(value, significant, Symbols());
        case u'g':
            return GeneralText(value, significant, Symbols());
        case u'f':
        case u'n':
            return FixedText(value,
                             std::min(directive.Precision.value_or(DefaultFixedDecimals), MaxFloatDigits),
                             directive.Type == u'n', Symbols());
        default:
            return CurrencyText(
                value, std::min(directive.Precision.value_or(Symbols().currencyDecimals), MaxFloatDigits),
                Symbols());
        }
    }

    // Text of the output's own kind is appended where it lies; the other kind is converted first.
    bool AppendString(String& out, const TFormatDirective& directive, const TVarRec& arg) {
        String converted;
        std::basic_string_view<CharT> text;
        switch (arg.ValueKind()) {
        case TVarRec::Kind::AnsiString:
            if constexpr (sizeof(CharT) == 1) {
                text = arg.AsAnsiString();
            } else {
                converted = TextKind<CharT>::FromAnsi(arg.AsAnsiString());
                text = converted;
            }
            break;
        case TVarRec::Kind::Char:
            converted = TextKind<CharT>::FromAnsi(AnsiString(1, arg.AsChar()));
            text = converted;
            break;
        case TVarRec::Kind::WideString:
            if constexpr (sizeof(CharT) == 2) {
                text = arg.AsWideString();
            } else {
                converted = TextKind<CharT>::FromWide(arg.AsWideString());
                text = converted;
            }
            break;
        case TVarRec::Kind::WideChar:
            converted = TextKind<CharT>::FromWide(WideString(1, arg.AsWideChar()));
            text = converted;
            break;
        default:
            return false;
        }
        if (directive.Precision && static_cast<size_t>(*directive.Precision) < text.size()) {
            size_t keep = static_cast<size_t>(*directive.Precision);
            // Cutting between the halves of a surrogate pair would leave half a character behind.
            if constexpr (sizeof(CharT) == 2) {
                if (keep > 0 && IsHighSurrogate(text[keep - 1]) && IsLowSurrogate(text[keep]))
                    --keep;
            }
            text = text.substr(0, keep);
        }
        AppendRun(out, text.data(), text.size());
        return true;
    }

    const TFormatSettings& settings_;
    std::optional<LocalSymbols<CharT>> symbols_;
};

template <typename CharT> class Formatter {
public:
    using String = std::basic_string<CharT>;

    Formatter(const String& format, const std::vector<TVarRec>& args, const TFormatSettings& settings)
        : format_(format), args_(args), fields_(settings) {}

    String Run() {
        String out;
        out.reserve(format_.size() + format_.size() / 2);
        while (position_ < format_.size()) {
            size_t percent = format_.find(static_cast<CharT>('%'), position_);
            if (percent == String::npos) {
                out.append(format_, position_, String::npos);
                break;
            }
            out.append(format_, position_, percent - position_);
            position_ = percent + 1;
            if (CurrentIs('%')) {
                out.push_back(static_cast<CharT>('%'));
                ++position_;
                continue;
            }
            AppendDirective(out);
        }
        return out;
    }

private:
    [[noreturn]] void FailInvalid() const {
        throw EConvertError("Format '" + TextKind<CharT>::ToAnsi(format_) +
                            "' invalid or incompatible with argument");
    }

    [[noreturn]] void FailNoArgument() const {
        throw EConvertError("No argument for format '" + TextKind<CharT>::ToAnsi(format_) + "'");
    }

    bool CurrentIs(char c) const {
        return position_ < format_.size() && format_[position_] == static_cast<CharT>(c);
    }

    bool CurrentIsDigit() const {
        return position_ < format_.size() && format_[position_] >= '0' && format_[position_] <= '9';
    }

    const TVarRec& TakeArgument() {
        if (argumentIndex_ >= args_.size())
            FailNoArgument();
        return args_[argumentIndex_++];
    }

    // A decimal number or '*' (the next argument, which must be an Integer); nothing when neither is
    // there. A written number above the field limit makes the format invalid.
    std::optional<int> ParseCount() {
        if (CurrentIs('*')) {
            ++position_;
            const TVarRec& arg = TakeArgument();
            if (arg.ValueKind() != TVarRec::Kind::Integer)
                FailInvalid();
            return arg.AsInteger();
        }
        if (!CurrentIsDigit())
            return std::nullopt;
        int value = 0;
        while (CurrentIsDigit()) {
            value = value * 10 + static_cast<int>(format_[position_] - '0');
            if (value > MaxFieldSize)
                FailInvalid();
            ++position_;
        }
        return value;
    }

    // The cursor is on the colon after an argument index.
    void SelectArgument(std::optional<int> index) {
        if (!index || *index < 0 || *index > MaxFieldSize)
            FailInvalid();
        argumentIndex_ = static_cast<size_t>(*index);
        ++position_;
    }

    // Counts taken from '*' follow the C rules: a negative width left-justifies, a negative precision
    // counts as none. Beyond that, every count must lie within the field limit.
    TFormatDirective ParseDirective() {
        TFormatDirective directive;
        std::optional<int> count = ParseCount();
        if (CurrentIs(':')) {
            SelectArgument(count);
            count.reset();
            // After a written index the index may still come from an argument ("%0:*:d" reads the
            // index from argument 0), so rewriting "%*:d" with its position keeps its meaning.
            if (CurrentIs('*')) {
                count = ParseCount();
                if (CurrentIs(':')) {
                    SelectArgument(count);
                    count.reset();
                }
            }
        }
        if (!count) {
            if (CurrentIs('-')) {
                directive.LeftJustify = true;
                ++position_;
            }
            count = ParseCount();
        }
        if (count) {
            if (*count < 0) {
                directive.LeftJustify = true;
                if (*count < -MaxFieldSize)
                    FailInvalid();
                directive.Width = -*count;
            } else {
                if (*count > MaxFieldSize)
                    FailInvalid();
                directive.Width = *count;
            }
        }
        if (CurrentIs('.')) {
            ++position_;
            std::optional<int> precision = ParseCount();
            if (precision && *precision > MaxFieldSize)
                FailInvalid();
            if (!precision)
                directive.Precision = 0;
            else if (*precision >= 0)
                directive.Precision = precision;
        }
        if (position_ >= format_.size())
            FailInvalid();
        const auto type = static_cast<std::make_unsigned_t<CharT>>(format_[position_++]);
        directive.Type = static_cast<char16_t>((type >= 'A' && type <= 'Z') ? type - 'A' + 'a' : type);
        return directive;
    }

    void AppendDirective(String& out) {
        const TFormatDirective directive = ParseDirective();
        if (!IsKnownType(directive.Type))
            FailInvalid();
        if (!fields_.Append(out, directive, TakeArgument()))
            FailInvalid();
    }

    const String& format_;
    const std::vector<TVarRec>& args_;
    FieldWriter<CharT> fields_;
    size_t position_ = 0;
    size_t argumentIndex_ = 0;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Entry points

AnsiString Format(const AnsiString& format, const std::vector<TVarRec>& args) {
    return Format(format, args, DefaultFormatSettings());
}

AnsiString Format(const AnsiString& format, const std::vector<TVarRec>& args,
                  const TFormatSettings& settings) {
    return Formatter<char>(format, args, settings).Run();
}

WideString WideFormat(const WideString& format, const std::vector<TVarRec>& args) {
    return WideFormat(format, args, DefaultFormatSettings());
}

WideString WideFormat(const WideString& format, const std::vector<TVarRec>& args,
                      const TFormatSettings& settings) {
    return wideFormatRoutine.load()(format, args, settings);
}

bool AppendWideField(WideString& out, const TFormatDirective& directive, const TVarRec& arg,
                     const TFormatSettings& settings) {
    return FieldWriter<char16_t>(settings).Append(out, directive, arg);
}

WideString WideFormatBuiltIn(const WideString& format, const std::vector<TVarRec>& args,
                             const TFormatSettings& settings) {
    return Formatter<char16_t>(format, args, settings).Run();
}

size_t WideFormatBuf(char16_t* buffer, size_t capacity, std::u16string_view format,
                     const std::vector<TVarRec>& args) {
    return WideFormatBuf(buffer, capacity, format, args, DefaultFormatSettings());
}

size_t WideFormatBuf(char16_t* buffer, size_t capacity, std::u16string_view format,
                     const std::vector<TVarRec>& args, const TFormatSettings& settings) {
    const WideString formatText(format);
    const WideString text = Formatter<char16_t>(formatText, args, settings).Run();
    if (buffer == nullptr)
        return 0;
    const size_t count = std::min(capacity, text.size());
    std::copy_n(text.begin(), count, buffer);
    return count;
}

AnsiString FloatToStr(long double value) {
    return FloatToStr(value, DefaultFormatSettings());
}

AnsiString FloatToStr(long double value, const TFormatSettings& settings) {
    if (!std::isfinite(value))
        return NonFiniteText<char>(value);
    return GeneralText(value, DefaultSignificantDigits, LocalSymbols<char>(settings));
}
