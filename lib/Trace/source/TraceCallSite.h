// Whether a value found on the stack is a return address: the bytes before it must end with a
// call instruction. Platform-free; the caller reads the bytes (guarding the read) and decides
// whether they lie in program code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

// The length of the call instruction that ends right before a return address, from the 8 bytes
// before it (bytes[7] is the last byte of the instruction): 5 for a direct call (E8 rel32), 2, 3,
// 4, 6 or 7 for the indirect forms (FF with a ModR/M register field of 2), tried in that order;
// none when the bytes end in no call.
std::optional<unsigned> CallInstructionLength(const std::array<uint8_t, 8>& bytes);

// The same on x86-64, where an indirect call may carry a REX prefix (41 FF D0): the prefix byte
// right before the FF counts to the instruction.
std::optional<unsigned> CallInstructionLength64(const std::array<uint8_t, 8>& bytes);

// A system call stub of the Windows 9x family: "push imm32; jmp rel32" (68 xx xx xx xx E9 ...).
// Two stubs are the same function when they push the same value.
constexpr size_t SystemCallStubSize = 10;
bool IsSameSystemCallStub(const std::array<uint8_t, SystemCallStubSize>& first,
                          const std::array<uint8_t, SystemCallStubSize>& second);
