// The runtime's assertion: a broken invariant of the program's own code raises EAssertionFailed
// "<message> (<unit>, line <line>)", the unit named by its source path without extension
// ("lib/VynLX/VynLXUtils").
#pragma once

#include "Exceptions.h"
#include "SysTypes.h"

[[noreturn]] void RaiseAssertion(const AnsiString& message, const char* unit, int line);

// For units that declare `constexpr char UnitName[]` (their source path without extension): the
// unit and the line come from the place the macro is written.
#define RTL_ASSERTION_FAILED(message) RaiseAssertion((message), UnitName, __LINE__)
#define RTL_ASSERT(condition, message)                                                                       \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            RaiseAssertion((message), UnitName, __LINE__);                                                   \
    } while (false)
