// trxbuild: the build's tool for the translation resources of every program.
//
//   trxbuild strings --out DIR DECLARATIONS...
//       numbers the resource strings of the declaration files ("<Unit>.resstr") and writes into
//       DIR the accessor headers (include/<Unit>ResStr.h), their definitions (ResourceStrings.cpp),
//       the string-table blocks, the translation flag and identifier placeholder, the resource
//       script that links them (ResourceStrings.rc) and the identifier map (IdentifierMap.drc).
//   trxbuild stamp --map MAP MODULE
//       after linking: writes the program's build identifier and adds the map as section
//       "VYN.DRC"; a module without the translation flag is left as it is.
//   trxbuild template --out SOURCE [--image FILE]
//       writes the translation-module template as a C++ byte array (and as a file).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "BuildIdentifier.h"
#include "ModuleTemplate.h"
#include "ResourceStringTable.h"

namespace {

constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

int Usage() {
    std::cerr << "usage: trxbuild strings --out DIR DECLARATIONS...\n"
                 "       trxbuild stamp --map MAP MODULE\n"
                 "       trxbuild template --out SOURCE [--image FILE]\n";
    return ExitUsage;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes;
    if (in)
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof())
        throw std::runtime_error(path + ": cannot read the file");
    return bytes;
}

// Through a temporary file and a rename, so that no half-written file is ever taken for finished.
void WriteFile(const std::string& path, const void* data, size_t size) {
    const std::string temporary = path + ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            throw std::runtime_error(path + ": cannot write the file");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::remove(temporary.c_str());
        throw std::runtime_error(path + ": cannot write the file: " + error.message());
    }
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteFile(path, bytes.data(), bytes.size());
}

void WriteFile(const std::string& path, const std::string& text) {
    WriteFile(path, text.data(), text.size());
}

int Strings(const std::vector<std::string>& args) {
    if (args.size() < 3 || args[0] != "--out")
        return Usage();
    const std::string folder = args[1];
    std::vector<TUnitResourceStrings> units;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::vector<uint8_t> contents = ReadFile(args[i]);
        units.push_back(ParseResourceStringDeclarations(
            args[i], std::string_view(reinterpret_cast<const char*>(contents.data()), contents.size())));
    }
    const std::vector<TNumberedResourceString> strings = NumberResourceStrings(units);
    const auto blocks = StringTableBlocks(strings);
    std::filesystem::create_directories(folder + "/include");
    for (const TUnitResourceStrings& unit : units)
        WriteFile(folder + "/include/" + AccessorHeaderName(unit.Unit), AccessorHeader(unit));
    WriteFile(folder + "/ResourceStrings.cpp", AccessorDefinitions(units, strings));
    for (const auto& [number, bytes] : blocks)
        WriteFile(folder + "/StringBlock" + std::to_string(number) + ".bin", bytes);
    WriteFile(folder + "/TrxFlag.bin", TranslationFlagBytes());
    WriteFile(folder + "/TrxGuid.bin", IdentifierPlaceholderBytes());
    WriteFile(folder + "/IdentifierMap.drc", IdentifierMapText(strings));
    WriteFile(folder + "/ResourceStrings.rc", ResourceScript(folder, blocks));
    return 0;
}

int Stamp(const std::vector<std::string>& args) {
    if (args.size() != 3 || args[0] != "--map")
        return Usage();
    const std::string& module = args[2];
    try {
        const std::vector<uint8_t> map = ReadFile(args[1]);
        const auto stamped = StampTranslationResources(ReadFile(module), map);
        if (stamped)
            WriteFile(module, *stamped);
        return 0;
    } catch (const std::exception& error) {
        // Left in place, the linked module would look finished to the next build.
        std::remove(module.c_str());
        std::cerr << "trxbuild: " << module << ": " << error.what() << "\n";
        return ExitFailure;
    }
}

int Template(const std::vector<std::string>& args) {
    if ((args.size() != 2 && args.size() != 4) || args[0] != "--out" ||
        (args.size() == 4 && args[2] != "--image"))
        return Usage();
    const std::vector<uint8_t> image = BuildModuleTemplate();
    WriteFile(args[1], ModuleTemplateSource(image));
    if (args.size() == 4)
        WriteFile(args[3], image);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "strings")
            return Strings(args);
        if (command == "stamp")
            return Stamp(args);
        if (command == "template")
            return Template(args);
        return Usage();
    } catch (const std::exception& error) {
        std::cerr << "trxbuild: " << error.what() << "\n";
        return ExitFailure;
    }
}
