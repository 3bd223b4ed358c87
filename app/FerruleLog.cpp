#include "FerruleLog.h"

#include "Exceptions.h"
#include "FerruleLogLines.h"
#include "OSError.h"
#include "TextConversion.h"
#include "WinText.h"

TFerruleLog::TFerruleLog(const WideString& path) : path_(path) {
    // Readers (a tail, the script waiting for the run) may look at the file while it grows.
    file_.reset(::CreateFileW(WinText(path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
        const DWORD error = ::GetLastError();
        EFCreateError failure("Cannot create file " + WideToAnsi(path) + ". " + SysErrorMessage(error));
        failure.SetFailure("CreateFileW", path);
        throw failure;
    }
}

void TFerruleLog::Write(const WideString& text) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::string lines =
        LogLines({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds}, text);
    DWORD written = 0;
    if (!::WriteFile(file_.get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) ||
        written != lines.size())
        RaiseLastOSError("WriteFile", path_);
}

WideString DefaultFerruleLogPath() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        RaiseLastOSError("GetTempPathW");
    WideString path(reinterpret_cast<const char16_t*>(folder), length);
    if (path.back() != u'\\')
        path += u'\\';
    return path + u"Ferrule.log";
}
