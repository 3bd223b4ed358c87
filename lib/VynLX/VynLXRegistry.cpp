#include "VynLXRegistry.h"

#include "TextConversion.h"
#include "VynSysUtils.h"
#include "WinText.h"

WideString TVynRegistry::ReadStringWide(const WideString& name) const {
    if (!VynPlatformIsNT)
        return AnsiToWide(ReadString(WideToAnsi(name)));
    const HKEY key = CurrentKey();
    if (key == nullptr)
        return WideString();
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExW(key, WinText(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return WideString();
    const auto subject = [&] { return AnsiToWide(CurrentPath()) + u"\\" + name; };
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        RaiseRegistryError(SInvalidRegType, WideToAnsi(name), "RegQueryValueExW", subject());
    // Room for an odd last byte and for a terminator the stored text may lack.
    WideString text(size / 2 + 2, u'\0');
    DWORD read = size;
    if (::RegQueryValueExW(key, WinText(name), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &read) !=
        ERROR_SUCCESS)
        RaiseRegistryError(SRegGetDataFailed, WideToAnsi(name), "RegQueryValueExW", subject());
    const size_t end = text.find(u'\0');
    if (end != WideString::npos)
        text.resize(end);
    return text;
}
