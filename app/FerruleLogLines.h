// The text of the installer's log: UTF-8 lines, each started by the local time it was written.
// Free of Windows headers.
#pragma once

#include <cstdint>
#include <string>

#include "SysTypes.h"

struct TLogTime {
    uint16_t Year = 0;
    uint16_t Month = 0;
    uint16_t Day = 0;
    uint16_t Hour = 0;
    uint16_t Minute = 0;
    uint16_t Second = 0;
    uint16_t Milliseconds = 0;
};

// Every line of the text (a line ends at CR LF, LF or CR; an empty text is one empty line) as
// "YYYY-MM-DD hh:mm:ss.mmm  <line>" in UTF-8, each ending in CR LF, so that the log opens right
// in Notepad and a script can take it apart line by line.
std::string LogLines(const TLogTime& time, const WideString& text);
