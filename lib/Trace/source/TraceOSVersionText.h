// The error report's "System" and "Display" lines: the operating system's name and product type, worked out
// from the version data alone so that every system's row can be checked on any machine.
#pragma once

#include <cstdint>

#include "SysTypes.h"

struct TOSVersionData {
    // VER_PLATFORM_WIN32s (0), VER_PLATFORM_WIN32_WINDOWS (1, the 9x family), VER_PLATFORM_WIN32_NT (2).
    int32_t Platform = 0;
    uint32_t MajorVersion = 0;
    uint32_t MinorVersion = 0;
    uint32_t BuildNumber = 0;
    // The service-pack text as the system gives it ("Service Pack 1"; on the 9x family "A", " B ").
    AnsiString CSDVersion;
    // Whether the extended version record (OSVERSIONINFOEX) was read; the next three come from it.
    bool Extended = false;
    uint16_t ServicePackMajor = 0;
    uint16_t SuiteMask = 0;
    uint8_t ProductType = 0; // VER_NT_WORKSTATION 1, VER_NT_DOMAIN_CONTROLLER 2, VER_NT_SERVER 3
    // The upper 32 bits of kernel32's product version (4.90 is 0x0004005A); 0 when unknown.
    uint32_t Kernel32ProductVersion = 0;
    // HKLM "System\CurrentControlSet\Control\ProductOptions" value "ProductType"; "" when absent.
    AnsiString ProductOptions;
};

// "Windows 95" ... "Windows XP", "Windows NT 4.0"; "" for any system the table does not name.
AnsiString OperatingSystemName(const TOSVersionData& version);
// "Workstation", "Server", "Advanced Server", "Home Edition", "Professional", "Datacenter Server"
// or "": the extended record decides where it can, else the ProductOptions value.
AnsiString ProductTypeName(const TOSVersionData& version);
// "Display  : <width>x<height> pixels, <bits per pixel> bpp".
AnsiString DisplayLine(int32_t width, int32_t height, int32_t bitsPerPixel);
// "System   : <name> <product type>, Version: <major>.<minor>, Build: <build in hex>, "<csd>"".
AnsiString SystemVersionLine(const TOSVersionData& version);
