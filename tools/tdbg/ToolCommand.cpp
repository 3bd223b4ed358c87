#include "ToolCommand.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string CommandOutput(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), &::pclose);
    if (!pipe)
        throw std::runtime_error("cannot run " + command);
    std::string output;
    char buffer[65536];
    size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        output.append(buffer, read);
    if (::pclose(pipe.release()) != 0)
        throw std::runtime_error("failed: " + command);
    return output;
}
