// The report dialog's own log file: reports appended under a dated banner, when the dialog's tag
// asks for it.
#pragma once

#include <windows.h>

#include "Handles.h"
#include "SysTypes.h"

class TSimpleExceptionLog {
public:
    // An empty name stands for DefaultFileName().
    explicit TSimpleExceptionLog(const WideString& fileName = {});

    // "<program folder>\<program name>_Err.log".
    static WideString DefaultFileName();

    const WideString& FileName() const { return fileName_; }
    bool IsOpen() const { return file_.valid(); }
    // Whether the file was empty when it was opened.
    bool WasEmpty() const { return wasEmpty_; }

    // Opens or creates the file for appending (others may read it meanwhile); an open log only
    // forgets that it was empty. Raises EFOpenError naming the file when it cannot be opened.
    void OpenFile();
    void CloseFile() { file_.reset(); }
    // Each line of text right-trimmed, indented by `indent` blanks and ended with CR LF; nothing
    // while the file is closed.
    void WriteText(const AnsiString& text, int indent);
    // An empty line unless the file was empty, then a line of '=', "= <date and time> =" and
    // a line of '=', `width` wide (100 for 0, at least 20).
    void WriteBanner(int width);

private:
    void WriteRaw(const AnsiString& bytes);

    WideString fileName_;
    UniqueFileHandle file_;
    bool wasEmpty_ = false;
};
