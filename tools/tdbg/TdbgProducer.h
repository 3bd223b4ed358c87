// Turns what the toolchain knows of a linked module into TDBG content: the rows of its DWARF line
// programs (DwarfLineTable.h) and the procedures (ProcedureStarts.h).
// Units are the compilation units, source files and lines those of the line table; offsets count
// from the code start (image base + 0x1000).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FunctionNames.h"
#include "ProcedureStarts.h"
#include "TraceDebugWriter.h"
#include "TracePeImage.h"

struct DecodedLineRow {
    uint64_t Address = 0;
    std::string Unit; // the compilation unit's file name without folder and extension
    std::string File; // the source file, as full as DWARF names it
    uint32_t Line = 0;
    bool EndOfSequence = false;
};

// A file name without folder ('/' or '\\') and extension: the name of a unit or a module.
std::string FileStem(std::string_view path);

// The functions of the image's COFF symbol table, demangled (an i686 image's leading underscore
// dropped first).
std::vector<CodeSymbol> FunctionSymbols(const TTracePeImage& image);

// A stretch of code and the unit it belongs to.
struct UnitRange {
    uint64_t Low = 0;
    uint64_t High = 0;
    std::string Unit;
};

// The code ranges of the functions DWARF describes, each with its unit's name.
std::vector<UnitRange> UnitRangesOfFunctions(const DwarfFunctions& functions);

// The content; `functionUnits` gives the unit of code the line table leaves out (the ranges of
// the functions of each unit). File names below `sourceRoot` (a folder, '/' separated) are made relative to
// it.
TraceDebugContent MakeTraceDebugContent(const std::string& moduleName, uint64_t codeStart,
                                        const std::vector<DecodedLineRow>& rows,
                                        const std::vector<ProcedureStart>& procedures,
                                        const std::vector<UnitRange>& functionUnits,
                                        const std::string& sourceRoot);
