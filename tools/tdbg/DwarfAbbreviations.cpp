#include "DwarfAbbreviations.h"

#include "ByteReader.h"
#include "DwarfConstants.h"
#include "DwarfSections.h"
#include "DwarfValues.h"

namespace {

constexpr std::string_view Section = ".debug_abbrev";

} // namespace

DwarfAbbreviationTable DwarfAbbreviationTable::Read(std::span<const uint8_t> section, uint64_t offset) {
    if (offset > section.size())
        throw EDwarfFormatError(Section, "Abbreviation table outside the section", offset);
    DwarfAbbreviationTable table;
    ReadingSection(Section, [&] {
        ByteReader reader(section);
        reader.Seek(static_cast<size_t>(offset));
        for (;;) {
            const size_t entryStart = reader.Position();
            const uint64_t code = reader.ReadVarU64();
            if (code == 0)
                break;
            DwarfAbbreviation abbreviation;
            abbreviation.Tag = reader.ReadVarU64();
            abbreviation.HasChildren = reader.ReadU8() != 0;
            for (;;) {
                DwarfAttributeSpec spec;
                spec.Name = reader.ReadVarU64();
                spec.Form = reader.ReadVarU64();
                if (spec.Name == 0 && spec.Form == 0)
                    break;
                if (spec.Form == Dwarf::FormImplicitConst)
                    spec.ImplicitConst = ReadSignedLeb128(reader);
                abbreviation.Attributes.push_back(spec);
            }
            if (code <= table.dense_.size() || table.sparse_.count(code) != 0)
                throw EDwarfFormatError(Section, "Abbreviation code given twice", entryStart);
            if (code == table.dense_.size() + 1 && table.sparse_.empty())
                table.dense_.push_back(std::move(abbreviation));
            else
                table.sparse_.emplace(code, std::move(abbreviation));
        }
    });
    return table;
}

const DwarfAbbreviation* DwarfAbbreviationTable::Find(uint64_t code) const {
    if (code >= 1 && code <= dense_.size())
        return &dense_[code - 1];
    const auto found = sparse_.find(code);
    return found != sparse_.end() ? &found->second : nullptr;
}
