#include "TraceCallSite.h"

std::optional<unsigned> CallInstructionLength(const std::array<uint8_t, 8>& bytes) {
    const auto word = [&](size_t at) {
        return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
               static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
    };
    const uint32_t a = word(0); // the 4 bytes at v - 8
    const uint32_t b = word(4); // the 4 bytes at v - 4
    if ((a >> 24) == 0xE8)
        return 5;
    // An indirect call is FF followed by a ModR/M byte whose register field is 2; the mask keeps
    // the opcode byte and that field, wherever the instruction's operand bytes end it.
    if ((b & 0x38FF0000u) == 0x10FF0000u)
        return 2;
    if ((b & 0x0038FF00u) == 0x0010FF00u)
        return 3;
    if ((b & 0x000038FFu) == 0x000010FFu)
        return 4;
    if ((a & 0x38FF0000u) == 0x10FF0000u)
        return 6;
    if ((a & 0x0038FF00u) == 0x0010FF00u)
        return 7;
    return std::nullopt;
}
