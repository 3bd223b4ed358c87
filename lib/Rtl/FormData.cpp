#include "FormData.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "Exceptions.h"
#include "FloatText.h"
#include "FormDataShared.h"

namespace {

using namespace FormDataShared;
using namespace FloatText;

[[noreturn]] void ThrowConvert(const char* expected) {
    throw EConvertError(AnsiString("Invalid property value: ") + expected + " expected");
}

const TFormProperty* FindPropertyIn(const std::vector<TFormProperty>& properties, const AnsiString& name) {
    for (const TFormProperty& property : properties) {
        if (EqualsIgnoringAsciiCase(property.Name, name))
            return &property;
    }
    return nullptr;
}

} // namespace

TFormValue TFormValue::FromInteger(int64_t value) {
    TFormValue result;
    result.Integer = value;
    if (value >= INT8_MIN && value <= INT8_MAX)
        result.Type = TValueType::vaInt8;
    else if (value >= INT16_MIN && value <= INT16_MAX)
        result.Type = TValueType::vaInt16;
    else if (value >= INT32_MIN && value <= INT32_MAX)
        result.Type = TValueType::vaInt32;
    else
        result.Type = TValueType::vaInt64;
    return result;
}

TFormValue TFormValue::FromBoolean(bool value) {
    TFormValue result;
    result.Type = value ? TValueType::vaTrue : TValueType::vaFalse;
    return result;
}

TFormValue TFormValue::FromIdent(AnsiString ident) {
    TFormValue result;
    result.Type = TValueType::vaIdent;
    result.Text = std::move(ident);
    return result;
}

TFormValue TFormValue::FromText(const WideString& text) {
    TFormValue result;
    if (std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x80; })) {
        result.Type = text.size() <= 255 ? TValueType::vaString : TValueType::vaLString;
        result.Text.assign(text.begin(), text.end());
    } else {
        result.Type = TValueType::vaWString;
        result.Wide = text;
    }
    return result;
}

TFormValue TFormValue::FromExtended(double value) {
    const std::optional<BinaryFloat> finite = DecodeDouble(value);
    if (!finite)
        throw EConvertError("Invalid floating point value");
    BinaryFloat decoded = *finite;
    if (decoded.Mantissa != 0) {
        // A double always fits an extended exactly; only the mantissa needs its leading one at bit 63.
        const int shift = 64 - std::bit_width(decoded.Mantissa);
        decoded.Mantissa <<= shift;
        decoded.Exponent -= shift;
    }
    TFormValue result;
    result.Type = TValueType::vaExtended;
    result.Extended = EncodeExtended(decoded);
    return result;
}

TFormValue TFormValue::FromSingle(float value) {
    if (!std::isfinite(value))
        throw EConvertError("Invalid floating point value");
    TFormValue result;
    result.Type = TValueType::vaSingle;
    result.Float = value;
    return result;
}

TFormValue TFormValue::FromCurrency(int64_t amountTimes10000) {
    TFormValue result;
    result.Type = TValueType::vaCurrency;
    result.Integer = amountTimes10000;
    return result;
}

TFormValue TFormValue::FromDate(double value) {
    if (!std::isfinite(value))
        throw EConvertError("Invalid floating point value");
    TFormValue result;
    result.Type = TValueType::vaDate;
    result.Float = value;
    return result;
}

TFormValue TFormValue::FromBinary(AnsiString bytes) {
    TFormValue result;
    result.Type = TValueType::vaBinary;
    result.Text = std::move(bytes);
    return result;
}

TFormValue TFormValue::FromSet(std::vector<AnsiString> items) {
    TFormValue result;
    result.Type = TValueType::vaSet;
    result.SetItems = std::move(items);
    return result;
}

TFormValue TFormValue::FromList(std::vector<TFormValue> items) {
    TFormValue result;
    result.Type = TValueType::vaList;
    result.List = std::move(items);
    return result;
}

TFormValue TFormValue::Nil() {
    TFormValue result;
    result.Type = TValueType::vaNil;
    return result;
}

bool TFormValue::IsInteger() const {
    return Type == TValueType::vaInt8 || Type == TValueType::vaInt16 || Type == TValueType::vaInt32 ||
           Type == TValueType::vaInt64;
}

bool TFormValue::IsFloat() const {
    return Type == TValueType::vaExtended || Type == TValueType::vaSingle || Type == TValueType::vaCurrency ||
           Type == TValueType::vaDate;
}

bool TFormValue::IsText() const {
    return IsStringType(Type);
}

bool TFormValue::IsBoolean() const {
    return Type == TValueType::vaFalse || Type == TValueType::vaTrue;
}

int64_t TFormValue::AsInteger() const {
    if (!IsInteger())
        ThrowConvert("integer");
    return Integer;
}

bool TFormValue::AsBoolean() const {
    if (!IsBoolean())
        ThrowConvert("boolean");
    return Type == TValueType::vaTrue;
}

double TFormValue::AsFloat() const {
    switch (Type) {
    case TValueType::vaExtended: {
        const std::optional<BinaryFloat> decoded = DecodeExtended(Extended);
        if (!decoded)
            ThrowConvert("finite number");
        return ExtendedToDouble(*decoded);
    }
    case TValueType::vaSingle:
    case TValueType::vaDate:
        return Float;
    case TValueType::vaCurrency:
        return static_cast<double>(Integer) / 10000.0;
    default:
        if (IsInteger())
            return static_cast<double>(Integer);
        ThrowConvert("number");
    }
}

const AnsiString& TFormValue::AsIdent() const {
    if (Type != TValueType::vaIdent)
        ThrowConvert("identifier");
    return Text;
}

WideString TFormValue::AsWideText() const {
    if (Type == TValueType::vaString || Type == TValueType::vaLString) {
        WideString widened;
        widened.reserve(Text.size());
        for (char c : Text)
            widened += static_cast<char16_t>(static_cast<unsigned char>(c));
        return widened;
    }
    if (Type == TValueType::vaWString || Type == TValueType::vaUTF8String)
        return Wide;
    ThrowConvert("string");
}

const AnsiString& TFormValue::AsBinary() const {
    if (Type != TValueType::vaBinary)
        ThrowConvert("binary data");
    return Text;
}

// Written out member by member: a defaulted comparison of a type that holds a vector of itself
// crashes clang 14 and 16.
bool TFormValue::operator==(const TFormValue& other) const {
    return Type == other.Type && Integer == other.Integer && Float == other.Float &&
           Extended == other.Extended && Text == other.Text && Wide == other.Wide &&
           SetItems == other.SetItems && List == other.List && Collection == other.Collection;
}

bool TFormProperty::operator==(const TFormProperty& other) const {
    return Name == other.Name && Value == other.Value;
}

bool TFormCollectionItem::operator==(const TFormCollectionItem& other) const {
    return Order == other.Order && Properties == other.Properties;
}

bool TFormObject::operator==(const TFormObject& other) const {
    return Flags == other.Flags && ChildPos == other.ChildPos && ClassName == other.ClassName &&
           Name == other.Name && Properties == other.Properties && Children == other.Children;
}

const TFormProperty* TFormCollectionItem::FindProperty(const AnsiString& name) const {
    return FindPropertyIn(Properties, name);
}

const TFormProperty* TFormObject::FindProperty(const AnsiString& name) const {
    return FindPropertyIn(Properties, name);
}

const TFormObject* TFormObject::FindChild(const AnsiString& name) const {
    for (const TFormObject& child : Children) {
        if (EqualsIgnoringAsciiCase(child.Name, name))
            return &child;
    }
    return nullptr;
}
