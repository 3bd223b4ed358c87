// The error report's list of loaded modules, from a list of modules however it was taken.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "SysTypes.h"

struct TReportModuleVersion {
    // Major, minor, release and build of the fixed version record's file version.
    std::array<uint16_t, 4> FileVersion{};
    // The "FileVersion" and "FileDescription" strings; "" where the file has none.
    AnsiString FileVersionText;
    AnsiString FileDescription;
};

struct TReportModule {
    uint64_t Base = 0;
    AnsiString Path;
    // The image base the module's file asks for; none when the file could not be read, which
    // counts as loaded where it asked to be.
    std::optional<uint64_t> PreferredBase;
    // None when the file has no version information.
    std::optional<TReportModuleVersion> Version;
};

// "List of loaded modules:", then for each module in ascending order of base address (modules
// at the same base keep their order) "[base] path" and its version line(s):
//   11 blanks, or "<preferred base> " when the module is not loaded there, then either
//   "a.b.c.d - <FileVersion>" (and 11 blanks + the description when there is one) or
//   "(no version info)".
// Addresses have 8 upper-case digits at least, more where the address needs them.
std::vector<AnsiString> ModuleReportLines(std::vector<TReportModule> modules);
