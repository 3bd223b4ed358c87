// The data-access framework's fields: one value of the active record of a data set, read and
// written through the data set in a buffer form fixed per type:
//
//   TStringField (ftString, ftFixedChar), TGuidField (ftGuid)   AnsiString
//   TWideStringField (ftWideString)                             WideString
//   TSmallintField int16_t, TWordField uint16_t, TIntegerField and TAutoIncField int32_t,
//   TLargeintField int64_t, TBooleanField int16_t (0 false, else true), TFloatField and
//   TCurrencyField double, TBCDField int64_t (the value times 10,000), TDateTimeField,
//   TDateField and TTimeField double (an OLE date: days since 30 December 1899),
//   TInterfaceField IUnknown*, TIDispatchField IDispatch* (references the reader owns).
//
// A field without a data set raises EDatabaseError "Field '%s' has no dataset" on every access to
// its value.
//
// A field belongs to its owner (as every component) and is listed by the data set it is given to.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <cstdint>
#include <functional>

#include "Classes.h"
#include "DB.h"
#include "SysTypes.h"
#include "Variants.h"

class TDataSet;
class TField;

// Display or edit text of a field (displayText tells which), decided by the handler.
using TFieldGetTextEvent = std::function<void(TField* sender, AnsiString& text, bool displayText)>;
using TFieldSetTextEvent = std::function<void(TField* sender, const AnsiString& text)>;
using TFieldNotifyEvent = std::function<void(TField* sender)>;

class TField : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TField(TComponent* owner);
    // Leaves its data set's field list.
    ~TField() override;

    TDataSet* DataSet() const { return dataSet_; }
    // Moves the field into another data set's list (null: none). EDatabaseError "Cannot perform
    // this operation on an open dataset" while either data set is open.
    void SetDataSet(TDataSet* dataSet);

    const AnsiString& FieldName() const { return fieldName_; }
    void SetFieldName(const AnsiString& name);
    // The position in the data set's field list; -1 without a data set.
    int32_t Index() const;
    // The bound column's number (1-based); 0 while unbound.
    int32_t FieldNo() const { return fieldNo_; }
    TFieldType DataType() const { return dataType_; }
    int32_t Size() const { return size_; }
    // EDatabaseError "Invalid field size" for a size the type does not take.
    void SetSize(int32_t size);
    // Takes the type of the definition a field is made for, where its class serves several
    // (TStringField: ftString or ftFixedChar); any other type leaves the field as it is.
    virtual void SetFieldType(TFieldType type);
    bool Required() const { return required_; }
    void SetRequired(bool required) { required_ = required; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    // The input mask of the text ("!99/99/0000;1;_"): the string fields format their display
    // text with it.
    const AnsiString& EditMask() const { return editMask_; }
    void SetEditMask(const AnsiString& mask) { editMask_ = mask; }
    // Characters a grid shows of the field: the size of a text field (10 for other types) until
    // set. Stored only once set.
    int32_t DisplayWidth() const { return displayWidth_ >= 0 ? displayWidth_ : (Size() > 0 ? Size() : 10); }
    void SetDisplayWidth(int32_t width) { displayWidth_ = width < 0 ? 0 : width; }
    // Whether grids and editors show the field.
    bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }

    bool IsNull() const;
    // Stores no value (a null).
    void Clear();

    // Conversions. A value the type cannot give or take raises EDatabaseError "Cannot access
    // field '%s' as type %s"; text that is no value of the type raises EConvertError "'<text>' is
    // not a valid <kind> for field '<name>'"; a value out of a numeric type's range raises
    // EVariantError (the system's conversion) or the range error of the integer fields. A failed
    // set leaves the stored value as it was. Text is read and written by the system's rules in the
    // user's locale (VariantChangeTypeEx), as the framework's variants convert.
    AnsiString AsString() const { return GetAsString(); }
    void SetAsString(const AnsiString& value) { SetAsStringValue(value); }
    WideString AsWideString() const { return GetAsWideString(); }
    void SetAsWideString(const WideString& value) { SetAsWideStringValue(value); }
    int32_t AsInteger() const { return GetAsInteger(); }
    void SetAsInteger(int32_t value) { SetAsIntegerValue(value); }
    int64_t AsLargeInt() const { return GetAsLargeInt(); }
    void SetAsLargeInt(int64_t value) { SetAsLargeIntValue(value); }
    double AsFloat() const { return GetAsFloat(); }
    void SetAsFloat(double value) { SetAsFloatValue(value); }
    // Currency as a double (whole units).
    double AsCurrency() const { return GetAsCurrency(); }
    void SetAsCurrency(double value) { SetAsCurrencyValue(value); }
    bool AsBoolean() const { return GetAsBoolean(); }
    void SetAsBoolean(bool value) { SetAsBooleanValue(value); }
    // An OLE date.
    double AsDateTime() const { return GetAsDateTime(); }
    void SetAsDateTime(double value) { SetAsDateTimeValue(value); }
    // Null when the field holds no value; setting null or empty clears it (SetAsVariantValue sees
    // neither). The number, boolean and date fields take text variants as SetAsString does.
    TVariant AsVariant() const { return GetAsVariant(); }
    void SetAsVariant(const TVariant& value);

    // The display text (OnGetText with displayText true, else GetText) and the edit text (false).
    AnsiString DisplayText() const;
    AnsiString Text() const;
    // OnSetText when set, else SetText.
    void SetText(const AnsiString& text);

    const TFieldGetTextEvent& OnGetText() const { return onGetText_; }
    void SetOnGetText(TFieldGetTextEvent handler) {
        onGetText_ = std::move(handler);
        onGetTextName_.clear();
    }
    const TFieldSetTextEvent& OnSetText() const { return onSetText_; }
    void SetOnSetText(TFieldSetTextEvent handler) {
        onSetText_ = std::move(handler);
        onSetTextName_.clear();
    }
    // Called after the field's value changed in the active record.
    TFieldNotifyEvent OnChange;

    // Reads the value from the data set's active record into buffer (this class's buffer form);
    // false when there is none. A null buffer only asks whether there is a value.
    bool GetData(void* buffer, bool nativeFormat = true) const;
    // Writes buffer (null: a null) into the active record. EDatabaseError "Field '%s' cannot be
    // modified" for a read-only field, "Dataset not in edit or insert mode" (named after the data
    // set) unless it is editing or inserting.
    void SetData(const void* buffer, bool nativeFormat = true);

    // The framework's binding of a field to its column (by the data set).
    void Bind(int32_t fieldNo) { fieldNo_ = fieldNo; }
    // The data set tells the field its value changed; runs OnChange.
    virtual void Change();

protected:
    TField(TComponent* owner, TFieldType dataType, int32_t size);

    virtual AnsiString GetAsString() const;
    virtual void SetAsStringValue(const AnsiString& value);
    virtual WideString GetAsWideString() const;
    virtual void SetAsWideStringValue(const WideString& value);
    virtual int32_t GetAsInteger() const;
    virtual void SetAsIntegerValue(int32_t value);
    virtual int64_t GetAsLargeInt() const;
    virtual void SetAsLargeIntValue(int64_t value);
    virtual double GetAsFloat() const;
    virtual void SetAsFloatValue(double value);
    virtual double GetAsCurrency() const;
    virtual void SetAsCurrencyValue(double value);
    virtual bool GetAsBoolean() const;
    virtual void SetAsBooleanValue(bool value);
    virtual double GetAsDateTime() const;
    virtual void SetAsDateTimeValue(double value);
    virtual TVariant GetAsVariant() const;
    virtual void SetAsVariantValue(const TVariant& value);
    // The text of the value when no OnGetText handler is set; by default AsString.
    virtual void GetText(AnsiString& text, bool displayText) const;
    // Sets the value from text when no OnSetText handler is set; by default AsString.
    virtual void SetTextValue(const AnsiString& text);
    // True for sizes this type takes (fixed-size types: 0 only).
    virtual bool IsValidSize(int32_t size) const;

    [[noreturn]] void AccessError(const char* typeName) const;
    void SetDataType(TFieldType dataType) { dataType_ = dataType; }

private:
    static TPropInfo OnChangeProperty();
    static TPropInfo DisplayWidthProperty();

    TDataSet* dataSet_ = nullptr;
    AnsiString fieldName_;
    int32_t fieldNo_ = 0;
    TFieldType dataType_ = ftUnknown;
    int32_t size_ = 0;
    bool required_ = false;
    bool readOnly_ = false;
    AnsiString editMask_;
    // -1: not set, the type's own width.
    int32_t displayWidth_ = -1;
    bool visible_ = true;
    TFieldGetTextEvent onGetText_;
    TFieldSetTextEvent onSetText_;
    // The published methods the events were bound to from a stored description.
    AnsiString onChangeName_;
    AnsiString onGetTextName_;
    AnsiString onSetTextName_;
};

// ANSI text of at most Size characters (default 20; 0: no limit); longer text is cut.
class TStringField : public TField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TStringField(TComponent* owner);
    // Fixed-width text: ftFixedChar.
    bool FixedChar() const { return DataType() == ftFixedChar; }
    void SetFieldType(TFieldType type) override;

    // The stored text; false for a null.
    bool GetValue(AnsiString& value) const;

protected:
    TStringField(TComponent* owner, TFieldType dataType, int32_t size);
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& value) override;
    WideString GetAsWideString() const override;
    void SetAsWideStringValue(const WideString& value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double value) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool value) override;
    double GetAsDateTime() const override;
    void SetAsDateTimeValue(double value) override;
    // A narrow-string variant of the stored bytes.
    TVariant GetAsVariant() const override;
    void SetAsVariantValue(const TVariant& value) override;
    // The display text of a field with an edit mask is the value formatted with it.
    void GetText(AnsiString& text, bool displayText) const override;
    bool IsValidSize(int32_t size) const override;
};

// A GUID as its 38-character text "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}".
class TGuidField : public TStringField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TGuidField(TComponent* owner);

protected:
    bool IsValidSize(int32_t size) const override;
};

// UTF-16 text of at most Size characters (default 20; 0: no limit); longer text is cut, never
// inside a surrogate pair.
class TWideStringField : public TField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TWideStringField(TComponent* owner);

    bool GetValue(WideString& value) const;

protected:
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& value) override;
    WideString GetAsWideString() const override;
    void SetAsWideStringValue(const WideString& value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double value) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool value) override;
    double GetAsDateTime() const override;
    void SetAsDateTimeValue(double value) override;
    // A wide-string variant.
    TVariant GetAsVariant() const override;
    void SetAsVariantValue(const TVariant& value) override;
    void GetText(AnsiString& text, bool displayText) const override;
    bool IsValidSize(int32_t size) const override;
};

// The numbers share their text rules: the value as text, empty text clears.
class TNumericField : public TField {
    RTL_DECLARE_CLASS_INFO()
protected:
    using TField::TField;
    void SetTextValue(const AnsiString& text) override;
};

// 32-bit integers; TSmallintField and TWordField narrow the range (EDatabaseError "%d is not a
// valid value for field '%s'. The allowed range is %d to %d").
class TIntegerField : public TNumericField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TIntegerField(TComponent* owner);
    bool GetValue(int32_t& value) const;

protected:
    TIntegerField(TComponent* owner, TFieldType dataType, int32_t minValue, int32_t maxValue);
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double value) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool value) override;
    TVariant GetAsVariant() const override;
    void SetAsVariantValue(const TVariant& value) override;

private:
    int32_t minValue_;
    int32_t maxValue_;
};

class TSmallintField : public TIntegerField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TSmallintField(TComponent* owner);
};

class TWordField : public TIntegerField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TWordField(TComponent* owner);
};

class TAutoIncField : public TIntegerField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TAutoIncField(TComponent* owner);
};

class TLargeintField : public TNumericField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TLargeintField(TComponent* owner);
    bool GetValue(int64_t& value) const;

protected:
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double value) override;
    // A 64-bit integer variant (VT_I8), exact over the whole range.
    TVariant GetAsVariant() const override;
    void SetAsVariantValue(const TVariant& value) override;
};

class TFloatField : public TNumericField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TFloatField(TComponent* owner);
    bool GetValue(double& value) const;

protected:
    TFloatField(TComponent* owner, TFieldType dataType);
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double value) override;
    double GetAsCurrency() const override;
    void SetAsCurrencyValue(double value) override;
    TVariant GetAsVariant() const override;
    void SetAsVariantValue(const TVariant& value) override;
};

class TCurrencyField : public TFloatField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TCurrencyField(TComponent* owner);
};

// Fixed-point currency: four decimals exact.
class TBCDField : public TNumericField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TBCDField(TComponent* owner);
    // The value times 10,000.
    bool GetValue(int64_t& tenThousandths) const;

protected:
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t value) override;
    int64_t GetAsLargeInt() const override;
    void SetAsLargeIntValue(int64_t value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double value) override;
    double GetAsCurrency() const override;
    void SetAsCurrencyValue(double value) override;
    // A currency variant (VT_CY).
    TVariant GetAsVariant() const override;
    void SetAsVariantValue(const TVariant& value) override;
};

// Text "True"/"False"; reading text accepts either in any case and "T"/"F", "Y"/"N", "1"/"0".
class TBooleanField : public TField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TBooleanField(TComponent* owner);
    bool GetValue(bool& value) const;

protected:
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& value) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerValue(int32_t value) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool value) override;
    TVariant GetAsVariant() const override;
    void SetAsVariantValue(const TVariant& value) override;
};

// Date and time as an OLE date; text by the system's rules in the user's locale. A date field
// keeps the day of a value, a time field its time of day; a value outside the years 100 to 9999
// (or not finite) raises EDatabaseError "Invalid date and time value for field '%s'".
class TDateTimeField : public TField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TDateTimeField(TComponent* owner);
    bool GetValue(double& value) const;

protected:
    TDateTimeField(TComponent* owner, TFieldType dataType);
    AnsiString GetAsString() const override;
    // Empty text clears the field.
    void SetAsStringValue(const AnsiString& value) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double value) override;
    double GetAsDateTime() const override;
    void SetAsDateTimeValue(double value) override;
    // A date variant (VT_DATE).
    TVariant GetAsVariant() const override;
    void SetAsVariantValue(const TVariant& value) override;

    // The text of a value: date and time, the date only, or the time only, by the type.
    AnsiString DateTimeText(double value) const;
};

class TDateField : public TDateTimeField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TDateField(TComponent* owner);
};

class TTimeField : public TDateTimeField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TTimeField(TComponent* owner);
};

// An interface reference; only the variant access applies.
class TInterfaceField : public TField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TInterfaceField(TComponent* owner);

protected:
    TInterfaceField(TComponent* owner, TFieldType dataType);
    TVariant GetAsVariant() const override;
    void SetAsVariantValue(const TVariant& value) override;
};

class TIDispatchField : public TInterfaceField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TIDispatchField(TComponent* owner);
};

// The framework's class for a field type (Create set on every one); null for ftUnknown.
const TClassInfo* DefaultFieldClass(TFieldType type);
