#include "Format.h"

#include "TextConversion.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <optional>
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

DecimalNumber RoundedToDecimals(long double value, int decimals) {
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

std::string UnsignedDigits(uint64_t value, unsigned base) {
    std::string digits;
    do {
        digits.push_back("0123456789ABCDEF"[value % base]);
        value /= base;
    } while (value != 0);
    return std::string(digits.rbegin(), digits.rend());
}

template <typename CharT> class Formatter {
public:
    using String = std::basic_string<CharT>;

    Formatter(const String& format, const std::vector<TVarRec>& args, const TFormatSettings& settings)
        : format_(format), args_(args), symbols_(settings) {}

    String Run() {
        String out;
        out.reserve(format_.size());
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
    struct Directive {
        bool leftJustify = false;
        int width = 0;
        std::optional<int> precision;
        CharT type = 0;
    };

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
    Directive ParseDirective() {
        Directive directive;
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
                directive.leftJustify = true;
                ++position_;
            }
            count = ParseCount();
        }
        if (count) {
            if (*count < 0) {
                directive.leftJustify = true;
                if (*count < -MaxFieldSize)
                    FailInvalid();
                directive.width = -*count;
            } else {
                if (*count > MaxFieldSize)
                    FailInvalid();
                directive.width = *count;
            }
        }
        if (CurrentIs('.')) {
            ++position_;
            std::optional<int> precision = ParseCount();
            if (precision && *precision > MaxFieldSize)
                FailInvalid();
            if (!precision)
                directive.precision = 0;
            else if (*precision >= 0)
                directive.precision = precision;
        }
        if (position_ >= format_.size())
            FailInvalid();
        CharT type = format_[position_++];
        directive.type = (type >= 'A' && type <= 'Z') ? static_cast<CharT>(type - 'A' + 'a') : type;
        return directive;
    }

    void AppendDirective(String& out) {
        Directive directive = ParseDirective();
        if (!IsKnownType(directive.type))
            FailInvalid();
        String field = RenderField(directive, TakeArgument());
        if (static_cast<int>(field.size()) >= directive.width) {
            out += field;
        } else if (directive.leftJustify) {
            out += field;
            out.append(static_cast<size_t>(directive.width) - field.size(), static_cast<CharT>(' '));
        } else {
            out.append(static_cast<size_t>(directive.width) - field.size(), static_cast<CharT>(' '));
            out += field;
        }
    }

    static bool IsKnownType(CharT type) {
        for (char known : std::string_view("duxefgnmps")) {
            if (type == static_cast<CharT>(known))
                return true;
        }
        return false;
    }

    String RenderField(const Directive& directive, const TVarRec& arg) {
        using Kind = TVarRec::Kind;
        Kind kind = arg.ValueKind();
        switch (static_cast<char>(directive.type)) {
        case 'd':
        case 'u':
        case 'x':
            if (kind != Kind::Integer && kind != Kind::Int64)
                FailInvalid();
            return IntegerText(directive, arg);
        case 'e':
        case 'f':
        case 'g':
        case 'n':
        case 'm':
            if (kind != Kind::Extended)
                FailInvalid();
            return FloatText(directive, arg.AsExtended());
        case 'p': {
            if (kind != Kind::Pointer)
                FailInvalid();
            std::string digits = UnsignedDigits(reinterpret_cast<uintptr_t>(arg.AsPointer()), 16);
            String out(sizeof(void*) * 2 - digits.size(), static_cast<CharT>('0'));
            AppendAscii(out, digits);
            return out;
        }
        case 's':
            return StringText(directive, arg);
        }
        FailInvalid();
    }

    String IntegerText(const Directive& directive, const TVarRec& arg) {
        bool is64 = arg.ValueKind() == TVarRec::Kind::Int64;
        int64_t value = arg.AsInt64();
        bool negative = false;
        uint64_t magnitude;
        if (directive.type == 'd') {
            negative = value < 0;
            // Negating in unsigned arithmetic keeps the most negative value intact.
            magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        } else {
            magnitude = is64 ? static_cast<uint64_t>(value) : static_cast<uint32_t>(value);
        }
        std::string digits = UnsignedDigits(magnitude, directive.type == 'x' ? 16 : 10);
        String out;
        if (negative)
            out.push_back('-');
        if (directive.precision && static_cast<size_t>(*directive.precision) > digits.size())
            out.append(static_cast<size_t>(*directive.precision) - digits.size(), static_cast<CharT>('0'));
        AppendAscii(out, digits);
        return out;
    }

    String FloatText(const Directive& directive, long double value) {
        if (!std::isfinite(value))
            return NonFiniteText<CharT>(value);
        // Precision 0 still needs one significant digit.
        int significant = directive.precision ? std::clamp(*directive.precision, 1, MaxFloatDigits)
                                              : DefaultSignificantDigits;
        switch (static_cast<char>(directive.type)) {
        case 'e':
            return ScientificText(value, significant, symbols_);
        case 'g':
            return GeneralText(value, significant, symbols_);
        case 'f':
        case 'n':
            return FixedText(value,
                             std::min(directive.precision.value_or(DefaultFixedDecimals), MaxFloatDigits),
                             directive.type == 'n', symbols_);
        default:
            return CurrencyText(
                value, std::min(directive.precision.value_or(symbols_.currencyDecimals), MaxFloatDigits),
                symbols_);
        }
    }

    String StringText(const Directive& directive, const TVarRec& arg) {
        String text;
        switch (arg.ValueKind()) {
        case TVarRec::Kind::AnsiString:
            text = TextKind<CharT>::FromAnsi(arg.AsAnsiString());
            break;
        case TVarRec::Kind::Char:
            text = TextKind<CharT>::FromAnsi(AnsiString(1, arg.AsChar()));
            break;
        case TVarRec::Kind::WideString:
            text = TextKind<CharT>::FromWide(arg.AsWideString());
            break;
        case TVarRec::Kind::WideChar:
            text = TextKind<CharT>::FromWide(WideString(1, arg.AsWideChar()));
            break;
        default:
            FailInvalid();
        }
        if (directive.precision && static_cast<size_t>(*directive.precision) < text.size()) {
            size_t keep = static_cast<size_t>(*directive.precision);
            // Cutting between the halves of a surrogate pair would leave half a character behind.
            if constexpr (sizeof(CharT) == 2) {
                if (keep > 0 && IsHighSurrogate(text[keep - 1]) && IsLowSurrogate(text[keep]))
                    --keep;
            }
            text.resize(keep);
        }
        return text;
    }

    const String& format_;
    const std::vector<TVarRec>& args_;
    LocalSymbols<CharT> symbols_;
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
