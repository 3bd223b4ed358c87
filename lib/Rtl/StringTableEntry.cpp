#include "StringTableEntry.h"

#include <algorithm>
#include <cstdint>

#include "ByteReader.h"

std::optional<TStringTableText> FindStringTableEntry(std::span<const unsigned char> block,
                                                     unsigned position) {
    ByteReader reader(block.first(block.size() / 2 * 2));
    for (unsigned skip = position % 16; skip > 0; --skip) {
        if (reader.Remaining() < 2)
            return std::nullopt;
        const uint16_t units = reader.ReadU16();
        if (units > reader.Remaining() / 2)
            return std::nullopt;
        reader.Skip(uint64_t{units} * 2);
    }
    if (reader.Remaining() < 2)
        return std::nullopt;
    const uint16_t units = reader.ReadU16();
    return TStringTableText{reader.Position(), std::min<size_t>(units, reader.Remaining() / 2)};
}
