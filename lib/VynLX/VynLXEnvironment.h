// What the machine and the logged-on user are, for the system information of error reports:
// administrator membership, computer and user names, locale and code-page names, the Windows
// version line; and small helpers around them: sizes in megabytes, the key state, nested busy
// cursors and lists of texts with separators.
#pragma once

#include <windows.h>

#include <cstdint>

#include "Screen.h"
#include "SysTypes.h"

// ---- The user and the machine

// True when the user is in the built-in Administrators group, whether the group is enabled in
// the token or held for deny only; always true on the 9x family, which has no accounts. The
// thread's impersonation token counts when there is one, else the process token. False when no
// token can be read.
bool IsAdministrator();
// True when the list holds the Administrators SID, whatever its attributes. The list is one the
// system gave: every entry's SID is trusted to be valid.
bool GroupsContainAdministrators(const TOKEN_GROUPS& groups);

// The NetBIOS name of the computer and the name of the logged-on user; "" when the system
// gives none.
WideString GetComputerNameText();
WideString GetUserNameText();

// ---- Locale, code page and version texts

// The locale's information of that type (LOCALE_...), "???" when the system has none.
WideString GetLocaleText(LCID locale, LCTYPE type);
// "<English language> (<English country>)", each part "???" when the system has none.
WideString GetLocaleLanguageCountry(LCID locale);

// Where GetLocaleText asks: VynGetLocaleInfoW unless replaced. Returns the query that was in
// place; null puts VynGetLocaleInfoW back. For tests of texts the machine's locales do not give.
using TLocaleInfoQuery = int (*)(LCID locale, LCTYPE type, char16_t* buffer, int capacity);
TLocaleInfoQuery SetLocaleInfoQuery(TLocaleInfoQuery query);

// The ISO character set that an ANSI code page (1250 to 1257) corresponds to, for example
// "ISO 8859-1,  Latin 1 (ANSI)"; "(Unknown ISO equivalent)" for any other code page.
WideString GetCodePageIsoName(UINT codePage);
// "Win32s", "Win9x" or "NT" for the platform identifiers 0, 1 and 2; any other in decimal.
WideString GetPlatformName(int32_t platform);
// "<platform> <major>.<minor> (Build <build>) <service pack>", for example
// "NT 5.1 (Build 2600) Service Pack 2".
WideString GetWindowsVersionText();

// ---- Small helpers

// (c * b) * a bytes in megabytes (2^20 bytes), truncated toward zero. The product is exact
// however large; a result beyond the 64-bit range is the nearest 64-bit value.
int64_t MulMulDivMB(int64_t a, int64_t b, int64_t c);

// True while the key (VK_...) is held down; a press already released does not count.
bool IsKeyDown(int virtualKey);

// Shows cursor on the screen and remembers the one it replaces; PopCursor puts the last
// remembered one back, or crDefault when none is left. Pushes and pops nest. Both raise
// EVynInternalError before the unit's start or without the screen object of the forms unit.
void PushCursor(TCursor cursor);
void PopCursor();

// The scope form of PushCursor and PopCursor: the cursor is shown for the object's lifetime.
class TCursorScope {
public:
    explicit TCursorScope(TCursor cursor) { PushCursor(cursor); }
    ~TCursorScope();
    TCursorScope(const TCursorScope&) = delete;
    TCursorScope& operator=(const TCursorScope&) = delete;
};

// Appends separator (unless text is empty) and then addition to text.
void AppendWithSeparator(WideString& text, const WideString& addition, const WideString& separator);

// The stack of PushCursor, made by the unit VynLXUtils at its start and freed at its end.
void CreateCursorStack();
void FreeCursorStack() noexcept;
