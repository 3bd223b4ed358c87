#include "PeSectionAppender.h"

#include <algorithm>
#include <stdexcept>

#include "ByteReader.h"
#include "LittleEndian.h"
#include "TracePeImage.h"

namespace {

constexpr size_t SectionHeaderSize = 40;

uint64_t AlignUp(uint64_t value, uint32_t alignment) {
    return alignment == 0 ? value : (value + alignment - 1) / alignment * alignment;
}

uint16_t Get16(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

} // namespace

uint32_t PeChecksum(std::span<const uint8_t> image, size_t checksumOffset) {
    // Sum of the 16-bit words with carries folded back, the checksum field counted as zero,
    // plus the file's length.
    uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        if (i >= checksumOffset && i < checksumOffset + 4)
            continue;
        const uint16_t word = i + 1 < image.size() ? Get16(image, i) : image[i];
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + image.size());
}

void KeepLinkTimeStamp(std::span<const uint8_t> linked, std::vector<uint8_t>& image) {
    const auto from = TTracePeImage::Read(linked, TPeLayout::File);
    const auto to = TTracePeImage::Read(image, TPeLayout::File);
    if (!from || !to)
        throw std::runtime_error("not a PE image");
    constexpr size_t TimeDateStamp = 4; // after Machine and NumberOfSections
    std::copy_n(linked.begin() + static_cast<ptrdiff_t>(from->FileHeaderOffset() + TimeDateStamp), 4,
                image.begin() + static_cast<ptrdiff_t>(to->FileHeaderOffset() + TimeDateStamp));
}

std::vector<uint8_t> AppendPeSection(std::span<const uint8_t> image, const std::string& name,
                                     std::span<const uint8_t> data, uint32_t characteristics) {
    const auto pe = TTracePeImage::Read(image, TPeLayout::File);
    if (!pe)
        throw std::runtime_error("not a PE image");
    if (name.empty() || name.size() > 8)
        throw std::runtime_error("a section name has 1 to 8 characters: " + name);
    if (pe->FindSection(name) != nullptr)
        throw std::runtime_error("the image has a section " + name + " already");
    const size_t entry = pe->SectionTableOffset() + pe->Sections().size() * SectionHeaderSize;
    uint64_t firstRaw = pe->SizeOfHeaders();
    for (const TPeSection& section : pe->Sections())
        if (section.SizeOfRawData != 0)
            firstRaw = std::min<uint64_t>(firstRaw, section.PointerToRawData);
    if (entry + SectionHeaderSize > firstRaw)
        throw std::runtime_error("the headers have no room for another section");

    uint64_t virtualEnd = AlignUp(pe->SizeOfHeaders(), pe->SectionAlignment());
    for (const TPeSection& section : pe->Sections())
        virtualEnd = std::max(virtualEnd, uint64_t{section.VirtualAddress} +
                                              std::max(section.VirtualSize, section.SizeOfRawData));
    const uint64_t virtualAddress = AlignUp(virtualEnd, pe->SectionAlignment());
    const uint64_t rawOffset = AlignUp(image.size(), pe->FileAlignment());
    const uint64_t rawSize = AlignUp(data.size(), pe->FileAlignment());
    const uint64_t imageSize = AlignUp(virtualAddress + data.size(), pe->SectionAlignment());
    if (imageSize > 0xFFFFFFFFu || rawOffset + rawSize > 0xFFFFFFFFu)
        throw std::runtime_error("the image would outgrow 4 GB");

    std::vector<uint8_t> out(image.begin(), image.end());
    out.resize(static_cast<size_t>(rawOffset + rawSize), 0);
    std::copy(data.begin(), data.end(), out.begin() + static_cast<std::ptrdiff_t>(rawOffset));
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(entry),
              out.begin() + static_cast<std::ptrdiff_t>(entry + SectionHeaderSize), 0);
    std::copy(name.begin(), name.end(), out.begin() + static_cast<std::ptrdiff_t>(entry));
    PutU32(out, entry + 8, static_cast<uint32_t>(data.size()));
    PutU32(out, entry + 12, static_cast<uint32_t>(virtualAddress));
    PutU32(out, entry + 16, static_cast<uint32_t>(rawSize));
    PutU32(out, entry + 20, static_cast<uint32_t>(rawOffset));
    PutU32(out, entry + 36, characteristics);
    PutU16(out, pe->FileHeaderOffset() + 2, static_cast<uint16_t>(pe->Sections().size() + 1));
    PutU32(out, pe->OptionalHeaderOffset() + 56, static_cast<uint32_t>(imageSize));
    // Initialised data grows by the section's raw size.
    const size_t initialisedData = pe->OptionalHeaderOffset() + 8;
    ByteReader header(image);
    header.Seek(initialisedData);
    PutU32(out, initialisedData, header.ReadU32() + static_cast<uint32_t>(rawSize));
    const size_t checksum = pe->OptionalHeaderOffset() + 64;
    PutU32(out, checksum, PeChecksum(out, checksum));
    return out;
}
