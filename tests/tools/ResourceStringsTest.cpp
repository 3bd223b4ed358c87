// Resource-string declarations as the build reads them, their numbering, and what the build makes
// of them: string-table blocks, the identifier map, accessors and the resource script.
#include <gtest/gtest.h>

#include <algorithm>

#include "ResourceStringTable.h"

namespace {

TUnitResourceStrings Parse(std::string_view text, const std::string& path = "lib/Unit/Dialogs.resstr") {
    return ParseResourceStringDeclarations(path, text);
}

std::string FailureOf(std::string_view text) {
    try {
        Parse(text);
    } catch (const EDeclarationError& error) {
        return error.what();
    }
    return "<nothing raised>";
}

WideString Utf16Of(const std::vector<uint8_t>& bytes) {
    WideString text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    return text;
}

TEST(ResourceStringDeclarations, ReadNamesAndTextsWithTheirEscapesAndLines) {
    const TUnitResourceStrings unit = Parse("# captions\r\n"
                                            "\r\n"
                                            "SYes = \"&Yes\"   # the accelerator is Y\r\n"
                                            "   # an indented comment\n"
                                            "SQuoted=\"say \\\"hi\\\" \\\\ \\r\\n\\t\"\n"
                                            "SUmlaut = \"\\u00e4\\uD83D\\uDE00\"\n"
                                            "SEmpty = \"\"");
    EXPECT_EQ(unit.Unit, "Dialogs");
    ASSERT_EQ(unit.Strings.size(), 4u);
    EXPECT_EQ(unit.Strings[0].Name, "SYes");
    EXPECT_EQ(unit.Strings[0].Text, u"&Yes");
    EXPECT_EQ(unit.Strings[0].Line, 3u);
    EXPECT_EQ(unit.Strings[1].Text, u"say \"hi\" \\ \r\n\t");
    EXPECT_EQ(unit.Strings[2].Text, u"\u00E4\U0001F600");
    EXPECT_EQ(unit.Strings[3].Text, u"");
    EXPECT_EQ(unit.Strings[3].Line, 7u);
}

TEST(ResourceStringDeclarations, RefuseWhatTheyCannotCarryAndNameFileAndLine) {
    const std::string at2 = "lib/Unit/Dialogs.resstr:2: ";
    EXPECT_EQ(FailureOf("# ok\nSName \"text\""), at2 + "'=' expected after SName");
    EXPECT_EQ(FailureOf("\n1Name = \"x\""),
              at2 + "a declaration starts with the string's name, an identifier");
    EXPECT_EQ(FailureOf("\n  SName = \"x\""), at2 + "a declaration starts at the beginning of its line");
    EXPECT_EQ(FailureOf("\nSName = text"), at2 + "the text is a double-quoted string");
    EXPECT_EQ(FailureOf("\nSName = \"open"), at2 + "the text has no closing quote");
    EXPECT_EQ(FailureOf("\nSName = \"ends in \\"), at2 + "the text has no closing quote");
    EXPECT_EQ(FailureOf("\nSName = \"x\" y"), at2 + "nothing but a comment may follow the text");
    EXPECT_EQ(FailureOf("\nSName = \"\\q\""), at2 + "unknown escape \\q");
    EXPECT_EQ(FailureOf("\nSName = \"\\u12G4\""), at2 + "\\u takes four hexadecimal digits");
    EXPECT_EQ(FailureOf("\nSName = \"\\u12\""), at2 + "\\u takes four hexadecimal digits");
    EXPECT_EQ(FailureOf("\nSName = \"a\tb\""),
              at2 + "a control character in the text: write it as an escape");
    EXPECT_EQ(FailureOf("\nSName = \"\xC3\xA4\""),
              at2 + "a byte beyond ASCII: write such characters as \\uXXXX");
    EXPECT_EQ(FailureOf("\nSName = \"\\uD83D\""), at2 + "an unpaired surrogate in the text");
    EXPECT_EQ(FailureOf("\nSName = \"\\uDE00\\uD83D\""), at2 + "an unpaired surrogate in the text");
    EXPECT_NE(FailureOf("\nSName = \"a\\u0000\"").find(at2 + "a zero character"), std::string::npos);
    EXPECT_EQ(FailureOf("SName = \"a\"\nsname = \"b\""),
              at2 + "sname is declared on line 1 already (names compare without regard to case)");

    const std::string longest(MaxResourceStringLength, 'x');
    EXPECT_EQ(Parse("SLong = \"" + longest + "\"").Strings[0].Text.size(), MaxResourceStringLength);
    EXPECT_EQ(FailureOf("\nSLong = \"" + longest + "x\""),
              at2 + "the text has 4097 units; the runtime loads at most 4096");

    try {
        Parse("", "lib/Unit/My-Unit.resstr");
        ADD_FAILURE() << "a unit name with a hyphen was taken";
    } catch (const EDeclarationError& error) {
        EXPECT_EQ(error.Path(), "lib/Unit/My-Unit.resstr");
        EXPECT_EQ(error.Line(), 0u);
    }
}

TEST(ResourceStringNumbering, FollowsUnitAndNameWhateverTheOrderOfTheFiles) {
    const TUnitResourceStrings zeta = Parse("SB = \"b\"\nSA = \"a\"", "x/Zeta.resstr");
    const TUnitResourceStrings alpha = Parse("SOnly = \"only\"", "y/Alpha.resstr");
    const auto forward = NumberResourceStrings({zeta, alpha});
    const auto backward = NumberResourceStrings({alpha, zeta});
    ASSERT_EQ(forward.size(), 3u);
    for (size_t i = 0; i < forward.size(); ++i) {
        EXPECT_EQ(forward[i].Id, backward[i].Id);
        EXPECT_EQ(forward[i].Name, backward[i].Name);
    }
    EXPECT_EQ(forward[0].Unit + "_" + forward[0].Name, "Alpha_SOnly");
    EXPECT_EQ(forward[0].Id, FirstResourceStringId);
    EXPECT_EQ(forward[1].Unit + "_" + forward[1].Name, "Zeta_SA");
    EXPECT_EQ(forward[2].Id, FirstResourceStringId + 2);

    EXPECT_THROW(NumberResourceStrings({zeta, Parse("SC = \"c\"", "other/zeta.resstr")}), EDeclarationError);
    TUnitResourceStrings many;
    many.Unit = "Many";
    many.Strings.resize(0x10000 - FirstResourceStringId + 1);
    EXPECT_THROW(NumberResourceStrings({many}), EDeclarationError);
}

TEST(ResourceStringTableBlocks, HoldSixteenCountedEntriesEachWithGapsEmpty) {
    const std::vector<TNumberedResourceString> strings = {
        {0xF00F, "U", "SLast", u"ab"},
        {0xF010, "U", "SNext", u"\U0001F600"},
        {0xF012, "U", "SThird", u""},
    };
    const auto blocks = StringTableBlocks(strings);
    ASSERT_EQ(blocks.size(), 2u);
    const std::vector<uint8_t>& first = blocks.at(0xF00F / 16 + 1);
    ASSERT_EQ(first.size(), 15 * 2 + 2 + 4u) << "fifteen empty entries, then one of two units";
    EXPECT_TRUE(std::all_of(first.begin(), first.begin() + 30, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(std::vector<uint8_t>(first.begin() + 30, first.end()),
              (std::vector<uint8_t>{2, 0, 'a', 0, 'b', 0}));
    const std::vector<uint8_t>& second = blocks.at(0xF010 / 16 + 1);
    ASSERT_EQ(second.size(), 2 + 4 + 15 * 2u);
    EXPECT_EQ(std::vector<uint8_t>(second.begin(), second.begin() + 6),
              (std::vector<uint8_t>{2, 0, 0x3D, 0xD8, 0x00, 0xDE}))
        << "a character beyond the BMP counts its two units";
}

TEST(IdentifierMap, IsOneCrLfLineAStringInIdentifierOrderAsUtf16) {
    const std::vector<TNumberedResourceString> strings = {
        {61441, "FerruleFrm", "SRegistering", u"r"},
        {61440, "FerruleFrm", "SInstalling", u"i"},
    };
    const std::vector<uint8_t> map = IdentifierMapText(strings);
    EXPECT_EQ(Utf16Of(map), u"61440=FerruleFrm_SInstalling\r\n61441=FerruleFrm_SRegistering\r\n");
    EXPECT_EQ(map.size(), 2 * (30 + 31u)) << "no mark, no terminator";
}

TEST(ResourceStringAccessors, DeclareEachRecordAndDefineItWithItsIdentifier) {
    const TUnitResourceStrings unit = Parse("SPath = \"C:\\\\\"\nSOk = \"OK \\u00e4\"", "app/Frm.resstr");
    const auto strings = NumberResourceStrings({unit});
    const std::string header = AccessorHeader(unit);
    EXPECT_EQ(AccessorHeaderName("Frm"), "FrmResStr.h");
    EXPECT_NE(header.find("namespace ResStr::Frm {\n"), std::string::npos);
    EXPECT_NE(header.find("extern const TResStringRec SOk; // \"OK \\u00E4\"\n"), std::string::npos);
    // A comment ending in a backslash would swallow the next declaration.
    EXPECT_NE(header.find("extern const TResStringRec SPath; // \"C:\\\\\"\n"), std::string::npos);
    const std::string definitions = AccessorDefinitions({unit}, strings);
    EXPECT_NE(definitions.find("#include \"FrmResStr.h\""), std::string::npos);
    EXPECT_NE(definitions.find("constinit const TResStringRec SOk{nullptr, 61440};"), std::string::npos);
    EXPECT_NE(definitions.find("constinit const TResStringRec SPath{nullptr, 61441};"), std::string::npos);
}

TEST(ResourceStringScript, LinksEveryBlockAndBothTranslationResourcesInLanguageZero) {
    const auto strings = NumberResourceStrings({Parse("SA = \"a\"\nSB = \"b\"")});
    const std::string script = ResourceScript("/b/resstr", StringTableBlocks(strings));
    EXPECT_NE(script.find("\nLANGUAGE 0, 0\n3841 6 \"/b/resstr/StringBlock3841.bin\"\n"
                          "VYN_TRX_FLAG RCDATA \"/b/resstr/TrxFlag.bin\"\n"
                          "VYN_TRX_GUID RCDATA \"/b/resstr/TrxGuid.bin\"\n"),
              std::string::npos)
        << script;
    const std::vector<uint8_t> flag = TranslationFlagBytes();
    EXPECT_EQ(std::string(flag.begin(), flag.end()),
              "This application is enabled to version check its resource module.");
    EXPECT_EQ(Utf16Of(IdentifierPlaceholderBytes()), u"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
}

} // namespace
