#include <gtest/gtest.h>

#include <atomic>

#include "TestDataSets.h"

namespace {

// A COM object counting the live instances, so a test can tell every stored reference went.
class TCountedObject final : public IUnknown {
public:
    static std::atomic<int> Alive;
    TCountedObject() { ++Alive; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (iid != IID_IUnknown) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            --Alive;
            delete this;
        }
        return left;
    }

private:
    ~TCountedObject() = default;
    std::atomic<ULONG> references_{1};
};

std::atomic<int> TCountedObject::Alive{0};

// A variant holding a new counted object (the variant holds the only reference).
TVariant CountedObject() {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UNKNOWN;
    value.punkVal = new TCountedObject;
    TVariant owned;
    *owned.Put() = value;
    return owned;
}

} // namespace

TEST_F(DataSetTest, ClosingDiscardsEveryRecordAndReopeningStartsEmpty) {
    TTestDataSet data({{"Id", ftInteger}});
    data.Open();
    AppendRow(data, {Int(1)});
    AppendRow(data, {Int(2)});
    EXPECT_EQ(data.Storage().Count(), 2);
    data.Close();
    EXPECT_EQ(data.Storage().Count(), 0);
    data.Open();
    EXPECT_EQ(data.RecordCount(), 0);
    EXPECT_TRUE(data.Eof());
}

TEST_F(DataSetTest, StorageAndViewGrowAndShrinkTogether) {
    TTestDataSet data({{"Id", ftInteger}, {"Name", ftWideString, 5}});
    data.Open();
    AppendRow(data, {Int(1), Text(u"c")});
    AppendRow(data, {Int(2), Text(u"a")});
    EXPECT_EQ(data.Storage().Count(), 2);
    EXPECT_EQ(data.RecordCount(), 2);
    data.Insert();
    data.FieldByName("Id")->SetAsInteger(3);
    data.FieldByName("Name")->SetAsWideString(u"b");
    data.Post();
    EXPECT_EQ(data.Storage().Count(), 3);
    EXPECT_EQ(data.RecordCount(), 3);
    EXPECT_EQ(data.Storage().Items(2)->Values.size(), 2u);

    // The storage keeps creation order; the view follows the sort and is rebuilt from the storage.
    data.SetSort("Name");
    EXPECT_EQ(ColumnTexts(data, "Id"), (std::vector<AnsiString>{"2", "3", "1"}));
    EXPECT_EQ(data.Storage().Items(0)->Values[0].AsInteger(), 1);
    EXPECT_EQ(data.Storage().Items(2)->Values[0].AsInteger(), 3);
    data.SetSort("");
    EXPECT_EQ(ColumnTexts(data, "Id"), (std::vector<AnsiString>{"1", "2", "3"}));

    data.First();
    data.Delete();
    EXPECT_EQ(data.Storage().Count(), 2);
    EXPECT_EQ(data.RecordCount(), 2);
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 2);
}

TEST_F(DataSetTest, DeletingAHandleTheStorageDoesNotHoldFreesNothing) {
    TTestDataSet data({{"Id", ftInteger}});
    data.Open();
    AppendRow(data, {Int(1)});
    TVarArrayRecord stranger{{TVariant::FromInteger(9)}};
    EXPECT_EQ(ErrorOf<EListError>([&] { data.DeleteHandle(&stranger); }), "List index out of bounds (-1)");
    EXPECT_EQ(data.Storage().Count(), 1);
    EXPECT_EQ(stranger.Values[0].AsInteger(), 9);
    EXPECT_EQ(ColumnTexts(data, "Id"), (std::vector<AnsiString>{"1"}));
}

TEST_F(DataSetTest, DestructionAndClosingReleaseEveryStoredValue) {
    ASSERT_EQ(TCountedObject::Alive, 0);
    {
        TTestDataSet data({{"Id", ftInteger}, {"Object", ftInterface}});
        data.Open();
        for (int32_t i = 0; i < 5; ++i)
            AppendRow(data, {Int(i), CountedObject()});
        EXPECT_EQ(TCountedObject::Alive, 5);
        data.Close();
        EXPECT_EQ(TCountedObject::Alive, 0);
        data.Open();
        for (int32_t i = 0; i < 3; ++i)
            AppendRow(data, {Int(i), CountedObject()});
        data.First();
        data.Edit();
        EXPECT_EQ(TCountedObject::Alive, 3);
    }
    EXPECT_EQ(TCountedObject::Alive, 0);
}
