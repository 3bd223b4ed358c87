// Components, property tables and reading a stored description into components.
#include <gtest/gtest.h>

#include "Classes.h"
#include "FormData.h"
#include "FormLoader.h"

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

} // namespace
