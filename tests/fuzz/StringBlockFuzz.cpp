// String-table blocks of a translation module: a block decodes or raises EByteReadError, and the
// decoded entries encode back to a block that decodes the same. The finder of single entries (the
// string loader's ANSI path) stays inside the block and, where the block decodes, agrees with it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>

#include "ByteReader.h"
#include "StringTableEntry.h"
#include "VynTrxStringBlocks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // The block number is part of the input: identifiers are computed from it.
    const uint32_t block = 1 + ((data[0] | data[1] << 8) % 4096);
    const std::span<const uint8_t> bytes(data + 2, size - 2);
    std::optional<TStringTableText> found[16];
    for (unsigned position = 0; position < 16; ++position) {
        found[position] = FindStringTableEntry(bytes, position);
        if (found[position] && found[position]->Offset + 2 * found[position]->Length > bytes.size())
            std::abort();
    }
    TStringTableBlock entries;
    try {
        entries = DecodeStringTableBlock(bytes, block);
    } catch (const EByteReadError&) {
        return 0;
    }
    for (unsigned position = 0; position < 16; ++position) {
        const TStringTableText text = found[position].value_or(TStringTableText{});
        WideString expected;
        for (const TStringTableEntry& entry : entries) {
            if (entry.Id == (block - 1) * 16 + position)
                expected = entry.Text;
        }
        if (!found[position] || text.Length != expected.size() ||
            (text.Length > 0 &&
             std::memcmp(bytes.data() + text.Offset, expected.data(), 2 * text.Length) != 0))
            std::abort();
    }
    if (DecodeStringTableBlock(EncodeStringTableBlock(entries, block), block) != entries)
        std::abort();
    return 0;
}
