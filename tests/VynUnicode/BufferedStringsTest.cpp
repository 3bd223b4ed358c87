// The growable text builders.
#include <gtest/gtest.h>

#include <vector>

#include "VynClasses.h"

namespace {

TEST(BufferedWideString, SingleCharactersGrowTheBufferInBoundedSteps) {
    TBufferedWideString builder;
    std::vector<size_t> lengths;
    for (int i = 0; i < 300; ++i) {
        builder.AppendChar(static_cast<char16_t>(u'a' + i % 26));
        if (lengths.empty() || lengths.back() != builder.BufferLength())
            lengths.push_back(builder.BufferLength());
    }
    EXPECT_EQ(lengths, (std::vector<size_t>{32, 64, 128, 256, 512}));
    EXPECT_EQ(builder.AccumulatedText().size(), 300u);

    builder.Reset();
    EXPECT_EQ(builder.AccumulatedText(), u"");
    EXPECT_EQ(builder.BufferLength(), 512u) << "Reset keeps the buffer";
    builder.AppendText(u"ab");
    EXPECT_EQ(builder.AccumulatedText(), u"ab") << "old characters were zero-filled";
}

TEST(BufferedWideString, AZeroUnitEndsTheTextAndAppendBufferStopsAtZeroOrMax) {
    TBufferedWideString builder;
    builder.AppendBuffer(u"abcdef", 3);
    builder.AppendBuffer(u"xy\0zz", 10);
    EXPECT_EQ(builder.AccumulatedText(), u"abcxy");
    builder.AppendChar(u'\0');
    builder.AppendText(u"hidden");
    EXPECT_EQ(builder.AccumulatedText(), u"abcxy");
    EXPECT_EQ(WideString(builder.BufferPointer()), u"abcxy");
}

TEST(BufferedAnsiString, TextGrowsInProportionalSteps) {
    TBufferedAnsiString builder;
    builder.AppendText("abc");
    EXPECT_EQ(builder.BufferLength(), 8u) << "empty buffer: step 8, 3 div 8 + 1 = 1 step";
    builder.AppendText(std::string(20, 'x'));
    EXPECT_EQ(builder.BufferLength(), 8u + 8u * 3u) << "step max(8 div 2, 8) = 8, 20 div 8 + 1 = 3 steps";
    builder.AppendText("");
    EXPECT_EQ(builder.AccumulatedText(), "abc" + std::string(20, 'x'));
    builder.Reset();
    builder.AppendChar('q');
    EXPECT_EQ(builder.AccumulatedText(), "q");
    EXPECT_EQ(builder.BufferLength(), 32u);
}

} // namespace
