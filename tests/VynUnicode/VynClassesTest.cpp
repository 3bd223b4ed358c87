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
