// The start-up of a translated program: the Unicode environment, then the check of the
// translation module the program was started with against the running build (kept, replaced by
// the program itself when it is unprepared, or rebuilt for this build). Listed after the other
// translation units and before the program's own.
#pragma once

#include "UnitRegistry.h"

// The check alone, for a program whose environment is set up: runs its steps against the
// resource module in use. Never raises for a module it cannot use: the user is told and the
// program runs untranslated.
void CheckResourceModule();

extern const TUnitInfo VynTrxStartupUnit;
