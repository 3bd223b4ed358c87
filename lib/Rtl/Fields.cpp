#include "Fields.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "DataSet.h"
#include "Format.h"
#include "MaskFormat.h"
#include "TextConversion.h"
#include "WideCompare.h"

namespace {

// The OLE date range the system converts: 1 January 100 to 31 December 9999.
constexpr double MinOleDate = -657434.0;
constexpr double MaxOleDate = 2958466.0;
constexpr int32_t DefaultStringSize = 20;
constexpr int32_t GuidStringSize = 38;

TPropInfo WithDefault(TPropInfo info, int64_t value) {
    info.Default = value;
    return info;
}

TPropInfo FieldTextProperty(const char* name, const AnsiString& (TField::*get)() const,
                            void (TField::*set)(const AnsiString&)) {
    return MakeAnsiStringProperty(
        name, [get](const TPersistent& o) { return (static_cast<const TField&>(o).*get)(); },
        [set](TPersistent& o, const AnsiString& v) { (static_cast<TField&>(o).*set)(v); });
}

// The value text stands for, by the system's rules; EConvertError naming the text otherwise.
TVariant ParseText(const AnsiString& text, VARTYPE type, const char* kind, const TField& field) {
    try {
        return TVariant::FromWide(AnsiToWide(text)).ChangeType(type);
    } catch (const EVariantError&) {
        throw EConvertError(Format("'%s' is not a valid %s for field '%s'", {text, kind, field.FieldName()}));
    }
}

AnsiString TextOf(const TVariant& value) {
    return WideToAnsi(value.AsWide());
}

int64_t CurrencyOf(const TVariant& value) {
    return value.ChangeType(VT_CY).Value().cyVal.int64;
}

// Text cut to the field's size; a size of 0 takes any length. Wide text is never cut between the
// two halves of a surrogate pair.
AnsiString CutToSize(const AnsiString& text, int32_t size) {
    if (size <= 0 || text.size() <= static_cast<size_t>(size))
        return text;
    return text.substr(0, static_cast<size_t>(size));
}

WideString CutToSize(const WideString& text, int32_t size) {
    if (size <= 0 || text.size() <= static_cast<size_t>(size))
        return text;
    size_t length = static_cast<size_t>(size);
    const char16_t last = text[length - 1];
    if (last >= 0xD800 && last <= 0xDBFF)
        --length;
    return text.substr(0, length);
}

} // namespace

// ---- TField -------------------------------------------------------------------------------------

// OnChange binds the root's notify handlers: the field is their sender.
TPropInfo TField::OnChangeProperty() {
    TPropInfo info;
    info.Name = "OnChange";
    info.Kind = TTypeKind::tkMethod;
    info.BindMethod = [](TPersistent& o, TComponent* root, const TMethodEntry* method) {
        auto& field = static_cast<TField&>(o);
        if (method != nullptr && !method->Invoke)
            throw EConvertError("method of another kind");
        field.OnChange = nullptr;
        field.onChangeName_.clear();
        if (method == nullptr)
            return;
        const auto invoke = method->Invoke;
        field.OnChange = [root, invoke](TField* sender) { invoke(*root, sender); };
        field.onChangeName_ = method->Name;
    };
    info.GetMethodName = [](const TPersistent& o) { return static_cast<const TField&>(o).onChangeName_; };
    return info;
}

TPropInfo TField::DisplayWidthProperty() {
    TPropInfo info = IntegerProperty<TField>("DisplayWidth", &TField::DisplayWidth, &TField::SetDisplayWidth);
    info.Stored = [](const TPersistent& o) { return static_cast<const TField&>(o).displayWidth_ >= 0; };
    return info;
}

const TClassInfo& TField::StaticClassInfo() {
    using F = TField;
    static const TClassInfo info{
        "TField",
        &TComponent::StaticClassInfo(),
        {
            FieldTextProperty("FieldName", &F::FieldName, &F::SetFieldName),
            WithDefault(BooleanProperty<F>("ReadOnly", &F::ReadOnly, &F::SetReadOnly), 0),
            WithDefault(BooleanProperty<F>("Required", &F::Required, &F::SetRequired), 0),
            FieldTextProperty("EditMask", &F::EditMask, &F::SetEditMask),
            DisplayWidthProperty(),
            WithDefault(BooleanProperty<F>("Visible", &F::Visible, &F::SetVisible), 1),
            OnChangeProperty(),
            TypedEventProperty<TFieldGetTextEvent>(
                "OnGetText",
                [](TPersistent& o, TFieldGetTextEvent handler, const AnsiString& method) {
                    auto& field = static_cast<F&>(o);
                    field.SetOnGetText(std::move(handler));
                    field.onGetTextName_ = method;
                },
                [](const TPersistent& o) { return static_cast<const F&>(o).onGetTextName_; }),
            TypedEventProperty<TFieldSetTextEvent>(
                "OnSetText",
                [](TPersistent& o, TFieldSetTextEvent handler, const AnsiString& method) {
                    auto& field = static_cast<F&>(o);
                    field.SetOnSetText(std::move(handler));
                    field.onSetTextName_ = method;
                },
                [](const TPersistent& o) { return static_cast<const F&>(o).onSetTextName_; }),
        },
    };
    return info;
}

TField::TField(TComponent* owner) : TField(owner, ftUnknown, 0) {}

TField::TField(TComponent* owner, TFieldType dataType, int32_t size)
    : TComponent(owner), dataType_(dataType), size_(size) {}

TField::~TField() {
    if (dataSet_ != nullptr)
        dataSet_->RemoveField(this);
}

void TField::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_)
        return;
    for (TDataSet* involved : {dataSet_, dataSet})
        if (involved != nullptr && involved->Active())
            DatabaseError("Cannot perform this operation on an open dataset", involved);
    if (dataSet != nullptr)
        dataSet->AddField(this);
    if (dataSet_ != nullptr)
        dataSet_->RemoveField(this);
    dataSet_ = dataSet;
}

void TField::SetFieldName(const AnsiString& name) {
    fieldName_ = name;
}

int32_t TField::Index() const {
    return dataSet_ != nullptr ? dataSet_->Fields().IndexOf(this) : -1;
}

void TField::SetSize(int32_t size) {
    if (!IsValidSize(size))
        DatabaseError("Invalid field size");
    size_ = size;
}

void TField::SetFieldType(TFieldType) {}

bool TField::IsNull() const {
    return !GetData(nullptr);
}

void TField::Clear() {
    SetData(nullptr);
}

void TField::SetAsVariant(const TVariant& value) {
    if (value.IsNull() || value.IsEmpty())
        Clear();
    else
        SetAsVariantValue(value);
}

AnsiString TField::DisplayText() const {
    AnsiString text;
    if (onGetText_)
        onGetText_(const_cast<TField*>(this), text, true);
    else
        GetText(text, true);
    return text;
}

AnsiString TField::Text() const {
    AnsiString text;
    if (onGetText_)
        onGetText_(const_cast<TField*>(this), text, false);
    else
        GetText(text, false);
    return text;
}

void TField::SetText(const AnsiString& text) {
    if (onSetText_)
        onSetText_(this, text);
    else
        SetTextValue(text);
}

bool TField::GetData(void* buffer, bool nativeFormat) const {
    if (dataSet_ == nullptr)
        DatabaseErrorFmt("Field '%s' has no dataset", {fieldName_});
    return dataSet_->GetFieldData(const_cast<TField*>(this), buffer, nativeFormat);
}

void TField::SetData(const void* buffer, bool nativeFormat) {
    if (dataSet_ == nullptr)
        DatabaseErrorFmt("Field '%s' has no dataset", {fieldName_});
    if (readOnly_)
        DatabaseErrorFmt("Field '%s' cannot be modified", {fieldName_});
    const TDataSetState state = dataSet_->State();
    if (state != dsEdit && state != dsInsert)
        DatabaseError("Dataset not in edit or insert mode", dataSet_);
    dataSet_->SetFieldData(this, buffer, nativeFormat);
}

void TField::Change() {
    if (OnChange)
        OnChange(this);
}

AnsiString TField::GetAsString() const {
    AccessError("String");
}

void TField::SetAsStringValue(const AnsiString&) {
    AccessError("String");
}

WideString TField::GetAsWideString() const {
    return AnsiToWide(GetAsString());
}

void TField::SetAsWideStringValue(const WideString& value) {
    SetAsStringValue(WideToAnsi(value));
}

int32_t TField::GetAsInteger() const {
    AccessError("Integer");
}

void TField::SetAsIntegerValue(int32_t) {
    AccessError("Integer");
}

int64_t TField::GetAsLargeInt() const {
    AccessError("Largeint");
}

void TField::SetAsLargeIntValue(int64_t) {
    AccessError("Largeint");
}

double TField::GetAsFloat() const {
    AccessError("Float");
}

void TField::SetAsFloatValue(double) {
    AccessError("Float");
}

double TField::GetAsCurrency() const {
    return GetAsFloat();
}

void TField::SetAsCurrencyValue(double value) {
    SetAsFloatValue(value);
}

bool TField::GetAsBoolean() const {
    AccessError("Boolean");
}

void TField::SetAsBooleanValue(bool) {
    AccessError("Boolean");
}

double TField::GetAsDateTime() const {
    AccessError("DateTime");
}

void TField::SetAsDateTimeValue(double) {
    AccessError("DateTime");
}

TVariant TField::GetAsVariant() const {
    AccessError("Variant");
}

void TField::SetAsVariantValue(const TVariant&) {
    AccessError("Variant");
}

void TField::GetText(AnsiString& text, bool) const {
    text = GetAsString();
}

void TField::SetTextValue(const AnsiString& text) {
    SetAsStringValue(text);
}

bool TField::IsValidSize(int32_t size) const {
    return size == 0;
}

void TField::AccessError(const char* typeName) const {
    DatabaseErrorFmt("Cannot access field '%s' as type %s", {fieldName_, typeName});
}

// ---- TStringField -------------------------------------------------------------------------------

const TClassInfo& TStringField::StaticClassInfo() {
    static const TClassInfo info{
        "TStringField",
        &TField::StaticClassInfo(),
        {WithDefault(IntegerProperty<TField>("Size", &TField::Size, &TField::SetSize), DefaultStringSize)},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TStringField(owner); },
    };
    return info;
}

TStringField::TStringField(TComponent* owner) : TStringField(owner, ftString, DefaultStringSize) {}

TStringField::TStringField(TComponent* owner, TFieldType dataType, int32_t size)
    : TField(owner, dataType, size) {}

void TStringField::SetFieldType(TFieldType type) {
    if (DataType() != ftGuid && (type == ftString || type == ftFixedChar))
        SetDataType(type);
}

bool TStringField::GetValue(AnsiString& value) const {
    return GetData(&value);
}

AnsiString TStringField::GetAsString() const {
    AnsiString value;
    return GetValue(value) ? value : AnsiString();
}

void TStringField::SetAsStringValue(const AnsiString& value) {
    const AnsiString stored = CutToSize(value, Size());
    SetData(&stored);
}

WideString TStringField::GetAsWideString() const {
    return AnsiToWide(GetAsString());
}

void TStringField::SetAsWideStringValue(const WideString& value) {
    SetAsStringValue(WideToAnsi(value));
}

int32_t TStringField::GetAsInteger() const {
    return ParseText(GetAsString(), VT_I4, "integer value", *this).Value().lVal;
}

void TStringField::SetAsIntegerValue(int32_t value) {
    SetAsStringValue(Format("%d", {value}));
}

int64_t TStringField::GetAsLargeInt() const {
    return ParseText(GetAsString(), VT_I8, "integer value", *this).Value().llVal;
}

void TStringField::SetAsLargeIntValue(int64_t value) {
    SetAsStringValue(Format("%d", {value}));
}

double TStringField::GetAsFloat() const {
    return ParseText(GetAsString(), VT_R8, "floating point value", *this).Value().dblVal;
}

void TStringField::SetAsFloatValue(double value) {
    SetAsStringValue(TextOf(TVariant::FromDouble(value)));
}

bool TStringField::GetAsBoolean() const {
    const AnsiString text = GetAsString();
    return !text.empty() && (text[0] == 'T' || text[0] == 't' || text[0] == 'Y' || text[0] == 'y');
}

void TStringField::SetAsBooleanValue(bool value) {
    SetAsStringValue(value ? "T" : "F");
}

double TStringField::GetAsDateTime() const {
    return ParseText(GetAsString(), VT_DATE, "date and time", *this).Value().date;
}

void TStringField::SetAsDateTimeValue(double value) {
    SetAsStringValue(TextOf(TVariant::FromDate(value)));
}

TVariant TStringField::GetAsVariant() const {
    AnsiString value;
    return GetValue(value) ? TVariant::FromAnsi(value) : TVariant::Null();
}

void TStringField::SetAsVariantValue(const TVariant& value) {
    // The bytes as they are, also where a subclass reads its text in an encoding of its own.
    TStringField::SetAsStringValue(value.AsAnsi());
}

void TStringField::GetText(AnsiString& text, bool displayText) const {
    text = GetAsString();
    if (displayText && !EditMask().empty())
        text = FormatMaskText(EditMask(), text);
}

bool TStringField::IsValidSize(int32_t size) const {
    return size >= 0;
}

// ---- TGuidField ---------------------------------------------------------------------------------

const TClassInfo& TGuidField::StaticClassInfo() {
    static const TClassInfo info{
        "TGuidField",
        &TStringField::StaticClassInfo(),
        {WithDefault(IntegerProperty<TField>("Size", &TField::Size, &TField::SetSize), GuidStringSize)},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TGuidField(owner); },
    };
    return info;
}

TGuidField::TGuidField(TComponent* owner) : TStringField(owner, ftGuid, GuidStringSize) {}

bool TGuidField::IsValidSize(int32_t size) const {
    return size == GuidStringSize;
}

// ---- TWideStringField ---------------------------------------------------------------------------

const TClassInfo& TWideStringField::StaticClassInfo() {
    static const TClassInfo info{
        "TWideStringField",
        &TField::StaticClassInfo(),
        {WithDefault(IntegerProperty<TField>("Size", &TField::Size, &TField::SetSize), DefaultStringSize)},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TWideStringField(owner); },
    };
    return info;
}

TWideStringField::TWideStringField(TComponent* owner) : TField(owner, ftWideString, DefaultStringSize) {}

bool TWideStringField::GetValue(WideString& value) const {
    return GetData(&value);
}

AnsiString TWideStringField::GetAsString() const {
    return WideToAnsi(GetAsWideString());
}

void TWideStringField::SetAsStringValue(const AnsiString& value) {
    SetAsWideStringValue(AnsiToWide(value));
}

WideString TWideStringField::GetAsWideString() const {
    WideString value;
    return GetValue(value) ? value : WideString();
}

void TWideStringField::SetAsWideStringValue(const WideString& value) {
    const WideString stored = CutToSize(value, Size());
    SetData(&stored);
}

int32_t TWideStringField::GetAsInteger() const {
    return ParseText(GetAsString(), VT_I4, "integer value", *this).Value().lVal;
}

void TWideStringField::SetAsIntegerValue(int32_t value) {
    SetAsStringValue(Format("%d", {value}));
}

int64_t TWideStringField::GetAsLargeInt() const {
    return ParseText(GetAsString(), VT_I8, "integer value", *this).Value().llVal;
}

void TWideStringField::SetAsLargeIntValue(int64_t value) {
    SetAsStringValue(Format("%d", {value}));
}

double TWideStringField::GetAsFloat() const {
    return ParseText(GetAsString(), VT_R8, "floating point value", *this).Value().dblVal;
}

void TWideStringField::SetAsFloatValue(double value) {
    SetAsWideStringValue(TVariant::FromDouble(value).AsWide());
}

bool TWideStringField::GetAsBoolean() const {
    const WideString text = GetAsWideString();
    return !text.empty() && (text[0] == u'T' || text[0] == u't' || text[0] == u'Y' || text[0] == u'y');
}

void TWideStringField::SetAsBooleanValue(bool value) {
    SetAsWideStringValue(value ? u"T" : u"F");
}

double TWideStringField::GetAsDateTime() const {
    return ParseText(GetAsString(), VT_DATE, "date and time", *this).Value().date;
}

void TWideStringField::SetAsDateTimeValue(double value) {
    SetAsWideStringValue(TVariant::FromDate(value).AsWide());
}

TVariant TWideStringField::GetAsVariant() const {
    WideString value;
    return GetValue(value) ? TVariant::FromWide(value) : TVariant::Null();
}

void TWideStringField::SetAsVariantValue(const TVariant& value) {
    SetAsWideStringValue(value.AsWide());
}

void TWideStringField::GetText(AnsiString& text, bool displayText) const {
    text = GetAsString();
    if (displayText && !EditMask().empty())
        text = FormatMaskText(EditMask(), text);
}

bool TWideStringField::IsValidSize(int32_t size) const {
    return size >= 0;
}

// ---- TNumericField ------------------------------------------------------------------------------

const TClassInfo& TNumericField::StaticClassInfo() {
    static const TClassInfo info{"TNumericField", &TField::StaticClassInfo()};
    return info;
}

void TNumericField::SetTextValue(const AnsiString& text) {
    if (text.empty())
        Clear();
    else
        SetAsStringValue(text);
}

// ---- TIntegerField and its narrower kinds -------------------------------------------------------

const TClassInfo& TIntegerField::StaticClassInfo() {
    static const TClassInfo info{
        "TIntegerField",
        &TNumericField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TIntegerField(owner); },
    };
    return info;
}

TIntegerField::TIntegerField(TComponent* owner)
    : TIntegerField(owner, ftInteger, std::numeric_limits<int32_t>::min(),
                    std::numeric_limits<int32_t>::max()) {}

TIntegerField::TIntegerField(TComponent* owner, TFieldType dataType, int32_t minValue, int32_t maxValue)
    : TNumericField(owner, dataType, 0), minValue_(minValue), maxValue_(maxValue) {}

bool TIntegerField::GetValue(int32_t& value) const {
    switch (DataType()) {
    case ftSmallint: {
        int16_t stored = 0;
        if (!GetData(&stored))
            return false;
        value = stored;
        return true;
    }
    case ftWord: {
        uint16_t stored = 0;
        if (!GetData(&stored))
            return false;
        value = stored;
        return true;
    }
    default:
        return GetData(&value);
    }
}

AnsiString TIntegerField::GetAsString() const {
    int32_t value = 0;
    return GetValue(value) ? Format("%d", {value}) : AnsiString();
}

void TIntegerField::SetAsStringValue(const AnsiString& value) {
    if (value.empty())
        return Clear();
    SetAsLargeIntValue(ParseText(value, VT_I8, "integer value", *this).Value().llVal);
}

int32_t TIntegerField::GetAsInteger() const {
    int32_t value = 0;
    return GetValue(value) ? value : 0;
}

void TIntegerField::SetAsIntegerValue(int32_t value) {
    SetAsLargeIntValue(value);
}

int64_t TIntegerField::GetAsLargeInt() const {
    return GetAsInteger();
}

void TIntegerField::SetAsLargeIntValue(int64_t value) {
    if (value < minValue_ || value > maxValue_)
        DatabaseErrorFmt("%d is not a valid value for field '%s'. The allowed range is %d to %d",
                         {value, FieldName(), minValue_, maxValue_});
    switch (DataType()) {
    case ftSmallint: {
        const auto stored = static_cast<int16_t>(value);
        return SetData(&stored);
    }
    case ftWord: {
        const auto stored = static_cast<uint16_t>(value);
        return SetData(&stored);
    }
    default: {
        const auto stored = static_cast<int32_t>(value);
        return SetData(&stored);
    }
    }
}

double TIntegerField::GetAsFloat() const {
    return GetAsInteger();
}

void TIntegerField::SetAsFloatValue(double value) {
    SetAsLargeIntValue(TVariant::FromDouble(value).AsInt64());
}

bool TIntegerField::GetAsBoolean() const {
    return GetAsInteger() != 0;
}

void TIntegerField::SetAsBooleanValue(bool value) {
    SetAsLargeIntValue(value ? 1 : 0);
}

TVariant TIntegerField::GetAsVariant() const {
    int32_t value = 0;
    if (!GetValue(value))
        return TVariant::Null();
    switch (DataType()) {
    case ftSmallint:
        return TVariant::FromSmallInt(static_cast<int16_t>(value));
    case ftWord:
        return TVariant::FromWord(static_cast<uint16_t>(value));
    default:
        return TVariant::FromInteger(value);
    }
}

void TIntegerField::SetAsVariantValue(const TVariant& value) {
    if (value.IsString())
        return SetAsStringValue(value.AsAnsi());
    SetAsLargeIntValue(value.AsInt64());
}

const TClassInfo& TSmallintField::StaticClassInfo() {
    static const TClassInfo info{
        "TSmallintField",
        &TIntegerField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TSmallintField(owner); },
    };
    return info;
}

TSmallintField::TSmallintField(TComponent* owner)
    : TIntegerField(owner, ftSmallint, std::numeric_limits<int16_t>::min(),
                    std::numeric_limits<int16_t>::max()) {}

const TClassInfo& TWordField::StaticClassInfo() {
    static const TClassInfo info{
        "TWordField", &TIntegerField::StaticClassInfo(),
        {},           {},
        {},           [](TComponent* owner) -> TComponent* { return new TWordField(owner); },
    };
    return info;
}

TWordField::TWordField(TComponent* owner)
    : TIntegerField(owner, ftWord, 0, std::numeric_limits<uint16_t>::max()) {}

const TClassInfo& TAutoIncField::StaticClassInfo() {
    static const TClassInfo info{
        "TAutoIncField",
        &TIntegerField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TAutoIncField(owner); },
    };
    return info;
}

TAutoIncField::TAutoIncField(TComponent* owner)
    : TIntegerField(owner, ftAutoInc, std::numeric_limits<int32_t>::min(),
                    std::numeric_limits<int32_t>::max()) {}

// ---- TLargeintField -----------------------------------------------------------------------------

const TClassInfo& TLargeintField::StaticClassInfo() {
    static const TClassInfo info{
        "TLargeintField",
        &TNumericField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TLargeintField(owner); },
    };
    return info;
}

TLargeintField::TLargeintField(TComponent* owner) : TNumericField(owner, ftLargeint, 0) {}

bool TLargeintField::GetValue(int64_t& value) const {
    return GetData(&value);
}

AnsiString TLargeintField::GetAsString() const {
    int64_t value = 0;
    return GetValue(value) ? Format("%d", {value}) : AnsiString();
}

void TLargeintField::SetAsStringValue(const AnsiString& value) {
    if (value.empty())
        return Clear();
    SetAsLargeIntValue(ParseText(value, VT_I8, "integer value", *this).Value().llVal);
}

int32_t TLargeintField::GetAsInteger() const {
    return TVariant::FromInt64(GetAsLargeInt()).AsInteger();
}

void TLargeintField::SetAsIntegerValue(int32_t value) {
    SetAsLargeIntValue(value);
}

int64_t TLargeintField::GetAsLargeInt() const {
    int64_t value = 0;
    return GetValue(value) ? value : 0;
}

void TLargeintField::SetAsLargeIntValue(int64_t value) {
    SetData(&value);
}

double TLargeintField::GetAsFloat() const {
    return static_cast<double>(GetAsLargeInt());
}

void TLargeintField::SetAsFloatValue(double value) {
    SetAsLargeIntValue(TVariant::FromDouble(value).AsInt64());
}

TVariant TLargeintField::GetAsVariant() const {
    int64_t value = 0;
    return GetValue(value) ? TVariant::FromInt64(value) : TVariant::Null();
}

void TLargeintField::SetAsVariantValue(const TVariant& value) {
    if (value.IsString())
        return SetAsStringValue(value.AsAnsi());
    SetAsLargeIntValue(value.AsInt64());
}

// ---- TFloatField and TCurrencyField -------------------------------------------------------------

const TClassInfo& TFloatField::StaticClassInfo() {
    static const TClassInfo info{
        "TFloatField",
        &TNumericField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TFloatField(owner); },
    };
    return info;
}

TFloatField::TFloatField(TComponent* owner) : TFloatField(owner, ftFloat) {}

TFloatField::TFloatField(TComponent* owner, TFieldType dataType) : TNumericField(owner, dataType, 0) {}

bool TFloatField::GetValue(double& value) const {
    return GetData(&value);
}

AnsiString TFloatField::GetAsString() const {
    double value = 0;
    return GetValue(value) ? TextOf(TVariant::FromDouble(value)) : AnsiString();
}

void TFloatField::SetAsStringValue(const AnsiString& value) {
    if (value.empty())
        return Clear();
    SetAsFloatValue(ParseText(value, VT_R8, "floating point value", *this).Value().dblVal);
}

int32_t TFloatField::GetAsInteger() const {
    return TVariant::FromDouble(GetAsFloat()).AsInteger();
}

void TFloatField::SetAsIntegerValue(int32_t value) {
    SetAsFloatValue(value);
}

int64_t TFloatField::GetAsLargeInt() const {
    return TVariant::FromDouble(GetAsFloat()).AsInt64();
}

void TFloatField::SetAsLargeIntValue(int64_t value) {
    SetAsFloatValue(static_cast<double>(value));
}

double TFloatField::GetAsFloat() const {
    double value = 0;
    return GetValue(value) ? value : 0;
}

void TFloatField::SetAsFloatValue(double value) {
    SetData(&value);
}

double TFloatField::GetAsCurrency() const {
    return GetAsFloat();
}

void TFloatField::SetAsCurrencyValue(double value) {
    SetAsFloatValue(value);
}

TVariant TFloatField::GetAsVariant() const {
    double value = 0;
    return GetValue(value) ? TVariant::FromDouble(value) : TVariant::Null();
}

void TFloatField::SetAsVariantValue(const TVariant& value) {
    if (value.IsString())
        return SetAsStringValue(value.AsAnsi());
    SetAsFloatValue(value.AsDouble());
}

const TClassInfo& TCurrencyField::StaticClassInfo() {
    static const TClassInfo info{
        "TCurrencyField",
        &TFloatField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TCurrencyField(owner); },
    };
    return info;
}

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner, ftCurrency) {}

// ---- TBCDField ----------------------------------------------------------------------------------

const TClassInfo& TBCDField::StaticClassInfo() {
    static const TClassInfo info{
        "TBCDField", &TNumericField::StaticClassInfo(),
        {},          {},
        {},          [](TComponent* owner) -> TComponent* { return new TBCDField(owner); },
    };
    return info;
}

TBCDField::TBCDField(TComponent* owner) : TNumericField(owner, ftBCD, 0) {}

bool TBCDField::GetValue(int64_t& tenThousandths) const {
    return GetData(&tenThousandths);
}

AnsiString TBCDField::GetAsString() const {
    int64_t value = 0;
    return GetValue(value) ? TextOf(TVariant::FromCurrency(value)) : AnsiString();
}

void TBCDField::SetAsStringValue(const AnsiString& value) {
    if (value.empty())
        return Clear();
    int64_t stored = ParseText(value, VT_CY, "currency value", *this).Value().cyVal.int64;
    SetData(&stored);
}

int32_t TBCDField::GetAsInteger() const {
    int64_t value = 0;
    return GetValue(value) ? TVariant::FromCurrency(value).AsInteger() : 0;
}

void TBCDField::SetAsIntegerValue(int32_t value) {
    SetAsLargeIntValue(value);
}

int64_t TBCDField::GetAsLargeInt() const {
    int64_t value = 0;
    return GetValue(value) ? TVariant::FromCurrency(value).AsInt64() : 0;
}

void TBCDField::SetAsLargeIntValue(int64_t value) {
    int64_t stored = CurrencyOf(TVariant::FromInt64(value));
    SetData(&stored);
}

double TBCDField::GetAsFloat() const {
    int64_t value = 0;
    return GetValue(value) ? TVariant::FromCurrency(value).AsDouble() : 0;
}

void TBCDField::SetAsFloatValue(double value) {
    int64_t stored = CurrencyOf(TVariant::FromDouble(value));
    SetData(&stored);
}

double TBCDField::GetAsCurrency() const {
    return GetAsFloat();
}

void TBCDField::SetAsCurrencyValue(double value) {
    SetAsFloatValue(value);
}

TVariant TBCDField::GetAsVariant() const {
    int64_t value = 0;
    return GetValue(value) ? TVariant::FromCurrency(value) : TVariant::Null();
}

void TBCDField::SetAsVariantValue(const TVariant& value) {
    if (value.IsString())
        return SetAsStringValue(value.AsAnsi());
    int64_t stored = CurrencyOf(value);
    SetData(&stored);
}

// ---- TBooleanField ------------------------------------------------------------------------------

const TClassInfo& TBooleanField::StaticClassInfo() {
    static const TClassInfo info{
        "TBooleanField",
        &TField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TBooleanField(owner); },
    };
    return info;
}

TBooleanField::TBooleanField(TComponent* owner) : TField(owner, ftBoolean, 0) {}

bool TBooleanField::GetValue(bool& value) const {
    int16_t stored = 0;
    if (!GetData(&stored))
        return false;
    value = stored != 0;
    return true;
}

AnsiString TBooleanField::GetAsString() const {
    bool value = false;
    if (!GetValue(value))
        return AnsiString();
    return value ? "True" : "False";
}

void TBooleanField::SetAsStringValue(const AnsiString& value) {
    if (value.empty())
        return Clear();
    const WideString text = AnsiToWide(value);
    for (const char16_t* truth : {u"True", u"T", u"Y", u"1"})
        if (CompareWideText(text, truth, false) == 0)
            return SetAsBooleanValue(true);
    for (const char16_t* falsehood : {u"False", u"F", u"N", u"0"})
        if (CompareWideText(text, falsehood, false) == 0)
            return SetAsBooleanValue(false);
    throw EConvertError(Format("'%s' is not a valid boolean value for field '%s'", {value, FieldName()}));
}

int32_t TBooleanField::GetAsInteger() const {
    return GetAsBoolean() ? 1 : 0;
}

void TBooleanField::SetAsIntegerValue(int32_t value) {
    SetAsBooleanValue(value != 0);
}

bool TBooleanField::GetAsBoolean() const {
    bool value = false;
    return GetValue(value) && value;
}

void TBooleanField::SetAsBooleanValue(bool value) {
    const int16_t stored = value ? 1 : 0;
    SetData(&stored);
}

TVariant TBooleanField::GetAsVariant() const {
    bool value = false;
    return GetValue(value) ? TVariant::FromBoolean(value) : TVariant::Null();
}

void TBooleanField::SetAsVariantValue(const TVariant& value) {
    if (value.IsString())
        return SetAsStringValue(value.AsAnsi());
    SetAsBooleanValue(value.AsBoolean());
}

// ---- TDateTimeField, TDateField, TTimeField -----------------------------------------------------

const TClassInfo& TDateTimeField::StaticClassInfo() {
    static const TClassInfo info{
        "TDateTimeField",
        &TField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TDateTimeField(owner); },
    };
    return info;
}

TDateTimeField::TDateTimeField(TComponent* owner) : TDateTimeField(owner, ftDateTime) {}

TDateTimeField::TDateTimeField(TComponent* owner, TFieldType dataType) : TField(owner, dataType, 0) {}

bool TDateTimeField::GetValue(double& value) const {
    return GetData(&value);
}

AnsiString TDateTimeField::DateTimeText(double value) const {
    const ULONG part = DataType() == ftDate   ? VAR_DATEVALUEONLY
                       : DataType() == ftTime ? VAR_TIMEVALUEONLY
                                              : 0;
    TVariant text;
    VARIANT* slot = text.Put();
    const HRESULT result = ::VarBstrFromDate(value, LOCALE_USER_DEFAULT, part, &slot->bstrVal);
    if (FAILED(result))
        DatabaseErrorFmt("Invalid date and time value for field '%s'", {FieldName()});
    slot->vt = VT_BSTR;
    return TextOf(text);
}

AnsiString TDateTimeField::GetAsString() const {
    double value = 0;
    return GetValue(value) ? DateTimeText(value) : AnsiString();
}

void TDateTimeField::SetAsStringValue(const AnsiString& value) {
    if (value.empty())
        return Clear();
    const char* kind = DataType() == ftDate ? "date" : DataType() == ftTime ? "time" : "date and time";
    SetAsDateTimeValue(ParseText(value, VT_DATE, kind, *this).Value().date);
}

double TDateTimeField::GetAsFloat() const {
    return GetAsDateTime();
}

void TDateTimeField::SetAsFloatValue(double value) {
    SetAsDateTimeValue(value);
}

double TDateTimeField::GetAsDateTime() const {
    double value = 0;
    return GetValue(value) ? value : 0;
}

void TDateTimeField::SetAsDateTimeValue(double value) {
    if (!(value >= MinOleDate && value < MaxOleDate))
        DatabaseErrorFmt("Invalid date and time value for field '%s'", {FieldName()});
    // An OLE date before 1899 counts its time forward from the start of its day, so the day is
    // the value rounded towards zero and the time the fraction's magnitude.
    if (DataType() == ftDate)
        value = std::trunc(value);
    else if (DataType() == ftTime)
        value = std::fabs(value - std::trunc(value));
    SetData(&value);
}

TVariant TDateTimeField::GetAsVariant() const {
    double value = 0;
    return GetValue(value) ? TVariant::FromDate(value) : TVariant::Null();
}

void TDateTimeField::SetAsVariantValue(const TVariant& value) {
    if (value.IsString())
        return SetAsStringValue(value.AsAnsi());
    SetAsDateTimeValue(value.ChangeType(VT_DATE).Value().date);
}

const TClassInfo& TDateField::StaticClassInfo() {
    static const TClassInfo info{
        "TDateField", &TDateTimeField::StaticClassInfo(),
        {},           {},
        {},           [](TComponent* owner) -> TComponent* { return new TDateField(owner); },
    };
    return info;
}

TDateField::TDateField(TComponent* owner) : TDateTimeField(owner, ftDate) {}

const TClassInfo& TTimeField::StaticClassInfo() {
    static const TClassInfo info{
        "TTimeField", &TDateTimeField::StaticClassInfo(),
        {},           {},
        {},           [](TComponent* owner) -> TComponent* { return new TTimeField(owner); },
    };
    return info;
}

TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner, ftTime) {}

// ---- TInterfaceField and TIDispatchField --------------------------------------------------------

const TClassInfo& TInterfaceField::StaticClassInfo() {
    static const TClassInfo info{
        "TInterfaceField",
        &TField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TInterfaceField(owner); },
    };
    return info;
}

TInterfaceField::TInterfaceField(TComponent* owner) : TInterfaceField(owner, ftInterface) {}

TInterfaceField::TInterfaceField(TComponent* owner, TFieldType dataType) : TField(owner, dataType, 0) {}

TVariant TInterfaceField::GetAsVariant() const {
    TVariant value;
    if (DataType() == ftIDispatch) {
        IDispatch* reference = nullptr;
        if (!GetData(&reference))
            return TVariant::Null();
        VARIANT* slot = value.Put();
        slot->pdispVal = reference; // the variant owns the reference the data set handed over
        slot->vt = VT_DISPATCH;
        return value;
    }
    IUnknown* reference = nullptr;
    if (!GetData(&reference))
        return TVariant::Null();
    VARIANT* slot = value.Put();
    slot->punkVal = reference; // the variant owns the reference the data set handed over
    slot->vt = VT_UNKNOWN;
    return value;
}

void TInterfaceField::SetAsVariantValue(const TVariant& value) {
    if (DataType() == ftIDispatch) {
        const TVariant reference = value.ChangeType(VT_DISPATCH);
        IDispatch* const stored = reference.Value().pdispVal;
        return SetData(&stored);
    }
    const TVariant reference = value.ChangeType(VT_UNKNOWN);
    IUnknown* const stored = reference.Value().punkVal;
    SetData(&stored);
}

const TClassInfo& TIDispatchField::StaticClassInfo() {
    static const TClassInfo info{
        "TIDispatchField",
        &TInterfaceField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TIDispatchField(owner); },
    };
    return info;
}

TIDispatchField::TIDispatchField(TComponent* owner) : TInterfaceField(owner, ftIDispatch) {}

// ---- Classes by type ----------------------------------------------------------------------------

const TClassInfo* DefaultFieldClass(TFieldType type) {
    switch (type) {
    case ftString:
    case ftFixedChar:
        return &TStringField::StaticClassInfo();
    case ftSmallint:
        return &TSmallintField::StaticClassInfo();
    case ftInteger:
        return &TIntegerField::StaticClassInfo();
    case ftWord:
        return &TWordField::StaticClassInfo();
    case ftBoolean:
        return &TBooleanField::StaticClassInfo();
    case ftFloat:
        return &TFloatField::StaticClassInfo();
    case ftCurrency:
        return &TCurrencyField::StaticClassInfo();
    case ftBCD:
        return &TBCDField::StaticClassInfo();
    case ftDate:
        return &TDateField::StaticClassInfo();
    case ftTime:
        return &TTimeField::StaticClassInfo();
    case ftDateTime:
        return &TDateTimeField::StaticClassInfo();
    case ftAutoInc:
        return &TAutoIncField::StaticClassInfo();
    case ftWideString:
        return &TWideStringField::StaticClassInfo();
    case ftLargeint:
        return &TLargeintField::StaticClassInfo();
    case ftInterface:
        return &TInterfaceField::StaticClassInfo();
    case ftIDispatch:
        return &TIDispatchField::StaticClassInfo();
    case ftGuid:
        return &TGuidField::StaticClassInfo();
    case ftUnknown:
        break;
    }
    return nullptr;
}
