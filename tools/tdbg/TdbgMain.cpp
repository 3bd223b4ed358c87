// tdbgc: stores TDBG data in a linked module. Reads the module's line table (through the cross
// objdump) and function symbols, optionally strips the module of DWARF and symbols (through the
// cross objcopy), and adds the data as the section "TRACEDBG"; can also write it to a ".tdbg" file
// and as a linker map file, or only those files (for a module that must stay as the linker made it).
//
//   tdbgc --objdump PATH --source-root DIR [--strip-with OBJCOPY] [--tdbg FILE] [--map FILE]
//         [--no-section] MODULE
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "MapFileWriter.h"
#include "PeSectionAppender.h"
#include "TdbgProducer.h"
#include "TraceDebugWriter.h"
#include "TracePeImage.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

std::string Quoted(const std::string& text) {
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

} // namespace

int main(int argc, char** argv) {
    std::string objdump, sourceRoot, objcopy, tdbgFile, mapFile, module;
    bool section = true;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(argument + " needs a value");
            return argv[++i];
        };
        try {
            if (argument == "--objdump")
                objdump = value();
            else if (argument == "--source-root")
                sourceRoot = value();
            else if (argument == "--strip-with")
                objcopy = value();
            else if (argument == "--tdbg")
                tdbgFile = value();
            else if (argument == "--map")
                mapFile = value();
            else if (argument == "--no-section")
                section = false;
            else
                module = argument;
        } catch (const std::exception& error) {
            std::cerr << "tdbgc: " << error.what() << "\n";
            return 2;
        }
    }
    if (objdump.empty() || module.empty()) {
        std::cerr << "usage: tdbgc --objdump PATH --source-root DIR [--strip-with OBJCOPY] [--tdbg FILE] "
                     "[--map FILE] [--no-section] MODULE\n";
        return 2;
    }
    try {
        const std::vector<uint8_t> linked = ReadFile(module);
        const auto image = TTracePeImage::Read(linked, TPeLayout::File);
        if (!image)
            throw std::runtime_error(module + " is no PE image");
        if (image->FindSection("TRACEDBG") != nullptr)
            throw std::runtime_error(module + " has TDBG data already");
        const std::vector<DecodedLineRow> rows =
            ParseDecodedLines(CommandOutput(Quoted(objdump) + " --dwarf=decodedline " + Quoted(module)));
        const TraceDebugContent content = MakeTraceDebugContent(FileStem(module), image->ImageBase() + 0x1000,
                                                                rows, FunctionSymbols(*image), sourceRoot);
        const std::vector<uint8_t> data = WriteTraceDebugData(content);
        if (!tdbgFile.empty())
            WriteFile(tdbgFile, data);
        if (!mapFile.empty()) {
            const std::string map = WriteMapFile(content);
            WriteFile(mapFile, std::vector<uint8_t>(map.begin(), map.end()));
        }
        if (!section) {
            if (!objcopy.empty())
                throw std::runtime_error("--strip-with would leave the module without any debug data");
            std::cout << "tdbgc: " << module << ": " << content.Units.size() << " units, "
                      << content.Procedures.size() << " procedures, " << content.Lines.size()
                      << " lines; debug files only\n";
            return 0;
        }
        std::vector<uint8_t> base = linked;
        if (!objcopy.empty()) {
            const std::string stripped = module + ".stripped";
            CommandOutput(Quoted(objcopy) + " --strip-all " + Quoted(module) + " " + Quoted(stripped));
            base = ReadFile(stripped);
            std::remove(stripped.c_str());
        }
        WriteFile(module, AppendPeSection(base, "TRACEDBG", data));
        std::cout << "tdbgc: " << module << ": " << content.Units.size() << " units, "
                  << content.Procedures.size() << " procedures, " << content.Lines.size()
                  << " lines; TRACEDBG " << data.size() << " bytes\n";
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "tdbgc: " << module << ": " << error.what() << "\n";
        return 1;
    }
}
