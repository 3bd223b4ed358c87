// The installer as scripts run it: the exit code tells the result, and with /quiet no window of
// the process ever shows while its log tells what happened.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "InstallerTest.h"
#include "Screenshot.h"
#include "WineTestSupport.h"

using namespace std::chrono_literals;

namespace {

struct TQuietRun {
    DWORD ExitCode = STILL_ACTIVE;
    // The class names of every window of the process seen visible.
    std::vector<std::wstring> VisibleWindows;
};

// Looks at the process's windows every 50 ms until it ends.
TQuietRun WatchWithoutUser(RunningProgram& program) {
    TQuietRun run;
    const auto deadline = std::chrono::steady_clock::now() + 90s;
    while ((run.ExitCode = program.WaitForExit(50ms)) == STILL_ACTIVE && std::chrono::steady_clock::now() < deadline) {
        for (HWND window : program.TopLevelWindows()) {
            if (::IsWindowVisible(window))
                run.VisibleWindows.push_back(ClassNameOf(window));
        }
    }
    return run;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The log's lines without their time stamps; every line must have one.
std::vector<std::string> LogMessages(const std::wstring& path) {
    const std::vector<char> bytes = ReadFileBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    static const std::regex stamped(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  (.*)$)");
    std::vector<std::string> messages;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "the log's last line does not end in CR LF";
            break;
        }
        const std::string line = text.substr(start, end - start);
        std::smatch match;
        if (std::regex_match(line, match, stamped))
            messages.push_back(match[1]);
        else
            ADD_FAILURE() << "a line without its time stamp: " << line;
        start = end + 2;
    }
    return messages;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class FerruleUnattended : public InstallerTest {
protected:
    TQuietRun RunQuietly(const std::wstring& program, std::vector<std::wstring> arguments) {
        RunningProgram installer(program, TRunOptions{.Arguments = std::move(arguments)});
        return WatchWithoutUser(installer);
    }

    ScratchFolder folder_{L"FerruleUnattended"};
    const std::wstring log_ = folder_.Path() + L"\\setup log.txt";
};

TEST_F(FerruleUnattended, AQuietInstallShowsNothingLogsEveryStageAndEndsWithZero) {
    const TQuietRun run = RunQuietly(HostPath(FERRULE_PATH), {L"/QUIET", L"/Log=" + log_});
    EXPECT_EQ(run.ExitCode, 0u);
    EXPECT_TRUE(run.VisibleWindows.empty()) << Narrow(run.VisibleWindows.front());
    EXPECT_EQ(ReadFileBytes(installFile_), ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
    EXPECT_NE(ReadRegistryString(HKEY_CLASSES_ROOT, L"DAO.TableDef.36\\CLSID"), L"");

    const std::vector<std::string> lines = LogMessages(log_);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("Ferrule started: ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("/QUIET"), std::string::npos);
    EXPECT_EQ(lines[1], "DAO 3.60 setup - installing...");
    EXPECT_EQ(lines[2], "DAO 3.60 setup - registering...");
    EXPECT_EQ(lines[3], "Finished with exit code 0.");

    // A second run has nothing to do, says so below the first run's lines, and still succeeds.
    const TQuietRun again = RunQuietly(HostPath(FERRULE_PATH), {L"/q", L"/log=" + log_});
    EXPECT_EQ(again.ExitCode, 0u);
    EXPECT_TRUE(again.VisibleWindows.empty());
    const std::vector<std::string> both = LogMessages(log_);
    ASSERT_EQ(both.size(), 7u);
    EXPECT_EQ(both[5], "DAO 3.60 is already installed: nothing to do.");
    EXPECT_EQ(both[6], "Finished with exit code 0.");
}

TEST_F(FerruleUnattended, AMissingPrerequisiteIsLoggedInFullAndEndsWithOne) {
    jet_.reset();
    const TQuietRun run = RunQuietly(HostPath(FERRULE_PATH), {L"/q", L"/log=" + log_});
    EXPECT_EQ(run.ExitCode, 1u);
    EXPECT_TRUE(run.VisibleWindows.empty()) << Narrow(run.VisibleWindows.front());
    EXPECT_FALSE(FileExists(installFile_));
    const std::vector<std::string> lines = LogMessages(log_);
    EXPECT_TRUE(Contains(lines, "This program requires Microsoft Jet 4.0 Drivers."));
    EXPECT_TRUE(Contains(lines, "You can download it from http://www.ferrule-setup.org/download/mdac_typ.exe"));
    EXPECT_EQ(lines.back(), "Finished with exit code 1.");
}

TEST_F(FerruleUnattended, AFailedRegistrationIsLoggedWithoutTheDialogAndEndsWithTwo) {
    const TQuietRun run = RunQuietly(HostPath(FERRULE_FAILING_PATH), {L"/q", L"/log=" + log_});
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_TRUE(run.VisibleWindows.empty()) << Narrow(run.VisibleWindows.front());
    const std::vector<std::string> lines = LogMessages(log_);
    EXPECT_TRUE(Contains(lines, "Error occurred while registering " + Narrow(installFile_) + "."));
    EXPECT_TRUE(Contains(lines, Narrow(SystemMessage(static_cast<DWORD>(0x80004005L))) + "."));
    EXPECT_EQ(lines.back(), "Finished with exit code 2.");
}

TEST_F(FerruleUnattended, WithoutALogSwitchTheLogIsInTheTemporaryFolder) {
    const std::wstring defaultLog = SystemTemp() + L"Ferrule.log";
    RemoveFile(defaultLog);
    const TQuietRun run = RunQuietly(HostPath(FERRULE_PATH), {L"-Q"});
    EXPECT_EQ(run.ExitCode, 0u);
    const std::vector<std::string> lines = LogMessages(defaultLog);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "Finished with exit code 0.");
    RemoveFile(defaultLog);
}

TEST_F(FerruleUnattended, ALogThatCannotBeWrittenStopsTheRunBeforeAnything) {
    const TQuietRun run = RunQuietly(HostPath(FERRULE_PATH), {L"/q", L"/log=" + folder_.Path() + L"\\missing\\x.log"});
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_TRUE(run.VisibleWindows.empty());
    EXPECT_FALSE(FileExists(installFile_)) << "nobody could have been told of what happened";
}

TEST_F(FerruleUnattended, AnUnknownSwitchIsLoggedWithTheSwitchesAndEndsWithTwo) {
    const TQuietRun run = RunQuietly(HostPath(FERRULE_PATH), {L"/q", L"/silent", L"/log=" + log_});
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_TRUE(run.VisibleWindows.empty());
    EXPECT_FALSE(FileExists(installFile_));
    const std::vector<std::string> lines = LogMessages(log_);
    EXPECT_TRUE(Contains(lines, "Unknown switch \"/silent\"."));
    EXPECT_TRUE(Contains(lines, "Usage: Ferrule.exe [/quiet | /q] [/log=PATH] [/?]"));
    EXPECT_EQ(lines.back(), "Finished with exit code 2.");
}

TEST_F(FerruleUnattended, AnUnknownSwitchWithAUserShowsTheSwitchesAndEndsWithTwo) {
    RunningProgram installer(HostPath(FERRULE_PATH), TRunOptions{.Arguments = {L"/install"}});
    HWND message = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (message == nullptr && std::chrono::steady_clock::now() < deadline &&
           installer.WaitForExit(10ms) == STILL_ACTIVE)
        for (HWND window : installer.TopLevelWindows())
            if (::IsWindowVisible(window) && ClassNameOf(window).rfind(L"TVynMessageForm", 0) == 0)
                message = window;
    ASSERT_NE(message, nullptr) << "no message about the switch appeared";
    PressKeys(message, {VK_CONTROL, 'C'});
    const std::wstring copied = ClipboardText();
    EXPECT_NE(copied.find(L"Unknown switch \"/install\".\r\n\r\nUsage: Ferrule.exe [/quiet | /q] [/log=PATH] [/?]"),
              std::wstring::npos)
        << Narrow(copied);
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(SaveWindowScreenshot(message, HostPath(FERRULE_ARTEFACT_DIR) + L"\\unknown-switch-message.png"));
    PressKeys(message, {VK_RETURN});
    EXPECT_EQ(installer.WaitForExit(30s), 2u);
    EXPECT_FALSE(FileExists(installFile_));
}

} // namespace
