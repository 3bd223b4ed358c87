#include "DwarfFunctionScanner.h"

#include <algorithm>
#include <map>
#include <optional>

#include "ByteReader.h"
#include "DwarfAbbreviations.h"
#include "DwarfConstants.h"
#include "DwarfRanges.h"
#include "DwarfValues.h"

namespace {

constexpr std::string_view InfoSection = ".debug_info";

bool IsFunction(uint64_t tag) {
    return tag == Dwarf::TagSubprogram || tag == Dwarf::TagInlinedSubroutine;
}

bool IsNamingScope(uint64_t tag) {
    return tag == Dwarf::TagNamespace || tag == Dwarf::TagClassType || tag == Dwarf::TagStructureType ||
           tag == Dwarf::TagUnionType;
}

// The attributes of one entry that the producer uses, as read (resolved once all are known, since
// a unit's bases may follow the values that need them).
struct EntryValues {
    DwarfValue Name, LinkageName, LowPc, HighPc, Ranges, Origin, Specification;
    DwarfValue StrOffsetsBase, AddrBase, RnglistsBase;
    DwarfValue CompDir, StmtList;
};

void Keep(EntryValues& values, uint64_t attribute, const DwarfValue& value) {
    switch (attribute) {
    case Dwarf::AtName:
        values.Name = value;
        break;
    case Dwarf::AtLinkageName:
    case Dwarf::AtMipsLinkageName:
        values.LinkageName = value;
        break;
    case Dwarf::AtLowPc:
        values.LowPc = value;
        break;
    case Dwarf::AtHighPc:
        values.HighPc = value;
        break;
    case Dwarf::AtRanges:
        values.Ranges = value;
        break;
    case Dwarf::AtAbstractOrigin:
        values.Origin = value;
        break;
    case Dwarf::AtSpecification:
        values.Specification = value;
        break;
    case Dwarf::AtStrOffsetsBase:
        values.StrOffsetsBase = value;
        break;
    case Dwarf::AtAddrBase:
        values.AddrBase = value;
        break;
    case Dwarf::AtRnglistsBase:
        values.RnglistsBase = value;
        break;
    case Dwarf::AtCompDir:
        values.CompDir = value;
        break;
    case Dwarf::AtStmtList:
        values.StmtList = value;
        break;
    default:
        break;
    }
}

uint64_t ReferenceOf(const DwarfValue& value) {
    return value.Class == DwarfValueClass::Reference ? value.Number : 0;
}

class FunctionScanner {
public:
    explicit FunctionScanner(const DwarfSections& sections) : sections_(sections) {}

    DwarfFunctions Scan() {
        ByteReader units(sections_.Info);
        while (!units.AtEnd()) {
            const DwarfUnit unit = ReadingSection(InfoSection, [&] { return ReadDwarfUnitHeader(units); });
            ScanUnit(unit);
            units.Seek(static_cast<size_t>(unit.End));
        }
        return std::move(result_);
    }

private:
    const DwarfAbbreviationTable& AbbreviationsAt(uint64_t offset) {
        auto found = abbreviations_.find(offset);
        if (found == abbreviations_.end())
            found =
                abbreviations_.emplace(offset, DwarfAbbreviationTable::Read(sections_.Abbrev, offset)).first;
        return found->second;
    }

    void ScanUnit(DwarfUnit unit) {
        const DwarfAbbreviationTable& abbreviations = AbbreviationsAt(unit.AbbrevOffset);
        // The unit's bytes only: an entry that runs past its unit is malformed.
        ByteReader reader(sections_.Info.first(static_cast<size_t>(unit.End)));
        ReadingSection(InfoSection, [&] { reader.Seek(static_cast<size_t>(unit.DiesStart)); });
        // The nearest enclosing naming entry, one slot per level of open children.
        std::vector<uint32_t> parents;
        bool unitEntrySeen = false;
        while (!reader.AtEnd()) {
            const size_t entryOffset = reader.Position();
            const uint64_t code = ReadingSection(InfoSection, [&] { return reader.ReadVarU64(); });
            if (code == 0) {
                if (!parents.empty())
                    parents.pop_back();
                continue; // padding after the unit entry's children is allowed
            }
            const DwarfAbbreviation* abbreviation = abbreviations.Find(code);
            if (abbreviation == nullptr)
                throw EDwarfFormatError(InfoSection, "Unknown abbreviation code " + std::to_string(code),
                                        entryOffset);
            EntryValues values;
            ReadingSection(InfoSection, [&] {
                for (const DwarfAttributeSpec& spec : abbreviation->Attributes)
                    Keep(values, spec.Name,
                         ReadDwarfValue(reader, sections_.Info, spec.Form, spec.ImplicitConst, unit));
            });
            uint32_t kept = parents.empty() ? DwarfNamingEntry::NoParent : parents.back();
            if (!unitEntrySeen) {
                unitEntrySeen = true;
                TakeUnitEntry(unit, values);
                kept = DwarfNamingEntry::NoParent;
            } else if (IsFunction(abbreviation->Tag) || IsNamingScope(abbreviation->Tag)) {
                kept = KeepEntry(unit, entryOffset, abbreviation->Tag, values,
                                 parents.empty() ? DwarfNamingEntry::NoParent : parents.back());
            }
            if (abbreviation->HasChildren)
                parents.push_back(kept);
        }
    }

    void TakeUnitEntry(DwarfUnit& unit, const EntryValues& values) {
        if (values.StrOffsetsBase.Class != DwarfValueClass::None)
            unit.StrOffsetsBase = values.StrOffsetsBase.Number;
        if (values.AddrBase.Class != DwarfValueClass::None)
            unit.AddrBase = values.AddrBase.Number;
        if (values.RnglistsBase.Class != DwarfValueClass::None)
            unit.RnglistsBase = values.RnglistsBase.Number;
        if (const auto low = DwarfAddress(values.LowPc, unit, sections_))
            unit.BaseAddress = *low;
        DwarfUnitSummary summary;
        summary.Name = DwarfText(values.Name, unit, sections_);
        summary.CompDir = DwarfText(values.CompDir, unit, sections_);
        if (values.StmtList.Class == DwarfValueClass::SectionOffset ||
            values.StmtList.Class == DwarfValueClass::Constant)
            summary.LineProgram = values.StmtList.Number;
        summary.AddressSize = unit.AddressSize;
        result_.Units.push_back(summary);
    }

    uint32_t KeepEntry(const DwarfUnit& unit, size_t offset, uint64_t tag, const EntryValues& values,
                       uint32_t parent) {
        DwarfNamingEntry entry;
        entry.Offset = offset;
        entry.Parent = parent;
        entry.Tag = tag;
        entry.Name = DwarfText(values.Name, unit, sections_);
        entry.LinkageName = DwarfText(values.LinkageName, unit, sections_);
        entry.Origin = ReferenceOf(values.Origin);
        entry.Specification = ReferenceOf(values.Specification);
        const auto index = static_cast<uint32_t>(result_.Entries.size());
        result_.Entries.push_back(entry);
        if (IsFunction(tag))
            KeepRanges(unit, values, index);
        return index;
    }

    void KeepRanges(const DwarfUnit& unit, const EntryValues& values, uint32_t index) {
        if (values.Ranges.Class != DwarfValueClass::None) {
            for (const DwarfAddressRange& range : ReadDwarfRanges(values.Ranges, unit, sections_))
                result_.Ranges.push_back({range.Low, range.High, index, CurrentUnit()});
            return;
        }
        const std::optional<uint64_t> low = DwarfAddress(values.LowPc, unit, sections_);
        if (!low)
            return;
        uint64_t high = 0;
        // Since DWARF 4 a constant high pc is the length.
        if (values.HighPc.Class == DwarfValueClass::Constant ||
            values.HighPc.Class == DwarfValueClass::Signed)
            high = *low + values.HighPc.Number;
        else if (const auto address = DwarfAddress(values.HighPc, unit, sections_))
            high = *address;
        if (high > *low)
            result_.Ranges.push_back({*low, high, index, CurrentUnit()});
    }

    // Every unit's first entry gives a summary, so ranges always have one to point to.
    uint32_t CurrentUnit() const { return static_cast<uint32_t>(result_.Units.size() - 1); }

    const DwarfSections& sections_;
    std::map<uint64_t, DwarfAbbreviationTable> abbreviations_;
    DwarfFunctions result_;
};

} // namespace

uint32_t DwarfFunctions::EntryAt(uint64_t offset) const {
    const auto found =
        std::lower_bound(Entries.begin(), Entries.end(), offset,
                         [](const DwarfNamingEntry& entry, uint64_t at) { return entry.Offset < at; });
    return found != Entries.end() && found->Offset == offset ? static_cast<uint32_t>(found - Entries.begin())
                                                             : DwarfNamingEntry::NoParent;
}

DwarfFunctions ScanDwarfFunctions(const DwarfSections& sections) {
    return FunctionScanner(sections).Scan();
}
