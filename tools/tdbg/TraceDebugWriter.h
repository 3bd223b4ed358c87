// Writes TDBG data, the compact debug data the program's debug-data reader answers from. Used by
// the build's producer (from a linked module's symbols and line table) and by tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TraceDebugContent {
    struct Named {
        uint32_t Start; // offset from the module's code start
        std::string Name;
    };
    struct Procedure {
        uint32_t Start;
        std::string Name;
        std::string SecondName; // empty: none (the reader shows "Name.SecondName" otherwise)
    };
    struct Line {
        uint32_t Start;
        uint32_t Number;
    };
    std::string ModuleName; // without folder and extension
    std::vector<Named> Units;
    std::vector<Named> SourceFiles;
    std::vector<Procedure> Procedures;
    std::vector<Line> Lines;
};

// The data, entries of each table in ascending order of their starts (they are sorted here), names
// packed in the shortest form that keeps them exact, with the checksum when `withChecksum`.
std::vector<uint8_t> WriteTraceDebugData(TraceDebugContent content, bool withChecksum = true);

// The stored form of one name (its first byte selects the form); exposed for tests.
std::vector<uint8_t> PackTraceDebugName(const std::string& name);
