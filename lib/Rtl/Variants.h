// The framework's variants: an owned OLE VARIANT, one-dimensional arrays of variants, and
// conversions and comparisons by the system's own rules (VariantChangeTypeEx, VarCmp), so values
// behave as they do for every other OLE Automation client.
//
// Narrow text: a VARIANT has no type for ANSI bytes, and a BSTR holding bytes would be taken for
// wide text by every system routine. A narrow string is therefore VT_UNKNOWN holding the
// framework's immutable byte-text object (recognised by a private interface id). The object is
// reference counted, so its bytes survive VariantCopy, VariantClear and SAFEARRAY copies
// unchanged, and no byte value is ever passed through a code page unless the caller asks for
// wide text (then the runtime's AnsiToWide applies, as for any narrow string of the program).
// Conversions and comparisons see a narrow string as the wide text it converts to.
//
// No code here assumes the size of a VARIANT (16 bytes on i686, 24 on x86-64).
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstdint>

#include "Exceptions.h"
#include "SysTypes.h"

// A conversion the system refuses, a value that is not the array asked for, an element index
// outside the bounds. Messages: "Could not convert variant of type (%s) into type (%s)",
// "Overflow while converting variant of type (%s) into type (%s)", "Variant is not an array",
// "Variant array is not one-dimensional", "Variant array elements are not variants",
// "Variant array bounds error", "Variant or safe array index out of bounds".
RTL_DECLARE_EXCEPTION(EVariantError, Exception)

// How two values relate; empty and null are comparable to nothing, not even to each other.
enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotComparable };

class TVariant {
public:
    TVariant() noexcept;                      // empty (VT_EMPTY)
    explicit TVariant(const VARIANT& source); // VariantCopy of source
    TVariant(const TVariant& other);
    TVariant(TVariant&& other) noexcept;
    TVariant& operator=(const TVariant& other);
    TVariant& operator=(TVariant&& other) noexcept;
    ~TVariant();

    static TVariant Null();
    static TVariant FromSmallInt(int16_t value);
    static TVariant FromWord(uint16_t value);
    static TVariant FromInteger(int32_t value);
    static TVariant FromInt64(int64_t value);
    static TVariant FromDouble(double value);
    static TVariant FromCurrency(int64_t tenThousandths);
    // An OLE date: days since 30 December 1899, the time as the fraction.
    static TVariant FromDate(double value);
    static TVariant FromBoolean(bool value);
    static TVariant FromDecimal(const DECIMAL& value);
    static TVariant FromWide(const WideString& text);
    // A narrow string: the bytes come back from AsAnsi exactly as given, zeros included.
    static TVariant FromAnsi(const AnsiString& bytes);
    // A one-dimensional array of variants (VT_ARRAY | VT_VARIANT) with every element empty;
    // highBound = lowBound - 1 makes an empty array. Raises "Variant array bounds error" below that.
    static TVariant CreateArray(int32_t lowBound, int32_t highBound);

    // The held value for calls of the system; the object stays its owner.
    const VARIANT& Value() const noexcept { return value_; }
    // Clears the held value and lends its slot to an out-parameter.
    VARIANT* Put() noexcept;
    // Hands the value to the caller, who must VariantClear it; this becomes empty.
    [[nodiscard]] VARIANT Detach() noexcept;

    // The VARTYPE as stored (a narrow string is VT_UNKNOWN here).
    VARTYPE Type() const noexcept { return value_.vt; }
    bool IsEmpty() const noexcept { return value_.vt == VT_EMPTY; }
    bool IsNull() const noexcept { return value_.vt == VT_NULL; }
    bool IsArray() const noexcept { return (value_.vt & VT_ARRAY) != 0; }
    bool IsNarrowString() const noexcept;
    // Wide (VT_BSTR) or narrow text.
    bool IsString() const noexcept { return value_.vt == VT_BSTR || IsNarrowString(); }

    // 0 for a value that is not an array.
    int DimCount() const noexcept;
    // Bounds of a dimension (1 = the first); raises for a value that is not an array.
    int32_t LowBound(int dimension = 1) const;
    int32_t HighBound(int dimension = 1) const;
    // Copies of one element of a one-dimensional array of variants, and storing a copy into one.
    TVariant Element(int32_t index) const;
    void SetElement(int32_t index, const TVariant& value);

    // VariantChangeTypeEx in the user's locale (booleans as text "True"/"False"); a narrow string
    // is converted as its wide text. Raises EVariantError naming both types.
    TVariant ChangeType(VARTYPE type) const;
    WideString AsWide() const;
    // The bytes of a narrow string as stored; other values as wide text through WideToAnsi.
    AnsiString AsAnsi() const;
    double AsDouble() const;
    int32_t AsInteger() const;
    int64_t AsInt64() const;
    bool AsBoolean() const;

private:
    VARIANT value_;
};

// "Empty", "Null", "Integer", "OleStr", "String" (narrow), "Array of Variant", ... as the
// conversion messages name them.
AnsiString VariantTypeName(const TVariant& value);
AnsiString VariantTypeName(VARTYPE type);

// The relationship of left to right by VarCmp in the user's locale, text with regard to case.
// Empty or null on either side, arrays, and pairs the system cannot compare are not comparable;
// other failures of VarCmp raise EVariantError "Invalid variant operation".
TVariantRelationship VariantRelationship(const TVariant& left, const TVariant& right);
