#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <limits>
#include <random>
#include <thread>

#include "TestDataSets.h"
#include "VynLXUtils.h"
#include "VynSysUtilsPaths.h"

namespace {

constexpr char EngineUnit[] = "lib/VynLX/VynLXDataSet";

std::vector<TColumn> EveryType() {
    return {{"S", ftString, 20},  {"W", ftWideString, 20}, {"SI", ftSmallint}, {"I", ftInteger},
            {"WO", ftWord},       {"B", ftBoolean},        {"F", ftFloat},     {"C", ftCurrency},
            {"BCD", ftBCD},       {"D", ftDate},           {"T", ftTime},      {"DT", ftDateTime},
            {"AI", ftAutoInc},    {"L", ftLargeint},       {"FC", ftFixedChar, 4}};
}

std::vector<int32_t> IdsForward(TDataSet& dataSet) {
    std::vector<int32_t> ids;
    dataSet.First();
    while (!dataSet.Eof()) {
        ids.push_back(dataSet.FieldByName("Id")->AsInteger());
        dataSet.Next();
    }
    return ids;
}

std::vector<int32_t> IdsBackward(TDataSet& dataSet) {
    std::vector<int32_t> ids;
    dataSet.Last();
    while (!dataSet.Bof()) {
        ids.push_back(dataSet.FieldByName("Id")->AsInteger());
        dataSet.Prior();
    }
    return ids;
}

std::vector<int32_t> Range(int32_t count) {
    std::vector<int32_t> values;
    for (int32_t i = 0; i < count; ++i)
        values.push_back(i);
    return values;
}

} // namespace

TEST_F(DataSetTest, ValuesOfEveryTypeRoundTripThroughTheRecordBuffers) {
    TTestDataSet data(EveryType());
    data.Open();
    const int64_t largest = std::numeric_limits<int64_t>::max();
    const std::u16string wide = u"\u00e4\u4e2d\U0001F600";
    data.Append();
    data.FieldByName("S")->SetAsString("text");
    data.FieldByName("W")->SetAsWideString(wide);
    data.FieldByName("SI")->SetAsInteger(-32768);
    data.FieldByName("I")->SetAsInteger(std::numeric_limits<int32_t>::min());
    data.FieldByName("WO")->SetAsInteger(65535);
    data.FieldByName("B")->SetAsBoolean(true);
    data.FieldByName("F")->SetAsFloat(1.5e300);
    data.FieldByName("C")->SetAsCurrency(12.34);
    data.FieldByName("BCD")->SetAsCurrency(1234.5678);
    data.FieldByName("D")->SetAsDateTime(45000.0);
    data.FieldByName("T")->SetAsDateTime(0.75);
    data.FieldByName("DT")->SetAsDateTime(45000.5);
    data.FieldByName("AI")->SetAsInteger(7);
    data.FieldByName("L")->SetAsLargeInt(largest);
    data.FieldByName("FC")->SetAsString("abcd");
    data.Post();
    data.Append();
    data.FieldByName("L")->SetAsLargeInt(-largest);
    data.FieldByName("B")->SetAsBoolean(false);
    data.Post();

    data.First();
    EXPECT_EQ(data.FieldByName("S")->AsString(), "text");
    EXPECT_EQ(data.FieldByName("W")->AsWideString(), wide);
    EXPECT_EQ(data.FieldByName("SI")->AsInteger(), -32768);
    EXPECT_EQ(data.FieldByName("I")->AsInteger(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(data.FieldByName("WO")->AsInteger(), 65535);
    EXPECT_TRUE(data.FieldByName("B")->AsBoolean());
    EXPECT_EQ(data.FieldByName("F")->AsFloat(), 1.5e300);
    EXPECT_EQ(data.FieldByName("C")->AsCurrency(), 12.34);
    EXPECT_EQ(data.FieldByName("BCD")->AsCurrency(), 1234.5678);
    EXPECT_EQ(data.FieldByName("D")->AsDateTime(), 45000.0);
    EXPECT_EQ(data.FieldByName("T")->AsDateTime(), 0.75);
    EXPECT_EQ(data.FieldByName("DT")->AsDateTime(), 45000.5);
    EXPECT_EQ(data.FieldByName("AI")->AsInteger(), 7);
    EXPECT_EQ(data.FieldByName("L")->AsLargeInt(), largest);
    EXPECT_EQ(data.FieldByName("L")->AsVariant().Type(), VT_I8);
    EXPECT_EQ(data.FieldByName("FC")->AsString(), "abcd");
    data.Next();
    EXPECT_EQ(data.FieldByName("L")->AsLargeInt(), -largest);
    EXPECT_FALSE(data.FieldByName("B")->AsBoolean());
    EXPECT_TRUE(data.FieldByName("S")->IsNull());
    EXPECT_TRUE(data.FieldByName("W")->IsNull());
}

TEST_F(DataSetTest, EveryBufferCountVisitsEachRecordOnceInBothDirections) {
    for (const int32_t buffers : {1, 2, 5}) {
        SCOPED_TRACE(buffers);
        TTestDataSet data({{"Id", ftInteger}});
        data.SetBufferCount(buffers);
        data.Open();
        for (int32_t i = 0; i < 23; ++i)
            AppendRow(data, {Int(i)});
        EXPECT_EQ(IdsForward(data), Range(23));
        std::vector<int32_t> backward = Range(23);
        std::reverse(backward.begin(), backward.end());
        EXPECT_EQ(IdsBackward(data), backward);

        data.First();
        EXPECT_EQ(data.MoveBy(10), 10);
        EXPECT_EQ(data.RecNo(), 11);
        EXPECT_EQ(data.MoveBy(-4), -4);
        EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 6);
        EXPECT_EQ(data.MoveBy(100), 16);
        EXPECT_TRUE(data.Eof());
        EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 22);

        // A new ring keeps the record the cursor is on.
        data.SetRecNo(9);
        data.SetBufferCount(buffers + 3);
        EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 8);
        EXPECT_EQ(IdsForward(data), Range(23));
    }
}

TEST_F(DataSetTest, TheEndsOfTheViewLeaveTheCursorOutside) {
    TTestDataSet data({{"Id", ftInteger}});
    data.Open();
    EXPECT_TRUE(data.IsEmpty());
    for (int32_t i = 0; i < 3; ++i)
        AppendRow(data, {Int(i)});
    // One buffer: every step past the ring asks the storage cursor to move.
    data.First();
    EXPECT_EQ(data.MoveBy(2), 2);
    data.Next();
    EXPECT_TRUE(data.Eof());
    EXPECT_EQ(data.Position(), 3);
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 2);
    data.Last();
    EXPECT_EQ(data.MoveBy(-2), -2);
    data.Prior();
    EXPECT_TRUE(data.Bof());
    EXPECT_EQ(data.Position(), -1);
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 0);
    EXPECT_EQ(data.RecordCount(), 3);
}

TEST_F(DataSetTest, PostedRecordsLandWhereTheCursorOrTheSortOrderSays) {
    TTestDataSet data({{"Id", ftInteger}, {"Name", ftWideString, 10}});
    data.Open();
    for (int32_t i = 1; i <= 3; ++i)
        AppendRow(data, {Int(i)});
    data.First();
    data.Next();
    data.Insert();
    data.FieldByName("Id")->SetAsInteger(9);
    data.Post();
    EXPECT_EQ(data.RecNo(), 2);
    data.Append();
    data.FieldByName("Id")->SetAsInteger(10);
    data.Post();
    EXPECT_EQ(IdsForward(data), (std::vector<int32_t>{1, 9, 2, 3, 10}));
    data.SetRecNo(3);
    data.Edit();
    data.FieldByName("Id")->SetAsInteger(20);
    data.Post();
    EXPECT_EQ(IdsForward(data), (std::vector<int32_t>{1, 9, 20, 3, 10}));

    // Sorted: an equal key goes before every record holding it, whatever the case.
    TTestDataSet sorted({{"Id", ftInteger}, {"Name", ftWideString, 10}});
    sorted.SetSort("Name");
    sorted.Open();
    AppendRow(sorted, {Int(1), Text(u"b")});
    AppendRow(sorted, {Int(2), Text(u"a")});
    AppendRow(sorted, {Int(3), Text(u"c")});
    AppendRow(sorted, {Int(4), Text(u"B")});
    EXPECT_EQ(IdsForward(sorted), (std::vector<int32_t>{2, 4, 1, 3}));
    EXPECT_EQ(sorted.FieldByName("Id")->AsInteger(), 3);
    sorted.First();
    sorted.Edit();
    sorted.FieldByName("Name")->SetAsWideString(u"z");
    sorted.Post();
    EXPECT_EQ(sorted.FieldByName("Id")->AsInteger(), 2);
    EXPECT_EQ(sorted.RecNo(), 4);
    EXPECT_EQ(IdsForward(sorted), (std::vector<int32_t>{4, 1, 3, 2}));
}

TEST_F(DataSetTest, InsertAndAppendRecordsStoreWholeRowsInOneStep) {
    TTestDataSet data({{"Id", ftInteger}, {"Name", ftWideString, 10}});
    data.Open();
    data.AppendRecord({Int(1), Text(u"one")});
    data.AppendRecord({Int(3), Text(u"three")});
    data.First();
    data.Next();
    data.InsertRecord({Int(2)});
    EXPECT_EQ(data.State(), dsBrowse);
    EXPECT_EQ(IdsForward(data), (std::vector<int32_t>{1, 2, 3}));
    data.SetRecNo(2);
    EXPECT_TRUE(data.FieldByName("Name")->IsNull());
}

TEST_F(DataSetTest, CancelAndDeleteKeepTheViewConsistent) {
    TTestDataSet data({{"Id", ftInteger}});
    data.Open();
    AppendRow(data, {Int(1)});
    data.Insert();
    data.FieldByName("Id")->SetAsInteger(5);
    data.Cancel();
    EXPECT_EQ(IdsForward(data), (std::vector<int32_t>{1}));
    data.Edit();
    data.FieldByName("Id")->SetAsInteger(7);
    data.Cancel();
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 1);

    const TBookmark gone = data.GetBookmark();
    data.Delete();
    EXPECT_EQ(data.RecordCount(), 0);
    EXPECT_EQ(data.Position(), -1);
    EXPECT_TRUE(data.Eof());
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { data.Delete(); }),
              "Cannot perform this operation on an empty dataset");
    AppendRow(data, {Int(2)});
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { data.GotoBookmark(gone); }), "Bookmark not found.");
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 2);
}

TEST_F(DataSetTest, BookmarksCompareByViewPosition) {
    TTestDataSet data({{"Id", ftInteger}});
    data.Open();
    for (int32_t i = 0; i < 5; ++i)
        AppendRow(data, {Int(i)});
    data.SetRecNo(2);
    const TBookmark second = data.GetBookmark();
    data.SetRecNo(4);
    const TBookmark fourth = data.GetBookmark();
    EXPECT_EQ(data.CompareBookmarks(fourth.data(), second.data()), 1);
    EXPECT_EQ(data.CompareBookmarks(second.data(), fourth.data()), -1);
    EXPECT_EQ(data.CompareBookmarks(second.data(), second.data()), 0);
    EXPECT_EQ(data.BookmarkSize(), static_cast<int32_t>(sizeof(void*)));
    data.GotoBookmark(second);
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 1);
}

// Locate and Lookup must find what a scan of the view finds, whether the binary search on the
// sort field or the scan serves them.
TEST_F(DataSetTest, LocateAndLookupAgreeWithALinearScanUnderEveryOptionSet) {
    std::mt19937 random(20261208);
    const std::u16string letters = u"aAbBcC";
    const auto randomText = [&](int maxLength) {
        std::u16string text;
        const int length = 1 + static_cast<int>(random() % static_cast<unsigned>(maxLength));
        for (int i = 0; i < length; ++i)
            text += letters[random() % letters.size()];
        return text;
    };
    for (const char* sort : {"", "Name", "Name;Num", "Num"}) {
        SCOPED_TRACE(sort);
        TTestDataSet data({{"Id", ftInteger}, {"Name", ftWideString, 10}, {"Num", ftInteger}});
        data.SetSort(sort);
        data.Open();
        std::vector<std::pair<std::u16string, int32_t>> stored;
        for (int32_t i = 0; i < 1000; ++i) {
            stored.emplace_back(randomText(4), static_cast<int32_t>(random() % 5));
            data.AppendRecord({Int(i), TVariant::FromWide(stored.back().first), Int(stored.back().second)});
        }
        const std::vector<int32_t> view = IdsForward(data);
        for (const TLocateOptions options :
             {TLocateOptions(), TLocateOptions(loCaseInsensitive), TLocateOptions(loPartialKey),
              loCaseInsensitive | loPartialKey}) {
            for (int probe = 0; probe < 60; ++probe) {
                const std::u16string name = randomText(probe % 3 == 0 ? 5 : 3);
                const int32_t number = static_cast<int32_t>(random() % 6);
                const bool twoFields = probe % 2 == 1;
                TVariant key = TVariant::FromWide(name);
                if (twoFields) {
                    key = TVariant::CreateArray(0, 1);
                    key.SetElement(0, TVariant::FromWide(name));
                    key.SetElement(1, Int(number));
                }
                int32_t expected = -1;
                for (size_t at = 0; at < view.size() && expected < 0; ++at) {
                    const auto& record = stored[static_cast<size_t>(view[at])];
                    TVariant recordKey = TVariant::FromWide(record.first);
                    if (twoFields) {
                        recordKey = TVariant::CreateArray(0, 1);
                        recordKey.SetElement(0, TVariant::FromWide(record.first));
                        recordKey.SetElement(1, Int(record.second));
                    }
                    if (VarArrayEqual(recordKey, key, options))
                        expected = view[at];
                }
                const AnsiString fields = twoFields ? "Name;Num" : "Name";
                const TVariant looked = data.Lookup(fields, key, "Id");
                data.First();
                const bool found = data.Locate(fields, key, options);
                ASSERT_EQ(found, expected >= 0) << "probe " << probe;
                if (found) {
                    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), expected) << "probe " << probe;
                } else {
                    EXPECT_EQ(data.RecNo(), 1);
                }
                if (options.Empty()) {
                    if (expected >= 0)
                        EXPECT_EQ(looked.AsInteger(), expected);
                    else
                        EXPECT_TRUE(looked.IsNull());
                }
            }
        }
    }
}

TEST_F(DataSetTest, ALocateOnTheSortFieldsIsABinarySearch) {
    TTestDataSet data({{"Id", ftInteger}, {"Name", ftWideString, 10}});
    data.SetSort("Name");
    data.Open();
    for (int32_t i = 0; i < 1000; ++i)
        data.AppendRecord({Int(i), TVariant::FromWide(u"key" + std::u16string(1, u'a' + i % 26) +
                                                      std::u16string(1, u'a' + i / 26))});
    data.Reads = 0;
    ASSERT_TRUE(data.Locate("Name", Text(u"KEYQC"), loCaseInsensitive));
    EXPECT_LT(data.Reads, 60);
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 16 + 26 * 2);
    // The same key on a field that is not the sort field is a scan.
    data.Reads = 0;
    ASSERT_FALSE(data.Locate("Id", Int(5000), TLocateOptions()));
    EXPECT_GE(data.Reads, 1000);
}

// The view is sorted without regard to case: an exact search must still find the record whose
// key has the very case asked for, and not one that merely sorts equal.
TEST_F(DataSetTest, AnExactLocateOnACaseInsensitiveSortFindsTheExactCase) {
    TTestDataSet data({{"Id", ftInteger}, {"Name", ftWideString, 10}});
    data.SetSort("Name");
    data.Open();
    AppendRow(data, {Int(1), Text(u"abc")});
    AppendRow(data, {Int(2), Text(u"ABC")});
    AppendRow(data, {Int(3), Text(u"Abd")});
    ASSERT_TRUE(data.Locate("Name", Text(u"ABC"), TLocateOptions()));
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 2);
    ASSERT_TRUE(data.Locate("Name", Text(u"Ab"), loPartialKey));
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 3);
    EXPECT_FALSE(data.Locate("Name", Text(u"aBC"), TLocateOptions()));
    EXPECT_TRUE(data.Lookup("Name", Text(u"aBC"), "Id").IsNull());
    EXPECT_EQ(data.Lookup("Name", Text(u"abc"), "Id").AsInteger(), 1);
}

TEST_F(DataSetTest, LookupOfAMissingKeyOrFieldIsNullAndDoesNotMove) {
    TTestDataSet data({{"Id", ftInteger}, {"Name", ftWideString, 10}});
    data.Open();
    AppendRow(data, {Int(1), Text(u"a")});
    AppendRow(data, {Int(2), Text(u"b")});
    data.First();
    EXPECT_TRUE(data.Lookup("Name", Text(u"x"), "Id").IsNull());
    EXPECT_TRUE(data.Lookup("Missing", Text(u"b"), "Id").IsNull());
    EXPECT_FALSE(data.Locate("Missing", Text(u"b"), TLocateOptions()));
    EXPECT_EQ(data.RecNo(), 1);
    const TVariant both = data.Lookup("Name", Text(u"b"), "Id;Name");
    ASSERT_TRUE(both.IsArray());
    EXPECT_EQ(both.Element(0).AsInteger(), 2);
    EXPECT_EQ(both.Element(1).AsWide(), u"b");
}

TEST_F(DataSetTest, AFilterHandlerDecidesAndAcceptsNothingUnlessItSaysSo) {
    TTestDataSet data({{"Id", ftInteger}});
    data.Open();
    for (int32_t i = 0; i < 10; ++i)
        AppendRow(data, {Int(i)});
    int asked = 0;
    static const char silentCode = 0;
    data.SetOnFilterRecord(TFilterRecordEvent([&](TDataSet*, bool&) { ++asked; }, &silentCode));
    data.SetFiltered(true);
    EXPECT_EQ(asked, 10);
    EXPECT_EQ(data.RecordCount(), 0);
    EXPECT_TRUE(data.Eof());

    static const char evenCode = 0;
    data.SetOnFilterRecord(TFilterRecordEvent(
        [](TDataSet* d, bool& accept) { accept = d->FieldByName("Id")->AsInteger() % 2 == 0; }, &evenCode));
    EXPECT_EQ(IdsForward(data), (std::vector<int32_t>{0, 2, 4, 6, 8}));
    EXPECT_EQ(data.Storage().Count(), 10);
    data.SetFiltered(false);
    EXPECT_EQ(data.RecordCount(), 10);
}

TEST_F(DataSetTest, SettersRefreshOnlyAnOpenDataSetAndOnlyOnAChange) {
    TTestDataSet data({{"Id", ftInteger}, {"Name", ftWideString, 10}});
    static const char firstCode = 0;
    static const char secondCode = 0;
    const auto acceptAll = [](TDataSet*, bool& accept) { accept = true; };

    // A closed data set takes every value without complaint.
    data.SetFiltered(true);
    data.SetOnFilterRecord(TFilterRecordEvent(acceptAll, &firstCode));
    data.SetFilterOptions(1u << foCaseInsensitive);
    data.SetFilterText("");
    data.SetSort("Name");
    EXPECT_TRUE(data.Filtered());
    EXPECT_EQ(data.Loads, 0);
    data.SetFiltered(false);

    data.Open();
    EXPECT_EQ(data.Loads, 1);
    data.SetSort("Name");
    EXPECT_EQ(data.Loads, 1);
    data.SetSort("Id");
    EXPECT_EQ(data.Loads, 2);
    data.SetOnFilterRecord(TFilterRecordEvent(acceptAll, &secondCode));
    EXPECT_EQ(data.Loads, 2) << "not filtered: a new handler changes nothing";
    data.SetFiltered(true);
    EXPECT_EQ(data.Loads, 3);
    data.SetOnFilterRecord(TFilterRecordEvent(acceptAll, &secondCode));
    EXPECT_EQ(data.Loads, 3) << "the same handler";
    data.SetOnFilterRecord(TFilterRecordEvent(acceptAll, &firstCode));
    EXPECT_EQ(data.Loads, 4);
    data.SetFilterOptions(1u << foCaseInsensitive);
    EXPECT_EQ(data.Loads, 4);
    data.SetFilterOptions(0);
    EXPECT_EQ(data.Loads, 5);
    data.SetOnFilterRecord(nullptr);
    EXPECT_EQ(data.Loads, 6) << "filtering ended";

    // The filter text is asked per record.
    AppendRow(data, {Int(1)});
    EXPECT_EQ(ErrorOf<EVynGeneralError>([&] { data.SetFilterText("Id > 1"); }),
              "TVynDataSet.Filter property is not supported yet.");
}

TEST_F(DataSetTest, AnUnknownSortFieldClearsTheSortAndLeavesTheLockFree) {
    TTestDataSet data({{"Id", ftInteger}});
    data.Open();
    AppendRow(data, {Int(1)});
    const std::string error = ErrorOf<EDatabaseError>([&] { data.SetSort("Missing"); });
    EXPECT_NE(error.find("Field 'Missing' not found"), std::string::npos) << error;
    EXPECT_EQ(data.Sort(), "");

    auto other = std::async(std::launch::async, [] {
        TTestDataSet sorted({{"Id", ftInteger}});
        sorted.Open();
        for (int32_t i = 5; i > 0; --i)
            AppendRow(sorted, {Int(i)});
        sorted.SetSort("Id");
        return IdsForward(sorted);
    });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(other.get(), (std::vector<int32_t>{1, 2, 3, 4, 5}));
}

TEST_F(DataSetTest, TheEnginesFailuresNameTheirCause) {
    TTestDataSet data({{"Id", ftInteger}});
    data.Open();
    int32_t position = 0;
    EXPECT_TRUE(IsAssertionOf(
        ErrorOf<EAssertionFailed>([&] { data.QuickFind(Int(1), position, TLocateOptions(), true); }),
        "QuickFind requires Sort fields.", EngineUnit));
    TField* id = data.FieldByName("Id");
    data.Close();
    EXPECT_EQ(ErrorOf<EVynInternalError>([&] { data.GetFieldData(id, nullptr, true); }),
              "Internal Error: ActiveBuffer not assigned.");

    std::vector<TColumn> tooMany;
    for (int i = 0; i < 4096; ++i)
        tooMany.push_back({"F" + std::to_string(i), ftInteger});
    TTestDataSet wide(tooMany);
    EXPECT_TRUE(IsAssertionOf(ErrorOf<EAssertionFailed>([&] { wide.Open(); }),
                              "TVynDataSet.InternalOpen: FieldCount exceeds limits.", EngineUnit));
    EXPECT_FALSE(wide.Active());
    EXPECT_EQ(wide.FieldCount(), 0);
    TTestDataSet none({});
    EXPECT_TRUE(IsAssertionOf(ErrorOf<EAssertionFailed>([&] { none.Open(); }),
                              "TVynDataSet.InternalOpen: FieldCount must be greater than zero.", EngineUnit));

    std::vector<TColumn> most(tooMany.begin(), tooMany.end() - 1);
    TTestDataSet widest(most);
    widest.Open();
    AppendRow(widest, {Int(4), Int(5)});
    EXPECT_EQ(widest.FieldByName("F4094")->AsVariant().IsNull(), true);
    EXPECT_EQ(widest.FieldByName("F1")->AsInteger(), 5);
}

TEST_F(DataSetTest, RequiredFieldsMustHaveAValueBeforePosting) {
    TTestDataSet data({{"Id", ftInteger, 0, true}, {"Name", ftWideString, 10}});
    data.Open();
    data.Append();
    data.FieldByName("Name")->SetAsWideString(u"x");
    EXPECT_NE(ErrorOf<EDatabaseError>([&] { data.Post(); }).find("Field 'Id' must have a value"),
              std::string::npos);
    EXPECT_EQ(data.State(), dsInsert);
    EXPECT_EQ(data.Storage().Count(), 0);
    data.FieldByName("Id")->SetAsInteger(1);
    data.Post();
    EXPECT_EQ(data.Storage().Count(), 1);
}

TEST_F(DataSetTest, ScrollAndEditEventsFollowTheCursor) {
    TTestDataSet data({{"Id", ftInteger}});
    std::vector<std::string> events;
    const auto record = [&](const char* name) {
        return [&events, name](TDataSet*) { events.push_back(name); };
    };
    data.BeforeScroll = record("BeforeScroll");
    data.AfterScroll = record("AfterScroll");
    data.BeforePost = record("BeforePost");
    data.AfterPost = record("AfterPost");
    data.BeforeInsert = record("BeforeInsert");
    data.AfterInsert = record("AfterInsert");
    data.Open();
    AppendRow(data, {Int(1)});
    AppendRow(data, {Int(2)});
    events.clear();
    data.First();
    data.Next();
    EXPECT_EQ(events, (std::vector<std::string>{"BeforeScroll", "AfterScroll", "BeforeScroll", "AfterScroll"}));
    events.clear();
    EXPECT_FALSE(data.Locate("Id", Int(7), TLocateOptions()));
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(data.Locate("Id", Int(1), TLocateOptions()));
    EXPECT_EQ(events, (std::vector<std::string>{"BeforeScroll", "AfterScroll"}));

    // A filter walks the records without anyone seeing it scroll.
    events.clear();
    data.SetOnFilterRecord(TFilterRecordEvent([](TDataSet*, bool& accept) { accept = true; }, &events));
    data.SetFiltered(true);
    EXPECT_TRUE(events.empty());
}

// Partial keys whose matches are spread over the sorted view: numbers matched by their text, and
// a first text field with more fields after it.
TEST_F(DataSetTest, PartialKeysThatTheSortOrderSpreadsAreFoundByAScan) {
    TTestDataSet numbers({{"Id", ftInteger}, {"Num", ftInteger}});
    numbers.SetSort("Num");
    numbers.Open();
    AppendRow(numbers, {Int(1), Int(10)});
    AppendRow(numbers, {Int(2), Int(2)});
    ASSERT_TRUE(numbers.Locate("Num", Int(1), loPartialKey));
    EXPECT_EQ(numbers.FieldByName("Id")->AsInteger(), 1);

    TTestDataSet pairs({{"Id", ftInteger}, {"Name", ftWideString, 10}, {"Num", ftInteger}});
    pairs.SetSort("Name;Num");
    pairs.Open();
    AppendRow(pairs, {Int(1), Text(u"a"), Int(0)});
    AppendRow(pairs, {Int(2), Text(u"a"), Int(2)});
    AppendRow(pairs, {Int(3), Text(u"ab"), Int(0)});
    AppendRow(pairs, {Int(4), Text(u"ab"), Int(1)});
    TVariant key = TVariant::CreateArray(0, 1);
    key.SetElement(0, Text(u"a"));
    key.SetElement(1, Int(1));
    ASSERT_TRUE(pairs.Locate("Name;Num", key, loPartialKey));
    EXPECT_EQ(pairs.FieldByName("Id")->AsInteger(), 4);
}

TEST_F(DataSetTest, ObserversAreQuietWhileControlsAreDisabledAndCannotBreakNavigation) {
    TTestDataSet data({{"Id", ftInteger}});
    data.Open();
    AppendRow(data, {Int(1)});
    AppendRow(data, {Int(2)});
    std::vector<TDataEvent> seen;
    data.OnDataEvent = [&](TDataEvent event, TField*) { seen.push_back(event); };
    data.DisableControls();
    data.First();
    data.Next();
    data.DisableControls();
    data.EnableControls();
    EXPECT_TRUE(seen.empty());
    data.EnableControls();
    EXPECT_EQ(seen, (std::vector<TDataEvent>{deDataSetChange}));

    // What an observer raises while shown a change goes to the application's handler.
    data.OnDataEvent = [](TDataEvent event, TField*) {
        if (event == deDataSetScroll || event == deDataSetChange)
            throw EVynGeneralError("observer failed");
    };
    data.First();
    data.Next();
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 2);

    // A control refusing its pending text stops the post.
    data.OnDataEvent = [](TDataEvent event, TField*) {
        if (event == deUpdateRecord)
            throw EConvertError("'x' is not a valid integer value");
    };
    data.Edit();
    data.FieldByName("Id")->SetAsInteger(5);
    EXPECT_EQ(ErrorOf<EConvertError>([&] { data.Post(); }), "'x' is not a valid integer value");
    EXPECT_EQ(data.State(), dsEdit);
    data.OnDataEvent = nullptr;
    data.Cancel();
    EXPECT_EQ(data.FieldByName("Id")->AsInteger(), 2);
}

TEST_F(DataSetTest, ADeleteErrorHandlerMayRetryAbortOrLetTheErrorStand) {
    TTestDataSet data({{"Id", ftInteger}});
    data.Open();
    for (int32_t i = 1; i <= 3; ++i)
        AppendRow(data, {Int(i)});
    data.First();
    data.RefusedDeletes = 2;
    int offered = 0;
    data.OnDeleteError = [&](TDataSet*, EDatabaseError& error, TDataAction& action) {
        ++offered;
        EXPECT_EQ(error.Message(), "record locked");
        action = daRetry;
    };
    data.Delete();
    EXPECT_EQ(offered, 2);
    EXPECT_EQ(IdsForward(data), (std::vector<int32_t>{2, 3}));

    data.RefusedDeletes = 1;
    data.OnDeleteError = [](TDataSet*, EDatabaseError&, TDataAction& action) { action = daAbort; };
    EXPECT_EQ(ErrorOf<EAbort>([&] { data.Delete(); }), "Operation aborted");
    data.RefusedDeletes = 1;
    data.OnDeleteError = nullptr;
    EXPECT_EQ(ErrorOf<EDatabaseError>([&] { data.Delete(); }), "record locked");
    EXPECT_EQ(IdsForward(data), (std::vector<int32_t>{2, 3}));
}
