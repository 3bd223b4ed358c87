// String-table blocks of a translation module: a block decodes or raises EByteReadError, and the
// decoded entries encode back to a block that decodes the same.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "ByteReader.h"
#include "VynTrxStringBlocks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // The block number is part of the input: identifiers are computed from it.
    const uint32_t block = 1 + ((data[0] | data[1] << 8) % 4096);
    const std::span<const uint8_t> bytes(data + 2, size - 2);
    TStringTableBlock entries;
    try {
        entries = DecodeStringTableBlock(bytes, block);
    } catch (const EByteReadError&) {
        return 0;
    }
    if (DecodeStringTableBlock(EncodeStringTableBlock(entries, block), block) != entries)
        std::abort();
    return 0;
}
