// The program's exception dialog in-process: the report it builds for an exception (its stack
// kept from the raise, whatever the dialog raises and handles meanwhile), its message and OLE
// lines, its caption rules and its fitting of the message; a timer plays the user.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "Application.h"
#include "ExtCtrls.h"
#include "OSError.h"
#include "StdCtrls.h"
#include "SystemFaults.h"
#include "TextConversion.h"
#include "TraceDebug.h"
#include "TraceHookExcept.h"
#include "VynFormatStrUtils.h"
#include "VynForms.h"
#include "VynLXSystemInfo.h"
#include "VynLXUtils.h"
#include "VynStdCtrls.h"
#include "VynSysUtils.h"
#include "VynSysUtilsPaths.h"
#include "VynSystem.h"
#include "VynTraceExceptDlg.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

// What the user sees once the report is built, and what the dialog knew.
struct SeenReport {
    AnsiString Caption;
    AnsiString Message;
    std::vector<AnsiString> Lines;
    bool MessageScrollBar = false;
    int32_t MessageHeight = 0;
    int32_t DesignedMessageHeight = 0;
};

// Runs `user` on the dialog every 50 ms while it is open; the user closes it when done.
std::function<bool(TVynTraceExceptionDialog&)> user;

void CALLBACK PlayUser(HWND, UINT, UINT_PTR, DWORD) {
    if (ActiveVynDialog != nullptr && user && user(*ActiveVynDialog))
        ActiveVynDialog->SetModalResult(mrOk);
}

// The dialog's user, with AutoDetails as a development environment would leave it.
bool manualDetails = false;
// The tag the dialog is given before it shows.
int32_t dialogTag = 0;

TExceptionDialog* MakeTestDialog(TComponent* owner) {
    TExceptionDialog* dialog = MakeVynTraceExceptionDialog(owner);
    if (manualDetails)
        static_cast<TVynTraceExceptionDialog*>(dialog)->AutoDetails = false;
    dialog->SetTag(dialogTag);
    return dialog;
}

SeenReport Seen(TVynTraceExceptionDialog& dialog) {
    SeenReport seen;
    seen.Caption = dialog.Caption();
    seen.Message = dialog.TextLabel->GetText();
    const TStrings& lines = dialog.DetailsMemo->Lines();
    for (int32_t i = 0; i < lines.Count(); ++i)
        seen.Lines.push_back(lines.Strings(i));
    seen.MessageScrollBar = (::GetWindowLongPtrA(dialog.TextLabel->Handle(), GWL_STYLE) & WS_VSCROLL) != 0;
    seen.MessageHeight = dialog.TextLabel->Height();
    return seen;
}

int reportedRaiseLine = 0;

[[gnu::noinline]] void RaiseTheReportedFailure(const AnsiString& message) {
    reportedRaiseLine = __LINE__ + 1;
    throw EOleSysError(message, static_cast<int32_t>(0x80004005));
}

class VynTraceDialog : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &RtlSystemFaultsUnit, &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &VynLXUtilsUnit,
            &TraceDebugUnit, &TraceHookExceptUnit, &RtlFormsUnit, &RtlStdCtrlsUnit, &RtlExtCtrlsUnit,
            &VynFormsUnit, &VynStdCtrlsUnit, &ExceptDlgUnit, &VynTraceExceptDlgUnit});
        Application->SetTitle("Ferrule 3.6");
        DialogClass = MakeTestDialog;
        timer_ = ::SetTimer(nullptr, 0, 50, PlayUser);
    }
    void TearDown() override {
        ::KillTimer(nullptr, timer_);
        user = nullptr;
        manualDetails = false;
        dialogTag = 0;
        units_.reset();
    }

    // Reports `raise`'s exception the way the application's handler does and returns what the
    // user saw once the details were there.
    SeenReport Report(const std::function<void()>& raise) {
        SeenReport seen;
        user = [&](TVynTraceExceptionDialog& dialog) {
            if (!dialog.DetailsBuilt)
                return false;
            seen = Seen(dialog);
            return true;
        };
        try {
            raise();
        } catch (Exception& error) {
            HandleVynApplicationException(nullptr, error);
        }
        return seen;
    }

    std::unique_ptr<TUnitStartup> units_;
    UINT_PTR timer_ = 0;
};

// A UTF-16LE file's text after its byte-order mark; empty when there is no such file.
WideString WideFileText(const WideString& path) {
    const std::wstring name(path.begin(), path.end());
    if (!FileExists(name))
        return {};
    const std::vector<char> bytes = ReadFileBytes(name);
    WideString text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text +=
            static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
    return text;
}

::testing::AssertionResult ContainsLine(const std::vector<AnsiString>& lines, const AnsiString& part) {
    for (const AnsiString& line : lines)
        if (line.find(part) != AnsiString::npos)
            return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no line contains " << part;
}

TEST_F(VynTraceDialog, TheHeaderCarriesEveryLineOfTheMessageThenTheOleCodeThenTheSeparator) {
    const SeenReport seen = Report([] {
        RaiseTheReportedFailure("Error occurred while registering C:\\x.dll.\r\n\r\nUnspecified error");
    });
    EXPECT_EQ(seen.Caption, "Ferrule 3.6  (Application Error)");
    EXPECT_EQ(seen.Message, "Error occurred while registering C:\\x.dll.\r\n\r\nUnspecified error.");
    ASSERT_GE(seen.Lines.size(), 7u);
    EXPECT_EQ(seen.Lines[0], "Exception class: EOleSysError");
    EXPECT_EQ(seen.Lines[1].rfind("Exception address: ", 0), 0u);
    EXPECT_EQ(seen.Lines[2], "Exception message: Error occurred while registering C:\\x.dll.");
    EXPECT_EQ(seen.Lines[3], "");
    EXPECT_EQ(seen.Lines[4], "Unspecified error");
    EXPECT_EQ(seen.Lines[5], "OLE Exception Code: 0x80004005 (-2147467259)");
    EXPECT_EQ(seen.Lines[6], AnsiString(100, '-'));
}

TEST_F(VynTraceDialog, TheAddressIsTheRaisesOwn) {
    const SeenReport seen = Report([] { RaiseTheReportedFailure("failed"); });
    ASSERT_GE(seen.Lines.size(), 2u);
    const AnsiString address = seen.Lines[1].substr(19);
    EXPECT_EQ(address.size(), 2 * sizeof(void*));
    TTraceLocationInfo info;
    // The address is the raise call's return address; the call itself lies just before it (after a
    // call that never returns the compiler may place other code).
    ASSERT_TRUE(
        LocateAddressInfo(reinterpret_cast<const void*>(std::stoull(address, nullptr, 16) - 1), info));
    EXPECT_NE(info.ProcedureName.find("RaiseTheReportedFailure"), AnsiString::npos) << info.ProcedureName;
}

TEST_F(VynTraceDialog, AGeneralErrorIsCaptionedWithTheTitleAloneAndAFullStopIsNotDoubled) {
    const SeenReport seen = Report([] { throw EVynGeneralError("Could not create the folder."); });
    EXPECT_EQ(seen.Caption, "Ferrule 3.6");
    EXPECT_EQ(seen.Message, "Could not create the folder.");
    ASSERT_GE(seen.Lines.size(), 4u);
    EXPECT_EQ(seen.Lines[0], "Exception class: EVynGeneralError");
    EXPECT_EQ(seen.Lines[2], "Exception message: Could not create the folder.");
    EXPECT_EQ(seen.Lines[3], AnsiString(100, '-')) << "no OLE line for an error of another class";
}

TEST_F(VynTraceDialog, TheStackIsTheRaisesEvenWhenTheDialogRaisesAndHandlesItsOwn) {
    // Without automatic details the show ends in the silent abort, which has its stack captured
    // too; the Details button builds the report afterwards.
    manualDetails = true;
    SeenReport seen;
    bool clicked = false;
    user = [&](TVynTraceExceptionDialog& dialog) {
        if (!clicked) {
            EXPECT_FALSE(dialog.DetailsBuilt) << "details were built although not asked for";
            // Something the dialog's code raises and handles meanwhile.
            try {
                throw EInvalidOperation("handled inside the dialog");
            } catch (const EInvalidOperation&) {
            }
            clicked = true;
            dialog.DetailsBtnClick(&dialog);
            return false;
        }
        seen = Seen(dialog);
        return true;
    };
    try {
        RaiseTheReportedFailure("failed");
    } catch (Exception& error) {
        HandleVynApplicationException(nullptr, error);
    }
    const auto stack = std::find_if(seen.Lines.begin(), seen.Lines.end(), [](const AnsiString& line) {
        return line.rfind("Stack list, generated ", 0) == 0;
    });
    ASSERT_NE(stack, seen.Lines.end());
    ASSERT_NE(stack + 1, seen.Lines.end());
    EXPECT_NE(stack[1].find("RaiseTheReportedFailure"), AnsiString::npos) << stack[1];
    EXPECT_NE(stack[1].find("(Line " + std::to_string(reportedRaiseLine)), AnsiString::npos) << stack[1];
    for (auto line = stack; line != seen.Lines.end() && *line != AnsiString(100, '-'); ++line) {
        EXPECT_EQ(line->find("BeforeShow"), AnsiString::npos) << *line;
        EXPECT_EQ(line->find("handled inside"), AnsiString::npos) << *line;
    }
}

TEST_F(VynTraceDialog, TheReportHasEverySectionAndTheSystemBlockLast) {
    SystemInfoProc = [](TVynStringList& lines) {
        lines.RemoveAll();
        lines.AppendEntry(u"OS = test");
        lines.AppendEntry(u"Beyond the code page: \u4E2D");
    };
    const SeenReport seen = Report([] { RaiseTheReportedFailure("failed"); });
    SystemInfoProc = nullptr;
    EXPECT_TRUE(ContainsLine(seen.Lines, "Stack list, generated "));
    EXPECT_TRUE(ContainsLine(seen.Lines, "System   : "));
    EXPECT_TRUE(ContainsLine(seen.Lines, "Display  : "));
    EXPECT_TRUE(ContainsLine(seen.Lines, "List of loaded modules:"));
    ASSERT_GE(seen.Lines.size(), 2u);
    EXPECT_EQ(seen.Lines[seen.Lines.size() - 2], "OS = test");
    EXPECT_EQ(seen.Lines.back(), "Beyond the code page: ?") << "the block reaches the report through ANSI";
}

TEST_F(VynTraceDialog, ALongMessageGrowsTheMessageAreaAndOneBeyondTheScreenScrolls) {
    const SeenReport shortOne = Report([] { RaiseTheReportedFailure("short"); });
    EXPECT_FALSE(shortOne.MessageScrollBar);

    const SeenReport tall = Report([] {
        AnsiString message;
        for (int i = 0; i < 6; ++i)
            message += "Line " + std::to_string(i) + "\r\n";
        RaiseTheReportedFailure(message + "end");
    });
    EXPECT_GT(tall.MessageHeight, shortOne.MessageHeight);
    EXPECT_FALSE(tall.MessageScrollBar);

    const SeenReport endless = Report([] {
        AnsiString message;
        for (int i = 0; i < 400; ++i)
            message += "Line " + std::to_string(i) + "\r\n";
        RaiseTheReportedFailure(message + "end");
    });
    EXPECT_LT(endless.MessageHeight, ::GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(endless.MessageScrollBar);
}

TEST_F(VynTraceDialog, AnExceptionWhileTheDialogIsOpenIsLoggedAsAReportOnceAndAsATraceEachTime) {
    // The 9x path: numbered files below the temporary folder.
    const bool wasNT = VynPlatformIsNT;
    VynPlatformIsNT = false;
    const WideString folder = GetTempFolder() + ExtractFileNameNoExt(GetProgramPath()) + u"\\";
    RemoveTempFolder(folder);
    int raised = 0;
    user = [&](TVynTraceExceptionDialog& dialog) {
        if (raised < 2) {
            ++raised;
            try {
                throw EVynGeneralError("secondary " + std::to_string(raised));
            } catch (Exception& error) {
                // The logging half of the handler: its other half is the standard message box.
                LogSecondaryException(error);
            }
            EXPECT_TRUE(dialog.SecondaryLogged);
            return false;
        }
        return true;
    };
    try {
        RaiseTheReportedFailure("failed");
    } catch (Exception& error) {
        ShowExceptionReport(error, nullptr);
    }
    VynPlatformIsNT = wasNT;
    const auto fileText = [&](int n) {
        return WideFileText(
            FormatWide(u"%s%s_Error_%.4d.txt", {folder, ExtractFileNameNoExt(GetProgramPath()), n}));
    };
    EXPECT_NE(fileText(1).find(u"Exception class: EOleSysError"), WideString::npos);
    EXPECT_EQ(fileText(2).rfind(
                  u"<----Secondary Exception Stack Trace---->\r\nEVynGeneralError\r\nsecondary 1\r\n\r\n", 0),
              0u);
    EXPECT_EQ(fileText(3).rfind(
                  u"<----Secondary Exception Stack Trace---->\r\nEVynGeneralError\r\nsecondary 2\r\n\r\n", 0),
              0u);
    EXPECT_TRUE(fileText(4).empty()) << "the report was logged twice";
    RemoveTempFolder(folder);
}

TEST_F(VynTraceDialog, AnExceptionOfARegisteredThreadNamesTheThreadInsteadOfTheAddress) {
    DebugThreadList().RegisterThread(::GetCurrentThreadId(), "Worker", "copying");
    const AnsiString threadText = DebugThreadList().ThreadText(::GetCurrentThreadId());
    SeenReport seen;
    user = [&](TVynTraceExceptionDialog& dialog) {
        if (!dialog.DetailsBuilt)
            return false;
        seen = Seen(dialog);
        return true;
    };
    try {
        RaiseTheReportedFailure("failed in a thread");
    } catch (Exception& error) {
        DebugThreadList().SyncException(::GetCurrentThreadId(), error);
    }
    DebugThreadList().UnregisterThread(::GetCurrentThreadId());
    ASSERT_GE(seen.Lines.size(), 2u);
    EXPECT_EQ(seen.Lines[1], "Thread: " + threadText);
    EXPECT_NE(seen.Lines[1].find("[Worker] \"copying\""), AnsiString::npos) << seen.Lines[1];
}

TEST_F(VynTraceDialog, TagBitZeroWritesTheReportToTheLogBesideTheProgram) {
    const std::wstring logFile = Win(TSimpleExceptionLog::DefaultFileName());
    RemoveFile(logFile);
    dialogTag = 1;
    const SeenReport seen = Report([] { RaiseTheReportedFailure("logged failure"); });
    const std::vector<char> bytes = ReadFileBytes(logFile);
    const std::string log(bytes.begin(), bytes.end());
    RemoveFile(logFile);
    EXPECT_EQ(log.rfind(std::string(100, '=') + "\r\n= ", 0), 0u);
    EXPECT_NE(log.find("logged failure.\r\n\r\nException class: EOleSysError\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Exception message: logged failure\r\n"), std::string::npos);
}

TEST(VynTraceDialogNames, TheDevelopmentEnvironmentIsVynIdeInAnyCase) {
    EXPECT_TRUE(IsDevelopmentEnvironment(u"C:\\Tools\\vynide.EXE"));
    EXPECT_TRUE(IsDevelopmentEnvironment(u"VynIDE.exe"));
    EXPECT_FALSE(IsDevelopmentEnvironment(u"C:\\VynIDE.exe\\Ferrule.exe"));
    EXPECT_FALSE(IsDevelopmentEnvironment(u"C:\\Tools\\VynIDE.exe.bak"));
}

} // namespace
