#include "TraceDebugScanner.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "ByteReader.h"

namespace TraceDebugFormat {

uint32_t WordSum(const uint8_t* data, size_t size) noexcept {
    // The opening of every module's data sums all of it. Words are loaded whole and summed in
    // eight independent lanes, which compilers keep in vector registers; a sum modulo 2^32 does
    // not depend on the order of its terms.
    const auto wordAt = [data](size_t at) {
        uint32_t word;
        std::memcpy(&word, data + at, sizeof word);
        if constexpr (std::endian::native == std::endian::big)
            word = (word >> 24) | (word >> 8 & 0xFF00u) | (word << 8 & 0xFF0000u) | (word << 24);
        return word;
    };
    constexpr size_t Lanes = 8;
    uint32_t lanes[Lanes] = {};
    const size_t whole = size / 4;
    size_t word = 0;
    for (; word + Lanes <= whole; word += Lanes)
        for (size_t lane = 0; lane < Lanes; ++lane)
            lanes[lane] += wordAt(4 * (word + lane));
    uint32_t sum = 0;
    for (uint32_t lane : lanes)
        sum += lane;
    for (; word < whole; ++word)
        sum += wordAt(4 * word);
    uint32_t last = 0;
    for (size_t b = 0; 4 * whole + b < size; ++b)
        last |= static_cast<uint32_t>(data[4 * whole + b]) << (8 * b);
    return sum + last;
}

} // namespace TraceDebugFormat

namespace {

using namespace TraceDebugFormat;

uint32_t RotateRight8(uint32_t value) {
    return (value >> 8) | (value << 24);
}

char PackedCharacter(unsigned code) {
    static constexpr char Characters[] = "?0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_";
    return Characters[code & 0x3F];
}

// The bytes below 0x80 among size bytes: each ends a variable-length value. Eight bytes at a
// time, each lane counting up to 255 before the lanes are added up.
size_t CountValueEnds(const uint8_t* bytes, size_t size) {
    constexpr uint64_t TopBits = 0x8080808080808080u;
    constexpr uint64_t EvenBytes = 0x00FF00FF00FF00FFu;
    size_t count = 0;
    size_t at = 0;
    while (size - at >= 8) {
        uint64_t lanes = 0;
        for (int word = 0; word < 255 && size - at >= 8; ++word, at += 8) {
            uint64_t bytesHere;
            std::memcpy(&bytesHere, bytes + at, sizeof bytesHere);
            // Which byte is which does not matter for a count: no byte order to fix.
            lanes += (~bytesHere & TopBits) >> 7;
        }
        const uint64_t pairs = (lanes & EvenBytes) + (lanes >> 8 & EvenBytes);
        count += static_cast<size_t>((pairs * 0x0001000100010001u) >> 48);
    }
    for (; at < size; ++at)
        count += bytes[at] < 0x80;
    return count;
}

// Where a key's probe starts in a table of `size` slots, a power of two.
size_t SlotOf(uint64_t key, size_t size) {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15u) >> 32) & (size - 1);
}

// How many of the count ascending values starting at first are at or below value. Halving without
// a branch on the comparison, which a processor cannot predict here.
size_t UpperBound(const uint32_t* first, size_t count, uint32_t value) {
    if (count == 0)
        return 0;
    const uint32_t* base = first;
    while (count > 1) {
        const size_t half = count / 2;
        base = base[half] <= value ? base + half : base;
        count -= half;
    }
    return static_cast<size_t>(base - first) + (*base <= value ? 1 : 0);
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
    header.Seek(NameAreaField);
    nameArea_ = header.ReadU32();
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
    std::string name;
    AppendName(reference, name);
    return name;
}

void TTraceBinDebugScanner::AppendName(uint32_t reference, std::string& text) const {
    if (!valid_ || reference == 0)
        return;
    const uint64_t start = uint64_t{nameArea_} + reference - 1;
    if (start >= size_)
        return;
    const uint8_t* bytes = data_ + start;
    const size_t available = size_ - static_cast<size_t>(start);
    // Unpacked here and appended once: the text grows by whole names.
    char name[MaxNameLength];
    size_t length = 0;
    if (bytes[0] == 1) {
        // Plain text, each byte XORed with 0xAA, except 0xAA itself (which would read as the end).
        for (; 1 + length < available && bytes[1 + length] != 0 && length < MaxNameLength; ++length)
            name[length] = static_cast<char>(bytes[1 + length] == 0xAA ? 0xAA : bytes[1 + length] ^ 0xAA);
        text.append(name, length);
        return;
    }
    size_t pos = 0;
    if (bytes[0] == 2) {
        name[length++] = static_cast<char>(64);
        pos = 1;
    }
    // Four 6-bit codes in every three bytes, least significant bits first.
    for (bool ended = false; !ended && length < MaxNameLength; pos += 3) {
        const auto byteAt = [&](size_t i) -> unsigned { return pos + i < available ? bytes[pos + i] : 0u; };
        const unsigned codes[4] = {byteAt(0) & 0x3F, (byteAt(0) >> 6) | ((byteAt(1) & 0x0F) << 2),
                                   (byteAt(1) >> 4) | ((byteAt(2) & 0x03) << 4), byteAt(2) >> 2};
        for (unsigned code : codes) {
            if (code == 0 || length == MaxNameLength) {
                ended = true;
                break;
            }
            name[length++] = PackedCharacter(code);
        }
        ended = ended || pos + 3 >= available;
    }
    text.append(name, length);
}

uint32_t TTraceBinDebugScanner::TableOffset(size_t field) const {
    ByteReader header(data_, size_);
    header.Seek(field);
    return header.ReadU32();
}

size_t TTraceBinDebugScanner::ExpandedTable::Bytes() const noexcept {
    return (Starts.capacity() + First.capacity() + Second.capacity() + UnitFirst.capacity()) *
           sizeof(uint32_t);
}

TTraceBinDebugScanner::ExpandedTable
TTraceBinDebugScanner::ReadTable(size_t field, int values, const std::vector<uint32_t>* unitStarts) const {
    ExpandedTable table;
    if (!valid_)
        return table;
    const uint32_t start = TableOffset(field);
    if (start >= size_)
        return table;
    ByteReader reader(data_, size_);
    reader.Seek(start);
    // The tables follow one another: up to the next one's start, every byte without the top bit
    // ends a value, so the entries are counted before they are read and placed without regrowing.
    if (const uint32_t next = TableOffset(field + 4); next > start && next <= size_) {
        const size_t entries = CountValueEnds(data_ + start, next - start) / static_cast<size_t>(values);
        table.Starts.reserve(entries);
        table.First.reserve(entries);
        if (values == 3)
            table.Second.reserve(entries);
    }
    uint32_t startSum = 0, firstSum = 0, secondSum = 0;
    bool ascending = true;
    size_t nextUnit = 0;
    const size_t unitCount = unitStarts != nullptr ? unitStarts->size() : 0;
    // Above every start while no unit is left: the check per entry is one comparison.
    constexpr uint64_t NoUnitLeft = uint64_t{1} << 32;
    uint64_t nextUnitStart = unitCount != 0 ? (*unitStarts)[0] : NoUnitLeft;
    if (unitStarts != nullptr)
        table.UnitFirst.reserve(unitCount + 1);
    try {
        for (;;) {
            const uint32_t addressDelta = reader.ReadVarU32();
            if (addressDelta == EndOfTable)
                break;
            const uint32_t firstDelta = reader.ReadVarU32();
            const uint32_t secondDelta = values == 3 ? reader.ReadVarU32() : 0;
            // Differences may be negative (lines step back); the sums wrap as the producer's did.
            // A start below the one before is a step back: the sum wrapped.
            ascending = ascending && startSum + addressDelta >= startSum;
            startSum += addressDelta;
            firstSum += firstDelta;
            table.Starts.push_back(startSum);
            table.First.push_back(firstSum);
            if (values == 3) {
                secondSum += secondDelta;
                table.Second.push_back(secondSum);
            }
            while (nextUnitStart <= startSum) {
                table.UnitFirst.push_back(static_cast<uint32_t>(table.Starts.size() - 1));
                nextUnitStart = ++nextUnit < unitCount ? (*unitStarts)[nextUnit] : NoUnitLeft;
            }
        }
    } catch (const EByteReadError&) {
        // A table that runs off the data or holds an overlong number ends where it broke.
    }
    table.Ascending = ascending;
    if (table.Ascending && unitStarts != nullptr) {
        table.UnitFirst.resize(unitCount, static_cast<uint32_t>(table.Starts.size()));
        table.UnitFirst.push_back(static_cast<uint32_t>(table.Starts.size()));
    } else {
        table.UnitFirst = {};
    }
    return table;
}

// Both walks answer the last entry of the run of starts at or below the offset; on a table in
// ascending order (what the build writes) that is the entry before the upper bound, found by
// binary search. A table out of order is walked as the format describes.
size_t TTraceBinDebugScanner::BeforeUpperBound(const ExpandedTable& table, uint32_t offset) {
    const std::vector<uint32_t>& starts = table.Starts;
    size_t bound = 0;
    if (table.Buckets.empty()) {
        bound = UpperBound(starts.data(), starts.size(), offset);
    } else if (offset >= starts.front()) {
        // Every start before the offset's stretch is below it, every one after it above.
        const uint64_t bucket = uint64_t{offset - starts.front()} >> table.BucketShift;
        if (bucket + 1 >= table.Buckets.size()) {
            bound = starts.size();
        } else {
            const size_t first = table.Buckets[bucket];
            bound = first + UpperBound(starts.data() + first, table.Buckets[bucket + 1] - first, offset);
        }
    }
    return bound == 0 ? NoEntry : bound - 1;
}

void TTraceBinDebugScanner::ExpandedTable::AddBuckets() {
    const size_t count = Starts.size();
    if (!Ascending || count < 16)
        return;
    const uint32_t extent = Starts.back() - Starts.front();
    // At most about one stretch per entry, so the index never outgrows the table.
    unsigned shift = 0;
    while ((uint64_t{extent} >> shift) + 1 > count)
        ++shift;
    const size_t stretches = static_cast<size_t>(uint64_t{extent} >> shift) + 1;
    Buckets.reserve(stretches + 1);
    size_t entry = 0;
    for (size_t stretch = 0; stretch <= stretches; ++stretch) {
        const uint64_t stretchStart = uint64_t{Starts.front()} + (uint64_t{stretch} << shift);
        while (entry < count && Starts[entry] < stretchStart)
            ++entry;
        Buckets.push_back(static_cast<uint32_t>(entry));
    }
    BucketShift = shift;
}

size_t TTraceBinDebugScanner::LastAtOrBelow(const ExpandedTable& table, uint32_t offset) {
    if (table.Ascending)
        return BeforeUpperBound(table, offset);
    size_t found = NoEntry;
    for (size_t i = 0; i < table.Starts.size() && table.Starts[i] <= offset; ++i)
        found = i;
    return found;
}

size_t TTraceBinDebugScanner::LastStartingAtOrBelow(const ExpandedTable& table, uint32_t offset) {
    if (table.Ascending)
        return BeforeUpperBound(table, offset);
    for (size_t i = table.Starts.size(); i-- > 0;)
        if (table.Starts[i] <= offset)
            return i;
    return NoEntry;
}

size_t TTraceBinDebugScanner::CacheBytes() const noexcept {
    size_t bytes = 0;
    for (const auto& table : tables_)
        if (table)
            bytes += table->Bytes();
    return bytes + nameText_.capacity() * (nameCount_ != 0) + nameSlots_.capacity() * sizeof(NameSlot);
}

const TTraceBinDebugScanner::ExpandedTable& TTraceBinDebugScanner::ExpandTable(TableKind kind) const {
    static constexpr size_t Fields[TableKinds] = {UnitTableField, SourceTableField, ProcedureTableField,
                                                  LineTableField};
    std::optional<ExpandedTable>& table = tables_[kind];
    // Where each unit's entries begin, found while the table is read: a lookup then searches the
    // few entries of its unit only.
    const ExpandedTable* units = kind != UnitTable && cacheData_ ? &Table(UnitTable) : nullptr;
    table = ReadTable(Fields[kind], kind == ProcedureTable ? 3 : 2,
                      units != nullptr && units->Ascending ? &units->Starts : nullptr);
    // Every lookup first finds its unit: those are found through stretches of equal length.
    if (kind == UnitTable && cacheData_)
        table->AddBuckets();
    return *table;
}

// Both ways answer the last entry starting at or below the offset, or none when that lies below
// the offset's unit. Within the unit's own entries (both tables ascending) that is the last of
// them at or below the offset: an entry before the unit's first is below the unit's start.
size_t TTraceBinDebugScanner::EntryInUnit(TableKind kind, uint32_t offset) const {
    const ExpandedTable& table = Table(kind);
    const size_t unit = UnitIndexOf(offset);
    if (!table.UnitFirst.empty() && unit != NoEntry) {
        const size_t first = table.UnitFirst[unit];
        const size_t below =
            UpperBound(table.Starts.data() + first, table.UnitFirst[unit + 1] - first, offset);
        return below == 0 ? NoEntry : first + below - 1;
    }
    const bool fromEnd = kind == ProcedureTable || kind == LineTable;
    const size_t entry = fromEnd ? LastStartingAtOrBelow(table, offset) : LastAtOrBelow(table, offset);
    if (entry == NoEntry || table.Starts[entry] < UnitStartOf(offset))
        return NoEntry;
    return entry;
}

size_t TTraceBinDebugScanner::UnitIndexOf(uint32_t offset) const {
    const ExpandedTable& units = Table(UnitTable);
    if (!cacheData_)
        return LastAtOrBelow(units, offset);
    if (lastUnitIndex_ == NoEntry || lastUnitOffset_ != offset) {
        lastUnitIndex_ = LastAtOrBelow(units, offset);
        lastUnitOffset_ = offset;
        // NoEntry doubles as "nothing remembered": an offset before every unit is searched again.
    }
    return lastUnitIndex_;
}

std::string TTraceBinDebugScanner::UnitOf(uint32_t offset) const {
    const size_t unit = UnitIndexOf(offset);
    return unit == NoEntry ? std::string() : CachedName(Table(UnitTable).First[unit], 0);
}

std::string TTraceBinDebugScanner::CachedName(uint32_t first, uint32_t second) const {
    const auto append = [&](std::string& text) {
        AppendName(first, text);
        if (second != 0) {
            text.push_back('.');
            AppendName(second, text);
        }
    };
    const uint64_t key = uint64_t{first} << 32 | second;
    // Longer than any two names: a text that could outgrow the slots' 32-bit positions is not kept.
    constexpr size_t Room = 2 * MaxNameLength + 1;
    if (!cacheData_ || key == 0 || nameText_.size() > UINT32_MAX - Room) {
        std::string name;
        append(name);
        return name;
    }
    // Call sites of one function share its names; each is unpacked once.
    if (2 * (nameCount_ + 1) > nameSlots_.size()) {
        std::vector<NameSlot> grown(nameSlots_.empty() ? 1024 : 2 * nameSlots_.size());
        for (const NameSlot& slot : nameSlots_)
            if (slot.Key != 0)
                for (size_t i = SlotOf(slot.Key, grown.size());; i = (i + 1) & (grown.size() - 1))
                    if (grown[i].Key == 0) {
                        grown[i] = slot;
                        break;
                    }
        nameSlots_ = std::move(grown);
    }
    size_t i = SlotOf(key, nameSlots_.size());
    for (; nameSlots_[i].Key != 0; i = (i + 1) & (nameSlots_.size() - 1))
        if (nameSlots_[i].Key == key)
            return nameText_.substr(nameSlots_[i].Start, nameSlots_[i].Length);
    const size_t begin = nameText_.size();
    append(nameText_);
    nameSlots_[i] = {key, static_cast<uint32_t>(begin), static_cast<uint32_t>(nameText_.size() - begin)};
    ++nameCount_;
    return nameText_.substr(begin);
}

uint32_t TTraceBinDebugScanner::UnitStartOf(uint32_t offset) const {
    const size_t unit = UnitIndexOf(offset);
    return unit == NoEntry ? 0xFFFFFFFFu : Table(UnitTable).Starts[unit];
}

TTraceBinDebugScanner::ProcedureAt TTraceBinDebugScanner::ProcedureOf(uint32_t offset) const {
    const size_t procedure = EntryInUnit(ProcedureTable, offset);
    if (procedure == NoEntry)
        return {};
    const ExpandedTable& procedures = Table(ProcedureTable);
    ProcedureAt found;
    found.Offset = static_cast<int32_t>(offset - procedures.Starts[procedure]);
    found.Name = CachedName(procedures.First[procedure], procedures.Second[procedure]);
    return found;
}

TTraceBinDebugScanner::LineAt TTraceBinDebugScanner::LineOf(uint32_t offset) const {
    const size_t line = EntryInUnit(LineTable, offset);
    if (line == NoEntry)
        return {};
    const ExpandedTable& lines = Table(LineTable);
    return {static_cast<int32_t>(lines.First[line]), static_cast<int32_t>(offset - lines.Starts[line])};
}

std::string TTraceBinDebugScanner::SourceFileOf(uint32_t offset) const {
    const size_t file = EntryInUnit(SourceTable, offset);
    return file == NoEntry ? std::string() : CachedName(Table(SourceTable).First[file], 0);
}
