#include "ResourceModule.h"

#include <algorithm>
#include <utility>

#include "WinText.h"

namespace {

// The translation module in use; empty while the program is its own resource module.
UniqueModule& OwnedResourceModule() {
    static UniqueModule owned;
    return owned;
}

int UnitStarts = 0;

// A string value of the key; nothing when absent, of another type or empty. The value may change
// between asking its size and reading it: then ask again.
std::optional<WideString> ReadStringValue(HKEY key, const char16_t* name) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(key, name ? WinText(name) : nullptr, nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        // One unit more than asked for, so the text ends in a zero even when the stored one does not.
        WideString text(size / sizeof(char16_t) + 1, u'\0');
        DWORD read = size;
        const LONG result = ::RegQueryValueExW(key, name ? WinText(name) : nullptr, nullptr, &type,
                                               reinterpret_cast<BYTE*>(text.data()), &read);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        text.resize(std::min<size_t>(read / sizeof(char16_t), text.size()));
        const size_t end = text.find(u'\0');
        if (end != WideString::npos)
            text.resize(end);
        if (text.empty())
            return std::nullopt;
        return text;
    }
    return std::nullopt;
}

bool IsExistingFile(const WideString& fileName) {
    const DWORD attributes = ::GetFileAttributesW(WinText(fileName));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

WideString ProgramFileName() {
    WideString name(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, WinBuffer(name.data()), static_cast<DWORD>(name.size()));
        if (length == 0)
            return {};
        // A name that fills the buffer may have been cut.
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        name.resize(name.size() * 2);
    }
}

void StartResourceModule() {
    if (UnitStarts++ > 0)
        return;
    const WideString programFile = ProgramFileName();
    if (programFile.empty())
        return;
    if (std::optional<TResourceModuleFile> chosen = LoadResourceModuleOf(programFile))
        SetResourceInstance(std::move(chosen->Module));
}

void EndResourceModule() {
    if (UnitStarts > 0 && --UnitStarts == 0)
        SetResourceInstance(UniqueModule());
}

} // namespace

HINSTANCE MainInstance() {
    return ::GetModuleHandleW(nullptr);
}

HICON ProgramIcon(int edge) {
    // LR_SHARED: the system keeps one copy per size and frees it with the module, so the handle
    // has no owner here.
    if (HANDLE icon = ::LoadImageW(MainInstance(), L"MAINICON", IMAGE_ICON, edge, edge, LR_SHARED))
        return static_cast<HICON>(icon);
    return ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
}

HINSTANCE ResourceInstance() {
    const UniqueModule& owned = OwnedResourceModule();
    return owned ? owned.get() : MainInstance();
}

void SetResourceInstance(UniqueModule module) {
    UniqueModule& owned = OwnedResourceModule();
    if (module.get() == MainInstance()) {
        static_cast<void>(module.release()); // the program's handle is no counted reference
        owned.reset();
    } else if (module && module.get() == owned.get()) {
        static_cast<void>(module.release()); // owned already
    } else {
        owned = std::move(module);
    }
}

WideString RegistryResourceExtension(const WideString& programFile) {
    static const struct {
        HKEY Root;
        const char16_t* Path;
    } keys[] = {{HKEY_CURRENT_USER, u"Software\\Vyn\\Locales"},
                {HKEY_LOCAL_MACHINE, u"Software\\Vyn\\Locales"},
                {HKEY_CURRENT_USER, u"Software\\Vyn\\Runtime\\Locales"}};
    for (const auto& [root, path] : keys) {
        UniqueRegKey key;
        if (::RegOpenKeyExW(root, WinText(path), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
            continue;
        // The first key that opens decides, whether or not it holds a value.
        if (std::optional<WideString> named = ReadStringValue(key.get(), programFile.c_str()))
            return *named;
        return ReadStringValue(key.get(), nullptr).value_or(WideString());
    }
    return {};
}

WideString ThreadLocaleAbbreviation() {
    WCHAR buffer[16] = {};
    const int length = ::GetLocaleInfoW(::GetThreadLocale(), LOCALE_SABBREVLANGNAME, buffer, 16);
    if (length <= 1)
        return {};
    return WideString(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(length - 1));
}

WideString ResourceModuleFileName(const WideString& programFile, const WideString& extension) {
    const size_t nameStart = programFile.find_last_of(u"\\/:");
    const size_t dot = programFile.rfind(u'.');
    const bool hasExtension = dot != WideString::npos && (nameStart == WideString::npos || dot > nameStart);
    return (hasExtension ? programFile.substr(0, dot) : programFile) + u"." + extension;
}

std::vector<WideString> ResourceModuleCandidates(const WideString& programFile) {
    std::vector<WideString> candidates;
    const WideString preferred = RegistryResourceExtension(programFile);
    if (!preferred.empty())
        candidates.push_back(ResourceModuleFileName(programFile, preferred));
    const WideString abbreviation = ThreadLocaleAbbreviation();
    if (!abbreviation.empty()) {
        candidates.push_back(ResourceModuleFileName(programFile, abbreviation));
        if (abbreviation.size() > 2)
            candidates.push_back(ResourceModuleFileName(programFile, abbreviation.substr(0, 2)));
    }
    return candidates;
}

std::optional<TResourceModuleFile> LoadResourceModuleOf(const WideString& programFile) {
    for (WideString& candidate : ResourceModuleCandidates(programFile)) {
        if (!IsExistingFile(candidate))
            continue;
        UniqueModule module(::LoadLibraryExW(WinText(candidate), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (module)
            return TResourceModuleFile{std::move(candidate), std::move(module)};
    }
    return std::nullopt;
}

const TUnitInfo RtlResourceModuleUnit{"lib/Rtl/ResourceModule", StartResourceModule, EndResourceModule};
