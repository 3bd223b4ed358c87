#include "DataSet.h"

#include <algorithm>

#include "Application.h"
#include "Format.h"

namespace {

bool IsEditing(TDataSetState state) {
    return state == dsEdit || state == dsInsert;
}

AnsiString Trimmed(const AnsiString& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == AnsiString::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// A data set event bound from a stored description: the handler is a published method of the
// description's root, called with the data set as its sender.
TPropInfo DataSetEventProperty(const char* name, TDataSetNotifyEvent TDataSet::*event) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkMethod;
    info.BindMethod = [event](TPersistent& instance, TComponent* root, const TMethodEntry* method) {
        auto& dataSet = static_cast<TDataSet&>(instance);
        if (method == nullptr) {
            dataSet.*event = nullptr;
            return;
        }
        if (!method->Invoke || root == nullptr)
            throw EConvertError("Invalid property value");
        dataSet.*event = [root, invoke = method->Invoke](TDataSet* sender) { invoke(*root, sender); };
    };
    return info;
}

} // namespace

// --- TFields ---------------------------------------------------------------------------------------

TField* TFields::Fields(int32_t index) const {
    if (index < 0 || index >= Count())
        throw EListError(Format("List index out of bounds (%d)", {index}));
    return items_[static_cast<size_t>(index)];
}

TField* TFields::FindField(const AnsiString& name) const {
    for (TField* field : items_)
        if (SameFieldName(field->FieldName(), name))
            return field;
    return nullptr;
}

int32_t TFields::IndexOf(const TField* field) const {
    const auto found = std::find(items_.begin(), items_.end(), field);
    return found == items_.end() ? -1 : static_cast<int32_t>(found - items_.begin());
}

// --- TDataSet: life -------------------------------------------------------------------------------

const TClassInfo& TDataSet::StaticClassInfo() {
    static const TClassInfo info = [] {
        TClassInfo result{"TDataSet", &TComponent::StaticClassInfo()};
        result.Properties = {
            BooleanProperty("Active", &TDataSet::Active, &TDataSet::SetActive),
            DataSetEventProperty("BeforeOpen", &TDataSet::BeforeOpen),
            DataSetEventProperty("AfterOpen", &TDataSet::AfterOpen),
            DataSetEventProperty("BeforeClose", &TDataSet::BeforeClose),
            DataSetEventProperty("AfterClose", &TDataSet::AfterClose),
            DataSetEventProperty("BeforeInsert", &TDataSet::BeforeInsert),
            DataSetEventProperty("AfterInsert", &TDataSet::AfterInsert),
            DataSetEventProperty("BeforeEdit", &TDataSet::BeforeEdit),
            DataSetEventProperty("AfterEdit", &TDataSet::AfterEdit),
            DataSetEventProperty("BeforePost", &TDataSet::BeforePost),
            DataSetEventProperty("AfterPost", &TDataSet::AfterPost),
            DataSetEventProperty("BeforeCancel", &TDataSet::BeforeCancel),
            DataSetEventProperty("AfterCancel", &TDataSet::AfterCancel),
            DataSetEventProperty("BeforeDelete", &TDataSet::BeforeDelete),
            DataSetEventProperty("AfterDelete", &TDataSet::AfterDelete),
            DataSetEventProperty("BeforeScroll", &TDataSet::BeforeScroll),
            DataSetEventProperty("AfterScroll", &TDataSet::AfterScroll),
        };
        return result;
    }();
    return info;
}

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
    try {
        if (defaultFields_)
            DestroyFields();
    } catch (...) {
        // A field's own destructor does not raise; nothing is left half done here.
    }
    while (!fields_.items_.empty())
        fields_.items_.back()->SetDataSet(nullptr);
}

void TDataSet::CloseBeforeDestruction() noexcept {
    if (state_ == dsInactive)
        return;
    try {
        state_ = dsInactive;
        CloseCursor();
    } catch (...) {
        InternalHandleException();
    }
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (streamedActive_) {
        streamedActive_ = false;
        SetActive(true);
    }
}

void TDataSet::SetActive(bool active) {
    if ((ComponentState() & csLoading) != 0) {
        streamedActive_ = active;
        return;
    }
    if (active == Active())
        return;
    if (active) {
        Notify(BeforeOpen);
        OpenCursor();
        try {
            SetState(dsBrowse);
            ClearBuffers();
            InternalFirst();
            GetNextRecord();
            GetNextRecords();
        } catch (...) {
            state_ = dsInactive;
            try {
                CloseCursor();
            } catch (...) {
                // The open's own failure is the one to report.
            }
            throw;
        }
        bof_ = true;
        eof_ = recordCount_ == 0;
        DataEvent(deDataSetChange);
        Notify(AfterOpen);
    } else {
        Notify(BeforeClose);
        SetState(dsInactive);
        CloseCursor();
        Notify(AfterClose);
    }
}

void TDataSet::OpenCursor() {
    defaultFields_ = fields_.Count() == 0;
    try {
        InternalOpen();
        AllocateBuffers();
    } catch (...) {
        try {
            CloseCursor();
        } catch (...) {
            // The open's own failure is the one to report.
        }
        state_ = dsInactive;
        throw;
    }
}

void TDataSet::CloseCursor() {
    FreeBuffers();
    BindFields(false);
    InternalClose();
    bof_ = eof_ = true;
}

void TDataSet::SetState(TDataSetState state) {
    if (state_ == state)
        return;
    state_ = state;
    modified_ = false;
    DataEvent(deUpdateState);
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    const TDataSetState old = state_;
    state_ = state;
    return old;
}

void TDataSet::RestoreState(TDataSetState state) {
    state_ = state;
}

void TDataSet::CheckActive() const {
    if (state_ == dsInactive)
        DatabaseError("Cannot perform this operation on a closed dataset", this);
}

void TDataSet::CheckInactive() const {
    if (state_ != dsInactive)
        DatabaseError("Cannot perform this operation on an open dataset", this);
}

void TDataSet::Notify(const TDataSetNotifyEvent& event) {
    if (event)
        event(this);
}

void TDataSet::DoBeforeScroll() {
    if (state_ != dsFilter)
        Notify(BeforeScroll);
}

void TDataSet::DoAfterScroll() {
    if (state_ != dsFilter)
        Notify(AfterScroll);
}

void TDataSet::DoBeforePost() {
    Notify(BeforePost);
}

void TDataSet::DoAfterInsert() {
    Notify(AfterInsert);
}

void TDataSet::InternalHandleException() {
    HandleExceptionInCallback(this);
}

// --- Fields ---------------------------------------------------------------------------------------

void TDataSet::AddField(TField* field) {
    if (fields_.IndexOf(field) < 0)
        fields_.items_.push_back(field);
}

void TDataSet::RemoveField(TField* field) {
    const auto found = std::find(fields_.items_.begin(), fields_.items_.end(), field);
    if (found != fields_.items_.end())
        fields_.items_.erase(found);
}

TField* TDataSet::FieldByName(const AnsiString& name) const {
    TField* field = fields_.FindField(name);
    if (field == nullptr)
        DatabaseErrorFmt("Field '%s' not found", {name}, this);
    return field;
}

TField* TDataSet::FieldByNumber(int32_t fieldNo) const {
    for (TField* field : fields_.items_)
        if (field->FieldNo() == fieldNo)
            return field;
    return nullptr;
}

void TDataSet::GetFieldList(std::vector<TField*>& list, const AnsiString& fieldNames) const {
    list.clear();
    size_t start = 0;
    while (start <= fieldNames.size()) {
        size_t end = fieldNames.find(';', start);
        if (end == AnsiString::npos)
            end = fieldNames.size();
        const AnsiString name = Trimmed(fieldNames.substr(start, end - start));
        if (!name.empty())
            list.push_back(FieldByName(name));
        start = end + 1;
    }
}

const TClassInfo* TDataSet::GetFieldClass(TFieldType type) const {
    return DefaultFieldClass(type);
}

void TDataSet::CreateFields() {
    for (int32_t i = 0; i < fieldDefs_.Count(); ++i) {
        const TFieldDef& def = fieldDefs_.Items(i);
        const TClassInfo* fieldClass = GetFieldClass(def.DataType());
        if (fieldClass == nullptr || fieldClass->Create == nullptr)
            DatabaseErrorFmt("Field '%s' is of an unknown type", {def.Name()}, this);
        std::unique_ptr<TComponent> made(fieldClass->Create(this));
        auto* field = dynamic_cast<TField*>(made.get());
        if (field == nullptr)
            DatabaseErrorFmt("Field '%s' is of an unknown type", {def.Name()}, this);
        field->SetFieldName(def.Name());
        field->SetFieldType(def.DataType());
        if (def.Size() != 0)
            field->SetSize(def.Size());
        field->SetRequired(def.Required());
        field->SetDataSet(this);
        static_cast<void>(made.release()); // the data set owns it now
    }
}

void TDataSet::DestroyFields() {
    while (!fields_.items_.empty())
        delete fields_.items_.back(); // the field leaves the list as it goes
}

void TDataSet::BindFields(bool binding) {
    for (TField* field : fields_.items_) {
        if (!binding) {
            field->Bind(0);
            continue;
        }
        const TFieldDef* def = fieldDefs_.Find(field->FieldName());
        if (def == nullptr)
            DatabaseErrorFmt("Field '%s' not found", {field->FieldName()}, this);
        if (def->DataType() != field->DataType())
            DatabaseErrorFmt("Type mismatch for field '%s', expecting: %s actual: %s",
                             {field->FieldName(), FieldTypeName(field->DataType()), FieldTypeName(def->DataType())},
                             this);
        field->Bind(def->FieldNo());
    }
}

void TDataSet::CheckRequiredFields() {
    for (TField* field : fields_.items_)
        if (field->Required() && !field->ReadOnly() && field->IsNull())
            DatabaseErrorFmt("Field '%s' must have a value", {field->FieldName()});
}

bool TDataSet::GetFieldData(TField*, void*, bool) {
    DatabaseError("Capability not supported", this);
}

bool TDataSet::GetFieldData(int32_t fieldNo, void* buffer) {
    TField* field = FieldByNumber(fieldNo);
    return field != nullptr && GetFieldData(field, buffer, true);
}

void TDataSet::SetFieldData(TField*, const void*, bool) {
    DatabaseError("Capability not supported", this);
}

TRecordBuffer TDataSet::ActiveBuffer() const {
    return buffers_.empty() ? nullptr : buffers_[static_cast<size_t>(activeRecord_)];
}

// --- Buffers --------------------------------------------------------------------------------------

void TDataSet::AllocateBuffers() {
    // The spare buffer past the ring is where a fetch lands before the ring takes it in.
    while (buffers_.size() < static_cast<size_t>(bufferCount_) + 1) {
        buffers_.push_back(nullptr);
        buffers_.back() = AllocRecordBuffer();
    }
}

void TDataSet::FreeBuffers() noexcept {
    for (TRecordBuffer& buffer : buffers_) {
        if (buffer == nullptr)
            continue;
        try {
            FreeRecordBuffer(buffer);
        } catch (...) {
            // Freeing memory of our own does not fail; nothing more to do for this buffer.
        }
    }
    buffers_.clear();
    ClearBuffers();
}

void TDataSet::ClearBuffers() {
    recordCount_ = 0;
    activeRecord_ = 0;
    currentRecord_ = -1;
    bof_ = eof_ = true;
}

void TDataSet::ActivateBuffers() {
    recordCount_ = 1;
    activeRecord_ = 0;
    currentRecord_ = 0;
    bof_ = eof_ = false;
}

void TDataSet::MoveBuffer(int32_t from, int32_t to) {
    if (from == to)
        return;
    const auto begin = buffers_.begin();
    if (from < to)
        std::rotate(begin + from, begin + from + 1, begin + to + 1);
    else
        std::rotate(begin + to, begin + from, begin + from + 1);
    if (currentRecord_ == from)
        currentRecord_ = to;
    else if (from < to && currentRecord_ > from && currentRecord_ <= to)
        --currentRecord_;
    else if (to < from && currentRecord_ >= to && currentRecord_ < from)
        ++currentRecord_;
}

void TDataSet::SetCurrentRecord(int32_t index) {
    if (currentRecord_ == index)
        return;
    const TRecordBuffer buffer = buffers_[static_cast<size_t>(index)];
    switch (GetBookmarkFlag(buffer)) {
    case bfCurrent:
    case bfInserted:
        InternalSetToRecord(buffer);
        break;
    case bfBOF:
        InternalFirst();
        break;
    case bfEOF:
        InternalLast();
        break;
    }
    currentRecord_ = index;
}

void TDataSet::UpdateCursorPos() {
    if (recordCount_ > 0)
        SetCurrentRecord(activeRecord_);
}

bool TDataSet::GetNextRecord() {
    AllocateBuffers();
    if (recordCount_ > 0)
        SetCurrentRecord(recordCount_ - 1);
    const bool found = GetRecord(buffers_[static_cast<size_t>(recordCount_)], gmNext, true) == grOK;
    if (!found) {
        CursorPosChanged();
        return false;
    }
    if (recordCount_ == 0)
        ActivateBuffers();
    else if (recordCount_ < bufferCount_)
        ++recordCount_;
    else
        MoveBuffer(0, recordCount_);
    currentRecord_ = recordCount_ - 1;
    return true;
}

bool TDataSet::GetPriorRecord() {
    AllocateBuffers();
    if (recordCount_ > 0)
        SetCurrentRecord(0);
    const bool found = GetRecord(buffers_[static_cast<size_t>(recordCount_)], gmPrior, true) == grOK;
    if (!found) {
        CursorPosChanged();
        return false;
    }
    if (recordCount_ == 0) {
        ActivateBuffers();
    } else {
        MoveBuffer(recordCount_, 0);
        if (recordCount_ < bufferCount_)
            ++recordCount_;
    }
    currentRecord_ = 0;
    return true;
}

int32_t TDataSet::GetNextRecords() {
    int32_t fetched = 0;
    while (recordCount_ < bufferCount_ && GetNextRecord())
        ++fetched;
    return fetched;
}

int32_t TDataSet::GetPriorRecords() {
    int32_t fetched = 0;
    while (recordCount_ < bufferCount_ && GetPriorRecord())
        ++fetched;
    return fetched;
}

void TDataSet::SetBufferCount(int32_t count) {
    count = std::max(count, 1);
    if (count == bufferCount_)
        return;
    if (!Active() || buffers_.empty()) {
        bufferCount_ = count;
        return;
    }
    CheckBrowseMode();
    UpdateCursorPos();
    FreeBuffers();
    bufferCount_ = count;
    AllocateBuffers();
    Resync(0);
}

void TDataSet::Resync(uint8_t mode) {
    AllocateBuffers();
    const TRecordBuffer spare = buffers_[static_cast<size_t>(recordCount_)];
    if ((mode & rmExact) != 0) {
        CursorPosChanged();
        if (GetRecord(spare, gmCurrent, true) != grOK)
            DatabaseError("Record not found", this);
    } else if (GetRecord(spare, gmCurrent, false) != grOK && GetRecord(spare, gmNext, false) != grOK &&
               GetRecord(spare, gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange);
        return;
    }
    const int32_t before = (mode & rmCenter) != 0 ? (bufferCount_ - 1) / 2 : activeRecord_;
    MoveBuffer(recordCount_, 0);
    ActivateBuffers();
    int32_t fetched = 0;
    while (fetched < before && GetPriorRecord())
        ++fetched;
    activeRecord_ = fetched;
    GetNextRecords();
    activeRecord_ += GetPriorRecords();
    DataEvent(deDataSetChange);
}

// --- Navigation -----------------------------------------------------------------------------------

void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
    } catch (...) {
        bof_ = true;
        DataEvent(deDataSetChange);
        throw;
    }
    bof_ = true;
    eof_ = recordCount_ == 0;
    DataEvent(deDataSetChange);
    DoAfterScroll();
}

void TDataSet::Last() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
    } catch (...) {
        eof_ = true;
        DataEvent(deDataSetChange);
        throw;
    }
    eof_ = true;
    bof_ = recordCount_ == 0;
    activeRecord_ = std::max(recordCount_ - 1, 0);
    DataEvent(deDataSetChange);
    DoAfterScroll();
}

int32_t TDataSet::MoveBy(int32_t distance) {
    CheckBrowseMode();
    if ((distance > 0 && eof_) || (distance < 0 && bof_) || distance == 0)
        return 0;
    DoBeforeScroll();
    bof_ = eof_ = false;
    int32_t moved = 0;
    while (distance > 0) {
        if (activeRecord_ < recordCount_ - 1)
            ++activeRecord_;
        else if (GetNextRecord())
            activeRecord_ = recordCount_ - 1;
        else {
            eof_ = true;
            break;
        }
        --distance;
        ++moved;
    }
    while (distance < 0) {
        if (activeRecord_ > 0)
            --activeRecord_;
        else if (GetPriorRecord())
            activeRecord_ = 0;
        else {
            bof_ = true;
            break;
        }
        ++distance;
        --moved;
    }
    DataEvent(deDataSetScroll);
    DoAfterScroll();
    return moved;
}

bool TDataSet::IsEmpty() const {
    return bof_ && eof_;
}

int32_t TDataSet::RecordCount() const {
    CheckActive();
    return GetRecordCount();
}

int32_t TDataSet::RecNo() {
    if (state_ == dsInactive)
        return -1;
    UpdateCursorPos();
    return GetRecNo();
}

void TDataSet::SetRecNo(int32_t) {}

// --- Editing --------------------------------------------------------------------------------------

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode);
    if (IsEditing(state_)) {
        UpdateRecord();
        if (modified_)
            Post();
        else
            Cancel();
    }
}

void TDataSet::UpdateRecord() {
    if (!IsEditing(state_))
        DatabaseError("Dataset not in edit or insert mode", this);
    DataEvent(deUpdateRecord);
}

void TDataSet::CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& handler) {
    for (;;) {
        try {
            operation();
            return;
        } catch (EDatabaseError& error) {
            TDataAction action = daFail;
            if (handler)
                handler(this, error, action);
            if (action == daFail)
                throw;
            if (action == daAbort)
                throw EAbort("Operation aborted");
        }
    }
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
    InternalInitRecord(buffer);
    SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    Notify(BeforeInsert);
    DoBeforeScroll();
}

void TDataSet::EndInsertAppend() {
    SetState(dsInsert);
    try {
        Notify(OnNewRecord);
    } catch (...) {
        UpdateCursorPos();
        SetState(dsBrowse);
        Resync(0);
        throw;
    }
    modified_ = false;
    DataEvent(deDataSetChange);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::Insert() {
    BeginInsertAppend();
    const TBookmark before = GetBookmark();
    AllocateBuffers();
    MoveBuffer(recordCount_, activeRecord_);
    const TRecordBuffer buffer = ActiveBuffer();
    InitRecord(buffer);
    if (recordCount_ == 0)
        SetBookmarkFlag(buffer, bfBOF);
    else if (!before.empty())
        SetBookmarkData(buffer, before.data());
    if (recordCount_ < bufferCount_)
        ++recordCount_;
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    AllocateBuffers();
    ClearBuffers();
    const TRecordBuffer buffer = buffers_[0];
    InitRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    recordCount_ = 1;
    bof_ = false;
    GetPriorRecords();
    activeRecord_ = recordCount_ - 1;
    InternalInsert();
    EndInsertAppend();
}

void TDataSet::InsertRecord(const std::vector<TVariant>& values) {
    AddRecord(values, false);
}

void TDataSet::AppendRecord(const std::vector<TVariant>& values) {
    AddRecord(values, true);
}

void TDataSet::AddRecord(const std::vector<TVariant>& values, bool append) {
    BeginInsertAppend();
    if (!append)
        UpdateCursorPos();
    const TBookmark before = append ? TBookmark() : GetBookmark();
    AllocateBuffers();
    MoveBuffer(recordCount_, activeRecord_);
    const TRecordBuffer buffer = ActiveBuffer();
    InitRecord(buffer);
    if (append)
        SetBookmarkFlag(buffer, bfEOF);
    else if (recordCount_ == 0)
        SetBookmarkFlag(buffer, bfBOF);
    else if (!before.empty())
        SetBookmarkData(buffer, before.data());
    if (recordCount_ < bufferCount_)
        ++recordCount_;
    // Observers see the record once it is stored, not the field values going in one by one.
    const TControlsDisabled quiet(*this);
    const TDataSetState old = SetTempState(dsInsert);
    try {
        for (size_t i = 0; i < values.size() && i < fields_.items_.size(); ++i)
            fields_.items_[i]->SetAsVariant(values[i]);
        UpdateCursorPos();
        InternalAddRecord(buffer, append);
    } catch (...) {
        RestoreState(old);
        Resync(0);
        throw;
    }
    RestoreState(old);
    Resync(0);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::Edit() {
    if (IsEditing(state_))
        return;
    CheckActive();
    if (recordCount_ == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    Notify(BeforeEdit);
    CheckOperation(
        [this] {
            UpdateCursorPos();
            InternalEdit();
        },
        OnEditError);
    SetState(dsEdit);
    DataEvent(deRecordChange);
    Notify(AfterEdit);
}

void TDataSet::Post() {
    UpdateRecord();
    DataEvent(deCheckBrowseMode);
    DoBeforePost();
    CheckOperation(
        [this] {
            UpdateCursorPos();
            InternalPost();
        },
        OnPostError);
    SetState(dsBrowse);
    Resync(0);
    Notify(AfterPost);
}

void TDataSet::Cancel() {
    if (!IsEditing(state_))
        return;
    DataEvent(deCheckBrowseMode);
    Notify(BeforeCancel);
    UpdateCursorPos();
    InternalCancel();
    SetState(dsBrowse);
    Resync(0);
    Notify(AfterCancel);
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert) {
        Cancel();
        return;
    }
    if (recordCount_ == 0)
        DatabaseError("Cannot perform this operation on an empty dataset", this);
    DataEvent(deCheckBrowseMode);
    Notify(BeforeDelete);
    DoBeforeScroll();
    CheckOperation(
        [this] {
            UpdateCursorPos();
            InternalDelete();
        },
        OnDeleteError);
    SetState(dsBrowse);
    Resync(0);
    Notify(AfterDelete);
    DoAfterScroll();
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    UpdateCursorPos();
    try {
        InternalRefresh();
    } catch (...) {
        Resync(0);
        throw;
    }
    Resync(0);
}

// --- Bookmarks ------------------------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() const {
    const TRecordBuffer buffer = ActiveBuffer();
    if (state_ == dsInactive || recordCount_ == 0 || bookmarkSize_ <= 0 || buffer == nullptr ||
        GetBookmarkFlag(buffer) != bfCurrent)
        return {};
    TBookmark bookmark(static_cast<size_t>(bookmarkSize_));
    GetBookmarkData(buffer, bookmark.data());
    return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty())
        return;
    if (bookmark.size() != static_cast<size_t>(bookmarkSize_))
        DatabaseError("Invalid bookmark", this);
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(bookmark.data());
    Resync(rmExact | rmCenter);
    DoAfterScroll();
}

int32_t TDataSet::CompareBookmarks(const void*, const void*) const {
    return 0;
}

// --- Searching and filtering ----------------------------------------------------------------------

bool TDataSet::Locate(const AnsiString&, const TVariant&, TLocateOptions) {
    DatabaseError("Capability not supported", this);
}

TVariant TDataSet::Lookup(const AnsiString&, const TVariant&, const AnsiString&) {
    DatabaseError("Capability not supported", this);
}

void TDataSet::SetFiltered(bool filtered) {
    filtered_ = filtered;
}

void TDataSet::SetFilterText(const AnsiString& text) {
    filterText_ = text;
}

void TDataSet::SetFilterOptions(TFilterOptions options) {
    filterOptions_ = options;
}

void TDataSet::SetOnFilterRecord(const TFilterRecordEvent& handler) {
    onFilterRecord_ = handler;
}

// --- Observers ------------------------------------------------------------------------------------

void TDataSet::DisableControls() {
    ++disableCount_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0)
        return;
    if (--disableCount_ == 0 && pendingChange_) {
        pendingChange_ = false;
        DataEvent(deDataSetChange);
    }
}

void TDataSet::DataEvent(TDataEvent event, TField* field) {
    if (event == deFieldChange) {
        if (IsEditing(state_))
            modified_ = true;
        if (field != nullptr && state_ != dsFilter)
            field->Change();
    }
    // A filter walks the records for itself; nobody watching the data set is to see that walk.
    if (state_ == dsFilter)
        return;
    if (disableCount_ != 0) {
        if (event != deCheckBrowseMode && event != deUpdateRecord)
            pendingChange_ = true;
        return;
    }
    if (!OnDataEvent)
        return;
    // Controls writing their pending text may refuse it, and that must stop the post; what they
    // raise while merely showing a change goes to the application's handler.
    if (event == deCheckBrowseMode || event == deUpdateRecord) {
        OnDataEvent(event, field);
        return;
    }
    try {
        OnDataEvent(event, field);
    } catch (...) {
        InternalHandleException();
    }
}
