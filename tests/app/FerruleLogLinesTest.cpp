// The log's lines: one time stamp per line, UTF-8, CR LF.
#include <gtest/gtest.h>

#include "FerruleLogLines.h"

namespace {

constexpr TLogTime Morning{2026, 3, 7, 9, 5, 4, 12};

TEST(FerruleLogLines, EveryLineGetsTheStampWhateverEndsIt) {
    EXPECT_EQ(LogLines(Morning, u"one"), "2026-03-07 09:05:04.012  one\r\n");
    EXPECT_EQ(LogLines(Morning, u"a\r\nb\nc\rd"),
              "2026-03-07 09:05:04.012  a\r\n2026-03-07 09:05:04.012  b\r\n"
              "2026-03-07 09:05:04.012  c\r\n2026-03-07 09:05:04.012  d\r\n");
    // The empty line inside a message stays; the closing break opens no new line.
    EXPECT_EQ(LogLines(Morning, u"x\r\n\r\ny\r\n"),
              "2026-03-07 09:05:04.012  x\r\n2026-03-07 09:05:04.012  \r\n2026-03-07 09:05:04.012  y\r\n");
    EXPECT_EQ(LogLines(Morning, u""), "2026-03-07 09:05:04.012  \r\n");
}

TEST(FerruleLogLines, TextIsUtf8AndFieldsArePadded) {
    const TLogTime late{999, 12, 31, 23, 59, 59, 999};
    EXPECT_EQ(LogLines(late, u"Gr\u00FC\u00DFe \U0001F600"), "0999-12-31 23:59:59.999  Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80\r\n");
}

} // namespace
