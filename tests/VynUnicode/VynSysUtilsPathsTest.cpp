// The platform-free path, command-line and wide-buffer functions, run natively.
#include <gtest/gtest.h>

#include "Exceptions.h"
#include "VynSysUtilsPaths.h"

namespace {

TEST(Paths, DirectoriesDrivesNamesAndExtensions) {
    EXPECT_EQ(ExtractFileDirWide(u"C:\\"), u"C:\\");
    EXPECT_EQ(ExtractFileDirWide(u"C:\\a\\b\\"), u"C:\\a\\b");
    EXPECT_EQ(ExtractFileDirWide(u"C:\\a\\file.txt"), u"C:\\a");
    EXPECT_EQ(ExtractFileDirWide(u"C:file.txt"), u"C:");
    EXPECT_EQ(ExtractFileDirWide(u"\\\\server\\share\\"), u"\\\\server\\share");
    EXPECT_EQ(ExtractFileDirWide(u"file.txt"), u"");

    EXPECT_EQ(ExtractFileDriveWide(u"C:\\a\\b"), u"C:");
    EXPECT_EQ(ExtractFileDriveWide(u"\\\\server\\share\\dir\\file"), u"\\\\server\\share");
    EXPECT_EQ(ExtractFileDriveWide(u"\\\\server\\share"), u"\\\\server\\share");
    EXPECT_EQ(ExtractFileDriveWide(u"\\\\server"), u"\\\\server");
    EXPECT_EQ(ExtractFileDriveWide(u"\\dir\\file"), u"");
    EXPECT_EQ(ExtractFileDriveWide(u""), u"");

    EXPECT_EQ(ExtractFilePathWide(u"C:\\a\\b.txt"), u"C:\\a\\");
    EXPECT_EQ(ExtractFilePathWide(u"C:b.txt"), u"C:");
    EXPECT_EQ(ExtractFileNameWide(u"C:\\a\\b.txt"), u"b.txt");
    EXPECT_EQ(ExtractFileNameWide(u"b.txt"), u"b.txt");
    EXPECT_EQ(ExcludeTrailingBackslashWide(u"C:\\a\\\\"), u"C:\\a\\");
    EXPECT_EQ(LastDelimiterWide(u"\\:", u"C:\\a\\b"), 5u);
    EXPECT_EQ(LastDelimiterWide(u"\\:", u"plain"), 0u);

    EXPECT_EQ(ExtractFileExtWide(u"C:\\a.b\\c.txt"), u".txt");
    EXPECT_EQ(ExtractFileExtWide(u"C:\\a.b\\c"), u"");
    EXPECT_EQ(ChangeFileExtWide(u"C:\\a\\c.txt", u".bak"), u"C:\\a\\c.bak");
    EXPECT_EQ(ChangeFileExtWide(u"C:\\a\\c", u".bak"), u"C:\\a\\c.bak");
    EXPECT_EQ(ChangeFileExtWide(u"C:\\my.folder\\c", u".bak"), u"C:\\my.folder\\c.bak");
    EXPECT_EQ(ChangeFileExtWide(u"c.tar.gz", u""), u"c.tar");
}

TEST(WideBuffers, CopiesStayWithinTheirBoundsAndCarryTheSizeHeader) {
    char16_t* buffer = WStrAlloc(5);
    EXPECT_EQ(WStrBufSize(buffer), 14u);
    WStrLCopy(buffer, u"abcdefgh", 4);
    EXPECT_EQ(WideString(buffer), u"abcd");
    WStrLCopy(buffer, u"ab", 4);
    EXPECT_EQ(WStrLen(buffer), 2u);
    EXPECT_EQ(WStrEnd(buffer), buffer + 2);
    EXPECT_EQ(WStrScan(buffer, u'b'), buffer + 1);
    EXPECT_EQ(WStrScan(buffer, u'\0'), buffer + 2);
    EXPECT_EQ(WStrScan(buffer, u'z'), nullptr);
    WStrLCopy(buffer, u"xyz-too-long", 3);
    EXPECT_EQ(WideString(buffer), u"xyz");
    WStrMove(buffer + 1, buffer, 2);
    EXPECT_EQ(WideString(buffer), u"xxy");
    WStrDispose(buffer);

    EXPECT_EQ(WStrNew(nullptr), nullptr);
    char16_t* copy = WStrNew(u"copy");
    EXPECT_EQ(WideString(copy), u"copy");
    EXPECT_EQ(WStrBufSize(copy), 14u);
    WStrDispose(copy);
}

TEST(CommandLine, QuotedParametersAndTheirLimits) {
    const char16_t* line = u"\"C:\\Program Files\\app.exe\"  first \"second with spaces\" th\"ir\"d";
    EXPECT_EQ(ParamStrOfCommandLine(line, 0), u"C:\\Program Files\\app.exe");
    EXPECT_EQ(ParamStrOfCommandLine(line, 1), u"first");
    EXPECT_EQ(ParamStrOfCommandLine(line, 2), u"second with spaces");
    EXPECT_EQ(ParamStrOfCommandLine(line, 3), u"third");
    EXPECT_EQ(ParamStrOfCommandLine(line, 4), u"");
    // Pairs of double quotes between parameters are skipped; an unclosed quote runs to the end.
    EXPECT_EQ(ParamStrOfCommandLine(u"app \"\" \"\" next", 1), u"next");
    EXPECT_EQ(ParamStrOfCommandLine(u"app \"open ended", 1), u"open ended");
    EXPECT_EQ(ParamStrOfCommandLine(u"app\tx", 1), u"x");
    EXPECT_EQ(ParamStrOfCommandLine(nullptr, 1), u"");
    EXPECT_EQ(ParamStrOfCommandLine(u"app x", -1), u"");

    const WideString longLine = u"app " + WideString(5000, u'a') + u" next";
    EXPECT_EQ(ParamStrOfCommandLine(longLine.c_str(), 1), WideString(MaxParamLength, u'a'));
    EXPECT_EQ(ParamStrOfCommandLine(longLine.c_str(), 2), u"next");

}

} // namespace
