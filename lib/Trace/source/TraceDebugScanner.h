// The reader of TDBG data: the compact debug data the build stores in a module's "TRACEDBG"
// section (or in a ".tdbg" file beside it). It answers, for an offset from the module's code
// start, the unit, procedure, source line and source file. Platform-free: the data is untrusted,
// and a malformed table answers "nothing" rather than reading past the data.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace TraceDebugFormat {
inline constexpr uint32_t Magic = 0x47424454; // "TDBG"
inline constexpr uint8_t Version = 1;
inline constexpr size_t HeaderSize = 34;
inline constexpr size_t MinimumSize = 35;
inline constexpr uint32_t EndOfTable = 0x7FFFFFFF;
// Header fields, offsets from the start of the data.
inline constexpr size_t UnitTableField = 5;
inline constexpr size_t SourceTableField = 9;
inline constexpr size_t ProcedureTableField = 13;
inline constexpr size_t LineTableField = 17;
inline constexpr size_t NameAreaField = 21;
inline constexpr size_t ModuleNameField = 25;
inline constexpr size_t ChecksumField = 29;
inline constexpr size_t ChecksumPresentField = 33;
// Names are at most this long, a leading '@' included.
inline constexpr size_t MaxNameLength = 255;

// The sum of the data's 32-bit little-endian words (a partial last word counts with zeros).
uint32_t WordSum(const uint8_t* data, size_t size) noexcept;
} // namespace TraceDebugFormat

class TTraceBinDebugScanner {
public:
    // The data is not copied: it must outlive the scanner (a section of the loaded image, a mapped
    // file). With cacheData the tables are expanded once, on first use. Lookups change what is
    // kept (tables, names, the unit last found), so callers serialise them (the debug lock).
    TTraceBinDebugScanner(const uint8_t* data, size_t size, bool cacheData = true);

    // Long enough, a multiple of 4 bytes, the magic and version 1, and the checksum when present.
    bool ValidFormat() const noexcept { return valid_; }
    // The stored name of the module the data describes (no folder, no extension as the build wrote it).
    const std::string& ModuleName() const noexcept { return moduleName_; }
    // Whether fileName (a path or a bare name) names that module: folder and extension are ignored,
    // and so is the case of ASCII letters.
    bool MatchesModule(std::string_view fileName) const;

    // Each lookup answers "nothing" (an empty name, line 0) for an offset the data does not
    // cover or when a table is malformed.
    std::string UnitOf(uint32_t offset) const;
    // The start of the unit the offset lies in, or 0xFFFFFFFF when it lies before every unit.
    uint32_t UnitStartOf(uint32_t offset) const;
    struct ProcedureAt {
        std::string Name;   // "First" or "First.Second"
        int32_t Offset = 0; // from the procedure's start
    };
    ProcedureAt ProcedureOf(uint32_t offset) const;
    struct LineAt {
        int32_t Line = 0;   // 0 = unknown
        int32_t Offset = 0; // from the line's start
    };
    LineAt LineOf(uint32_t offset) const;
    std::string SourceFileOf(uint32_t offset) const;

    // The bytes the expanded tables and the unpacked names hold now (0 before the first lookup).
    size_t CacheBytes() const noexcept;

    // The name stored at reference r (0: empty), unpacked.
    std::string NameAt(uint32_t reference) const;

private:
    enum TableKind { UnitTable, SourceTable, ProcedureTable, LineTable, TableKinds };
    static constexpr size_t NoEntry = static_cast<size_t>(-1);
    // A table's running sums, one array per column: a search touches only the starts, and a
    // table of two values per entry keeps no third column.
    struct ExpandedTable {
        std::vector<uint32_t> Starts;
        std::vector<uint32_t> First;
        std::vector<uint32_t> Second; // procedures only
        // For each unit entry, then the end: the first entry starting at or after the unit's start.
        // Only with cacheData, for a table and units both ascending.
        std::vector<uint32_t> UnitFirst;
        // With cacheData, for the ascending unit table: the offsets from the first start cut into
        // stretches of 2^BucketShift; for each stretch, then the end, the entries starting before it.
        std::vector<uint32_t> Buckets;
        unsigned BucketShift = 0;
        void AddBuckets();
        bool Ascending = false; // starts never step back: lookups search instead of walking
        size_t Bytes() const noexcept;
    };
    uint32_t TableOffset(size_t field) const;
    // The entries of a table with running sums; `values` is 2 or 3 per entry. Stops quietly at a
    // malformed entry: what was read before it stays. With unitStarts (ascending), also where each
    // unit's entries begin.
    ExpandedTable ReadTable(size_t field, int values, const std::vector<uint32_t>* unitStarts) const;
    // A table as read from the data: once with cacheData, at every lookup otherwise.
    const ExpandedTable& Table(TableKind kind) const {
        const std::optional<ExpandedTable>& table = tables_[kind];
        return table && cacheData_ ? *table : ExpandTable(kind);
    }
    const ExpandedTable& ExpandTable(TableKind kind) const;
    // The last entry starting at or below offset, walking the table in order (units, files).
    static size_t LastAtOrBelow(const ExpandedTable& table, uint32_t offset);
    // The last entry starting at or below offset, searching from the table's end (procedures, lines).
    static size_t LastStartingAtOrBelow(const ExpandedTable& table, uint32_t offset);
    static size_t BeforeUpperBound(const ExpandedTable& table, uint32_t offset);
    // The entry of a procedure, line or file table answering for offset, or NoEntry.
    size_t EntryInUnit(TableKind kind, uint32_t offset) const;
    // The unit entry of an offset; the four lookups of one location ask it for the same offset.
    size_t UnitIndexOf(uint32_t offset) const;

    const uint8_t* data_;
    size_t size_;
    bool cacheData_;
    bool valid_ = false;
    uint32_t nameArea_ = 0;
    std::string moduleName_;
    mutable std::array<std::optional<ExpandedTable>, TableKinds> tables_;
    mutable uint32_t lastUnitOffset_ = 0;
    mutable size_t lastUnitIndex_ = NoEntry; // NoEntry: nothing remembered yet

    // Names unpacked once with cacheData, by (first, second) reference, kept one after another in
    // one text and found through an open-addressing table: no allocation per name.
    void AppendName(uint32_t reference, std::string& text) const;
    std::string CachedName(uint32_t first, uint32_t second) const;
    struct NameSlot {
        uint64_t Key = 0; // 0: free (the empty name is never kept)
        uint32_t Start = 0;
        uint32_t Length = 0;
    };
    mutable std::vector<NameSlot> nameSlots_;
    mutable size_t nameCount_ = 0;
    mutable std::string nameText_;
};
