// The error report's list of the process's loaded modules, read from the running process.
#pragma once

#include <optional>
#include <vector>

#include "SysTypes.h"
#include "TraceModuleLines.h"

// The image base written in the file on disk; the loader may have rewritten the header of the
// mapped image, so that cannot say where the module asked to be. None when the file cannot be
// read as an image.
std::optional<uint64_t> PreferredImageBase(const WideString& path);

// Every module of the process with its file's preferred base and version information; none when
// the process's module list cannot be taken.
std::optional<std::vector<TReportModule>> ReadProcessReportModules();

// The modules section's lines (ModuleReportLines); none when the list cannot be taken, so that
// the section is left out.
std::optional<std::vector<AnsiString>> ModulesSectionLines();
