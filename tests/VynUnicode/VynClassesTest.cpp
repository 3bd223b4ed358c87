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

// Sets DefaultCodePage for one test and puts the previous value back.
class CodePageScope {
public:
    explicit CodePageScope(uint32_t codePage) : kept_(DefaultCodePage) { DefaultCodePage = codePage; }
    ~CodePageScope() { DefaultCodePage = kept_; }

private:
    uint32_t kept_;
};

std::vector<WideString> ListEntries(const TVynStrings& list) {
    std::vector<WideString> entries;
    for (int32_t i = 0; i < list.Count(); ++i)
        entries.push_back(list.Entry(i));
    return entries;
}

TEST(WideListFiles, LoadEachEncodingAndSaveUtf16WithAMark) {
    const CodePageScope scope(1252);
    const WideString path = TempPath(u"Ferrule liste \u00e9\u4e2d.txt");
    struct Case {
        std::vector<char> bytes;
        TVynCharSet charSet;
    };
    const std::vector<Case> cases{
        {{'\xff', '\xfe', 'c', 0, '\xe9', 0, '\r', 0, '\n', 0, 'x', 0}, CharSetUtf16LE},
        {{'\xfe', '\xff', 0, 'c', 0, '\xe9', 0, '\r', 0, '\n', 0, 'x'}, CharSetUtf16BE},
        {{'\xef', '\xbb', '\xbf', 'c', '\xc3', '\xa9', '\r', '\n', 'x'}, CharSetUtf8},
        {{'c', '\xe9', '\r', '\n', 'x'}, CharSetAnsi},
    };
    for (const Case& test : cases) {
        WriteFileBytes(Win(path), test.bytes);
        TVynStringList list;
        list.LoadFromWideFile(path);
        EXPECT_EQ(list.LoadedCharSet(), test.charSet);
        EXPECT_EQ(ListEntries(list), (std::vector<WideString>{u"c\u00e9", u"x"})) << int(test.charSet);
        list.SaveToWideFile(path);
        EXPECT_EQ(ReadFileBytes(Win(path)), (std::vector<char>{'\xff', '\xfe', 'c', 0, '\xe9', 0, '\r', 0,
                                                               '\n', 0, 'x', 0, '\r', 0, '\n', 0}));
    }
    RemoveFile(Win(path));
    TVynStringList list;
    try {
        list.LoadFromWideFile(path);
        FAIL();
    } catch (const EFOpenError& error) {
        EXPECT_EQ(error.Message(), "Cannot open file " + WideToAnsi(path));
    }
}

TEST(WideListCodePages, SystemCodePagesAndTheUnitsOwnUtfCodecs) {
    EXPECT_EQ(AnsiToWideCP("\x80\xe9", 1252), u"\u20ac\u00e9");
    EXPECT_EQ(WideToAnsiCP(u"\u20ac\u00e9", 1252), "\x80\xe9");
    EXPECT_EQ(AnsiToWideCP("\x93\xfa\x96\x7b", 932), u"\u65e5\u672c");
    EXPECT_EQ(WideToAnsiCP(u"\u65e5\u672c", 932), "\x93\xfa\x96\x7b");
    // The system would write '!' in base64; the unit writes the optional characters directly.
    EXPECT_EQ(WideToAnsiCP(u"Hi!", CP_UTF7), "Hi!");
    EXPECT_EQ(WideToAnsiCP(u"A+B", CP_UTF7), "A+-B");
    EXPECT_THROW(AnsiToWideCP("+AOl", CP_UTF7), EVynGeneralError);
    EXPECT_EQ(AnsiToWideCP("\xed\xa0\x80", CP_UTF8), WideString(1, u'\xd800'));

    const CodePageScope scope(1252);
    TVynStringList list;
    list.AppendEntry(u"\u20ac");
    EXPECT_EQ(list.AnsiStrings()->Strings(0), "\x80") << "the adapter converts in DefaultCodePage";
}

TEST(WideListComparison, FollowsTheUsersLocaleWithAndWithoutCase) {
    TVynStringList list;
    for (const char16_t* entry : {u"b", u"A", u"a", u"C", u"\u00e9", u"e", u"f"})
        list.AppendEntry(entry);
    list.SetSorted(true);
    EXPECT_EQ(list.CompareEntries(u"a", u"A"), 0);
    EXPECT_LT(list.CompareEntries(u"a", u"B"), 0) << "alphabetical, not by code unit";
    EXPECT_LT(list.CompareEntries(u"e", u"\u00e9"), 0);
    EXPECT_LT(list.CompareEntries(u"\u00e9", u"f"), 0);
    list.SetCaseSensitive(true);
    EXPECT_LT(list.CompareEntries(u"a", u"A"), 0);
    EXPECT_EQ(ListEntries(list), (std::vector<WideString>{u"a", u"A", u"b", u"C", u"e", u"\u00e9", u"f"}));
    EXPECT_EQ(list.PositionOf(u"A"), 1);
    EXPECT_EQ(list.PositionOf(u"B"), -1);
}

} // namespace
