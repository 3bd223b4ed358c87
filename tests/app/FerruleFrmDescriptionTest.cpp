// The installer's window as its stored description designs it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "FormData.h"

namespace {

TFormObject ReadDescription() {
    std::ifstream file(FERRULE_FORM_DESCRIPTION, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return ParseFormText(text.str());
}

TEST(FerruleFormDescription, DesignsACentredCaptionOnlyToolWindowWithItsTimer) {
    const TFormObject form = ReadDescription();
    EXPECT_EQ(form.ClassName, "TFerruleForm");
    EXPECT_EQ(form.Name, "FerruleForm");
    auto value = [&](const char* name) -> const TFormValue& {
        const TFormProperty* property = form.FindProperty(name);
        EXPECT_NE(property, nullptr) << name;
        static const TFormValue none;
        return property ? property->Value : none;
    };
    EXPECT_EQ(value("Caption").AsWideText(), u"DAO 3.60 setup");
    EXPECT_EQ(value("ClientWidth").AsInteger(), 309);
    EXPECT_EQ(value("ClientHeight").AsInteger(), 1);
    EXPECT_EQ(value("BorderStyle").AsIdent(), "bsToolWindow");
    EXPECT_TRUE(value("BorderIcons").SetItems.empty());
    EXPECT_EQ(value("BorderIcons").Type, TValueType::vaSet);
    EXPECT_EQ(value("Position").AsIdent(), "poScreenCenter");
    EXPECT_EQ(value("Font.Name").AsWideText(), u"MS Shell Dlg 2");
    EXPECT_EQ(value("Font.Height").AsInteger(), -11);
    EXPECT_EQ(value("Font.Charset").AsIdent(), "DEFAULT_CHARSET");
    EXPECT_TRUE(value("TaskBarButton").AsBoolean());
    EXPECT_TRUE(value("OldCreateOrder").AsBoolean());
    // The translation tools offer the caption for translation; the form reader keeps the list.
    const TFormValue& translatable = value("VynTranslatableProps.WideStrings");
    ASSERT_EQ(translatable.Type, TValueType::vaList);
    ASSERT_EQ(translatable.List.size(), 1u);
    EXPECT_EQ(translatable.List[0].AsWideText(), u"Caption");

    ASSERT_EQ(form.Children.size(), 1u);
    const TFormObject& timer = form.Children[0];
    EXPECT_EQ(timer.ClassName, "TTimer");
    EXPECT_EQ(timer.Name, "Timer1");
    EXPECT_EQ(timer.FindProperty("Interval")->Value.AsInteger(), 250);
    EXPECT_EQ(timer.FindProperty("OnTimer")->Value.AsIdent(), "Timer1Timer");
    EXPECT_EQ(timer.FindProperty("Enabled"), nullptr) << "enabled by default";
}

TEST(FerruleFormDescription, SurvivesTheBuildsBinaryConversion) {
    const TFormObject form = ReadDescription();
    EXPECT_EQ(ReadFormBinary(WriteFormBinary(form)), form);
}

} // namespace
