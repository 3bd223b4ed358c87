#include "VynLXEnvironment.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "Handles.h"
#include "VynFormatStrUtils.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "VynWindows.h"
#include "WindowsVersion.h"

namespace {

constexpr char16_t SUnknownLocaleText[] = u"???";
constexpr char16_t SUnknownIsoEquivalent[] = u"(Unknown ISO equivalent)";
constexpr char16_t SWindowsVersionLine[] = u"%s %d.%d (Build %d) %s";

// ---- Administrators

// A token of the user for query: the thread's when it impersonates, else the process's.
UniqueKernelHandle OpenUserToken() {
    HANDLE token = nullptr;
    // As self: an impersonated user that may not open its own token still counts as itself.
    if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token))
        return UniqueKernelHandle(token);
    if (::GetLastError() != ERROR_NO_TOKEN)
        return {};
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return UniqueKernelHandle(token);
    return {};
}

// The token's whole group list, in storage aligned for TOKEN_GROUPS; none when it cannot be read.
std::optional<std::vector<uint64_t>> ReadTokenGroups(HANDLE token) {
    std::vector<uint64_t> storage;
    DWORD needed = 0;
    // The first round asks for the size; more rounds only when groups are added meanwhile.
    for (int round = 0; round < 8; ++round) {
        storage.assign((needed + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
        const auto capacity = static_cast<DWORD>(storage.size() * sizeof(uint64_t));
        if (::GetTokenInformation(token, TokenGroups, storage.empty() ? nullptr : storage.data(), capacity, &needed))
            return storage;
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= capacity)
            return std::nullopt;
    }
    return std::nullopt;
}

// ---- Names

// The name a GetComputerName-like call gives, up to its first zero. A name longer than the
// room first offered is asked for again with the room the system says it needs.
WideString NameFromSystem(BOOL (*query)(char16_t* buffer, DWORD* size), DWORD capacity) {
    for (int round = 0; round < 2; ++round) {
        // One unit more than offered, so the text ends in a zero whatever the call wrote.
        std::vector<char16_t> buffer(capacity + 1, 0);
        DWORD size = capacity;
        if (query(buffer.data(), &size))
            return WideString(buffer.data());
        const DWORD error = ::GetLastError();
        if ((error != ERROR_BUFFER_OVERFLOW && error != ERROR_INSUFFICIENT_BUFFER) || size <= capacity)
            return {};
        capacity = size;
    }
    return {};
}

TLocaleInfoQuery& LocaleInfoQuery() {
    static TLocaleInfoQuery query = VynGetLocaleInfoW;
    return query;
}

// ---- Sizes

// An unsigned number of six 32-bit limbs, lowest first: room for three 64-bit factors.
using TWideMagnitude = std::array<uint32_t, 6>;

uint64_t MagnitudeOf(int64_t value) {
    // Negating in unsigned arithmetic also holds the magnitude of the most negative value.
    return value < 0 ? uint64_t{0} - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
}

// number * factor, for a number whose two top limbs are zero.
TWideMagnitude Multiply(const TWideMagnitude& number, uint64_t factor) {
    const uint32_t factorLimbs[2] = {static_cast<uint32_t>(factor), static_cast<uint32_t>(factor >> 32)};
    TWideMagnitude product{};
    for (size_t j = 0; j < 2; ++j) {
        uint64_t carry = 0;
        for (size_t i = 0; i + j < product.size(); ++i) {
            // At most (2^32 - 1)^2 + 2 (2^32 - 1) = 2^64 - 1: no step overflows.
            const uint64_t step = uint64_t{number[i]} * factorLimbs[j] + product[i + j] + carry;
            product[i + j] = static_cast<uint32_t>(step);
            carry = step >> 32;
        }
    }
    return product;
}

// ---- Cursors

std::unique_ptr<std::vector<TCursor>> cursorStack;

TScreen& CheckedScreen() {
    CheckAssigned(cursorStack.get(), u"CursorStack");
    CheckAssigned(Screen, u"Screen");
    return *Screen;
}

} // namespace

// ---- The user and the machine

bool IsAdministrator() {
    if (!VynPlatformIsNT)
        return true;
    const UniqueKernelHandle token = OpenUserToken();
    if (!token)
        return false;
    const std::optional<std::vector<uint64_t>> groups = ReadTokenGroups(token.get());
    if (!groups)
        return false;
    return GroupsContainAdministrators(*reinterpret_cast<const TOKEN_GROUPS*>(groups->data()));
}

bool GroupsContainAdministrators(const TOKEN_GROUPS& groups) {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    UniqueSid administrators;
    if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                    0, 0, 0, 0, administrators.Put()))
        return false;
    // The entries follow the count; the declared array of one is only their start.
    const SID_AND_ATTRIBUTES* entries = groups.Groups;
    for (DWORD i = 0; i < groups.GroupCount; ++i) {
        if (entries[i].Sid != nullptr && ::EqualSid(administrators.get(), entries[i].Sid))
            return true;
    }
    return false;
}

WideString GetComputerNameText() {
    return NameFromSystem(VynGetComputerNameW, MAX_COMPUTERNAME_LENGTH + 1);
}

WideString GetUserNameText() {
    return NameFromSystem(VynGetUserNameW, 255);
}

// ---- Locale, code page and version texts

WideString GetLocaleText(LCID locale, LCTYPE type) {
    constexpr int capacity = 255;
    char16_t buffer[capacity] = {};
    const int length = LocaleInfoQuery()(locale, type, buffer, capacity);
    if (length <= 0)
        return SUnknownLocaleText;
    // The length counts the terminator.
    return WideString(buffer, static_cast<size_t>(std::min(length, capacity) - 1));
}

WideString GetLocaleLanguageCountry(LCID locale) {
    return GetLocaleText(locale, LOCALE_SENGLANGUAGE) + u" (" + GetLocaleText(locale, LOCALE_SENGCOUNTRY) + u")";
}

TLocaleInfoQuery SetLocaleInfoQuery(TLocaleInfoQuery query) {
    const TLocaleInfoQuery previous = LocaleInfoQuery();
    LocaleInfoQuery() = query != nullptr ? query : VynGetLocaleInfoW;
    return previous;
}

WideString GetCodePageIsoName(UINT codePage) {
    switch (codePage) {
    case 1250: return u"ISO 8859-2,  Latin 2 (Central Europe)";
    case 1251: return u"ISO 8859-5,  Cyrillic (Slavic)";
    case 1252: return u"ISO 8859-1,  Latin 1 (ANSI)";
    case 1253: return u"ISO 8859-7,  Greek";
    case 1254: return u"ISO 8859-9,  Latin 5 (Turkish)";
    case 1255: return u"ISO 8859-8,  Hebrew";
    case 1256: return u"ISO 8859-6,  Arabic";
    case 1257: return u"ISO 8859-4,  Scandinavia and Baltic Rim";
    default: return SUnknownIsoEquivalent;
    }
}

WideString GetPlatformName(int32_t platform) {
    switch (platform) {
    case VER_PLATFORM_WIN32s: return u"Win32s";
    case VER_PLATFORM_WIN32_WINDOWS: return u"Win9x";
    case VER_PLATFORM_WIN32_NT: return u"NT";
    default: return FormatWide(u"%d", {platform});
    }
}

WideString GetWindowsVersionText() {
    const TWindowsVersion& version = WindowsVersion();
    return FormatWide(SWindowsVersionLine, {GetPlatformName(version.Platform), version.MajorVersion,
                                            version.MinorVersion, version.BuildNumber, version.CSDVersion});
}

// ---- Small helpers

int64_t MulMulDivMB(int64_t a, int64_t b, int64_t c) {
    const bool negative = ((a < 0) != (b < 0)) != (c < 0);
    const TWideMagnitude product = Multiply(Multiply(TWideMagnitude{1}, MagnitudeOf(c)), MagnitudeOf(b));
    const TWideMagnitude bytes = Multiply(product, MagnitudeOf(a));
    // Shifting the magnitude truncates toward zero for either sign. Bits 20 to 83 of the product
    // make the quotient; any bit above them puts it beyond 64 bits.
    const bool beyond64Bits = (bytes[2] >> 20) != 0 || bytes[3] != 0 || bytes[4] != 0 || bytes[5] != 0;
    const uint64_t megabytes = (uint64_t{bytes[0]} >> 20) | (uint64_t{bytes[1]} << 12) |
                               (uint64_t{bytes[2] & 0xFFFFFu} << 44);
    constexpr uint64_t largestMagnitude = uint64_t{std::numeric_limits<int64_t>::max()};
    if (!negative)
        return beyond64Bits || megabytes > largestMagnitude ? std::numeric_limits<int64_t>::max()
                                                            : static_cast<int64_t>(megabytes);
    if (beyond64Bits || megabytes > largestMagnitude)
        return std::numeric_limits<int64_t>::min();
    return -static_cast<int64_t>(megabytes);
}

bool IsKeyDown(int virtualKey) {
    // Bit 15 says down now; bit 0 only that the key went down since the last query, perhaps
    // by another program, so it alone does not count.
    return static_cast<uint16_t>(::GetAsyncKeyState(virtualKey)) >= 2;
}

void PushCursor(TCursor cursor) {
    TScreen& screen = CheckedScreen();
    cursorStack->push_back(screen.Cursor());
    screen.SetCursor(cursor);
}

void PopCursor() {
    TScreen& screen = CheckedScreen();
    TCursor restored = crDefault;
    if (!cursorStack->empty()) {
        restored = cursorStack->back();
        cursorStack->pop_back();
    }
    screen.SetCursor(restored);
}

TCursorScope::~TCursorScope() {
    // Only the unit's end or the screen's going between push and pop makes this fail; a
    // destructor must not raise, and then there is no cursor left to restore.
    try {
        PopCursor();
    } catch (...) {
    }
}

void AppendWithSeparator(WideString& text, const WideString& addition, const WideString& separator) {
    if (!text.empty())
        text += separator;
    text += addition;
}

void CreateCursorStack() {
    cursorStack = std::make_unique<std::vector<TCursor>>();
}

void FreeCursorStack() noexcept {
    cursorStack.reset();
}
