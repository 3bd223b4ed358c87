// The data-access framework's common ground: its error, the field types and the field
// definitions a data set describes its records with. Fields (Fields.h) and the data set
// (DataSet.h) build on it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Classes.h"
#include "Exceptions.h"
#include "Format.h"
#include "SysTypes.h"

RTL_DECLARE_EXCEPTION(EDatabaseError, Exception)

// Raises EDatabaseError with message, prefixed "<Name>: " when a named component is given.
[[noreturn]] void DatabaseError(const AnsiString& message, const TComponent* component = nullptr);
// DatabaseError with the message formatted by the framework's Format.
[[noreturn]] void DatabaseErrorFmt(const AnsiString& format, const std::vector<TVarRec>& args,
                                   const TComponent* component = nullptr);

enum TFieldType : uint8_t {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftAutoInc,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftInterface,
    ftIDispatch,
    ftGuid
};

// Field names compare without regard to case, as the user reads them (the system's comparison).
bool SameFieldName(const AnsiString& a, const AnsiString& b);

// "String", "Integer", ... as messages name the types.
const char* FieldTypeName(TFieldType type);

// One column a data set offers: what default fields are created from and fields are bound to.
class TFieldDef {
public:
    TFieldDef(AnsiString name, TFieldType dataType, int32_t size, bool required, int32_t fieldNo);

    const AnsiString& Name() const { return name_; }
    TFieldType DataType() const { return dataType_; }
    // Characters of a string column; 0 for types of a fixed size.
    int32_t Size() const { return size_; }
    bool Required() const { return required_; }
    // The 1-based number of the column among its data set's definitions.
    int32_t FieldNo() const { return fieldNo_; }

private:
    AnsiString name_;
    TFieldType dataType_;
    int32_t size_;
    bool required_;
    int32_t fieldNo_;
};

class TFieldDefs {
public:
    // EDatabaseError "Duplicate field name '%s'" for a name already defined (ignoring case).
    TFieldDef& Add(const AnsiString& name, TFieldType dataType, int32_t size = 0, bool required = false);
    void Clear() { items_.clear(); }
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    // EListError "List index out of bounds (%d)" outside 0..Count-1.
    const TFieldDef& Items(int32_t index) const;
    // -1 when no definition has that name (ignoring case).
    int32_t IndexOf(const AnsiString& name) const;
    const TFieldDef* Find(const AnsiString& name) const;

private:
    std::vector<std::unique_ptr<TFieldDef>> items_;
};
