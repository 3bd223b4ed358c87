#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "VynLXList.h"
#include "VynSysUtilsPaths.h"

namespace {

void* Item(uintptr_t value) {
    return reinterpret_cast<void*>(value);
}

std::vector<uintptr_t> ItemsOf(const TVynList& list) {
    std::vector<uintptr_t> items;
    for (int32_t i = 0; i < list.Count(); ++i)
        items.push_back(reinterpret_cast<uintptr_t>(list.Items(i)));
    return items;
}

void Fill(TVynList& list, std::initializer_list<uintptr_t> values) {
    for (uintptr_t value : values)
        list.Add(Item(value));
}

void FillRange(TVynList& list, uintptr_t from, uintptr_t to) {
    for (uintptr_t value = from; value <= to; ++value)
        list.Add(Item(value));
}

template <typename E> std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.Message();
    } catch (...) {
        return "<another exception>";
    }
    return "<nothing raised>";
}

struct Event {
    uintptr_t Item;
    TListNotification Action;
    bool operator==(const Event&) const = default;
};

// Records notifications, and checks at each one that the list already shows the change.
class Notifications {
public:
    explicit Notifications(TVynList& list) : list_(list) {
        list.OnNotify = [this](void* item, TListNotification action) {
            const bool present = list_.PositionOf(item) >= 0;
            if (present != (action == lnAdded))
                inconsistent_ = true;
            events_.push_back({reinterpret_cast<uintptr_t>(item), action});
        };
    }
    ~Notifications() { list_.OnNotify = nullptr; }
    Notifications(const Notifications&) = delete;
    Notifications& operator=(const Notifications&) = delete;
    const std::vector<Event>& Events() const { return events_; }
    bool SawInconsistentList() const { return inconsistent_; }
    void Forget() { events_.clear(); }

private:
    TVynList& list_;
    std::vector<Event> events_;
    bool inconsistent_ = false;
};

// ---- Growth and the front gap

TEST(VynListGrowth, CapacityFollowsTheGrowthStepsFromEmpty) {
    TVynList list;
    std::vector<int32_t> capacities;
    for (uintptr_t i = 1; i <= 150; ++i) {
        list.Add(Item(i));
        if (capacities.empty() || capacities.back() != list.Capacity())
            capacities.push_back(list.Capacity());
    }
    // 4 up to 8, 16 up to 64, then a quarter.
    EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183}));
    EXPECT_EQ(list.FrontGap(), 4) << "the first block keeps one growth delta in front";
}

TEST(VynListGrowth, TheGrowthStepIsCappedAt16384Slots) {
    TVynList list;
    list.SetCapacity(65535);
    list.Enlarge();
    EXPECT_EQ(list.Capacity(), 65535 + 16383);
    list.SetCapacity(65536);
    list.Enlarge();
    EXPECT_EQ(list.Capacity(), 65536 + 16384);
    list.SetCapacity(200000);
    list.Enlarge();
    EXPECT_EQ(list.Capacity(), 200000 + 16384);
}

TEST(VynListGrowth, InsertingAtTheFrontTakesASlotOfTheFrontGap) {
    TVynList list;
    FillRange(list, 1, 1000);
    const int32_t gap = list.FrontGap();
    const int32_t capacity = list.Capacity();
    ASSERT_GT(gap, 0);
    list.Insert(0, Item(5000));
    EXPECT_EQ(list.FrontGap(), gap - 1);
    EXPECT_EQ(list.Capacity(), capacity + 1) << "the capacity counts from item 0";
    EXPECT_EQ(list.Items(0), Item(5000));
    EXPECT_EQ(list.Items(1), Item(1));
    EXPECT_EQ(list.Items(1000), Item(1000));

    list.Insert(1, Item(6000)); // front half: the first item moves down
    EXPECT_EQ(list.FrontGap(), gap - 2);
    EXPECT_EQ(ItemsOf(list)[1], 6000u);
    EXPECT_EQ(ItemsOf(list)[2], 1u);
}

TEST(VynListGrowth, InsertingInTheBackHalfLeavesTheFrontGap) {
    TVynList list;
    FillRange(list, 1, 10);
    const int32_t gap = list.FrontGap();
    list.Insert(7, Item(77));
    list.Insert(list.Count(), Item(99));
    EXPECT_EQ(list.FrontGap(), gap);
    EXPECT_EQ(ItemsOf(list), (std::vector<uintptr_t>{1, 2, 3, 4, 5, 6, 7, 77, 8, 9, 10, 99}));
}

TEST(VynListGrowth, AFullFrontGapIsRenewedByOneGrowthDelta) {
    TVynList list;
    FillRange(list, 1, 20);
    while (list.FrontGap() > 0)
        list.Insert(0, Item(0xAA));
    const int32_t capacity = list.Capacity();
    list.SetCapacity(capacity); // the same capacity: nothing, not even a front gap
    EXPECT_EQ(list.FrontGap(), 0);
    list.Insert(1, Item(0xBB));
    EXPECT_EQ(list.FrontGap(), 16 - 1) << "growth delta of the capacity, one slot taken";
    EXPECT_EQ(list.Items(1), Item(0xBB));
    EXPECT_EQ(list.Items(list.Count() - 1), Item(20));
}

TEST(VynListGrowth, DeletingAtTheFrontWidensTheFrontGap) {
    TVynList list;
    FillRange(list, 1, 100);
    const int32_t gap = list.FrontGap();
    const int32_t capacity = list.Capacity();
    list.Delete(0, 10);
    EXPECT_EQ(list.FrontGap(), gap + 10);
    EXPECT_EQ(list.Capacity(), capacity - 10);
    EXPECT_EQ(list.Items(0), Item(11));
    list.Delete(1, 2); // front half: the first item moves up
    EXPECT_EQ(list.FrontGap(), gap + 12);
    EXPECT_EQ(ItemsOf(list)[0], 11u);
    EXPECT_EQ(ItemsOf(list)[1], 14u);
    list.Delete(80, 5); // back half: the tail moves down
    EXPECT_EQ(list.FrontGap(), gap + 12);
    EXPECT_EQ(list.Count(), 83);
    EXPECT_EQ(list.Items(80), Item(98));
}

TEST(VynListGrowth, AReallocationKeepsAtMostOneGrowthDeltaInFront) {
    TVynList list;
    FillRange(list, 1, 1000);
    list.Delete(0, 900);
    EXPECT_GT(list.FrontGap(), 900);
    const int32_t capacity = list.Capacity();
    list.SetCapacity(capacity + 1);
    EXPECT_EQ(list.Capacity(), capacity + 1);
    EXPECT_LE(list.FrontGap(), std::min(list.Capacity() / 4, 16384));
    EXPECT_EQ(list.Items(0), Item(901));
    EXPECT_EQ(list.Items(99), Item(1000));
}

TEST(VynListGrowth, AQueueKeepsASmallBlockOverAMillionCycles) {
    TVynList list;
    FillRange(list, 1, 10);
    uintptr_t next = 11, expected = 1;
    int32_t largestBlock = 0;
    for (int cycle = 0; cycle < 1000000; ++cycle) {
        list.Add(Item(next++));
        ASSERT_EQ(list.Items(0), Item(expected++));
        list.Delete(0, 1);
        largestBlock = std::max(largestBlock, list.FrontGap() + list.Capacity());
    }
    EXPECT_EQ(list.Count(), 10);
    EXPECT_EQ(list.Items(9), Item(next - 1));
    EXPECT_LE(largestBlock, 64);
}

TEST(VynListGrowth, ClearLeavesNoCapacity) {
    TVynList list;
    FillRange(list, 1, 300);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
    EXPECT_LE(list.FrontGap(), 4);
    list.Add(Item(1));
    EXPECT_EQ(ItemsOf(list), std::vector<uintptr_t>{1});
}

// ---- Items, count, search

TEST(VynListItems, CountGrowsWithZerosAndShrinksByDeleting) {
    TVynList list;
    Notifications seen(list);
    Fill(list, {1, 2});
    seen.Forget();
    list.SetCount(5);
    EXPECT_EQ(ItemsOf(list), (std::vector<uintptr_t>{1, 2, 0, 0, 0}));
    EXPECT_TRUE(seen.Events().empty());
    list.SetCount(1);
    EXPECT_EQ(ItemsOf(list), std::vector<uintptr_t>{1});
    EXPECT_EQ(seen.Events(), (std::vector<Event>{{2, lnDeleted}})) << "zeros are not notified";
    list.SetCount(300);
    EXPECT_GE(list.Capacity(), 300);
    EXPECT_EQ(list.Items(299), nullptr);
}

TEST(VynListItems, PositionOfFindsTheFirstEqualItem) {
    TVynList list;
    Fill(list, {7, 3, 7, 0});
    EXPECT_EQ(list.PositionOf(Item(7)), 0);
    EXPECT_EQ(list.PositionOf(Item(3)), 1);
    EXPECT_EQ(list.PositionOf(nullptr), 3);
    EXPECT_EQ(list.PositionOf(Item(8)), -1);
    EXPECT_EQ(list.Add(Item(8)), 4);
}

TEST(VynListItems, TheVariantArrayListTypesItsItems) {
    TVarArrayList list;
    auto* record = reinterpret_cast<TVarArrayRecord*>(Item(0x1234));
    list.Add(record);
    EXPECT_EQ(list.Items(0), record);
}

// ---- Notifications

TEST(VynListNotify, ItemsAreNotifiedAfterTheListIsConsistentAndNeverForNil) {
    TVynList list;
    Notifications seen(list);
    list.Add(Item(1));
    list.Add(nullptr);
    list.Insert(0, Item(2));
    list.Insert(1, nullptr);
    list.Add(Item(3));
    list.Delete(0, 4); // 2, nil, 1, nil
    list.Delete(0, 1); // 3
    EXPECT_FALSE(seen.SawInconsistentList());
    EXPECT_EQ(seen.Events(),
              (std::vector<Event>{
                  {1, lnAdded}, {2, lnAdded}, {3, lnAdded}, {2, lnDeleted}, {1, lnDeleted}, {3, lnDeleted}}));
}

TEST(VynListNotify, TheDestructorNotifiesEveryItemAndRaisesNothing) {
    std::vector<Event> events;
    {
        auto list = std::make_unique<TVynList>();
        Fill(*list, {1, 0, 2});
        list->OnNotify = [&](void* item, TListNotification action) {
            events.push_back({reinterpret_cast<uintptr_t>(item), action});
        };
        EXPECT_NO_THROW(list.reset());
    }
    EXPECT_EQ(events, (std::vector<Event>{{1, lnDeleted}, {2, lnDeleted}}));

    auto failing = std::make_unique<TVynList>();
    Fill(*failing, {1, 2});
    failing->OnNotify = [](void*, TListNotification) { throw EAbort("handler"); };
    EXPECT_NO_THROW(failing.reset());
}

TEST(VynListNotify, AFailingHandlerLeavesTheListShortened) {
    TVynList list;
    Fill(list, {1, 2, 3});
    list.OnNotify = [](void*, TListNotification) { throw EAbort("handler"); };
    EXPECT_THROW(list.Delete(0, 2), EAbort);
    EXPECT_EQ(ItemsOf(list), std::vector<uintptr_t>{3});
}

// ---- Failures: class, text, and the list unchanged

class VynListErrors : public ::testing::Test {
protected:
    void SetUp() override {
        FillRange(list_, 1, 5);
        list_.OnNotify = [this](void*, TListNotification) { ++notifications_; };
        items_ = ItemsOf(list_);
        capacity_ = list_.Capacity();
        gap_ = list_.FrontGap();
    }
    void ExpectUnchanged() {
        EXPECT_EQ(ItemsOf(list_), items_);
        EXPECT_EQ(list_.Capacity(), capacity_);
        EXPECT_EQ(list_.FrontGap(), gap_);
        EXPECT_EQ(notifications_, 0);
    }

    TVynList list_;
    std::vector<uintptr_t> items_;
    int32_t capacity_ = 0, gap_ = 0, notifications_ = 0;
};

TEST_F(VynListErrors, IndexErrors) {
    EXPECT_EQ(MessageOf<EListError>([&] { list_.Items(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(MessageOf<EListError>([&] { list_.Items(5); }), "List index out of bounds (5)");
    EXPECT_EQ(MessageOf<EListError>([&] { list_.Insert(6, Item(9)); }), "List index out of bounds (6)");
    EXPECT_EQ(MessageOf<EListError>([&] { list_.Insert(-1, Item(9)); }), "List index out of bounds (-1)");
    EXPECT_EQ(MessageOf<EListError>([&] { list_.Delete(-1, 1); }), "List index out of bounds (-1)");
    EXPECT_EQ(MessageOf<EListError>([&] { list_.Delete(5, 1); }), "List index out of bounds (5)");
    EXPECT_EQ(MessageOf<EListError>([&] { list_.Delete(3, 3); }), "List index out of bounds (3)");
    ExpectUnchanged();
}

TEST_F(VynListErrors, AHugeDeleteCountIsOutOfBoundsAndNotWrappedIntoRange) {
    EXPECT_EQ(MessageOf<EListError>([&] { list_.Delete(2, INT32_MAX); }), "List index out of bounds (2)");
    EXPECT_EQ(MessageOf<EListError>([&] { list_.Delete(4, INT32_MAX - 1); }), "List index out of bounds (4)");
    ExpectUnchanged();
}

TEST_F(VynListErrors, DeletingNothingIsAnInternalErrorBeforeTheIndexCheck) {
    EXPECT_EQ(MessageOf<EVynInternalError>([&] { list_.Delete(2, 0); }),
              "Internal Error: DelCount must be greater than 0. (0)");
    EXPECT_EQ(MessageOf<EVynInternalError>([&] { list_.Delete(99, -3); }),
              "Internal Error: DelCount must be greater than 0. (-3)");
    ExpectUnchanged();
}

TEST_F(VynListErrors, CountAndCapacityLimits) {
    EXPECT_EQ(MessageOf<EListError>([&] { list_.SetCount(-1); }), "List count out of bounds (-1)");
    EXPECT_EQ(MessageOf<EListError>([&] { list_.SetCount(134217728); }),
              "List count out of bounds (134217728)");
    EXPECT_EQ(MessageOf<EVynGeneralError>([&] { list_.SetCapacity(4); }), "List capacity out of bounds (4)");
    EXPECT_EQ(MessageOf<EVynGeneralError>([&] { list_.SetCapacity(134217728); }),
              "List capacity out of bounds (134217728)");
    ExpectUnchanged();
}

TEST_F(VynListErrors, TheWideRaiserFormatsItsValue) {
    EXPECT_EQ(MessageOf<EListError>([&] { list_.RaiseError(u"Record %d is gone", 42); }),
              "Record 42 is gone");
    ExpectUnchanged();
}

// ---- Assign

class VynListAssign : public ::testing::Test {
protected:
    void SetUp() override {
        Fill(a_, {1, 2, 3, 4});
        Fill(b_, {3, 4, 5, 6});
        Fill(c_, {4, 6, 7});
    }
    TVynList a_, b_, c_;
};

TEST_F(VynListAssign, EachOperatorWithASource) {
    const std::vector<std::pair<TListAssignOp, std::vector<uintptr_t>>> cases{
        {laCopy, {3, 4, 5, 6}}, {laAnd, {3, 4}},       {laOr, {1, 2, 3, 4, 5, 6}},
        {laXor, {1, 2, 5, 6}},  {laSrcUnbind, {1, 2}}, {laDestUnbind, {6, 5}}};
    for (const auto& [op, expected] : cases) {
        TVynList target;
        Fill(target, {1, 2, 3, 4});
        target.Assign(b_, op);
        EXPECT_EQ(ItemsOf(target), expected) << "operator " << op;
    }
}

TEST_F(VynListAssign, ACopyTakesTheSourcesCapacityAndNotifies) {
    b_.SetCapacity(100);
    Notifications seen(a_);
    a_.Assign(b_);
    EXPECT_EQ(a_.Capacity(), 100);
    EXPECT_EQ(seen.Events(), (std::vector<Event>{{1, lnDeleted},
                                                 {2, lnDeleted},
                                                 {3, lnDeleted},
                                                 {4, lnDeleted},
                                                 {3, lnAdded},
                                                 {4, lnAdded},
                                                 {5, lnAdded},
                                                 {6, lnAdded}}));
}

TEST_F(VynListAssign, ASecondListIsAppliedToACopyOfTheSource) {
    const std::vector<std::pair<TListAssignOp, std::vector<uintptr_t>>> cases{
        {laCopy, {4, 6, 7}}, {laAnd, {4, 6}},       {laOr, {3, 4, 5, 6, 7}},
        {laXor, {3, 5, 7}},  {laSrcUnbind, {3, 5}}, {laDestUnbind, {7}}};
    for (const auto& [op, expected] : cases) {
        TVynList target;
        Fill(target, {1, 2});
        target.Assign(b_, op, &c_);
        EXPECT_EQ(ItemsOf(target), expected) << "operator " << op;
    }
}

TEST_F(VynListAssign, ThisListAsTheSourceCountsAsItWasAtTheCall) {
    const std::vector<std::pair<TListAssignOp, std::vector<uintptr_t>>> cases{
        {laCopy, {1, 2, 3, 4}}, {laAnd, {1, 2, 3, 4}}, {laOr, {1, 2, 3, 4}}, {laXor, {}},
        {laSrcUnbind, {}},      {laDestUnbind, {}}};
    for (const auto& [op, expected] : cases) {
        TVynList target;
        Fill(target, {1, 2, 3, 4});
        target.Assign(target, op);
        EXPECT_EQ(ItemsOf(target), expected) << "operator " << op;
    }
}

TEST_F(VynListAssign, CopyingAListOntoItselfChangesAndNotifiesNothing) {
    a_.SetCapacity(50);
    Notifications seen(a_);
    a_.Assign(a_, laCopy);
    EXPECT_EQ(ItemsOf(a_), (std::vector<uintptr_t>{1, 2, 3, 4}));
    EXPECT_EQ(a_.Capacity(), 50);
    EXPECT_TRUE(seen.Events().empty());
}

TEST_F(VynListAssign, ThisListAsTheSecondListCountsAsItWasAtTheCall) {
    const std::vector<std::pair<TListAssignOp, std::vector<uintptr_t>>> cases{
        {laCopy, {1, 2, 3, 4}}, {laAnd, {3, 4}},       {laOr, {3, 4, 5, 6, 1, 2}},
        {laXor, {5, 6, 1, 2}},  {laSrcUnbind, {5, 6}}, {laDestUnbind, {2, 1}}};
    for (const auto& [op, expected] : cases) {
        TVynList target;
        Fill(target, {1, 2, 3, 4});
        target.Assign(b_, op, &target);
        EXPECT_EQ(ItemsOf(target), expected) << "operator " << op;
    }
    a_.Assign(a_, laAnd, &b_);
    EXPECT_EQ(ItemsOf(a_), (std::vector<uintptr_t>{3, 4}));
}

// ---- Sort

struct Record {
    int Key;
    int Id;
};

int CompareKeys(void* a, void* b) {
    const int x = static_cast<Record*>(a)->Key, y = static_cast<Record*>(b)->Key;
    return x < y ? -1 : (x > y ? 1 : 0);
}

// The partition as a plain recursion over a vector: an independent statement of the order the
// list must leave equal keys in.
void ModelSort(std::vector<Record*>& items, int left, int right) {
    if (left >= right)
        return;
    int i = left, j = right;
    const int pivot = items[static_cast<unsigned>(left + right) / 2]->Key;
    while (i <= j) {
        while (items[i]->Key < pivot)
            ++i;
        while (items[j]->Key > pivot)
            --j;
        if (i <= j)
            std::swap(items[i++], items[j--]);
    }
    ModelSort(items, left, j);
    ModelSort(items, i, right);
}

TEST(VynListSort, EqualsTheModelOfItsPartitionWithManyEqualKeys) {
    std::mt19937 random(20261208);
    for (int size : {0, 1, 2, 3, 7, 64, 1000, 5000}) {
        for (int keys : {1, 3, 17}) {
            std::vector<Record> records(static_cast<size_t>(size));
            for (int n = 0; n < size; ++n)
                records[static_cast<size_t>(n)] = {static_cast<int>(random() % static_cast<unsigned>(keys)),
                                                   n};
            TVynList list;
            std::vector<Record*> model;
            for (Record& record : records) {
                list.Add(&record);
                model.push_back(&record);
            }
            list.Sort(CompareKeys);
            if (!model.empty())
                ModelSort(model, 0, static_cast<int>(model.size()) - 1);
            std::vector<int> sorted, expected;
            for (int32_t n = 0; n < list.Count(); ++n)
                sorted.push_back(static_cast<Record*>(list.Items(n))->Id);
            for (const Record* record : model)
                expected.push_back(record->Id);
            EXPECT_EQ(sorted, expected) << size << " items, " << keys << " keys";
        }
    }
}

// An inconsistent compare function must not lead the scans outside the list: every item it is
// handed is one of the records.
std::mt19937 chaos(7);
const Record* chaosFirst = nullptr;
const Record* chaosLast = nullptr;
bool chaosOutside = false;

int ChaoticCompare(void* a, void* b) {
    for (const void* item : {a, b})
        if (std::less<const void*>()(item, chaosFirst) || std::less<const void*>()(chaosLast, item))
            chaosOutside = true;
    return static_cast<int>(chaos() % 3) - 1;
}

TEST(VynListSort, AnInconsistentCompareStaysInsideTheList) {
    std::vector<Record> records(2000);
    for (int n = 0; n < 2000; ++n)
        records[static_cast<size_t>(n)] = {n, n};
    chaosFirst = &records.front();
    chaosLast = &records.back();
    TVynList list;
    list.Add(nullptr); // a slot in front that must never be read
    for (Record& record : records)
        list.Add(&record);
    list.Delete(0, 1);
    for (int round = 0; round < 20; ++round)
        list.Sort(ChaoticCompare);
    EXPECT_FALSE(chaosOutside);
    std::vector<bool> seen(records.size());
    for (int32_t n = 0; n < list.Count(); ++n)
        seen[static_cast<size_t>(static_cast<Record*>(list.Items(n))->Id)] = true;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 2000) << "still a permutation";
}

TEST(VynListSort, SortedAndReversedInputsOfAHundredThousand) {
    std::vector<Record> records(100000);
    TVynList list;
    for (int n = 0; n < 100000; ++n) {
        records[static_cast<size_t>(n)] = {100000 - n, n};
        list.Add(&records[static_cast<size_t>(n)]);
    }
    list.Sort(CompareKeys);
    for (int32_t n = 1; n < list.Count(); ++n)
        ASSERT_LE(static_cast<Record*>(list.Items(n - 1))->Key, static_cast<Record*>(list.Items(n))->Key);
    list.Sort(CompareKeys);
    EXPECT_EQ(static_cast<Record*>(list.Items(0))->Key, 1);
}

} // namespace
