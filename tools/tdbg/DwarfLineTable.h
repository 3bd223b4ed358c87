// The rows of every unit's line program in .debug_line (DWARF 2 to 5), with file names made full
// as DWARF composes them (the unit's compilation folder, the file's directory, the file name):
// what `objdump --dwarf=decodedline` prints, read directly.
#pragma once

#include <vector>

#include "DwarfFunctionScanner.h"
#include "DwarfSections.h"
#include "TdbgProducer.h"

// Rows per unit in the order of the units and of each program. Raises EDwarfFormatError naming
// .debug_line (or the string section of a file name) for a malformed program.
std::vector<DecodedLineRow> ReadDwarfLineRows(const std::vector<DwarfUnitSummary>& units,
                                              const DwarfSections& sections);
