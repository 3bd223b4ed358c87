#include "DwarfLineTable.h"

#include "ByteReader.h"
#include "DwarfConstants.h"
#include "DwarfValues.h"
#include "SourcePaths.h"

namespace {

constexpr std::string_view Section = ".debug_line";

struct LineProgramHeader {
    DwarfUnit Unit; // sizes and version, for reading the header's forms
    uint64_t ProgramStart = 0;
    uint64_t End = 0;
    uint8_t MinimumInstructionLength = 1;
    int8_t LineBase = 0;
    uint8_t LineRange = 1;
    uint8_t OpcodeBase = 1;
    std::vector<uint8_t> StandardOpcodeLengths;
    std::vector<std::string> Directories;
    std::vector<std::string> Files; // full names
    bool FilesFromZero = false;     // version 5 counts files from 0, older versions from 1
};

// Version 5 describes its directory and file entries by (content, form) pairs.
std::vector<std::pair<uint64_t, uint64_t>> ReadEntryFormat(ByteReader& reader) {
    std::vector<std::pair<uint64_t, uint64_t>> format(reader.ReadU8());
    for (auto& [content, form] : format) {
        content = reader.ReadVarU64();
        form = reader.ReadVarU64();
    }
    return format;
}

template <typename Take>
void ReadEntries(ByteReader& reader, const DwarfSections& sections, const DwarfUnit& unit, Take&& take) {
    const auto format = ReadEntryFormat(reader);
    const uint64_t count = reader.ReadVarU64();
    // Each entry takes a byte at least, unless it has no field at all.
    if (!format.empty())
        reader.NeedRecords(count, 1);
    for (uint64_t i = 0; i < count; ++i) {
        std::string_view path;
        uint64_t directory = 0;
        for (const auto& [content, form] : format) {
            const DwarfValue value = ReadDwarfValue(reader, sections.Line, form, 0, unit);
            if (content == Dwarf::LnctPath)
                path = DwarfText(value, unit, sections);
            else if (content == Dwarf::LnctDirectoryIndex)
                directory = value.Number;
        }
        take(path, directory);
    }
}

LineProgramHeader ReadHeader(ByteReader& reader, const DwarfUnitSummary& summary,
                             const DwarfSections& sections) {
    LineProgramHeader header;
    DwarfUnit& unit = header.Unit;
    unit.Offset = reader.Position();
    uint64_t length = reader.ReadU32();
    unit.OffsetSize = 4;
    if (length == 0xFFFFFFFF) {
        length = reader.ReadU64();
        unit.OffsetSize = 8;
    }
    if (length > reader.Remaining())
        throw EDwarfFormatError(Section, "Line program longer than the section", unit.Offset);
    header.End = reader.Position() + length;
    unit.Version = reader.ReadU16();
    if (unit.Version < 2 || unit.Version > 5)
        throw EDwarfFormatError(Section, "Unsupported line table version " + std::to_string(unit.Version),
                                unit.Offset);
    unit.AddressSize = summary.AddressSize;
    if (unit.Version >= 5) {
        unit.AddressSize = reader.ReadU8();
        reader.ReadU8(); // segment selector size
    }
    const uint64_t headerLength = unit.OffsetSize == 8 ? reader.ReadU64() : reader.ReadU32();
    if (headerLength > header.End - reader.Position())
        throw EDwarfFormatError(Section, "Line program header longer than the program", unit.Offset);
    header.ProgramStart = reader.Position() + headerLength;
    header.MinimumInstructionLength = reader.ReadU8();
    if (unit.Version >= 4)
        reader.ReadU8(); // maximum operations per instruction: 1 on the targets built here
    reader.ReadU8();     // default is_stmt
    header.LineBase = static_cast<int8_t>(reader.ReadU8());
    header.LineRange = reader.ReadU8();
    header.OpcodeBase = reader.ReadU8();
    if (header.LineRange == 0 || header.OpcodeBase == 0)
        throw EDwarfFormatError(Section, "Line range or opcode base zero", unit.Offset);
    for (unsigned i = 1; i < header.OpcodeBase; ++i)
        header.StandardOpcodeLengths.push_back(reader.ReadU8());

    const std::string compDir(summary.CompDir);
    if (unit.Version >= 5) {
        header.FilesFromZero = true;
        ReadEntries(reader, sections, unit, [&](std::string_view path, uint64_t) {
            header.Directories.push_back(JoinPath(compDir, path));
        });
        ReadEntries(reader, sections, unit, [&](std::string_view path, uint64_t directory) {
            const std::string folder =
                directory < header.Directories.size() ? header.Directories[directory] : compDir;
            header.Files.push_back(JoinPath(folder, path));
        });
    } else {
        header.Directories.push_back(compDir);
        for (;;) {
            const std::string directory = reader.ReadZString();
            if (directory.empty())
                break;
            header.Directories.push_back(JoinPath(compDir, directory));
        }
        for (;;) {
            const std::string name = reader.ReadZString();
            if (name.empty())
                break;
            const uint64_t directory = reader.ReadVarU64();
            reader.ReadVarU64(); // modification time
            reader.ReadVarU64(); // length
            const std::string folder =
                directory < header.Directories.size() ? header.Directories[directory] : compDir;
            header.Files.push_back(JoinPath(folder, name));
        }
    }
    return header;
}

class LineProgram {
public:
    LineProgram(const LineProgramHeader& header, std::string unit, std::vector<DecodedLineRow>& rows)
        : header_(header), unit_(std::move(unit)), rows_(rows) {
        Reset();
    }

    void Run(ByteReader& reader) {
        reader.Seek(static_cast<size_t>(header_.ProgramStart));
        while (reader.Position() < header_.End) {
            const uint8_t opcode = reader.ReadU8();
            if (opcode >= header_.OpcodeBase)
                Special(opcode);
            else if (opcode == 0)
                Extended(reader);
            else
                Standard(opcode, reader);
        }
    }

private:
    void Reset() {
        address_ = 0;
        file_ = 1;
        line_ = 1;
    }

    void Emit(bool endOfSequence) {
        DecodedLineRow row;
        row.Address = address_;
        row.Unit = unit_;
        row.Line = endOfSequence ? 0 : line_;
        row.EndOfSequence = endOfSequence;
        const uint64_t index = header_.FilesFromZero ? file_ : file_ - 1;
        if (file_ != 0 || header_.FilesFromZero)
            if (index < header_.Files.size())
                row.File = header_.Files[index];
        rows_.push_back(std::move(row));
    }

    void Special(uint8_t opcode) {
        const unsigned adjusted = opcode - header_.OpcodeBase;
        address_ += uint64_t{adjusted / header_.LineRange} * header_.MinimumInstructionLength;
        line_ += static_cast<uint32_t>(header_.LineBase + static_cast<int>(adjusted % header_.LineRange));
        Emit(false);
    }

    void Extended(ByteReader& reader) {
        const uint64_t length = reader.ReadVarU64();
        reader.Need(length);
        if (length == 0)
            return;
        const size_t end = reader.Position() + static_cast<size_t>(length);
        switch (reader.ReadU8()) {
        case Dwarf::LneEndSequence:
            Emit(true);
            Reset();
            break;
        case Dwarf::LneSetAddress:
            address_ = length - 1 == 8 ? reader.ReadU64() : length - 1 == 4 ? reader.ReadU32() : address_;
            break;
        default:
            break; // define_file, discriminators and vendor codes change no row the producer uses
        }
        reader.Seek(end);
    }

    void Standard(uint8_t opcode, ByteReader& reader) {
        switch (opcode) {
        case Dwarf::LnsCopy:
            Emit(false);
            break;
        case Dwarf::LnsAdvancePc:
            address_ += reader.ReadVarU64() * header_.MinimumInstructionLength;
            break;
        case Dwarf::LnsAdvanceLine:
            line_ += static_cast<uint32_t>(ReadSignedLeb128(reader));
            break;
        case Dwarf::LnsSetFile:
            file_ = reader.ReadVarU64();
            break;
        case Dwarf::LnsConstAddPc:
            address_ +=
                uint64_t{(255u - header_.OpcodeBase) / header_.LineRange} * header_.MinimumInstructionLength;
            break;
        case Dwarf::LnsFixedAdvancePc:
            address_ += reader.ReadU16();
            break;
        default:
            // Operands of the rest are LEB128 numbers, as many as the header says.
            for (unsigned i = 0; i < header_.StandardOpcodeLengths[opcode - 1u]; ++i)
                reader.ReadVarU64();
            break;
        }
    }

    const LineProgramHeader& header_;
    std::string unit_;
    std::vector<DecodedLineRow>& rows_;
    uint64_t address_ = 0, file_ = 1;
    uint32_t line_ = 1;
};

} // namespace

std::vector<DecodedLineRow> ReadDwarfLineRows(const std::vector<DwarfUnitSummary>& units,
                                              const DwarfSections& sections) {
    std::vector<DecodedLineRow> rows;
    for (const DwarfUnitSummary& unit : units) {
        if (!unit.LineProgram)
            continue;
        if (*unit.LineProgram >= sections.Line.size())
            throw EDwarfFormatError(Section, "Line program outside the section", *unit.LineProgram);
        ReadingSection(Section, [&] {
            ByteReader reader(sections.Line);
            reader.Seek(static_cast<size_t>(*unit.LineProgram));
            const LineProgramHeader header = ReadHeader(reader, unit, sections);
            // The program's bytes only: an opcode that runs past its program is malformed.
            ByteReader program(sections.Line.first(static_cast<size_t>(header.End)));
            LineProgram(header, FileStem(unit.Name), rows).Run(program);
        });
    }
    return rows;
}
