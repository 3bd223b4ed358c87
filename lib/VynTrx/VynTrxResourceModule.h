// The resource module of the running application: which one is in use, putting another in its
// place, the file it was loaded from, and the warning that a translation's characters may not
// show on a system without Unicode.
#pragma once

#include <windows.h>

#include <optional>

#include "SysTypes.h"

// The module forms and resource strings are read from: the application itself unless a
// translation module is in use.
HMODULE CurrentResourceModule();
// Puts module in place of the one in use, which is freed unless it is the application itself.
// The resource module owns module from here on. Handing in the module in use changes nothing.
void SetResourceModule(HMODULE module);

// The file of the resource module in use, found again as the language runtime found it: the
// application file (its long path name) while the application is its own resource module, else
// the first of ResourceModuleCandidates (lib/Rtl/ResourceModule.h) that exists and loads as a
// data file. Raises EVynInternalError "Internal Error: Can not determine resource module." when
// none does.
WideString DetermineResourceModule();
// The same for another application file.
WideString DetermineResourceModule(const WideString& applicationFile);

// The warning due for a translation into the language, or nothing: only on a platform without
// Unicode, and only when the language's locale has an ANSI code page other than the system's.
std::optional<WideString> LocaleCodePageWarning(LANGID language);
// Shows that warning, when one is due, in the message box (OK only).
void WarnLocaleCodePage(LANGID language);
