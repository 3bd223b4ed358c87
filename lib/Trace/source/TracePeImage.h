// A reader of PE images (PE32 and PE32+), as a file on disk or as the loader mapped it: headers,
// sections (long names from the COFF string table included), the export table and the debug
// directory. Platform-free: the bytes are untrusted, and a malformed image is "no image" or an
// empty table, never a read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum class TPeLayout {
    File,  // as stored: sections at their raw-data offsets
    Mapped // as loaded: sections at their virtual addresses
};

struct TPeSection {
    std::string Name;
    uint32_t VirtualAddress = 0;
    uint32_t VirtualSize = 0;
    uint32_t PointerToRawData = 0;
    uint32_t SizeOfRawData = 0;
    uint32_t Characteristics = 0;
};

struct TPeExport {
    std::string Name; // empty for an export by ordinal only
    uint32_t Ordinal = 0;
    uint32_t Rva = 0;
};

// A record of the COFF symbol table a linked file may keep (the loader does not map it).
struct TPeSymbol {
    std::string Name;
    uint32_t Value = 0;        // the offset in its section
    int16_t SectionNumber = 0; // 1-based; 0 and below are no section
    uint16_t Type = 0;         // 0x20: a function
    uint8_t StorageClass = 0;  // 2: external, 3: static
};

struct TPeDebugDirectory {
    uint32_t Type = 0;
    uint32_t SizeOfData = 0;
    uint32_t AddressOfRawData = 0; // RVA, 0 when not mapped
    uint32_t PointerToRawData = 0; // file offset
};

class TTracePeImage {
public:
    // The image, when the bytes hold one: "MZ", a PE signature inside the bytes, a known optional
    // header, and a section table inside the bytes. The bytes must outlive the reader.
    static std::optional<TTracePeImage> Read(std::span<const uint8_t> bytes, TPeLayout layout);

    bool Is64() const { return is64_; }
    uint16_t Machine() const { return machine_; }
    uint64_t ImageBase() const { return imageBase_; }
    uint32_t SizeOfImage() const { return sizeOfImage_; }
    uint32_t SizeOfHeaders() const { return sizeOfHeaders_; }
    uint32_t SectionAlignment() const { return sectionAlignment_; }
    uint32_t FileAlignment() const { return fileAlignment_; }
    // Where the section table starts and where the optional header's fields lie, for a writer.
    size_t SectionTableOffset() const { return sectionTable_; }
    size_t OptionalHeaderOffset() const { return optionalHeader_; }
    size_t FileHeaderOffset() const { return fileHeader_; }
    const std::vector<TPeSection>& Sections() const { return sections_; }

    const TPeSection* FindSection(std::string_view name) const;
    // A section's bytes as far as they lie inside the image's bytes (its virtual size at most).
    std::span<const uint8_t> SectionData(const TPeSection& section) const;
    // The bytes of `size` bytes at an RVA, or empty when they do not lie whole inside the image.
    std::span<const uint8_t> BytesAt(uint32_t rva, uint32_t size) const;
    // The bytes data directory `index` names (2: the resource directory), empty when the image has
    // no such entry or its bytes do not lie whole inside the image.
    std::span<const uint8_t> DirectoryData(unsigned index) const;

    // Exports by name and by ordinal alone; forwarders (an RVA inside the export directory) are
    // left out. Empty for an image without exports or with a malformed table.
    std::vector<TPeExport> Exports() const;
    std::vector<TPeDebugDirectory> DebugDirectories() const;
    // The COFF symbol table of a file (empty when mapped, stripped or malformed), auxiliary
    // records skipped.
    std::vector<TPeSymbol> Symbols() const;

private:
    TTracePeImage() = default;
    std::optional<size_t> RvaToOffset(uint32_t rva) const;
    struct DataDirectory {
        uint32_t Rva = 0, Size = 0;
    };
    DataDirectory Directory(unsigned index) const;

    std::span<const uint8_t> bytes_;
    TPeLayout layout_ = TPeLayout::File;
    bool is64_ = false;
    uint16_t machine_ = 0;
    uint64_t imageBase_ = 0;
    uint32_t sizeOfImage_ = 0, sizeOfHeaders_ = 0, sectionAlignment_ = 0, fileAlignment_ = 0;
    size_t fileHeader_ = 0, optionalHeader_ = 0, sectionTable_ = 0;
    std::vector<DataDirectory> directories_;
    uint32_t symbolTable_ = 0, symbolCount_ = 0;
    std::vector<TPeSection> sections_;
};
