#include "DB.h"

#include <algorithm>
#include <iterator>

#include "TextConversion.h"
#include "WideCompare.h"

namespace {

bool IsAscii(const AnsiString& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

// ASCII names (nearly all) are compared without a conversion and a system call each: a data set's
// definitions and fields are looked up by name once per field while it opens.
bool SameFieldName(const AnsiString& a, const AnsiString& b) {
    if (IsAscii(a) && IsAscii(b))
        return SameIdentifier(a, b);
    return CompareWideText(AnsiToWide(a), AnsiToWide(b), false) == 0;
}

void DatabaseError(const AnsiString& message, const TComponent* component) {
    if (component != nullptr && !component->Name().empty())
        throw EDatabaseError(component->Name() + ": " + message);
    throw EDatabaseError(message);
}

void DatabaseErrorFmt(const AnsiString& format, const std::vector<TVarRec>& args,
                      const TComponent* component) {
    DatabaseError(Format(format, args), component);
}

const char* FieldTypeName(TFieldType type) {
    static const char* const names[] = {"Unknown",  "String",    "SmallInt",  "Integer",   "Word",
                                        "Boolean",  "Float",     "Currency",  "BCD",       "Date",
                                        "Time",     "DateTime",  "AutoInc",   "FixedChar", "WideString",
                                        "Largeint", "Interface", "IDispatch", "Guid"};
    static_assert(std::size(names) == ftGuid + 1, "one name per field type");
    return type < std::size(names) ? names[type] : names[ftUnknown];
}

TFieldDef::TFieldDef(AnsiString name, TFieldType dataType, int32_t size, bool required, int32_t fieldNo)
    : name_(std::move(name)), dataType_(dataType), size_(size), required_(required), fieldNo_(fieldNo) {}

TFieldDef& TFieldDefs::Add(const AnsiString& name, TFieldType dataType, int32_t size, bool required) {
    if (IndexOf(name) >= 0)
        DatabaseErrorFmt("Duplicate field name '%s'", {name});
    items_.push_back(std::make_unique<TFieldDef>(name, dataType, size, required, Count() + 1));
    return *items_.back();
}

const TFieldDef& TFieldDefs::Items(int32_t index) const {
    if (index < 0 || index >= Count())
        throw EListError(Format("List index out of bounds (%d)", {index}));
    return *items_[static_cast<size_t>(index)];
}

int32_t TFieldDefs::IndexOf(const AnsiString& name) const {
    for (int32_t i = 0; i < Count(); ++i)
        if (SameFieldName(items_[static_cast<size_t>(i)]->Name(), name))
            return i;
    return -1;
}

const TFieldDef* TFieldDefs::Find(const AnsiString& name) const {
    const int32_t index = IndexOf(name);
    return index >= 0 ? items_[static_cast<size_t>(index)].get() : nullptr;
}
