// The report dialog's own log file: where it lies, its banner, its lines, and that others can
// read it while it is open.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "ExceptDlgLog.h"
#include "Exceptions.h"
#include "Handles.h"
#include "WineTestSupport.h"

namespace {

std::string TextOf(const std::wstring& path) {
    const std::vector<char> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the last line has no CR LF";
    return lines;
}

class ExceptionLog : public ::testing::Test {
protected:
    ScratchFolder folder_{L"FerruleExceptionLog"};
    std::wstring path_ = folder_.Path() + L"\\report.log";
    TSimpleExceptionLog log_{Wide(path_)};
};

TEST_F(ExceptionLog, TheDefaultFileLiesBesideTheProgramNamedAfterIt) {
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring expected = program;
    expected = expected.substr(0, expected.rfind(L'.')) + L"_Err.log";
    EXPECT_EQ(Win(TSimpleExceptionLog().FileName()), expected);
    EXPECT_EQ(Win(TSimpleExceptionLog(u"").FileName()), expected);
}

TEST_F(ExceptionLog, NothingIsWrittenWhileClosed) {
    log_.WriteText("lost", 0);
    EXPECT_FALSE(FileExists(path_));
}

TEST_F(ExceptionLog, ABannerOnAnEmptyFileHasNoLeadingLineAndIsAsWideAsAsked) {
    log_.WriteBanner(0);
    EXPECT_TRUE(log_.WasEmpty());
    log_.WriteText("first  \r\nsecond\t\n\nthird", 2);
    log_.CloseFile();
    const std::vector<std::string> lines = LinesOf(TextOf(path_));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], std::string(100, '='));
    EXPECT_EQ(lines[1].size(), 100u);
    EXPECT_EQ(lines[1].substr(0, 2), "= ");
    EXPECT_EQ(lines[1].substr(98), " =");
    EXPECT_EQ(lines[2], std::string(100, '='));
    EXPECT_EQ(lines[3], "  first");
    EXPECT_EQ(lines[4], "  second");
    EXPECT_EQ(lines[5], "  ");
    EXPECT_EQ(lines[6], "  third");
}

TEST_F(ExceptionLog, ALaterBannerIsSetOffByAnEmptyLineAndNeverNarrowerThanTwenty) {
    WriteFileBytes(path_, {'o', 'l', 'd', '\r', '\n'});
    log_.WriteBanner(5);
    EXPECT_FALSE(log_.WasEmpty());
    log_.CloseFile();
    const std::vector<std::string> lines = LinesOf(TextOf(path_));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "old");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], std::string(20, '='));
    // The date line is padded to the width, never cut.
    EXPECT_GE(lines[3].size(), 20u);
    EXPECT_EQ(lines[3].substr(0, 2), "= ");
    EXPECT_EQ(lines[3].substr(lines[3].size() - 2), " =");
    EXPECT_EQ(lines[4], std::string(20, '='));
}

TEST_F(ExceptionLog, OpeningAnOpenLogOnlyForgetsThatItWasEmpty) {
    log_.OpenFile();
    EXPECT_TRUE(log_.WasEmpty());
    log_.OpenFile();
    EXPECT_TRUE(log_.IsOpen());
    EXPECT_FALSE(log_.WasEmpty());
    // Others may read the log while it is open.
    UniqueFileHandle reader(::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(reader.valid());
    log_.CloseFile();
    EXPECT_FALSE(log_.IsOpen());
}

TEST_F(ExceptionLog, AFileThatCannotBeOpenedIsNamedInTheFailure) {
    const WideString missing = Wide(folder_.Path() + L"\\no such folder\\report.log");
    TSimpleExceptionLog log(missing);
    try {
        log.OpenFile();
        FAIL() << "a log in a missing folder opened";
    } catch (const EFOpenError& error) {
        EXPECT_NE(error.Message().find("no such folder"), std::string::npos) << error.Message();
        EXPECT_EQ(error.Subject(), missing);
    }
}

} // namespace
