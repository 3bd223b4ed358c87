// The in-memory data set engine: the framework's record hooks filled in once over opaque record
// handles, so that a storage only says how to create, delete, read and write a record. On top:
// a sort order by field names, filtering through OnFilterRecord, and locate/lookup with a binary
// search when the key fields are the sort fields.
//
// Record buffer: the header (the record handle, which is also the bookmark, then the bookmark
// flag, padded to a VARIANT's alignment) and one VARIANT per field, slot i for the field whose
// index is i. Handles are pointer-sized, so the header is 8 bytes on i686 and 16 on x86-64.
#pragma once

#include <cstdint>
#include <vector>

#include "DataSet.h"
#include "LocateOptions.h"
#include "UnitRegistry.h"
#include "Variants.h"
#include "VynLXList.h"

using TVynRecordHandle = void*;

class TVynDataSet : public TDataSet {
    RTL_DECLARE_CLASS_INFO()
public:
    // The most fields a record may have.
    static constexpr int32_t MaxFieldCount = 4095;

    explicit TVynDataSet(TComponent* owner);
    ~TVynDataSet() override;

    // Names of the sort fields, ";"-separated; empty keeps the storage order. A changed text
    // refreshes an open data set.
    const AnsiString& Sort() const { return sort_; }
    void SetSort(const AnsiString& sort);

    int32_t CompareBookmarks(const void* bookmark1, const void* bookmark2) const override;
    bool Locate(const AnsiString& keyFields, const TVariant& keyValues, TLocateOptions options) override;
    TVariant Lookup(const AnsiString& keyFields, const TVariant& keyValues, const AnsiString& resultFields) override;
    void SetRecNo(int32_t recNo) override;

    // These refresh an open data set when filtering turns on or off, or, while it stays on, when
    // the filter changes; a closed one only takes the value.
    void SetFiltered(bool filtered) override;
    void SetFilterText(const AnsiString& text) override;
    void SetFilterOptions(TFilterOptions options) override;
    void SetOnFilterRecord(const TFilterRecordEvent& handler) override;

    using TDataSet::GetFieldData;
    using TDataSet::SetFieldData;
    // EVynInternalError "Internal Error: ActiveBuffer not assigned." without buffers.
    bool GetFieldData(TField* field, void* buffer, bool nativeFormat) override;
    bool GetFieldData(int32_t fieldNo, void* buffer) override;
    void SetFieldData(TField* field, const void* buffer, bool nativeFormat) override;

    // The binary search over the sorted view: position = the first record whose key is not below
    // keyValues under options (every caller asks for the first of equals); true when one equals it.
    // Without Sort: EAssertionFailed "QuickFind requires Sort fields.".
    bool QuickFind(const TVariant& keyValues, int32_t& position, TLocateOptions options, bool firstOfEquals);

protected:
    // --- What a storage supplies ------------------------------------------------------------------
    // Replaces view's contents with the handles of all stored records, in storage order.
    virtual void LoadRecordHandles(TVynList& view, TVynRecordHandle current) = 0;
    virtual void ReadFieldValue(TVynRecordHandle handle, int32_t fieldIndex, TVariant& value) = 0;
    virtual void WriteFieldValue(TVynRecordHandle handle, int32_t fieldIndex, const TVariant& value) = 0;
    virtual void DeleteRecordHandle(TVynRecordHandle handle) = 0;
    virtual TVynRecordHandle NewRecordHandle() = 0;
    // The view position of the first record whose keyFields hold keyValues, or -1.
    virtual int32_t FindRecord(const AnsiString& keyFields, const TVariant& keyValues, TLocateOptions options);
    // Keeps only the records the filter accepts.
    virtual void ApplyFilter(TVynList& view);
    // Orders view by Sort (case-insensitively).
    virtual void ApplySort(TVynList& view);
    // After the fields exist, before they are bound.
    virtual void AfterCreateFields() {}

    // --- The framework's hooks --------------------------------------------------------------------
    // The framework's class passed through the Unicode substitution.
    const TClassInfo* GetFieldClass(TFieldType type) const override;
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& buffer) override;
    uint32_t GetRecordSize() const override;
    void GetBookmarkData(TRecordBuffer buffer, void* data) const override;
    void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) const override;
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
    void InternalInitRecord(TRecordBuffer buffer) override;
    void InternalGotoBookmark(const void* bookmark) override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalFirst() override;
    void InternalLast() override;
    void InternalInsert() override;
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void InternalDelete() override;
    void InternalPost() override;
    void InternalRefresh() override;
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override;
    int32_t GetRecordCount() const override;
    int32_t GetRecNo() const override;

    // The view position of the cursor: -1 before the first record, the view's count after the last.
    int32_t CurrentPosition() const { return current_; }
    const TVynList& View() const { return view_; }
    // The key of a stored record for fields: the one value, or an array (lower bound 0) of them.
    TVariant RecordKey(TVynRecordHandle handle, const std::vector<TField*>& fields);

private:
    friend int CompareSortKeys(void* item1, void* item2);

    bool FilteringActive() const;
    // Reloads the view from the storage, filtered and sorted, keeping the current record.
    void RefreshView();
    void SnapRecordPosition(bool requireRecords);
    int32_t SortedFind(const std::vector<TField*>& keyFields, const TVariant& keyValues, TLocateOptions options);
    TVariant BufferKey(TRecordBuffer buffer, const std::vector<TField*>& fields) const;
    VARIANT* Slot(TRecordBuffer buffer, int32_t fieldIndex) const;
    TRecordBuffer RequireActiveBuffer() const;

    TVynList view_;
    int32_t current_ = -1;
    AnsiString sort_;
    // The fields a buffer has slots for, fixed while open.
    int32_t slotCount_ = 0;
};

// The unit's start makes the lock that serialises every data set's sorting; its end frees it.
extern const TUnitInfo VynLXDataSetUnit;
