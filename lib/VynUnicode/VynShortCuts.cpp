#include "VynShortCuts.h"

#include <array>
#include <string>
#include <string_view>

#include "AsciiText.h"

namespace {

constexpr TShortCut KeyMask = 0x00FF;
constexpr TShortCut ModifierMask = scShift | scCtrl | scAlt;

struct Modifier {
    TShortCut Bit;
    std::u16string_view Name;
};

// The order in which texts name them.
constexpr std::array<Modifier, 3> Modifiers{{{scShift, u"Shift+"}, {scCtrl, u"Ctrl+"}, {scAlt, u"Alt+"}}};

struct NamedKey {
    uint8_t Code;
    std::u16string_view Name;
};

// Virtual-key codes whose name is not simply a letter, a digit or F1..F24.
constexpr std::array<NamedKey, 20> NamedKeys{
    {{0x08, u"BkSp"},  {0x09, u"Tab"},   {0x0D, u"Enter"}, {0x1B, u"Esc"},   {0x20, u"Space"},
     {0x21, u"PgUp"},  {0x22, u"PgDn"},  {0x23, u"End"},   {0x24, u"Home"},  {0x25, u"Left"},
     {0x26, u"Up"},    {0x27, u"Right"}, {0x28, u"Down"},  {0x2D, u"Ins"},   {0x2E, u"Del"},
     {0x6A, u"Num *"}, {0x6B, u"Num +"}, {0x6D, u"Num -"}, {0x6E, u"Num ."}, {0x6F, u"Num /"}}};

constexpr uint8_t FirstDigit = 0x30;
constexpr uint8_t FirstLetter = 0x41;
constexpr uint8_t FirstNumPad = 0x60;
constexpr uint8_t FirstFunction = 0x70;
constexpr uint8_t FunctionKeys = 24;

std::optional<WideString> KeyName(uint8_t code) {
    for (const NamedKey& key : NamedKeys) {
        if (key.Code == code)
            return WideString(key.Name);
    }
    if (code >= FirstDigit && code < FirstDigit + 10)
        return WideString(1, static_cast<char16_t>(u'0' + (code - FirstDigit)));
    if (code >= FirstLetter && code < FirstLetter + 26)
        return WideString(1, static_cast<char16_t>(u'A' + (code - FirstLetter)));
    if (code >= FirstNumPad && code < FirstNumPad + 10)
        return u"Num " + WideString(1, static_cast<char16_t>(u'0' + (code - FirstNumPad)));
    if (code >= FirstFunction && code < FirstFunction + FunctionKeys) {
        const std::string number = std::to_string(code - FirstFunction + 1);
        return u"F" + WideString(number.begin(), number.end());
    }
    return std::nullopt;
}

std::optional<uint8_t> KeyCodeOf(std::u16string_view name) {
    for (unsigned code = 1; code <= 0xFF; ++code) {
        const std::optional<WideString> candidate = KeyName(static_cast<uint8_t>(code));
        if (candidate && EqualsIgnoringAsciiCase(*candidate, name))
            return static_cast<uint8_t>(code);
    }
    return std::nullopt;
}

} // namespace

std::optional<WideString> ShortCutToTextWide(TShortCut shortCut) {
    if (shortCut == scNone)
        return WideString();
    if ((shortCut & ~(KeyMask | ModifierMask)) != 0)
        return std::nullopt;
    std::optional<WideString> key = KeyName(static_cast<uint8_t>(shortCut & KeyMask));
    if (!key)
        return std::nullopt;
    WideString text;
    for (const Modifier& modifier : Modifiers) {
        if ((shortCut & modifier.Bit) != 0)
            text += modifier.Name;
    }
    return text + *key;
}

std::optional<TShortCut> TextToShortCutWide(const WideString& text) {
    if (text.empty())
        return scNone;
    std::u16string_view rest = text;
    TShortCut modifiers = 0;
    for (bool found = true; found;) {
        found = false;
        for (const Modifier& modifier : Modifiers) {
            if (rest.size() > modifier.Name.size() &&
                EqualsIgnoringAsciiCase(rest.substr(0, modifier.Name.size()), modifier.Name)) {
                if ((modifiers & modifier.Bit) != 0)
                    return std::nullopt;
                modifiers |= modifier.Bit;
                rest.remove_prefix(modifier.Name.size());
                found = true;
            }
        }
    }
    const std::optional<uint8_t> code = KeyCodeOf(rest);
    if (!code)
        return std::nullopt;
    return static_cast<TShortCut>(modifiers | *code);
}
