// The runtime's text formatter: "%d", "%1:s", "%-8.3f" ... filled from a list of typed arguments,
// in an ANSI and a UTF-16 form that share one implementation.
//
// Limits that protect callers from hostile or mistaken formats: a width, precision or argument
// index above 1,000,000 (written or taken from a '*' argument) makes the format invalid, so no
// format can ask for unbounded memory. Floating-point precision is capped at 18 digits, the most an
// extended value carries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "SysTypes.h"
#include "TextConversion.h"

// One argument of a format call. Strings are owned, so a temporary argument outlives the call safely.
class TVarRec {
public:
    enum class Kind { Integer, Int64, Extended, Char, WideChar, AnsiString, WideString, Pointer };

    // Integers keep the 32-bit kind whenever the value fits it, except the 64-bit types, which always
    // take the Int64 kind so that "%x" shows all their bits.
    TVarRec(int value) noexcept : kind_(Kind::Integer), value_(int64_t{value}) {}
    TVarRec(unsigned int value) noexcept : TVarRec(FromUnsigned32(value)) {}
    TVarRec(long value) noexcept
        : kind_(sizeof(long) == sizeof(int32_t) ? Kind::Integer : Kind::Int64), value_(int64_t{value}) {}
    TVarRec(unsigned long value) noexcept
        : TVarRec(sizeof(unsigned long) == sizeof(uint32_t) ? FromUnsigned32(static_cast<uint32_t>(value))
                                                            : FromUnsigned64(value)) {}
    TVarRec(long long value) noexcept : kind_(Kind::Int64), value_(int64_t{value}) {}
    TVarRec(unsigned long long value) noexcept : TVarRec(FromUnsigned64(value)) {}
    TVarRec(double value) noexcept : kind_(Kind::Extended), value_(static_cast<long double>(value)) {}
    TVarRec(long double value) noexcept : kind_(Kind::Extended), value_(value) {}
    TVarRec(char value) noexcept
        : kind_(Kind::Char), value_(static_cast<char16_t>(static_cast<unsigned char>(value))) {}
    TVarRec(char16_t value) noexcept : kind_(Kind::WideChar), value_(value) {}
    // A null C string is an empty string rather than a crash.
    TVarRec(const char* value) : kind_(Kind::AnsiString), value_(AnsiString(value ? value : "")) {}
    TVarRec(std::string_view value) : kind_(Kind::AnsiString), value_(AnsiString(value)) {}
    TVarRec(AnsiString value) : kind_(Kind::AnsiString), value_(std::move(value)) {}
    TVarRec(const char16_t* value) : kind_(Kind::WideString), value_(WideString(value ? value : u"")) {}
    TVarRec(std::u16string_view value) : kind_(Kind::WideString), value_(WideString(value)) {}
    TVarRec(WideString value) : kind_(Kind::WideString), value_(std::move(value)) {}
    TVarRec(const void* value) noexcept : kind_(Kind::Pointer), value_(value) {}
    TVarRec(std::nullptr_t) noexcept : kind_(Kind::Pointer), value_(static_cast<const void*>(nullptr)) {}

    // A bool would silently become an integer; the other text types would silently become pointers or
    // integers although the formatter cannot know their encoding. Callers convert explicitly instead.
    TVarRec(bool) = delete;
    TVarRec(wchar_t) = delete;
    TVarRec(const wchar_t*) = delete;
    TVarRec(char8_t) = delete;
    TVarRec(const char8_t*) = delete;
    TVarRec(char32_t) = delete;
    TVarRec(const char32_t*) = delete;

    Kind ValueKind() const noexcept { return kind_; }

    // Each accessor raises EConvertError when the argument is of another kind, except that AsInt64
    // also reads the Integer kind.
    int32_t AsInteger() const;
    int64_t AsInt64() const;
    long double AsExtended() const;
    char AsChar() const;
    char16_t AsWideChar() const;
    const AnsiString& AsAnsiString() const;
    const WideString& AsWideString() const;
    const void* AsPointer() const;

private:
    using Storage = std::variant<int64_t, long double, char16_t, AnsiString, WideString, const void*>;

    TVarRec(Kind kind, Storage value) noexcept : kind_(kind), value_(std::move(value)) {}
    static TVarRec FromUnsigned32(uint32_t value) noexcept {
        return TVarRec(value <= INT32_MAX ? Kind::Integer : Kind::Int64, Storage(int64_t{value}));
    }
    static TVarRec FromUnsigned64(uint64_t value) noexcept {
        return TVarRec(Kind::Int64, Storage(static_cast<int64_t>(value)));
    }

    Kind kind_;
    Storage value_;
};

using TVarRecList = std::initializer_list<TVarRec>;

struct TFormatSettings {
    char16_t DecimalSeparator = u'.';
    // U+0000 means the locale groups no digits.
    char16_t ThousandSeparator = u',';
    WideString CurrencyString = u"$";
    uint8_t CurrencyFormat = 0; // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    uint8_t NegCurrFormat = 0;  // 0..15, the classic negative currency layouts
    uint8_t CurrencyDecimals = 2;
};

// The process-wide settings; the Windows side fills them from the user's locale at start-up, before
// any thread formats text.
TFormatSettings& DefaultFormatSettings();

AnsiString Format(const AnsiString& format, const std::vector<TVarRec>& args);
AnsiString Format(const AnsiString& format, const std::vector<TVarRec>& args,
                  const TFormatSettings& settings);
WideString WideFormat(const WideString& format, const std::vector<TVarRec>& args);
WideString WideFormat(const WideString& format, const std::vector<TVarRec>& args,
                      const TFormatSettings& settings);

// The Unicode runtime replaces the wide formatter with its own; WideFormat calls whichever routine is
// installed. Passing nullptr restores the built-in one. Returns the routine that was installed before
// (never nullptr), so a caller can put it back.
using TWideFormatRoutine = WideString (*)(const WideString& format, const std::vector<TVarRec>& args,
                                          const TFormatSettings& settings);
TWideFormatRoutine SetWideFormatRoutine(TWideFormatRoutine routine);
WideString WideFormatBuiltIn(const WideString& format, const std::vector<TVarRec>& args,
                             const TFormatSettings& settings);

// Appends count units from first. Runs of a few units (the text between fields, most numbers) are
// written one by one into the reserved space: on the 32-bit Windows runtime the library copy an
// append makes costs more than the units it copies, and formatting is made of such runs.
template <typename CharT> void AppendRun(std::basic_string<CharT>& out, const CharT* first, size_t count) {
    constexpr size_t ShortRun = 16;
    if (count > ShortRun || out.capacity() - out.size() < count) {
        out.append(first, count);
        return;
    }
    for (size_t i = 0; i < count; ++i)
        out.push_back(first[i]);
}

// The built-in wide formatter writing into a caller's buffer: at most capacity units (no terminating
// zero), returning how many were written. It never calls the installed routine, so that routine may
// use it.
size_t WideFormatBuf(char16_t* buffer, size_t capacity, std::u16string_view format,
                     const std::vector<TVarRec>& args);
size_t WideFormatBuf(char16_t* buffer, size_t capacity, std::u16string_view format,
                     const std::vector<TVarRec>& args, const TFormatSettings& settings);

// One conversion as a format writes it: "%-8.2f" is left-justified, width 8, precision 2, type 'f'.
struct TFormatDirective {
    bool LeftJustify = false;
    // 0 to 1,000,000.
    int Width = 0;
    // Nothing, or 0 to 1,000,000.
    std::optional<int> Precision;
    // One of d u x e f g n m p s, in lower case.
    char16_t Type = 0;
};

// Appends the field the built-in wide formatter writes for one directive, padding included, so that a
// formatter reading its formats by other rules writes every field the same way. False, with nothing
// appended, when the type is unknown or the argument's kind does not suit it (the built-in formatter
// refuses such a format).
bool AppendWideField(WideString& out, const TFormatDirective& directive, const TVarRec& arg,
                     const TFormatSettings& settings);

// How the formatter crosses between ANSI and UTF-16 text: an AnsiString or Char argument met by a wide
// format, a WideString or WideChar argument or a separator met by an ANSI format, and a wide format
// quoted in an error message. By default these are the runtime's conversions (TextConversion.h: the
// system ANSI code page on Windows, Latin-1 elsewhere); nullptr restores them.
void SetFormatConversionRoutines(TAnsiToWideRoutine ansiToWide, TWideToAnsiRoutine wideToAnsi);

// General format with 15 significant digits, as "%g" writes it.
AnsiString FloatToStr(long double value);
AnsiString FloatToStr(long double value, const TFormatSettings& settings);
