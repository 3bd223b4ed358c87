// The installer's command line: which switches it knows and what they ask for. Free of Windows
// headers; the arguments come already split (quotes removed) from the command line.
#pragma once

#include <vector>

#include "SysTypes.h"

struct TFerruleOptions {
    // No window and no dialog: what the user would be told goes to the log.
    bool Quiet = false;
    // Where the log goes; empty for the default ("%TEMP%\Ferrule.log").
    WideString LogPath;
    // The usage was asked for ("/?").
    bool Help = false;
    // Every argument that is none of the switches, as given; the installer then does nothing.
    std::vector<WideString> Unknown;
};

// Switches start with "/" or "-" and are known in any case: "/quiet" or "/q", "/log=PATH" (the
// path as given, case kept; an empty path is not a switch), "/?". A later "/log=" replaces an
// earlier one.
TFerruleOptions ParseFerruleOptions(const std::vector<WideString>& arguments);

// One line naming the switches, for the message about an unknown one.
extern const char16_t FerruleUsage[];
