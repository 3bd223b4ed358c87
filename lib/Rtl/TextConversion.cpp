#include "TextConversion.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <climits>

namespace {

TStringConversionRoutines& Installed() {
    static TStringConversionRoutines routines{BuiltInAnsiToWide, BuiltInWideToAnsi};
    return routines;
}

} // namespace

WideString AnsiToWide(const AnsiString& text) { return Installed().AnsiToWide(text); }

AnsiString WideToAnsi(const WideString& text) { return Installed().WideToAnsi(text); }

TStringConversionRoutines SetStringConversionRoutines(TStringConversionRoutines routines) {
    const TStringConversionRoutines previous = Installed();
    Installed().AnsiToWide = routines.AnsiToWide ? routines.AnsiToWide : BuiltInAnsiToWide;
    Installed().WideToAnsi = routines.WideToAnsi ? routines.WideToAnsi : BuiltInWideToAnsi;
    return previous;
}

#ifdef _WIN32

WideString BuiltInAnsiToWide(const AnsiString& text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    WideString result(static_cast<size_t>(needed), u'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(result.data()), needed);
    return result;
}

AnsiString BuiltInWideToAnsi(const WideString& text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int length = static_cast<int>(text.size());
    const auto* source = reinterpret_cast<const wchar_t*>(text.data());
    const int needed = ::WideCharToMultiByte(CP_ACP, 0, source, length, nullptr, 0, nullptr, nullptr);
    AnsiString result(static_cast<size_t>(needed), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, source, length, result.data(), needed, nullptr, nullptr);
    return result;
}

#else

WideString BuiltInAnsiToWide(const AnsiString& text) {
    WideString result;
    result.reserve(text.size());
    for (unsigned char c : text)
        result.push_back(static_cast<char16_t>(c));
    return result;
}

AnsiString BuiltInWideToAnsi(const WideString& text) {
    AnsiString result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit < 0x100) {
            result.push_back(static_cast<char>(unit));
            continue;
        }
        // One character, one '?': a surrogate pair is a single character.
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        result.push_back('?');
    }
    return result;
}

#endif
