#include "DwarfRanges.h"

#include "DwarfConstants.h"

namespace {

uint64_t ReadAddress(ByteReader& reader, const DwarfUnit& unit) {
    return unit.AddressSize == 8 ? reader.ReadU64() : reader.ReadU32();
}

void Add(std::vector<DwarfAddressRange>& ranges, uint64_t low, uint64_t high) {
    if (high > low)
        ranges.push_back({low, high});
}

std::vector<DwarfAddressRange> ReadRangeList(uint64_t offset, const DwarfUnit& unit,
                                             const DwarfSections& sections) {
    constexpr std::string_view Section = ".debug_ranges";
    if (offset > sections.Ranges.size())
        throw EDwarfFormatError(Section, "Range list outside the section", offset);
    std::vector<DwarfAddressRange> ranges;
    ReadingSection(Section, [&] {
        ByteReader reader(sections.Ranges);
        reader.Seek(static_cast<size_t>(offset));
        const uint64_t largest = unit.AddressSize == 8 ? ~uint64_t{0} : 0xFFFFFFFFu;
        uint64_t base = unit.BaseAddress;
        for (;;) {
            const uint64_t begin = ReadAddress(reader, unit);
            const uint64_t end = ReadAddress(reader, unit);
            if (begin == 0 && end == 0)
                break;
            if (begin == largest)
                base = end;
            else
                Add(ranges, base + begin, base + end);
        }
    });
    return ranges;
}

std::vector<DwarfAddressRange> ReadRngList(uint64_t offset, const DwarfUnit& unit,
                                           const DwarfSections& sections) {
    constexpr std::string_view Section = ".debug_rnglists";
    if (offset > sections.RngLists.size())
        throw EDwarfFormatError(Section, "Range list outside the section", offset);
    std::vector<DwarfAddressRange> ranges;
    ReadingSection(Section, [&] {
        ByteReader reader(sections.RngLists);
        reader.Seek(static_cast<size_t>(offset));
        uint64_t base = unit.BaseAddress;
        const auto indexed = [&](uint64_t index) { return DwarfIndexedAddress(index, unit, sections); };
        for (;;) {
            const size_t at = reader.Position();
            switch (reader.ReadU8()) {
            case Dwarf::RleEndOfList:
                return;
            case Dwarf::RleBaseAddressx:
                base = indexed(reader.ReadVarU64());
                break;
            case Dwarf::RleStartxEndx: {
                const uint64_t start = indexed(reader.ReadVarU64());
                Add(ranges, start, indexed(reader.ReadVarU64()));
                break;
            }
            case Dwarf::RleStartxLength: {
                const uint64_t start = indexed(reader.ReadVarU64());
                Add(ranges, start, start + reader.ReadVarU64());
                break;
            }
            case Dwarf::RleOffsetPair: {
                const uint64_t begin = reader.ReadVarU64();
                Add(ranges, base + begin, base + reader.ReadVarU64());
                break;
            }
            case Dwarf::RleBaseAddress:
                base = ReadAddress(reader, unit);
                break;
            case Dwarf::RleStartEnd: {
                const uint64_t start = ReadAddress(reader, unit);
                Add(ranges, start, ReadAddress(reader, unit));
                break;
            }
            case Dwarf::RleStartLength: {
                const uint64_t start = ReadAddress(reader, unit);
                Add(ranges, start, start + reader.ReadVarU64());
                break;
            }
            default:
                throw EDwarfFormatError(Section, "Unknown range list entry", at);
            }
        }
    });
    return ranges;
}

} // namespace

std::vector<DwarfAddressRange> ReadDwarfRanges(const DwarfValue& value, const DwarfUnit& unit,
                                               const DwarfSections& sections) {
    if (value.Class == DwarfValueClass::RangeListIndex) {
        constexpr std::string_view Section = ".debug_rnglists";
        if (!unit.RnglistsBase)
            throw EDwarfFormatError(".debug_info", "Range list index in a unit without rnglists base",
                                    unit.Offset);
        const uint64_t base = *unit.RnglistsBase;
        if (base > sections.RngLists.size() ||
            value.Number >= (sections.RngLists.size() - base) / unit.OffsetSize)
            throw EDwarfFormatError(Section, "Range list index outside the section", base);
        ByteReader reader(sections.RngLists);
        reader.Seek(static_cast<size_t>(base + value.Number * unit.OffsetSize));
        const uint64_t relative = unit.OffsetSize == 8 ? reader.ReadU64() : reader.ReadU32();
        return ReadRngList(base + relative, unit, sections);
    }
    if (value.Class != DwarfValueClass::SectionOffset && value.Class != DwarfValueClass::Constant)
        return {};
    return unit.Version >= 5 ? ReadRngList(value.Number, unit, sections)
                             : ReadRangeList(value.Number, unit, sections);
}
