#include "VynSystem.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "ResourceModule.h"
#include "TextConversion.h"
#include "VynClasses.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtils.h"
#include "VynWindows.h"

uint32_t DefaultCodePage = 0;

namespace {

uint32_t keptDefaultCodePage = 0;

// The last resource string loaded for a wide conversion on this thread: its wide text, its ANSI
// form, and the address of that form's bytes (null when the form is empty or nothing is cached).
struct TResStringCache {
    WideString Wide;
    AnsiString Ansi;
    const char* Address = nullptr;

    void Clear() {
        Wide.clear();
        Ansi.clear();
        Address = nullptr;
    }
};

TResStringCache& ThreadResStringCache() {
    thread_local TResStringCache cache;
    return cache;
}

// What is replaced, so that restoring undoes exactly that, in reverse.
struct TReplacedRoutines {
    bool Conversions = false;
    TStringConversionRoutines PreviousConversions;
    bool ResStrings = false;
    bool WideFormatting = false;
    TWideFormatRoutine PreviousWideFormatting = nullptr;
};

TReplacedRoutines& Replaced() {
    static TReplacedRoutines replaced;
    return replaced;
}

// Texts below this size convert through a local buffer: one system call instead of two.
constexpr size_t ShortTextLimit = 2046;

WideString AnsiToWideInDefaultCodePage(const AnsiString& text) {
    TResStringCache& cache = ThreadResStringCache();
    if (cache.Address != nullptr && text.data() == cache.Address && text.size() == cache.Ansi.size() &&
        std::memcmp(text.data(), cache.Ansi.data(), text.size()) == 0) {
        WideString wide = std::move(cache.Wide);
        cache.Clear();
        return wide;
    }
    if (text.empty() || text.size() > INT_MAX - 1)
        return {};
    const int length = static_cast<int>(text.size());
    if (text.size() < ShortTextLimit) {
        WCHAR buffer[2047];
        const int converted = ::MultiByteToWideChar(DefaultCodePage, 0, text.data(), length, buffer, 2047);
        if (converted > 0)
            return WideString(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(converted));
    }
    WideString result(text.size() + 1, u'\0');
    const int converted = ::MultiByteToWideChar(DefaultCodePage, 0, text.data(), length,
                                                reinterpret_cast<WCHAR*>(result.data()), length + 1);
    if (converted <= 0)
        return {};
    result.resize(static_cast<size_t>(converted));
    return result;
}

AnsiString WideToAnsiInDefaultCodePage(const WideString& text) {
    if (text.empty() || text.size() > INT_MAX / 2 - 2)
        return {};
    const int length = static_cast<int>(text.size());
    const auto* source = reinterpret_cast<const WCHAR*>(text.data());
    if (text.size() < ShortTextLimit) {
        char buffer[4095];
        const int converted =
            ::WideCharToMultiByte(DefaultCodePage, 0, source, length, buffer, sizeof buffer, nullptr, nullptr);
        if (converted > 0)
            return AnsiString(buffer, static_cast<size_t>(converted));
    }
    // Measured: two bytes per unit hold the double-byte code pages, but not UTF-8 or UTF-7.
    const int capacity = ::WideCharToMultiByte(DefaultCodePage, 0, source, length, nullptr, 0, nullptr, nullptr);
    if (capacity <= 0)
        return {};
    AnsiString result(static_cast<size_t>(capacity), '\0');
    const int converted =
        ::WideCharToMultiByte(DefaultCodePage, 0, source, length, result.data(), capacity, nullptr, nullptr);
    if (converted <= 0)
        return {};
    result.resize(static_cast<size_t>(converted));
    return result;
}

// Computed once at start: CP_THREAD_ACP where the system has it (NT 5 and later), else the
// thread locale's ANSI code page.
uint32_t InitialDefaultCodePage() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion > 4)
        return CP_THREAD_ACP;
    return LocaleAnsiCodePage(::GetThreadLocale());
}

void StartVynSystem() {
    DefaultCodePage = InitialDefaultCodePage();
    keptDefaultCodePage = DefaultCodePage;
    ReplaceRuntimeRoutines(ReplaceConversionsAndResStrings);
}

void EndVynSystem() {
    RestoreRuntimeRoutines();
    DefaultCodePage = keptDefaultCodePage;
    ThreadResStringCache().Clear();
}

} // namespace

const TUnitInfo VynSystemUnit{"lib/VynUnicode/VynSystem", StartVynSystem, EndVynSystem};

uint32_t LocaleAnsiCodePage(LCID locale) {
    char text[6] = {};
    const int length = ::GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, text, sizeof text);
    uint32_t codePage = 0;
    // The length counts the terminator; a text without digits, or with anything else, is no number.
    if (length < 2)
        return ::GetACP();
    for (int i = 0; i < length - 1; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return ::GetACP();
        codePage = codePage * 10 + static_cast<uint32_t>(text[i] - '0');
    }
    return codePage;
}

uint32_t KeyboardCodePage() {
    const auto layout = reinterpret_cast<uintptr_t>(::GetKeyboardLayout(0));
    return LocaleAnsiCodePage(static_cast<LCID>(layout & 0xFFFF));
}

WideString LoadResStringWide(const TResStringRec* record) {
    if (record == nullptr)
        return {};
    if (record->Identifier > 0xFFFF) {
        const char* bytes = reinterpret_cast<const char*>(record->Identifier);
        const AnsiString text(bytes);
        if (text.size() > 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            return AnsiToWideCP(text.substr(3), CP_UTF8);
        return AnsiToWideCP(text, DefaultCodePage);
    }
    HMODULE module = record->Module != nullptr ? *record->Module : nullptr;
    // The program's own strings come from its resource module, so a translation takes part.
    if (module == nullptr || module == MainInstance())
        module = ResourceInstance();
    char16_t buffer[4097];
    const int length = VynLoadStringW(module, static_cast<UINT>(record->Identifier), buffer, 4097);
    if (length <= 0)
        return {};
    return WideString(buffer, static_cast<size_t>(std::min(length, 4096)));
}

AnsiString LoadResString(const TResStringRec* record) {
    if (Replaced().ResStrings)
        return WideToAnsiCP(LoadResStringWide(record), DefaultCodePage);
    return WideToAnsi(LoadResStringWide(record));
}

WideString LoadResStringAsWide(const TResStringRec* record) {
    TResStringCache& cache = ThreadResStringCache();
    if (!Replaced().ResStrings)
        return AnsiToWide(LoadResString(record));
    cache.Wide = LoadResStringWide(record);
    cache.Ansi = WideToAnsiCP(cache.Wide, DefaultCodePage);
    cache.Address = cache.Ansi.empty() ? nullptr : cache.Ansi.data();
    // The conversion recognises the cached form by its address and hands back the wide text.
    const AnsiString& ansi = cache.Ansi;
    WideString wide = AnsiToWide(ansi);
    cache.Clear();
    return wide;
}

void ReplaceRuntimeRoutines(uint32_t groups) {
    TReplacedRoutines& replaced = Replaced();
    if ((groups & (ReplaceConversionsAndResStrings | ReplaceConversionsSystemCodePage)) != 0 &&
        !replaced.Conversions) {
        replaced.PreviousConversions =
            SetStringConversionRoutines({AnsiToWideInDefaultCodePage, WideToAnsiInDefaultCodePage});
        replaced.Conversions = true;
    }
    if ((groups & ReplaceConversionsAndResStrings) != 0)
        replaced.ResStrings = true;
    if ((groups & ReplaceConversionsSystemCodePage) != 0)
        DefaultCodePage = CP_ACP;
    if ((groups & ReplaceWideFormatting) != 0 && !replaced.WideFormatting) {
        replaced.PreviousWideFormatting = SetWideFormatRoutine(FormatWideRoutine);
        replaced.WideFormatting = true;
    }
}

void RestoreRuntimeRoutines() {
    TReplacedRoutines& replaced = Replaced();
    if (replaced.WideFormatting) {
        SetWideFormatRoutine(replaced.PreviousWideFormatting);
        replaced.WideFormatting = false;
    }
    replaced.ResStrings = false;
    ThreadResStringCache().Clear();
    if (replaced.Conversions) {
        SetStringConversionRoutines(replaced.PreviousConversions);
        replaced.Conversions = false;
    }
}

bool RuntimeRoutinesReplaced() { return Replaced().Conversions || Replaced().WideFormatting; }
