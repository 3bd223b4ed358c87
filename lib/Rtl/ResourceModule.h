// The module that forms and resource strings are read from: the program itself unless a
// translation module is in its place. When the program starts, this unit chooses that module the
// way the language runtime chooses it at load: a language extension from the registry, else the
// thread locale's, each as the extension of a file beside the program that loads as a data file.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "Handles.h"
#include "SysTypes.h"
#include "UnitRegistry.h"

HINSTANCE MainInstance();
// The program's main icon (its group icon "MAINICON", never a translation module's) in the image
// closest to edge pixels; the system's application icon when the program has none. Shared with
// the system: never destroyed.
HICON ProgramIcon(int edge);
// The module in use: the one owned here, else the program.
HINSTANCE ResourceInstance();
// Puts module in place and owns it from here on; the module owned before is freed. An empty
// module, or the program's own, puts the program back (the program is never freed). The module
// already in use stays as it is: freeing it would leave the resource module dangling, and a
// data-file load gives every load a handle of its own, so only the handle in use can be equal.
void SetResourceInstance(UniqueModule module);

// The preferred language extension ("DEU"): under the first of HKCU "Software\Vyn\Locales", HKLM
// "Software\Vyn\Locales" and HKCU "Software\Vyn\Runtime\Locales" that opens for reading, the
// value named by the program's full path, else the key's default value. Empty when none.
WideString RegistryResourceExtension(const WideString& programFile);
// The thread locale's three-letter language abbreviation (LOCALE_SABBREVLANGNAME); empty when
// the system gives none.
WideString ThreadLocaleAbbreviation();
// The program file with its extension (after the last dot of the file name) replaced by "." +
// extension.
WideString ResourceModuleFileName(const WideString& programFile, const WideString& extension);
// The files the choice tries, in order: the program with the registry extension (when there is
// one), with the thread locale's abbreviation, and with its first two letters.
std::vector<WideString> ResourceModuleCandidates(const WideString& programFile);

struct TResourceModuleFile {
    WideString FileName;
    UniqueModule Module;
};
// The first candidate that exists and loads as a data file, loaded; nothing when none does.
// Raises nothing of its own: a candidate that fails is passed over.
std::optional<TResourceModuleFile> LoadResourceModuleOf(const WideString& programFile);

// The program's first unit: its start puts the chosen module in place, its end frees it.
extern const TUnitInfo RtlResourceModuleUnit;
