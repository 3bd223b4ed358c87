// Stored form descriptions as a plain value tree. The tree converts to and from the binary form
// stream ("TPF0", what the installer links in as a resource) and the text form (what people edit),
// so forms are authored as text, compiled at build time, and loaded at run time by code that only
// walks the tree. Nothing here touches the operating system.
//
// Text encoding: a text form is UTF-8 when every byte beyond ASCII forms valid UTF-8 (a leading
// UTF-8 byte order mark is skipped), otherwise each byte is taken as a Latin-1 character. Strings
// whose characters are all ASCII stay narrow (vaString up to 255 characters, vaLString beyond); a
// string with any character beyond ASCII becomes vaWString, because the meaning of narrow bytes
// beyond ASCII depends on a code page the file does not record. Rendered text is pure ASCII: every
// other character is written as a #nnn code.
//
// Canonical form: the parser picks the narrowest integer type and the string types above, so a
// stream written from parsed text converts to text and back byte for byte. Streams from elsewhere
// may carry wider integers, narrow strings with bytes beyond ASCII, UTF-8 strings and the like;
// those convert to text with the same values but come back in the canonical types.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "SysTypes.h"

enum class TValueType : uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
    vaInt64 = 19,
    vaUTF8String = 20
};

// TFormObject::Flags bits.
constexpr uint8_t ffInherited = 1;
constexpr uint8_t ffChildPos = 2;
constexpr uint8_t ffInline = 4;

// Objects, lists and collections together may nest this deep; deeper input is rejected so that
// hostile input cannot exhaust the stack.
constexpr int FormMaxNesting = 256;

struct TFormProperty;
struct TFormCollectionItem;

// One stored value. Only the members belonging to Type are meaningful; the rest stay empty.
struct TFormValue {
    TValueType Type = TValueType::vaNull;
    int64_t Integer = 0;                 // vaInt8..vaInt64; vaCurrency holds the amount times 10000
    double Float = 0.0;                  // vaSingle, vaDate
    std::array<uint8_t, 10> Extended{};  // vaExtended: the x87 bytes themselves, so nothing is lost
    AnsiString Text;                     // vaString, vaLString, vaIdent; the raw bytes of vaBinary
    WideString Wide;                     // vaWString, vaUTF8String
    std::vector<AnsiString> SetItems;    // vaSet
    std::vector<TFormValue> List;        // vaList
    std::vector<TFormCollectionItem> Collection;  // vaCollection

    static TFormValue FromInteger(int64_t value);  // the narrowest integer type holding the value
    static TFormValue FromBoolean(bool value);
    static TFormValue FromIdent(AnsiString ident);
    static TFormValue FromText(const WideString& text);  // string type chosen as the parser does
    static TFormValue FromExtended(double value);
    static TFormValue FromSingle(float value);
    static TFormValue FromCurrency(int64_t amountTimes10000);
    static TFormValue FromDate(double value);
    static TFormValue FromBinary(AnsiString bytes);
    static TFormValue FromSet(std::vector<AnsiString> items);
    static TFormValue FromList(std::vector<TFormValue> items);
    static TFormValue Nil();

    bool IsInteger() const;  // vaInt8..vaInt64
    bool IsFloat() const;    // vaExtended, vaSingle, vaCurrency, vaDate
    bool IsText() const;     // vaString, vaLString, vaWString, vaUTF8String
    bool IsBoolean() const;  // vaFalse, vaTrue

    // The accessors raise EConvertError when the value is of another kind.
    int64_t AsInteger() const;
    bool AsBoolean() const;
    double AsFloat() const;  // any float kind or integer; vaExtended rounded to the nearest double
    const AnsiString& AsIdent() const;
    WideString AsWideText() const;  // narrow strings widened as Latin-1
    const AnsiString& AsBinary() const;

    bool operator==(const TFormValue& other) const;
};

struct TFormProperty {
    AnsiString Name;  // may be dotted: "Font.Name"
    TFormValue Value;

    bool operator==(const TFormProperty& other) const;
};

struct TFormCollectionItem {
    std::optional<int32_t> Order;
    std::vector<TFormProperty> Properties;

    const TFormProperty* FindProperty(const AnsiString& name) const;  // ASCII case-insensitive
    bool operator==(const TFormCollectionItem& other) const;
};

struct TFormObject {
    uint8_t Flags = 0;     // ffInherited, ffChildPos, ffInline
    int32_t ChildPos = 0;  // meaningful with ffChildPos
    AnsiString ClassName;
    AnsiString Name;  // empty for an unnamed object
    std::vector<TFormProperty> Properties;
    std::vector<TFormObject> Children;

    const TFormProperty* FindProperty(const AnsiString& name) const;  // ASCII case-insensitive
    const TFormObject* FindChild(const AnsiString& name) const;       // direct children only
    bool operator==(const TFormObject& other) const;
};

// Raises EReadError: "Stream read error" when the data ends early, "Invalid stream format" for a
// bad signature, unknown value type or malformed value, "Form nesting too deep" past
// FormMaxNesting. Bytes after the root object are ignored.
TFormObject ReadFormBinary(const uint8_t* data, size_t size);
TFormObject ReadFormBinary(const std::vector<uint8_t>& data);

// Raises EWriteError for a tree that has no faithful stream form (an integer outside its type,
// an over-long short string, a non-finite float, a null value, ...).
std::vector<uint8_t> WriteFormBinary(const TFormObject& root);

// Raises EParserError "Line N: message".
TFormObject ParseFormText(const AnsiString& text);

// Readers of single values in the text form, for tools that keep a form's text and edit values
// in place. Both raise EParserError "Line N: message", N counted within text.
// A string followed by any number of "+" and further strings, concatenated; nothing may follow.
WideString ParseFormStringExpression(const AnsiString& text);
// Empty unless the first token is "("; then such strings up to ")", after which nothing may follow.
std::vector<WideString> ParseFormStringList(const AnsiString& text);

// Canonical text: two-space indentation, CR LF line ends. Raises EConvertError for a tree the text
// form cannot express (a name or identifier value that is not an identifier, an empty
// identifier value, non-finite floats, ...), rather than writing text that means something else.
AnsiString RenderFormText(const TFormObject& root);
