#include "StringLists.h"

#include <algorithm>

#include "Format.h"

const TClassInfo& TStrings::StaticClassInfo() {
    static const TClassInfo info{"TStrings", &TPersistent::StaticClassInfo()};
    return info;
}

const TClassInfo& TStringList::StaticClassInfo() {
    static const TClassInfo info{"TStringList", &TStrings::StaticClassInfo()};
    return info;
}

void TStrings::RaiseListError(const char* message, int32_t value) {
    throw EStringListError(Format(message, {value}));
}

void TStrings::SetStrings(int32_t index, const AnsiString& text) {
    TObject* object = Objects(index);
    Delete(index);
    InsertObject(index, text, object);
}

TObject* TStrings::Objects(int32_t) const {
    return nullptr;
}

void TStrings::SetObjects(int32_t, TObject*) {}

void TStrings::InsertObject(int32_t index, const AnsiString& text, TObject* object) {
    Insert(index, text);
    SetObjects(index, object);
}

int32_t TStrings::Add(const AnsiString& text) {
    const int32_t index = Count();
    Insert(index, text);
    return index;
}

int32_t TStrings::AddObject(const AnsiString& text, TObject* object) {
    const int32_t index = Add(text);
    SetObjects(index, object);
    return index;
}

void TStrings::AddStrings(const TStrings& other) {
    BeginUpdate();
    try {
        const int32_t count = other.Count();
        for (int32_t i = 0; i < count; ++i)
            AddObject(other.Strings(i), other.Objects(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int32_t TStrings::IndexOf(const AnsiString& text) const {
    for (int32_t i = 0; i < Count(); ++i)
        if (Strings(i) == text)
            return i;
    return -1;
}

AnsiString TStrings::Text() const {
    AnsiString result;
    for (int32_t i = 0; i < Count(); ++i)
        result += Strings(i) + "\r\n";
    return result;
}

void TStrings::SetText(const AnsiString& text) {
    BeginUpdate();
    try {
        Clear();
        size_t position = 0;
        while (position < text.size()) {
            const size_t end = text.find_first_of("\r\n", position);
            Add(text.substr(position, end == AnsiString::npos ? AnsiString::npos : end - position));
            if (end == AnsiString::npos)
                break;
            position = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::SaveToStream(TStream& stream) const {
    const AnsiString text = Text();
    size_t written = 0;
    // Streams move at most 2 GB per call.
    while (written < text.size()) {
        const auto chunk = static_cast<int32_t>(std::min<size_t>(text.size() - written, 0x40000000));
        stream.WriteBuffer(text.data() + written, chunk);
        written += static_cast<size_t>(chunk);
    }
}

void TStrings::BeginUpdate() {
    if (updateCount_ == 0)
        SetUpdateState(true);
    ++updateCount_;
}

void TStrings::EndUpdate() {
    if (updateCount_ <= 0)
        return;
    if (--updateCount_ == 0)
        SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

void TStrings::Assign(const TPersistent* source) {
    const auto* strings = dynamic_cast<const TStrings*>(source);
    if (strings == nullptr)
        return TPersistent::Assign(source);
    if (strings == this)
        return;
    BeginUpdate();
    try {
        Clear();
        AddStrings(*strings);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStringList::CheckIndex(int32_t index) const {
    if (index < 0 || index >= Count())
        RaiseListError("List index out of bounds (%d)", index);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange)
        OnChange(this);
}

AnsiString TStringList::Strings(int32_t index) const {
    CheckIndex(index);
    return entries_[static_cast<size_t>(index)].Text;
}

void TStringList::SetStrings(int32_t index, const AnsiString& text) {
    CheckIndex(index);
    entries_[static_cast<size_t>(index)].Text = text;
    Changed();
}

TObject* TStringList::Objects(int32_t index) const {
    CheckIndex(index);
    return entries_[static_cast<size_t>(index)].Object;
}

void TStringList::SetObjects(int32_t index, TObject* object) {
    CheckIndex(index);
    entries_[static_cast<size_t>(index)].Object = object;
    Changed();
}

void TStringList::Clear() {
    if (entries_.empty())
        return;
    entries_.clear();
    Changed();
}

void TStringList::Delete(int32_t index) {
    CheckIndex(index);
    entries_.erase(entries_.begin() + index);
    Changed();
}

void TStringList::Insert(int32_t index, const AnsiString& text) {
    InsertObject(index, text, nullptr);
}

void TStringList::InsertObject(int32_t index, const AnsiString& text, TObject* object) {
    if (index < 0 || index > Count())
        RaiseListError("List index out of bounds (%d)", index);
    entries_.insert(entries_.begin() + index, Entry{text, object});
    Changed();
}

void TStringList::SetUpdateState(bool updating) {
    if (!updating)
        Changed();
}
