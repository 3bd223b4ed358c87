// The framework's comparison of wide text: the system's linguistic order in the user's locale
// (CompareStringW), so sorted lists and searches agree with what the user sees elsewhere.
#pragma once

#include "SysTypes.h"

// Negative, 0 or positive as a sorts before, with or after b; without regard to case unless
// caseSensitive. Where the system has no wide comparison (the 9x family) both texts are
// compared as ANSI text converted by the runtime's WideToAnsi (DefaultCodePage once the Unicode
// runtime runs). Other failures of the system raise EOSError; texts longer than the system can
// take raise EInvalidOperation "Internal Error: text too long to compare". Natively (no Windows)
// the order is that of the code units with Latin, Greek and Cyrillic letters folded to lower
// case, and of texts equal but for case, the lower-case form first.
int CompareWideText(const WideString& a, const WideString& b, bool caseSensitive);
