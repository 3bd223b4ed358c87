// The procedures of a module as TDBG stores them: a start address and a name for each stretch of
// code. Inline-aware from DWARF (the innermost inlined function at each address); where DWARF
// names no function (code compiled without it), the COFF function symbol at or below.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DwarfFunctionScanner.h"

struct CodeSymbol {
    uint64_t Address = 0; // absolute, image base included
    std::string Name;     // demangled
};

struct ProcedureStart {
    uint64_t Address = 0;
    std::string Qualifier; // "ns::Class"; empty for a free function
    std::string Name;      // empty with an empty qualifier: no procedure from here on
};

// Functions and symbols outside [codeStart, codeEnd) are left out (the linker resolves the
// ranges of code it discarded to zero).
std::vector<ProcedureStart> MakeProcedureStarts(const DwarfFunctions& functions,
                                                const std::vector<CodeSymbol>& symbols, uint64_t codeStart,
                                                uint64_t codeEnd);
