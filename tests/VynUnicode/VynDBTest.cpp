#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <typeinfo>

#include "../Rtl/FieldsTestDataSet.h"
#include "FormLoader.h"
#include "FormWriter.h"
#include "TextConversion.h"
#include "VynDB.h"

namespace {

using namespace std::string_literals;

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

// The message up to its first line break (date errors add the system's reason below).
std::string FirstLine(const std::string& message) {
    return message.substr(0, message.find("\r\n"));
}

const WideString AUmlaut = u"\u00E4";
const WideString Zhong = u"\u4E2D";
const WideString Grinning = u"\U0001F600";

class VynFieldsTest : public ::testing::Test {
protected:
    void SetUp() override { data_.OpenEditing(); }
    TVynStringField& Text() { return static_cast<TVynStringField&>(*data_.FieldByName("S")); }
    TVynWideStringField& Wide() { return static_cast<TVynWideStringField&>(*data_.FieldByName("W")); }
    // The bytes the string field stores.
    AnsiString StoredBytes() {
        AnsiString bytes;
        EXPECT_TRUE(Text().GetValue(bytes));
        return bytes;
    }
    // Stores bytes as they are, past the encoding.
    void StoreBytes(const AnsiString& bytes) {
        Text().SetRawVariantAccess(true);
        Text().SetAsVariant(TVariant::FromAnsi(bytes));
        Text().SetRawVariantAccess(false);
    }

    TFieldsTestDataSet data_{{{"S", ftString, 0},
                              {"W", ftWideString, 0},
                              {"D", ftDate},
                              {"T", ftTime},
                              {"DT", ftDateTime},
                              {"I", ftInteger},
                              {"G", ftGuid, 38}},
                             VynFieldClass};
};

// ---- Substitution and defaults

TEST_F(VynFieldsTest, TheStringAndDateTimeClassesAreReplacedAndNoOther) {
    EXPECT_EQ(Text().ClassName(), "TVynStringField");
    EXPECT_EQ(Wide().ClassName(), "TVynWideStringField");
    EXPECT_EQ(data_.FieldByName("D")->ClassName(), "TVynDateField");
    EXPECT_EQ(data_.FieldByName("T")->ClassName(), "TVynTimeField");
    EXPECT_EQ(data_.FieldByName("DT")->ClassName(), "TVynDateTimeField");
    EXPECT_EQ(data_.FieldByName("I")->ClassName(), "TIntegerField");
    EXPECT_EQ(data_.FieldByName("G")->ClassName(), "TGuidField") << "a string field's subclass stays";
    EXPECT_EQ(VynFieldClass(nullptr), nullptr);
    EXPECT_EQ(VynFieldClass(&TVynStringField::StaticClassInfo()), &TVynStringField::StaticClassInfo());
    EXPECT_NE(dynamic_cast<IVynWideStringField*>(&Text()), nullptr);
    EXPECT_NE(dynamic_cast<IVynWideStringField*>(&Wide()), nullptr);
    EXPECT_EQ(dynamic_cast<IVynWideStringField*>(data_.FieldByName("G")), nullptr);
}

TEST(VynStringFieldDefaults, UTF8AndLatinWesternUntilToldOtherwise) {
    TVynStringField field(nullptr);
    EXPECT_EQ(field.EncodingMode(), emUTF8);
    EXPECT_EQ(field.FixedCodePage(), 1252);
    EXPECT_EQ(field.FixedCodePageEnum(), fcpLatinWestern);
    EXPECT_FALSE(field.RawVariantAccess());
    EXPECT_EQ(field.Size(), 20);
}

TEST(VynStringFieldDefaults, EachNamedCodePageAndNoOther) {
    const uint16_t expected[] = {0,    874,  932,  936,  950,  949,  1250, 1251,
                                 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    TVynStringField field(nullptr);
    for (int value = fcpThai; value <= fcpVietnamese; ++value) {
        field.SetFixedCodePageEnum(static_cast<TVynStringFieldCodePageEnum>(value));
        EXPECT_EQ(field.FixedCodePage(), expected[value]) << value;
        EXPECT_EQ(field.FixedCodePageEnum(), value);
    }
    field.SetFixedCodePage(437);
    EXPECT_EQ(field.FixedCodePageEnum(), fcpOther);
    field.SetFixedCodePageEnum(fcpOther);
    EXPECT_EQ(field.FixedCodePage(), 437) << "fcpOther names no code page";
}

// ---- Encodings

TEST_F(VynFieldsTest, EachModeRoundTripsTheTextItCanHold) {
    const WideString all = AUmlaut + Zhong + Grinning;
    const struct {
        TVynStringFieldEncodingMode mode;
        uint16_t codePage;
        WideString text;
    } cases[] = {
        {emUTF8, 1252, all},
        {emUTF7, 1252, all},
        {emFixedCodePage, 1252, AUmlaut + u"x"},
        {emFixedCodePage, 936, Zhong + u"x"},
        {emFixedCodePage_Safe, 1252, AUmlaut + u"x"},
        {emFixedCodePage_Safe, 936, Zhong + u"x"},
        {emNone, 1252, AnsiToWide(WideToAnsi(all))},
    };
    for (const auto& item : cases) {
        Text().SetEncodingMode(item.mode);
        Text().SetFixedCodePage(item.codePage);
        Text().SetWideValue(item.text);
        data_.Post();
        data_.Edit();
        EXPECT_EQ(Text().GetWideValue(), item.text) << item.mode << "/" << item.codePage;
        EXPECT_EQ(Text().AsWideString(), item.text);
        EXPECT_EQ(Text().AsVariant().AsWide(), item.text);
        EXPECT_EQ(Text().AsString(), WideToAnsi(item.text)) << "the ANSI value is the wide one narrowed";
    }
    Text().SetEncodingMode(emUTF8);
    Text().SetAsWideString(all);
    EXPECT_EQ(StoredBytes(), "\xC3\xA4\xE4\xB8\xAD\xF0\x9F\x98\x80");
    Text().SetEncodingMode(emUTF7);
    Text().SetAsWideString(all);
    EXPECT_EQ(StoredBytes(), "+AOROLdg93gA");
    Text().SetEncodingMode(emFixedCodePage);
    Text().SetAsWideString(Zhong);
    EXPECT_EQ(StoredBytes(), "?") << "1252 has no such character";
}

TEST_F(VynFieldsTest, TheSafeModeStoresNoByteAbove128) {
    Text().SetEncodingMode(emFixedCodePage_Safe);
    Text().SetWideValue(u"\u00E9");
    EXPECT_EQ(StoredBytes(), "\x80\x69");
    // 1252 puts the euro sign at 128, keeps 129 for U+0081 and y with diaeresis at 255.
    Text().SetWideValue(u"\u20AC\u0081\u00FFa");
    EXPECT_EQ(StoredBytes(), "\x80\x80\x80\x01\x80\x7F"s + "a");
    EXPECT_EQ(Text().GetWideValue(), u"\u20AC\u0081\u00FFa");

    StoreBytes("a\x80");
    EXPECT_EQ(Text().GetWideValue(), u"a\u20AC") << "a 128 ending the value is 128";
    StoreBytes("\x80\xE9");
    EXPECT_EQ(Text().GetWideValue(), u"\u20AC\u00E9") << "an escape never written stands for itself";
    StoreBytes("\x80\x80\x80");
    EXPECT_EQ(Text().GetWideValue(), u"\u20AC\u20AC");

    Text().SetSize(3);
    Text().SetWideValue(u"a\u00E9");
    EXPECT_EQ(StoredBytes(), "a\x80\x69");
    Text().SetWideValue(u"ab\u00E9");
    EXPECT_EQ(StoredBytes(), "ab\x80") << "the size counts stored bytes";
    EXPECT_EQ(Text().GetWideValue(), u"ab\u20AC");
}

TEST_F(VynFieldsTest, UTF7FallsBackToTheRuntimesConversionAndUnknownModesRaise) {
    Text().SetEncodingMode(emUTF7);
    StoreBytes("caf\xE9");
    EXPECT_EQ(Text().GetWideValue(), AnsiToWide("caf\xE9"));
    StoreBytes("+AOk-");
    EXPECT_EQ(Text().GetWideValue(), u"\u00E9");

    Text().SetEncodingMode(static_cast<TVynStringFieldEncodingMode>(5));
    EXPECT_EQ(ErrorOf<EVynInternalError>([&] { Text().GetWideValue(); }),
              "Internal Error: Unexpected EncodingMode");
    EXPECT_EQ(ErrorOf<EVynInternalError>([&] { Text().SetAsString("x"); }),
              "Internal Error: Unexpected EncodingMode");
}

TEST_F(VynFieldsTest, RawVariantAccessGivesTheStoredBytes) {
    Text().SetWideValue(AUmlaut);
    EXPECT_EQ(Text().AsVariant().Type(), VT_BSTR);
    Text().SetRawVariantAccess(true);
    const TVariant raw = Text().AsVariant();
    EXPECT_TRUE(raw.IsNarrowString());
    EXPECT_EQ(raw.AsAnsi(), "\xC3\xA4");
    Text().SetAsVariant(TVariant::Null());
    EXPECT_TRUE(Text().IsNull());
    EXPECT_EQ(Text().GetWideValue(), u"");
    Text().SetRawVariantAccess(false);
    EXPECT_TRUE(Text().AsVariant().IsNull());
    Text().SetAsVariant(TVariant::FromWide(Zhong));
    EXPECT_EQ(StoredBytes(), "\xE4\xB8\xAD");
}

// ---- Texts and events

TEST_F(VynFieldsTest, AnEditMaskShapesTheWideDisplayTextOnly) {
    for (IVynWideStringField* field :
         {static_cast<IVynWideStringField*>(&Text()), static_cast<IVynWideStringField*>(&Wide())}) {
        auto& framework = dynamic_cast<TField&>(*field);
        framework.SetEditMask(">LL-00;0;_");
        field->SetWideValue(u"ab1");
        EXPECT_EQ(field->GetWideDisplayText(), u"AB-1_") << framework.FieldName();
        EXPECT_EQ(field->GetWideText(), u"ab1");
        field->SetWideText(Zhong);
        EXPECT_EQ(field->GetWideValue(), Zhong);
        EXPECT_EQ(field->GetWideText(), Zhong) << "the edit text keeps what the display text narrows";
    }
    TIntegerField plain(nullptr);
    const std::string failure = ErrorOf<EAssertionFailed>([&] { VynDefaultWideText(plain, true); });
    EXPECT_NE(failure.find("(lib/VynUnicode/VynDB, line "), std::string::npos) << failure;
}

TEST_F(VynFieldsTest, AWideHandlerReachesTheFrameworksOwnTextPaths) {
    for (TField* field : {static_cast<TField*>(&Text()), static_cast<TField*>(&Wide())}) {
        std::vector<std::string> calls;
        auto getText = [&](TField* sender, WideString& text, bool display) {
            calls.push_back(display ? "display" : "edit");
            text = AUmlaut + (sender == field ? u"!" : u"?");
        };
        auto setText = [&](TField* sender, const WideString& text) {
            dynamic_cast<IVynWideStringField&>(*sender).SetWideValue(text + Zhong);
        };
        if (auto* text = dynamic_cast<TVynStringField*>(field)) {
            text->SetOnGetText(getText);
            text->SetOnSetText(setText);
        } else {
            static_cast<TVynWideStringField*>(field)->SetOnGetText(getText);
            static_cast<TVynWideStringField*>(field)->SetOnSetText(setText);
        }
        auto& access = dynamic_cast<IVynWideStringField&>(*field);
        EXPECT_EQ(field->DisplayText(), WideToAnsi(AUmlaut + u"!")) << "the framework's path calls it";
        EXPECT_EQ(field->Text(), WideToAnsi(AUmlaut + u"!"));
        EXPECT_EQ(access.GetWideDisplayText(), AUmlaut + u"!");
        EXPECT_EQ(calls, (std::vector<std::string>{"display", "edit", "display"}));
        field->SetText("x");
        EXPECT_EQ(access.GetWideValue(), u"x" + Zhong) << "the framework's set path too";
        access.SetWideText(Grinning);
        EXPECT_EQ(access.GetWideValue(), Grinning + Zhong);
    }
}

TEST_F(VynFieldsTest, RemovingAWideHandlerRemovesItsBridgeOnly) {
    Text().SetOnGetText([](TField*, WideString& text, bool) { text = u"wide"; });
    ASSERT_TRUE(static_cast<bool>(Text().TField::OnGetText()));
    Text().SetOnGetText(nullptr);
    EXPECT_FALSE(static_cast<bool>(Text().TField::OnGetText()));
    Text().SetWideValue(u"value");
    EXPECT_EQ(Text().DisplayText(), "value");

    // An ANSI handler set over the bridge stays when the wide one goes, and is asked, widened.
    Text().SetOnSetText([](TField*, const WideString&) {});
    Text().TField::SetOnSetText([](TField* sender, const AnsiString& text) {
        dynamic_cast<TVynStringField&>(*sender).SetWideValue(AnsiToWide(text + "!"));
    });
    Text().SetOnSetText(nullptr);
    ASSERT_TRUE(static_cast<bool>(Text().TField::OnSetText()));
    Text().SetWideText(u"ansi");
    EXPECT_EQ(Text().GetWideValue(), u"ansi!");
    Text().TField::SetOnGetText([](TField*, AnsiString& text, bool display) { text = display ? "D" : "E"; });
    EXPECT_EQ(Text().GetWideDisplayText(), u"D");
    EXPECT_EQ(Text().GetWideText(), u"E");
}

// ---- Dates

TEST_F(VynFieldsTest, DateFieldsReadWideTextAndClearOnEmptyText) {
    for (const char* name : {"D", "T", "DT"}) {
        TField& field = *data_.FieldByName(name);
        field.SetAsDateTime(36526.75);
        const AnsiString text = field.AsString();
        field.Clear();
        field.SetAsString(text);
        EXPECT_EQ(field.AsString(), text) << name;
        field.SetAsString("");
        EXPECT_TRUE(field.IsNull()) << name;
    }
    EXPECT_EQ(FirstLine(ErrorOf<EConvertError>([&] { data_.FieldByName("D")->SetAsString("no day"); })),
              "'no day' is not a valid date");
    EXPECT_EQ(FirstLine(ErrorOf<EConvertError>([&] { data_.FieldByName("T")->SetAsString("no time"); })),
              "'no time' is not a valid time");
    EXPECT_EQ(FirstLine(ErrorOf<EConvertError>([&] { data_.FieldByName("DT")->SetAsString("never"); })),
              "'never' is not a valid date and time");
}

// ---- Stored descriptions

class TFieldsOwner : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    using TComponent::TComponent;
};

const TClassInfo& TFieldsOwner::StaticClassInfo() {
    static const TClassInfo info{"TFieldsOwner", &TComponent::StaticClassInfo()};
    return info;
}

std::vector<AnsiString> StoredNames(const TFormObject& description) {
    std::vector<AnsiString> names;
    for (const TFormProperty& property : description.Properties)
        names.push_back(property.Name);
    return names;
}

TEST(VynStringFieldDescription, TheCodePageIsStoredInBothFixedModes) {
    RegisterComponentClass(TVynStringField::StaticClassInfo());
    const struct {
        TVynStringFieldEncodingMode mode;
        uint16_t codePage;
        std::vector<AnsiString> stored;
    } cases[] = {
        {emUTF8, 1251, {"FieldName"}},
        {emNone, 1251, {"FieldName", "EncodingMode"}},
        {emFixedCodePage, 1251, {"FieldName", "EncodingMode", "FixedCodePage"}},
        {emFixedCodePage_Safe, 1251, {"FieldName", "EncodingMode", "FixedCodePage"}},
        {emFixedCodePage_Safe, 1252, {"FieldName", "EncodingMode"}},
    };
    for (const auto& item : cases) {
        TFieldsOwner owner(nullptr);
        auto* field = new TVynStringField(&owner);
        field->SetName("Field1");
        field->SetFieldName("Name");
        field->SetEncodingMode(item.mode);
        field->SetFixedCodePage(item.codePage);
        const TFormObject written = WriteComponentToForm(owner);
        ASSERT_EQ(written.Children.size(), 1u);
        EXPECT_EQ(StoredNames(written.Children[0]), item.stored) << item.mode << "/" << item.codePage;

        TFieldsOwner copy(nullptr);
        ReadComponentFromForm(copy, written);
        auto* read = dynamic_cast<TVynStringField*>(copy.FindComponent("Field1"));
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->EncodingMode(), item.mode);
        EXPECT_EQ(read->FixedCodePage(), item.mode >= emFixedCodePage ? item.codePage : 1252)
            << "a field read back decodes as the one written";
    }
    UnregisterComponentClass(TVynStringField::StaticClassInfo());
}

} // namespace
