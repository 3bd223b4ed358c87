#include "TracePeImage.h"

#include <algorithm>

#include "ByteReader.h"

namespace {

constexpr uint16_t Pe32Magic = 0x10B;
constexpr uint16_t Pe32PlusMagic = 0x20B;
constexpr size_t SectionHeaderSize = 40;
constexpr size_t SymbolRecordSize = 18;
constexpr unsigned ExportDirectoryIndex = 0;
constexpr unsigned DebugDirectoryIndex = 6;
constexpr size_t DebugDirectoryEntrySize = 28;
// More than any real image has; a count beyond it is taken as damage.
constexpr uint32_t MaxDirectories = 16;

std::string FixedName(std::span<const uint8_t> bytes) {
    std::string name(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (const size_t zero = name.find('\0'); zero != std::string::npos)
        name.resize(zero);
    return name;
}

} // namespace

std::optional<TTracePeImage> TTracePeImage::Read(std::span<const uint8_t> bytes, TPeLayout layout) {
    try {
        ByteReader reader(bytes);
        if (reader.ReadU16() != 0x5A4D) // "MZ"
            return std::nullopt;
        reader.Seek(0x3C);
        const uint32_t peOffset = reader.ReadU32();
        if (peOffset >= bytes.size())
            return std::nullopt;
        reader.Seek(peOffset);
        if (reader.ReadU32() != 0x00004550) // "PE\0\0"
            return std::nullopt;

        TTracePeImage image;
        image.bytes_ = bytes;
        image.layout_ = layout;
        image.fileHeader_ = reader.Position();
        image.machine_ = reader.ReadU16();
        const uint16_t sectionCount = reader.ReadU16();
        reader.Skip(4);
        const uint32_t symbolTable = reader.ReadU32();
        const uint32_t symbolCount = reader.ReadU32();
        const uint16_t optionalHeaderSize = reader.ReadU16();
        reader.Skip(2);

        image.optionalHeader_ = reader.Position();
        const uint16_t magic = reader.ReadU16();
        if (magic != Pe32Magic && magic != Pe32PlusMagic)
            return std::nullopt;
        image.is64_ = magic == Pe32PlusMagic;
        // PE32 has a BaseOfData field where PE32+ widens ImageBase to 64 bits.
        reader.Seek(image.optionalHeader_ + (image.is64_ ? 24 : 28));
        image.imageBase_ = image.is64_ ? reader.ReadU64() : reader.ReadU32();
        reader.Seek(image.optionalHeader_ + 32);
        image.sectionAlignment_ = reader.ReadU32();
        image.fileAlignment_ = reader.ReadU32();
        reader.Seek(image.optionalHeader_ + 56);
        image.sizeOfImage_ = reader.ReadU32();
        image.sizeOfHeaders_ = reader.ReadU32();
        reader.Seek(image.optionalHeader_ + (image.is64_ ? 108 : 92));
        const uint32_t directoryCount = std::min(reader.ReadU32(), MaxDirectories);
        for (uint32_t i = 0; i < directoryCount; ++i) {
            // Directories beyond the optional header's declared size are not there.
            if (reader.Position() + 8 > image.optionalHeader_ + optionalHeaderSize)
                break;
            DataDirectory directory;
            directory.Rva = reader.ReadU32();
            directory.Size = reader.ReadU32();
            image.directories_.push_back(directory);
        }

        image.symbolTable_ = symbolTable;
        image.symbolCount_ = symbolCount;
        image.sectionTable_ = image.optionalHeader_ + optionalHeaderSize;
        reader.Seek(image.sectionTable_);
        reader.NeedRecords(sectionCount, SectionHeaderSize);
        for (uint16_t i = 0; i < sectionCount; ++i) {
            TPeSection section;
            section.Name = FixedName(reader.ReadSpan(8));
            section.VirtualSize = reader.ReadU32();
            section.VirtualAddress = reader.ReadU32();
            section.SizeOfRawData = reader.ReadU32();
            section.PointerToRawData = reader.ReadU32();
            reader.Skip(12);
            section.Characteristics = reader.ReadU32();
            image.sections_.push_back(std::move(section));
        }

        // Names longer than eight characters are "/offset" into the COFF string table, which
        // follows the symbol table in the file (the loader does not map it).
        if (layout == TPeLayout::File && symbolTable != 0) {
            const uint64_t strings = uint64_t{symbolTable} + uint64_t{symbolCount} * SymbolRecordSize;
            for (TPeSection& section : image.sections_) {
                if (section.Name.size() < 2 || section.Name[0] != '/')
                    continue;
                uint64_t offset = 0;
                bool digits = true;
                for (size_t c = 1; c < section.Name.size(); ++c) {
                    digits = digits && section.Name[c] >= '0' && section.Name[c] <= '9';
                    offset = offset * 10 + static_cast<uint64_t>(section.Name[c] - '0');
                }
                if (!digits || strings + offset >= bytes.size())
                    continue;
                ByteReader name(bytes);
                name.Seek(static_cast<size_t>(strings + offset));
                try {
                    section.Name = name.ReadZString();
                } catch (const EByteReadError&) {
                    // An unterminated string table keeps the short name.
                }
            }
        }
        return image;
    } catch (const EByteReadError&) {
        return std::nullopt;
    }
}

const TPeSection* TTracePeImage::FindSection(std::string_view name) const {
    const auto found =
        std::find_if(sections_.begin(), sections_.end(), [&](const TPeSection& s) { return s.Name == name; });
    return found == sections_.end() ? nullptr : &*found;
}

std::optional<size_t> TTracePeImage::RvaToOffset(uint32_t rva) const {
    if (layout_ == TPeLayout::Mapped)
        return rva < bytes_.size() ? std::optional<size_t>(rva) : std::nullopt;
    if (rva < sizeOfHeaders_)
        return rva < bytes_.size() ? std::optional<size_t>(rva) : std::nullopt;
    for (const TPeSection& section : sections_) {
        if (rva < section.VirtualAddress)
            continue;
        const uint32_t into = rva - section.VirtualAddress;
        if (into < section.SizeOfRawData && into < std::max(section.VirtualSize, section.SizeOfRawData)) {
            const uint64_t offset = uint64_t{section.PointerToRawData} + into;
            return offset < bytes_.size() ? std::optional<size_t>(static_cast<size_t>(offset)) : std::nullopt;
        }
    }
    return std::nullopt;
}

std::span<const uint8_t> TTracePeImage::BytesAt(uint32_t rva, uint32_t size) const {
    const std::optional<size_t> offset = RvaToOffset(rva);
    if (!offset || size > bytes_.size() - *offset)
        return {};
    return bytes_.subspan(*offset, size);
}

std::span<const uint8_t> TTracePeImage::SectionData(const TPeSection& section) const {
    const uint64_t start = layout_ == TPeLayout::Mapped ? section.VirtualAddress : section.PointerToRawData;
    const uint32_t wanted =
        layout_ == TPeLayout::Mapped
            ? section.VirtualSize
            : std::min(section.VirtualSize != 0 ? section.VirtualSize : section.SizeOfRawData,
                       section.SizeOfRawData);
    if (start >= bytes_.size())
        return {};
    const size_t available = bytes_.size() - static_cast<size_t>(start);
    return bytes_.subspan(static_cast<size_t>(start), std::min<size_t>(wanted, available));
}

TTracePeImage::DataDirectory TTracePeImage::Directory(unsigned index) const {
    return index < directories_.size() ? directories_[index] : DataDirectory{};
}

std::span<const uint8_t> TTracePeImage::DirectoryData(unsigned index) const {
    const DataDirectory directory = Directory(index);
    return directory.Rva == 0 ? std::span<const uint8_t>() : BytesAt(directory.Rva, directory.Size);
}

std::vector<TPeExport> TTracePeImage::Exports() const {
    std::vector<TPeExport> exports;
    const DataDirectory directory = Directory(ExportDirectoryIndex);
    const std::span<const uint8_t> header = BytesAt(directory.Rva, 40);
    if (directory.Rva == 0 || header.empty())
        return exports;
    try {
        ByteReader table(header);
        table.Skip(16);
        const uint32_t base = table.ReadU32();
        const uint32_t functionCount = table.ReadU32();
        const uint32_t nameCount = table.ReadU32();
        const uint32_t functionsRva = table.ReadU32();
        const uint32_t namesRva = table.ReadU32();
        const uint32_t ordinalsRva = table.ReadU32();
        // The arrays must lie whole inside the image: counts are checked by the sizes they need.
        if (functionCount > bytes_.size() / 4 || nameCount > bytes_.size() / 4 ||
            functionCount > 0x3FFFFFFF || nameCount > 0x3FFFFFFF)
            return exports;
        const std::span<const uint8_t> functions = BytesAt(functionsRva, functionCount * 4);
        const std::span<const uint8_t> names = BytesAt(namesRva, nameCount * 4);
        const std::span<const uint8_t> ordinals = BytesAt(ordinalsRva, nameCount * 2);
        if ((functionCount != 0 && functions.empty()) ||
            (nameCount != 0 && (names.empty() || ordinals.empty())))
            return exports;
        std::vector<std::string> nameOf(functionCount);
        ByteReader nameReader(names), ordinalReader(ordinals);
        for (uint32_t i = 0; i < nameCount; ++i) {
            const uint32_t nameRva = nameReader.ReadU32();
            const uint16_t index = ordinalReader.ReadU16();
            const std::optional<size_t> at = RvaToOffset(nameRva);
            if (!at || index >= functionCount)
                continue;
            ByteReader text(bytes_);
            text.Seek(*at);
            try {
                nameOf[index] = text.ReadZString();
            } catch (const EByteReadError&) {
                // An unterminated name leaves the export nameless.
            }
        }
        ByteReader functionReader(functions);
        for (uint32_t i = 0; i < functionCount; ++i) {
            const uint32_t rva = functionReader.ReadU32();
            const bool forwarder = rva >= directory.Rva && rva - directory.Rva < directory.Size;
            if (rva == 0 || forwarder)
                continue;
            exports.push_back({nameOf[i], base + i, rva});
        }
    } catch (const EByteReadError&) {
        exports.clear();
    }
    return exports;
}

std::vector<TPeDebugDirectory> TTracePeImage::DebugDirectories() const {
    std::vector<TPeDebugDirectory> entries;
    const DataDirectory directory = Directory(DebugDirectoryIndex);
    const std::span<const uint8_t> table = BytesAt(directory.Rva, directory.Size);
    if (directory.Rva == 0 || table.empty())
        return entries;
    ByteReader reader(table);
    while (reader.Remaining() >= DebugDirectoryEntrySize) {
        reader.Skip(12);
        TPeDebugDirectory entry;
        entry.Type = reader.ReadU32();
        entry.SizeOfData = reader.ReadU32();
        entry.AddressOfRawData = reader.ReadU32();
        entry.PointerToRawData = reader.ReadU32();
        entries.push_back(entry);
    }
    return entries;
}

std::vector<TPeSymbol> TTracePeImage::Symbols() const {
    std::vector<TPeSymbol> symbols;
    if (layout_ != TPeLayout::File || symbolTable_ == 0 || symbolTable_ >= bytes_.size())
        return symbols;
    try {
        ByteReader table(bytes_);
        table.Seek(symbolTable_);
        table.NeedRecords(symbolCount_, SymbolRecordSize);
        const uint64_t strings = uint64_t{symbolTable_} + uint64_t{symbolCount_} * SymbolRecordSize;
        for (uint32_t i = 0; i < symbolCount_; ++i) {
            const std::span<const uint8_t> name = table.ReadSpan(8);
            TPeSymbol symbol;
            symbol.Value = table.ReadU32();
            symbol.SectionNumber = table.ReadI16();
            symbol.Type = table.ReadU16();
            symbol.StorageClass = table.ReadU8();
            const uint8_t auxiliaries = table.ReadU8();
            if (name[0] == 0 && name[1] == 0 && name[2] == 0 && name[3] == 0) {
                // A long name: its offset in the string table that follows the symbols.
                const uint32_t offset = ByteReader(name.subspan(4)).ReadU32();
                if (strings + offset < bytes_.size()) {
                    ByteReader text(bytes_);
                    text.Seek(static_cast<size_t>(strings + offset));
                    try {
                        symbol.Name = text.ReadZString();
                    } catch (const EByteReadError&) {
                        // An unterminated long name leaves the symbol nameless.
                    }
                }
            } else {
                symbol.Name = FixedName(name);
            }
            symbols.push_back(std::move(symbol));
            const uint32_t skipped = std::min<uint32_t>(auxiliaries, symbolCount_ - 1 - i);
            table.Skip(uint64_t{skipped} * SymbolRecordSize);
            i += skipped;
        }
    } catch (const EByteReadError&) {
        symbols.clear();
    }
    return symbols;
}
