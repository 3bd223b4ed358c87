#include "VynLXDataSet.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "Assertions.h"
#include "VynDB.h"
#include "VynLXUtils.h"
#include "VynSysUtilsPaths.h"

namespace {

constexpr char UnitName[] = "lib/VynLX/VynLXDataSet";

// The handle, the bookmark flag, and padding up to a VARIANT's alignment.
constexpr size_t HeaderSize = (sizeof(void*) + 1 + alignof(VARIANT) - 1) / alignof(VARIANT) * alignof(VARIANT);
constexpr size_t FlagOffset = sizeof(void*);

// The sort's compare function gets no context: the data set being sorted and its sort fields
// live here, written and cleared only under SortLock.
std::mutex* SortLock = nullptr;
TVynDataSet* SortingDataSet = nullptr;
std::vector<TField*>* SortingFields = nullptr;

void StartVynLXDataSet() {
    SortLock = new std::mutex;
}

void EndVynLXDataSet() {
    delete SortLock;
    SortLock = nullptr;
}

// Holds the sort lock and publishes the sort context; clears both on every exit.
class TSortContext {
public:
    TSortContext(TVynDataSet& dataSet, std::vector<TField*>& fields) : guard_(RequireSortLock()) {
        SortingDataSet = &dataSet;
        SortingFields = &fields;
    }
    ~TSortContext() {
        SortingDataSet = nullptr;
        SortingFields = nullptr;
    }
    TSortContext(const TSortContext&) = delete;
    TSortContext& operator=(const TSortContext&) = delete;

private:
    static std::mutex& RequireSortLock() {
        if (SortLock == nullptr)
            throw EVynInternalError("Internal Error: the unit lib/VynLX/VynLXDataSet is not started.");
        return *SortLock;
    }

    std::lock_guard<std::mutex> guard_;
};

void VarToBuffer(const TField& field, const TVariant& value, void* buffer) {
    switch (field.DataType()) {
    case ftString:
    case ftFixedChar:
    case ftGuid:
        *static_cast<AnsiString*>(buffer) = value.AsAnsi();
        break;
    case ftWideString:
        *static_cast<WideString*>(buffer) = value.AsWide();
        break;
    case ftSmallint:
        *static_cast<int16_t*>(buffer) = value.ChangeType(VT_I2).Value().iVal;
        break;
    case ftWord:
        *static_cast<uint16_t*>(buffer) = value.ChangeType(VT_UI2).Value().uiVal;
        break;
    case ftInteger:
    case ftAutoInc:
        *static_cast<int32_t*>(buffer) = value.AsInteger();
        break;
    case ftBoolean:
        *static_cast<int16_t*>(buffer) = value.AsBoolean() ? 1 : 0;
        break;
    case ftFloat:
    case ftCurrency:
    case ftDate:
    case ftTime:
    case ftDateTime:
        *static_cast<double*>(buffer) = value.AsDouble();
        break;
    case ftBCD:
        *static_cast<int64_t*>(buffer) = value.ChangeType(VT_CY).Value().cyVal.int64;
        break;
    case ftLargeint:
        // A double holds 53 bits: values beyond would change on the way.
        *static_cast<int64_t*>(buffer) = value.AsInt64();
        break;
    case ftInterface: {
        IUnknown* reference = value.ChangeType(VT_UNKNOWN).Value().punkVal;
        if (reference != nullptr)
            reference->AddRef();
        *static_cast<IUnknown**>(buffer) = reference;
        break;
    }
    case ftIDispatch: {
        IDispatch* reference = value.ChangeType(VT_DISPATCH).Value().pdispVal;
        if (reference != nullptr)
            reference->AddRef();
        *static_cast<IDispatch**>(buffer) = reference;
        break;
    }
    default:
        DatabaseError("Internal Error: VarToBuffer() encountered unexpected field type.");
    }
}

TVariant InterfaceVariant(VARTYPE type, IUnknown* reference) {
    VARIANT borrowed;
    VariantInit(&borrowed);
    borrowed.vt = type;
    borrowed.punkVal = reference;
    return TVariant(borrowed); // the copy takes its own reference
}

TVariant BufferToVar(const TField& field, const void* buffer) {
    switch (field.DataType()) {
    case ftString:
    case ftFixedChar:
    case ftGuid:
        return TVariant::FromAnsi(*static_cast<const AnsiString*>(buffer));
    case ftWideString:
        return TVariant::FromWide(*static_cast<const WideString*>(buffer));
    case ftSmallint:
        return TVariant::FromSmallInt(*static_cast<const int16_t*>(buffer));
    case ftWord:
        return TVariant::FromWord(*static_cast<const uint16_t*>(buffer));
    case ftInteger:
    case ftAutoInc:
        return TVariant::FromInteger(*static_cast<const int32_t*>(buffer));
    case ftBoolean:
        return TVariant::FromBoolean(*static_cast<const int16_t*>(buffer) != 0);
    case ftFloat:
    case ftCurrency:
        return TVariant::FromDouble(*static_cast<const double*>(buffer));
    case ftBCD:
        return TVariant::FromCurrency(*static_cast<const int64_t*>(buffer));
    case ftDate:
    case ftTime:
    case ftDateTime:
        return TVariant::FromDate(*static_cast<const double*>(buffer));
    case ftLargeint:
        return TVariant::FromInt64(*static_cast<const int64_t*>(buffer));
    case ftInterface:
        return InterfaceVariant(VT_UNKNOWN, *static_cast<IUnknown* const*>(buffer));
    case ftIDispatch:
        return InterfaceVariant(VT_DISPATCH, *static_cast<IDispatch* const*>(buffer));
    default:
        DatabaseError("Internal Error: BufferToVar() encountered unexpected field type.");
    }
}

// A partial key matches records by the beginning of their text. Those form one run of the sorted
// view only for a single text key: numbers compared as text ("1" begins "10") and a first field
// followed by others (records beginning "a" are ordered by their whole text before the next
// field) are spread over the view, where a binary search would miss them.
bool PartialKeyKeepsSortOrder(const std::vector<TField*>& keys, const TVariant& keyValues, TLocateOptions options) {
    if (!options.Contains(loPartialKey))
        return true;
    return keys.size() == 1 && keyValues.IsString();
}

TVynRecordHandle HandleOf(const void* bookmark) {
    TVynRecordHandle handle;
    std::memcpy(&handle, bookmark, sizeof handle);
    return handle;
}

} // namespace

const TUnitInfo VynLXDataSetUnit{UnitName, StartVynLXDataSet, EndVynLXDataSet};

int CompareSortKeys(void* item1, void* item2) {
    TVynDataSet& dataSet = *SortingDataSet;
    return CompareVariants(dataSet.RecordKey(item1, *SortingFields), dataSet.RecordKey(item2, *SortingFields),
                           loCaseInsensitive);
}

// --- Life ------------------------------------------------------------------------------------------

const TClassInfo& TVynDataSet::StaticClassInfo() {
    static const TClassInfo info = [] {
        TClassInfo result{"TVynDataSet", &TDataSet::StaticClassInfo()};
        result.Properties = {
            IntegerProperty<TDataSet>("BufferCount", &TDataSet::BufferCount, &TDataSet::SetBufferCount),
            BooleanProperty<TDataSet>("Filtered", &TDataSet::Filtered, &TDataSet::SetFiltered),
            MakeAnsiStringProperty(
                "Sort", [](const TPersistent& d) { return static_cast<const TVynDataSet&>(d).Sort(); },
                [](TPersistent& d, const AnsiString& v) { static_cast<TVynDataSet&>(d).SetSort(v); }),
        };
        return result;
    }();
    return info;
}

TVynDataSet::TVynDataSet(TComponent* owner) : TDataSet(owner) {}

TVynDataSet::~TVynDataSet() {
    CloseBeforeDestruction();
}

// --- Buffers ---------------------------------------------------------------------------------------

uint32_t TVynDataSet::GetRecordSize() const {
    return static_cast<uint32_t>(HeaderSize + sizeof(VARIANT) * static_cast<size_t>(slotCount_));
}

TRecordBuffer TVynDataSet::AllocRecordBuffer() {
    // Zero bytes are an empty header and VT_EMPTY in every slot.
    return new (std::align_val_t(alignof(VARIANT))) uint8_t[GetRecordSize()]();
}

void TVynDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
    if (buffer == nullptr)
        return;
    for (int32_t i = 0; i < slotCount_; ++i)
        VariantClear(Slot(buffer, i));
    operator delete[](buffer, std::align_val_t(alignof(VARIANT)));
    buffer = nullptr;
}

VARIANT* TVynDataSet::Slot(TRecordBuffer buffer, int32_t fieldIndex) const {
    return reinterpret_cast<VARIANT*>(buffer + HeaderSize + sizeof(VARIANT) * static_cast<size_t>(fieldIndex));
}

void TVynDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) const {
    std::memcpy(data, buffer, sizeof(TVynRecordHandle));
}

void TVynDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
    std::memcpy(buffer, data, sizeof(TVynRecordHandle));
}

TBookmarkFlag TVynDataSet::GetBookmarkFlag(TRecordBuffer buffer) const {
    return static_cast<TBookmarkFlag>(buffer[FlagOffset]);
}

void TVynDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
    buffer[FlagOffset] = static_cast<uint8_t>(flag);
}

void TVynDataSet::InternalInitRecord(TRecordBuffer buffer) {
    std::memset(buffer, 0, HeaderSize);
    for (int32_t i = 0; i < slotCount_; ++i) {
        VARIANT* slot = Slot(buffer, i);
        VariantClear(slot);
        slot->vt = VT_NULL;
    }
}

TGetResult TVynDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
    const int32_t count = view_.Count();
    TGetResult result = grOK;
    if (count == 0) {
        current_ = -1;
        result = grEOF;
    } else {
        switch (mode) {
        case gmCurrent:
            if (current_ < 0 || current_ > count - 1)
                result = grError;
            break;
        case gmNext:
            if (current_ < count - 1) {
                ++current_;
            } else {
                current_ = count;
                result = grEOF;
            }
            break;
        case gmPrior:
            if (current_ < 1) {
                current_ = -1;
                result = grBOF;
            } else {
                --current_;
            }
            break;
        }
    }
    if (result != grOK) {
        InternalInitRecord(buffer);
        if (result == grError && doCheck)
            DatabaseError("Internal Error: TVynDataSet.InternalGetRecord has no current record.");
        return result;
    }
    const TVynRecordHandle handle = view_.Items(current_);
    std::memcpy(buffer, &handle, sizeof handle);
    SetBookmarkFlag(buffer, bfCurrent);
    TVariant value;
    for (int32_t i = 0; i < slotCount_; ++i) {
        ReadFieldValue(handle, i, value);
        VARIANT* slot = Slot(buffer, i);
        VariantClear(slot);
        *slot = value.Detach();
    }
    return grOK;
}

// --- Cursor ----------------------------------------------------------------------------------------

void TVynDataSet::SnapRecordPosition(bool requireRecords) {
    const int32_t count = view_.Count();
    if (current_ > count - 1)
        current_ = count - 1;
    if (current_ < 0)
        current_ = 0;
    if (requireRecords && count == 0)
        DatabaseError("Internal Error: SnapRecordPosition() required a record count.");
}

void TVynDataSet::InternalFirst() {
    current_ = -1;
}

void TVynDataSet::InternalLast() {
    current_ = view_.Count();
}

void TVynDataSet::InternalGotoBookmark(const void* bookmark) {
    const int32_t position = view_.PositionOf(HandleOf(bookmark));
    if (position < 0)
        DatabaseError("Bookmark not found.");
    current_ = position;
}

void TVynDataSet::InternalSetToRecord(TRecordBuffer buffer) {
    InternalGotoBookmark(buffer);
}

int32_t TVynDataSet::CompareBookmarks(const void* bookmark1, const void* bookmark2) const {
    const int32_t first = bookmark1 == nullptr ? -1 : view_.PositionOf(HandleOf(bookmark1));
    const int32_t second = bookmark2 == nullptr ? -1 : view_.PositionOf(HandleOf(bookmark2));
    return first > second ? 1 : first < second ? -1 : 0;
}

bool TVynDataSet::IsCursorOpen() const {
    return FieldCount() > 0;
}

int32_t TVynDataSet::GetRecordCount() const {
    return view_.Count();
}

int32_t TVynDataSet::GetRecNo() const {
    return current_ + 1;
}

void TVynDataSet::SetRecNo(int32_t recNo) {
    CheckBrowseMode();
    DoBeforeScroll();
    current_ = recNo - 1;
    SnapRecordPosition(false);
    Resync(rmCenter);
    DoAfterScroll();
}

// --- Editing ---------------------------------------------------------------------------------------

void TVynDataSet::InternalInsert() {
    if (view_.Count() == 0) {
        CursorPosChanged();
        Resync(0);
    }
}

void TVynDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
    if (append)
        SetBookmarkFlag(buffer, bfEOF);
    InternalPost();
}

void TVynDataSet::InternalDelete() {
    SnapRecordPosition(true);
    DeleteRecordHandle(view_.Items(current_));
    view_.Delete(current_, 1);
    if (view_.Count() > 0) {
        SnapRecordPosition(false);
    } else {
        current_ = -1;
        CursorPosChanged();
        Resync(0);
    }
}

void TVynDataSet::InternalPost() {
    CheckRequiredFields();
    const TRecordBuffer buffer = RequireActiveBuffer();
    const bool inserting = State() == dsInsert;
    TVynRecordHandle handle;
    if (inserting) {
        SnapRecordPosition(false);
        handle = NewRecordHandle();
    } else {
        SnapRecordPosition(true);
        handle = view_.Items(current_);
    }
    try {
        for (int32_t i = 0; i < slotCount_; ++i)
            WriteFieldValue(handle, i, TVariant(*Slot(buffer, i)));
    } catch (...) {
        // A record the view never got would stay in the storage unseen.
        if (inserting)
            DeleteRecordHandle(handle);
        throw;
    }
    if (!inserting)
        view_.Delete(current_, 1);

    // Where the sorted position cannot be computed, the record goes where an unsorted post would
    // put it; it is in the view either way.
    int32_t position = std::clamp(current_, 0, view_.Count());
    if (inserting && GetBookmarkFlag(buffer) == bfEOF)
        position = view_.Count();
    try {
        if (!sort_.empty()) {
            std::vector<TField*> sortFields;
            GetFieldList(sortFields, sort_);
            int32_t sorted = 0;
            QuickFind(BufferKey(buffer, sortFields), sorted, loCaseInsensitive, true);
            position = sorted;
        }
    } catch (...) {
        view_.Insert(position, handle);
        current_ = position;
        throw;
    }
    view_.Insert(position, handle);
    current_ = position;
}

// --- Opening and refreshing -------------------------------------------------------------------------

const TClassInfo* TVynDataSet::GetFieldClass(TFieldType type) const {
    return VynFieldClass(TDataSet::GetFieldClass(type));
}

void TVynDataSet::InternalOpen() {
    SetBookmarkSize(static_cast<int32_t>(sizeof(TVynRecordHandle)));
    current_ = -1;
    InternalInitFieldDefs();
    if (DefaultFields())
        CreateFields();
    AfterCreateFields();
    BindFields(true);
    RTL_ASSERT(FieldCount() <= MaxFieldCount, "TVynDataSet.InternalOpen: FieldCount exceeds limits.");
    RTL_ASSERT(FieldCount() >= 1, "TVynDataSet.InternalOpen: FieldCount must be greater than zero.");
    slotCount_ = FieldCount();
    RefreshView();
}

void TVynDataSet::InternalClose() {
    if (DefaultFields())
        DestroyFields();
    current_ = -1;
    view_.Clear();
}

void TVynDataSet::InternalRefresh() {
    RefreshView();
}

void TVynDataSet::RefreshView() {
    const int32_t oldPosition = current_;
    const TVynRecordHandle currentHandle =
        current_ >= 0 && current_ < view_.Count() ? view_.Items(current_) : nullptr;
    LoadRecordHandles(view_, currentHandle);
    ApplyFilter(view_);
    ApplySort(view_);
    if (currentHandle != nullptr) {
        const int32_t position = view_.PositionOf(currentHandle);
        if (position >= 0) {
            current_ = position;
            return;
        }
        if (oldPosition < view_.Count())
            return;
    }
    current_ = -1;
    if (State() != dsInactive && State() != dsFilter)
        Resync(0);
}

bool TVynDataSet::FilteringActive() const {
    return Filtered() && (static_cast<bool>(OnFilterRecord()) || !Filter().empty());
}

void TVynDataSet::ApplyFilter(TVynList& view) {
    if (!FilteringActive())
        return;
    const TDataSetState old = SetTempState(dsFilter);
    try {
        TVynList accepted;
        First();
        while (!Eof()) {
            bool accept = false;
            if (OnFilterRecord())
                OnFilterRecord()(this, accept);
            else if (!Filter().empty())
                throw EVynGeneralError("TVynDataSet.Filter property is not supported yet.");
            if (accept) {
                TVynRecordHandle handle;
                std::memcpy(&handle, ActiveBuffer(), sizeof handle);
                accepted.Add(handle);
            }
            Next();
        }
        view.Clear();
        view.Assign(accepted);
    } catch (...) {
        RestoreState(old);
        throw;
    }
    RestoreState(old);
}

void TVynDataSet::ApplySort(TVynList& view) {
    if (sort_.empty())
        return;
    std::vector<TField*> sortFields;
    const TSortContext context(*this, sortFields);
    try {
        GetFieldList(sortFields, sort_);
    } catch (...) {
        sort_.clear();
        throw;
    }
    view.Sort(CompareSortKeys);
}

void TVynDataSet::SetSort(const AnsiString& sort) {
    if (sort == sort_)
        return;
    sort_ = sort;
    if (Active())
        Refresh();
}

void TVynDataSet::SetFiltered(bool filtered) {
    const bool wasActive = FilteringActive();
    TDataSet::SetFiltered(filtered);
    if (Active() && wasActive != FilteringActive())
        Refresh();
}

void TVynDataSet::SetFilterText(const AnsiString& text) {
    const bool wasActive = FilteringActive();
    const bool changed = text != Filter();
    TDataSet::SetFilterText(text);
    const bool isActive = FilteringActive();
    if (Active() && (wasActive != isActive || (isActive && changed)))
        Refresh();
}

void TVynDataSet::SetFilterOptions(TFilterOptions options) {
    const bool changed = options != FilterOptions();
    TDataSet::SetFilterOptions(options);
    if (Active() && FilteringActive() && changed)
        Refresh();
}

void TVynDataSet::SetOnFilterRecord(const TFilterRecordEvent& handler) {
    const bool wasActive = FilteringActive();
    const bool changed = handler.Code() != OnFilterRecord().Code();
    TDataSet::SetOnFilterRecord(handler);
    const bool isActive = FilteringActive();
    if (Active() && (wasActive != isActive || (isActive && changed)))
        Refresh();
}

// --- Keys and searching ----------------------------------------------------------------------------

TVariant TVynDataSet::RecordKey(TVynRecordHandle handle, const std::vector<TField*>& fields) {
    if (fields.size() == 1) {
        TVariant value;
        ReadFieldValue(handle, fields[0]->Index(), value);
        return value;
    }
    TVariant key = TVariant::CreateArray(0, static_cast<int32_t>(fields.size()) - 1);
    TVariant value;
    for (size_t i = 0; i < fields.size(); ++i) {
        ReadFieldValue(handle, fields[i]->Index(), value);
        key.SetElement(static_cast<int32_t>(i), value);
    }
    return key;
}

TVariant TVynDataSet::BufferKey(TRecordBuffer buffer, const std::vector<TField*>& fields) const {
    if (fields.size() == 1)
        return TVariant(*Slot(buffer, fields[0]->Index()));
    TVariant key = TVariant::CreateArray(0, static_cast<int32_t>(fields.size()) - 1);
    for (size_t i = 0; i < fields.size(); ++i)
        key.SetElement(static_cast<int32_t>(i), TVariant(*Slot(buffer, fields[i]->Index())));
    return key;
}

bool TVynDataSet::QuickFind(const TVariant& keyValues, int32_t& position, TLocateOptions options,
                            bool firstOfEquals) {
    RTL_ASSERT(!sort_.empty(), "QuickFind requires Sort fields.");
    std::vector<TField*> sortFields;
    GetFieldList(sortFields, sort_);
    bool found = false;
    int32_t lo = 0;
    int32_t hi = view_.Count() - 1;
    while (lo <= hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const int comparison = CompareVariants(RecordKey(view_.Items(mid), sortFields), keyValues, options);
        if (comparison < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (comparison == 0) {
                found = true;
                if (!firstOfEquals)
                    lo = mid;
            }
        }
    }
    position = lo;
    return found;
}

// The view is ordered without regard to case, so the search runs in that order; of the run of
// records equal to the key there, the first that matches under the caller's own options is the
// one a scan of the view would have found.
int32_t TVynDataSet::SortedFind(const std::vector<TField*>& keyFields, const TVariant& keyValues,
                                TLocateOptions options) {
    const TLocateOptions viewOptions = options | loCaseInsensitive;
    int32_t position = 0;
    if (!QuickFind(keyValues, position, viewOptions, true))
        return -1;
    for (; position < view_.Count(); ++position) {
        const TVariant key = RecordKey(view_.Items(position), keyFields);
        if (CompareVariants(key, keyValues, viewOptions) != 0)
            break;
        if (VarArrayEqual(key, keyValues, options))
            return position;
    }
    return -1;
}

int32_t TVynDataSet::FindRecord(const AnsiString& keyFields, const TVariant& keyValues, TLocateOptions options) {
    CheckBrowseMode();
    try {
        std::vector<TField*> keys;
        GetFieldList(keys, keyFields);
        std::vector<TField*> sortFields;
        if (!sort_.empty())
            GetFieldList(sortFields, sort_);
        if (sort_.empty() || keys != sortFields || !PartialKeyKeepsSortOrder(keys, keyValues, options)) {
            for (int32_t i = 0; i < view_.Count(); ++i)
                if (VarArrayEqual(RecordKey(view_.Items(i), keys), keyValues, options))
                    return i;
            return -1;
        }
        return SortedFind(keys, keyValues, options);
    } catch (const Exception&) {
        // An unknown field name or a value that does not convert: no record holds that key.
        return -1;
    }
}

bool TVynDataSet::Locate(const AnsiString& keyFields, const TVariant& keyValues, TLocateOptions options) {
    const int32_t position = FindRecord(keyFields, keyValues, options);
    if (position < 0)
        return false;
    DoBeforeScroll();
    current_ = position;
    Resync(rmExact | rmCenter);
    DoAfterScroll();
    return true;
}

TVariant TVynDataSet::Lookup(const AnsiString& keyFields, const TVariant& keyValues,
                             const AnsiString& resultFields) {
    const int32_t position = FindRecord(keyFields, keyValues, TLocateOptions());
    if (position < 0)
        return TVariant::Null();
    std::vector<TField*> fields;
    GetFieldList(fields, resultFields);
    return RecordKey(view_.Items(position), fields);
}

// --- Field data ------------------------------------------------------------------------------------

TRecordBuffer TVynDataSet::RequireActiveBuffer() const {
    const TRecordBuffer buffer = ActiveBuffer();
    if (buffer == nullptr)
        throw EVynInternalError(Format("Internal Error: %s not assigned.", {"ActiveBuffer"}));
    return buffer;
}

bool TVynDataSet::GetFieldData(TField* field, void* buffer, bool) {
    const VARIANT& slot = *Slot(RequireActiveBuffer(), field->Index());
    const bool hasValue = slot.vt != VT_NULL && slot.vt != VT_EMPTY;
    if (hasValue && buffer != nullptr)
        VarToBuffer(*field, TVariant(slot), buffer);
    return hasValue;
}

bool TVynDataSet::GetFieldData(int32_t fieldNo, void* buffer) {
    TField* field = FieldByNumber(fieldNo);
    return field != nullptr && GetFieldData(field, buffer, true);
}

void TVynDataSet::SetFieldData(TField* field, const void* buffer, bool) {
    const TRecordBuffer record = RequireActiveBuffer();
    TVariant value = buffer != nullptr ? BufferToVar(*field, buffer) : TVariant::Null();
    VARIANT* slot = Slot(record, field->Index());
    VariantClear(slot);
    *slot = value.Detach();
    DataEvent(deFieldChange, field);
}
