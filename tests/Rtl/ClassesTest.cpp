// Components, property tables and reading a stored description into components.
#include <gtest/gtest.h>

#include "Classes.h"
#include "FormData.h"
#include "FormLoader.h"
#include "FormWriter.h"
#include "StringLists.h"

namespace {

class TGadget : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    using TComponent::TComponent;
    int32_t Size() const { return size_; }
    void SetSize(int32_t size) { size_ = size; }
    bool Active() const { return active_; }
    void SetActive(bool active) { active_ = active; }
    void Loaded() override {
        TComponent::Loaded();
        ++loadedCalls;
    }
    TNotifyEvent OnPing;
    AnsiString OnPingName;
    int loadedCalls = 0;

private:
    int32_t size_ = 0;
    bool active_ = false;
};

const std::vector<TIdentMapEntry> SizeIdents{{100, "szLarge"}};

const TClassInfo& TGadget::StaticClassInfo() {
    static const TClassInfo info{
        "TGadget",
        &TComponent::StaticClassInfo(),
        {IntegerProperty<TGadget>("Size", &TGadget::Size, &TGadget::SetSize, &SizeIdents),
         BooleanProperty<TGadget>("Active", &TGadget::Active, &TGadget::SetActive),
         EventProperty<TGadget>("OnPing", &TGadget::OnPing, &TGadget::OnPingName)},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TGadget(owner); },
    };
    return info;
}

enum TMood { mdCalm, mdBusy, mdAngry };

class TPanelForm : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    using TComponent::TComponent;
    TMood Mood() const { return mood_; }
    void SetMood(TMood mood) { mood_ = mood; }
    uint32_t Flags() const { return flags_; }
    void SetFlags(uint32_t flags) { flags_ = flags; }
    AnsiString Title() const { return title_; }
    void SetTitle(const AnsiString& title) { title_ = title; }
    void GadgetPinged(TObject* sender) { pingedBy = sender; }

    TGadget* Gadget1 = nullptr;
    TObject* pingedBy = nullptr;

private:
    TMood mood_ = mdCalm;
    uint32_t flags_ = 0;
    AnsiString title_;
};

const TClassInfo& TPanelForm::StaticClassInfo() {
    static const TClassInfo info{
        "TPanelForm",
        &TComponent::StaticClassInfo(),
        {EnumProperty<TPanelForm, TMood>("Mood", &TPanelForm::Mood, &TPanelForm::SetMood,
                                         {"mdCalm", "mdBusy", "mdAngry"}),
         SetProperty<TPanelForm>("Flags", &TPanelForm::Flags, &TPanelForm::SetFlags, {"fA", "fB", "fC"}),
         AnsiStringProperty<TPanelForm>("Title", &TPanelForm::Title, &TPanelForm::SetTitle)},
        {PublishedMethod<TPanelForm>("GadgetPinged", &TPanelForm::GadgetPinged)},
        {PublishedField<TPanelForm, TGadget>("Gadget1", &TPanelForm::Gadget1)},
    };
    return info;
}

class FormReading : public ::testing::Test {
protected:
    void SetUp() override { RegisterComponentClass(TGadget::StaticClassInfo()); }
    void TearDown() override { UnregisterComponentClass(TGadget::StaticClassInfo()); }
};

TEST_F(FormReading, SetsPropertiesCreatesChildrenAndBindsFieldsAndEvents) {
    TPanelForm form(nullptr);
    ReadComponentFromForm(form, ParseFormText("object Panel1: TPanelForm\r\n"
                                              "  Mood = mdAngry\r\n"
                                              "  Flags = [fA, fC]\r\n"
                                              "  Title = 'Hello'\r\n"
                                              "  Unknown.Deep = 5\r\n"
                                              "  TaskBarButton = True\r\n"
                                              "  object Gadget1: TGadget\r\n"
                                              "    Size = szLarge\r\n"
                                              "    Active = True\r\n"
                                              "    OnPing = GadgetPinged\r\n"
                                              "  end\r\n"
                                              "end\r\n"));
    EXPECT_EQ(form.Name(), "Panel1");
    EXPECT_EQ(form.Mood(), mdAngry);
    EXPECT_EQ(form.Flags(), 5u);
    EXPECT_EQ(form.Title(), "Hello");
    ASSERT_NE(form.Gadget1, nullptr);
    EXPECT_EQ(form.Gadget1->Owner(), &form);
    EXPECT_EQ(form.Gadget1->Size(), 100);
    EXPECT_TRUE(form.Gadget1->Active());
    EXPECT_EQ(form.Gadget1->loadedCalls, 1);
    EXPECT_EQ(form.Gadget1->ComponentState() & csLoading, 0u);
    ASSERT_TRUE(form.Gadget1->OnPing);
    EXPECT_EQ(form.Gadget1->OnPingName, "GadgetPinged");
    form.Gadget1->OnPing(form.Gadget1);
    EXPECT_EQ(form.pingedBy, form.Gadget1);

    // Properties of classes this program does not have are kept, not rejected.
    ASSERT_EQ(form.KeptProperties().size(), 2u);
    EXPECT_EQ(form.KeptProperties()[0].Name, "Unknown.Deep");
    EXPECT_EQ(form.KeptProperties()[1].Name, "TaskBarButton");
    EXPECT_TRUE(form.KeptProperties()[1].Value.AsBoolean());
}

TEST_F(FormReading, ValuesThatDoNotFitTheirPropertyAreErrorsNamingThem) {
    auto read = [](const char* text) {
        TPanelForm form(nullptr);
        ReadComponentFromForm(form, ParseFormText(text));
    };
    EXPECT_THROW(read("object P: TPanelForm\r\n  Mood = mdSleepy\r\nend\r\n"), EReadError);
    EXPECT_THROW(read("object P: TPanelForm\r\n  Flags = [fZ]\r\nend\r\n"), EReadError);
    EXPECT_THROW(read("object P: TPanelForm\r\n  object G: TGadget\r\n    OnPing = Missing\r\n  end\r\nend\r\n"),
                 EReadError);
    EXPECT_THROW(read("object P: TPanelForm\r\n  object G: TNoSuchClass\r\n  end\r\nend\r\n"), EClassNotFound);
    try {
        read("object P: TPanelForm\r\n  object G: TGadget\r\n    Size = 'big'\r\n  end\r\nend\r\n");
        FAIL() << "a text value was accepted for an integer property";
    } catch (const EReadError& error) {
        EXPECT_EQ(error.Message(), "Error reading G.Size: Invalid property value");
    }
}

TEST_F(FormReading, AChildOfTheWrongClassForItsFieldIsRejected) {
    TPanelForm form(nullptr);
    RegisterComponentClass(TPanelForm::StaticClassInfo());
    EXPECT_THROW(ReadComponentFromForm(form, ParseFormText("object P: TPanelForm\r\n  object Gadget1: TComponent\r\n"
                                                           "  end\r\nend\r\n")),
                 Exception);
    UnregisterComponentClass(TPanelForm::StaticClassInfo());
}

TEST(Components, OwnerDestroysOwnedComponentsAndNamesAreChecked) {
    static int destroyed = 0;
    struct Counted : TComponent {
        using TComponent::TComponent;
        ~Counted() override { ++destroyed; }
    };
    destroyed = 0;
    {
        TComponent owner(nullptr);
        auto* a = new Counted(&owner);
        auto* b = new Counted(&owner);
        a->SetName("First");
        EXPECT_THROW(b->SetName("first"), EComponentError);
        EXPECT_THROW(b->SetName("1abc"), EComponentError);
        b->SetName("Second");
        EXPECT_EQ(owner.FindComponent("SECOND"), b);
        delete a;
        EXPECT_EQ(owner.ComponentCount(), 1);
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 2);
}

TEST(Components, ClassLookupIgnoresCaseAndReportsUnknownClasses) {
    RegisterComponentClass(TGadget::StaticClassInfo());
    EXPECT_EQ(FindClassInfo("tgadget"), &TGadget::StaticClassInfo());
    UnregisterComponentClass(TGadget::StaticClassInfo());
    EXPECT_EQ(FindClassInfo("TGadget"), nullptr);
    try {
        GetClassInfo("TGadget");
        FAIL();
    } catch (const EClassNotFound& error) {
        EXPECT_EQ(error.Message(), "Class TGadget not found");
    }
    EXPECT_TRUE(TGadget::StaticClassInfo().InheritsFrom(TPersistent::StaticClassInfo()));
    EXPECT_NE(TGadget::StaticClassInfo().FindProperty("name"), nullptr) << "inherited properties are found";
}

// A component that stores a pair of numbers under a name of its own, as a list of two integers.
class TPairHolder : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    using TComponent::TComponent;
    void DefineProperties(TFiler& filer) override {
        TComponent::DefineProperties(filer);
        const bool differs = filer.Ancestor() == nullptr
                                 ? (first != 0 || second != 0)
                                 : static_cast<TPairHolder*>(filer.Ancestor())->first != first;
        filer.DefineProperty(
            "Pair",
            [this](TReader& reader) {
                reader.ReadListBegin();
                first = static_cast<int32_t>(reader.ReadInteger());
                second = static_cast<int32_t>(reader.ReadInteger());
                reader.ReadListEnd();
            },
            [this](TWriter& writer) {
                writer.WriteListBegin();
                writer.WriteInteger(first);
                writer.WriteInteger(second);
                writer.WriteListEnd();
            },
            differs);
        filer.DefineProperty("Broken", nullptr, [](TWriter&) {}, brokenWriter);
    }
    int32_t first = 0;
    int32_t second = 0;
    bool brokenWriter = false;
};

const TClassInfo& TPairHolder::StaticClassInfo() {
    static const TClassInfo info{"TPairHolder", &TComponent::StaticClassInfo(), {}, {}, {},
                                 [](TComponent* owner) -> TComponent* { return new TPairHolder(owner); }};
    return info;
}

TEST(DefinedProperties, AreReadThroughTheirCallbacksAndMustTakeTheWholeValue) {
    TPairHolder holder(nullptr);
    ReadComponentFromForm(holder,
                          ParseFormText("object H: TPairHolder\r\n  Pair = (\r\n    3\r\n    4)\r\nend\r\n"));
    EXPECT_EQ(holder.first, 3);
    EXPECT_EQ(holder.second, 4);
    EXPECT_TRUE(holder.KeptProperties().empty());

    try {
        ReadComponentFromForm(
            holder,
            ParseFormText("object H: TPairHolder\r\n  Pair = (\r\n    1\r\n    2\r\n    5)\r\nend\r\n"));
        FAIL() << "a list with values left over was accepted";
    } catch (const EReadError& error) {
        EXPECT_EQ(error.Message(), "Error reading H.Pair: Invalid property value");
    }
    EXPECT_THROW(
        ReadComponentFromForm(holder, ParseFormText("object H: TPairHolder\r\n  Pair = 'x'\r\nend\r\n")),
        EReadError);
    // A declared name without a reader is kept like any unknown property.
    ReadComponentFromForm(holder, ParseFormText("object H: TPairHolder\r\n  Broken = 1\r\nend\r\n"));
    ASSERT_EQ(holder.KeptProperties().size(), 1u);
    EXPECT_EQ(holder.KeptProperties()[0].Name, "Broken");
}

TEST(DefinedProperties, ReaderWalksListsAndRefusesOtherKinds) {
    const TFormValue value = TFormValue::FromList({TFormValue::FromText(u"caf\u00e9"),
                                                   TFormValue::FromList({TFormValue::FromBoolean(true)}),
                                                   TFormValue::FromIdent("id")});
    TReader reader(value, nullptr, "P");
    EXPECT_FALSE(reader.OwnerDesigning());
    reader.ReadListBegin();
    EXPECT_EQ(reader.NextValue(), TValueType::vaWString);
    EXPECT_EQ(reader.ReadString(), "caf\xe9") << "units that fit a byte come back as those bytes";
    EXPECT_THROW(reader.ReadIdent(), EReadError);
    reader.ReadListBegin();
    EXPECT_TRUE(reader.ReadBoolean());
    EXPECT_TRUE(reader.EndOfList());
    EXPECT_THROW(reader.ReadInteger(), EReadError) << "nothing is read beyond a list";
    reader.ReadListEnd();
    EXPECT_THROW(reader.ReadListEnd(), EReadError) << "a list with a value left cannot end";
    EXPECT_EQ(reader.ReadIdent(), "id");
    reader.ReadListEnd();
    EXPECT_TRUE(reader.FullyRead());
    EXPECT_THROW(reader.SkipValue(), EReadError);
}

TEST(FormWriting, WritesWhatDiffersFromDefaultsOrTheAncestorAndReadsBack) {
    RegisterComponentClass(TGadget::StaticClassInfo());
    RegisterComponentClass(TPairHolder::StaticClassInfo());
    TPanelForm form(nullptr);
    form.SetName("Panel1");
    form.SetMood(mdBusy);
    form.SetFlags(5);
    form.SetTitle("Hello");
    auto* gadget = new TGadget(&form);
    gadget->SetName("Gadget1");
    gadget->SetSize(100);
    gadget->OnPingName = "GadgetPinged";
    auto* holder = new TPairHolder(&form);
    holder->SetName("Holder");
    holder->first = 7;
    new TGadget(&form);  // unnamed: not written

    const TFormObject written = WriteComponentToForm(form);
    EXPECT_EQ(RenderFormText(written), "object Panel1: TPanelForm\r\n"
                                       "  Mood = mdBusy\r\n"
                                       "  Flags = [fA, fC]\r\n"
                                       "  Title = 'Hello'\r\n"
                                       "  object Gadget1: TGadget\r\n"
                                       "    Size = szLarge\r\n"
                                       "    Active = False\r\n"
                                       "    OnPing = GadgetPinged\r\n"
                                       "  end\r\n"
                                       "  object Holder: TPairHolder\r\n"
                                       "    Pair = (\r\n"
                                       "      7\r\n"
                                       "      0)\r\n"
                                       "  end\r\n"
                                       "end\r\n");

    TPanelForm copy(nullptr);
    ReadComponentFromForm(copy, ReadFormBinary(WriteFormBinary(written)));
    EXPECT_EQ(copy.Mood(), mdBusy);
    EXPECT_EQ(copy.Flags(), 5u);
    ASSERT_NE(copy.Gadget1, nullptr);
    EXPECT_EQ(copy.Gadget1->Size(), 100);
    EXPECT_EQ(static_cast<TPairHolder*>(copy.FindComponent("Holder"))->first, 7);

    // Against an ancestor only the differences are written; children it has are inherited.
    TPanelForm ancestor(nullptr);
    ReadComponentFromForm(ancestor, written);
    gadget->SetActive(true);
    const TFormObject inherited = WriteComponentToForm(form, &ancestor);
    EXPECT_TRUE(inherited.Properties.empty());
    ASSERT_EQ(inherited.Children.size(), 2u);
    EXPECT_EQ(inherited.Children[0].Flags, ffInherited);
    ASSERT_EQ(inherited.Children[0].Properties.size(), 1u);
    EXPECT_EQ(inherited.Children[0].Properties[0].Name, "Active");
    EXPECT_TRUE(inherited.Children[1].Properties.empty());

    holder->brokenWriter = true;
    EXPECT_THROW(WriteComponentToForm(form), EWriteError) << "a declared writer that writes nothing";
    UnregisterComponentClass(TPairHolder::StaticClassInfo());
    UnregisterComponentClass(TGadget::StaticClassInfo());
}

// Declares Title again, as a wide text, the way the Unicode forms redeclare Caption.
class TWidePanelForm : public TPanelForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TPanelForm::TPanelForm;
    WideString WideTitle() const { return wideTitle_; }
    void SetWideTitle(const WideString& title) { wideTitle_ = title; }

private:
    WideString wideTitle_;
};

const TClassInfo& TWidePanelForm::StaticClassInfo() {
    static const TClassInfo info{
        "TWidePanelForm",
        &TPanelForm::StaticClassInfo(),
        {WideStringProperty<TWidePanelForm>("Title", &TWidePanelForm::WideTitle, &TWidePanelForm::SetWideTitle)},
    };
    return info;
}

TEST(Persistence, ARedeclaredPropertyIsWrittenOnceThroughTheSubclassInItsFirstPlace) {
    TWidePanelForm form(nullptr);
    form.SetName("Panel1");
    form.SetTitle("ansi");
    form.SetWideTitle(u"wide \u4E2D");
    const TFormObject written = WriteComponentToForm(form);
    ASSERT_EQ(written.Properties.size(), 3u);
    EXPECT_EQ(written.Properties[0].Name, "Mood");
    EXPECT_EQ(written.Properties[1].Name, "Flags");
    EXPECT_EQ(written.Properties[2].Name, "Title");
    EXPECT_EQ(written.Properties[2].Value.AsWideText(), u"wide \u4E2D");
}

TEST(Persistence, AssignRefusesWhatNeitherSideKnowsAndStringListsCopy) {
    TGadget gadget(nullptr);
    TPanelForm form(nullptr);
    try {
        form.Assign(&gadget);
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "Cannot assign a TGadget to a TPanelForm");
    }
    try {
        form.Assign(nullptr);
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "Cannot assign a nil to a TPanelForm");
    }

    TStringList source;
    TObject marker;
    source.SetText("a\r\nb\nc\r");
    source.SetObjects(1, &marker);
    TStringList copy;
    int changes = 0;
    copy.OnChange = [&](TObject*) { ++changes; };
    copy.Add("old");
    copy.Assign(&source);
    EXPECT_EQ(changes, 2) << "one change for the add, one for the whole assignment";
    EXPECT_EQ(copy.Text(), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(copy.Objects(1), &marker);
    EXPECT_EQ(copy.IndexOf("c"), 2);
    copy.SetStrings(1, "B");
    EXPECT_EQ(copy.Objects(1), &marker);
    EXPECT_THROW(copy.Strings(3), EStringListError);
    EXPECT_THROW(copy.Assign(&gadget), EConvertError);
}

} // namespace
