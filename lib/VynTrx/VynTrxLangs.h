// The languages a translation module can be made for, from the system's locales: each with the
// extension its module file carries ("DEU", "02.ENU" for a second sublanguage sharing an
// abbreviation, "DE" for a language of several sublanguages as a whole) and its name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "SysTypes.h"
#include "UnitRegistry.h"

struct TLocaleAbbreviation {
    LCID Locale = 0;
    // The three-letter abbreviation of the locale's language (LOCALE_SABBREVLANGNAME).
    WideString Abbreviation;
};

// The system's locales in the order the system enumerates them, each with its abbreviation.
std::vector<TLocaleAbbreviation> SystemLocaleAbbreviations();
// The localized name (LOCALE_SLANGUAGE) of a language with a sublanguage, the English name
// (LOCALE_SENGLANGUAGE) of a neutral one; empty when the system has none.
WideString SystemLanguageName(LANGID language);

using TLanguageNameSource = std::function<WideString(LANGID language)>;

// A sorted list of "extension|name" entries, each with its language identifier. Extensions are
// unique without regard to case.
class TVynTrxLangs {
public:
    // In the locales' order: a locale whose abbreviation is already listed is listed with its
    // sublanguage in front ("02.ENU"), unless it is its language's default sublanguage: then it
    // is left out, since that extension is already taken and Wine reports several default
    // locales with one made-up abbreviation. The default sublanguage of a language that has
    // other sublanguages also stands for the language as a whole under its abbreviation's first
    // two letters ("DE", sublanguage 0). A locale without an abbreviation names no file and is
    // left out.
    explicit TVynTrxLangs(const std::vector<TLocaleAbbreviation>& locales,
                          const TLanguageNameSource& names = SystemLanguageName);

    int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
    // Raise EStringListError "List index out of bounds (%d)" outside 0..Count-1.
    WideString Ext(int32_t index) const;
    WideString Name(int32_t index) const;
    LANGID LangID(int32_t index) const;
    // A leading "." is dropped; the comparison ignores case. -1 when not listed.
    int32_t IndexOfExt(const WideString& ext) const;
    int32_t IndexOfLangID(LANGID language) const;
    // "???" when the language is not listed.
    WideString ExtOfLangID(LANGID language) const;
    // 0 when the extension is not listed.
    LANGID LangIDOfExt(const WideString& ext) const;

private:
    struct TLangEntry {
        WideString Text; // extension, "|", name
        LANGID Language = 0;
    };
    const TLangEntry& EntryAt(int32_t index) const;
    std::vector<TLangEntry> entries_;
};

// The process-wide list, made from the system's locales by the unit's start. Raises
// EAssertionFailed while the unit is not started.
const TVynTrxLangs& VynTrxLangs();

// The application file itself when the language is that of its version information, else the
// application file with the language's extension in place of its own ("Ferrule.02.QUZ").
WideString ResourceModuleName(const WideString& applicationFile, LANGID language,
                              const TVynTrxLangs& langs = VynTrxLangs());
// The reverse: the application's version-information language for the application file itself,
// else the language of everything after the application's base name in the module's file name
// ("02.QUZ" in "Ferrule.02.QUZ"), or of the module's last extension when its name does not start
// with that base name. 0 when the extension is not listed.
LANGID LangIDOfModule(const WideString& applicationFile, const WideString& moduleFile,
                      const TVynTrxLangs& langs = VynTrxLangs());

extern const TUnitInfo VynTrxLangsUnit;
