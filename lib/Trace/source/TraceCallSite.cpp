#include "TraceCallSite.h"

#include <algorithm>

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

std::optional<unsigned> CallInstructionLength64(const std::array<uint8_t, 8>& bytes) {
    const auto length = CallInstructionLength(bytes);
    if (!length || *length == 5 || *length >= bytes.size())
        return length;
    const uint8_t before = bytes[bytes.size() - *length - 1];
    const bool rexPrefix = (before & 0xF0) == 0x40;
    return rexPrefix ? *length + 1 : *length;
}

bool IsSameSystemCallStub(const std::array<uint8_t, SystemCallStubSize>& first,
                          const std::array<uint8_t, SystemCallStubSize>& second) {
    constexpr uint8_t PushImmediate = 0x68, JumpRelative = 0xE9;
    const auto isStub = [](const std::array<uint8_t, SystemCallStubSize>& bytes) {
        return bytes[0] == PushImmediate && bytes[5] == JumpRelative;
    };
    return isStub(first) && isStub(second) && std::equal(first.begin() + 1, first.begin() + 5, second.begin() + 1);
}
