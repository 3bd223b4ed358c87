#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <typeinfo>

#include "FieldsTestDataSet.h"
#include "FormWriter.h"
#include "TextConversion.h"

namespace {

using namespace std::string_literals;

// The message of the exception of class E that action raises; a marker otherwise.
template <class E> std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.Message();
    } catch (const Exception& e) {
        return "<" + std::string(typeid(e).name()) + ": " + e.Message() + ">";
    }
    return "<nothing raised>";
}

AnsiString DecimalSeparator() {
    wchar_t separator[8] = {};
    ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
    return AnsiString(1, static_cast<char>(separator[0]));
}

std::vector<TTestColumn> EveryType() {
    return {{"S", ftString, 5},  {"FC", ftFixedChar, 4}, {"G", ftGuid, 38}, {"W", ftWideString, 6},
            {"SI", ftSmallint},  {"I", ftInteger},       {"WO", ftWord},    {"B", ftBoolean},
            {"FL", ftFloat},     {"C", ftCurrency},      {"BCD", ftBCD},    {"D", ftDate},
            {"T", ftTime},       {"DT", ftDateTime},     {"AI", ftAutoInc}, {"L", ftLargeint},
            {"IF", ftInterface}, {"ID", ftIDispatch}};
}

class FieldsTest : public ::testing::Test {
protected:
    void SetUp() override { data_.OpenEditing(); }
    TField& Field(const char* name) { return *data_.FieldByName(name); }
    const TVariant& Stored(const char* name) { return data_.Stored(0, Field(name).Index()); }
    // Posts and reads the first record again, so that values come back from the storage.
    void PostAndReread() {
        data_.Post();
        data_.First();
        data_.Edit();
    }

    TFieldsTestDataSet data_{EveryType()};
};

// ---- Classes and buffer forms

TEST_F(FieldsTest, EachTypeGetsItsClassWithTheDefinitionsNameSizeAndType) {
    const struct {
        const char* name;
        const char* className;
        int32_t size;
    } expected[] = {{"S", "TStringField", 5},     {"FC", "TStringField", 4},    {"G", "TGuidField", 38},
                    {"W", "TWideStringField", 6}, {"SI", "TSmallintField", 0},  {"I", "TIntegerField", 0},
                    {"WO", "TWordField", 0},      {"B", "TBooleanField", 0},    {"FL", "TFloatField", 0},
                    {"C", "TCurrencyField", 0},   {"BCD", "TBCDField", 0},      {"D", "TDateField", 0},
                    {"T", "TTimeField", 0},       {"DT", "TDateTimeField", 0},  {"AI", "TAutoIncField", 0},
                    {"L", "TLargeintField", 0},   {"IF", "TInterfaceField", 0}, {"ID", "TIDispatchField", 0}};
    ASSERT_EQ(data_.FieldCount(), static_cast<int32_t>(std::size(expected)));
    for (size_t i = 0; i < std::size(expected); ++i) {
        TField& field = *data_.Fields()[static_cast<int32_t>(i)];
        EXPECT_EQ(field.ClassName(), expected[i].className) << expected[i].name;
        EXPECT_EQ(field.FieldName(), expected[i].name);
        EXPECT_EQ(field.Size(), expected[i].size) << expected[i].name;
        EXPECT_EQ(field.DataType(), data_.FieldDefs().Items(static_cast<int32_t>(i)).DataType());
        EXPECT_EQ(field.Index(), static_cast<int32_t>(i));
        EXPECT_TRUE(field.IsNull()) << expected[i].name;
    }
    EXPECT_TRUE(static_cast<TStringField&>(Field("FC")).FixedChar());
    EXPECT_EQ(DefaultFieldClass(ftUnknown), nullptr);
}

TEST_F(FieldsTest, EveryClassHandsItsDataSetItsDocumentedBufferForm) {
    Field("S").SetAsString("abc");
    Field("W").SetAsWideString(u"\u4E2D\U0001F600");
    Field("SI").SetAsInteger(-32768);
    Field("WO").SetAsInteger(65535);
    Field("I").SetAsInteger(-7);
    Field("AI").SetAsInteger(9);
    Field("L").SetAsLargeInt(std::numeric_limits<int64_t>::min() + 1);
    Field("B").SetAsBoolean(true);
    Field("FL").SetAsFloat(0.1);
    Field("C").SetAsCurrency(2.5);
    Field("BCD").SetAsCurrency(1.2345);
    Field("DT").SetAsDateTime(36526.75);
    PostAndReread();

    EXPECT_TRUE(Stored("S").IsNarrowString());
    EXPECT_EQ(Stored("W").Type(), VT_BSTR);
    EXPECT_EQ(Stored("SI").Type(), VT_I2);
    EXPECT_EQ(Stored("WO").Type(), VT_UI2);
    EXPECT_EQ(Stored("L").Type(), VT_I8);
    EXPECT_EQ(Stored("BCD").Type(), VT_CY);
    EXPECT_EQ(Stored("DT").Type(), VT_DATE);

    AnsiString text;
    ASSERT_TRUE(Field("S").GetData(&text));
    EXPECT_EQ(text, "abc");
    WideString wide;
    ASSERT_TRUE(Field("W").GetData(&wide));
    EXPECT_EQ(wide, u"\u4E2D\U0001F600");
    int16_t smallint = 0;
    ASSERT_TRUE(Field("SI").GetData(&smallint));
    EXPECT_EQ(smallint, -32768);
    uint16_t word = 0;
    ASSERT_TRUE(Field("WO").GetData(&word));
    EXPECT_EQ(word, 65535);
    int32_t integer = 0;
    ASSERT_TRUE(Field("AI").GetData(&integer));
    EXPECT_EQ(integer, 9);
    int64_t large = 0;
    ASSERT_TRUE(Field("L").GetData(&large));
    EXPECT_EQ(large, std::numeric_limits<int64_t>::min() + 1);
    int16_t boolean = 0;
    ASSERT_TRUE(Field("B").GetData(&boolean));
    EXPECT_NE(boolean, 0);
    double real = 0;
    ASSERT_TRUE(Field("FL").GetData(&real));
    EXPECT_EQ(real, 0.1);
    int64_t tenThousandths = 0;
    ASSERT_TRUE(Field("BCD").GetData(&tenThousandths));
    EXPECT_EQ(tenThousandths, 12345);
    double date = 0;
    ASSERT_TRUE(Field("DT").GetData(&date));
    EXPECT_EQ(date, 36526.75);

    // And back: the buffer written directly reads as the value.
    const int64_t stored = 987654321;
    Field("BCD").SetData(&stored);
    EXPECT_EQ(Field("BCD").AsCurrency(), 98765.4321);
    Field("I").SetData(nullptr);
    EXPECT_TRUE(Field("I").IsNull());
    EXPECT_FALSE(Field("I").GetData(&integer));
}

// A COM object that counts its references, for the ownership of interface fields.
class CountedObject : public IDispatch {
public:
    LONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }
};

TEST(InterfaceFields, HoldTheirReferenceAndHandOutOwnedOnes) {
    CountedObject object;
    {
        TFieldsTestDataSet data({{"IF", ftInterface}, {"ID", ftIDispatch}});
        data.OpenEditing();
        TVariant unknown;
        VARIANT* slot = unknown.Put();
        slot->vt = VT_UNKNOWN;
        slot->punkVal = &object;
        object.AddRef();
        data.FieldByName("IF")->SetAsVariant(unknown);
        data.FieldByName("ID")->SetAsVariant(unknown);
        {
            const TVariant read = data.FieldByName("ID")->AsVariant();
            EXPECT_EQ(read.Type(), VT_DISPATCH);
            EXPECT_EQ(read.Value().pdispVal, static_cast<IDispatch*>(&object));
            const TVariant again = data.FieldByName("IF")->AsVariant();
            EXPECT_EQ(again.Value().punkVal, static_cast<IUnknown*>(&object));
        }
        EXPECT_EQ(ErrorOf<EDatabaseError>([&] { data.FieldByName("IF")->AsString(); }),
                  "Cannot access field 'IF' as type String");
        data.FieldByName("IF")->Clear();
        data.Post();
    }
    EXPECT_EQ(object.references, 1) << "every reference taken was given back";
}

// ---- Conversions

TEST_F(FieldsTest, IntegersTakeTextAndKeepTheirRange) {
    TField& integer = Field("I");
    integer.SetAsString("42");
    EXPECT_EQ(integer.AsInteger(), 42);
    EXPECT_EQ(integer.AsString(), "42");
    EXPECT_EQ(integer.AsFloat(), 42.0);
    EXPECT_TRUE(integer.AsBoolean());
    EXPECT_EQ(ErrorOf<EConvertError>([&] { integer.SetAsString("4x2"); }),
              "'4x2' is not a valid integer value for field 'I'");
    EXPECT_EQ(
        ErrorOf<EDatabaseError>([&] { integer.SetAsLargeInt(int64_t{1} << 40); }),
        "1099511627776 is not a valid value for field 'I'. The allowed range is -2147483648 to 2147483647");
    EXPECT_EQ(integer.AsInteger(), 42) << "a failed set leaves the value";
    integer.SetAsVariant(TVariant::FromWide(u"17"));
    EXPECT_EQ(integer.AsVariant().Type(), VT_I4);
    EXPECT_EQ(integer.AsInteger(), 17);
    integer.SetAsString("");
    EXPECT_TRUE(integer.IsNull());
    EXPECT_EQ(integer.AsString(), "");
    EXPECT_EQ(integer.AsInteger(), 0);

    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { Field("SI").SetAsInteger(32768); }),
              "32768 is not a valid value for field 'SI'. The allowed range is -32768 to 32767");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { Field("WO").SetAsString("-1"); }),
              "-1 is not a valid value for field 'WO'. The allowed range is 0 to 65535");
    Field("WO").SetAsFloat(2.5);
    EXPECT_EQ(Field("WO").AsInteger(), 2) << "the system rounds half to even";
    EXPECT_EQ(Field("SI").AsVariant().IsNull(), true);
}

TEST_F(FieldsTest, LargeintsAreExactOverTheWholeRange) {
    TField& large = Field("L");
    for (const int64_t value : {std::numeric_limits<int64_t>::max(), -std::numeric_limits<int64_t>::max()}) {
        large.SetAsLargeInt(value);
        PostAndReread();
        EXPECT_EQ(large.AsLargeInt(), value);
        EXPECT_EQ(large.AsVariant().Type(), VT_I8);
        EXPECT_EQ(large.AsVariant().AsInt64(), value);
        const AnsiString text = large.AsString();
        EXPECT_EQ(text, std::to_string(value));
        large.Clear();
        large.SetAsString(text);
        EXPECT_EQ(large.AsLargeInt(), value) << text;
        large.SetAsVariant(TVariant::FromInt64(value - (value > 0 ? 1 : -1)));
        EXPECT_EQ(large.AsLargeInt(), value - (value > 0 ? 1 : -1));
    }
    EXPECT_EQ(ErrorOf<EConvertError>([&] { large.SetAsString("9223372036854775808"); }),
              "'9223372036854775808' is not a valid integer value for field 'L'");
    EXPECT_THROW(large.AsInteger(), EVariantError) << "beyond 32 bits";
    large.SetAsInteger(-5);
    EXPECT_EQ(large.AsInteger(), -5);
}

TEST_F(FieldsTest, FloatsAndCurrenciesFollowTheSystemsText) {
    const AnsiString point = DecimalSeparator();
    Field("FL").SetAsString("1" + point + "5");
    EXPECT_EQ(Field("FL").AsFloat(), 1.5);
    EXPECT_EQ(Field("FL").AsString(), "1" + point + "5");
    EXPECT_EQ(Field("FL").AsInteger(), 2);
    EXPECT_EQ(ErrorOf<EConvertError>([&] { Field("FL").SetAsString("one"); }),
              "'one' is not a valid floating point value for field 'FL'");
    EXPECT_EQ(Field("FL").AsFloat(), 1.5);

    TField& bcd = Field("BCD");
    bcd.SetAsFloat(1.23456);
    int64_t tenThousandths = 0;
    ASSERT_TRUE(static_cast<TBCDField&>(bcd).GetValue(tenThousandths));
    EXPECT_EQ(tenThousandths, 12346) << "four decimals, rounded";
    bcd.SetAsString("-98765432109" + point + "8765");
    ASSERT_TRUE(static_cast<TBCDField&>(bcd).GetValue(tenThousandths));
    EXPECT_EQ(tenThousandths, -987654321098765) << "text is read to the last decimal";
    EXPECT_EQ(bcd.AsString(), "-98765432109" + point + "8765");
    EXPECT_THROW(bcd.SetAsLargeInt(std::numeric_limits<int64_t>::max()), EVariantError);
    EXPECT_EQ(bcd.AsVariant().Value().cyVal.int64, -987654321098765) << "a failed set leaves the value";
    EXPECT_EQ(bcd.AsVariant().Type(), VT_CY);
    bcd.SetAsInteger(3);
    EXPECT_EQ(bcd.AsCurrency(), 3.0);
    EXPECT_EQ(Field("C").AsVariant().IsNull(), true);
}

TEST_F(FieldsTest, BooleansReadTheirWordsInAnyCase) {
    TField& flag = Field("B");
    const std::pair<const char*, bool> words[] = {{"true", true}, {"FALSE", false}, {"t", true},
                                                  {"F", false},   {"y", true},      {"N", false},
                                                  {"1", true},    {"0", false}};
    for (const auto& [word, value] : words) {
        flag.SetAsString(word);
        EXPECT_EQ(flag.AsBoolean(), value) << word;
        EXPECT_EQ(flag.AsString(), value ? "True" : "False");
        EXPECT_EQ(flag.AsInteger(), value ? 1 : 0);
    }
    EXPECT_EQ(ErrorOf<EConvertError>([&] { flag.SetAsString("maybe"); }),
              "'maybe' is not a valid boolean value for field 'B'");
    EXPECT_EQ(flag.AsString(), "False");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { flag.AsFloat(); }), "Cannot access field 'B' as type Float");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { flag.SetAsDateTime(1); }),
              "Cannot access field 'B' as type DateTime");
    flag.SetAsVariant(TVariant::FromInteger(5));
    EXPECT_EQ(flag.AsVariant().Type(), VT_BOOL);
    EXPECT_TRUE(flag.AsBoolean());
}

TEST_F(FieldsTest, DatesKeepTheirPartAndReadTheSystemsText) {
    // 2000-01-01 18:00; 1899-12-29 06:00 lies before the epoch, its time counted forward.
    Field("D").SetAsDateTime(36526.75);
    Field("T").SetAsDateTime(36526.75);
    Field("DT").SetAsDateTime(-1.25);
    EXPECT_EQ(Field("D").AsDateTime(), 36526.0);
    EXPECT_EQ(Field("T").AsDateTime(), 0.75);
    EXPECT_EQ(Field("DT").AsDateTime(), -1.25);
    Field("T").SetAsDateTime(-1.25);
    EXPECT_EQ(Field("T").AsDateTime(), 0.25);

    for (const char* name : {"D", "T", "DT"}) {
        TField& field = Field(name);
        field.SetAsDateTime(36526.75);
        const AnsiString text = field.AsString();
        field.Clear();
        field.SetAsString(text);
        EXPECT_NE(text, "") << name;
        EXPECT_EQ(field.AsString(), text) << name << ": the text reads back as the value";
        EXPECT_EQ(field.AsVariant().Type(), VT_DATE);
    }
    EXPECT_EQ(ErrorOf<EConvertError>([&] { Field("D").SetAsString("soon"); }),
              "'soon' is not a valid date for field 'D'");
    EXPECT_EQ(ErrorOf<EConvertError>([&] { Field("T").SetAsString("soon"); }),
              "'soon' is not a valid time for field 'T'");
    EXPECT_EQ(ErrorOf<EConvertError>([&] { Field("DT").SetAsString("soon"); }),
              "'soon' is not a valid date and time for field 'DT'");
    EXPECT_EQ(
        ErrorOf<EDatabaseError>([&] { Field("DT").SetAsFloat(std::numeric_limits<double>::infinity()); }),
        "Invalid date and time value for field 'DT'");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { Field("DT").AsInteger(); }),
              "Cannot access field 'DT' as type Integer");
    Field("DT").SetAsString("");
    EXPECT_TRUE(Field("DT").IsNull());
}

TEST_F(FieldsTest, StringsAreCutToTheirSizeAndConvertTheirText) {
    TField& text = Field("S");
    text.SetAsString("abcdefgh");
    EXPECT_EQ(text.AsString(), "abcde");
    text.SetAsString("\x80\xFF\0z"s);
    EXPECT_EQ(text.AsString(), "\x80\xFF\0z"s) << "every byte is kept";
    EXPECT_EQ(text.AsVariant().AsAnsi(), "\x80\xFF\0z"s);
    text.SetAsInteger(-12);
    EXPECT_EQ(text.AsString(), "-12");
    EXPECT_EQ(text.AsLargeInt(), -12);
    EXPECT_EQ(ErrorOf<EConvertError>([&] {
                  text.SetAsString("x");
                  text.AsInteger();
              }),
              "'x' is not a valid integer value for field 'S'");
    text.SetAsBoolean(true);
    EXPECT_EQ(text.AsString(), "T");
    EXPECT_TRUE(text.AsBoolean());
    text.SetAsVariant(TVariant::FromWide(u"wide"));
    EXPECT_EQ(text.AsString(), "wide");

    TField& wide = Field("W");
    wide.SetAsWideString(u"abcde\U0001F600");
    EXPECT_EQ(wide.AsWideString(), u"abcde") << "never half a surrogate pair";
    wide.SetAsWideString(u"ab\U0001F600cd");
    EXPECT_EQ(wide.AsWideString(), u"ab\U0001F600cd");
    EXPECT_EQ(wide.AsVariant().Type(), VT_BSTR);

    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { Field("G").SetSize(20); }), "Invalid field size");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { text.SetSize(-1); }), "Invalid field size");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { Field("I").SetSize(4); }), "Invalid field size");
}

// ---- Text, events, state

TEST_F(FieldsTest, AnEditMaskShapesTheDisplayTextOnly) {
    TField& text = Field("S");
    text.SetEditMask("0-0-0;0;_");
    text.SetAsString("12");
    EXPECT_EQ(text.DisplayText(), "1-2-_");
    EXPECT_EQ(text.Text(), "12");
    Field("W").SetEditMask("!000;0;*");
    Field("W").SetAsString("7");
    EXPECT_EQ(Field("W").DisplayText(), "**7");
    EXPECT_EQ(Field("W").Text(), "7");
}

TEST_F(FieldsTest, TextEventsDecideAndNumbersClearOnEmptyText) {
    TField& integer = Field("I");
    integer.SetOnGetText([](TField* sender, AnsiString& text, bool display) {
        text = (display ? "shown " : "edited ") + sender->AsString();
    });
    integer.SetAsInteger(3);
    EXPECT_EQ(integer.DisplayText(), "shown 3");
    EXPECT_EQ(integer.Text(), "edited 3");
    integer.SetOnSetText([](TField* sender, const AnsiString& text) { sender->SetAsString(text + "0"); });
    integer.SetText("4");
    EXPECT_EQ(integer.AsInteger(), 40);
    integer.SetOnSetText(nullptr);
    integer.SetText("");
    EXPECT_TRUE(integer.IsNull());

    std::vector<TField*> changed;
    Field("S").OnChange = [&](TField* sender) { changed.push_back(sender); };
    Field("S").SetText("x");
    Field("S").Clear();
    EXPECT_EQ(changed, (std::vector<TField*>{&Field("S"), &Field("S")}));
}

TEST_F(FieldsTest, WritesNeedAnEditingDataSetAndAWritableField) {
    Field("I").SetAsInteger(1);
    data_.Post();
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { Field("I").SetAsInteger(2); }),
              "TestData: Dataset not in edit or insert mode");
    EXPECT_EQ(Field("I").AsInteger(), 1) << "reading needs no edit";
    data_.Edit();
    Field("I").SetReadOnly(true);
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { Field("I").SetAsInteger(2); }), "Field 'I' cannot be modified");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { Field("I").Clear(); }), "Field 'I' cannot be modified");
    Field("I").SetReadOnly(false);
    Field("I").SetAsInteger(2);
    EXPECT_EQ(Field("I").AsInteger(), 2);

    Field("S").SetRequired(true);
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { data_.Post(); }), "Field 'S' must have a value");
    Field("S").SetAsString("now");
    data_.Post();
    EXPECT_EQ(data_.Stored(0, Field("S").Index()).AsAnsi(), "now");
}

TEST(FieldLifetime, AFieldJoinsOneDataSetAndLeavesItWhenDestroyed) {
    TFieldsTestDataSet data({{"A", ftInteger}, {"B", ftString, 3}});
    auto loose = std::make_unique<TIntegerField>(nullptr);
    loose->SetFieldName("Loose");
    EXPECT_EQ(loose->Index(), -1);
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { loose->AsInteger(); }), "Field 'Loose' has no dataset");
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { loose->SetAsInteger(1); }), "Field 'Loose' has no dataset");

    // Fields given to a closed data set are its persistent fields: opening binds them by name.
    auto a = std::make_unique<TIntegerField>(nullptr);
    a->SetFieldName("a");
    a->SetDataSet(&data);
    loose->SetDataSet(&data);
    EXPECT_EQ(loose->Index(), 1);
    loose.reset();
    EXPECT_EQ(data.FieldCount(), 1);
    data.OpenEditing();
    EXPECT_EQ(a->FieldNo(), 1);
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { a->SetDataSet(nullptr); }),
              "TestData: Cannot perform this operation on an open dataset");
    a->SetAsInteger(5);
    data.Post();
    data.Close();
    a->SetDataSet(nullptr);
    EXPECT_EQ(data.FieldCount(), 0);
}

// ---- Published properties

class TFieldOwnerForm : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    using TComponent::TComponent;
    void FieldChanged(TObject* sender) { changedBy = sender; }
    void FieldGetText(TField*, AnsiString& text, bool display) { text = display ? "display" : "edit"; }
    TObject* changedBy = nullptr;
};

const TClassInfo& TFieldOwnerForm::StaticClassInfo() {
    static const TClassInfo info{
        "TFieldOwnerForm",
        &TComponent::StaticClassInfo(),
        {},
        {PublishedMethod<TFieldOwnerForm>("FieldChanged", &TFieldOwnerForm::FieldChanged),
         PublishedTypedMethod<TFieldOwnerForm>("FieldGetText", &TFieldOwnerForm::FieldGetText)},
    };
    return info;
}

std::string ValueText(const TFormValue& value) {
    if (value.IsInteger())
        return std::to_string(value.AsInteger());
    if (value.IsBoolean())
        return value.AsBoolean() ? "True" : "False";
    if (value.IsText())
        return WideToAnsi(value.AsWideText());
    return value.AsIdent();
}

TEST(FieldProperties, EventsBindTheRootsMethodsOfTheirShapeAndTheWriterNamesThem) {
    TFieldOwnerForm form(nullptr);
    form.SetName("Form");
    auto* field = new TStringField(&form);
    field->SetName("Name1");
    field->SetFieldName("Name");
    field->SetSize(40);
    field->SetRequired(true);
    const TClassInfo& info = field->ClassInfo();
    info.FindProperty("OnGetText")->BindMethod(*field, &form, form.ClassInfo().FindMethod("FieldGetText"));
    info.FindProperty("OnChange")->BindMethod(*field, &form, form.ClassInfo().FindMethod("FieldChanged"));
    EXPECT_THROW(info.FindProperty("OnSetText")
                     ->BindMethod(*field, &form, form.ClassInfo().FindMethod("FieldGetText")),
                 EConvertError);

    AnsiString text;
    field->OnGetText()(field, text, true);
    EXPECT_EQ(text, "display");
    field->Change();
    EXPECT_EQ(form.changedBy, field);

    const TFormObject written = WriteComponentToForm(form);
    ASSERT_EQ(written.Children.size(), 1u);
    std::vector<std::string> names;
    for (const TFormProperty& property : written.Children[0].Properties)
        names.push_back(property.Name + "=" + ValueText(property.Value));
    EXPECT_EQ(names, (std::vector<std::string>{"FieldName=Name", "Required=True", "OnChange=FieldChanged",
                                               "OnGetText=FieldGetText", "Size=40"}));
}

TEST(FieldProperties, DisplayWidthFollowsTheSizeUntilSetAndTheGridPropertiesAreStoredOnlyWhenChanged) {
    TFieldOwnerForm form(nullptr);
    form.SetName("Form");
    auto* text = new TStringField(&form);
    text->SetName("Text1");
    text->SetSize(40);
    auto* number = new TIntegerField(&form);
    number->SetName("Number1");
    EXPECT_EQ(text->DisplayWidth(), 40);
    EXPECT_EQ(number->DisplayWidth(), 10);
    EXPECT_TRUE(number->Visible());
    const auto storedNames = [&form](size_t child) {
        // The written tree is held for the loop: a range over a member of a temporary would dangle.
        const TFormObject written = WriteComponentToForm(form);
        std::vector<std::string> names;
        for (const TFormProperty& property : written.Children.at(child).Properties)
            names.push_back(property.Name + "=" + ValueText(property.Value));
        return names;
    };
    EXPECT_EQ(storedNames(1), (std::vector<std::string>{}));

    number->SetDisplayWidth(4);
    number->SetVisible(false);
    text->SetSize(60);
    EXPECT_EQ(text->DisplayWidth(), 60);
    EXPECT_EQ(number->DisplayWidth(), 4);
    EXPECT_EQ(storedNames(1), (std::vector<std::string>{"DisplayWidth=4", "Visible=False"}));
}

} // namespace
