#include "VynTrxStringBlocks.h"

#include <string>

#include "ByteReader.h"
#include "VynSysUtilsPaths.h"

TStringTableBlock DecodeStringTableBlock(std::span<const uint8_t> bytes, uint32_t block) {
    TStringTableBlock entries;
    ByteReader reader(bytes);
    const uint32_t first = (block - 1) * 16;
    for (uint32_t position = 0; position < 16; ++position) {
        const uint16_t units = reader.ReadU16();
        WideString text = reader.ReadWideString(units);
        if (!text.empty())
            entries.push_back({first + position, std::move(text)});
    }
    return entries;
}

std::vector<uint8_t> EncodeStringTableBlock(const TStringTableBlock& entries, uint32_t block) {
    const uint32_t first = (block - 1) * 16;
    const WideString* texts[16] = {};
    for (const TStringTableEntry& entry : entries) {
        if (entry.Id >= first && entry.Id < first + 16)
            texts[entry.Id - first] = &entry.Text;
    }
    std::vector<uint8_t> bytes;
    for (uint32_t position = 0; position < 16; ++position) {
        const WideString* text = texts[position];
        const size_t units = text ? text->size() : 0;
        if (units > 0xFFFF)
            throw EVynInternalError("Internal Error: the string " + std::to_string(first + position) +
                                    " is longer than a string table holds.");
        bytes.push_back(static_cast<uint8_t>(units & 0xFF));
        bytes.push_back(static_cast<uint8_t>(units >> 8));
        for (size_t i = 0; i < units; ++i) {
            bytes.push_back(static_cast<uint8_t>((*text)[i] & 0xFF));
            bytes.push_back(static_cast<uint8_t>((*text)[i] >> 8));
        }
    }
    return bytes;
}
