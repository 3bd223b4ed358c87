#include "VynTraceSecondaryLog.h"

#include <windows.h>

#include <climits>
#include <cstdint>

#include "Assertions.h"
#include "Exceptions.h"
#include "Format.h"
#include "HandleStream.h"
#include "Handles.h"
#include "OSError.h"
#include "TextConversion.h"
#include "VynClasses.h"
#include "VynFormatStrUtils.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "VynWindows.h"
#include "WinText.h"

namespace {

// The exception dialog's unit, whose part this is: its assertions name it.
constexpr char UnitName[] = "lib/VynTrx/VynTraceExceptDlg";

WideString ProgramName() {
    return ExtractFileNameNoExt(GetProgramPath());
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Amends the failure with the path it concerns, keeping a subject already named more closely.
void NameSubject(Exception& error, std::string_view call, const WideString& path) {
    if (!error.Subject().empty())
        return;
    const AnsiString failingCall = error.FailingCall().empty() ? AnsiString(call) : error.FailingCall();
    error.SetFailure(failingCall, path);
}

[[noreturn]] void RaiseCannotCreate(const WideString& path) {
    EFCreateError error(Format("Cannot create file %s", {WideToAnsi(path)}));
    error.SetFailure("CreateFileW", path);
    throw error;
}

} // namespace

void LogSecondaryReport(const WideString& text) {
    if (VynPlatformIsNT)
        WriteEventLogEntry(text);
    else
        WriteErrorFile(text);
}

WideString EventLogEntryText(const WideString& text) {
    if (text.size() <= EventLogStringLimit)
        return text;
    size_t length = EventLogStringLimit;
    if (IsHighSurrogate(text[length - 1]))
        --length;
    return text.substr(0, length);
}

void WriteEventLogEntry(const WideString& text) {
    if (!VynPlatformIsNT)
        RTL_ASSERTION_FAILED("Assertion failure");
    const WideString source = ProgramName();
    // The event log exists on the NT family only, so its wide calls are called directly.
    const UniqueEventSource eventSource(::RegisterEventSourceW(nullptr, WinText(source)));
    if (!eventSource)
        RaiseLastOSError("RegisterEventSourceW", source);
    const WideString entry = EventLogEntryText(text);
    LPCWSTR strings[] = {WinText(entry)};
    if (!::ReportEventW(eventSource.get(), EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr))
        RaiseLastOSError("ReportEventW", source);
}

WideString WriteErrorFile(const WideString& text) {
    const WideString name = ProgramName();
    const WideString folder = GetTempFolder() + name + u"\\";
    try {
        ForceFolder(folder);
    } catch (Exception& error) {
        NameSubject(error, "CreateDirectoryW", folder);
        throw;
    }
    TVynStringList lines;
    lines.SetAllText(text);
    for (int64_t number = 1; number <= INT32_MAX; ++number) {
        const WideString path =
            FormatWide(u"%s%s_Error_%.4d.txt", {folder, name, static_cast<int32_t>(number)});
        UniqueFileHandle file(VynCreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            const DWORD error = ::GetLastError();
            // A name already taken, whatever the system says about it (a file held open by another
            // process may be reported as a sharing violation), belongs to an earlier report.
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                VynGetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
                continue;
            RaiseCannotCreate(path);
        }
        THandleStream stream(file.get());
        try {
            lines.WriteToStream(stream, true);
        } catch (Exception& error) {
            NameSubject(error, "WriteFile", path);
            throw;
        }
        return path;
    }
    RaiseCannotCreate(folder + name + u"_Error_*.txt");
}
