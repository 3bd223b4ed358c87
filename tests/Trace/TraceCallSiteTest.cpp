// Return addresses are told from other stack values by the call instruction that ends right
// before them: the encodings compilers emit on both architectures, and look-alikes that are none.
#include <gtest/gtest.h>

#include <vector>

#include "TraceCallSite.h"

namespace {

// The 8 bytes before a return address whose preceding instruction is `call` (padding before it).
std::array<uint8_t, 8> Ending(const std::vector<uint8_t>& call) {
    std::array<uint8_t, 8> bytes;
    bytes.fill(0x90);
    std::copy(call.begin(), call.end(), bytes.end() - static_cast<std::ptrdiff_t>(call.size()));
    return bytes;
}

TEST(CallSite, EveryCallEncodingGivesItsLength) {
    EXPECT_EQ(CallInstructionLength(Ending({0xE8, 0x10, 0x20, 0x30, 0x40})), 5u) << "call rel32";
    EXPECT_EQ(CallInstructionLength(Ending({0xFF, 0xD0})), 2u) << "call eax";
    EXPECT_EQ(CallInstructionLength(Ending({0xFF, 0x14, 0x24})), 3u) << "call [esp]";
    EXPECT_EQ(CallInstructionLength(Ending({0xFF, 0x55, 0x08})), 3u) << "call [ebp+8]";
    EXPECT_EQ(CallInstructionLength(Ending({0xFF, 0x54, 0x24, 0x08})), 4u) << "call [esp+8]";
    EXPECT_EQ(CallInstructionLength(Ending({0xFF, 0x15, 0x00, 0x10, 0x40, 0x00})), 6u) << "call [import]";
    EXPECT_EQ(CallInstructionLength(Ending({0xFF, 0x94, 0x24, 0x00, 0x01, 0x00, 0x00})), 7u)
        << "call [esp+disp32]";
    // x86-64: a REX prefix before the opcode changes nothing at the end that is read.
    EXPECT_EQ(CallInstructionLength(Ending({0x41, 0xFF, 0xD3})), 2u) << "call r11";
    EXPECT_EQ(CallInstructionLength(Ending({0xFF, 0x15, 0xF0, 0xFF, 0xFF, 0xFF})), 6u) << "call [rip+disp32]";
}

TEST(CallSite, JumpsAndOtherBytesAreNoCallSite) {
    EXPECT_FALSE(CallInstructionLength(Ending({})));
    EXPECT_FALSE(CallInstructionLength(Ending({0xE9, 0x10, 0x20, 0x30, 0x40}))) << "jmp rel32";
    EXPECT_FALSE(CallInstructionLength(Ending({0xFF, 0xE0}))) << "jmp eax (register field 4)";
    EXPECT_FALSE(CallInstructionLength(Ending({0xFF, 0x25, 0x00, 0x10, 0x40, 0x00}))) << "jmp [import]";
    EXPECT_FALSE(CallInstructionLength({0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(CallSite, TheDirectCallIsTriedFirst) {
    // E8 five bytes back, whose operand happens to end in FF D0: the direct call wins.
    EXPECT_EQ(CallInstructionLength(Ending({0xE8, 0x00, 0x00, 0xFF, 0xD0})), 5u);
}

TEST(CallSite, OnX64ARexPrefixBelongsToTheCall) {
    EXPECT_EQ(CallInstructionLength64(Ending({0x41, 0xFF, 0xD3})), 3u) << "call r11";
    EXPECT_EQ(CallInstructionLength64(Ending({0x41, 0xFF, 0x54, 0x24, 0x08})), 5u) << "call [r12+8]";
    EXPECT_EQ(CallInstructionLength64(Ending({0x48, 0xFF, 0x94, 0x24, 0x00, 0x01, 0x00, 0x00})), 8u)
        << "the longest form fills all eight bytes";
    EXPECT_EQ(CallInstructionLength64(Ending({0xFF, 0x15, 0xF0, 0xFF, 0xFF, 0xFF})), 6u) << "call [rip+disp32]";
    EXPECT_EQ(CallInstructionLength64(Ending({0x48, 0xE8, 0x10, 0x20, 0x30, 0x40})), 5u)
        << "a direct call has no prefix to take";
    EXPECT_FALSE(CallInstructionLength64(Ending({0x41, 0xFF, 0xE3}))) << "jmp r11";
}

std::array<uint8_t, SystemCallStubSize> Stub(uint32_t pushed, uint32_t jump) {
    std::array<uint8_t, SystemCallStubSize> bytes{0x68};
    for (int i = 0; i < 4; ++i) {
        bytes[1 + i] = static_cast<uint8_t>(pushed >> (8 * i));
        bytes[6 + i] = static_cast<uint8_t>(jump >> (8 * i));
    }
    bytes[5] = 0xE9;
    return bytes;
}

TEST(SystemCallStub, TwoStubsPushingTheSameValueAreOneFunction) {
    EXPECT_TRUE(IsSameSystemCallStub(Stub(0xBFF71234, 0x100), Stub(0xBFF71234, 0x2000)))
        << "the jump targets of two copies differ";
    EXPECT_FALSE(IsSameSystemCallStub(Stub(0xBFF71234, 0x100), Stub(0xBFF71238, 0x100)));
    auto noJump = Stub(0xBFF71234, 0x100);
    noJump[5] = 0xE8;
    EXPECT_FALSE(IsSameSystemCallStub(noJump, noJump)) << "a call is no stub";
    auto noPush = Stub(0xBFF71234, 0x100);
    noPush[0] = 0x6A;
    EXPECT_FALSE(IsSameSystemCallStub(noPush, noPush));
}

} // namespace
