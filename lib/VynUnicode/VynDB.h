// Unicode fields: a wide string field and an ANSI string field that both give their value as
// wide text (the ANSI one storing it in an encoding of its choice), wide text events bridged to
// the framework's ANSI ones, and date-time fields that read wide text. The in-memory data sets
// make every string and date-time field one of these (VynFieldClass).
#pragma once

#include <cstdint>
#include <functional>

#include "Fields.h"
#include "SysTypes.h"
#include "VynSysUtilsPaths.h"

// The framework's class of a field type, replaced by its Unicode class where there is one (the
// date-time, date, time, wide string and string fields); any other class is returned unchanged.
const TClassInfo* VynFieldClass(const TClassInfo* frameworkClass);

// Wide text events: the display or edit text a handler decides, and text to be set.
using TVynFieldGetTextEvent = std::function<void(TField* sender, WideString& text, bool displayText)>;
using TVynFieldSetTextEvent = std::function<void(TField* sender, const WideString& text)>;

// {679C5F1A-4356-4696-A8F3-9C7C6970A9F6}: the identity of the wide string access below.
constexpr GUID VynWideStringFieldId = {
    0x679c5f1a, 0x4356, 0x4696, {0xa8, 0xf3, 0x9c, 0x7c, 0x69, 0x70, 0xa9, 0xf6}};

// The wide string access of the Unicode string fields, found on a field by dynamic_cast. Its
// lifetime is the field's.
class IVynWideStringField {
public:
    virtual WideString GetWideValue() const = 0;
    virtual void SetWideValue(const WideString& value) = 0;
    virtual WideString GetWideDisplayText() const = 0;
    virtual WideString GetWideText() const = 0;
    virtual void SetWideText(const WideString& text) = 0;

protected:
    ~IVynWideStringField() = default;
};

// The wide text of a field with the wide string access when no handler decides it: its wide
// value, except that the display text of a field with an edit mask is the value narrowed,
// formatted with the mask and widened. EAssertionFailed (lib/VynUnicode/VynDB) for a field
// without the access.
WideString VynDefaultWideText(const TField& field, bool displayText);

// The wide text events of both Unicode string fields. Setting a handler also installs a bridge
// as the framework's ANSI event of the same kind, so framework code that calls the ANSI event
// reaches the wide handler (the ANSI text widened, the handler called, its text narrowed back);
// setting none removes the bridge (an ANSI handler set since stays).
class TVynWideTextEvents {
public:
    const TVynFieldGetTextEvent& OnGetText() const { return onGetText_; }
    void SetOnGetText(TField& field, TVynFieldGetTextEvent handler);
    const TVynFieldSetTextEvent& OnSetText() const { return onSetText_; }
    void SetOnSetText(TField& field, TVynFieldSetTextEvent handler);

    // A wide OnGetText decides; else the framework's ANSI handler, widened; else the default text.
    WideString Text(const TField& field, bool displayText) const;
    // A wide OnSetText decides; else the framework's ANSI handler, the text narrowed; else the
    // wide value is set.
    void SetText(TField& field, IVynWideStringField& access, const WideString& text) const;

    // The names of the published methods the events were bound to from a stored description.
    AnsiString onGetTextName;
    AnsiString onSetTextName;

private:
    TVynFieldGetTextEvent onGetText_;
    TVynFieldSetTextEvent onSetText_;
};

// Wide text of the framework's wide string field: the value as stored, and wide text events.
class TVynWideStringField : public TWideStringField, public IVynWideStringField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynWideStringField(TComponent* owner);

    // The wide events; they replace the framework's ANSI events of the same names, which hold
    // their bridges.
    const TVynFieldGetTextEvent& OnGetText() const { return events_.OnGetText(); }
    void SetOnGetText(TVynFieldGetTextEvent handler) { events_.SetOnGetText(*this, std::move(handler)); }
    const TVynFieldSetTextEvent& OnSetText() const { return events_.OnSetText(); }
    void SetOnSetText(TVynFieldSetTextEvent handler) { events_.SetOnSetText(*this, std::move(handler)); }

    // The value read without native format; empty for a null.
    WideString GetWideValue() const override;
    // Through the framework's wide setter.
    void SetWideValue(const WideString& value) override;
    WideString GetWideDisplayText() const override { return events_.Text(*this, true); }
    WideString GetWideText() const override { return events_.Text(*this, false); }
    void SetWideText(const WideString& text) override { events_.SetText(*this, *this, text); }

private:
    TVynWideTextEvents events_;
};

// How a string field keeps wide text in its ANSI value.
enum TVynStringFieldEncodingMode : uint8_t {
    emNone,          // the runtime's ANSI conversion
    emUTF8,          // UTF-8
    emUTF7,          // UTF-7; a value that is no UTF-7 reads through the runtime's conversion
    emFixedCodePage, // the code page FixedCodePage
    // FixedCodePage with every byte above 127 escaped, so that the value holds none above 128:
    // 128 stands for 128, 128 and a byte above 128 for 128 and the byte less 128. A 128 that ends
    // the value reads as 128, and one followed by a byte above 128 (never written) as itself.
    emFixedCodePage_Safe
};

// Named code pages for FixedCodePage.
enum TVynStringFieldCodePageEnum : uint8_t {
    fcpOther,
    fcpThai,
    fcpJapanese,
    fcpSimplifiedChinese,
    fcpTraditionalChinese,
    fcpKorean,
    fcpCentralEuropean,
    fcpCyrillic,
    fcpLatinWestern,
    fcpGreek,
    fcpTurkish,
    fcpHebrew,
    fcpArabic,
    fcpBaltic,
    fcpVietnamese
};

// The framework's string field holding wide text in the encoding EncodingMode names. Its ANSI
// value (AsString) is the wide value narrowed by the runtime's conversion, its variant the wide
// value as wide text (null for a null), unless RawVariantAccess gives the stored bytes. The
// field's Size counts the stored bytes. Any mode beyond the enumeration raises
// EVynInternalError "Internal Error: Unexpected EncodingMode" when the value is read or written.
class TVynStringField : public TStringField, public IVynWideStringField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynStringField(TComponent* owner);

    TVynStringFieldEncodingMode EncodingMode() const { return encodingMode_; }
    void SetEncodingMode(TVynStringFieldEncodingMode mode) { encodingMode_ = mode; }
    // The named value whose code page is FixedCodePage, or fcpOther; setting fcpOther changes
    // nothing. Never stored: FixedCodePage is, in both fixed modes (unless it is 1252).
    TVynStringFieldCodePageEnum FixedCodePageEnum() const;
    void SetFixedCodePageEnum(TVynStringFieldCodePageEnum value);
    uint16_t FixedCodePage() const { return fixedCodePage_; }
    void SetFixedCodePage(uint16_t codePage) { fixedCodePage_ = codePage; }
    bool RawVariantAccess() const { return rawVariantAccess_; }
    void SetRawVariantAccess(bool raw) { rawVariantAccess_ = raw; }

    const TVynFieldGetTextEvent& OnGetText() const { return events_.OnGetText(); }
    void SetOnGetText(TVynFieldGetTextEvent handler) { events_.SetOnGetText(*this, std::move(handler)); }
    const TVynFieldSetTextEvent& OnSetText() const { return events_.OnSetText(); }
    void SetOnSetText(TVynFieldSetTextEvent handler) { events_.SetOnSetText(*this, std::move(handler)); }

    // The stored bytes decoded; empty for a null.
    WideString GetWideValue() const override;
    void SetWideValue(const WideString& value) override;
    WideString GetWideDisplayText() const override { return events_.Text(*this, true); }
    WideString GetWideText() const override { return events_.Text(*this, false); }
    void SetWideText(const WideString& text) override { events_.SetText(*this, *this, text); }

protected:
    AnsiString GetAsString() const override;
    void SetAsStringValue(const AnsiString& value) override;
    WideString GetAsWideString() const override;
    void SetAsWideStringValue(const WideString& value) override;
    TVariant GetAsVariant() const override;
    void SetAsVariantValue(const TVariant& value) override;

private:
    WideString Decode(const AnsiString& stored) const;
    AnsiString Encode(const WideString& value) const;

    TVynStringFieldEncodingMode encodingMode_ = emUTF8;
    uint16_t fixedCodePage_ = 1252;
    bool rawVariantAccess_ = false;
    TVynWideTextEvents events_;
};

// The framework's date-time fields, reading non-empty text as wide text by the thread locale's
// rules (StrToDateTimeWide, StrToDateWide, StrToTimeWide: EConvertError for text that is none);
// empty text clears the field.
class TVynDateTimeField : public TDateTimeField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynDateTimeField(TComponent* owner);

protected:
    void SetAsStringValue(const AnsiString& value) override;
};

class TVynDateField : public TDateField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynDateField(TComponent* owner);

protected:
    void SetAsStringValue(const AnsiString& value) override;
};

class TVynTimeField : public TTimeField {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynTimeField(TComponent* owner);

protected:
    void SetAsStringValue(const AnsiString& value) override;
};
