#include "DwarfValues.h"

#include <cstring>

#include "DwarfConstants.h"

namespace {

constexpr std::string_view InfoSection = ".debug_info";

uint64_t ReadSized(ByteReader& reader, unsigned size) {
    switch (size) {
    case 1:
        return reader.ReadU8();
    case 2:
        return reader.ReadU16();
    case 3: {
        const uint64_t low = reader.ReadU16();
        return low | (uint64_t{reader.ReadU8()} << 16);
    }
    case 4:
        return reader.ReadU32();
    default:
        return reader.ReadU64();
    }
}

uint64_t ReadOffset(ByteReader& reader, const DwarfUnit& unit) {
    return ReadSized(reader, unit.OffsetSize);
}

std::string_view ReadInlineString(ByteReader& reader, std::span<const uint8_t> section) {
    const size_t start = reader.Position();
    if (start >= section.size())
        throw EByteReadError("String without its terminator", start);
    const auto* begin = section.data() + start;
    const auto* zero = static_cast<const uint8_t*>(std::memchr(begin, 0, section.size() - start));
    if (zero == nullptr)
        throw EByteReadError("String without its terminator", start);
    const auto bytes = reader.ReadSpan(static_cast<uint64_t>(zero - begin) + 1);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size() - 1};
}

DwarfValue Value(DwarfValueClass valueClass, uint64_t number) {
    return {valueClass, number, {}};
}

} // namespace

int64_t ReadSignedLeb128(ByteReader& reader) {
    const size_t start = reader.Position();
    uint64_t result = 0;
    unsigned shift = 0;
    for (;;) {
        if (shift >= 70)
            throw EByteReadError("Variable-length integer too long", start);
        const uint8_t byte = reader.ReadU8();
        if (shift < 64)
            result |= uint64_t{byte & 0x7Fu} << shift;
        shift += 7;
        if ((byte & 0x80) == 0) {
            if (shift < 64 && (byte & 0x40) != 0)
                result |= ~uint64_t{0} << shift;
            return static_cast<int64_t>(result);
        }
    }
}

DwarfUnit ReadDwarfUnitHeader(ByteReader& reader) {
    DwarfUnit unit;
    unit.Offset = reader.Position();
    uint64_t length = reader.ReadU32();
    unit.OffsetSize = 4;
    if (length == 0xFFFFFFFF) {
        length = reader.ReadU64();
        unit.OffsetSize = 8;
    } else if (length >= 0xFFFFFFF0) {
        throw EDwarfFormatError(InfoSection, "Reserved unit length", unit.Offset);
    }
    if (length > reader.Remaining())
        throw EDwarfFormatError(InfoSection, "Unit longer than the section", unit.Offset);
    unit.End = reader.Position() + length;
    unit.Version = reader.ReadU16();
    if (unit.Version < 2 || unit.Version > 5)
        throw EDwarfFormatError(InfoSection, "Unsupported DWARF version " + std::to_string(unit.Version),
                                unit.Offset);
    if (unit.Version >= 5) {
        unit.Type = reader.ReadU8();
        unit.AddressSize = reader.ReadU8();
        unit.AbbrevOffset = ReadOffset(reader, unit);
        if (unit.Type == Dwarf::UnitSkeleton || unit.Type == Dwarf::UnitSplitCompile)
            reader.Skip(8); // the split unit's id
        else if (unit.Type == Dwarf::UnitType || unit.Type == Dwarf::UnitSplitType)
            reader.Skip(8 + unit.OffsetSize); // type signature and type offset
    } else {
        unit.Type = Dwarf::UnitCompile;
        unit.AbbrevOffset = ReadOffset(reader, unit);
        unit.AddressSize = reader.ReadU8();
    }
    if (unit.AddressSize != 4 && unit.AddressSize != 8)
        throw EDwarfFormatError(InfoSection, "Unsupported address size " + std::to_string(unit.AddressSize),
                                unit.Offset);
    unit.DiesStart = reader.Position();
    if (unit.DiesStart > unit.End)
        throw EDwarfFormatError(InfoSection, "Unit header longer than the unit", unit.Offset);
    return unit;
}

DwarfValue ReadDwarfValue(ByteReader& reader, std::span<const uint8_t> section, uint64_t form,
                          int64_t implicitConst, const DwarfUnit& unit) {
    using namespace Dwarf;
    using C = DwarfValueClass;
    switch (form) {
    case FormAddr:
        return Value(C::Address, ReadSized(reader, unit.AddressSize));
    case FormData1:
    case FormFlag:
        return Value(C::Constant, reader.ReadU8());
    case FormData2:
        return Value(C::Constant, reader.ReadU16());
    case FormData4:
        return Value(C::Constant, reader.ReadU32());
    case FormData8:
        return Value(C::Constant, reader.ReadU64());
    case FormUdata:
        return Value(C::Constant, reader.ReadVarU64());
    case FormSdata:
        return Value(C::Signed, static_cast<uint64_t>(ReadSignedLeb128(reader)));
    case FormImplicitConst:
        return Value(C::Signed, static_cast<uint64_t>(implicitConst));
    case FormFlagPresent:
        return Value(C::Constant, 1);
    case FormData16:
        reader.Skip(16);
        return {};
    case FormString:
        return {C::String, 0, ReadInlineString(reader, section)};
    case FormStrp:
        return Value(C::StringOffset, ReadOffset(reader, unit));
    case FormLineStrp:
        return Value(C::LineStringOffset, ReadOffset(reader, unit));
    case FormStrx:
    case FormGnuStrIndex:
        return Value(C::StringIndex, reader.ReadVarU64());
    case FormStrx1:
        return Value(C::StringIndex, reader.ReadU8());
    case FormStrx2:
        return Value(C::StringIndex, reader.ReadU16());
    case FormStrx3:
        return Value(C::StringIndex, ReadSized(reader, 3));
    case FormStrx4:
        return Value(C::StringIndex, reader.ReadU32());
    case FormAddrx:
    case FormGnuAddrIndex:
        return Value(C::AddressIndex, reader.ReadVarU64());
    case FormAddrx1:
        return Value(C::AddressIndex, reader.ReadU8());
    case FormAddrx2:
        return Value(C::AddressIndex, reader.ReadU16());
    case FormAddrx3:
        return Value(C::AddressIndex, ReadSized(reader, 3));
    case FormAddrx4:
        return Value(C::AddressIndex, reader.ReadU32());
    case FormRef1:
        return Value(C::Reference, unit.Offset + reader.ReadU8());
    case FormRef2:
        return Value(C::Reference, unit.Offset + reader.ReadU16());
    case FormRef4:
        return Value(C::Reference, unit.Offset + reader.ReadU32());
    case FormRef8:
        return Value(C::Reference, unit.Offset + reader.ReadU64());
    case FormRefUdata:
        return Value(C::Reference, unit.Offset + reader.ReadVarU64());
    case FormRefAddr:
        // Version 2 sized it as an address, later versions as an offset.
        return Value(C::Reference, ReadSized(reader, unit.Version <= 2 ? unit.AddressSize : unit.OffsetSize));
    case FormRefSig8:
    case FormRefSup8:
        reader.Skip(8);
        return {};
    case FormRefSup4:
        reader.Skip(4);
        return {};
    case FormGnuRefAlt:
    case FormGnuStrpAlt:
    case FormStrpSup:
        // Into a supplementary file the producer never has.
        ReadOffset(reader, unit);
        return {};
    case FormSecOffset:
        return Value(C::SectionOffset, ReadOffset(reader, unit));
    case FormRnglistx:
        return Value(C::RangeListIndex, reader.ReadVarU64());
    case FormLoclistx:
        reader.ReadVarU64();
        return {};
    case FormBlock1:
        reader.Skip(reader.ReadU8());
        return {};
    case FormBlock2:
        reader.Skip(reader.ReadU16());
        return {};
    case FormBlock4:
        reader.Skip(reader.ReadU32());
        return {};
    case FormBlock:
    case FormExprloc:
        reader.Skip(reader.ReadVarU64());
        return {};
    case FormIndirect: {
        const size_t at = reader.Position();
        const uint64_t actual = reader.ReadVarU64();
        if (actual == FormIndirect || actual == FormImplicitConst)
            throw EDwarfFormatError(InfoSection, "Indirect form names itself or an implicit constant", at);
        return ReadDwarfValue(reader, section, actual, 0, unit);
    }
    default:
        throw EDwarfFormatError(InfoSection, "Unknown attribute form " + std::to_string(form),
                                reader.Position());
    }
}

std::string_view DwarfStringAt(std::span<const uint8_t> section, std::string_view sectionName,
                               uint64_t offset) {
    if (offset >= section.size())
        throw EDwarfFormatError(sectionName, "String offset outside the section", offset);
    const auto* begin = section.data() + offset;
    const size_t available = section.size() - static_cast<size_t>(offset);
    const auto* zero = static_cast<const uint8_t*>(std::memchr(begin, 0, available));
    if (zero == nullptr)
        throw EDwarfFormatError(sectionName, "String without its terminator", offset);
    return {reinterpret_cast<const char*>(begin), static_cast<size_t>(zero - begin)};
}

std::string_view DwarfText(const DwarfValue& value, const DwarfUnit& unit, const DwarfSections& sections) {
    switch (value.Class) {
    case DwarfValueClass::String:
        return value.Text;
    case DwarfValueClass::StringOffset:
        return DwarfStringAt(sections.Str, ".debug_str", value.Number);
    case DwarfValueClass::LineStringOffset:
        return DwarfStringAt(sections.LineStr, ".debug_line_str", value.Number);
    case DwarfValueClass::StringIndex: {
        constexpr std::string_view Offsets = ".debug_str_offsets";
        const uint64_t entry = unit.StrOffsetsBase;
        if (entry > sections.StrOffsets.size() ||
            value.Number >= (sections.StrOffsets.size() - entry) / unit.OffsetSize)
            throw EDwarfFormatError(Offsets, "String index outside the section", entry);
        ByteReader reader(sections.StrOffsets);
        reader.Seek(static_cast<size_t>(entry + value.Number * unit.OffsetSize));
        return DwarfStringAt(sections.Str, ".debug_str", ReadOffset(reader, unit));
    }
    default:
        return {};
    }
}

uint64_t DwarfIndexedAddress(uint64_t index, const DwarfUnit& unit, const DwarfSections& sections) {
    const uint64_t base = unit.AddrBase;
    if (base > sections.Addr.size() || index >= (sections.Addr.size() - base) / unit.AddressSize)
        throw EDwarfFormatError(".debug_addr", "Address index outside the section", base);
    ByteReader reader(sections.Addr);
    reader.Seek(static_cast<size_t>(base + index * unit.AddressSize));
    return ReadSized(reader, unit.AddressSize);
}

std::optional<uint64_t> DwarfAddress(const DwarfValue& value, const DwarfUnit& unit,
                                     const DwarfSections& sections) {
    if (value.Class == DwarfValueClass::Address)
        return value.Number;
    if (value.Class == DwarfValueClass::AddressIndex)
        return DwarfIndexedAddress(value.Number, unit, sections);
    return std::nullopt;
}
