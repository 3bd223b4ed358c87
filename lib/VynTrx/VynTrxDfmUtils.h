// Form text as the translation tools see it: a light tree of objects and properties whose values
// stay the text they were written as, so that a form resource can have single values replaced and
// be written back without its component classes being known. The tree renders back exactly the
// text the framework's text writer produced; converters registered per property name turn values
// into plain text and back. Platform-free: VynTrxDfmResources reads and writes the form resources
// of modules.
//
// Lines end at CR, LF or CR LF. The indentation level of a line is (leading blanks + 1) div 2; a
// property's value runs on over the following lines indented at least two levels deeper than its
// object's header. Paths: the root's path is its name; another object's path is its path
// parent's path, ".", its name; a collection item's path is its owner's path, ".", the property
// name and "[index]" (from 0); a property's path is its owner's path, ".", its name. A child's path
// parent is its parent object when the parent's class is listed in the form's inline classes,
// else the parent's own path parent, so components are named form.component unless they sit
// inside an instance of an inline class.
//
// Parse errors, all raised before the form holds anything usable, keep the message the
// translation tools have always shown; Subject() says where: "line N" of the text.
//   EVynInternalError "Dfm parse error: No more strings to find properties."
//   EVynInternalError "Dfm parse error: No more strings to find objects."
//   EVynInternalError "Dfm parse error: Object %s has no ending." / "...ended with \"%s\"."
//   EVynInternalError "Dfm parse error: Object %s nests too deep." (past FormMaxNesting levels)
//   Exception "Collection Item (%s) must be = 'item': %s"
//   Exception "Collection Property must have 2 lines (%s)."
//   Exception "Collection must start with \"<\": '%s'" / "Collection must end with \"end>\": '%s'"
//   EParserError from the framework's reader of the two list properties below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Classes.h"
#include "SysTypes.h"
#include "UnitRegistry.h"
#include "VynClasses.h"

class TDfmForm;
class TDfmProperty;

// Every property of the forms parsed, in parse order; the forms own them.
using TDfmPropertyList = std::vector<TDfmProperty*>;

class TDfmObject : public TObject {
    RTL_DECLARE_CLASS_INFO()
public:
    TDfmObject() = default;
    ~TDfmObject() override;
    TDfmObject(const TDfmObject&) = delete;
    TDfmObject& operator=(const TDfmObject&) = delete;

    // The text of the object and its subtree, each line ended by CR LF and indented two blanks
    // per level. A property holding collection items has its value rebuilt from them first, so
    // edits of item properties reach the text.
    AnsiString Render();

    TDfmForm* Form = nullptr;
    // The form's root object is its own path parent.
    TDfmObject* PathParent = nullptr;
    int32_t Depth = 0;
    AnsiString Path;
    // "object", "inherited" or "inline"; empty for a collection item.
    AnsiString Keyword;
    // "item" for a collection item; empty for an unnamed object.
    AnsiString Name;
    // The header's text after the colon (with a child position, if any); empty for an item.
    AnsiString ComponentClass;
    std::vector<std::unique_ptr<TDfmProperty>> Properties;
    std::vector<std::unique_ptr<TDfmObject>> Children;
};

class TDfmProperty : public TObject {
    RTL_DECLARE_CLASS_INFO()
public:
    TDfmProperty() = default;
    ~TDfmProperty() override;
    TDfmProperty(const TDfmProperty&) = delete;
    TDfmProperty& operator=(const TDfmProperty&) = delete;

    TDfmObject* Owner = nullptr;
    // The parsed items when the value is a collection with items; none for "<>" and other values.
    std::optional<std::vector<std::unique_ptr<TDfmObject>>> Items;
    AnsiString Path;
    // As written; may be dotted ("Title.Caption").
    AnsiString Name;
    // The text after "=", trimmed; a value running on over further lines keeps them verbatim,
    // joined by CR LF.
    AnsiString Value;
};

// Called with the original text and its rendering when they differ, before the form raises.
using TDfmRenderMismatchHandler = std::function<void(const AnsiString& original, const AnsiString& rendered)>;

class TDfmForm : public TDfmObject {
    RTL_DECLARE_CLASS_INFO()
public:
    TDfmForm() = default;
    ~TDfmForm() override;

    // Parses the form text into this form, replacing what it held. Every property parsed is
    // appended to properties (which may be null) once the whole text has parsed; after a parse
    // error the form holds nothing and properties is as it was.
    void Parse(const AnsiString& text, TDfmPropertyList* properties);
    // Parse, then the self-check: the form must render exactly the text. On a difference
    // onMismatch (if any) sees both texts, the form is emptied and EVynInternalError
    // DfmRenderMismatchMessage raised; properties is appended to only when the check passes.
    void Load(const AnsiString& text, TDfmPropertyList* properties,
              const TDfmRenderMismatchHandler& onMismatch);

    // The translatable property paths the form lists ("VynTranslatableProps.WideStrings"), each
    // prefixed with the form's name and ".", sorted; none when the form lists none.
    std::unique_ptr<TVynStringList> TranslatableProps;
    // The inline classes the form lists ("VynInlineClasses.WideStrings"), sorted; none when the
    // form lists none.
    std::unique_ptr<TVynStringList> InlineClasses;

private:
    void Clear();
};

using TDfmFormList = std::vector<std::unique_ptr<TDfmForm>>;

// The self-check's failure; the files are where the resource reader leaves the two texts.
constexpr char DfmRenderMismatchMessage[] =
    "Internal Error: DFM did not render correctly.  See the files: \r\n"
    "  c:\\Vyn_Original_Dfm.txt\r\n"
    "  c:\\Vyn_Rendered_Dfm.txt";

// The framework's conversions between the binary form stream and its text. Binary to text raises
// EReadError for a malformed stream (and EConvertError for one the text cannot express); text to
// binary raises EParserError and EWriteError.
AnsiString DfmBinaryToText(const uint8_t* data, size_t size);
std::vector<uint8_t> DfmTextToBinary(const AnsiString& text);

// A wide text as a string value of the form text: printable ASCII other than the quote between
// quotes, every other code unit as "#" and its decimal code; "''" for the empty text. A text of
// more than 64 units starts on a new line and continues after each 64 units with " +" and a new
// line, so that no quoted run is split and no two quoted runs touch.
AnsiString DfmStringLiteral(const WideString& text);

// Value converters between form text and plain text, per property name.
struct TDfmPropConverter {
    // Raises for a value the converter cannot read.
    WideString (*ToText)(const AnsiString& value);
    AnsiString (*ToFormText)(const WideString& text);
};

// Registers (or replaces) the converter for a property name, compared without regard to case.
// The unit registers "Caption", "Title.Caption" and "Hint" (string values, DfmStringLiteral) and
// "ShortCut" (decimal values shown as shortcut texts, VynShortCuts; a value without a name is
// shown as its decimal number, which converts back unchanged).
void RegisterDfmPropConverter(const AnsiString& propertyName, TDfmPropConverter converter);
// The plain text of the property's value. Raises EVynInternalError "Property can not be converted
// for : " + name when no converter is registered for the name, and what the converter raises:
// EParserError for a malformed string value, EConvertError for a shortcut value that is not an
// integer.
WideString DfmPropToText(const TDfmProperty& property);
// Sets the value to the converter's form text of text; raises as DfmPropToText, and EConvertError
// for a text that names no shortcut (rather than storing no shortcut at all).
void TextToDfmProp(TDfmProperty& property, const WideString& text);

// Creates the converter registry with the unit's converters; the last end frees it.
extern const TUnitInfo VynTrxDfmUtilsUnit;
