// The data-access framework's data set: a cursor over records kept by a subclass, seen through a
// ring of record buffers (BufferCount of them, plus one spare for fetching), with the states
// browse / edit / insert, navigation, editing, bookmarks, filtering and events. The subclass
// decides how records are stored through the protected hooks; every hook that acts on a record
// is called with the storage cursor on the active record.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Classes.h"
#include "DB.h"
#include "Fields.h"
#include "LocateOptions.h"
#include "SysTypes.h"
#include "Variants.h"

enum TDataSetState : uint8_t { dsInactive, dsBrowse, dsEdit, dsInsert, dsFilter };

// What the record fetch is asked for, and what it found.
enum TGetMode : uint8_t { gmCurrent, gmNext, gmPrior };
enum TGetResult : uint8_t { grOK, grBOF, grEOF, grError };
// Where a buffer stands: on a record, before the first, after the last (appending), inserted.
enum TBookmarkFlag : uint8_t { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };

// Resynchronisation modes, as bits: rmExact (the current record must exist), rmCenter (place it
// in the middle of the ring instead of keeping the active buffer's index).
enum TResyncMode : uint8_t { rmExact = 1, rmCenter = 2 };

// What observers of a data set (the controls showing it) are told.
enum TDataEvent : uint8_t {
    deFieldChange,
    deRecordChange,
    deDataSetChange,
    deDataSetScroll,
    deLayoutChange,
    deUpdateRecord,
    deUpdateState,
    deCheckBrowseMode
};

enum TFilterOption : uint8_t { foCaseInsensitive = 0, foNoPartialCompare = 1 };
// A set of TFilterOption bits.
using TFilterOptions = uint8_t;

// What a handler of OnDeleteError / OnEditError / OnPostError decides.
enum TDataAction : uint8_t { daFail, daAbort, daRetry };

using TRecordBuffer = uint8_t*;
// A bookmark's bytes (BookmarkSize of them); empty for no bookmark.
using TBookmark = std::vector<uint8_t>;

class TDataSet;
using TDataSetNotifyEvent = std::function<void(TDataSet* dataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet* dataSet, EDatabaseError& error, TDataAction& action)>;
// An observer: the event, and the field for deFieldChange.
using TDataEventHandler = std::function<void(TDataEvent event, TField* field)>;

// The filter handler. Code identifies the handler (two events with the same code are the same
// handler): the data sets refresh when a different one is set.
class TFilterRecordEvent {
public:
    using Handler = std::function<void(TDataSet* dataSet, bool& accept)>;
    TFilterRecordEvent() = default;
    TFilterRecordEvent(std::nullptr_t) {}
    TFilterRecordEvent(Handler handler, const void* code) : handler_(std::move(handler)), code_(code) {}
    // A member function of object; its code identifies it.
    template <class C> static TFilterRecordEvent Method(C* object, void (C::*method)(TDataSet*, bool&)) {
        return TFilterRecordEvent([object, method](TDataSet* d, bool& a) { (object->*method)(d, a); },
                                  MethodCode(method));
    }

    explicit operator bool() const { return static_cast<bool>(handler_); }
    const void* Code() const { return handler_ ? code_ : nullptr; }
    void operator()(TDataSet* dataSet, bool& accept) const { handler_(dataSet, accept); }

private:
    // One address per distinct member function: a function-local static of an instantiation
    // keyed by the member pointer's bytes.
    template <class M> static const void* MethodCode(M method);

    Handler handler_;
    const void* code_ = nullptr;
};

class TFields {
public:
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    // EListError "List index out of bounds (%d)" outside 0..Count-1.
    TField* Fields(int32_t index) const;
    TField* operator[](int32_t index) const { return Fields(index); }
    // Ignoring case; null when absent.
    TField* FindField(const AnsiString& name) const;
    int32_t IndexOf(const TField* field) const;

private:
    friend class TDataSet;
    std::vector<TField*> items_;
};

class TDataSet : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TDataSet(TComponent* owner);
    // Frees the default fields and lets go of the others. A storage class closes the data set in
    // its own destructor (CloseBeforeDestruction), while its hooks still exist.
    ~TDataSet() override;

    // --- State ----------------------------------------------------------------------------------
    bool Active() const { return state_ != dsInactive; }
    // While a description is read, the value waits for Loaded.
    void SetActive(bool active);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    TDataSetState State() const { return state_; }
    bool Modified() const { return modified_; }

    // The buffers of the ring (at least 1). Changing it while open keeps the current record.
    int32_t BufferCount() const { return bufferCount_; }
    void SetBufferCount(int32_t count);

    // --- Fields ---------------------------------------------------------------------------------
    TFieldDefs& FieldDefs() { return fieldDefs_; }
    const TFieldDefs& FieldDefs() const { return fieldDefs_; }
    const TFields& Fields() const { return fields_; }
    int32_t FieldCount() const { return fields_.Count(); }
    TField* FindField(const AnsiString& name) const { return fields_.FindField(name); }
    // EDatabaseError "Field '%s' not found" (named after the data set).
    TField* FieldByName(const AnsiString& name) const;
    // The field bound to column fieldNo (1-based); null when none.
    TField* FieldByNumber(int32_t fieldNo) const;
    // The fields of a ";"-separated list of names (each trimmed), in its order; an unknown name
    // raises as FieldByName.
    void GetFieldList(std::vector<TField*>& list, const AnsiString& fieldNames) const;
    // Whether the fields were made from the definitions at open (and go at close).
    bool DefaultFields() const { return defaultFields_; }

    // --- Navigation -----------------------------------------------------------------------------
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Moves up to distance records (negative: back); returns how many it moved.
    int32_t MoveBy(int32_t distance);
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    bool IsEmpty() const;
    int32_t RecordCount() const;
    // 1-based, of the active record; -1 where the data set cannot tell.
    int32_t RecNo();
    // Moves to record recNo where the data set can; by default nothing happens.
    virtual void SetRecNo(int32_t recNo);

    // --- Editing --------------------------------------------------------------------------------
    // Edit of an empty data set inserts.
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    // Stores a record of values (one per field, in field order; fewer leave the rest null) in one
    // step, before the active record or after the last, through InternalAddRecord.
    void InsertRecord(const std::vector<TVariant>& values);
    void AppendRecord(const std::vector<TVariant>& values);
    // Posts a pending edit or insert; EDatabaseError "Cannot perform this operation on a closed
    // dataset" when closed.
    void CheckBrowseMode();
    // The framework's check before posting: every required field has a value, else
    // EDatabaseError "Field '%s' must have a value".
    void CheckRequiredFields();
    // Sends deUpdateRecord, so controls write their pending text into the fields.
    void UpdateRecord();

    // --- Bookmarks ------------------------------------------------------------------------------
    int32_t BookmarkSize() const { return bookmarkSize_; }
    // The active record's bookmark; empty when there is no record.
    TBookmark GetBookmark() const;
    void GotoBookmark(const TBookmark& bookmark);
    // 1 when the first lies after the second, -1 before, 0 equal.
    virtual int32_t CompareBookmarks(const void* bookmark1, const void* bookmark2) const;

    // --- Searching ------------------------------------------------------------------------------
    // Moves to the first record whose keyFields (";" list) hold keyValues (one value, or an array
    // for several fields); false, not moving, when none does.
    virtual bool Locate(const AnsiString& keyFields, const TVariant& keyValues, TLocateOptions options);
    // The resultFields of the first record holding keyValues; Null when none. Does not move.
    virtual TVariant Lookup(const AnsiString& keyFields, const TVariant& keyValues,
                            const AnsiString& resultFields);

    // --- Filtering ------------------------------------------------------------------------------
    bool Filtered() const { return filtered_; }
    virtual void SetFiltered(bool filtered);
    const AnsiString& Filter() const { return filterText_; }
    virtual void SetFilterText(const AnsiString& text);
    TFilterOptions FilterOptions() const { return filterOptions_; }
    virtual void SetFilterOptions(TFilterOptions options);
    const TFilterRecordEvent& OnFilterRecord() const { return onFilterRecord_; }
    virtual void SetOnFilterRecord(const TFilterRecordEvent& handler);

    // Rereads the records from storage, keeping the current one where it still exists.
    void Refresh();
    // Resynchronises the ring with the storage cursor (TResyncMode bits).
    void Resync(uint8_t mode);

    // --- Controls -------------------------------------------------------------------------------
    // Suspends the observers until the matching EnableControls, which sends one deDataSetChange
    // if anything happened meanwhile.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ != 0; }
    // The observer of this data set (controls); called unless controls are disabled.
    TDataEventHandler OnDataEvent;

    // --- Field data -----------------------------------------------------------------------------
    // The active buffer's value of field in the field's buffer form; false when it has none.
    virtual bool GetFieldData(TField* field, void* buffer, bool nativeFormat);
    bool GetFieldData(TField* field, void* buffer) { return GetFieldData(field, buffer, true); }
    virtual bool GetFieldData(int32_t fieldNo, void* buffer);
    virtual void SetFieldData(TField* field, const void* buffer, bool nativeFormat);
    void SetFieldData(TField* field, const void* buffer) { SetFieldData(field, buffer, true); }
    // The buffer of the active record; null while there are no buffers.
    TRecordBuffer ActiveBuffer() const;

    // Tells the observers (and, for deFieldChange, the field and the modified flag).
    void DataEvent(TDataEvent event, TField* field = nullptr);

    // --- Events ---------------------------------------------------------------------------------
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent OnNewRecord;
    TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

    void Loaded() override;

protected:
    // --- Hooks of the storage --------------------------------------------------------------------
    // The class of a field of this type; by default DefaultFieldClass.
    virtual const TClassInfo* GetFieldClass(TFieldType type) const;
    virtual TRecordBuffer AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
    // Bytes of one record buffer.
    virtual uint32_t GetRecordSize() const = 0;
    virtual void GetBookmarkData(TRecordBuffer buffer, void* data) const = 0;
    virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) const = 0;
    virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;
    // Fetches the record at, after or before the storage cursor into buffer and moves the cursor
    // there; with doCheck, a failure to read the current record raises.
    virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) = 0;
    virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
    virtual void InternalGotoBookmark(const void* bookmark) = 0;
    virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    // At the start of an insert, with the new buffer active.
    virtual void InternalInsert() {}
    virtual void InternalEdit() {}
    virtual void InternalCancel() {}
    // Stores buffer as a new record (append: after the last).
    virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;
    virtual void InternalDelete() = 0;
    virtual void InternalPost() = 0;
    virtual void InternalRefresh() {}
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    // Hands the exception being handled to the application's exception handler.
    virtual void InternalHandleException();
    virtual void InternalInitFieldDefs() = 0;
    virtual bool IsCursorOpen() const = 0;
    virtual int32_t GetRecordCount() const { return -1; }
    virtual int32_t GetRecNo() const { return -1; }

    // --- Services for the storage ---------------------------------------------------------------
    void SetBookmarkSize(int32_t size) { bookmarkSize_ = size; }
    // Creates a field per definition (GetFieldClass), owned by this data set.
    void CreateFields();
    void DestroyFields();
    // Binds every field to the definition of its name (EDatabaseError "Field '%s' not found" or
    // "Type mismatch for field '%s', expecting: %s actual: %s"); false unbinds.
    void BindFields(bool binding);
    // Enters a temporary state (dsFilter while a filter walks the records); RestoreState leaves it.
    TDataSetState SetTempState(TDataSetState state);
    void RestoreState(TDataSetState state);
    // The storage cursor no longer matches any buffer.
    void CursorPosChanged() { currentRecord_ = -1; }
    // Puts the storage cursor on the active record.
    void UpdateCursorPos();
    // Runs operation; an EDatabaseError is offered to handler, which may retry or abort.
    void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& handler);
    void CheckActive() const;
    void CheckInactive() const;
    void DoBeforeScroll();
    void DoAfterScroll();
    // The BeforePost and AfterInsert events; a data set that must act around them (check a
    // record before it is stored, give a new record its defaults) overrides these and calls
    // them. DoAfterInsert also runs after InsertRecord/AppendRecord, when the record is stored.
    virtual void DoBeforePost();
    virtual void DoAfterInsert();
    // For the destructor of the storage class, while its hooks still exist: closes without
    // events; nothing raised leaves it.
    void CloseBeforeDestruction() noexcept;

private:
    friend class TField;
    void AddField(TField* field);
    void RemoveField(TField* field);

    void OpenCursor();
    void CloseCursor();
    void AddRecord(const std::vector<TVariant>& values, bool append);
    void SetState(TDataSetState state);
    void AllocateBuffers();
    void FreeBuffers() noexcept;
    void ClearBuffers();
    void ActivateBuffers();
    void SetCurrentRecord(int32_t index);
    bool GetNextRecord();
    bool GetPriorRecord();
    int32_t GetNextRecords();
    int32_t GetPriorRecords();
    // Moves the buffer at from to position to, shifting those between.
    void MoveBuffer(int32_t from, int32_t to);
    void BeginInsertAppend();
    void EndInsertAppend();
    void InitRecord(TRecordBuffer buffer);
    void Notify(const TDataSetNotifyEvent& event);

    TDataSetState state_ = dsInactive;
    bool modified_ = false;
    bool streamedActive_ = false;
    bool defaultFields_ = false;
    bool bof_ = true;
    bool eof_ = true;
    int32_t bufferCount_ = 1;
    std::vector<TRecordBuffer> buffers_;
    // Buffers holding records: 0..recordCount_-1.
    int32_t recordCount_ = 0;
    int32_t activeRecord_ = 0;
    // The buffer the storage cursor is on; -1 unknown.
    int32_t currentRecord_ = -1;
    int32_t bookmarkSize_ = 0;
    int32_t disableCount_ = 0;
    bool pendingChange_ = false;
    TFieldDefs fieldDefs_;
    TFields fields_;
    bool filtered_ = false;
    AnsiString filterText_;
    TFilterOptions filterOptions_ = 0;
    TFilterRecordEvent onFilterRecord_;
};

// DisableControls for a scope, EnableControls on every exit.
class TControlsDisabled {
public:
    explicit TControlsDisabled(TDataSet& dataSet) : dataSet_(dataSet) { dataSet_.DisableControls(); }
    ~TControlsDisabled() { dataSet_.EnableControls(); }
    TControlsDisabled(const TControlsDisabled&) = delete;
    TControlsDisabled& operator=(const TControlsDisabled&) = delete;

private:
    TDataSet& dataSet_;
};

template <class M> const void* TFilterRecordEvent::MethodCode(M method) {
    struct Entry {
        M method;
        const void* code;
    };
    static std::mutex lock;
    static std::vector<std::unique_ptr<Entry>> known;
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& entry : known)
        if (entry->method == method)
            return entry.get();
    known.push_back(std::make_unique<Entry>(Entry{method, nullptr}));
    return known.back().get();
}
