// The record list of the in-memory data sets: a list of pointer-sized items that keeps spare
// slots in front of item 0 as well as behind the last, so inserting or deleting near either end
// moves only the items between the position and that end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "SysTypes.h"

enum TListNotification { lnAdded = 0, lnExtracted = 1, lnDeleted = 2 };

// Assign's operators: copy; keep the items the source has too; add the source's missing items;
// symmetric difference; remove the items the source has; the source's items this list lacks.
enum TListAssignOp { laCopy = 0, laAnd = 1, laOr = 2, laXor = 3, laSrcUnbind = 4, laDestUnbind = 5 };

// Called with a non-nil item that was added (lnAdded) or removed (lnDeleted), after the list is
// consistent again.
using TListNotifyEvent = std::function<void(void* item, TListNotification action)>;
// Negative, 0 or positive as item1 sorts before, with or after item2.
using TListSortCompare = int (*)(void* item1, void* item2);

class TVynList {
public:
    // The most items, and slots from item 0, a list holds.
    static constexpr int32_t MaxListSize = 134217727;

    TVynList() = default;
    TVynList(const TVynList&) = delete;
    TVynList& operator=(const TVynList&) = delete;
    // Clear (each non-nil item notified as deleted) and the block freed. Nothing raised by a
    // handler leaves it; the virtual calls made here are this class's own.
    virtual ~TVynList();

    // Appends; returns the index the item got. Notifies a non-nil item as added.
    int32_t Add(void* item);
    // Inserts before index (index = Count appends); "List index out of bounds (%d)" (EListError)
    // outside 0..Count. Moves the items of the shorter side.
    void Insert(int32_t index, void* item) {
        // Inserting at the front into a spare slot in front is the common case of a list filled
        // from the front; it stays inline.
        if (index == 0 && count_ > 0 && frontGap_ > 0 && count_ < Capacity()) {
            --frontGap_;
            ItemStart()[0] = item;
            ++count_;
            if (item != nullptr)
                NotifyItem(item, lnAdded);
            return;
        }
        InsertAnywhere(index, item);
    }
    // Removes count items from index on, then notifies each non-nil one as deleted, in order.
    // count <= 0: EVynInternalError "Internal Error: DelCount must be greater than 0. (%d)";
    // a run not inside the list: EListError "List index out of bounds (%d)" with index.
    void Delete(int32_t index, int32_t count);
    // EListError "List index out of bounds (%d)" outside 0..Count-1.
    void* Items(int32_t index) const;
    // The first position holding exactly item, or -1.
    int32_t PositionOf(const void* item) const;

    int32_t Count() const noexcept { return count_; }
    // Growing zero-fills without notifying; shrinking deletes (and notifies) the tail. Outside
    // 0..MaxListSize: EListError "List count out of bounds (%d)".
    void SetCount(int32_t count);
    // The slots from item 0 to the end of the block (the front gap is not counted).
    int32_t Capacity() const noexcept { return blockSlots_ - frontGap_; }
    // Below Count or above MaxListSize: EVynGeneralError "List capacity out of bounds (%d)".
    void SetCapacity(int32_t capacity);
    // The spare slots in front of item 0.
    int32_t FrontGap() const noexcept { return frontGap_; }

    // Count := 0 (notifying), then Capacity := 0; a block of front-gap size may stay.
    virtual void Clear();
    // Capacity := Capacity + the growth delta.
    virtual void Enlarge();
    virtual void NotifyItem(void* item, TListNotification action);
    // Raises EListError with the message formatted with value.
    [[noreturn]] virtual void RaiseError(const WideString& message, int32_t value);
    [[noreturn]] static void RaiseListError(const char* message, int32_t value);

    // Quicksort, not stable: equal items end in the order its partition leaves them.
    void Sort(TListSortCompare compare);

    // Applies op with source as the other set; with a second list, first copies source, then
    // applies op with second. Membership is identity of the item value. A list given that is
    // this list counts as it was when the call began; copying a list onto itself changes nothing.
    void Assign(const TVynList& source, TListAssignOp op = laCopy, const TVynList* second = nullptr);

    TListNotifyEvent OnNotify;

private:
    struct Snapshot;

    void** ItemStart() const noexcept { return block_.get() + hiddenFront_ + frontGap_; }
    void InsertAnywhere(int32_t index, void* item);
    int32_t GrowthDelta() const noexcept;
    void ReserveFrontGap();
    void Reallocate(int32_t frontGap, int32_t capacity, int32_t hiddenFront = 0);
    void ApplyOperator(const Snapshot& source, TListAssignOp op);

    std::unique_ptr<void*[]> block_;
    // Slots of the block in front of the front gap that no count or capacity includes: room kept
    // by a reallocation for front inserts, so that the items move once per doubling rather than
    // once per growth delta. The front gap and the capacity are what they would be without it.
    int32_t hiddenFront_ = 0;
    // The slots of the front gap and the capacity together.
    int32_t blockSlots_ = 0;
    int32_t frontGap_ = 0;
    int32_t count_ = 0;
};

// A record of the variant-array data set: defined there.
struct TVarArrayRecord;

// The variant-array data set's storage: a record list whose items are its records.
class TVarArrayList : public TVynList {
public:
    TVarArrayRecord* Items(int32_t index) const {
        return static_cast<TVarArrayRecord*>(TVynList::Items(index));
    }
};
