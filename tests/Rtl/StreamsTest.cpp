#include <gtest/gtest.h>

#include <cstring>

#include "Exceptions.h"
#include "Streams.h"

TEST(MemoryStream, WritesGrowReadsStopAtTheEndAndShortReadsRaise) {
    TMemoryStream stream;
    const char text[] = "0123456789";
    for (int i = 0; i < 1000; ++i)
        stream.WriteBuffer(text, 10);
    EXPECT_EQ(stream.Size(), 10000);
    EXPECT_GE(stream.Capacity(), 10000);
    EXPECT_EQ(stream.Capacity() % 0x2000, 0);

    stream.SetPosition(9995);
    char buffer[16] = {};
    EXPECT_EQ(stream.Read(buffer, 16), 5);
    EXPECT_EQ(std::string(buffer, 5), "56789");
    EXPECT_EQ(stream.Read(buffer, 16), 0);
    stream.SetPosition(9995);
    EXPECT_THROW(stream.ReadBuffer(buffer, 16), EReadError);

    stream.SetPosition(-5);
    EXPECT_EQ(stream.Read(buffer, 4), 0) << "a position before the start reads nothing";
    EXPECT_EQ(stream.Write(buffer, 4), 0) << "and writes nothing";
}

TEST(MemoryStream, SetSizeTruncatesAndClampsThePosition) {
    TMemoryStream stream;
    stream.WriteBuffer("abcdef", 6);
    stream.SetSize(3);
    EXPECT_EQ(stream.Size(), 3);
    EXPECT_EQ(stream.Position(), 3);
    EXPECT_THROW(stream.SetSize(-1), EStreamError);
    EXPECT_THROW(stream.SetSize(int64_t{1} << 40), EStreamError);
    EXPECT_EQ(stream.Size(), 3) << "a refused size changes nothing";
}

TEST(MemoryStream, CopyFromAndLoadFromStreamCopyEverything) {
    TMemoryStream source;
    std::string data(70000, 'q');
    data[69999] = 'z';
    source.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
    TMemoryStream target;
    EXPECT_EQ(target.CopyFrom(source, 0), 70000);
    TMemoryStream loaded;
    loaded.LoadFromStream(target);
    ASSERT_EQ(loaded.Size(), 70000);
    EXPECT_EQ(std::memcmp(loaded.Memory(), data.data(), data.size()), 0);
}
