#include "TraceTD32.h"

#include <algorithm>

#include "ByteReader.h"
#include "Exceptions.h"
#include "Format.h"
#include "TracePeImage.h"

namespace {

using namespace TD32Format;

constexpr char UnitPath[] = "lib/Trace/source/TraceTD32";
// Where the procedure fields lie in a procedure symbol, counted from its length field.
constexpr size_t ProcedureSizeField = 16;
constexpr size_t ProcedureStartField = 28;
constexpr size_t ProcedureNameField = 40;
constexpr size_t ProcedureRecordSize = ProcedureNameField + 4;
// Records may point at shared tables; well-formed data reads each byte about once, so reading more
// than this many times the data's size means positions that loop back, and the data is refused.
constexpr uint64_t WorkPerDataByte = 4;

bool IsSignature(uint32_t value) {
    return value == SignatureFB09 || value == SignatureFB0A;
}

// Structure that does not fit the data: the data is refused as a whole.
struct MalformedData {};

} // namespace

std::span<const uint8_t> FindTD32Data(std::span<const uint8_t> block) {
    if (block.size() <= TrailerSize)
        return {};
    ByteReader trailer(block);
    trailer.Seek(block.size() - TrailerSize);
    if (!IsSignature(trailer.ReadU32()))
        return {};
    const uint32_t distance = trailer.ReadU32();
    // The distance must leave room for the leading signature and the directory position.
    if (distance < TrailerSize || distance > block.size())
        return {};
    const std::span<const uint8_t> data = block.subspan(block.size() - distance);
    if (!IsSignature(ByteReader(data).ReadU32()))
        return {};
    return data;
}

std::span<const uint8_t> TD32DataOfImage(const TTracePeImage& image) {
    const std::vector<TPeDebugDirectory> entries = image.DebugDirectories();
    if (entries.size() != 1 || entries[0].Type != TD32DebugType || entries[0].AddressOfRawData == 0)
        return {};
    return FindTD32Data(image.BytesAt(entries[0].AddressOfRawData, entries[0].SizeOfData));
}

std::string ReformatTD32Name(std::string_view stored) {
    size_t dropped = 0;
    if (!stored.empty() && stored.front() == '@') {
        // "@Unit@Name": the unit qualifier goes, the name stays.
        const size_t next = stored.find('@', 1);
        dropped = next == std::string_view::npos ? 1 : next + 1;
    }
    // An '@' right after another belongs to the name ("@System@@LStrClr" is "@LStrClr"); that
    // includes one right after the dropped qualifier.
    std::string name(stored.substr(dropped));
    for (size_t i = dropped; i < stored.size(); ++i)
        if (stored[i] == '@' && stored[i - 1] != '@')
            name[i - dropped] = '.';
    return name;
}

// ---- The parser

// A cursor over the data that also counts the work done, so that positions pointing back at
// tables already read cannot make the parse grow beyond the data's size.
class TTraceTD32InfoParser::Reader {
public:
    Reader(TTraceTD32InfoParser& parser, std::span<const uint8_t> data)
        : parser_(parser), data_(data), budget_(uint64_t{data.size()} * WorkPerDataByte) {}

    void ReadDirectories() {
        ByteReader header(data_);
        header.Seek(4);
        uint32_t position = header.ReadU32();
        // A chain longer than the data could hold directories loops back on itself.
        for (uint64_t walked = 0; position != 0; ++walked) {
            if (walked > data_.size() / DirectoryHeaderSize)
                throw MalformedData{};
            position = ReadDirectory(position);
        }
    }

private:
    void Charge(uint64_t bytes) {
        if (bytes > budget_)
            throw MalformedData{};
        budget_ -= bytes;
    }
    // The bytes [position, position + size) of `within`, which must lie inside it.
    static std::span<const uint8_t> Part(std::span<const uint8_t> within, uint32_t position, uint64_t size) {
        if (position > within.size() || size > within.size() - position)
            throw MalformedData{};
        return within.subspan(position, static_cast<size_t>(size));
    }

    // Reads one directory and its subsections; the position of the next directory (0: none).
    uint32_t ReadDirectory(uint32_t position) {
        ByteReader directory(Part(data_, position, DirectoryHeaderSize));
        const uint16_t headerSize = directory.ReadU16();
        const uint16_t entrySize = directory.ReadU16();
        if (entrySize != DirectoryEntrySize)
            throw EAssertionFailed(Format("%s (%s, line %d)", {"Assertion failure", UnitPath, __LINE__}));
        const uint32_t count = directory.ReadU32();
        const uint32_t next = directory.ReadU32();
        if (headerSize < DirectoryHeaderSize)
            throw MalformedData{};
        ByteReader entries(
            Part(data_, position, uint64_t{headerSize} + uint64_t{count} * DirectoryEntrySize));
        entries.Seek(headerSize);
        Charge(entries.Remaining());
        for (uint32_t i = 0; i < count; ++i) {
            const uint16_t type = entries.ReadU16();
            entries.Skip(2); // the module index: the subsections' order says the same
            const uint32_t start = entries.ReadU32();
            const uint32_t size = entries.ReadU32();
            ReadSubsection(type, Part(data_, start, size));
        }
        return next;
    }

    void ReadSubsection(uint16_t type, std::span<const uint8_t> bytes) {
        switch (type) {
        case ModuleSubsection:
            return ReadModule(bytes);
        case AlignedSymbolsSubsection:
            return ReadSymbols(bytes);
        case SourceModuleSubsection:
            return ReadSourceModule(bytes);
        case NamesSubsection:
            return ReadNames(bytes);
        default:
            return; // types and line data of other tools
        }
    }

    void ReadNames(std::span<const uint8_t> bytes) {
        ByteReader names(bytes);
        const uint32_t count = names.ReadU32();
        // A length byte and a terminating zero at least for each.
        names.NeedRecords(count, 2);
        Charge(bytes.size());
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t length = names.ReadU8();
            const std::span<const uint8_t> text = names.ReadSpan(length);
            names.Skip(1);
            parser_.names_.emplace_back(reinterpret_cast<const char*>(text.data()), text.size());
        }
    }

    void ReadModule(std::span<const uint8_t> bytes) {
        ByteReader module(bytes);
        module.Seek(4);
        const uint16_t segmentCount = module.ReadU16();
        module.Seek(8);
        Module read;
        read.NameIndex = module.ReadU32();
        module.Seek(28);
        module.NeedRecords(segmentCount, 12);
        Charge(bytes.size());
        for (uint16_t i = 0; i < segmentCount; ++i) {
            Segment segment;
            segment.SegmentWord = module.ReadU32();
            segment.Start = module.ReadU32();
            segment.Size = module.ReadU32();
            read.Segments.push_back(segment);
        }
        parser_.modules_.push_back(std::move(read));
    }

    void ReadSourceModule(std::span<const uint8_t> bytes) {
        ByteReader header(bytes);
        const uint16_t fileCount = header.ReadU16();
        header.Seek(4);
        header.NeedRecords(fileCount, 4);
        Charge(4 + uint64_t{fileCount} * 4);
        for (uint16_t i = 0; i < fileCount; ++i) {
            const uint32_t position = header.ReadU32();
            ByteReader file(Part(bytes, position, 6));
            const uint16_t segmentCount = file.ReadU16();
            const uint32_t nameIndex = file.ReadU32();
            if (nameIndex == 0)
                continue;
            // The table positions, then a start and an end per segment.
            const uint64_t entrySize = 6 + uint64_t{segmentCount} * 12;
            ByteReader entry(Part(bytes, position, entrySize));
            Charge(entrySize);
            entry.Seek(6);
            SourceFile read;
            read.NameIndex = nameIndex;
            std::vector<uint32_t> tables(segmentCount);
            for (uint32_t& table : tables)
                table = entry.ReadU32();
            for (uint16_t s = 0; s < segmentCount; ++s) {
                Range range;
                range.Start = entry.ReadU32();
                range.End = entry.ReadU32();
                read.Ranges.push_back(range);
            }
            for (const uint32_t table : tables)
                ReadLineTable(bytes, table, read.Lines);
            parser_.sourceFiles_.push_back(std::move(read));
        }
    }

    void ReadLineTable(std::span<const uint8_t> bytes, uint32_t position, std::vector<LineEntry>& lines) {
        ByteReader header(Part(bytes, position, 4));
        header.Skip(2); // the segment index: the file's ranges place the lines already
        const uint16_t count = header.ReadU16();
        const uint64_t tableSize = 4 + uint64_t{count} * 6;
        ByteReader offsets(Part(bytes, position, tableSize));
        Charge(tableSize);
        offsets.Seek(4);
        ByteReader numbers(Part(bytes, position, tableSize));
        numbers.Seek(4 + size_t{count} * 4);
        for (uint16_t i = 0; i < count; ++i) {
            LineEntry line;
            line.Offset = offsets.ReadU32();
            line.Line = numbers.ReadU16();
            lines.push_back(line);
        }
    }

    void ReadSymbols(std::span<const uint8_t> bytes) {
        ByteReader symbols(bytes);
        Charge(bytes.size());
        symbols.Seek(std::min<size_t>(4, bytes.size()));
        // Fewer than four bytes left are the alignment padding after the last record.
        while (symbols.Remaining() >= 4) {
            const size_t start = symbols.Position();
            const uint16_t length = symbols.ReadU16();
            const uint16_t type = symbols.ReadU16();
            const size_t recordSize = size_t{length} + 2;
            if (recordSize < 4 || recordSize > bytes.size() - start)
                throw MalformedData{};
            if (type == LocalProcedureSymbol || type == GlobalProcedureSymbol) {
                if (recordSize < ProcedureRecordSize)
                    throw MalformedData{};
                ByteReader record(bytes.subspan(start, recordSize));
                Procedure procedure;
                record.Seek(ProcedureSizeField);
                procedure.Size = record.ReadU32();
                record.Seek(ProcedureStartField);
                procedure.Start = record.ReadU32();
                record.Seek(ProcedureNameField);
                procedure.NameIndex = record.ReadU32();
                parser_.procedures_.push_back(procedure);
            }
            symbols.Seek(start + recordSize);
        }
    }

    TTraceTD32InfoParser& parser_;
    std::span<const uint8_t> data_;
    uint64_t budget_;
};

TTraceTD32InfoParser::TTraceTD32InfoParser(std::span<const uint8_t> block) : data_(FindTD32Data(block)) {
    if (!data_.empty())
        Parse();
}

void TTraceTD32InfoParser::Parse() {
    try {
        Reader(*this, data_).ReadDirectories();
        valid_ = true;
    } catch (const EByteReadError&) {
    } catch (const MalformedData&) {
    }
    if (!valid_) {
        // Nothing of refused data is answered.
        names_.clear();
        modules_.clear();
        sourceFiles_.clear();
        procedures_.clear();
    }
}

std::string_view TTraceTD32InfoParser::Name(uint32_t index) const {
    if (index == 0 || index > names_.size())
        return {};
    return names_[index - 1];
}

// ---- The scanner

std::string TTraceTD32InfoScanner::UnitOf(uint32_t offset) const {
    for (const Module& module : Modules())
        for (const Segment& segment : module.Segments)
            if (segment.Start <= offset && offset - segment.Start < segment.Size)
                return std::string(Name(module.NameIndex));
    return {};
}

TTraceTD32InfoScanner::ProcedureAt TTraceTD32InfoScanner::ProcedureOf(uint32_t offset) const {
    for (const Procedure& procedure : Procedures())
        if (procedure.Start <= offset && offset - procedure.Start < procedure.Size)
            return {ReformatTD32Name(Name(procedure.NameIndex)),
                    static_cast<int32_t>(offset - procedure.Start)};
    return {};
}

const TTraceTD32InfoParser::SourceFile* TTraceTD32InfoScanner::SourceFileAt(uint32_t offset) const {
    for (const SourceFile& file : SourceFiles())
        for (const Range& range : file.Ranges)
            if (range.Start <= offset && offset < range.End)
                return &file;
    return nullptr;
}

TTraceTD32InfoScanner::LineAt TTraceTD32InfoScanner::LineOf(uint32_t offset) const {
    const SourceFile* file = SourceFileAt(offset);
    if (file == nullptr)
        return {};
    // The code of a line runs up to the next line's: the nearest entry at or below the offset, the
    // first of equal ones.
    const LineEntry* nearest = nullptr;
    for (const LineEntry& line : file->Lines)
        if (line.Offset <= offset && (nearest == nullptr || line.Offset > nearest->Offset))
            nearest = &line;
    if (nearest == nullptr)
        return {};
    return {nearest->Line, static_cast<int32_t>(offset - nearest->Offset)};
}

std::string TTraceTD32InfoScanner::SourceFileOf(uint32_t offset) const {
    const SourceFile* file = SourceFileAt(offset);
    return file != nullptr ? std::string(Name(file->NameIndex)) : std::string();
}
