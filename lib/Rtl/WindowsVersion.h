// The running system's version as GetVersionEx reports it: platform, version numbers, build and
// service-pack text. Read once, on first use.
#pragma once

#include <cstdint>

#include "SysTypes.h"

struct TWindowsVersion {
    // VER_PLATFORM_WIN32s (0), VER_PLATFORM_WIN32_WINDOWS (1, the 9x family), VER_PLATFORM_WIN32_NT (2).
    int32_t Platform = 0;
    int32_t MajorVersion = 0;
    int32_t MinorVersion = 0;
    int32_t BuildNumber = 0;
    // The service-pack text ("Service Pack 3"), empty when there is none.
    WideString CSDVersion;
};

const TWindowsVersion& WindowsVersion();
int32_t Win32Platform();
int32_t Win32MajorVersion();
int32_t Win32MinorVersion();
int32_t Win32BuildNumber();
WideString Win32CSDVersion();

// Replaces what every caller sees and returns what was in place (the system's values when
// nothing was read yet), so that a caller can put it back. For tests of texts that depend on a
// system other than the one running.
TWindowsVersion ReplaceWindowsVersion(const TWindowsVersion& version);
