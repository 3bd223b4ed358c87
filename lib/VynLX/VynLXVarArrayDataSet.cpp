#include "VynLXVarArrayDataSet.h"

#include <memory>

const TClassInfo& TVynVarArrayDataSet::StaticClassInfo() {
    static const TClassInfo info{"TVynVarArrayDataSet", &TVynDataSet::StaticClassInfo()};
    return info;
}

TVynVarArrayDataSet::TVynVarArrayDataSet(TComponent* owner) : TVynDataSet(owner) {}

TVynVarArrayDataSet::~TVynVarArrayDataSet() {
    // The engine's hooks and this storage must both still exist while the data set closes.
    CloseBeforeDestruction();
    ClearRecords();
}

void TVynVarArrayDataSet::ClearRecords() noexcept {
    for (int32_t i = 0; i < storage_.Count(); ++i)
        delete storage_.Items(i);
    storage_.Clear();
}

void TVynVarArrayDataSet::LoadRecordHandles(TVynList& view, TVynRecordHandle) {
    view.Assign(storage_);
}

void TVynVarArrayDataSet::ReadFieldValue(TVynRecordHandle handle, int32_t fieldIndex, TVariant& value) {
    value = static_cast<TVarArrayRecord*>(handle)->Values[static_cast<size_t>(fieldIndex)];
}

void TVynVarArrayDataSet::WriteFieldValue(TVynRecordHandle handle, int32_t fieldIndex, const TVariant& value) {
    static_cast<TVarArrayRecord*>(handle)->Values[static_cast<size_t>(fieldIndex)] = value;
}

void TVynVarArrayDataSet::DeleteRecordHandle(TVynRecordHandle handle) {
    // Found first: freeing a record the storage does not hold would leave the view pointing at
    // freed memory.
    const int32_t position = storage_.PositionOf(handle);
    storage_.Delete(position, 1);
    delete static_cast<TVarArrayRecord*>(handle);
}

TVynRecordHandle TVynVarArrayDataSet::NewRecordHandle() {
    auto record = std::make_unique<TVarArrayRecord>();
    record->Values.resize(static_cast<size_t>(FieldCount()));
    storage_.Add(record.get());
    return record.release();
}

void TVynVarArrayDataSet::InternalClose() {
    TVynDataSet::InternalClose();
    ClearRecords();
}
