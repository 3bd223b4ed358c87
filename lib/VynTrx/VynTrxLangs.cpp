#include "VynTrxLangs.h"

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "Assertions.h"
#include "ResourceModule.h"
#include "VynClasses.h"
#include "VynLXUtils.h"
#include "VynLXVerUtils.h"
#include "VynSysUtils.h"
#include "WideCompare.h"

namespace {

constexpr char UnitName[] = "lib/VynTrx/VynTrxLangs";

int UnitStarts = 0;
std::unique_ptr<TVynTrxLangs> Langs;

// The enumeration's callback has no parameter of the caller's: the locales it collects go
// through the enumerating thread's slot.
thread_local std::vector<LCID>* CollectedLocales = nullptr;
thread_local std::exception_ptr CollectionFailure;

template <typename Char> LCID ParseLocaleText(const Char* text) {
    LCID locale = 0;
    for (int i = 0; i < 8 && text[i] != 0; ++i) {
        const auto digit = static_cast<unsigned>(text[i]);
        unsigned value;
        if (digit >= '0' && digit <= '9')
            value = digit - '0';
        else if (digit >= 'A' && digit <= 'F')
            value = digit - 'A' + 10;
        else if (digit >= 'a' && digit <= 'f')
            value = digit - 'a' + 10;
        else
            return 0;
        locale = locale << 4 | value;
    }
    return locale;
}

// No exception may cross the system's enumeration.
template <typename Char> BOOL CollectLocale(const Char* text) noexcept {
    try {
        if (const LCID locale = ParseLocaleText(text))
            CollectedLocales->push_back(locale);
        return TRUE;
    } catch (...) {
        CollectionFailure = std::current_exception();
        return FALSE;
    }
}

BOOL CALLBACK CollectLocaleW(LPWSTR text) {
    return CollectLocale(text);
}
BOOL CALLBACK CollectLocaleA(LPSTR text) {
    return CollectLocale(text);
}

// Abbreviations are ASCII letters: folding ASCII case is what "already listed" needs.
WideString AsciiUpper(WideString text) {
    for (char16_t& ch : text)
        if (ch >= u'a' && ch <= u'z')
            ch = static_cast<char16_t>(ch - u'a' + u'A');
    return text;
}

WideString SublanguagePrefix(unsigned sublanguage) {
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    return WideString{Digits[(sublanguage >> 4) & 0xF], Digits[sublanguage & 0xF], u'.'};
}

WideString ExtOfEntry(const WideString& text) {
    return text.substr(0, text.find(u'|'));
}

void StartVynTrxLangs() {
    if (UnitStarts == 0)
        Langs = std::make_unique<TVynTrxLangs>(SystemLocaleAbbreviations());
    ++UnitStarts;
}

void EndVynTrxLangs() {
    if (UnitStarts > 0 && --UnitStarts == 0)
        Langs.reset();
}

} // namespace

std::vector<TLocaleAbbreviation> SystemLocaleAbbreviations() {
    std::vector<LCID> locales;
    CollectedLocales = &locales;
    CollectionFailure = nullptr;
    // A failed enumeration lists what it reached.
    if (VynPlatformIsNT)
        ::EnumSystemLocalesW(CollectLocaleW, LCID_SUPPORTED);
    else
        ::EnumSystemLocalesA(CollectLocaleA, LCID_SUPPORTED);
    CollectedLocales = nullptr;
    if (CollectionFailure)
        std::rethrow_exception(std::exchange(CollectionFailure, nullptr));
    std::vector<TLocaleAbbreviation> result;
    result.reserve(locales.size());
    for (const LCID locale : locales)
        result.push_back({locale, GetLocaleStrWide(locale, LOCALE_SABBREVLANGNAME, u"")});
    return result;
}

WideString SystemLanguageName(LANGID language) {
    const LCID locale = MAKELCID(language, SORT_DEFAULT);
    return GetLocaleStrWide(locale, SUBLANGID(language) != 0 ? LOCALE_SLANGUAGE : LOCALE_SENGLANGUAGE, u"");
}

TVynTrxLangs::TVynTrxLangs(const std::vector<TLocaleAbbreviation>& locales,
                           const TLanguageNameSource& names) {
    std::vector<std::pair<WideString, LANGID>> listed;
    std::set<WideString> listedExts;
    auto add = [&](const WideString& ext, LANGID language) {
        if (!listedExts.insert(AsciiUpper(ext)).second)
            return false;
        listed.emplace_back(ext, language);
        return true;
    };
    auto isListed = [&](const WideString& ext) { return listedExts.count(AsciiUpper(ext)) != 0; };

    // Neutral entries waiting for a second sublanguage of their language, by primary language.
    std::map<unsigned, WideString> neutralCandidates;
    for (const TLocaleAbbreviation& locale : locales) {
        if (locale.Abbreviation.empty())
            continue;
        const LANGID language = LANGIDFROMLCID(locale.Locale);
        const unsigned primary = PRIMARYLANGID(language);
        const unsigned sublanguage = SUBLANGID(language);
        WideString ext = locale.Abbreviation;
        if (isListed(ext)) {
            if (sublanguage == SUBLANG_DEFAULT)
                continue;
            ext = SublanguagePrefix(sublanguage) + ext;
        }
        // Two locales of one sublanguage under one made-up abbreviation would make the prefixed
        // extension twice; the second names no file of its own either.
        if (!add(ext, language))
            continue;
        if (sublanguage == SUBLANG_DEFAULT)
            neutralCandidates.emplace(primary, ext.substr(0, 2));
    }
    for (const TLocaleAbbreviation& locale : locales) {
        const LANGID language = LANGIDFROMLCID(locale.Locale);
        if (locale.Abbreviation.empty() || SUBLANGID(language) == SUBLANG_DEFAULT)
            continue;
        const auto candidate = neutralCandidates.find(PRIMARYLANGID(language));
        if (candidate == neutralCandidates.end())
            continue;
        // Two languages whose abbreviations begin alike: the first keeps the two letters.
        if (!isListed(candidate->second))
            add(candidate->second, MAKELANGID(candidate->first, SUBLANG_NEUTRAL));
        neutralCandidates.erase(candidate);
    }

    entries_.reserve(listed.size());
    for (const auto& [ext, language] : listed)
        entries_.push_back({ext + u"|" + names(language), language});
    std::sort(entries_.begin(), entries_.end(), [](const TLangEntry& a, const TLangEntry& b) {
        return CompareWideText(a.Text, b.Text, false) < 0;
    });
}

const TVynTrxLangs::TLangEntry& TVynTrxLangs::EntryAt(int32_t index) const {
    if (index < 0 || index >= Count())
        TVynStrings::RaiseListError("List index out of bounds (%d)", index);
    return entries_[static_cast<size_t>(index)];
}

WideString TVynTrxLangs::Ext(int32_t index) const {
    return ExtOfEntry(EntryAt(index).Text);
}

WideString TVynTrxLangs::Name(int32_t index) const {
    const WideString& text = EntryAt(index).Text;
    return text.substr(text.find(u'|') + 1);
}

LANGID TVynTrxLangs::LangID(int32_t index) const {
    return EntryAt(index).Language;
}

int32_t TVynTrxLangs::IndexOfExt(const WideString& ext) const {
    const WideString wanted = !ext.empty() && ext.front() == u'.' ? ext.substr(1) : ext;
    const WideString key = wanted + u"|";
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), key,
                                        [](const TLangEntry& entry, const WideString& text) {
                                            return CompareWideText(entry.Text, text, false) < 0;
                                        });
    if (found == entries_.end() || CompareWideText(ExtOfEntry(found->Text), wanted, false) != 0)
        return -1;
    return static_cast<int32_t>(found - entries_.begin());
}

int32_t TVynTrxLangs::IndexOfLangID(LANGID language) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].Language == language)
            return static_cast<int32_t>(i);
    return -1;
}

WideString TVynTrxLangs::ExtOfLangID(LANGID language) const {
    const int32_t index = IndexOfLangID(language);
    return index < 0 ? WideString(u"???") : Ext(index);
}

LANGID TVynTrxLangs::LangIDOfExt(const WideString& ext) const {
    const int32_t index = IndexOfExt(ext);
    return index < 0 ? LANGID(0) : LangID(index);
}

const TVynTrxLangs& VynTrxLangs() {
    RTL_ASSERT(Langs != nullptr, "VynTrxLangs is not started");
    return *Langs;
}

WideString ResourceModuleName(const WideString& applicationFile, LANGID language, const TVynTrxLangs& langs) {
    if (language == (GetFileTranslation(applicationFile) & 0xFFFF))
        return applicationFile;
    return ResourceModuleFileName(applicationFile, langs.ExtOfLangID(language));
}

LANGID LangIDOfModule(const WideString& applicationFile, const WideString& moduleFile,
                      const TVynTrxLangs& langs) {
    if (CompareWideText(applicationFile, moduleFile, false) == 0)
        return static_cast<LANGID>(GetFileTranslation(applicationFile) & 0xFFFF);
    // ResourceModuleName puts the whole extension after the base name, "02.QUZ" included.
    const WideString baseName = ExtractFileNameNoExt(applicationFile) + u".";
    const WideString moduleName = ExtractFileNameWide(moduleFile);
    if (moduleName.size() > baseName.size() &&
        CompareWideText(moduleName.substr(0, baseName.size()), baseName, false) == 0)
        return langs.LangIDOfExt(moduleName.substr(baseName.size()));
    return langs.LangIDOfExt(ExtractFileExtWide(moduleFile));
}

const TUnitInfo VynTrxLangsUnit{UnitName, StartVynTrxLangs, EndVynTrxLangs};
