// The language list: extensions made from locale lists (synthetic ones, and the prefix's own),
// lookups by extension and by language, and the module names that carry an extension.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "Exceptions.h"
#include "VynLXVerUtils.h"
#include "VynTrxLangs.h"
#include "WineTestSupport.h"

namespace {

WideString NameOfId(LANGID language) {
    const char16_t digits[] = u"0123456789ABCDEF";
    WideString name = u"Lang";
    for (int shift = 12; shift >= 0; shift -= 4)
        name += digits[(language >> shift) & 0xF];
    return name;
}

TVynTrxLangs LangsOf(const std::vector<TLocaleAbbreviation>& locales) {
    return TVynTrxLangs(locales, NameOfId);
}

std::vector<WideString> ExtsOf(const TVynTrxLangs& langs) {
    std::vector<WideString> exts;
    for (int32_t i = 0; i < langs.Count(); ++i)
        exts.push_back(langs.Ext(i));
    std::sort(exts.begin(), exts.end());
    return exts;
}

int CountOfExt(const TVynTrxLangs& langs, const WideString& ext) {
    int count = 0;
    for (int32_t i = 0; i < langs.Count(); ++i)
        count += langs.Ext(i) == ext ? 1 : 0;
    return count;
}

TEST(VynTrxLangs, ASecondLocaleOfOneAbbreviationCarriesItsSublanguageAndMakesTheLanguageNeutralEntry) {
    const TVynTrxLangs langs = LangsOf({{0x0409, u"ENU"}, {0x0809, u"ENU"}, {0x040E, u"HUN"}});
    EXPECT_EQ(ExtsOf(langs), (std::vector<WideString>{u"02.ENU", u"EN", u"ENU", u"HUN"}))
        << "Hungarian, with its default sublanguage only, has no neutral entry";
    EXPECT_EQ(langs.LangIDOfExt(u"ENU"), 0x0409);
    EXPECT_EQ(langs.LangIDOfExt(u"02.ENU"), 0x0809);
    EXPECT_EQ(langs.LangIDOfExt(u"EN"), 0x0009);
    EXPECT_EQ(langs.Name(langs.IndexOfExt(u"02.ENU")), u"Lang0809");
}

TEST(VynTrxLangs, GermanWithTwoSublanguagesStandsAsAWholeUnderItsFirstTwoLetters) {
    const TVynTrxLangs langs = LangsOf({{0x0807, u"DES"}, {0x0407, u"DEU"}, {0x040E, u"HUN"}});
    EXPECT_EQ(ExtsOf(langs), (std::vector<WideString>{u"DE", u"DES", u"DEU", u"HUN"}))
        << "the default sublanguage names the whole language even when it comes second";
    EXPECT_EQ(langs.LangIDOfExt(u"DE"), 0x0007);
    EXPECT_EQ(langs.ExtOfLangID(0x0007), u"DE");
    EXPECT_EQ(CountOfExt(langs, u"DE"), 1);
}

TEST(VynTrxLangs, DefaultLocalesSharingAMadeUpAbbreviationAreListedOnce) {
    // As Wine reports locales it has no abbreviation for: several languages' default sublanguages
    // and some others under "ZZZ".
    const TVynTrxLangs langs = LangsOf({{0x0491, u"ZZZ"},
                                        {0x0492, u"ZZZ"},
                                        {0x0892, u"ZZZ"},
                                        {0x0493, u"ZZZ"},
                                        {0x0893, u"ZZZ"},
                                        {0x0C91, u"ZZZ"},
                                        {0x0407, u"DEU"}});
    EXPECT_EQ(CountOfExt(langs, u"ZZZ"), 1);
    EXPECT_EQ(langs.LangIDOfExt(u"ZZZ"), 0x0491) << "the first keeps the extension";
    EXPECT_EQ(langs.LangIDOfExt(u"02.ZZZ"), 0x0892) << "a second with the same sublanguage names no file";
    EXPECT_EQ(langs.LangIDOfExt(u"03.ZZZ"), 0x0C91);
    EXPECT_EQ(langs.LangIDOfExt(u"ZZ"), 0x0091) << "only the listed default stands for its language";
    EXPECT_EQ(langs.IndexOfLangID(0x0092), -1);
    EXPECT_EQ(langs.IndexOfLangID(0x0493), -1);
    EXPECT_EQ(langs.LangIDOfExt(u"DEU"), 0x0407);
}

TEST(VynTrxLangs, LooksUpExtensionsWithoutRegardToCaseOrALeadingDot) {
    const TVynTrxLangs langs =
        LangsOf({{0x0407, u"DEU"}, {0x0807, u"DES"}, {0x0409, u"ENU"}, {0x040C, u"FRA"}});
    const int32_t index = langs.IndexOfExt(u".DEU");
    ASSERT_GE(index, 0);
    EXPECT_EQ(langs.IndexOfExt(u"deu"), index);
    EXPECT_EQ(langs.Ext(index), u"DEU");
    EXPECT_EQ(langs.IndexOfExt(u"DE"), langs.IndexOfLangID(0x0007))
        << "a prefix of DEU is an entry of its own";
    EXPECT_EQ(langs.IndexOfExt(u"D"), -1);
    EXPECT_EQ(langs.IndexOfExt(u""), -1);
    EXPECT_EQ(langs.ExtOfLangID(0x0419), u"???");
    EXPECT_EQ(langs.LangIDOfExt(u"RUS"), 0);
    EXPECT_EQ(langs.LangIDOfExt(u".fra"), 0x040C);
    EXPECT_EQ(MessageOf([&] { langs.Ext(langs.Count()); }), "List index out of bounds (5)");
}

TEST(VynTrxLangs, ModuleNamesCarryTheWholeExtensionBothWays) {
    const TVynTrxLangs langs =
        LangsOf({{0x046B, u"QUZ"}, {0x086B, u"QUZ"}, {0x0C6B, u"QUZ"}, {0x0407, u"DEU"}, {0x0409, u"ENU"}});
    // An application with version information: its own language is the application file itself.
    const ScratchFolder folder(L"FerruleLangsModuleNames");
    const std::wstring application = folder.Path() + L"\\Ferrule.exe";
    WriteFileBytes(application, ReadFileBytes(HostPath(STANDIN_DAO_PATH)));
    const WideString app = Wide(application);
    const LANGID own = static_cast<LANGID>(GetFileTranslation(app) & 0xFFFF);
    ASSERT_NE(own, 0) << "the stand-in carries a translation";

    const WideString quechua = ResourceModuleName(app, 0x086B, langs);
    EXPECT_EQ(quechua, Wide(folder.Path() + L"\\Ferrule.02.QUZ"));
    EXPECT_EQ(LangIDOfModule(app, quechua, langs), 0x086B);
    EXPECT_EQ(LangIDOfModule(app, Wide(folder.Path() + L"\\ferrule.03.quz"), langs), 0x0C6B);
    EXPECT_EQ(LangIDOfModule(app, ResourceModuleName(app, 0x0407, langs), langs), 0x0407);
    EXPECT_EQ(ResourceModuleName(app, own, langs), app);
    EXPECT_EQ(LangIDOfModule(app, app, langs), own);
    // A module named after another program is read by its last extension.
    EXPECT_EQ(LangIDOfModule(app, u"C:\\Other.02.QUZ", langs), 0x046B);
    EXPECT_EQ(ResourceModuleName(app, 0x0419, langs), Wide(folder.Path() + L"\\Ferrule.???"));
}

TEST(VynTrxLangs, ThePrefixsListNamesGermanAsAWholeAndEachMadeUpAbbreviationOnce) {
    const TUnitStartup units{&VynTrxLangsUnit};
    const TVynTrxLangs& langs = VynTrxLangs();
    EXPECT_GT(langs.Count(), 50);
    EXPECT_EQ(langs.LangIDOfExt(u"DEU"), 0x0407);
    EXPECT_EQ(langs.LangIDOfExt(u"DE"), 0x0007);
    EXPECT_EQ(langs.Name(langs.IndexOfExt(u"DE")), u"German") << "a neutral entry carries the English name";
    EXPECT_FALSE(langs.Name(langs.IndexOfExt(u"DEU")).empty());
    EXPECT_EQ(langs.LangIDOfExt(u"HUN"), 0x040E);
    EXPECT_EQ(langs.IndexOfExt(u"HU"), -1);
    EXPECT_LE(CountOfExt(langs, u"ZZZ"), 1);
    // Every extension finds its own entry again: none is listed twice.
    for (int32_t i = 0; i < langs.Count(); ++i)
        EXPECT_EQ(langs.IndexOfExt(langs.Ext(i)), i) << Win(langs.Ext(i));
}

TEST(VynTrxLangs, TheProcessWideListExistsOnlyWhileItsUnitRuns) {
    EXPECT_EQ(MessageOf([] {
                  VynTrxLangs();
              }).rfind("VynTrxLangs is not started (lib/VynTrx/VynTrxLangs, line ", 0),
              0u);
}

} // namespace
