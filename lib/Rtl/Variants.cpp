#include "Variants.h"

#include <climits>
#include <new>
#include <utility>

#include "Format.h"
#include "TextConversion.h"

namespace {

// {5B0E2C44-8F0B-4D7A-9E63-2A51C07D13F8}: answered only by the framework's narrow-text object.
constexpr IID NarrowTextId = {0x5b0e2c44, 0x8f0b, 0x4d7a, {0x9e, 0x63, 0x2a, 0x51, 0xc0, 0x7d, 0x13, 0xf8}};

class NarrowText final : public IUnknown {
public:
    explicit NarrowText(AnsiString bytes) : bytes_(std::move(bytes)) {}
    NarrowText(const NarrowText&) = delete;
    NarrowText& operator=(const NarrowText&) = delete;

    const AnsiString& Bytes() const noexcept { return bytes_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, NarrowTextId)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(::InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

private:
    ~NarrowText() = default;

    LONG references_ = 1;
    const AnsiString bytes_;
};

// The narrow-text object a value holds, or null. Asks the object itself, as COM identifies
// interfaces; the reference it hands back is dropped at once, since the value keeps its own.
const NarrowText* NarrowTextOf(const VARIANT& value) noexcept {
    if (value.vt != VT_UNKNOWN || value.punkVal == nullptr)
        return nullptr;
    void* found = nullptr;
    if (FAILED(value.punkVal->QueryInterface(NarrowTextId, &found)) || found == nullptr)
        return nullptr;
    auto* text = static_cast<NarrowText*>(static_cast<IUnknown*>(found));
    text->Release();
    return text;
}

AnsiString BaseTypeName(VARTYPE type) {
    switch (type) {
    case VT_EMPTY:
        return "Empty";
    case VT_NULL:
        return "Null";
    case VT_I2:
        return "Smallint";
    case VT_I4:
        return "Integer";
    case VT_R4:
        return "Single";
    case VT_R8:
        return "Double";
    case VT_CY:
        return "Currency";
    case VT_DATE:
        return "Date";
    case VT_BSTR:
        return "OleStr";
    case VT_DISPATCH:
        return "Dispatch";
    case VT_ERROR:
        return "Error";
    case VT_BOOL:
        return "Boolean";
    case VT_VARIANT:
        return "Variant";
    case VT_UNKNOWN:
        return "Unknown";
    case VT_DECIMAL:
        return "Decimal";
    case VT_I1:
        return "ShortInt";
    case VT_UI1:
        return "Byte";
    case VT_UI2:
        return "Word";
    case VT_UI4:
        return "LongWord";
    case VT_I8:
        return "Int64";
    case VT_UI8:
        return "UInt64";
    case VT_INT:
        return "Int";
    case VT_UINT:
        return "UInt";
    default:
        return Format("$%.4x", {static_cast<unsigned>(type)});
    }
}

[[noreturn]] void RaiseConversionError(HRESULT result, const AnsiString& from, VARTYPE to) {
    const char* text = result == DISP_E_OVERFLOW
                           ? "Overflow while converting variant of type (%s) into type (%s)"
                           : "Could not convert variant of type (%s) into type (%s)";
    throw EVariantError(Format(text, {from, VariantTypeName(to)}));
}

// The array a value holds (by reference too); raises for any other value.
SAFEARRAY* ArrayOf(const VARIANT& value) {
    if ((value.vt & VT_ARRAY) == 0)
        throw EVariantError("Variant is not an array");
    SAFEARRAY* array =
        (value.vt & VT_BYREF) != 0 ? (value.pparray != nullptr ? *value.pparray : nullptr) : value.parray;
    if (array == nullptr)
        throw EVariantError("Variant is not an array");
    return array;
}

// The array of variants one-dimensional element access works on.
SAFEARRAY* VariantVectorOf(const VARIANT& value) {
    SAFEARRAY* array = ArrayOf(value);
    if (::SafeArrayGetDim(array) != 1)
        throw EVariantError("Variant array is not one-dimensional");
    VARTYPE elementType = VT_EMPTY;
    if (FAILED(::SafeArrayGetVartype(array, &elementType)) || elementType != VT_VARIANT)
        throw EVariantError("Variant array elements are not variants");
    return array;
}

[[noreturn]] void RaiseElementError(HRESULT result) {
    if (result == E_OUTOFMEMORY)
        throw std::bad_alloc();
    throw EVariantError("Variant or safe array index out of bounds");
}

} // namespace

TVariant::TVariant() noexcept {
    ::VariantInit(&value_);
}

TVariant::TVariant(const VARIANT& source) {
    ::VariantInit(&value_);
    const HRESULT result = ::VariantCopy(&value_, const_cast<VARIANT*>(&source));
    if (FAILED(result)) {
        if (result == E_OUTOFMEMORY)
            throw std::bad_alloc();
        throw EVariantError(Format("Could not copy variant of type (%s)", {VariantTypeName(source.vt)}));
    }
}

TVariant::TVariant(const TVariant& other) : TVariant(other.value_) {}

TVariant::TVariant(TVariant&& other) noexcept : value_(other.value_) {
    ::VariantInit(&other.value_);
}

TVariant& TVariant::operator=(const TVariant& other) {
    if (this != &other) {
        TVariant copy(other);
        *this = std::move(copy);
    }
    return *this;
}

TVariant& TVariant::operator=(TVariant&& other) noexcept {
    if (this != &other) {
        ::VariantClear(&value_);
        value_ = other.value_;
        ::VariantInit(&other.value_);
    }
    return *this;
}

TVariant::~TVariant() {
    ::VariantClear(&value_);
}

TVariant TVariant::Null() {
    TVariant result;
    result.value_.vt = VT_NULL;
    return result;
}

TVariant TVariant::FromSmallInt(int16_t value) {
    TVariant result;
    result.value_.vt = VT_I2;
    result.value_.iVal = value;
    return result;
}

TVariant TVariant::FromWord(uint16_t value) {
    TVariant result;
    result.value_.vt = VT_UI2;
    result.value_.uiVal = value;
    return result;
}

TVariant TVariant::FromInteger(int32_t value) {
    TVariant result;
    result.value_.vt = VT_I4;
    result.value_.lVal = value;
    return result;
}

TVariant TVariant::FromInt64(int64_t value) {
    TVariant result;
    result.value_.vt = VT_I8;
    result.value_.llVal = value;
    return result;
}

TVariant TVariant::FromDouble(double value) {
    TVariant result;
    result.value_.vt = VT_R8;
    result.value_.dblVal = value;
    return result;
}

TVariant TVariant::FromCurrency(int64_t tenThousandths) {
    TVariant result;
    result.value_.vt = VT_CY;
    result.value_.cyVal.int64 = tenThousandths;
    return result;
}

TVariant TVariant::FromDate(double value) {
    TVariant result;
    result.value_.vt = VT_DATE;
    result.value_.date = value;
    return result;
}

TVariant TVariant::FromBoolean(bool value) {
    TVariant result;
    result.value_.vt = VT_BOOL;
    result.value_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return result;
}

TVariant TVariant::FromDecimal(const DECIMAL& value) {
    TVariant result;
    // The decimal overlays the whole VARIANT, its type field included: set the type last.
    result.value_.decVal = value;
    result.value_.vt = VT_DECIMAL;
    return result;
}

TVariant TVariant::FromWide(const WideString& text) {
    if (text.size() > UINT_MAX / sizeof(OLECHAR))
        throw std::bad_alloc();
    BSTR string =
        ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    if (string == nullptr)
        throw std::bad_alloc();
    TVariant result;
    result.value_.vt = VT_BSTR;
    result.value_.bstrVal = string;
    return result;
}

TVariant TVariant::FromAnsi(const AnsiString& bytes) {
    TVariant result;
    result.value_.punkVal = new NarrowText(bytes);
    result.value_.vt = VT_UNKNOWN;
    return result;
}

TVariant TVariant::CreateArray(int32_t lowBound, int32_t highBound) {
    const int64_t elements = int64_t{highBound} - int64_t{lowBound} + 1;
    if (elements < 0)
        throw EVariantError("Variant array bounds error");
    SAFEARRAYBOUND bound{static_cast<ULONG>(elements), lowBound};
    SAFEARRAY* array = ::SafeArrayCreate(VT_VARIANT, 1, &bound);
    if (array == nullptr)
        throw std::bad_alloc();
    TVariant result;
    result.value_.vt = VT_ARRAY | VT_VARIANT;
    result.value_.parray = array;
    return result;
}

VARIANT* TVariant::Put() noexcept {
    ::VariantClear(&value_);
    return &value_;
}

VARIANT TVariant::Detach() noexcept {
    const VARIANT detached = value_;
    ::VariantInit(&value_);
    return detached;
}

bool TVariant::IsNarrowString() const noexcept {
    return NarrowTextOf(value_) != nullptr;
}

int TVariant::DimCount() const noexcept {
    if (!IsArray())
        return 0;
    const SAFEARRAY* array =
        (value_.vt & VT_BYREF) != 0 ? (value_.pparray ? *value_.pparray : nullptr) : value_.parray;
    return array != nullptr ? static_cast<int>(::SafeArrayGetDim(const_cast<SAFEARRAY*>(array))) : 0;
}

int32_t TVariant::LowBound(int dimension) const {
    LONG bound = 0;
    if (FAILED(::SafeArrayGetLBound(ArrayOf(value_), static_cast<UINT>(dimension), &bound)))
        throw EVariantError("Variant array bounds error");
    return bound;
}

int32_t TVariant::HighBound(int dimension) const {
    LONG bound = 0;
    if (FAILED(::SafeArrayGetUBound(ArrayOf(value_), static_cast<UINT>(dimension), &bound)))
        throw EVariantError("Variant array bounds error");
    return bound;
}

TVariant TVariant::Element(int32_t index) const {
    SAFEARRAY* array = VariantVectorOf(value_);
    LONG position = index;
    TVariant element;
    const HRESULT result = ::SafeArrayGetElement(array, &position, element.Put());
    if (FAILED(result))
        RaiseElementError(result);
    return element;
}

void TVariant::SetElement(int32_t index, const TVariant& value) {
    SAFEARRAY* array = VariantVectorOf(value_);
    LONG position = index;
    const HRESULT result = ::SafeArrayPutElement(array, &position, const_cast<VARIANT*>(&value.value_));
    if (FAILED(result))
        RaiseElementError(result);
}

TVariant TVariant::ChangeType(VARTYPE type) const {
    const NarrowText* narrow = NarrowTextOf(value_);
    const TVariant widened = narrow != nullptr ? FromWide(AnsiToWide(narrow->Bytes())) : TVariant();
    const VARIANT& source = narrow != nullptr ? widened.value_ : value_;
    TVariant result;
    const HRESULT status = ::VariantChangeTypeEx(result.Put(), const_cast<VARIANT*>(&source),
                                                 LOCALE_USER_DEFAULT, VARIANT_ALPHABOOL, type);
    if (FAILED(status)) {
        if (status == E_OUTOFMEMORY)
            throw std::bad_alloc();
        RaiseConversionError(status, VariantTypeName(*this), type);
    }
    return result;
}

WideString TVariant::AsWide() const {
    if (const NarrowText* narrow = NarrowTextOf(value_))
        return AnsiToWide(narrow->Bytes());
    const TVariant converted = value_.vt == VT_BSTR ? TVariant() : ChangeType(VT_BSTR);
    const BSTR text = value_.vt == VT_BSTR ? value_.bstrVal : converted.value_.bstrVal;
    if (text == nullptr)
        return {};
    return WideString(reinterpret_cast<const char16_t*>(text), ::SysStringLen(text));
}

AnsiString TVariant::AsAnsi() const {
    if (const NarrowText* narrow = NarrowTextOf(value_))
        return narrow->Bytes();
    return WideToAnsi(AsWide());
}

double TVariant::AsDouble() const {
    return ChangeType(VT_R8).value_.dblVal;
}

int32_t TVariant::AsInteger() const {
    return ChangeType(VT_I4).value_.lVal;
}

int64_t TVariant::AsInt64() const {
    return ChangeType(VT_I8).value_.llVal;
}

bool TVariant::AsBoolean() const {
    return ChangeType(VT_BOOL).value_.boolVal != VARIANT_FALSE;
}

AnsiString VariantTypeName(const TVariant& value) {
    if (value.IsNarrowString())
        return "String";
    return VariantTypeName(value.Type());
}

AnsiString VariantTypeName(VARTYPE type) {
    if ((type & VT_ARRAY) != 0)
        return "Array of " + BaseTypeName(type & VT_TYPEMASK);
    return BaseTypeName(type & VT_TYPEMASK);
}

TVariantRelationship VariantRelationship(const TVariant& left, const TVariant& right) {
    if (left.IsEmpty() || left.IsNull() || right.IsEmpty() || right.IsNull() || left.IsArray() ||
        right.IsArray())
        return vrNotComparable;
    // VarCmp knows no narrow text: it compares the wide text a narrow string stands for.
    const TVariant leftValue = left.IsNarrowString() ? TVariant::FromWide(left.AsWide()) : left;
    const TVariant rightValue = right.IsNarrowString() ? TVariant::FromWide(right.AsWide()) : right;
    const HRESULT result = ::VarCmp(const_cast<VARIANT*>(&leftValue.Value()),
                                    const_cast<VARIANT*>(&rightValue.Value()), LOCALE_USER_DEFAULT, 0);
    switch (result) {
    case VARCMP_LT:
        return vrLessThan;
    case VARCMP_EQ:
        return vrEqual;
    case VARCMP_GT:
        return vrGreaterThan;
    case VARCMP_NULL:
    case DISP_E_TYPEMISMATCH:
    case DISP_E_BADVARTYPE:
        return vrNotComparable;
    default:
        if (result == E_OUTOFMEMORY)
            throw std::bad_alloc();
        throw EVariantError("Invalid variant operation");
    }
}
