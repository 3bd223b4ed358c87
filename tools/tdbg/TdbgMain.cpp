// tdbgc: stores TDBG data in a linked module. Reads the module's DWARF (line programs, functions
// and the functions inlined into them) and its COFF function symbols, optionally strips the module
// of DWARF and symbols (through the cross objcopy), and adds the data as the section "TRACEDBG";
// can also write it to a ".tdbg" file and as a linker map file, or only those files (for a module
// that must stay as the linker made it).
//
//   tdbgc --source-root DIR [--strip-with OBJCOPY] [--tdbg FILE] [--map FILE] [--no-section] MODULE
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "DwarfFunctionScanner.h"
#include "DwarfLineTable.h"
#include "DwarfSections.h"
#include "MapFileWriter.h"
#include "PeSectionAppender.h"
#include "TdbgProducer.h"
#include "ToolCommand.h"
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

} // namespace

int main(int argc, char** argv) {
    std::string sourceRoot, objcopy, tdbgFile, mapFile, module;
    bool section = true;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::runtime_error(argument + " needs a value");
            return argv[++i];
        };
        try {
            if (argument == "--source-root")
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
    if (module.empty()) {
        std::cerr << "usage: tdbgc --source-root DIR [--strip-with OBJCOPY] [--tdbg FILE] [--map FILE] "
                     "[--no-section] MODULE\n";
        return 2;
    }
    try {
        const std::vector<uint8_t> linked = ReadFile(module);
        const auto image = TTracePeImage::Read(linked, TPeLayout::File);
        if (!image)
            throw std::runtime_error(module + " is no PE image");
        if (image->FindSection("TRACEDBG") != nullptr)
            throw std::runtime_error(module + " has TDBG data already");
        const uint64_t codeStart = image->ImageBase() + 0x1000;
        const uint64_t imageEnd = image->ImageBase() + image->SizeOfImage();
        const DwarfSections sections = FindDwarfSections(*image);
        const DwarfFunctions functions = ScanDwarfFunctions(sections);
        const std::vector<DecodedLineRow> rows = ReadDwarfLineRows(functions.Units, sections);
        const TraceDebugContent content = MakeTraceDebugContent(
            FileStem(module), codeStart, rows,
            MakeProcedureStarts(functions, FunctionSymbols(*image), codeStart, imageEnd),
            UnitRangesOfFunctions(functions), sourceRoot);
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
            CommandOutput(ShellQuoted(objcopy) + " --strip-all " + ShellQuoted(module) + " " +
                          ShellQuoted(stripped));
            base = ReadFile(stripped);
            std::remove(stripped.c_str());
            KeepLinkTimeStamp(linked, base);
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
