#include "VynFormatStrUtils.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string>

#include "Exceptions.h"
#include "TextConversion.h"

#include "VynSysUtilsPaths.h"

namespace {

using TFormatStringError = EVynGeneralError;
using TFormatInternalError = EVynInternalError;

// Longer numbers are refused, so no index or width can ask the formatter for unbounded memory.
constexpr int MaxNumberDigits = 6;

bool IsDigit(char16_t ch) {
    return ch >= u'0' && ch <= u'9';
}

AnsiString InvalidSpecifierMessage(const WideString& readText, std::u16string_view unreadRest) {
    return Format("Invalid Format Specifier: %s", {readText + WideString(unreadRest)});
}

[[noreturn]] void RaiseInvalidSpecifier(const WideString& readText, std::u16string_view unreadRest) {
    throw TFormatStringError(InvalidSpecifierMessage(readText, unreadRest));
}

[[noreturn]] void RaiseArgumentTypeMismatch(int32_t index, const WideString& first,
                                            const WideString& second) {
    throw TFormatStringError(
        Format("Argument types for index %d do not match. (%s <> %s)", {index, first, second}));
}

// Text inserted into a wide format must not be read as a specifier itself.
void AppendLiteral(WideString& out, const WideString& text) {
    for (char16_t ch : text) {
        out.push_back(ch);
        if (ch == u'%')
            out.push_back(u'%');
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// TFormatStrParser

TFormatStrParser::TFormatStrParser(std::u16string_view format)
    : specifierCursor_(format.data()), end_(format.data() + format.size()) {}

std::u16string_view TFormatStrParser::UnreadRest() const {
    return {specifierCursor_, static_cast<size_t>(end_ - specifierCursor_)};
}

std::optional<std::u16string_view> TFormatStrParser::SkipToNextPercent() {
    const char16_t* percent = std::find(specifierCursor_, end_, u'%');
    if (percent == end_)
        return std::nullopt;
    const std::u16string_view skippedText{specifierCursor_, static_cast<size_t>(percent - specifierCursor_)};
    specifierCursor_ = percent;
    return skippedText;
}

void TFormatStrParser::FailInvalidSpecifier() const {
    RaiseInvalidSpecifier(ParsedText.AccumulatedText(), UnreadRest());
}

bool TFormatStrParser::Consume(char16_t ch) {
    if (specifierCursor_ == end_ || *specifierCursor_ != ch)
        return false;
    ParsedText.AppendChar(ch);
    ++specifierCursor_;
    return true;
}

void TFormatStrParser::Expect(char16_t ch) {
    if (!Consume(ch))
        FailInvalidSpecifier();
}

bool TFormatStrParser::ConsumeDigits() {
    int count = 0;
    while (specifierCursor_ != end_ && IsDigit(*specifierCursor_)) {
        if (++count > MaxNumberDigits)
            FailInvalidSpecifier();
        ParsedText.AppendChar(*specifierCursor_);
        ++specifierCursor_;
    }
    return count > 0;
}

void TFormatStrParser::ExpectDigits() {
    if (!ConsumeDigits())
        FailInvalidSpecifier();
}

void TFormatStrParser::ExpectConversion() {
    if (specifierCursor_ == end_)
        FailInvalidSpecifier();
    const char16_t ch = *specifierCursor_;
    const char16_t lower = (ch >= u'A' && ch <= u'Z') ? static_cast<char16_t>(ch - u'A' + u'a') : ch;
    if (std::u16string_view(u"defgmnpsux").find(lower) == std::u16string_view::npos)
        FailInvalidSpecifier();
    Consume(ch);
}

// Reads ahead without consuming: digits followed by a colon name the argument.
std::optional<int32_t> TFormatStrParser::PeekExplicitIndex() const {
    int32_t value = 0;
    int count = 0;
    const char16_t* cursor = specifierCursor_;
    for (; cursor != end_ && IsDigit(*cursor); ++cursor) {
        if (++count > MaxNumberDigits)
            FailInvalidSpecifier();
        value = value * 10 + (*cursor - u'0');
    }
    if (count == 0 || cursor == end_ || *cursor != u':')
        return std::nullopt;
    return value;
}

void TFormatStrParser::NumberImplicitArgument() {
    if (ArgIndex == std::numeric_limits<int32_t>::max())
        FailInvalidSpecifier();
    ++ImplicitSpecifiers;
    ++ArgIndex;
}

bool TFormatStrParser::ParseSpecifier() {
    Expect(u'%');
    if (specifierCursor_ == end_ || Consume(u' ') || Consume(u'%'))
        return false;

    if (const std::optional<int32_t> explicitIndex = PeekExplicitIndex()) {
        ++ExplicitSpecifiers;
        // Numbering goes on above the highest index seen, so no later argument reuses an earlier one.
        ArgIndex = std::max(ArgIndex, *explicitIndex);
    } else {
        NumberImplicitArgument();
        for (char ch : std::to_string(ArgIndex))
            ParsedText.AppendChar(static_cast<char16_t>(ch));
        ParsedText.AppendChar(u':');
    }

    // The written index (or one taken from an argument), or a width written before any minus sign.
    if (Consume(u'*')) {
        NumberImplicitArgument();
        Consume(u':');
    } else if (ConsumeDigits() && Consume(u':') && Consume(u'*')) {
        // An index taken from an argument after the written one: the rewritten form of "%*:d".
        NumberImplicitArgument();
        Consume(u':');
    }
    Consume(u'-');
    if (Consume(u'*'))
        NumberImplicitArgument();
    else
        ConsumeDigits();
    if (Consume(u'.')) {
        if (Consume(u'*'))
            NumberImplicitArgument();
        else
            ExpectDigits();
    }
    ExpectConversion();
    return true;
}

namespace {

// The type class of a conversion character in either case; nothing for any other character. A
// switch: the one-pass formatter asks it for every field of every message.
std::optional<int32_t> TypeClassOf(char16_t type) {
    switch (type) {
    case u'd':
    case u'D':
    case u'u':
    case u'U':
    case u'x':
    case u'X':
        return FormatTypeInteger;
    case u'e':
    case u'E':
    case u'f':
    case u'F':
    case u'g':
    case u'G':
    case u'm':
    case u'M':
    case u'n':
    case u'N':
        return FormatTypeFloat;
    case u'p':
    case u'P':
        return FormatTypePointer;
    case u's':
    case u'S':
        return FormatTypeString;
    }
    return std::nullopt;
}

} // namespace

int32_t FormatTypeClass(std::u16string_view specifier) {
    const char16_t last = specifier.empty() ? u'\0' : specifier.back();
    if (const std::optional<int32_t> typeClass = TypeClassOf(last))
        return *typeClass;
    const WideString character = specifier.empty() ? WideString() : WideString(1, last);
    throw TFormatInternalError(Format("Internal Error: Unexpected format type (%s)", {character}));
}

// ---------------------------------------------------------------------------------------------------------
// Formatting

WideString PreformatFloats(std::u16string_view format, const std::vector<TVarRec>& args,
                           const TFormatSettings* settings) {
    TFormatStrParser parser(format);
    // A plain string rather than a text builder: literal text may hold zero units, which a builder
    // would take for its end.
    WideString out;
    out.reserve(format.size());
    while (const std::optional<std::u16string_view> literal = parser.SkipToNextPercent()) {
        out.append(*literal);
        parser.ParsedText.Reset();
        const bool isSpecifier = parser.ParseSpecifier();
        const WideString specifier = parser.ParsedText.AccumulatedText();
        if (isSpecifier && FormatTypeClass(specifier) == FormatTypeFloat) {
            const AnsiString ansiSpecifier = WideToAnsi(specifier);
            const AnsiString value =
                settings ? Format(ansiSpecifier, args, *settings) : Format(ansiSpecifier, args);
            AppendLiteral(out, AnsiToWide(value));
        } else {
            out += specifier;
        }
    }
    out.append(parser.UnreadRest());
    return out;
}

namespace {

// Floats take their separators and currency string from the settings; the general path writes them
// through the ANSI formatter and converts the result back, which gives the wide text itself whenever
// those symbols are ASCII (every ANSI code page keeps ASCII as it is).
bool FloatSymbolsAreAscii(const TFormatSettings& settings) {
    auto ascii = [](char16_t unit) { return unit > 0 && unit < 0x80; };
    return ascii(settings.DecimalSeparator) &&
           (settings.ThousandSeparator == 0 || ascii(settings.ThousandSeparator)) &&
           std::all_of(settings.CurrencyString.begin(), settings.CurrencyString.end(), ascii);
}

// Up to six digits, as the specifier parser allows; nothing when there are none or more.
std::optional<int> ReadCount(std::u16string_view format, size_t& position) {
    int value = 0;
    int count = 0;
    for (; position < format.size() && IsDigit(format[position]); ++position) {
        if (++count > MaxNumberDigits)
            return std::nullopt;
        value = value * 10 + (format[position] - u'0');
    }
    if (count == 0)
        return std::nullopt;
    return value;
}

// The same text as preformatting the floats and formatting the rest, written in one pass, for the
// formats nearly every caller writes: specifiers without '*', arguments of the kinds they ask for,
// and ASCII symbols wherever a float is written. Anything else (including every format the general
// path refuses) gives nothing, and the caller takes the general path, so results and errors stay
// exactly those of the general path.
std::optional<WideString> FormatWideDirectly(std::u16string_view format, const std::vector<TVarRec>& args,
                                             const TFormatSettings& settings) {
    WideString out;
    out.reserve(format.size() + format.size() / 2 + 16);
    std::optional<bool> asciiSymbols;
    int32_t highestIndex = -1;
    size_t position = 0;
    while (position < format.size()) {
        const size_t percent = format.find(u'%', position);
        if (percent == std::u16string_view::npos) {
            out.append(format.substr(position));
            break;
        }
        AppendRun(out, format.data() + position, percent - position);
        position = percent + 1;
        if (position == format.size() || format[position] == u' ')
            return std::nullopt;
        if (format[position] == u'%') {
            out.push_back(u'%');
            ++position;
            continue;
        }

        size_t cursor = position;
        int32_t argumentIndex = highestIndex + 1;
        if (IsDigit(format[cursor])) {
            if (const std::optional<int> index = ReadCount(format, cursor);
                index && cursor < format.size() && format[cursor] == u':') {
                argumentIndex = *index;
                ++cursor;
            } else {
                cursor = position;
            }
        }
        // Numbering after an index goes on above the highest index seen.
        highestIndex = std::max(highestIndex, argumentIndex);

        TFormatDirective directive;
        if (cursor < format.size() && format[cursor] == u'-') {
            directive.LeftJustify = true;
            ++cursor;
        }
        if (cursor < format.size() && IsDigit(format[cursor])) {
            const std::optional<int> width = ReadCount(format, cursor);
            if (!width)
                return std::nullopt;
            directive.Width = *width;
        }
        if (cursor < format.size() && format[cursor] == u'.') {
            ++cursor;
            directive.Precision = ReadCount(format, cursor);
            if (!directive.Precision)
                return std::nullopt;
        }
        if (cursor == format.size())
            return std::nullopt;
        const char16_t type = format[cursor];
        directive.Type = (type >= u'A' && type <= u'Z') ? static_cast<char16_t>(type - u'A' + u'a') : type;
        position = cursor + 1;
        if (static_cast<size_t>(argumentIndex) >= args.size())
            return std::nullopt;

        const std::optional<int32_t> typeClass = TypeClassOf(directive.Type);
        if (!typeClass)
            return std::nullopt;
        if (*typeClass == FormatTypeFloat) {
            if (!asciiSymbols)
                asciiSymbols = FloatSymbolsAreAscii(settings);
            if (!*asciiSymbols)
                return std::nullopt;
        }
        if (!AppendWideField(out, directive, args[static_cast<size_t>(argumentIndex)], settings))
            return std::nullopt;
    }
    return out;
}

} // namespace

size_t FormatWideToBuffer(char16_t* buffer, size_t capacity, std::u16string_view format,
                          const std::vector<TVarRec>& args, const TFormatSettings* settings) {
    if (std::optional<WideString> text =
            FormatWideDirectly(format, args, settings ? *settings : DefaultFormatSettings())) {
        if (buffer == nullptr)
            return 0;
        const size_t count = std::min(capacity, text->size());
        std::copy_n(text->begin(), count, buffer);
        return count;
    }
    const WideString preformatted = PreformatFloats(format, args, settings);
    return settings ? WideFormatBuf(buffer, capacity, preformatted, args, *settings)
                    : WideFormatBuf(buffer, capacity, preformatted, args);
}

namespace {

constexpr size_t LocalBufferSize = 4096;
// Formats this long are expected to give results beyond the local buffer.
constexpr size_t LongFormatLength = 3072;

WideString FormatWideWith(const WideString& format, const std::vector<TVarRec>& args,
                          const TFormatSettings* settings) {
    if (std::optional<WideString> text =
            FormatWideDirectly(format, args, settings ? *settings : DefaultFormatSettings()))
        return std::move(*text);
    // A result that fills the whole capacity may have been cut, so it must stay below it.
    if (format.size() < LongFormatLength) {
        std::array<char16_t, LocalBufferSize> local;
        const size_t count = FormatWideToBuffer(local.data(), local.size() - 1, format, args, settings);
        if (count < local.size() - 1)
            return WideString(local.data(), count);
    }
    size_t size = std::max(LocalBufferSize, format.size());
    for (;;) {
        if (size > WideString().max_size() / 2)
            throw EOutOfResources("Formatted text is too long");
        size *= 2;
        WideString text(size, u'\0');
        const size_t count = FormatWideToBuffer(text.data(), size - 1, format, args, settings);
        if (count < size - 1) {
            text.resize(count);
            return text;
        }
    }
}

} // namespace

WideString FormatWide(const WideString& format, const std::vector<TVarRec>& args) {
    return FormatWideWith(format, args, nullptr);
}

WideString FormatWide(const WideString& format, const std::vector<TVarRec>& args,
                      const TFormatSettings& settings) {
    return FormatWideWith(format, args, &settings);
}

// The framework hands its settings to every routine; passing them on keeps a caller's own settings.
WideString FormatWideRoutine(const WideString& format, const std::vector<TVarRec>& args,
                             const TFormatSettings& settings) {
    return FormatWideWith(format, args, &settings);
}

// ---------------------------------------------------------------------------------------------------------
// Argument indexes

WideString MakeIndexesExplicit(const WideString& format) {
    TFormatStrParser parser(format);
    // The text read so far, with inserted indexes; kept apart from the parser's builder, which could
    // not hold zero units of the literal text.
    WideString explicitText;
    while (const std::optional<std::u16string_view> literal = parser.SkipToNextPercent()) {
        explicitText.append(*literal);
        parser.ParsedText.Reset();
        try {
            parser.ParseSpecifier();
        } catch (TFormatStringError& e) {
            e.SetMessage(InvalidSpecifierMessage(explicitText + parser.ParsedText.AccumulatedText(),
                                                 parser.UnreadRest()));
            throw;
        }
        explicitText += parser.ParsedText.AccumulatedText();
    }
    const bool onlyOneImplicit = parser.ExplicitSpecifiers == 0 && parser.ImplicitSpecifiers == 1;
    const bool onlyExplicit = parser.ExplicitSpecifiers > 0 && parser.ImplicitSpecifiers == 0;
    if (onlyOneImplicit || onlyExplicit)
        return format;
    explicitText.append(parser.UnreadRest());
    return explicitText;
}

std::vector<WideString> ListFormatSpecifiers(std::u16string_view format) {
    std::vector<WideString> specifiers;
    TFormatStrParser parser(format);
    while (parser.SkipToNextPercent()) {
        parser.ParsedText.Reset();
        if (parser.ParseSpecifier())
            specifiers.push_back(parser.ParsedText.AccumulatedText());
    }
    return specifiers;
}

int32_t ExplicitIndexOf(std::u16string_view specifier) {
    const size_t colon = specifier.find(u':');
    if (colon == std::u16string_view::npos)
        return -1;
    // Nine digits stay within 32 bits, with room for numbering beyond the highest written index.
    constexpr size_t MaxIndexDigits = 9;
    const std::u16string_view digits = colon == 0 ? std::u16string_view() : specifier.substr(1, colon - 1);
    if (digits.empty() || digits.size() > MaxIndexDigits ||
        !std::all_of(digits.begin(), digits.end(), IsDigit))
        RaiseInvalidSpecifier(WideString(specifier), {});
    int32_t index = 0;
    for (char16_t digit : digits)
        index = index * 10 + (digit - u'0');
    return index;
}

int32_t HighestArgIndex(const std::vector<WideString>& specifiers) {
    int32_t running = -1;
    int32_t highest = -1;
    for (const WideString& specifier : specifiers) {
        const int32_t index = ExplicitIndexOf(specifier);
        running = index != -1 ? index : running + 1;
        highest = std::max(highest, running);
    }
    return highest;
}

TArgumentTypeTable BuildArgumentTypeTable(const std::vector<WideString>& specifiers) {
    TArgumentTypeTable table;
    table.Count = HighestArgIndex(specifiers) + 1;
    int32_t previous = -1;
    for (const WideString& specifier : specifiers) {
        const int32_t written = ExplicitIndexOf(specifier);
        const int32_t index = written != -1 ? written : previous + 1;
        const int32_t typeClass = FormatTypeClass(specifier);
        auto [entry, inserted] = table.UsedIndexes.try_emplace(index, TArgumentUse{specifier, typeClass});
        if (!inserted && entry->second.TypeClass != typeClass)
            RaiseArgumentTypeMismatch(index, entry->second.Specifier, specifier);
        previous = index;
    }
    return table;
}

void CompareFormatStrings(const WideString& source, const WideString& translated) {
    const TArgumentTypeTable sourceTable = BuildArgumentTypeTable(ListFormatSpecifiers(source));
    const TArgumentTypeTable translatedTable = BuildArgumentTypeTable(ListFormatSpecifiers(translated));
    if (sourceTable.Count != translatedTable.Count)
        throw TFormatStringError("Number of format specifiers do not match.");

    // Both tables walked in index order together. An index only one format uses is a mismatch too:
    // the other format's caller gives no argument of a known kind for it.
    auto sourceEntry = sourceTable.UsedIndexes.begin();
    auto translatedEntry = translatedTable.UsedIndexes.begin();
    const auto sourceEnd = sourceTable.UsedIndexes.end();
    const auto translatedEnd = translatedTable.UsedIndexes.end();
    while (sourceEntry != sourceEnd || translatedEntry != translatedEnd) {
        const bool sourceFirst = translatedEntry == translatedEnd ||
                                 (sourceEntry != sourceEnd && sourceEntry->first < translatedEntry->first);
        const bool translatedFirst =
            sourceEntry == sourceEnd ||
            (translatedEntry != translatedEnd && translatedEntry->first < sourceEntry->first);
        if (sourceFirst)
            RaiseArgumentTypeMismatch(sourceEntry->first, sourceEntry->second.Specifier, WideString());
        if (translatedFirst)
            RaiseArgumentTypeMismatch(translatedEntry->first, WideString(),
                                      translatedEntry->second.Specifier);
        if (sourceEntry->second.TypeClass != translatedEntry->second.TypeClass)
            RaiseArgumentTypeMismatch(sourceEntry->first, sourceEntry->second.Specifier,
                                      translatedEntry->second.Specifier);
        ++sourceEntry;
        ++translatedEntry;
    }
}
