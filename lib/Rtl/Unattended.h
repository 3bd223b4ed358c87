// A program run without a user (from a script or a management tool) shows no window and no dialog
// at all: what it would have told the user goes to the sink the program installed instead (its
// log). Units that show messages, notices or error dialogs ask RunsUnattended() first.
#pragma once

#include <functional>

#include "SysTypes.h"

using TUnattendedSink = std::function<void(const WideString& text)>;

// While one lives, the program runs unattended and every notice goes to its sink. Not nested:
// a second one while another lives is an error of the program (EInvalidOperation).
class TUnattendedRun {
public:
    explicit TUnattendedRun(TUnattendedSink sink);
    ~TUnattendedRun();
    TUnattendedRun(const TUnattendedRun&) = delete;
    TUnattendedRun& operator=(const TUnattendedRun&) = delete;
};

bool RunsUnattended();

// Hands the text to the sink; does nothing when the program runs with a user. A sink that fails
// is not allowed to stop the caller, whose own work still has to end properly: its failure is
// swallowed.
void TellUnattended(const WideString& text);
