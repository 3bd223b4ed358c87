#include "TraceDebugScanner.h"

#include <algorithm>

#include "ByteReader.h"

namespace TraceDebugFormat {

uint32_t WordSum(const uint8_t* data, size_t size) noexcept {
    uint32_t sum = 0;
    // Whole words in a loop of their own, which compilers turn into plain loads; the opening of
    // every module's data sums all of it.
    const size_t whole = size - size % 4;
    for (size_t i = 0; i < whole; i += 4)
        sum += static_cast<uint32_t>(data[i]) | static_cast<uint32_t>(data[i + 1]) << 8 |
               static_cast<uint32_t>(data[i + 2]) << 16 | static_cast<uint32_t>(data[i + 3]) << 24;
    uint32_t last = 0;
    for (size_t b = 0; whole + b < size; ++b)
        last |= static_cast<uint32_t>(data[whole + b]) << (8 * b);
    return sum + last;
}

} // namespace TraceDebugFormat

namespace {

using namespace TraceDebugFormat;

uint32_t RotateRight8(uint32_t value) {
    return (value >> 8) | (value << 24);
}

char PackedCharacter(unsigned code) {
    if (code <= 10)
        return static_cast<char>('0' + code - 1);
    if (code <= 36)
        return static_cast<char>('A' + code - 11);
    if (code <= 62)
        return static_cast<char>('a' + code - 37);
    return '_';
}

bool SameAsciiIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

} // namespace

TTraceBinDebugScanner::TTraceBinDebugScanner(const uint8_t* data, size_t size, bool cacheData)
    : data_(data), size_(data != nullptr ? size : 0), cacheData_(cacheData) {
    if (size_ < MinimumSize || size_ % 4 != 0)
        return;
    ByteReader header(data_, size_);
    if (header.ReadU32() != Magic || header.ReadU8() != Version)
        return;
    header.Seek(ChecksumField);
    const uint32_t checksum = header.ReadU32();
    const bool checked = header.ReadU8() != 0;
    if (checked && RotateRight8(WordSum(data_, size_) - checksum) != checksum)
        return;
    valid_ = true;
    header.Seek(ModuleNameField);
    moduleName_ = NameAt(header.ReadU32());
}

bool TTraceBinDebugScanner::MatchesModule(std::string_view fileName) const {
    const size_t slash = fileName.find_last_of("\\/:");
    std::string_view name = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    if (const size_t dot = name.find_last_of('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    return valid_ && SameAsciiIgnoringCase(name, moduleName_);
}

std::string TTraceBinDebugScanner::NameAt(uint32_t reference) const {
    if (!valid_ || reference == 0)
        return {};
    const uint32_t area = TableOffset(NameAreaField);
    const uint64_t start = uint64_t{area} + reference - 1;
    if (start >= size_)
        return {};
    const uint8_t* bytes = data_ + start;
    const size_t available = size_ - static_cast<size_t>(start);
    std::string name;
    size_t pos = 0;
    if (bytes[0] == 1) {
        // Plain text, each byte XORed with 0xAA, except 0xAA itself (which would read as the end).
        size_t length = 0;
        while (1 + length < available && bytes[1 + length] != 0 && length < MaxNameLength)
            ++length;
        name.resize(length);
        for (size_t i = 0; i < length; ++i)
            name[i] = static_cast<char>(bytes[1 + i] == 0xAA ? 0xAA : bytes[1 + i] ^ 0xAA);
        return name;
    }
    if (bytes[0] == 2) {
        name.push_back(static_cast<char>(64));
        pos = 1;
    }
    // Four 6-bit codes in every three bytes, least significant bits first.
    for (; name.size() < MaxNameLength; pos += 3) {
        const auto byteAt = [&](size_t i) -> unsigned { return pos + i < available ? bytes[pos + i] : 0u; };
        const unsigned codes[4] = {byteAt(0) & 0x3F, (byteAt(0) >> 6) | ((byteAt(1) & 0x0F) << 2),
                                   (byteAt(1) >> 4) | ((byteAt(2) & 0x03) << 4), byteAt(2) >> 2};
        for (unsigned code : codes) {
            if (code == 0 || name.size() == MaxNameLength)
                return name;
            name.push_back(PackedCharacter(code));
        }
        if (pos + 3 >= available)
            return name;
    }
    return name;
}

uint32_t TTraceBinDebugScanner::TableOffset(size_t field) const {
    ByteReader header(data_, size_);
    header.Seek(field);
    return header.ReadU32();
}

std::vector<TTraceBinDebugScanner::Entry> TTraceBinDebugScanner::ReadTable(size_t field, int values) const {
    std::vector<Entry> entries;
    if (!valid_)
        return entries;
    const uint32_t start = TableOffset(field);
    if (start >= size_)
        return entries;
    ByteReader table(data_, size_);
    table.Seek(start);
    // The tables follow one another: up to the next one's start, every byte without the top bit
    // ends a value, so the entries are counted before they are read and placed without regrowing.
    if (const uint32_t next = TableOffset(field + 4); next > start && next <= size_) {
        const size_t valueEnds = static_cast<size_t>(
            std::count_if(data_ + start, data_ + next, [](uint8_t byte) { return byte < 0x80; }));
        entries.reserve(valueEnds / static_cast<size_t>(values));
    }
    Entry sums{0, 0, 0};
    try {
        for (;;) {
            const uint32_t addressDelta = table.ReadVarU32();
            if (addressDelta == EndOfTable)
                break;
            const uint32_t firstDelta = table.ReadVarU32();
            const uint32_t secondDelta = values == 3 ? table.ReadVarU32() : 0;
            // Differences may be negative (lines step back); the sums wrap as the producer's did.
            sums.Start += addressDelta;
            sums.First += firstDelta;
            sums.Second += secondDelta;
            entries.push_back(sums);
        }
    } catch (const EByteReadError&) {
        // A table that runs off the data or holds an overlong number ends where it broke.
    }
    return entries;
}

// Both walks answer the last entry of the run of starts at or below the offset; on a table in
// ascending order (what the build writes) that is the entry before the upper bound, found by
// binary search. A table out of order is walked as the format describes.
const TTraceBinDebugScanner::Entry* TTraceBinDebugScanner::BeforeUpperBound(const ExpandedTable& table,
                                                                            uint32_t offset) {
    const auto bound = std::upper_bound(table.Entries.begin(), table.Entries.end(), offset,
                                        [](uint32_t at, const Entry& entry) { return at < entry.Start; });
    return bound == table.Entries.begin() ? nullptr : &*(bound - 1);
}

std::optional<TTraceBinDebugScanner::Entry> TTraceBinDebugScanner::LastAtOrBelow(const ExpandedTable& table,
                                                                                 uint32_t offset) {
    const Entry* found = nullptr;
    if (table.Ascending) {
        found = BeforeUpperBound(table, offset);
    } else {
        for (const Entry& entry : table.Entries) {
            if (entry.Start > offset)
                break;
            found = &entry;
        }
    }
    if (found == nullptr)
        return std::nullopt;
    return *found;
}

const TTraceBinDebugScanner::Entry* TTraceBinDebugScanner::LastStartingAtOrBelow(const ExpandedTable& table,
                                                                                 uint32_t offset) {
    if (table.Ascending)
        return BeforeUpperBound(table, offset);
    for (auto it = table.Entries.rbegin(); it != table.Entries.rend(); ++it)
        if (it->Start <= offset)
            return &*it;
    return nullptr;
}

size_t TTraceBinDebugScanner::CacheBytes() const noexcept {
    size_t bytes = 0;
    for (const auto& table : tables_)
        if (table)
            bytes += table->Entries.capacity() * sizeof(Entry);
    return names_.empty() ? bytes : bytes + nameBytes_ + names_.bucket_count() * sizeof(void*);
}

const TTraceBinDebugScanner::ExpandedTable& TTraceBinDebugScanner::Table(TableKind kind) const {
    static constexpr size_t Fields[TableKinds] = {UnitTableField, SourceTableField, ProcedureTableField,
                                                  LineTableField};
    std::optional<ExpandedTable>& table = tables_[kind];
    if (!table || !cacheData_) {
        table = ExpandedTable{ReadTable(Fields[kind], kind == ProcedureTable ? 3 : 2), false};
        table->Ascending = std::is_sorted(table->Entries.begin(), table->Entries.end(),
                                          [](const Entry& a, const Entry& b) { return a.Start < b.Start; });
    }
    return *table;
}

std::string TTraceBinDebugScanner::UnitOf(uint32_t offset) const {
    const std::optional<Entry> unit = LastAtOrBelow(Table(UnitTable), offset);
    return unit ? CachedName(unit->First, 0) : std::string();
}

std::string TTraceBinDebugScanner::CachedName(uint32_t first, uint32_t second) const {
    const auto join = [&] { return second == 0 ? NameAt(first) : NameAt(first) + "." + NameAt(second); };
    if (!cacheData_)
        return join();
    // Call sites of one function share its names; each is unpacked once.
    const uint64_t key = uint64_t{first} << 32 | second;
    auto found = names_.find(key);
    if (found == names_.end()) {
        found = names_.emplace(key, join()).first;
        nameBytes_ += found->second.capacity() + sizeof(*found) + 2 * sizeof(void*);
    }
    return found->second;
}

uint32_t TTraceBinDebugScanner::UnitStartOf(uint32_t offset) const {
    const std::optional<Entry> unit = LastAtOrBelow(Table(UnitTable), offset);
    return unit ? unit->Start : 0xFFFFFFFFu;
}

TTraceBinDebugScanner::ProcedureAt TTraceBinDebugScanner::ProcedureOf(uint32_t offset) const {
    const Entry* procedure = LastStartingAtOrBelow(Table(ProcedureTable), offset);
    if (procedure == nullptr || procedure->Start < UnitStartOf(offset))
        return {};
    ProcedureAt found;
    found.Offset = static_cast<int32_t>(offset - procedure->Start);
    found.Name = CachedName(procedure->First, procedure->Second);
    return found;
}

TTraceBinDebugScanner::LineAt TTraceBinDebugScanner::LineOf(uint32_t offset) const {
    const Entry* line = LastStartingAtOrBelow(Table(LineTable), offset);
    if (line == nullptr || line->Start < UnitStartOf(offset))
        return {};
    return {static_cast<int32_t>(line->First), static_cast<int32_t>(offset - line->Start)};
}

std::string TTraceBinDebugScanner::SourceFileOf(uint32_t offset) const {
    const std::optional<Entry> file = LastAtOrBelow(Table(SourceTable), offset);
    if (!file || file->Start < UnitStartOf(offset))
        return {};
    return CachedName(file->First, 0);
}
