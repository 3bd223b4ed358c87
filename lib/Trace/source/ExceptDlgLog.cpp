#include "ExceptDlgLog.h"

#include <algorithm>

#include "Exceptions.h"
#include "Format.h"
#include "OSError.h"
#include "StringLists.h"
#include "TextConversion.h"
#include "VynLXSystemInfo.h"
#include "VynLXUtils.h"
#include "VynSysUtilsPaths.h"
#include "VynWindows.h"
#include "WinText.h"

namespace {

constexpr int DefaultBannerWidth = 100;
constexpr int MinimumBannerWidth = 20;

AnsiString TrimRightBlanks(AnsiString line) {
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ')
        line.pop_back();
    return line;
}

} // namespace

TSimpleExceptionLog::TSimpleExceptionLog(const WideString& fileName)
    : fileName_(fileName.empty() ? DefaultFileName() : fileName) {}

WideString TSimpleExceptionLog::DefaultFileName() {
    const WideString program = GetProgramPath();
    return ExtractFilePathWide(program) + ExtractFileNameNoExt(program) + u"_Err.log";
}

void TSimpleExceptionLog::OpenFile() {
    if (file_.valid()) {
        wasEmpty_ = false;
        return;
    }
    file_.reset(VynCreateFileW(fileName_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_.valid()) {
        EFOpenError error(WideToAnsi(u"Cannot open file " + fileName_));
        error.SetFailure("CreateFileW", fileName_);
        throw error;
    }
    LARGE_INTEGER end{};
    if (!::SetFilePointerEx(file_.get(), LARGE_INTEGER{}, &end, FILE_END))
        RaiseLastOSError("SetFilePointerEx", fileName_);
    wasEmpty_ = end.QuadPart == 0;
}

void TSimpleExceptionLog::WriteRaw(const AnsiString& bytes) {
    DWORD written = 0;
    if (!::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        RaiseLastOSError("WriteFile", fileName_);
}

void TSimpleExceptionLog::WriteText(const AnsiString& text, int indent) {
    if (!file_.valid())
        return;
    const AnsiString margin(static_cast<size_t>(std::max(indent, 0)), ' ');
    TStringList lines;
    lines.SetText(text);
    AnsiString out;
    for (int32_t i = 0; i < lines.Count(); ++i)
        out += margin + TrimRightBlanks(lines[i]) + "\r\n";
    WriteRaw(out);
}

void TSimpleExceptionLog::WriteBanner(int width) {
    width = std::max(width == 0 ? DefaultBannerWidth : width, MinimumBannerWidth);
    OpenFile();
    const AnsiString rule(static_cast<size_t>(width), '=');
    AnsiString banner = wasEmpty_ ? AnsiString() : AnsiString("\r\n");
    banner += rule + "\r\n";
    banner += Format("= %-*s =", {width - 4, WideToAnsi(CurrentDateTimeText())}) + "\r\n";
    banner += rule + "\r\n";
    WriteRaw(banner);
}
