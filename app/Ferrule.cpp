// The installer's entry: start the units, check the prerequisites, install with the window or,
// with /quiet, without any window, and end with an exit code a script can act on.
#include <windows.h>

#include <optional>
#include <vector>

#include "Application.h"
#include "CheckWinInetAndAdo.h"
#include "ExceptDlg.h"
#include "ExtCtrls.h"
#include "FerruleFrm.h"
#include "FerruleLog.h"
#include "FerruleOptions.h"
#include "FerruleResStr.h"
#include "FerruleSetup.h"
#include "ResourceModule.h"
#include "StdCtrls.h"
#include "SystemFaults.h"
#include "SystemLibraries.h"
#include "TextConversion.h"
#include "TraceDebug.h"
#include "TraceHookExcept.h"
#include "Unattended.h"
#include "VynDialogs.h"
#include "VynForms.h"
#include "VynFormatStrUtils.h"
#include "VynLXDataSet.h"
#include "VynLXFlashMsg.h"
#include "VynLXForms.h"
#include "VynLXUtils.h"
#include "VynStdCtrls.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTraceExceptDlg.h"
#include "VynTrxDfmUtils.h"
#include "VynTrxLangs.h"
#include "VynTrxStartup.h"
#include "VynTrxUtils.h"
#include "VynWindows.h"

namespace {

// What the program's exit code tells a script or a management tool.
enum TExitCode : int {
    ExitDone = 0,     // installed, or nothing to do
    ExitRefused = 1,  // a prerequisite is missing; nothing was written
    ExitFailed = 2,   // an error was reported (or the command line was not understood)
};

std::vector<WideString> CommandLineArguments() {
    std::vector<WideString> arguments;
    for (int index = 1;; ++index) {
        WideString argument = ParamStrWide(index);
        if (argument.empty())
            return arguments;
        arguments.push_back(std::move(argument));
    }
}

WideString SwitchesMessage(const TFerruleOptions& options) {
    WideString message;
    for (const WideString& unknown : options.Unknown)
        message += FormatWide(LoadResStringWide(&ResStr::Ferrule::SUnknownSwitch), {unknown}) + u"\r\n";
    if (!message.empty())
        message += u"\r\n";
    return message + FormatWide(LoadResStringWide(&ResStr::Ferrule::SSwitches), {WideString(FerruleUsage)});
}

int Install(const TFerruleOptions& options) {
    TUnitStartup units{
        &RtlResourceModuleUnit, &RtlSystemFaultsUnit,   &VynSystemUnit,          &VynWindowsUnit,
        &VynSysUtilsUnit,       &VynLXUtilsUnit,        &TraceDebugUnit,         &TraceHookExceptUnit,
        &RtlFormsUnit,          &RtlStdCtrlsUnit,       &RtlExtCtrlsUnit,        &VynFormsUnit,
        &VynStdCtrlsUnit,       &VynLXFormsUnit,        &VynLXFlashMsgUnit,      &VynLXDataSetUnit,
        &ExceptDlgUnit,         &VynTraceExceptDlgUnit, &VynTrxDfmUtilsUnit,     &VynTrxUtilsUnit,
        &VynTrxLangsUnit,       &VynTrxStartupUnit,     &CheckWinInetAndAdoUnit, &FerruleFrmUnit};
    try {
        // Where the exception dialog's Send Email button writes to.
        SupportEmailAddress = u"support@ferrule-setup.example";
        if (options.Help || !options.Unknown.empty()) {
            ShowMessageWide(SwitchesMessage(options));
            return options.Unknown.empty() ? ExitDone : ExitFailed;
        }
        // A missing prerequisite has been told: no window, nothing written.
        if (!CheckRequirements({IE, MDAC, JET}))
            return ExitRefused;
        Application->Initialize();
        Application->SetTitle("Ferrule 3.6");
        if (RunsUnattended()) {
            if (!InstallDao(TellUnattended))
                TellUnattended(u"DAO 3.60 is already installed: nothing to do.");
        } else {
            Application->CreateForm(FerruleForm);
            Application->Run();
        }
    } catch (...) {
        HandleExceptionInCallback(nullptr);
        return ExitFailed;
    }
    // The window stays open after an error until the user closes it; the error still counts.
    return Application->ReportedErrorCount() > 0 ? ExitFailed : ExitDone;
}

// Before the units start, so that nothing of theirs is ever told to a user who is not there.
int InstallUnattended(const TFerruleOptions& options) {
    std::optional<TFerruleLog> log;
    try {
        log.emplace(options.LogPath.empty() ? DefaultFerruleLogPath() : options.LogPath);
        log->Write(u"Ferrule started: " + WideString(reinterpret_cast<const char16_t*>(::GetCommandLineW())));
    } catch (...) {
        // Nobody can be told: the exit code is all there is.
        return ExitFailed;
    }
    int exitCode = ExitFailed;
    {
        const TUnattendedRun run([&log](const WideString& text) { log->Write(text); });
        try {
            exitCode = Install(options);
        } catch (const Exception& error) {
            // The units could not start (or end): their error has nobody else to go to.
            TellUnattended(AnsiToWide(error.Message()));
        } catch (const std::exception& error) {
            TellUnattended(AnsiToWide(error.what()));
        }
    }
    try {
        log->Write(FormatWide(u"Finished with exit code %d.", {exitCode}));
    } catch (...) {
        return ExitFailed;
    }
    return exitCode;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before any unit's start-up: no library is ever taken from the program's folder.
    RestrictLibrarySearch();
    const TFerruleOptions options = ParseFerruleOptions(CommandLineArguments());
    if (options.Quiet)
        return InstallUnattended(options);
    try {
        return Install(options);
    } catch (...) {
        // The units could not start; whatever could be told has been.
        HandleExceptionInCallback(nullptr);
        return ExitFailed;
    }
}
