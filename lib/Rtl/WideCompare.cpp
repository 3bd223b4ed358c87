#include "WideCompare.h"

#include <algorithm>
#include <climits>

#include "Exceptions.h"

#ifdef _WIN32

#include <windows.h>

#include "OSError.h"
#include "TextConversion.h"
#include "WinText.h"

int CompareWideText(const WideString& a, const WideString& b, bool caseSensitive) {
    if (a.size() > INT_MAX || b.size() > INT_MAX)
        throw EInvalidOperation("Internal Error: text too long to compare");
    const DWORD flags = caseSensitive ? 0 : NORM_IGNORECASE;
    ::SetLastError(0);
    int result = ::CompareStringW(LOCALE_USER_DEFAULT, flags, WinText(a), static_cast<int>(a.size()),
                                  WinText(b), static_cast<int>(b.size()));
    // Only a failed call is asked for its error: a successful one may leave any last error behind.
    if (result == 0) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_CALL_NOT_IMPLEMENTED)
            RaiseOSError(error, "CompareStringW");
        const AnsiString ansiA = WideToAnsi(a);
        const AnsiString ansiB = WideToAnsi(b);
        if (ansiA.size() > INT_MAX || ansiB.size() > INT_MAX)
            throw EInvalidOperation("Internal Error: text too long to compare");
        result = ::CompareStringA(LOCALE_USER_DEFAULT, flags, ansiA.data(), static_cast<int>(ansiA.size()),
                                  ansiB.data(), static_cast<int>(ansiB.size()));
        if (result == 0)
            RaiseLastOSError("CompareStringA");
    }
    return result - 2;
}

#else // not _WIN32

namespace {

// Lower case for the letters of the Latin, Greek and Cyrillic blocks; the order of comparison
// natively is that of the folded code units.
char16_t FoldCase(char16_t unit) {
    if ((unit >= u'A' && unit <= u'Z') || (unit >= 0xC0 && unit <= 0xDE && unit != 0xD7) ||
        (unit >= 0x391 && unit <= 0x3A9 && unit != 0x3A2) || (unit >= 0x410 && unit <= 0x42F))
        return static_cast<char16_t>(unit + 0x20);
    if (unit >= 0x400 && unit <= 0x40F)
        return static_cast<char16_t>(unit + 0x50);
    if (((unit >= 0x100 && unit <= 0x137) || (unit >= 0x14A && unit <= 0x177)) && unit % 2 == 0)
        return static_cast<char16_t>(unit + 1);
    return unit;
}

} // namespace

int CompareWideText(const WideString& a, const WideString& b, bool caseSensitive) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const char16_t x = FoldCase(a[i]), y = FoldCase(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    if (caseSensitive)
        // Equal but for case: the lower-case form first, as the system's comparison does.
        for (size_t i = 0; i < common; ++i)
            if (a[i] != b[i])
                return a[i] == FoldCase(a[i]) ? -1 : 1;
    return 0;
}

#endif // _WIN32
