#include "VynTrxDfmUtils.h"

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "AsciiText.h"
#include "Assertions.h"
#include "Exceptions.h"
#include "FormData.h"
#include "TextConversion.h"
#include "VynShortCuts.h"
#include "VynSysUtilsPaths.h"

namespace {

constexpr char UnitName[] = "lib/VynTrx/VynTrxDfmUtils";

constexpr std::string_view LineBreak = "\r\n";
// The string encoding's line: at most this many characters of the text.
constexpr size_t LiteralLineWidth = 64;

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view Trim(std::string_view text) {
    return TrimLeft(TrimRight(text));
}

// Lines end at CR LF, CR or LF; a break at the very end opens no further line.
std::vector<AnsiString> SplitLines(std::string_view text) {
    std::vector<AnsiString> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    return lines;
}

size_t IndentationLevel(std::string_view line) {
    const size_t blanks = std::min(line.find_first_not_of(' '), line.size());
    return (blanks + 1) / 2;
}

AnsiString Indent(int32_t level) {
    return AnsiString(2 * static_cast<size_t>(std::max(level, 0)), ' ');
}

// The lines an object is parsed from, and where the first of them stands in the form text, so
// that errors inside collections still name the line of the text.
struct TextLines {
    std::vector<AnsiString> Lines;
    size_t FirstLineNumber = 1;

    size_t Count() const { return Lines.size(); }
    bool Has(size_t index) const { return index < Lines.size(); }
    size_t NumberOf(size_t index) const { return FirstLineNumber + index; }
};

template <typename E> [[noreturn]] void Raise(AnsiString message, size_t lineNumber) {
    E error(std::move(message));
    const std::string line = "line " + std::to_string(lineNumber);
    error.SetFailure({}, WideString(line.begin(), line.end()));
    throw error;
}

[[noreturn]] void RaiseParseError(const AnsiString& message, size_t lineNumber) {
    Raise<EVynInternalError>("Dfm parse error: " + message, lineNumber);
}

class DfmParser {
public:
    DfmParser(TDfmForm& form, TDfmPropertyList& parsed) : form_(form), parsed_(parsed) {}

    void ParseRoot(const AnsiString& text) {
        TextLines lines{SplitLines(text), 1};
        size_t index = 0;
        ParseObject(form_, &form_, std::nullopt, lines, index, 0);
    }

private:
    void ParseObject(TDfmObject& object, TDfmObject* pathParent, const std::optional<AnsiString>& itemName,
                     const TextLines& lines, size_t& index, int32_t depth) {
        object.Form = &form_;
        object.PathParent = pathParent;
        object.Depth = depth;
        const size_t headerNumber = lines.NumberOf(index);
        ParseHeader(object, itemName, lines, index);

        if (nesting_ >= FormMaxNesting)
            RaiseParseError("Object " + object.Name + " nests too deep.", headerNumber);
        ++nesting_;
        ParseProperties(object, lines, index);
        ParseChildren(object, lines, index);
        --nesting_;

        if (!lines.Has(index))
            RaiseParseError("Object " + object.Name + " has no ending.", lines.NumberOf(index));
        const std::string_view last = Trim(lines.Lines[index]);
        if (!EqualsIgnoringAsciiCase(last, "end"))
            RaiseParseError("Object " + object.Name + " ended with \"" + AnsiString(last) + "\".",
                            lines.NumberOf(index));
        ++index;
    }

    void ParseHeader(TDfmObject& object, const std::optional<AnsiString>& itemName, const TextLines& lines,
                     size_t& index) {
        // Past the end the header reads as empty; the properties that must follow report it.
        std::string_view header;
        const size_t headerNumber = lines.NumberOf(index);
        if (lines.Has(index))
            header = Trim(lines.Lines[index++]);
        if (itemName) {
            if (!EqualsIgnoringAsciiCase(header, "item"))
                Raise<Exception>("Collection Item (" + *itemName +
                                     ") must be = 'item': " + AnsiString(header),
                                 headerNumber);
            object.Name = "item";
            object.Path = object.PathParent->Path + "." + *itemName;
            return;
        }
        // Without a blank there is no keyword, and without a colon no name: the whole rest is the
        // class, as in an unnamed "object TTimer".
        const size_t blank = header.find(' ');
        std::string_view rest = header;
        if (blank != std::string_view::npos) {
            object.Keyword = header.substr(0, blank);
            rest = TrimLeft(header.substr(blank + 1));
        }
        const size_t colon = rest.find(':');
        if (colon != std::string_view::npos) {
            object.Name = TrimRight(rest.substr(0, colon));
            object.ComponentClass = TrimLeft(rest.substr(colon + 1));
        } else {
            object.ComponentClass = rest;
        }
        object.Path = &object == &form_ ? object.Name : object.PathParent->Path + "." + object.Name;
    }

    void ParseProperties(TDfmObject& object, const TextLines& lines, size_t& index) {
        const size_t continuationLevel = static_cast<size_t>(object.Depth) + 2;
        for (;;) {
            if (!lines.Has(index))
                RaiseParseError("No more strings to find properties.", lines.NumberOf(index));
            const std::string_view line = lines.Lines[index];
            const size_t equals = line.find('=');
            if (equals == std::string_view::npos)
                return;
            const size_t lineNumber = lines.NumberOf(index);
            ++index;

            auto property = std::make_unique<TDfmProperty>();
            property->Owner = &object;
            property->Name = Trim(line.substr(0, equals));
            property->Value = Trim(line.substr(equals + 1));
            property->Path = object.Path + "." + property->Name;
            for (; lines.Has(index) && IndentationLevel(lines.Lines[index]) >= continuationLevel; ++index) {
                property->Value += LineBreak;
                property->Value += lines.Lines[index];
            }
            TDfmProperty& added = *property;
            object.Properties.push_back(std::move(property));
            parsed_.push_back(&added);

            if (object.Depth == 0)
                ReadFormList(added, lineNumber);
            const std::string_view value = TrimLeft(added.Value);
            if (!value.empty() && value.front() == '<')
                ParseCollection(added, lineNumber);
        }
    }

    void ReadFormList(const TDfmProperty& property, size_t lineNumber) {
        const bool translatable = EqualsIgnoringAsciiCase(property.Name, "VynTranslatableProps.WideStrings");
        if (!translatable && !EqualsIgnoringAsciiCase(property.Name, "VynInlineClasses.WideStrings"))
            return;
        std::vector<WideString> entries;
        try {
            entries = ParseFormStringList(property.Value);
        } catch (Exception& error) {
            const std::string line = "line " + std::to_string(lineNumber);
            error.SetFailure(error.FailingCall(), WideString(line.begin(), line.end()));
            throw;
        }
        auto list = std::make_unique<TVynStringList>();
        list->SetSorted(true);
        const WideString prefix = translatable ? AnsiToWide(form_.Name) + u"." : WideString();
        for (const WideString& entry : entries)
            list->AppendEntry(prefix + entry);
        (translatable ? form_.TranslatableProps : form_.InlineClasses) = std::move(list);
    }

    void ParseCollection(TDfmProperty& property, size_t lineNumber) {
        if (property.Value == "<>")
            return;
        TextLines items{SplitLines(property.Value), lineNumber};
        if (items.Count() < 2)
            Raise<Exception>("Collection Property must have 2 lines (" + property.Value + ").", lineNumber);
        const std::string_view first = Trim(items.Lines.front());
        if (!EqualsIgnoringAsciiCase(first, "<"))
            Raise<Exception>("Collection must start with \"<\": '" + AnsiString(first) + "'", lineNumber);
        const std::string_view last = Trim(items.Lines.back());
        if (!EqualsIgnoringAsciiCase(last, "end>"))
            Raise<Exception>("Collection must end with \"end>\": '" + AnsiString(last) + "'",
                             items.NumberOf(items.Count() - 1));
        // The opening line goes and the closing "end>" ends the last item.
        items.Lines.erase(items.Lines.begin());
        ++items.FirstLineNumber;
        items.Lines.back() = "end";

        TDfmObject& owner = *property.Owner;
        property.Items.emplace();
        for (size_t index = 0; items.Has(index);) {
            auto item = std::make_unique<TDfmObject>();
            TDfmObject& parsed = *item;
            property.Items->push_back(std::move(item));
            const AnsiString itemName =
                property.Name + "[" + std::to_string(property.Items->size() - 1) + "]";
            ParseObject(parsed, &owner, itemName, items, index, owner.Depth + 2);
        }
    }

    void ParseChildren(TDfmObject& object, const TextLines& lines, size_t& index) {
        TDfmObject* childPathParent = IsInlineClass(object.ComponentClass) ? &object : object.PathParent;
        for (;;) {
            if (!lines.Has(index))
                RaiseParseError("No more strings to find objects.", lines.NumberOf(index));
            if (EqualsIgnoringAsciiCase(Trim(lines.Lines[index]), "end"))
                return;
            auto child = std::make_unique<TDfmObject>();
            TDfmObject& parsed = *child;
            object.Children.push_back(std::move(child));
            ParseObject(parsed, childPathParent, std::nullopt, lines, index, object.Depth + 1);
        }
    }

    bool IsInlineClass(const AnsiString& className) const {
        int32_t position = 0;
        return form_.InlineClasses && form_.InlineClasses->SearchSorted(AnsiToWide(className), position);
    }

    TDfmForm& form_;
    TDfmPropertyList& parsed_;
    int nesting_ = 0;
};

void RenderObject(TDfmObject& object, AnsiString& out) {
    const AnsiString indent = Indent(object.Depth);
    out += indent;
    if (!object.Keyword.empty() || !object.ComponentClass.empty() || object.Name.empty()) {
        out += object.Keyword;
        out += ' ';
        if (!object.Name.empty())
            out += object.Name + ": ";
        out += object.ComponentClass;
    } else {
        out += object.Name;
    }
    out += LineBreak;
    const AnsiString propertyIndent = Indent(object.Depth + 1);
    for (const std::unique_ptr<TDfmProperty>& property : object.Properties) {
        if (property->Items) {
            AnsiString items;
            for (const std::unique_ptr<TDfmObject>& item : *property->Items)
                RenderObject(*item, items);
            property->Value = "<" + AnsiString(LineBreak) + AnsiString(TrimRight(items)) + ">";
        }
        out += propertyIndent;
        out += property->Name;
        out += " = ";
        out += property->Value;
        out += LineBreak;
    }
    for (const std::unique_ptr<TDfmObject>& child : object.Children)
        RenderObject(*child, out);
    out += indent;
    out += "end";
    out += LineBreak;
}

// ---- Converters

struct CaseInsensitiveLess {
    bool operator()(const AnsiString& a, const AnsiString& b) const {
        const size_t common = std::min(a.size(), b.size());
        for (size_t i = 0; i < common; ++i) {
            const char x = AsciiLower(a[i]);
            const char y = AsciiLower(b[i]);
            if (x != y)
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        }
        return a.size() < b.size();
    }
};

using ConverterRegistry = std::map<AnsiString, TDfmPropConverter, CaseInsensitiveLess>;

std::unique_ptr<ConverterRegistry> Converters;
int UnitStarts = 0;

WideString StringValueToText(const AnsiString& value) {
    return ParseFormStringExpression(value);
}

std::optional<int64_t> ParseDecimal(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const auto digit = static_cast<uint64_t>(c - '0');
        if (magnitude > (limit - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

WideString Widened(const std::string& ascii) {
    return WideString(ascii.begin(), ascii.end());
}

// A value that names no shortcut is shown as its number, so that converting back keeps it.
WideString ShortCutValueToText(const AnsiString& value) {
    const std::string_view digits = Trim(value);
    const std::optional<int64_t> number = ParseDecimal(digits);
    if (!number)
        throw EConvertError("'" + AnsiString(digits) + "' is not a valid shortcut value");
    if (*number >= 0 && *number <= UINT16_MAX) {
        if (std::optional<WideString> text = ShortCutToTextWide(static_cast<TShortCut>(*number)))
            return std::move(*text);
    }
    return Widened(std::to_string(*number));
}

AnsiString ShortCutTextToValue(const WideString& text) {
    if (const std::optional<TShortCut> shortCut = TextToShortCutWide(text))
        return std::to_string(*shortCut);
    const bool ascii = std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x80; });
    if (ascii) {
        if (const std::optional<int64_t> number = ParseDecimal(AnsiString(text.begin(), text.end())))
            return std::to_string(*number);
    }
    throw EConvertError("'" + WideToAnsi(text) + "' is not a valid shortcut");
}

const TDfmPropConverter& ConverterFor(const TDfmProperty& property) {
    if (Converters) {
        const auto found = Converters->find(property.Name);
        if (found != Converters->end())
            return found->second;
    }
    throw EVynInternalError("Property can not be converted for : " + property.Name);
}

void StartVynTrxDfmUtils() {
    if (UnitStarts++ > 0)
        return;
    Converters = std::make_unique<ConverterRegistry>();
    const TDfmPropConverter stringConverter{StringValueToText, DfmStringLiteral};
    for (const char* name : {"Caption", "Title.Caption", "Hint"})
        RegisterDfmPropConverter(name, stringConverter);
    RegisterDfmPropConverter("ShortCut", {ShortCutValueToText, ShortCutTextToValue});
}

void EndVynTrxDfmUtils() {
    if (UnitStarts > 0 && --UnitStarts == 0)
        Converters.reset();
}

} // namespace

// ---- The tree

const TClassInfo& TDfmObject::StaticClassInfo() {
    static const TClassInfo info{"TDfmObject", &TObject::StaticClassInfo()};
    return info;
}

const TClassInfo& TDfmProperty::StaticClassInfo() {
    static const TClassInfo info{"TDfmProperty", &TObject::StaticClassInfo()};
    return info;
}

const TClassInfo& TDfmForm::StaticClassInfo() {
    static const TClassInfo info{"TDfmForm", &TDfmObject::StaticClassInfo()};
    return info;
}

TDfmObject::~TDfmObject() = default;
TDfmProperty::~TDfmProperty() = default;
TDfmForm::~TDfmForm() = default;

AnsiString TDfmObject::Render() {
    AnsiString out;
    RenderObject(*this, out);
    return out;
}

void TDfmForm::Clear() {
    Form = this;
    PathParent = this;
    Depth = 0;
    Path.clear();
    Keyword.clear();
    Name.clear();
    ComponentClass.clear();
    Properties.clear();
    Children.clear();
    TranslatableProps.reset();
    InlineClasses.reset();
}

void TDfmForm::Parse(const AnsiString& text, TDfmPropertyList* properties) {
    Clear();
    TDfmPropertyList parsed;
    try {
        DfmParser(*this, parsed).ParseRoot(text);
    } catch (...) {
        Clear();
        throw;
    }
    if (properties != nullptr)
        properties->insert(properties->end(), parsed.begin(), parsed.end());
}

void TDfmForm::Load(const AnsiString& text, TDfmPropertyList* properties,
                    const TDfmRenderMismatchHandler& onMismatch) {
    TDfmPropertyList parsed;
    Parse(text, &parsed);
    const AnsiString rendered = Render();
    if (rendered != text) {
        Clear();
        if (onMismatch)
            onMismatch(text, rendered);
        throw EVynInternalError(DfmRenderMismatchMessage);
    }
    if (properties != nullptr)
        properties->insert(properties->end(), parsed.begin(), parsed.end());
}

// ---- Conversions

AnsiString DfmBinaryToText(const uint8_t* data, size_t size) {
    return RenderFormText(ReadFormBinary(data, size));
}

std::vector<uint8_t> DfmTextToBinary(const AnsiString& text) {
    return WriteFormBinary(ParseFormText(text));
}

AnsiString DfmStringLiteral(const WideString& text) {
    if (text.empty())
        return "''";
    const auto ordinary = [](char16_t unit) { return unit >= 32 && unit <= 127 && unit != u'\''; };
    AnsiString out;
    if (text.size() > LiteralLineWidth)
        out += LineBreak;
    size_t lineStart = 0;
    for (size_t position = 0; position < text.size();) {
        if (ordinary(text[position])) {
            out += '\'';
            for (; position < text.size() && ordinary(text[position]) &&
                   position - lineStart < LiteralLineWidth;
                 ++position)
                out += static_cast<char>(text[position]);
            out += '\'';
        } else {
            out += '#';
            out += std::to_string(static_cast<unsigned>(text[position]));
            ++position;
        }
        // position is where the piece ends; a line of 64 characters is full.
        if (position - lineStart >= LiteralLineWidth && position < text.size()) {
            out += " +";
            out += LineBreak;
            lineStart = position;
        }
    }
    return out;
}

void RegisterDfmPropConverter(const AnsiString& propertyName, TDfmPropConverter converter) {
    RTL_ASSERT(Converters != nullptr, "VynTrxDfmUtils is not started");
    (*Converters)[propertyName] = converter;
}

WideString DfmPropToText(const TDfmProperty& property) {
    return ConverterFor(property).ToText(property.Value);
}

void TextToDfmProp(TDfmProperty& property, const WideString& text) {
    property.Value = ConverterFor(property).ToFormText(text);
}

const TUnitInfo VynTrxDfmUtilsUnit{UnitName, StartVynTrxDfmUtils, EndVynTrxDfmUtils};
