#include "VynDB.h"

#include <iterator>

#include "Assertions.h"
#include "MaskFormat.h"
#include "TextConversion.h"
#include "VynClasses.h"
#include "VynSysUtils.h"

namespace {

constexpr char UnitName[] = "lib/VynUnicode/VynDB";

constexpr uint16_t DefaultFixedCodePage = 1252;
constexpr unsigned char EscapeByte = 128;

// The code page of each named value, in the enumeration's order (fcpOther has none).
constexpr uint16_t NamedCodePages[] = {0,    874,  932,  936,  950,  949,  1250, 1251,
                                       1252, 1253, 1254, 1255, 1256, 1257, 1258};
static_assert(std::size(NamedCodePages) == fcpVietnamese + 1, "one code page per named value");

// The bridges are types of their own, so that removing a wide handler can tell its bridge from
// an ANSI handler set since.
struct GetTextBridge {
    TVynFieldGetTextEvent handler;
    void operator()(TField* sender, AnsiString& text, bool displayText) const {
        WideString wide = AnsiToWide(text);
        handler(sender, wide, displayText);
        text = WideToAnsi(wide);
    }
};

struct SetTextBridge {
    TVynFieldSetTextEvent handler;
    void operator()(TField* sender, const AnsiString& text) const { handler(sender, AnsiToWide(text)); }
};

AnsiString EscapeHighBytes(const AnsiString& bytes) {
    AnsiString escaped;
    escaped.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < EscapeByte) {
            escaped += c;
            continue;
        }
        escaped += static_cast<char>(EscapeByte);
        escaped += static_cast<char>(byte == EscapeByte ? EscapeByte : byte - EscapeByte);
    }
    return escaped;
}

AnsiString UnescapeHighBytes(const AnsiString& bytes) {
    AnsiString plain;
    plain.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const bool escapes = byte == EscapeByte && i + 1 < bytes.size() &&
                             static_cast<unsigned char>(bytes[i + 1]) <= EscapeByte;
        if (!escapes) {
            plain += bytes[i];
            continue;
        }
        const auto next = static_cast<unsigned char>(bytes[++i]);
        plain += static_cast<char>(next == EscapeByte ? EscapeByte : next + EscapeByte);
    }
    return plain;
}

// The events are private to each field class: its table hands over the member.
template <class F> TPropInfo WideGetTextProperty(TVynWideTextEvents F::*events) {
    return TypedEventProperty<TVynFieldGetTextEvent>(
        "OnGetText",
        [events](TPersistent& o, TVynFieldGetTextEvent handler, const AnsiString& method) {
            auto& field = static_cast<F&>(o);
            field.SetOnGetText(std::move(handler));
            (field.*events).onGetTextName = method;
        },
        [events](const TPersistent& o) { return (static_cast<const F&>(o).*events).onGetTextName; });
}

template <class F> TPropInfo WideSetTextProperty(TVynWideTextEvents F::*events) {
    return TypedEventProperty<TVynFieldSetTextEvent>(
        "OnSetText",
        [events](TPersistent& o, TVynFieldSetTextEvent handler, const AnsiString& method) {
            auto& field = static_cast<F&>(o);
            field.SetOnSetText(std::move(handler));
            (field.*events).onSetTextName = method;
        },
        [events](const TPersistent& o) { return (static_cast<const F&>(o).*events).onSetTextName; });
}

TPropInfo WithDefault(TPropInfo info, int64_t value) {
    info.Default = value;
    return info;
}

} // namespace

const TClassInfo* VynFieldClass(const TClassInfo* frameworkClass) {
    if (frameworkClass == &TDateTimeField::StaticClassInfo())
        return &TVynDateTimeField::StaticClassInfo();
    if (frameworkClass == &TDateField::StaticClassInfo())
        return &TVynDateField::StaticClassInfo();
    if (frameworkClass == &TTimeField::StaticClassInfo())
        return &TVynTimeField::StaticClassInfo();
    if (frameworkClass == &TWideStringField::StaticClassInfo())
        return &TVynWideStringField::StaticClassInfo();
    if (frameworkClass == &TStringField::StaticClassInfo())
        return &TVynStringField::StaticClassInfo();
    return frameworkClass;
}

WideString VynDefaultWideText(const TField& field, bool displayText) {
    const auto* access = dynamic_cast<const IVynWideStringField*>(&field);
    if (access == nullptr)
        RTL_ASSERTION_FAILED("Assertion failure");
    if (displayText && !field.EditMask().empty())
        return AnsiToWide(FormatMaskText(field.EditMask(), WideToAnsi(access->GetWideValue())));
    return access->GetWideValue();
}

// ---- The wide text events -----------------------------------------------------------------------

void TVynWideTextEvents::SetOnGetText(TField& field, TVynFieldGetTextEvent handler) {
    onGetText_ = std::move(handler);
    onGetTextName.clear();
    if (onGetText_)
        field.TField::SetOnGetText(GetTextBridge{onGetText_});
    else if (field.TField::OnGetText().target<GetTextBridge>() != nullptr)
        field.TField::SetOnGetText(nullptr);
}

void TVynWideTextEvents::SetOnSetText(TField& field, TVynFieldSetTextEvent handler) {
    onSetText_ = std::move(handler);
    onSetTextName.clear();
    if (onSetText_)
        field.TField::SetOnSetText(SetTextBridge{onSetText_});
    else if (field.TField::OnSetText().target<SetTextBridge>() != nullptr)
        field.TField::SetOnSetText(nullptr);
}

WideString TVynWideTextEvents::Text(const TField& field, bool displayText) const {
    if (onGetText_) {
        WideString text;
        onGetText_(const_cast<TField*>(&field), text, displayText);
        return text;
    }
    if (field.TField::OnGetText())
        return AnsiToWide(displayText ? field.DisplayText() : field.Text());
    return VynDefaultWideText(field, displayText);
}

void TVynWideTextEvents::SetText(TField& field, IVynWideStringField& access, const WideString& text) const {
    if (onSetText_)
        onSetText_(&field, text);
    else if (field.TField::OnSetText())
        field.TField::OnSetText()(&field, WideToAnsi(text));
    else
        access.SetWideValue(text);
}

// ---- TVynWideStringField ------------------------------------------------------------------------

const TClassInfo& TVynWideStringField::StaticClassInfo() {
    static const TClassInfo info{
        "TVynWideStringField",
        &TWideStringField::StaticClassInfo(),
        {WideGetTextProperty(&TVynWideStringField::events_),
         WideSetTextProperty(&TVynWideStringField::events_)},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TVynWideStringField(owner); },
    };
    return info;
}

TVynWideStringField::TVynWideStringField(TComponent* owner) : TWideStringField(owner) {}

WideString TVynWideStringField::GetWideValue() const {
    WideString value;
    return GetData(&value, false) ? value : WideString();
}

void TVynWideStringField::SetWideValue(const WideString& value) {
    SetAsWideStringValue(value);
}

// ---- TVynStringField ----------------------------------------------------------------------------

const TClassInfo& TVynStringField::StaticClassInfo() {
    using F = TVynStringField;
    static const TClassInfo info = [] {
        TPropInfo fixedCodePageEnum = EnumProperty<F, TVynStringFieldCodePageEnum>(
            "FixedCodePageEnum", &F::FixedCodePageEnum, &F::SetFixedCodePageEnum,
            {"fcpOther", "fcpThai", "fcpJapanese", "fcpSimplifiedChinese", "fcpTraditionalChinese",
             "fcpKorean", "fcpCentralEuropean", "fcpCyrillic", "fcpLatinWestern", "fcpGreek", "fcpTurkish",
             "fcpHebrew", "fcpArabic", "fcpBaltic", "fcpVietnamese"});
        fixedCodePageEnum.Stored = [](const TPersistent&) { return false; };

        TPropInfo fixedCodePage;
        fixedCodePage.Name = "FixedCodePage";
        fixedCodePage.Kind = TTypeKind::tkInteger;
        fixedCodePage.GetOrdinal = [](const TPersistent& o) {
            return static_cast<int64_t>(static_cast<const F&>(o).FixedCodePage());
        };
        fixedCodePage.SetOrdinal = [](TPersistent& o, int64_t value) {
            if (value < 0 || value > UINT16_MAX)
                throw EConvertError("Invalid property value");
            static_cast<F&>(o).SetFixedCodePage(static_cast<uint16_t>(value));
        };
        // Both fixed modes decode with it: a safe-mode field read back without it would take 1252.
        fixedCodePage.Stored = [](const TPersistent& o) {
            const TVynStringFieldEncodingMode mode = static_cast<const F&>(o).EncodingMode();
            return mode == emFixedCodePage || mode == emFixedCodePage_Safe;
        };
        fixedCodePage.Default = DefaultFixedCodePage;

        return TClassInfo{
            "TVynStringField",
            &TStringField::StaticClassInfo(),
            {
                WithDefault(EnumProperty<F, TVynStringFieldEncodingMode>(
                                "EncodingMode", &F::EncodingMode, &F::SetEncodingMode,
                                {"emNone", "emUTF8", "emUTF7", "emFixedCodePage", "emFixedCodePage_Safe"}),
                            emUTF8),
                fixedCodePageEnum,
                fixedCodePage,
                WithDefault(
                    BooleanProperty<F>("RawVariantAccess", &F::RawVariantAccess, &F::SetRawVariantAccess), 0),
                WideGetTextProperty(&F::events_),
                WideSetTextProperty(&F::events_),
            },
            {},
            {},
            [](TComponent* owner) -> TComponent* { return new TVynStringField(owner); },
        };
    }();
    return info;
}

TVynStringField::TVynStringField(TComponent* owner) : TStringField(owner) {}

TVynStringFieldCodePageEnum TVynStringField::FixedCodePageEnum() const {
    for (size_t value = fcpOther + 1; value < std::size(NamedCodePages); ++value)
        if (NamedCodePages[value] == fixedCodePage_)
            return static_cast<TVynStringFieldCodePageEnum>(value);
    return fcpOther;
}

void TVynStringField::SetFixedCodePageEnum(TVynStringFieldCodePageEnum value) {
    if (value != fcpOther && value < std::size(NamedCodePages))
        fixedCodePage_ = NamedCodePages[value];
}

WideString TVynStringField::Decode(const AnsiString& stored) const {
    switch (encodingMode_) {
    case emNone:
        return AnsiToWide(stored);
    case emUTF8:
        return Utf8Decode(stored);
    case emUTF7:
        try {
            return Utf7Decode(stored);
        } catch (const EVynGeneralError&) {
            // Text stored before the field was switched to UTF-7 is still readable.
            return AnsiToWide(stored);
        }
    case emFixedCodePage:
        return AnsiToWideCP(stored, fixedCodePage_);
    case emFixedCodePage_Safe:
        return AnsiToWideCP(UnescapeHighBytes(stored), fixedCodePage_);
    }
    throw EVynInternalError("Internal Error: Unexpected EncodingMode");
}

AnsiString TVynStringField::Encode(const WideString& value) const {
    switch (encodingMode_) {
    case emNone:
        return WideToAnsi(value);
    case emUTF8:
        return Utf8Encode(value);
    case emUTF7:
        return Utf7Encode(value);
    case emFixedCodePage:
        return WideToAnsiCP(value, fixedCodePage_);
    case emFixedCodePage_Safe:
        return EscapeHighBytes(WideToAnsiCP(value, fixedCodePage_));
    }
    throw EVynInternalError("Internal Error: Unexpected EncodingMode");
}

WideString TVynStringField::GetWideValue() const {
    AnsiString stored;
    return GetValue(stored) ? Decode(stored) : WideString();
}

void TVynStringField::SetWideValue(const WideString& value) {
    TStringField::SetAsStringValue(Encode(value));
}

AnsiString TVynStringField::GetAsString() const {
    return WideToAnsi(GetWideValue());
}

void TVynStringField::SetAsStringValue(const AnsiString& value) {
    SetWideValue(AnsiToWide(value));
}

WideString TVynStringField::GetAsWideString() const {
    return GetWideValue();
}

void TVynStringField::SetAsWideStringValue(const WideString& value) {
    SetWideValue(value);
}

TVariant TVynStringField::GetAsVariant() const {
    if (rawVariantAccess_)
        return TStringField::GetAsVariant();
    AnsiString stored;
    return GetValue(stored) ? TVariant::FromWide(Decode(stored)) : TVariant::Null();
}

void TVynStringField::SetAsVariantValue(const TVariant& value) {
    if (rawVariantAccess_)
        return TStringField::SetAsVariantValue(value);
    SetWideValue(value.AsWide());
}

// ---- The date-time fields -----------------------------------------------------------------------

const TClassInfo& TVynDateTimeField::StaticClassInfo() {
    static const TClassInfo info{
        "TVynDateTimeField",
        &TDateTimeField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TVynDateTimeField(owner); },
    };
    return info;
}

TVynDateTimeField::TVynDateTimeField(TComponent* owner) : TDateTimeField(owner) {}

void TVynDateTimeField::SetAsStringValue(const AnsiString& value) {
    if (value.empty())
        return TDateTimeField::SetAsStringValue(value);
    SetAsDateTime(StrToDateTimeWide(AnsiToWide(value)));
}

const TClassInfo& TVynDateField::StaticClassInfo() {
    static const TClassInfo info{
        "TVynDateField",
        &TDateField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TVynDateField(owner); },
    };
    return info;
}

TVynDateField::TVynDateField(TComponent* owner) : TDateField(owner) {}

void TVynDateField::SetAsStringValue(const AnsiString& value) {
    if (value.empty())
        return TDateField::SetAsStringValue(value);
    SetAsDateTime(StrToDateWide(AnsiToWide(value)));
}

const TClassInfo& TVynTimeField::StaticClassInfo() {
    static const TClassInfo info{
        "TVynTimeField",
        &TTimeField::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TVynTimeField(owner); },
    };
    return info;
}

TVynTimeField::TVynTimeField(TComponent* owner) : TTimeField(owner) {}

void TVynTimeField::SetAsStringValue(const AnsiString& value) {
    if (value.empty())
        return TTimeField::SetAsStringValue(value);
    SetAsDateTime(StrToTimeWide(AnsiToWide(value)));
}
