// Running a toolchain program (objdump, objcopy, addr2line) from the build's host tools.
#pragma once

#include <string>

// The text quoted for the shell.
std::string ShellQuoted(const std::string& text);

// What the command writes to its standard output; throws std::runtime_error naming the command
// when it cannot run or ends with a failure.
std::string CommandOutput(const std::string& command);
