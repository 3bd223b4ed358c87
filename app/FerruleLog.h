// The log of an unattended run: every notice, step and error, appended to a file that outlives
// the run (a script reads it afterwards; an earlier run's lines stay above).
#pragma once

#include "Handles.h"
#include "SysTypes.h"

class TFerruleLog {
public:
    // Opens the file for appending, creating it (not its folder) when missing. Raises
    // EFCreateError naming the file when it cannot be opened.
    explicit TFerruleLog(const WideString& path);

    // Appends the text, every line with the local time; a failing write raises EOSError naming
    // the file.
    void Write(const WideString& text);

    const WideString& Path() const { return path_; }

private:
    WideString path_;
    UniqueFileHandle file_;
};

// "%TEMP%\Ferrule.log".
WideString DefaultFerruleLogPath();
