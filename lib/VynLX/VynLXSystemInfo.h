// What the system-information block of the error report reads of the running system: memory,
// the disk that holds the Windows folder, the local date and time; and the process-wide hook
// through which the block reaches the exception dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "SysTypes.h"

class TVynStringList;

// Fills the list with the system-information block; null when no unit has installed one. The
// requirement unit (CheckWinInetAndAdo) installs its block at its start and removes it at its
// end; the exception dialog appends what it writes to the report.
using TSystemInfoProc = void (*)(TVynStringList& lines);
extern TSystemInfoProc SystemInfoProc;

// The block's separator: 37 dashes.
inline constexpr char16_t RsSystemInfoSeparator[] = u"-------------------------------------";

// ---- Memory

struct TMemoryFigures {
    uint64_t TotalPhysical = 0; // bytes
    uint64_t AvailPhysical = 0; // bytes
    uint32_t MemoryLoad = 0;    // percent
};

// "Total Physical Memory: N MB", "Avail Physical Memory: N MB", "Memory Load: N%"; megabytes are
// the bytes shifted right by 20.
std::vector<WideString> MemoryLines(const TMemoryFigures& memory);
// GlobalMemoryStatusEx where kernel32 has it (NT 5 and later), else GlobalMemoryStatus, whose
// 32-bit fields cannot count beyond 4 GB.
TMemoryFigures ReadMemoryFigures();
// The three memory lines of the running system.
std::vector<WideString> RunningMemoryLines();

// ---- The Windows folder's disk

// "Total Windows HD Space (<drive>) = N MB", "Free Windows HD Space = N MB".
std::vector<WideString> WindowsDiskLines(const WideString& drive, uint64_t totalBytes, uint64_t freeBytes);

struct TDiskSpace {
    uint64_t TotalBytes = 0;
    uint64_t FreeBytes = 0;
};
// The size and free space of the volume at the root ("C:\", "\\server\share\"): through
// GetDiskFreeSpaceExW where kernel32 has it, else GetDiskFreeSpace (clusters counted in 32 bits).
// None when the system answers neither.
std::optional<TDiskSpace> ReadDiskSpace(const WideString& root);
// The drive part of the Windows folder ("C:", or "\\server\share"); "" when it has none.
WideString WindowsDrive();
// The two disk lines of the Windows folder's drive; none when the folder has no drive part or the
// volume cannot be queried.
std::vector<WideString> RunningWindowsDiskLines();

// ---- Date and time

// The moment in the user locale's short date and long time formats, separated by one blank;
// "" when the system formats neither.
WideString LocalDateTimeText(const SYSTEMTIME& moment);
// The current local time so written.
WideString CurrentDateTimeText();
