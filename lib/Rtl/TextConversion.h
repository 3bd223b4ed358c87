// The runtime's ANSI/wide conversions. Every conversion of the program's own code goes
// through these, and the Unicode runtime replaces the routines through this hook point so that
// one program-wide code page applies.
#pragma once

#include "SysTypes.h"

using TAnsiToWideRoutine = WideString (*)(const AnsiString& text);
using TWideToAnsiRoutine = AnsiString (*)(const WideString& text);

struct TStringConversionRoutines {
    TAnsiToWideRoutine AnsiToWide = nullptr;
    TWideToAnsiRoutine WideToAnsi = nullptr;
};

WideString AnsiToWide(const AnsiString& text);
AnsiString WideToAnsi(const WideString& text);

// Installs replacements (a null member restores the built-in one); returns what was installed.
TStringConversionRoutines SetStringConversionRoutines(TStringConversionRoutines routines);

// The built-in routines: the system ANSI code page on Windows, Latin-1 elsewhere.
WideString BuiltInAnsiToWide(const AnsiString& text);
AnsiString BuiltInWideToAnsi(const WideString& text);
