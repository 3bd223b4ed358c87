// The installer's exception dialog seen by a user: a failing registration opens it with the
// message and the report; Details, Ctrl+C, Copy to Clipboard and Send Email do what their names
// say; an error while it is open is logged and shown in a plain message box.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "ExceptionDialogView.h"
#include "InstallerTest.h"
#include "Screenshot.h"
#include "StandInMapiRecord.h"
#include "WineTestSupport.h"

using namespace std::chrono_literals;

namespace {

const std::wstring MailClientsKey = L"Software\\Clients\\Mail";
const std::wstring TestMailClient = L"Ferrule Tests Mail";
const std::wstring Separator(100, L'-');

// Waits until the stand-in mail library has recorded the value.
bool WaitForMapiRecord(const char* name, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Recorded(name)) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool IsHexDigits(const std::wstring& text) {
    return !text.empty() && text.find_first_not_of(L"0123456789ABCDEF") == std::wstring::npos;
}

// The lines from the one starting with `first` up to the next separator.
std::vector<std::wstring> SectionFrom(const std::vector<std::wstring>& lines, const std::wstring& first) {
    auto begin = std::find_if(lines.begin(), lines.end(),
                              [&](const std::wstring& line) { return StartsWith(line, first); });
    auto end = std::find(begin, lines.end(), Separator);
    return {begin, end};
}

// The system's MAPI32 hands MAPISendMail to the library of the default mail client: the stand-in
// is that client while a test runs, and whatever was the default comes back afterwards.
class StandInMailClient {
public:
    StandInMailClient() {
        previousDefault_ = ReadRegistryString(HKEY_LOCAL_MACHINE, MailClientsKey);
        WriteRegistryString(HKEY_LOCAL_MACHINE, MailClientsKey + L"\\" + TestMailClient, L"DLLPath",
                            HostPath(STANDIN_MAPI_PATH));
        WriteRegistryString(HKEY_LOCAL_MACHINE, MailClientsKey, nullptr, TestMailClient);
    }
    ~StandInMailClient() {
        WriteRegistryString(HKEY_LOCAL_MACHINE, MailClientsKey, nullptr, previousDefault_);
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, MailClientsKey + L"\\" + TestMailClient);
    }
    StandInMailClient(const StandInMailClient&) = delete;
    StandInMailClient& operator=(const StandInMailClient&) = delete;

private:
    std::wstring previousDefault_;
};

class FerruleExceptionDialog : public InstallerTest {
protected:
    void SetUp() override {
        InstallerTest::SetUp();
        ClearStandInMapiRecord();
    }
    void TearDown() override {
        ClearStandInMapiRecord();
        InstallerTest::TearDown();
    }

    // Starts the installer with the failing payload and waits for its dialog and report.
    ExceptionDialogView OpenFailingInstaller(const TRunOptions& options = {}) {
        installer_ = std::make_unique<RunningProgram>(HostPath(FERRULE_FAILING_PATH), options);
        HWND dialog = WaitForExceptionDialog(*installer_, 60s);
        EXPECT_NE(dialog, nullptr) << "no exception dialog appeared";
        const ExceptionDialogView view = ExceptionDialogView::Of(dialog);
        EXPECT_TRUE(view.Message && view.Details && view.OkButton && view.DetailsButton &&
                    view.ClipboardButton && view.EmailButton)
            << "a part of the dialog is missing";
        EXPECT_TRUE(view.WaitForDetails(60s)) << "the report was not built";
        return view;
    }

    void EndInstaller(const ExceptionDialogView& view) {
        EXPECT_TRUE(view.Close(5s));
        if (HWND form = installer_->WaitForWindow(L"TFerruleForm.UnicodeClass", 5s))
            ::PostMessageW(form, WM_SYSKEYDOWN, VK_F4, 0);
        EXPECT_EQ(installer_->WaitForExit(30s), 2u);
    }

    // The registration's failure as raised; the dialog shows it with a closing full stop.
    std::wstring RaisedMessage() const {
        return L"Error occurred while registering " + installFile_ + L".\r\n\r\n" +
               SystemMessage(static_cast<DWORD>(0x80004005L));
    }
    std::wstring ExpectedMessage() const { return RaisedMessage() + L"."; }

    std::unique_ptr<RunningProgram> installer_;
};

TEST_F(FerruleExceptionDialog, AFailedRegistrationShowsTheMessageAndTheReportCollapsed) {
    const ExceptionDialogView view = OpenFailingInstaller();
    EXPECT_EQ(WindowText(view.Dialog), L"Ferrule 3.6  (Application Error)");
    EXPECT_EQ(view.MessageText(), ExpectedMessage());
    EXPECT_TRUE(::IsWindowVisible(view.OkButton));
    EXPECT_TRUE(::IsWindowVisible(view.DetailsButton));
    EXPECT_EQ(ControlText(view.DetailsButton), L"&Details >>");
    EXPECT_FALSE(::IsWindowVisible(view.ClipboardButton));
    EXPECT_FALSE(::IsWindowVisible(view.EmailButton));

    const std::vector<std::wstring> lines = view.DetailLines();
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], L"Exception class: EOleSysError");
    ASSERT_TRUE(StartsWith(lines[1], L"Exception address: "));
    const std::wstring address = lines[1].substr(19);
    EXPECT_EQ(address.size(), 2 * sizeof(void*));
    EXPECT_TRUE(IsHexDigits(address)) << std::string(address.begin(), address.end());
    // Each line of the message is a line of the report; the OLE code follows the whole message.
    EXPECT_EQ(lines[2], L"Exception message: Error occurred while registering " + installFile_ + L".");
    EXPECT_EQ(lines[3], L"");
    EXPECT_EQ(lines[4], SystemMessage(static_cast<DWORD>(0x80004005L)));
    EXPECT_EQ(lines[5], L"OLE Exception Code: 0x80004005 (-2147467259)");
    EXPECT_EQ(lines[6], Separator);

    // The stack is the failing registration's, not the dialog's own.
    const std::vector<std::wstring> stack = SectionFrom(lines, L"Stack list, generated ");
    ASSERT_FALSE(stack.empty()) << "no stack section";
    auto names = [&](const wchar_t* procedure, const wchar_t* file) {
        return std::any_of(stack.begin(), stack.end(), [&](const std::wstring& line) {
            return line.find(procedure) != std::wstring::npos && line.find(file) != std::wstring::npos &&
                   line.find(L"(Line ") != std::wstring::npos;
        });
    };
    EXPECT_TRUE(names(L"RegisterDll", L"VynLXSetupUtils.cpp"));
    EXPECT_TRUE(names(L"Timer1Timer", L"FerruleFrm.cpp"));
    for (const std::wstring& line : stack) {
        EXPECT_EQ(line.find(L"ExceptDlg"), std::wstring::npos) << std::string(line.begin(), line.end());
        EXPECT_EQ(line.find(L"ExceptionDialog"), std::wstring::npos) << std::string(line.begin(), line.end());
    }

    EXPECT_FALSE(SectionFrom(lines, L"System   : ").empty());
    EXPECT_FALSE(SectionFrom(lines, L"Display  : ").empty());
    EXPECT_FALSE(SectionFrom(lines, L"List of loaded modules:").empty());
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"OS = NT 6.1 (Build 7601) Service Pack 1"), lines.end());
    EXPECT_EQ(lines.back(), std::wstring(37, L'-'));

    EXPECT_TRUE(SaveWindowScreenshot(view.Dialog,
                                     HostPath(FERRULE_ARTEFACT_DIR) + L"\\exception-dialog-collapsed.png"));
    EndInstaller(view);
}

// The window's size limits, as the system asks the window for them when the user drags its edge.
std::optional<MINMAXINFO> SizeLimits(HWND window) {
    MINMAXINFO limits{};
    limits.ptMaxTrackSize = {::GetSystemMetrics(SM_CXMAXTRACK), ::GetSystemMetrics(SM_CYMAXTRACK)};
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits), SMTO_BLOCK,
                               5000, &result))
        return std::nullopt;
    return limits;
}

TEST_F(FerruleExceptionDialog, DetailsTogglesTheCaptionTheButtonsAndTheHeightLimits) {
    const ExceptionDialogView view = OpenFailingInstaller();
    const int compact = view.Height();
    const auto collapsedLimits = SizeLimits(view.Dialog);
    ASSERT_TRUE(collapsedLimits);
    EXPECT_EQ(collapsedLimits->ptMinTrackSize.y, compact);
    EXPECT_EQ(collapsedLimits->ptMaxTrackSize.y, compact);

    ExceptionDialogView::Click(view.DetailsButton);
    EXPECT_EQ(ControlText(view.DetailsButton), L"<< &Details");
    EXPECT_TRUE(::IsWindowVisible(view.ClipboardButton));
    EXPECT_TRUE(::IsWindowVisible(view.EmailButton));
    EXPECT_GT(view.Height(), compact + 100);
    const auto expandedLimits = SizeLimits(view.Dialog);
    ASSERT_TRUE(expandedLimits);
    EXPECT_EQ(expandedLimits->ptMinTrackSize.y, compact + 100);
    EXPECT_EQ(expandedLimits->ptMaxTrackSize.y, ::GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(::IsWindowVisible(view.Details));
    // The report shows from its start.
    EXPECT_EQ(::SendMessageW(view.Details, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    EXPECT_EQ(::GetScrollPos(view.Details, SB_HORZ), 0);
    EXPECT_TRUE(SaveWindowScreenshot(view.Dialog,
                                     HostPath(FERRULE_ARTEFACT_DIR) + L"\\exception-dialog-expanded.png"));

    ExceptionDialogView::Click(view.DetailsButton);
    EXPECT_EQ(ControlText(view.DetailsButton), L"&Details >>");
    EXPECT_FALSE(::IsWindowVisible(view.ClipboardButton));
    EXPECT_FALSE(::IsWindowVisible(view.EmailButton));
    EXPECT_EQ(view.Height(), compact);
    EndInstaller(view);
}

TEST_F(FerruleExceptionDialog, CtrlCCopiesTheWholeReportAndTheButtonOnlyTheDetails) {
    const ExceptionDialogView view = OpenFailingInstaller();
    PressKeys(view.Dialog, {VK_CONTROL, 'C'});
    EXPECT_EQ(ClipboardText(), view.MessageText() + L"\r\n\r\n" + view.DetailsText());

    ExceptionDialogView::Click(view.DetailsButton);
    ExceptionDialogView::Click(view.ClipboardButton);
    EXPECT_EQ(ClipboardText(), view.DetailsText());
    EndInstaller(view);
}

TEST_F(FerruleExceptionDialog, SendEmailHandsTheReportAndTheQuestionsToTheMailProgram) {
    const StandInMailClient mail;
    const ExceptionDialogView view = OpenFailingInstaller();
    ExceptionDialogView::Click(view.DetailsButton);
    ExceptionDialogView::Click(view.EmailButton);
    ASSERT_TRUE(WaitForMapiRecord("Message.Subject", 30s)) << "the mail library was not called";

    EXPECT_EQ(RecordedNumber("Flags"), 9u);
    EXPECT_EQ(RecordedNumber("ParentProcessId"), installer_->ProcessId());
    EXPECT_EQ(RecordedText("Message.Subject"), "Ferrule 3.6 Issue");
    EXPECT_TRUE(RecordedNull("Originator"));
    EXPECT_EQ(RecordedNumber("Message.RecipCount"), 1u);
    EXPECT_EQ(RecordedNumber("Recip0.RecipClass"), 1u);
    EXPECT_EQ(RecordedText("Recip0.Name"), "Ferrule 3.6 Support");
    EXPECT_EQ(RecordedText("Recip0.Address"), "SMTP:support@ferrule-setup.example");
    EXPECT_EQ(RecordedNumber("Message.FileCount"), 1u);
    EXPECT_EQ(RecordedNumber("File0.Position"), 0xFFFFFFFFu);
    const std::string attachment = RecordedText("File0.PathName");
    const std::string fileName = "\\Error Details.txt";
    ASSERT_GT(attachment.size(), fileName.size());
    EXPECT_EQ(attachment.substr(attachment.size() - fileName.size()), fileName);

    std::string reportBytes;
    for (const std::wstring& line : view.DetailLines())
        reportBytes += std::string(line.begin(), line.end()) + "\r\n";
    const std::vector<char> attached = RecordedBytes("File0.Bytes");
    EXPECT_EQ(std::string(attached.begin(), attached.end()), reportBytes);

    const std::wstring message = RaisedMessage();
    const std::string body =
        "Error message:\r\n  " + std::string(message.begin(), message.end()) +
        "\r\n\r\n>> 1. What steps did you perform prior to encountering this error?\r\n\r\n\r\n\r\n"
        ">> 2. What were you trying to accomplish?\r\n\r\n\r\n\r\n"
        ">> 3. How often do you receive this error message?\r\n\r\n\r\n\r\n"
        ">> 4. Besides email, what is the best way to contact you?\r\n\r\n\r\n\r\n"
        ">> ^^^^^ Thank you for reporting this error! ^^^^^^\r\n\r\n"
        "(The attached file, \"Error Details.txt\", contains technical details about this error.)";
    EXPECT_EQ(RecordedText("Message.NoteText"), body);
    EXPECT_TRUE(::IsWindowVisible(view.Dialog));

    // The attachment's folder is the program's temporary one: gone once it ends.
    const std::wstring folder = [&] {
        const std::string path = attachment.substr(0, attachment.size() - fileName.size());
        return std::wstring(path.begin(), path.end());
    }();
    EXPECT_TRUE(FileExists(folder + L"\\Error Details.txt"));
    EndInstaller(view);
    EXPECT_FALSE(FileExists(folder));
}

TEST_F(FerruleExceptionDialog, ACancelledSendShowsNothing) {
    const StandInMailClient mail;
    SetStandInMapiResult(1);
    const ExceptionDialogView view = OpenFailingInstaller();
    ExceptionDialogView::Click(view.DetailsButton);
    ExceptionDialogView::Click(view.EmailButton);
    ASSERT_TRUE(WaitForMapiRecord("Message.Subject", 30s));
    EXPECT_EQ(installer_->WaitForWindow(L"#32770", 2s), nullptr);
    EXPECT_TRUE(::IsWindowVisible(view.Dialog));
    EndInstaller(view);
}

// How often `needle` occurs in the text.
size_t CountOf(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

// Wine's event log prints every reported string on its "eventlog" channel to the Unix standard
// error, which the installer inherits from this program: the CTest entry FerruleTests.eventlog runs
// this test alone with that going to the file FERRULE_EVENTLOG_STDERR names.
using FerruleSecondaryReport = FerruleExceptionDialog;

std::wstring EventLogOutputFile() {
    const char* path = std::getenv("FERRULE_EVENTLOG_STDERR");
    return path != nullptr ? HostPath(path) : std::wstring();
}

TEST_F(FerruleSecondaryReport, AFailedSendIsShownOverTheDialogAndLoggedOnceInFullThenAsTraces) {
    const std::wstring errorFile = EventLogOutputFile();
    ASSERT_FALSE(errorFile.empty()) << "run through the CTest entry FerruleTests.eventlog";
    const std::vector<char> before = ReadFileBytes(errorFile);
    const std::string earlier(before.begin(), before.end());
    const StandInMailClient mail;
    SetStandInMapiResult(26);
    const ExceptionDialogView view = OpenFailingInstaller({{L"WINEDEBUG=err+eventlog"}, {}});
    ExceptionDialogView::Click(view.DetailsButton);
    for (int send = 0; send < 2; ++send) {
        ClearStandInMapiRecord();
        SetStandInMapiResult(26);
        ExceptionDialogView::Click(view.EmailButton);
        HWND box = installer_->WaitForWindow(L"#32770", 30s);
        ASSERT_NE(box, nullptr) << "no message for the failed send";
        EXPECT_EQ(MessageBoxText(box), L"MAPISendMail resulted in an error (26).");
        EXPECT_EQ(WindowText(box), L"Ferrule 3.6");
        EXPECT_TRUE(::IsWindowVisible(view.Dialog));
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 500 && ::IsWindow(box); ++i)
            std::this_thread::sleep_for(10ms);
    }
    EndInstaller(view);

    const std::vector<char> bytes = ReadFileBytes(errorFile);
    const std::string log = std::string(bytes.begin(), bytes.end()).substr(earlier.size());
    EXPECT_EQ(CountOf(log, "Exception class: EOleSysError"), 1u) << log;
    EXPECT_EQ(CountOf(log, "<----Secondary Exception Stack Trace---->"), 2u) << log;
    EXPECT_EQ(CountOf(log, "MAPISendMail resulted in an error (26)."), 2u) << log;
}

TEST_F(FerruleExceptionDialog, AFileWhereTheFolderGoesIsAGeneralErrorCaptionedWithTheTitle) {
    for (const std::wstring& name : FilesIn(installFolder_))
        RemoveFile(installFolder_ + L"\\" + name);
    ::RemoveDirectoryW(installFolder_.c_str());
    WriteFileBytes(installFolder_, {'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'l', 'd', 'e', 'r'});

    installer_ = std::make_unique<RunningProgram>(HostPath(FERRULE_PATH));
    HWND dialog = WaitForExceptionDialog(*installer_, 60s);
    ASSERT_NE(dialog, nullptr);
    const ExceptionDialogView view = ExceptionDialogView::Of(dialog);
    EXPECT_EQ(WindowText(dialog), L"Ferrule 3.6");
    ASSERT_TRUE(view.WaitForDetails(60s));
    EXPECT_EQ(view.DetailLines().at(0), L"Exception class: EVynGeneralError");
    EndInstaller(view);
    RemoveFile(installFolder_);
}

} // namespace
