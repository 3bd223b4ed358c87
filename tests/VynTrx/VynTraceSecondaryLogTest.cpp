// Reports of exceptions raised while the exception dialog is open: numbered error files off the
// NT family, the event log on it.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "Exceptions.h"
#include "Handles.h"
#include "UnitRegistry.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTraceSecondaryLog.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

template <typename Error, typename Action> std::string MessageOf(Action action) {
    try {
        action();
    } catch (const Error& error) {
        return error.Message();
    }
    return "<nothing raised>";
}

// What a wide list saves: the mark FF FE, then every unit low byte first.
std::vector<char> Utf16LEWithMark(const std::u16string& text) {
    std::vector<char> bytes{'\xFF', '\xFE'};
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::vector<char> Bytes(const char* text) {
    return std::vector<char>(text, text + std::char_traits<char>::length(text));
}

// The error-file path off the NT family, in the folder named after this program below the
// temporary folder; the folder is removed before and after each test.
class ErrorFiles : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(
            std::initializer_list<const TUnitInfo*>{&VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit});
        savedPlatform_ = VynPlatformIsNT;
        VynPlatformIsNT = false;
        RemoveFolder();
    }
    void TearDown() override {
        RemoveFolder();
        VynPlatformIsNT = savedPlatform_;
        units_.reset();
    }

    static std::wstring FolderPath() { return SystemTemp() + L"VynTrxTests"; }
    static std::wstring Folder() { return FolderPath() + L"\\"; }
    static std::wstring Numbered(int number) {
        wchar_t name[40];
        swprintf(name, 40, L"VynTrxTests_Error_%04d.txt", number);
        return Folder() + name;
    }
    static void RemoveFolder() {
        const DWORD attributes = ::GetFileAttributesW(FolderPath().c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            RemoveFile(FolderPath());
            return;
        }
        for (const std::wstring& file : FilesIn(FolderPath()))
            RemoveFile(Folder() + file);
        ::RemoveDirectoryW(FolderPath().c_str());
    }

private:
    std::unique_ptr<TUnitStartup> units_;
    bool savedPlatform_ = true;
};

TEST_F(ErrorFiles, TheFirstReportIsNumberOneInAFolderNamedAfterTheProgramStoredAsUtf16) {
    ASSERT_FALSE(FileExists(Folder()));
    const std::u16string text =
        u"<----Secondary Exception Stack Trace---->\r\nEAbort\r\nd\u00e9j\u00e0 \U0001F600";

    LogSecondaryReport(text);

    ASSERT_TRUE(FileExists(Numbered(1)));
    EXPECT_EQ(ReadFileBytes(Numbered(1)), Utf16LEWithMark(text + u"\r\n"));
    EXPECT_EQ(FilesIn(FolderPath()).size(), 1u);
    EXPECT_EQ(Win(WriteErrorFile(u"second")), Numbered(2));
    EXPECT_EQ(ReadFileBytes(Numbered(2)), Utf16LEWithMark(u"second\r\n"));
}

TEST_F(ErrorFiles, TakenNumbersAreSkippedAndTheirFilesLeftUntouched) {
    ASSERT_TRUE(::CreateDirectoryW(Folder().c_str(), nullptr));
    WriteFileBytes(Numbered(1), Bytes("an earlier report"));
    WriteFileBytes(Numbered(2), Bytes("read only"));
    ASSERT_TRUE(::SetFileAttributesW(Numbered(2).c_str(), FILE_ATTRIBUTE_READONLY));
    WriteFileBytes(Numbered(3), Bytes("held open"));
    {
        // Held open without sharing by someone else.
        const UniqueFileHandle held(::CreateFileW(Numbered(3).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);

        EXPECT_EQ(Win(WriteErrorFile(u"new")), Numbered(4));
    }
    EXPECT_EQ(ReadFileBytes(Numbered(1)), Bytes("an earlier report"));
    EXPECT_EQ(ReadFileBytes(Numbered(2)), Bytes("read only"));
    EXPECT_EQ(ReadFileBytes(Numbered(3)), Bytes("held open"));
    EXPECT_EQ(ReadFileBytes(Numbered(4)), Utf16LEWithMark(u"new\r\n"));
}

TEST_F(ErrorFiles, AFolderThatCannotBeMadeIsRaisedWithItsPath) {
    // A file where the folder belongs.
    WriteFileBytes(FolderPath(), Bytes("in the way"));
    try {
        WriteErrorFile(u"lost");
        FAIL() << "nothing raised";
    } catch (const EVynGeneralError& error) {
        EXPECT_EQ(error.Message().rfind("Could not create ", 0), 0u) << error.Message();
        EXPECT_EQ(Win(error.Subject()), Folder());
    }
}

TEST_F(ErrorFiles, TheEventLogIsForTheNTFamilyOnly) {
    const std::string message = MessageOf<EAssertionFailed>([] { WriteEventLogEntry(u"report"); });
    EXPECT_EQ(message.rfind("Assertion failure (lib/VynTrx/VynTraceExceptDlg, line ", 0), 0u) << message;
    EXPECT_FALSE(FileExists(Folder()));
}

TEST(EventLog, OnTheNTFamilyTheReportGoesToTheLogAndNoFileIsWritten) {
    ASSERT_TRUE(VynPlatformIsNT);
    const std::wstring folder = SystemTemp() + L"VynTrxTests";
    const size_t filesBefore = FileExists(folder) ? FilesIn(folder).size() : 0;
    EXPECT_NO_THROW(LogSecondaryReport(u"<----Secondary Exception Stack Trace---->\r\nEAbort\r\n"));
    EXPECT_NO_THROW(WriteEventLogEntry(std::u16string(40000, u'x')));
    EXPECT_EQ(FileExists(folder) ? FilesIn(folder).size() : 0, filesBefore);
}

TEST(EventLog, ALongReportIsCutToWhatOneEventTakesNeverInsideASurrogatePair) {
    EXPECT_EQ(EventLogEntryText(u"short"), u"short");
    const std::u16string atLimit(EventLogStringLimit, u'a');
    EXPECT_EQ(EventLogEntryText(atLimit), atLimit);
    EXPECT_EQ(EventLogEntryText(atLimit + u"b"), atLimit);

    const std::u16string straddling = std::u16string(EventLogStringLimit - 1, u'a') + u"\U0001F600";
    EXPECT_EQ(EventLogEntryText(straddling), std::u16string(EventLogStringLimit - 1, u'a'));
}

} // namespace
