#include "ByteReader.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

// The failure an action raises, with the reader's position afterwards; "<no error>" when none.
struct Failure {
    std::string Message;
    uint64_t Offset = 0;
};

Failure FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EByteReadError& e) {
        return {e.Message(), e.Offset()};
    }
    return {"<no error>", 0};
}

std::string MessageOf(const std::function<void()>& action) {
    return FailureOf(action).Message;
}

Bytes Counting(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i + 1);
    return bytes;
}

TEST(ByteReaderIntegers, EachWidthReadsAtTheLastOffsetAndFailsOnePastIt) {
    const Bytes data = Counting(16);
    struct Width {
        size_t Bytes;
        std::function<uint64_t(ByteReader&)> Read;
    };
    const std::vector<Width> widths = {
        {1, [](ByteReader& r) { return r.ReadU8(); }},
        {2, [](ByteReader& r) { return r.ReadU16(); }},
        {4, [](ByteReader& r) { return r.ReadU32(); }},
        {8, [](ByteReader& r) { return r.ReadU64(); }},
        {1, [](ByteReader& r) { return static_cast<uint8_t>(r.ReadI8()); }},
        {2, [](ByteReader& r) { return static_cast<uint16_t>(r.ReadI16()); }},
        {4, [](ByteReader& r) { return static_cast<uint32_t>(r.ReadI32()); }},
        {8, [](ByteReader& r) { return static_cast<uint64_t>(r.ReadI64()); }},
    };
    for (const Width& width : widths) {
        ByteReader reader(data.data(), data.size());
        const size_t last = data.size() - width.Bytes;
        reader.Seek(last);
        uint64_t expected = 0;
        for (size_t i = width.Bytes; i-- > 0;)
            expected = expected << 8 | data[last + i];
        EXPECT_EQ(width.Read(reader), expected) << width.Bytes << " bytes";
        EXPECT_TRUE(reader.AtEnd());

        reader.Seek(last + 1);
        const Failure failure = FailureOf([&] { width.Read(reader); });
        EXPECT_EQ(failure.Message, "Read past the end of the data at offset " + std::to_string(last + 1));
        EXPECT_EQ(failure.Offset, last + 1);
        EXPECT_EQ(reader.Position(), last + 1) << "a failed read leaves the cursor where it was";
    }
}

TEST(ByteReaderIntegers, SignedReadsExtendTheTopBit) {
    const Bytes data = {0xFF, 0x00, 0x80, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0x80};
    ByteReader reader(data.data(), data.size());
    EXPECT_EQ(reader.ReadI8(), -1);
    EXPECT_EQ(reader.ReadI16(), std::numeric_limits<int16_t>::min());
    EXPECT_EQ(reader.ReadI32(), -2);
    EXPECT_EQ(reader.ReadI64(), std::numeric_limits<int64_t>::min());
    EXPECT_TRUE(reader.AtEnd());
}

TEST(ByteReaderCounts, ProductsThatWrapAreStillTooLarge) {
    const Bytes data = Counting(8);
    ByteReader reader(data.data(), data.size());
    EXPECT_NO_THROW(reader.NeedRecords(2, 4));
    EXPECT_NO_THROW(reader.NeedRecords(std::numeric_limits<uint64_t>::max(), 0));
    // 0x40000001 * 4 is 4 in 32 bits; (2^62 + 1) * 4 is 4 in 64 bits.
    EXPECT_EQ(MessageOf([&] { reader.NeedRecords(0x40000001u, 4); }),
              "Read past the end of the data at offset 0");
    EXPECT_EQ(MessageOf([&] { reader.NeedRecords((uint64_t{1} << 62) + 1, 4); }),
              "Read past the end of the data at offset 0");
    // Twice 0x80000002 units is 4 bytes in 32 bits.
    EXPECT_EQ(MessageOf([&] { reader.ReadWideString(0x80000002u); }),
              "Read past the end of the data at offset 0");
    EXPECT_EQ(MessageOf([&] { reader.ReadSpan(uint64_t{1} << 32); }),
              "Read past the end of the data at offset 0");
    EXPECT_EQ(MessageOf([&] { reader.Skip(std::numeric_limits<uint64_t>::max()); }),
              "Read past the end of the data at offset 0");
    EXPECT_EQ(reader.Position(), 0u);
}

TEST(ByteReaderBytes, SpansCopiesAndCountedStringsStayInside) {
    const Bytes data = {3, 'a', 'b', 'c', 2, 0, 0, 0, 'x', 'y', 'h', 0, 'i', 0, 9, 8, 7};
    ByteReader reader(data.data(), data.size());
    EXPECT_EQ(reader.ReadShortString(), "abc");
    EXPECT_EQ(reader.ReadLongString(), "xy");
    EXPECT_EQ(reader.ReadWideString(2), u"hi");
    const std::span<const uint8_t> span = reader.ReadSpan(1);
    EXPECT_EQ(span.data(), data.data() + 14) << "a span points into the data, not a copy";
    uint8_t copy[2] = {};
    reader.ReadInto(copy, sizeof copy);
    EXPECT_EQ(copy[0], 8);
    EXPECT_EQ(copy[1], 7);
    EXPECT_EQ(reader.ReadString(0), "");
    EXPECT_EQ(MessageOf([&] { reader.ReadInto(copy, 1); }), "Read past the end of the data at offset 17");

    // A length beyond the data fails where the string starts, at its length.
    const Bytes shortString = {0, 4, 'a', 'b', 'c'};
    ByteReader shortReader(shortString.data(), shortString.size());
    shortReader.Skip(1);
    EXPECT_EQ(MessageOf([&] { shortReader.ReadShortString(); }), "Read past the end of the data at offset 1");
    EXPECT_EQ(shortReader.Position(), 1u);
    const Bytes longString = {0xFF, 0xFF, 0xFF, 0xFF, 'a'};
    ByteReader longReader(longString.data(), longString.size());
    EXPECT_EQ(MessageOf([&] { longReader.ReadLongString(); }), "Read past the end of the data at offset 0");

    ByteReader empty(nullptr, 0);
    EXPECT_EQ(empty.ReadString(0), "");
    EXPECT_EQ(MessageOf([&] { empty.ReadU8(); }), "Read past the end of the data at offset 0");
}

TEST(ByteReaderBytes, ZeroTerminatedStringsNeedTheirTerminator) {
    const Bytes narrow = {'a', 'b', 0, 0, 'c'};
    ByteReader reader(narrow.data(), narrow.size());
    EXPECT_EQ(reader.ReadZString(), "ab");
    EXPECT_EQ(reader.ReadZString(), "");
    EXPECT_EQ(reader.Position(), 4u);
    EXPECT_EQ(MessageOf([&] { reader.ReadZString(); }), "String without a terminator at offset 4");
    EXPECT_EQ(reader.Position(), 4u);
    reader.Skip(1);
    EXPECT_EQ(MessageOf([&] { reader.ReadZString(); }), "String without a terminator at offset 5");

    // A zero byte inside a unit does not end a wide string; an odd byte at the end is no terminator.
    const Bytes wide = {'h', 0, 0, 1, 0, 0, 'x', 0, 0};
    ByteReader wideReader(wide.data(), wide.size());
    EXPECT_EQ(wideReader.ReadWideZString(), u"h\u0100");
    EXPECT_EQ(wideReader.Position(), 6u);
    EXPECT_EQ(MessageOf([&] { wideReader.ReadWideZString(); }), "String without a terminator at offset 6");
    EXPECT_EQ(wideReader.Position(), 6u);
}

TEST(ByteReaderVarints, ValuesUpToTheirWidth) {
    const Bytes data = {0x00, 0x7F, 0xAC, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0x80, 0x00,
                        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01};
    ByteReader reader(data.data(), data.size());
    EXPECT_EQ(reader.ReadVarU32(), 0u);
    EXPECT_EQ(reader.ReadVarU32(), 127u);
    EXPECT_EQ(reader.ReadVarU32(), 300u);
    EXPECT_EQ(reader.ReadVarU32(), std::numeric_limits<uint32_t>::max());
    EXPECT_EQ(reader.ReadVarU64(), 0u) << "a redundant continuation byte is allowed";
    EXPECT_EQ(reader.ReadVarU64(), std::numeric_limits<uint64_t>::max());
    EXPECT_TRUE(reader.AtEnd());
}

TEST(ByteReaderVarints, TooLongOverflowingOrCutOffAreErrorsAtTheirStart) {
    const auto failureAtOne = [](Bytes tail, bool wide) {
        tail.insert(tail.begin(), 0x55);
        ByteReader reader(tail.data(), tail.size());
        reader.Skip(1);
        const std::string message =
            MessageOf([&] { static_cast<void>(wide ? reader.ReadVarU64() : reader.ReadVarU32()); });
        EXPECT_EQ(reader.Position(), 1u);
        return message;
    };
    EXPECT_EQ(failureAtOne({0x80, 0x80, 0x80, 0x80, 0x80, 0x00}, false),
              "Variable-length integer too long at offset 1");
    EXPECT_EQ(failureAtOne({0xFF, 0xFF, 0xFF, 0xFF, 0x10}, false),
              "Variable-length integer out of range at offset 1");
    EXPECT_EQ(failureAtOne({0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00}, true),
              "Variable-length integer too long at offset 1");
    EXPECT_EQ(failureAtOne({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02}, true),
              "Variable-length integer out of range at offset 1");
    EXPECT_EQ(failureAtOne({0xFF, 0x80}, false), "Read past the end of the data at offset 1");
    EXPECT_EQ(failureAtOne({}, true), "Read past the end of the data at offset 1");
}

TEST(ByteReaderCursor, SeekAndSkipStayWithinTheData) {
    const Bytes data = Counting(4);
    ByteReader reader(data.data(), data.size());
    reader.Skip(4);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(reader.Remaining(), 0u);
    reader.Seek(1);
    EXPECT_EQ(reader.Remaining(), 3u);
    EXPECT_EQ(reader.PeekU8(), 2);
    EXPECT_EQ(reader.Position(), 1u);

    const Failure seek = FailureOf([&] { reader.Seek(5); });
    EXPECT_EQ(seek.Message, "Seek past the end of the data at offset 5");
    EXPECT_EQ(seek.Offset, 5u);
    EXPECT_EQ(MessageOf([&] { reader.Skip(4); }), "Read past the end of the data at offset 1");
    EXPECT_EQ(reader.Position(), 1u);
}

TEST(ByteReaderErrors, TheOffsetSurvivesARewordedMessageAndTheClassIsAReadError) {
    const Bytes data(1240);
    ByteReader reader(data.data(), data.size());
    reader.Seek(1234);
    bool caught = false;
    try {
        try {
            reader.ReadU64();
        } catch (Exception& e) {
            EXPECT_EQ(e.Message(), "Read past the end of the data at offset 1234");
            e.SetMessage("Stream read error");
            throw;
        }
    } catch (const EReadError& e) {
        const auto* byteError = dynamic_cast<const EByteReadError*>(&e);
        ASSERT_NE(byteError, nullptr);
        EXPECT_EQ(byteError->Offset(), 1234u);
        EXPECT_EQ(e.Message(), "Stream read error");
        caught = true;
    }
    EXPECT_TRUE(caught);
}

} // namespace
