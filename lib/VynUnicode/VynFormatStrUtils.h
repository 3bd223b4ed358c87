// Wide format strings: the system's wide formatting (FormatWide), the rewriting of a format so that every
// specifier names its argument (MakeIndexesExplicit), and the check that a translated format takes the
// same arguments as its source (CompareFormatStrings).
//
// Specifier syntax: '%' [index ':'] ['-'] [width] ['.' precision] conversion, where index, width and
// precision are at most six digits or '*' (taken from the next argument), and the conversion is one of
// d u x e f g m n p s in either case. "%%", "% " and a '%' at the very end are not specifiers and stay
// as written. Malformed specifiers raise EVynGeneralError "Invalid Format Specifier: %s".
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include "Format.h"
#include "SysTypes.h"
#include "VynClasses.h"

// Type classes of conversion characters; arguments of one class are interchangeable in a translation.
constexpr int32_t FormatTypeInteger = 0; // d u x
constexpr int32_t FormatTypeFloat = 1;   // e f g m n
constexpr int32_t FormatTypePointer = 2; // p
constexpr int32_t FormatTypeString = 3;  // s

// Reads specifiers of a format in place, numbering the arguments they take.
class TFormatStrParser {
public:
    // The parser reads format where it lies: the text must outlive the parser.
    explicit TFormatStrParser(std::u16string_view format);
    TFormatStrParser(const TFormatStrParser&) = delete;
    TFormatStrParser& operator=(const TFormatStrParser&) = delete;

    // Moves the cursor to the next '%' of the unread rest and returns the text skipped over; nothing,
    // and nothing moved, when no '%' remains.
    std::optional<std::u16string_view> SkipToNextPercent();
    // The cursor is on a '%'. Appends the specifier to ParsedText, an inserted "N:" included when it
    // named no argument of its own; false for "%%", "% " and a trailing '%', which are appended as
    // they are written.
    bool ParseSpecifier();
    std::u16string_view UnreadRest() const;

    // Text consumed so far, with inserted indexes.
    TBufferedWideString ParsedText;
    // The index given to the last numbered argument.
    int32_t ArgIndex = -1;
    // Specifiers that carried their own index.
    int32_t ExplicitSpecifiers = 0;
    // Arguments numbered by the parser: specifiers without an index and '*' counts.
    int32_t ImplicitSpecifiers = 0;

private:
    bool Consume(char16_t ch);
    void Expect(char16_t ch);
    bool ConsumeDigits();
    void ExpectDigits();
    void ExpectConversion();
    std::optional<int32_t> PeekExplicitIndex() const;
    void NumberImplicitArgument();
    [[noreturn]] void FailInvalidSpecifier() const;

    // The next unit to read; the parser never moves it past end_.
    const char16_t* specifierCursor_;
    const char16_t* end_;
};

// Type class of a specifier by its last character; raises EVynInternalError for any other character.
int32_t FormatTypeClass(std::u16string_view specifier);

// Formats floating-point specifiers through the ANSI formatter, each on its own, and the rest through
// the built-in wide formatter. A specifier without an index takes the argument after the highest index
// seen so far ("%s %s %0:s %s" shows arguments 0 1 0 2). Without settings, the process-wide ones apply.
WideString FormatWide(const WideString& format, const std::vector<TVarRec>& args);
WideString FormatWide(const WideString& format, const std::vector<TVarRec>& args,
                      const TFormatSettings& settings);
// FormatWide in the shape of the framework's wide format routine, for SetWideFormatRoutine.
WideString FormatWideRoutine(const WideString& format, const std::vector<TVarRec>& args,
                             const TFormatSettings& settings);
// Writes at most capacity units of the formatted text (no terminating zero); returns the count.
size_t FormatWideToBuffer(char16_t* buffer, size_t capacity, std::u16string_view format,
                          const std::vector<TVarRec>& args, const TFormatSettings* settings = nullptr);
// The format with every floating-point specifier replaced by its formatted value (any '%' in it
// doubled) and every other specifier naming its argument index.
WideString PreformatFloats(std::u16string_view format, const std::vector<TVarRec>& args,
                           const TFormatSettings* settings = nullptr);

// The format with an index in every specifier, so a translation may reorder its arguments. A format
// whose numbering is already unambiguous (a single implicit argument, or only indexed specifiers)
// comes back unchanged.
WideString MakeIndexesExplicit(const WideString& format);

// The specifiers of a format in order, each naming its argument index.
std::vector<WideString> ListFormatSpecifiers(std::u16string_view format);
// The index written before the first colon of a specifier, or -1 when it has no colon.
int32_t ExplicitIndexOf(std::u16string_view specifier);
// The highest argument index the specifiers use (numbering after an index continues from it), or -1.
int32_t HighestArgIndex(const std::vector<WideString>& specifiers);

struct TArgumentUse {
    // The first specifier that takes the argument.
    WideString Specifier;
    int32_t TypeClass = FormatTypeInteger;
};

// Which type class each argument index is used with. Indexes no specifier uses have no entry.
struct TArgumentTypeTable {
    // Highest index used + 1.
    int32_t Count = 0;
    std::map<int32_t, TArgumentUse> UsedIndexes;
};

// Raises EVynGeneralError "Argument types for index %d do not match. (%s <> %s)" when one index is
// used with two type classes.
TArgumentTypeTable BuildArgumentTypeTable(const std::vector<WideString>& specifiers);

// Raises EVynGeneralError unless translated takes the same argument indexes, each with the same type
// class, as source.
void CompareFormatStrings(const WideString& source, const WideString& translated);
