#include "VynLXList.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "Exceptions.h"
#include "Format.h"
#include "TextConversion.h"
#include "VynSysUtilsPaths.h"

namespace {

// Spare slots added at a time: a quarter of the capacity for larger lists, capped so that a
// large list grows by at most 16,384 slots a step.
int32_t GrowthDeltaOf(int32_t capacity) {
    if (capacity > 64)
        return std::min(capacity / 4, int32_t{16384});
    return capacity > 8 ? 16 : 4;
}

void MoveSlots(void** to, void* const* from, int32_t count) {
    if (count > 0)
        std::memmove(to, from, static_cast<size_t>(count) * sizeof(void*));
}

// The partition scheme keeps the order of equal items that callers (the data sets' views) have
// always seen. The scans are bounded by left..right, so an inconsistent compare function cannot
// read outside the run; with a consistent one the bounds never stop a scan. The smaller part is
// sorted by recursion and the larger one by the loop, which bounds the depth; the parts are
// disjoint, so the order in which they are sorted does not change the result.
void QuickSort(void** items, int32_t left, int32_t right, TListSortCompare compare) {
    while (left < right) {
        int32_t i = left;
        int32_t j = right;
        void* const pivot = items[(static_cast<uint32_t>(left) + static_cast<uint32_t>(right)) >> 1];
        do {
            while (i <= right && compare(items[i], pivot) < 0)
                ++i;
            while (j >= left && compare(items[j], pivot) > 0)
                --j;
            if (i <= j) {
                std::swap(items[i], items[j]);
                ++i;
                --j;
            }
        } while (i <= j);
        const bool sortLeft = left < j;
        const bool sortRight = i < right;
        if (sortLeft && sortRight) {
            if (j - left < right - i) {
                QuickSort(items, left, j, compare);
                left = i;
            } else {
                QuickSort(items, i, right, compare);
                right = j;
            }
        } else if (sortLeft) {
            right = j;
        } else if (sortRight) {
            left = i;
        } else {
            break;
        }
    }
}

} // namespace

// The items of an operand of Assign; a copy when the operand is the list being changed.
struct TVynList::Snapshot {
    Snapshot(const TVynList& list, const TVynList* target)
        : Items(list.ItemStart()), Count(list.count_), Capacity(list.Capacity()) {
        if (&list == target) {
            Kept.assign(list.ItemStart(), list.ItemStart() + list.count_);
            Items = Kept.data();
        }
    }
    bool Has(const void* item) const { return std::find(Items, Items + Count, item) != Items + Count; }

    std::vector<void*> Kept;
    void* const* Items;
    int32_t Count;
    int32_t Capacity;
};

TVynList::~TVynList() {
    try {
        Clear();
    } catch (...) {
        // A destructor must not raise; what a handler raised is dropped with the list.
    }
}

int32_t TVynList::GrowthDelta() const noexcept {
    return GrowthDeltaOf(Capacity());
}

void TVynList::Reallocate(int32_t frontGap, int32_t capacity, int32_t hiddenFront) {
    const int32_t slots = frontGap + capacity;
    const size_t allocated = static_cast<size_t>(hiddenFront) + static_cast<size_t>(slots);
    std::unique_ptr<void*[]> block(allocated > 0 ? new void*[allocated] : nullptr);
    MoveSlots(block.get() + hiddenFront + frontGap, ItemStart(), count_);
    block_ = std::move(block);
    hiddenFront_ = hiddenFront;
    blockSlots_ = slots;
    frontGap_ = frontGap;
}

void TVynList::ReserveFrontGap() {
    if (frontGap_ != 0)
        return;
    const int32_t delta = GrowthDelta();
    if (hiddenFront_ >= delta) {
        hiddenFront_ -= delta;
        blockSlots_ += delta;
        frontGap_ = delta;
        return;
    }
    // A list that runs out of front gap is being filled from the front: keep as much hidden room
    // as it holds items, which bounds the block at about twice what it would be.
    Reallocate(delta, Capacity(), std::min(count_, MaxListSize - blockSlots_ - delta));
}

int32_t TVynList::Add(void* item) {
    if (count_ == Capacity())
        Enlarge();
    if (count_ >= Capacity())
        throw EVynInternalError("Internal Error: Enlarge did not grow the list.");
    const int32_t index = count_;
    ItemStart()[index] = item;
    ++count_;
    if (item != nullptr)
        NotifyItem(item, lnAdded);
    return index;
}

void TVynList::InsertAnywhere(int32_t index, void* item) {
    if (index < 0 || index > count_)
        RaiseListError("List index out of bounds (%d)", index);
    if (count_ == Capacity())
        Enlarge();
    if (index < count_ - index) {
        if (frontGap_ == 0)
            ReserveFrontGap();
        --frontGap_;
        if (index > 0)
            MoveSlots(ItemStart(), ItemStart() + 1, index);
    } else {
        if (count_ >= Capacity())
            throw EVynInternalError("Internal Error: Enlarge did not grow the list.");
        MoveSlots(ItemStart() + index + 1, ItemStart() + index, count_ - index);
    }
    ItemStart()[index] = item;
    ++count_;
    if (item != nullptr)
        NotifyItem(item, lnAdded);
}

void TVynList::Delete(int32_t index, int32_t count) {
    if (count <= 0)
        throw EVynInternalError(Format("Internal Error: DelCount must be greater than 0. (%d)", {count}));
    // Written so that no sum can wrap: a huge count must not pass as a short run.
    if (index < 0 || count > count_ - index)
        RaiseListError("List index out of bounds (%d)", index);
    // The removed items are held before anything changes, so only the handlers can fail later.
    std::array<void*, 8> few{};
    std::vector<void*> many;
    void** removed = few.data();
    if (static_cast<size_t>(count) > few.size()) {
        many.resize(static_cast<size_t>(count));
        removed = many.data();
    }
    MoveSlots(removed, ItemStart() + index, count);
    count_ -= count;
    if (index < count_ - index) {
        MoveSlots(ItemStart() + count, ItemStart(), index);
        frontGap_ += count;
    } else {
        MoveSlots(ItemStart() + index, ItemStart() + index + count, count_ - index);
    }
    for (int32_t i = 0; i < count; ++i)
        if (removed[i] != nullptr)
            NotifyItem(removed[i], lnDeleted);
}

void* TVynList::Items(int32_t index) const {
    if (index < 0 || index >= count_)
        RaiseListError("List index out of bounds (%d)", index);
    return ItemStart()[index];
}

int32_t TVynList::PositionOf(const void* item) const {
    void* const* start = ItemStart();
    void* const* found = std::find(start, start + count_, item);
    return found == start + count_ ? -1 : static_cast<int32_t>(found - start);
}

void TVynList::SetCount(int32_t count) {
    if (count < 0 || count > MaxListSize)
        RaiseListError("List count out of bounds (%d)", count);
    if (count > Capacity())
        SetCapacity(count);
    if (count > count_)
        std::fill(ItemStart() + count_, ItemStart() + count, nullptr);
    else if (count < count_)
        Delete(count, count_ - count);
    count_ = count;
}

void TVynList::SetCapacity(int32_t capacity) {
    if (capacity < count_ || capacity > MaxListSize)
        throw EVynGeneralError(Format("List capacity out of bounds (%d)", {capacity}));
    if (capacity == Capacity())
        return;
    // The front gap is reserved as before every capacity change, but a reallocation keeps at
    // most one growth delta of it: front deletions alone would otherwise let a queue's block
    // grow by a slot per item it ever held.
    const int32_t reserved = frontGap_ != 0 ? frontGap_ : GrowthDelta();
    Reallocate(std::min(reserved, GrowthDeltaOf(capacity)), capacity);
}

void TVynList::Clear() {
    SetCount(0);
    SetCapacity(0);
}

void TVynList::Enlarge() {
    SetCapacity(Capacity() + GrowthDelta());
}

void TVynList::NotifyItem(void* item, TListNotification action) {
    if (OnNotify)
        OnNotify(item, action);
}

void TVynList::RaiseError(const WideString& message, int32_t value) {
    throw EListError(WideToAnsi(WideFormat(message, {value})));
}

void TVynList::RaiseListError(const char* message, int32_t value) {
    throw EListError(Format(message, {value}));
}

void TVynList::Sort(TListSortCompare compare) {
    if (block_ != nullptr && count_ > 0)
        QuickSort(ItemStart(), 0, count_ - 1, compare);
}

void TVynList::Assign(const TVynList& source, TListAssignOp op, const TVynList* second) {
    if (op < laCopy || op > laDestUnbind)
        return;
    if (second == nullptr && &source == this && op == laCopy)
        return;
    const Snapshot sourceItems(source, this);
    std::optional<Snapshot> secondItems;
    if (second != nullptr)
        secondItems.emplace(*second, this);
    if (secondItems) {
        if (&source != this)
            ApplyOperator(sourceItems, laCopy);
        ApplyOperator(*secondItems, op);
    } else {
        ApplyOperator(sourceItems, op);
    }
}

void TVynList::ApplyOperator(const Snapshot& source, TListAssignOp op) {
    switch (op) {
    case laCopy:
        Clear();
        SetCapacity(source.Capacity);
        for (int32_t i = 0; i < source.Count; ++i)
            Add(source.Items[i]);
        break;
    case laAnd:
        for (int32_t i = count_ - 1; i >= 0; --i)
            if (!source.Has(ItemStart()[i]))
                Delete(i, 1);
        break;
    case laOr:
        for (int32_t i = 0; i < source.Count; ++i)
            if (PositionOf(source.Items[i]) < 0)
                Add(source.Items[i]);
        break;
    case laXor: {
        std::vector<void*> missing;
        missing.reserve(static_cast<size_t>(source.Count));
        for (int32_t i = 0; i < source.Count; ++i)
            if (PositionOf(source.Items[i]) < 0)
                missing.push_back(source.Items[i]);
        for (int32_t i = count_ - 1; i >= 0; --i)
            if (source.Has(ItemStart()[i]))
                Delete(i, 1);
        const int64_t needed = int64_t{count_} + static_cast<int64_t>(missing.size());
        if (Capacity() < needed)
            SetCapacity(static_cast<int32_t>(std::min<int64_t>(needed, int64_t{MaxListSize} + 1)));
        for (void* item : missing)
            Add(item);
        break;
    }
    case laSrcUnbind:
        for (int32_t i = count_ - 1; i >= 0; --i)
            if (source.Has(ItemStart()[i]))
                Delete(i, 1);
        break;
    case laDestUnbind: {
        TVynList missing;
        for (int32_t i = source.Count - 1; i >= 0; --i)
            if (PositionOf(source.Items[i]) < 0)
                missing.Add(source.Items[i]);
        ApplyOperator(Snapshot(missing, this), laCopy);
        break;
    }
    }
}
