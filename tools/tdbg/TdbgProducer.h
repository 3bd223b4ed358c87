// Turns what the toolchain knows of a linked module into TDBG content: the DWARF line table as
// the cross objdump decodes it (--dwarf=decodedline), and the function symbols of the module's
// COFF symbol table. Units are the compilation units, procedures the functions (qualifier and
// name), source files and lines those of the line table; offsets count from the code start
// (image base + 0x1000).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "TraceDebugWriter.h"
#include "TracePeImage.h"

struct DecodedLineRow {
    uint64_t Address = 0;
    std::string Unit; // the compilation unit's file name without folder and extension
    std::string File; // the source file, as full as objdump names it
    uint32_t Line = 0;
    bool EndOfSequence = false;
};

// A file name without folder ('/' or '\\') and extension: the name of a unit or a module.
std::string FileStem(std::string_view path);

// The rows of objdump's decoded line table, in the order printed.
std::vector<DecodedLineRow> ParseDecodedLines(std::string_view objdumpOutput);

struct CodeSymbol {
    uint64_t Address = 0; // absolute, image base included
    std::string Name;     // demangled
};

// The functions of the image's COFF symbol table, demangled (an i686 image's leading underscore
// dropped first).
std::vector<CodeSymbol> FunctionSymbols(const TTracePeImage& image);

// "Qualifier::Name(parameters) const" as ("Qualifier", "Name"); a name without qualifier as
// ("Name", "").
std::pair<std::string, std::string> SplitProcedureName(const std::string& demangled);

// The content; file names below `sourceRoot` (a folder, '/' separated) are made relative to it.
TraceDebugContent MakeTraceDebugContent(const std::string& moduleName, uint64_t codeStart,
                                        const std::vector<DecodedLineRow>& rows,
                                        const std::vector<CodeSymbol>& symbols,
                                        const std::string& sourceRoot);
