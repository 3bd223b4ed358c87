#include "ResourceStringDeclarations.h"

#include <optional>

#include "AsciiText.h"

namespace {

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}

bool IsIdentifier(std::string_view text) {
    if (text.empty() || !IsIdentStart(text.front()))
        return false;
    for (char c : text)
        if (!IsIdentChar(c))
            return false;
    return true;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::optional<unsigned> HexValue(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    return std::nullopt;
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// One line of a declaration file, read left to right; every failure names the line.
class LineParser {
public:
    LineParser(const std::string& path, size_t lineNumber, std::string_view line)
        : path_(path), lineNumber_(lineNumber), line_(line) {}

    TResourceStringDeclaration Declaration() {
        TResourceStringDeclaration declaration;
        declaration.Line = lineNumber_;
        const size_t nameStart = pos_;
        while (pos_ < line_.size() && IsIdentChar(line_[pos_]))
            ++pos_;
        declaration.Name = std::string(line_.substr(nameStart, pos_ - nameStart));
        if (!IsIdentifier(declaration.Name))
            Fail("a declaration starts with the string's name, an identifier");
        SkipBlanks();
        if (pos_ >= line_.size() || line_[pos_] != '=')
            Fail("'=' expected after " + declaration.Name);
        ++pos_;
        SkipBlanks();
        declaration.Text = QuotedText();
        SkipBlanks();
        if (pos_ < line_.size() && line_[pos_] != '#')
            Fail("nothing but a comment may follow the text");
        return declaration;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw EDeclarationError(path_, lineNumber_, what);
    }

    void SkipBlanks() {
        while (pos_ < line_.size() && IsBlank(line_[pos_]))
            ++pos_;
    }

    WideString QuotedText() {
        if (pos_ >= line_.size() || line_[pos_] != '"')
            Fail("the text is a double-quoted string");
        ++pos_;
        WideString text;
        for (;;) {
            if (pos_ >= line_.size())
                Fail("the text has no closing quote");
            const char c = line_[pos_++];
            if (c == '"')
                break;
            if (c == '\\')
                text += Escape();
            else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                Fail("a control character in the text: write it as an escape");
            else
                text += static_cast<char16_t>(c);
        }
        CheckText(text);
        return text;
    }

    char16_t Escape() {
        if (pos_ >= line_.size())
            Fail("the text has no closing quote");
        switch (line_[pos_++]) {
        case '\\':
            return u'\\';
        case '"':
            return u'"';
        case 'r':
            return u'\r';
        case 'n':
            return u'\n';
        case 't':
            return u'\t';
        case 'u': {
            unsigned value = 0;
            for (int digit = 0; digit < 4; ++digit) {
                const std::optional<unsigned> hex =
                    pos_ < line_.size() ? HexValue(line_[pos_]) : std::nullopt;
                if (!hex)
                    Fail("\\u takes four hexadecimal digits");
                value = value * 16 + *hex;
                ++pos_;
            }
            return static_cast<char16_t>(value);
        }
        default:
            Fail("unknown escape \\" + std::string(1, line_[pos_ - 1]));
        }
    }

    void CheckText(const WideString& text) const {
        if (text.size() > MaxResourceStringLength)
            Fail("the text has " + std::to_string(text.size()) + " units; the runtime loads at most " +
                 std::to_string(MaxResourceStringLength));
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == 0)
                Fail("a zero character would end the text for every reader that takes it as a C string");
            if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
                ++i;
            else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i]))
                Fail("an unpaired surrogate in the text");
        }
    }

    const std::string& path_;
    size_t lineNumber_;
    std::string_view line_;
    size_t pos_ = 0;
};

} // namespace

EDeclarationError::EDeclarationError(const std::string& path, size_t line, const std::string& what)
    : std::runtime_error(path + ":" + std::to_string(line) + ": " + what), path_(path), line_(line) {}

std::string UnitNameOfDeclarationFile(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find('.');
    return std::string(name.substr(0, dot));
}

TUnitResourceStrings ParseResourceStringDeclarations(const std::string& path, std::string_view contents) {
    TUnitResourceStrings unit;
    unit.Path = path;
    unit.Unit = UnitNameOfDeclarationFile(path);
    if (!IsIdentifier(unit.Unit))
        throw EDeclarationError(path, 0, "the file's name must be the unit's name, an identifier");
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < contents.size()) {
        ++lineNumber;
        size_t end = contents.find('\n', start);
        if (end == std::string_view::npos)
            end = contents.size();
        std::string_view line = contents.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        for (size_t i = 0; i < line.size(); ++i)
            if (static_cast<unsigned char>(line[i]) >= 0x80)
                throw EDeclarationError(path, lineNumber,
                                        "a byte beyond ASCII: write such characters as \\uXXXX");
        size_t first = 0;
        while (first < line.size() && IsBlank(line[first]))
            ++first;
        if (first == line.size() || line[first] == '#')
            continue;
        if (first != 0)
            throw EDeclarationError(path, lineNumber, "a declaration starts at the beginning of its line");
        TResourceStringDeclaration declaration = LineParser(path, lineNumber, line).Declaration();
        for (const TResourceStringDeclaration& earlier : unit.Strings)
            if (EqualsIgnoringAsciiCase(earlier.Name, declaration.Name))
                throw EDeclarationError(path, lineNumber,
                                        declaration.Name + " is declared on line " +
                                            std::to_string(earlier.Line) +
                                            " already (names compare without regard to case)");
        unit.Strings.push_back(std::move(declaration));
    }
    return unit;
}
