// What the error report says about the running system: its version line, memory and the disk
// that holds the Windows folder.
#pragma once

#include <optional>
#include <vector>

#include "SysTypes.h"
#include "TraceMemoryDiskLines.h"
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

// GlobalMemoryStatusEx where kernel32 has it (NT 5 and later), else GlobalMemoryStatus, whose
// 32-bit fields cannot count beyond 4 GB.
TMemoryFigures ReadMemoryFigures();
// The three memory lines of the running system.
std::vector<WideString> RunningMemoryLines();

struct TDiskSpace {
    uint64_t TotalBytes = 0;
    uint64_t FreeBytes = 0;
};
// The size and free space of the volume at the root ("C:\", "\\server\share\"): through
// GetDiskFreeSpaceExW where kernel32 has it, else GetDiskFreeSpace (clusters counted in 32 bits).
// None when the system answers neither.
std::optional<TDiskSpace> ReadDiskSpace(const WideString& root);
// The drive part of the Windows folder ("C:", or "\\server\share").
WideString WindowsDrive();
// The two disk lines of the Windows folder's drive; none when the folder has no drive part or the
// volume cannot be queried.
std::vector<WideString> RunningWindowsDiskLines();
