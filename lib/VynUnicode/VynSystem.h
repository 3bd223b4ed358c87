// Code-page state of the Unicode runtime, resource strings as wide text, and the runtime
// conversion routines that make every ANSI/wide conversion of the program use DefaultCodePage.
#pragma once

#include <windows.h>

#include <cstdint>

#include "SysTypes.h"
#include "UnitRegistry.h"

// The one code page of every ANSI/wide conversion of the program's own code; 0 is the
// system's ANSI code page. Computed when the unit starts, restored when it ends.
extern uint32_t DefaultCodePage;

// The ANSI code page of a locale (its LOCALE_IDEFAULTANSICODEPAGE), or GetACP() when the locale
// gives no number.
uint32_t LocaleAnsiCodePage(LCID locale);
// The ANSI code page of the current keyboard layout's language.
uint32_t KeyboardCodePage();

// A resource string: the identifier is either a string-table identifier (up to 0xFFFF) or the
// address of zero-terminated bytes (ANSI text, or UTF-8 text when it starts with EF BB BF).
// Module points at the handle of the module that owns the string; null means the program.
struct TResStringRec {
    const HMODULE* Module;
    uintptr_t Identifier;
};

// The string as wide text: literal texts decoded, table strings loaded from the resource module
// of the record's module (the installed translation module for the program's own strings).
// A null record gives the empty string.
WideString LoadResStringWide(const TResStringRec* record);

// The runtime's ANSI resource-string loader (DefaultCodePage while the runtime routines are
// replaced, the system ANSI code page otherwise).
AnsiString LoadResString(const TResStringRec* record);
// The runtime's "resource string into a wide string": load, then convert. While the runtime
// routines are replaced the full wide text survives, even where the ANSI form cannot hold it.
WideString LoadResStringAsWide(const TResStringRec* record);

// Groups of runtime routines that the Unicode set-up replaces.
enum : uint32_t {
    // ANSI/wide conversions and resource-string loading, in DefaultCodePage.
    ReplaceConversionsAndResStrings = 1,
    // The conversions only; DefaultCodePage becomes 0.
    ReplaceConversionsSystemCodePage = 2,
    // The framework's wide formatting becomes FormatWide.
    ReplaceWideFormatting = 8,
};

// Replaces the runtime routines of the groups; a routine already replaced is left alone.
void ReplaceRuntimeRoutines(uint32_t groups);
// Puts back every replaced routine, in the reverse order of replacement.
void RestoreRuntimeRoutines();
bool RuntimeRoutinesReplaced();

extern const TUnitInfo VynSystemUnit;
