// The in-memory data set whose records are arrays of variants on the heap, one element per field;
// the data set owns them all and keeps them only while open. It does not define fields: a
// subclass supplies the field definitions.
#pragma once

#include <vector>

#include "Variants.h"
#include "VynLXDataSet.h"
#include "VynLXList.h"

using TVariantArray = std::vector<TVariant>;

// The cell a record handle points at.
struct TVarArrayRecord {
    TVariantArray Values;
};

class TVynVarArrayDataSet : public TVynDataSet {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynVarArrayDataSet(TComponent* owner);
    // Closes, then releases whatever records remain.
    ~TVynVarArrayDataSet() override;

    // Releases every record, in creation order, and empties the storage.
    void ClearRecords() noexcept;
    // The records held, visible or filtered out, in creation order.
    const TVarArrayList& Storage() const { return storage_; }

protected:
    // The view becomes a copy of the storage; the current handle is not needed for that.
    void LoadRecordHandles(TVynList& view, TVynRecordHandle current) override;
    void ReadFieldValue(TVynRecordHandle handle, int32_t fieldIndex, TVariant& value) override;
    void WriteFieldValue(TVynRecordHandle handle, int32_t fieldIndex, const TVariant& value) override;
    // A handle the storage does not hold raises the list's "List index out of bounds (-1)" and
    // frees nothing.
    void DeleteRecordHandle(TVynRecordHandle handle) override;
    // A record of FieldCount empty values, appended to the storage.
    TVynRecordHandle NewRecordHandle() override;
    // Closing discards every record.
    void InternalClose() override;

private:
    TVarArrayList storage_;
};
