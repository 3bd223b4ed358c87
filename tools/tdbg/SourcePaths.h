// Source file names as the debug data stores them: "." and ".." segments resolved, and relative to
// the source tree when they lie inside it ("lib/VynLX/VynLXUtils.cpp"); others stay absolute.
#pragma once

#include <string>
#include <string_view>

std::string SourcePathForReport(std::string_view path, std::string_view sourceRoot);

// `name` below `folder` unless it is absolute itself.
std::string JoinPath(std::string_view folder, std::string_view name);
