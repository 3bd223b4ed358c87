// Translatable forms: the two lists read from and written to stored descriptions, kept sorted
// without duplicates, and following renamed components.
#include <gtest/gtest.h>

#include <memory>

#include "Application.h"
#include "Exceptions.h"
#include "FormLoader.h"
#include "FormWriter.h"
#include "Forms.h"
#include "StdCtrls.h"
#include "UnitRegistry.h"
#include "VynForms.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxForms.h"
#include "VynWindows.h"

namespace {

class TTestTrxForm : public TVynTrxForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TVynTrxForm::TVynTrxForm;
};

const TClassInfo& TTestTrxForm::StaticClassInfo() {
    static const TClassInfo info{"TTestTrxForm", &TVynTrxForm::StaticClassInfo()};
    return info;
}

class TTestPlainTrxForm : public TVynTrxForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TVynTrxForm::TVynTrxForm;
};

const TClassInfo& TTestPlainTrxForm::StaticClassInfo() {
    static const TClassInfo info{"TTestPlainTrxForm", &TVynTrxForm::StaticClassInfo()};
    return info;
}

class VynTrxForms : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit});
    }
    void TearDown() override { units_.reset(); }

    std::unique_ptr<TUnitStartup> units_;
};

std::vector<WideString> Entries(const TVynStrings& list) {
    std::vector<WideString> entries;
    for (int32_t i = 0; i < list.Count(); ++i)
        entries.push_back(list.Entry(i));
    return entries;
}

const TFormProperty* FindStored(const TFormObject& description, const char* name) {
    for (const TFormProperty& property : description.Properties)
        if (property.Name == name)
            return &property;
    return nullptr;
}

TFormValue WideItem(const WideString& text) {
    TFormValue value;
    value.Type = TValueType::vaWString;
    value.Wide = text;
    return value;
}

TFormValue AnsiItem(const AnsiString& text) {
    TFormValue value;
    value.Type = TValueType::vaString;
    value.Text = text;
    return value;
}

void ReadStored(TVynTrxStringList& list, const TFormValue& value) {
    TReader reader(value, nullptr, "WideStrings");
    list.DefineProperties(reader);
    ASSERT_TRUE(reader.Handled());
}

} // namespace

TEST_F(VynTrxForms, ListsAreSortedAndKeepOneOfEachEntry) {
    TVynTrxTranslatableProps props;
    props.AppendEntry(u"Label1.Caption");
    props.AppendEntry(u"Caption");
    props.AppendEntry(u"Label1.Caption");
    EXPECT_EQ(Entries(props), (std::vector<WideString>{u"Caption", u"Label1.Caption"}));

    TVynStringList unsorted;
    unsorted.AppendEntry(u"b");
    unsorted.AppendEntry(u"a");
    unsorted.AppendEntry(u"b");
    props.Assign(&unsorted);
    EXPECT_EQ(Entries(props), (std::vector<WideString>{u"a", u"b"}));
}

TEST_F(VynTrxForms, AnsiAndWideStoredItemsReadAlike) {
    TVynTrxInlineClasses fromAnsi;
    ReadStored(fromAnsi, TFormValue::FromList({AnsiItem("TFrameB"), AnsiItem("TFrameA")}));
    TVynTrxInlineClasses fromWide;
    ReadStored(fromWide, TFormValue::FromList({WideItem(u"TFrameB"), WideItem(u"TFrameA")}));
    EXPECT_EQ(Entries(fromAnsi), (std::vector<WideString>{u"TFrameA", u"TFrameB"}));
    EXPECT_EQ(Entries(fromAnsi), Entries(fromWide));
}

TEST_F(VynTrxForms, RenamingAComponentRenamesItsOwnEntriesOnly) {
    TVynTrxTranslatableProps props;
    for (const char16_t* entry : {u"Label1.Caption", u"label1.Hint", u"Panel1.Label1.Caption", u"Caption"})
        props.AppendEntry(entry);
    props.RenameComponent(u"Label1", u"Label2");
    EXPECT_EQ(Entries(props),
              (std::vector<WideString>{u"Caption", u"Label2.Caption", u"Label2.Hint", u"Panel1.Label1.Caption"}));
    props.RenameComponent(u"", u"Label3");
    props.RenameComponent(u"Label2", u"");
    EXPECT_EQ(props.Count(), 4);
}

TEST_F(VynTrxForms, AFormsListsComeFromItsDescriptionAndFollowRenames) {
    auto* form = TCustomForm::CreateFromResource<TTestTrxForm>(Application);
    const std::unique_ptr<TCustomForm> owned(form);
    EXPECT_EQ(Entries(*form->VynTranslatableProps()),
              (std::vector<WideString>{u"Caption", u"Label1.Caption", u"Panel1.Label1.Caption"}));
    EXPECT_EQ(Entries(*form->VynInlineClasses()), (std::vector<WideString>{u"TAddressFrame"}));
    IVynTrxForm* tools = dynamic_cast<IVynTrxForm*>(static_cast<TComponent*>(form));
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(tools->VynTranslatableProps(), form->VynTranslatableProps());

    auto* label = new TLabel(form);
    label->SetName("Label1");
    auto* other = new TLabel(form);
    other->SetName("Other");
    label->SetName("Label2");
    EXPECT_EQ(Entries(*form->VynTranslatableProps()),
              (std::vector<WideString>{u"Caption", u"Label2.Caption", u"Panel1.Label1.Caption"}));
    // The framework refuses a taken name before the list changes.
    EXPECT_THROW(label->SetName("Other"), EComponentError);
    EXPECT_EQ(label->Name(), "Label2");
    EXPECT_EQ(form->VynTranslatableProps()->Entry(1), u"Label2.Caption");

    const TFormObject written = WriteComponentToForm(*form);
    const TFormProperty* stored = FindStored(written, "VynTranslatableProps.WideStrings");
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(stored->Value.List.size(), 3u);
    EXPECT_EQ(stored->Value.List[1].Type, TValueType::vaWString);
    EXPECT_EQ(stored->Value.List[1].AsWideText(), u"Label2.Caption");
}

TEST_F(VynTrxForms, AFormWithoutTheListsStoresNone) {
    auto* form = TCustomForm::CreateFromResource<TTestPlainTrxForm>(Application);
    const std::unique_ptr<TCustomForm> owned(form);
    EXPECT_EQ(form->VynTranslatableProps()->Count(), 0);
    EXPECT_EQ(form->VynInlineClasses()->Count(), 0);
    const TFormObject written = WriteComponentToForm(*form);
    EXPECT_EQ(FindStored(written, "VynTranslatableProps.WideStrings"), nullptr);
    EXPECT_EQ(FindStored(written, "VynInlineClasses.WideStrings"), nullptr);
}
