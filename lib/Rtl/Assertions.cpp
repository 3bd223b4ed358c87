#include "Assertions.h"

#include "Format.h"

void RaiseAssertion(const AnsiString& message, const char* unit, int line) {
    throw EAssertionFailed(Format("%s (%s, line %d)", {message, unit, line}));
}
