// Code-page state of the Unicode runtime.
#pragma once

#include <cstdint>

#include "UnitRegistry.h"

// The one code page of every ANSI/wide conversion of the program's own code; 0 is the
// system's ANSI code page.
extern uint32_t DefaultCodePage;

extern const TUnitInfo VynSystemUnit;
