// One string of a stored string-table block (RT_STRING): 16 entries, each a 16-bit count of UTF-16
// units followed by the units, no terminator. Platform-free: the block comes from a module that
// may be damaged, so every count is checked against the block's size.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

// Where an entry's text lies in its block: the byte offset of its first unit and its length in
// units. The length is cut to the whole units left in the block, so the text never reaches past it.
struct TStringTableText {
    size_t Offset = 0;
    size_t Length = 0;
};

// The entry at position (0 to 15; higher positions are taken modulo 16) of the block. Nothing when
// the block ends before the entry's count; an odd last byte is no unit and is ignored.
std::optional<TStringTableText> FindStringTableEntry(std::span<const unsigned char> block, unsigned position);
