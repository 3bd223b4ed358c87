// A small data set for the tests of fields: records of variants kept in memory, one variant per
// field, each field's buffer form converted to a variant of its type and back, so that a test sees
// exactly what a field hands its data set.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DataSet.h"

struct TTestColumn {
    AnsiString Name;
    TFieldType Type;
    int32_t Size = 0;
    bool Required = false;
};

class TFieldsTestDataSet : public TDataSet {
public:
    // The field class of each type passes through substitute, where one is given.
    using Substitution = std::function<const TClassInfo*(const TClassInfo*)>;

    explicit TFieldsTestDataSet(std::vector<TTestColumn> columns, Substitution substitute = nullptr)
        : TDataSet(nullptr), columns_(std::move(columns)), substitute_(std::move(substitute)) {
        SetName("TestData");
    }
    ~TFieldsTestDataSet() override { CloseBeforeDestruction(); }

    // The stored value of a field of record (storage order).
    const TVariant& Stored(int32_t record, int32_t fieldIndex) const {
        return records_.at(static_cast<size_t>(record)).values.at(static_cast<size_t>(fieldIndex));
    }
    int32_t StoredCount() const { return static_cast<int32_t>(records_.size()); }

    // Opens with one empty record and puts it into edit mode: what most field tests start from.
    void OpenEditing() {
        Open();
        Append();
        Post();
        Edit();
    }

protected:
    const TClassInfo* GetFieldClass(TFieldType type) const override {
        const TClassInfo* framework = TDataSet::GetFieldClass(type);
        return substitute_ ? substitute_(framework) : framework;
    }

    TRecordBuffer AllocRecordBuffer() override { return reinterpret_cast<TRecordBuffer>(new Buffer); }
    void FreeRecordBuffer(TRecordBuffer& buffer) override {
        delete reinterpret_cast<Buffer*>(buffer);
        buffer = nullptr;
    }
    uint32_t GetRecordSize() const override { return sizeof(Buffer); }
    void GetBookmarkData(TRecordBuffer buffer, void* data) const override {
        std::memcpy(data, &BufferOf(buffer).id, sizeof(int32_t));
    }
    void SetBookmarkData(TRecordBuffer buffer, const void* data) override {
        std::memcpy(&BufferOf(buffer).id, data, sizeof(int32_t));
    }
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) const override { return BufferOf(buffer).flag; }
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override { BufferOf(buffer).flag = flag; }

    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override {
        const int32_t count = StoredCount();
        TGetResult result = grOK;
        if (count == 0) {
            current_ = -1;
            result = grEOF;
        } else if (mode == gmCurrent) {
            if (current_ < 0 || current_ >= count)
                result = grError;
        } else if (mode == gmNext) {
            if (current_ < count - 1)
                ++current_;
            else {
                current_ = count;
                result = grEOF;
            }
        } else if (current_ < 1) {
            current_ = -1;
            result = grBOF;
        } else {
            --current_;
        }
        if (result != grOK) {
            InternalInitRecord(buffer);
            if (result == grError && doCheck)
                DatabaseError("no current record");
            return result;
        }
        Buffer& target = BufferOf(buffer);
        target.id = records_[static_cast<size_t>(current_)].id;
        target.flag = bfCurrent;
        target.values = records_[static_cast<size_t>(current_)].values;
        return grOK;
    }
    void InternalInitRecord(TRecordBuffer buffer) override {
        Buffer& target = BufferOf(buffer);
        target.id = 0;
        target.flag = bfCurrent;
        target.values.assign(static_cast<size_t>(FieldCount()), TVariant::Null());
    }
    void InternalGotoBookmark(const void* bookmark) override {
        int32_t id = 0;
        std::memcpy(&id, bookmark, sizeof id);
        current_ = PositionOf(id);
    }
    void InternalSetToRecord(TRecordBuffer buffer) override { current_ = PositionOf(BufferOf(buffer).id); }
    void InternalFirst() override { current_ = -1; }
    void InternalLast() override { current_ = StoredCount(); }
    void InternalAddRecord(TRecordBuffer buffer, bool append) override {
        if (append)
            SetBookmarkFlag(buffer, bfEOF);
        InternalPost();
    }
    void InternalDelete() override {
        records_.erase(records_.begin() + current_);
        current_ = std::min(current_, StoredCount() - 1);
    }
    void InternalPost() override {
        CheckRequiredFields();
        const Buffer& source = BufferOf(ActiveBuffer());
        if (State() == dsEdit) {
            records_[static_cast<size_t>(current_)].values = source.values;
            return;
        }
        const int32_t position =
            source.flag == bfEOF ? StoredCount() : std::clamp(current_, 0, StoredCount());
        records_.insert(records_.begin() + position, Record{++lastId_, source.values});
        current_ = position;
    }
    void InternalOpen() override {
        SetBookmarkSize(sizeof(int32_t));
        InternalInitFieldDefs();
        if (DefaultFields())
            CreateFields();
        BindFields(true);
        open_ = true;
        current_ = -1;
    }
    void InternalClose() override {
        if (DefaultFields())
            DestroyFields();
        open_ = false;
    }
    void InternalInitFieldDefs() override {
        FieldDefs().Clear();
        for (const TTestColumn& column : columns_)
            FieldDefs().Add(column.Name, column.Type, column.Size, column.Required);
    }
    bool IsCursorOpen() const override { return open_; }
    int32_t GetRecordCount() const override { return StoredCount(); }

public:
    bool GetFieldData(TField* field, void* buffer, bool) override {
        const TRecordBuffer active = ActiveBuffer();
        if (active == nullptr)
            return false;
        const TVariant& value = BufferOf(active).values.at(static_cast<size_t>(field->Index()));
        if (value.IsNull() || value.IsEmpty())
            return false;
        if (buffer != nullptr)
            ToBuffer(*field, value, buffer);
        return true;
    }
    void SetFieldData(TField* field, const void* buffer, bool) override {
        const TRecordBuffer active = ActiveBuffer();
        if (active == nullptr)
            DatabaseError("no active buffer");
        TVariant& slot = BufferOf(active).values.at(static_cast<size_t>(field->Index()));
        slot = buffer != nullptr ? FromBuffer(*field, buffer) : TVariant::Null();
        DataEvent(deFieldChange, field);
    }
    using TDataSet::GetFieldData;
    using TDataSet::SetFieldData;

private:
    struct Buffer {
        int32_t id = 0;
        TBookmarkFlag flag = bfCurrent;
        std::vector<TVariant> values;
    };
    struct Record {
        int32_t id;
        std::vector<TVariant> values;
    };

    static Buffer& BufferOf(TRecordBuffer buffer) { return *reinterpret_cast<Buffer*>(buffer); }
    int32_t PositionOf(int32_t id) const {
        for (int32_t i = 0; i < StoredCount(); ++i)
            if (records_[static_cast<size_t>(i)].id == id)
                return i;
        DatabaseError("Bookmark not found.");
    }

    // The buffer forms of the field types, as the fields document them.
    static void ToBuffer(const TField& field, const TVariant& value, void* buffer) {
        switch (field.DataType()) {
        case ftString:
        case ftFixedChar:
        case ftGuid:
            *static_cast<AnsiString*>(buffer) = value.AsAnsi();
            return;
        case ftWideString:
            *static_cast<WideString*>(buffer) = value.AsWide();
            return;
        case ftSmallint:
            *static_cast<int16_t*>(buffer) = value.ChangeType(VT_I2).Value().iVal;
            return;
        case ftWord:
            *static_cast<uint16_t*>(buffer) = value.ChangeType(VT_UI2).Value().uiVal;
            return;
        case ftInteger:
        case ftAutoInc:
            *static_cast<int32_t*>(buffer) = value.AsInteger();
            return;
        case ftBoolean:
            *static_cast<int16_t*>(buffer) = value.AsBoolean() ? 1 : 0;
            return;
        case ftBCD:
            *static_cast<int64_t*>(buffer) = value.ChangeType(VT_CY).Value().cyVal.int64;
            return;
        case ftLargeint:
            *static_cast<int64_t*>(buffer) = value.AsInt64();
            return;
        case ftInterface:
        case ftIDispatch: {
            const TVariant reference =
                value.ChangeType(field.DataType() == ftIDispatch ? VT_DISPATCH : VT_UNKNOWN);
            IUnknown* held = reference.Value().punkVal;
            if (held != nullptr)
                held->AddRef(); // the reader owns it
            *static_cast<IUnknown**>(buffer) = held;
            return;
        }
        default:
            *static_cast<double*>(buffer) = value.AsDouble();
            return;
        }
    }
    static TVariant FromBuffer(const TField& field, const void* buffer) {
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
        case ftBCD:
            return TVariant::FromCurrency(*static_cast<const int64_t*>(buffer));
        case ftLargeint:
            return TVariant::FromInt64(*static_cast<const int64_t*>(buffer));
        case ftDate:
        case ftTime:
        case ftDateTime:
            return TVariant::FromDate(*static_cast<const double*>(buffer));
        case ftInterface:
        case ftIDispatch: {
            VARIANT borrowed;
            ::VariantInit(&borrowed);
            borrowed.vt = field.DataType() == ftIDispatch ? VT_DISPATCH : VT_UNKNOWN;
            borrowed.punkVal = *static_cast<IUnknown* const*>(buffer);
            return TVariant(borrowed); // the copy takes its own reference
        }
        default:
            return TVariant::FromDouble(*static_cast<const double*>(buffer));
        }
    }

    std::vector<TTestColumn> columns_;
    Substitution substitute_;
    std::vector<Record> records_;
    int32_t lastId_ = 0;
    int32_t current_ = -1;
    bool open_ = false;
};
