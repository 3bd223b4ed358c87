// Writes the content of TDBG data as a linker map file of the layout the map reader parses: the
// code as segment 1, one detailed segment per unit, the procedures as publics (by name and by
// value), and a line-number block for each run of lines of one unit and source file.
#pragma once

#include <string>

#include "TraceDebugWriter.h"

// Map names end at a blank: blanks in names are written as '_'. The reader also ends a name at
// '(', so a name such as "Functor.operator()" reads back as "Functor.operator".
std::string WriteMapFile(const TraceDebugContent& content);
