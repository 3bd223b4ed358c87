#include "MaskFormat.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace {

constexpr char SectionSeparator = ';';
constexpr char EscapeCharacter = '\\';
constexpr char FromEndDirective = '!';
constexpr char UpperDirective = '>';
constexpr char LowerDirective = '<';
constexpr char NoSaveLiterals = '0';
constexpr char DefaultBlank = '_';

enum class CaseShift { None, Upper, Lower };

struct MaskItem {
    bool input = false;
    // The character a literal shows.
    char literal = 0;
    // The case shift in force at an input position.
    CaseShift shift = CaseShift::None;
};

struct ParsedMask {
    std::vector<MaskItem> items;
    bool saveLiterals = true;
    char blank = DefaultBlank;
    bool fromEnd = false;
};

bool IsInputCharacter(char c) {
    switch (c) {
    case '0':
    case '9':
    case '#':
    case 'L':
    case 'l':
    case 'A':
    case 'a':
    case 'C':
    case 'c':
    case '&':
        return true;
    default:
        return false;
    }
}

ParsedMask ParseMask(std::string_view mask) {
    ParsedMask parsed;
    CaseShift shift = CaseShift::None;
    size_t pos = 0;
    while (pos < mask.size() && mask[pos] != SectionSeparator) {
        const char c = mask[pos++];
        if (c == EscapeCharacter) {
            // A '\' that ends the mask escapes nothing: it shows as itself.
            const char literal = pos < mask.size() ? mask[pos++] : EscapeCharacter;
            parsed.items.push_back({false, literal, CaseShift::None});
        } else if (c == FromEndDirective) {
            parsed.fromEnd = true;
        } else if (c == UpperDirective) {
            shift = CaseShift::Upper;
        } else if (c == LowerDirective) {
            if (pos < mask.size() && mask[pos] == UpperDirective) {
                ++pos;
                shift = CaseShift::None;
            } else {
                shift = CaseShift::Lower;
            }
        } else if (IsInputCharacter(c)) {
            parsed.items.push_back({true, 0, shift});
        } else {
            parsed.items.push_back({false, c, CaseShift::None});
        }
    }
    if (pos >= mask.size())
        return parsed;
    ++pos; // the separator
    const size_t saveSection = pos;
    parsed.saveLiterals = !(saveSection < mask.size() && mask[saveSection] == NoSaveLiterals);
    const size_t nextSeparator = mask.find(SectionSeparator, saveSection);
    if (nextSeparator != std::string_view::npos && nextSeparator + 1 < mask.size())
        parsed.blank = mask[nextSeparator + 1];
    return parsed;
}

char Shifted(char c, CaseShift shift) {
    if (shift == CaseShift::Upper && c >= 'a' && c <= 'z')
        return static_cast<char>(c - 'a' + 'A');
    if (shift == CaseShift::Lower && c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c;
}

// Writes items [first, last) with text filling their input positions: in order, or from the end;
// characters beyond the positions follow the last one (precede the first when filling from the
// end), and without any position they follow the items.
void EmitFilled(const ParsedMask& mask, size_t first, size_t last, std::string_view text, AnsiString& out) {
    size_t inputs = 0;
    for (size_t i = first; i < last; ++i)
        inputs += mask.items[i].input ? 1 : 0;
    const size_t overflow = text.size() > inputs ? text.size() - inputs : 0;
    const size_t blanks = text.size() < inputs ? inputs - text.size() : 0;
    const std::string_view before = mask.fromEnd ? text.substr(0, overflow) : std::string_view();
    const std::string_view after = mask.fromEnd ? std::string_view() : text.substr(text.size() - overflow);
    const std::string_view placed =
        mask.fromEnd ? text.substr(overflow) : text.substr(0, text.size() - overflow);

    size_t slot = 0;
    size_t next = 0;
    for (size_t i = first; i < last; ++i) {
        const MaskItem& item = mask.items[i];
        if (!item.input) {
            out += item.literal;
            continue;
        }
        if (slot == 0)
            out += before;
        const bool empty = mask.fromEnd ? slot < blanks : next >= placed.size();
        out += empty ? mask.blank : Shifted(placed[next++], item.shift);
        if (++slot == inputs)
            out += after;
    }
    if (inputs == 0)
        out += text;
}

AnsiString FormatInputOnly(const ParsedMask& mask, std::string_view value) {
    AnsiString out;
    EmitFilled(mask, 0, mask.items.size(), value, out);
    return out;
}

AnsiString FormatWithLiterals(const ParsedMask& mask, std::string_view value) {
    AnsiString out;
    const size_t count = mask.items.size();
    size_t pos = 0;
    size_t i = 0;
    while (i < count) {
        if (!mask.items[i].input) {
            const char literal = mask.items[i].literal;
            out += literal;
            if (pos < value.size() && value[pos] == literal)
                ++pos;
            ++i;
            continue;
        }
        size_t runEnd = i;
        while (runEnd < count && mask.items[runEnd].input)
            ++runEnd;
        size_t fieldEnd = value.size();
        if (runEnd < count) {
            const size_t delimiter = value.find(mask.items[runEnd].literal, pos);
            if (delimiter != std::string_view::npos)
                fieldEnd = delimiter;
        }
        EmitFilled(mask, i, runEnd, value.substr(pos, fieldEnd - pos), out);
        pos = fieldEnd;
        i = runEnd;
    }
    out += value.substr(pos);
    return out;
}

} // namespace

AnsiString FormatMaskText(const AnsiString& mask, const AnsiString& value) {
    const ParsedMask parsed = ParseMask(mask);
    if (parsed.items.empty())
        return value;
    return parsed.saveLiterals ? FormatWithLiterals(parsed, value) : FormatInputOnly(parsed, value);
}
