// trxtool: the translator's console tool (see TrxToolCommands.h for the .po file it writes).
//
//   trxtool create <program> <language>          makes <program>'s module for the language
//                                                 ("DEU" or "0x0407") and prints its name
//   trxtool update <program> <module>            rebuilds the module for the program's build
//   trxtool export <program> <module> <po>       writes the module's texts as a .po file
//   trxtool import <program> <module> <po>       reads them back into the module
//
// Exit codes: 0 done; 1 import refused (the reasons on stderr, the module unchanged); 2 any other
// failure (its message on stderr) or a wrong command line (the usage on stderr).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Application.h"
#include "Exceptions.h"
#include "TextConversion.h"
#include "TrxToolCommands.h"
#include "UnitRegistry.h"
#include "VynClasses.h"
#include "VynForms.h"
#include "VynLXDataSet.h"
#include "VynLXFlashMsg.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxDfmUtils.h"
#include "VynTrxLangs.h"
#include "VynTrxUtils.h"
#include "VynWindows.h"

namespace {

constexpr char Usage[] =
    "usage: trxtool create <program> <language>\n"
    "       trxtool update <program> <module>\n"
    "       trxtool export <program> <module> <po file>\n"
    "       trxtool import <program> <module> <po file>\n"
    "<language> is a module extension (DEU) or a hexadecimal language identifier (0x0407).\n";

void PrintLine(std::FILE* stream, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
}

int Run(const std::vector<WideString>& args) {
    const auto is = [&](const char16_t* command, size_t operands) {
        return args.size() == operands + 1 && args[0] == command;
    };
    if (is(u"create", 2)) {
        PrintLine(stdout, WideToAnsi(CreateModuleCommand(args[1], ParseLanguageArgument(args[2]))));
        return 0;
    }
    if (is(u"update", 2)) {
        UpdateModuleCommand(args[1], args[2]);
        return 0;
    }
    if (is(u"export", 3)) {
        ExportCommand(args[1], args[2], args[3]);
        return 0;
    }
    if (is(u"import", 3)) {
        TToolReport report;
        const int result = ImportCommand(args[1], args[2], args[3], report);
        for (const std::string& line : report.Out)
            PrintLine(stdout, line);
        for (const std::string& line : report.Err)
            PrintLine(stderr, line);
        return result;
    }
    std::fputs(Usage, stderr);
    return 2;
}

} // namespace

int main() {
    try {
        const TUnitStartup units{&VynSystemUnit,   &VynWindowsUnit,    &VynSysUtilsUnit,  &RtlFormsUnit,
                                 &VynFormsUnit,    &VynLXFlashMsgUnit, &VynLXDataSetUnit, &VynTrxDfmUtilsUnit,
                                 &VynTrxUtilsUnit, &VynTrxLangsUnit};
        SetUpUnicodeEnvironment();
        // The runtime's reading of the wide command line; no command takes more than four.
        std::vector<WideString> args;
        for (WideString arg;
             args.size() < 5 && !(arg = ParamStrWide(static_cast<int>(args.size()) + 1)).empty();)
            args.push_back(arg);
        const int result = Run(args);
        std::fflush(stdout);
        return result;
    } catch (const std::exception& error) {
        std::fflush(stdout);
        PrintLine(stderr, error.what());
        return 2;
    } catch (...) {
        std::fflush(stdout);
        PrintLine(stderr, "trxtool failed with an exception of no known kind");
        return 2;
    }
}
