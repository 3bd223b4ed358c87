// What the error report's system section says about the running system: its version, processor
// and display lines.
#pragma once

#include <vector>

#include "SysTypes.h"
#include "TraceOSVersionText.h"

// GetVersionEx (the extended record where the system takes it), kernel32's product version and
// the ProductOptions value. The build number keeps its low 16 bits on the 9x family, whose high
// word repeats the version.
TOSVersionData ReadOSVersionData();
// "System   : ..." for the running system.
AnsiString RunningSystemVersionLine();

// "Display  : ..." of the screen: its size, and bits per pixel times colour planes of its device.
AnsiString RunningDisplayLine();
// The system section of the report without its separator: the System line, the Processor line
// (or the failure between banners), the Display line.
std::vector<AnsiString> SystemSectionLines();
