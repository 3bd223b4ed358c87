// Shortcut texts: the names of keys and modifiers, and the round trips text -> shortcut -> text and
// shortcut -> text -> shortcut.
#include <gtest/gtest.h>

#include <optional>

#include "VynShortCuts.h"

namespace {

TEST(ShortCutText, NamesModifiersInTheirOrderBeforeTheKey) {
    EXPECT_EQ(ShortCutToTextWide(scCtrl | 'S'), u"Ctrl+S");
    EXPECT_EQ(ShortCutToTextWide(scAlt | scCtrl | scShift | 0x7B), u"Shift+Ctrl+Alt+F12");
    EXPECT_EQ(ShortCutToTextWide(scAlt | 0x08), u"Alt+BkSp");
    EXPECT_EQ(ShortCutToTextWide(scCtrl | 0x6B), u"Ctrl+Num +");
    EXPECT_EQ(ShortCutToTextWide(0x2E), u"Del");
    EXPECT_EQ(ShortCutToTextWide(0x87), u"F24");
    EXPECT_EQ(ShortCutToTextWide(0x65), u"Num 5");
    EXPECT_EQ(ShortCutToTextWide(scShift | '7'), u"Shift+7");
    EXPECT_EQ(ShortCutToTextWide(scNone), u"");
}

TEST(ShortCutText, ShortcutsWithoutANameHaveNoText) {
    EXPECT_EQ(ShortCutToTextWide(scCtrl | 0xBA), std::nullopt) << "punctuation depends on the layout";
    EXPECT_EQ(ShortCutToTextWide(scCtrl), std::nullopt) << "a modifier without a key";
    EXPECT_EQ(ShortCutToTextWide(0x1000 | 'S'), std::nullopt) << "a bit that is neither key nor modifier";
}

TEST(ShortCutText, ReadsNamesInAnyCaseAndModifiersInAnyOrder) {
    EXPECT_EQ(TextToShortCutWide(u"Ctrl+S"), scCtrl | 'S');
    EXPECT_EQ(TextToShortCutWide(u"ctrl+s"), scCtrl | 'S');
    EXPECT_EQ(TextToShortCutWide(u"Alt+Shift+Enter"), scAlt | scShift | 0x0D);
    EXPECT_EQ(TextToShortCutWide(u"Shift+Num +"), scShift | 0x6B);
    EXPECT_EQ(TextToShortCutWide(u""), scNone);
}

TEST(ShortCutText, RejectsWhatNamesNoShortcut) {
    for (const char16_t* text : {u"Ctrl+", u"Ctrl", u"Ctrl+Ctrl+S", u"Ctrl+Foo", u"F25", u"Num 10",
                                 u" Ctrl+S", u"Ctrl+S ", u"Strg+S", u"Ctrl+\u00C4", u"16467"})
        EXPECT_EQ(TextToShortCutWide(text), std::nullopt) << std::u16string(text).size();
}

TEST(ShortCutText, EveryNamedShortcutRoundTrips) {
    int named = 0;
    for (unsigned value = 0; value <= 0xFFFF; ++value) {
        const std::optional<WideString> text = ShortCutToTextWide(static_cast<TShortCut>(value));
        if (!text)
            continue;
        ++named;
        ASSERT_EQ(TextToShortCutWide(*text), value) << value;
        ASSERT_EQ(ShortCutToTextWide(*TextToShortCutWide(*text)), text) << value;
    }
    EXPECT_EQ(named, 1 + 8 * (15 + 5 + 10 + 26 + 10 + 24));
}

} // namespace
