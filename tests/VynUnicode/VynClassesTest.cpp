// Wide streams and text builders.
#include <gtest/gtest.h>

#include "TextConversion.h"
#include "VynClasses.h"
#include "WineTestSupport.h"

namespace {

WideString TempPath(const char16_t* name) {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    return WideString(reinterpret_cast<const char16_t*>(folder)) + name;
}

std::wstring Win(const WideString& text) { return std::wstring(text.begin(), text.end()); }

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

TEST(ResourceStream, ReadsTheResourceRefusesWritesAndReportsMissingOnes) {
    TVynResourceStream stream(::GetModuleHandleW(nullptr), u"testdata", u"FILE");
    const std::vector<char> expected = ReadFileBytes(HostPath(NOT_A_LIBRARY_PATH));
    ASSERT_EQ(stream.Size(), static_cast<int64_t>(expected.size()));
    std::vector<char> read(expected.size());
    stream.ReadBuffer(read.data(), static_cast<int32_t>(read.size()));
    EXPECT_EQ(read, expected);

    try {
        stream.Write("x", 1);
        FAIL();
    } catch (const EStreamError& error) {
        EXPECT_EQ(error.Message(), "Can't write to a read-only resource stream");
    }
    try {
        TVynResourceStream missing(::GetModuleHandleW(nullptr), u"NoSuchThing", u"FILE");
        FAIL();
    } catch (const EResNotFound& error) {
        EXPECT_EQ(error.Message(), "Resource NoSuchThing not found");
    }
}

TEST(ResourceStream, SaveToWideFileWritesExactlyTheResourceOverALongerFile) {
    const WideString target = TempPath(u"Ferrule resource \u00e9.bin");
    WriteFileBytes(Win(target), std::vector<char>(100000, 'z'));
    TVynResourceStream stream(::GetModuleHandleW(nullptr), u"TESTDATA", u"FILE");
    stream.SaveToWideFile(target);
    EXPECT_EQ(ReadFileBytes(Win(target)), ReadFileBytes(HostPath(NOT_A_LIBRARY_PATH)));

    TVynMemoryStream memory;
    memory.LoadFromWideFile(target);
    EXPECT_EQ(memory.Size(), stream.Size());
    RemoveFile(Win(target));
}

TEST(FileStream, FailuresNameTheFileAndTheirClass) {
    const WideString missing = TempPath(u"no such folder\\file.bin");
    try {
        TVynFileStream stream(missing, fmCreate);
        FAIL();
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "Cannot create file " + WideToAnsi(missing));
    }
    try {
        TVynFileStream stream(missing, fmOpenRead);
        FAIL();
    } catch (const EFOpenError& error) {
        EXPECT_EQ(error.Message(), "Cannot open file " + WideToAnsi(missing));
    }
}

TEST(FileStream, OpenModesGrantTheirAccessAndSharing) {
    const WideString path = TempPath(u"ferrule-modes.bin");
    {
        TVynFileStream created(path, fmCreate);
        created.WriteBuffer("abc", 3);
    }
    {
        TVynFileStream reader(path, fmOpenRead | fmShareDenyWrite);
        EXPECT_EQ(reader.Write("x", 1), 0) << "a read-only handle cannot write";
        EXPECT_THROW(TVynFileStream(path, fmOpenWrite), EFOpenError) << "deny-write sharing holds";
    }
    EXPECT_THROW(TVynFileStream(path, 0x0003), EFOpenError) << "undefined access value";
    EXPECT_THROW(TVynFileStream(path, 0x0050), EFOpenError) << "undefined sharing value";
    RemoveFile(Win(path));
}

} // namespace
