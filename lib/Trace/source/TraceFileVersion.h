// The version information of a module's file, as the error report shows it.
#pragma once

#include <cstdint>
#include <optional>

#include "SysTypes.h"
#include "TraceModuleLines.h"

// The fixed record's file version with the "FileVersion" and "FileDescription" strings of the
// file's first translation; none when the file has no version information (or no fixed record).
std::optional<TReportModuleVersion> ReadReportModuleVersion(const WideString& path);
// The upper 32 bits of the fixed record's product version (major * 65536 + minor); 0 when the
// file has none.
uint32_t ReadProductVersionMajorMinor(const WideString& path);
