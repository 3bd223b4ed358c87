// Portable-object files as the translator's tool writes and reads them: exact round trips of
// awkward texts, the layout translators' tools expect, and malformed files refused by line.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "PoFile.h"

namespace {

const std::string Path = "de.po";

std::string FailureOf(std::string_view text) {
    try {
        ReadPoFile(Path, text);
    } catch (const EPoFileError& error) {
        return error.what();
    }
    return "<nothing raised>";
}

template <typename E> std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& error) {
        return error.what();
    }
    return "<nothing raised>";
}

TPoEntry Entry(const WideString& context, const WideString& id, const WideString& str) {
    TPoEntry entry;
    entry.HasContext = true;
    entry.Context = context;
    entry.MsgId = id;
    entry.MsgStr = str;
    return entry;
}

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

size_t Columns(std::string_view utf8) {
    size_t columns = 0;
    for (char ch : utf8)
        columns += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
    return columns;
}

WideString LongText() {
    WideString text;
    while (text.size() < 200)
        text += u"word\u00E4 ";
    return text.substr(0, 200);
}

std::vector<TPoEntry> TrickyEntries() {
    TPoEntry header;
    header.MsgStr = u"Language: de_DE\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
                    u"X-Vyn-Build: {0A1B2C3D-0000-1111-2222-333344445555}\n";
    std::vector<TPoEntry> entries{header};
    entries.push_back(Entry(u"Unit_SQuotes", u"say \"hi\"", u"sag \"hallo\""));
    entries.push_back(Entry(u"Unit_SBackslash", u"C:\\dir\\", u"C:\\Ordner\\"));
    entries.push_back(Entry(u"Unit_STab", u"a\tb", u"a\tb\t"));
    entries.push_back(Entry(u"Unit_SCrLf", u"one\r\ntwo\r\n", u"eins\r\nzwei\r\n"));
    entries.push_back(Entry(u"Unit_SUmlaut", u"a", u"\u00E4\u00F6\u00FC\u00DF"));
    entries.push_back(Entry(u"Unit_SSurrogate", u"smile", u"\U0001F600 l\u00E4cheln"));
    entries.push_back(Entry(u"Unit_SLong", LongText(), LongText() + LongText()));
    entries.push_back(Entry(u"Unit_SLongWord", WideString(150, u'x'), WideString(90, u'\u00E4')));
    entries.push_back(Entry(u"Unit_SBlanks", u"  outer  ", u" au\u00DFen "));
    entries.push_back(Entry(u"Unit_SControls", u"bell\a", u"\x01\x1F\x7F\b\f\v"));
    TPoEntry empty = Entry(u"Unit_SEmpty", u"empty", u"");
    empty.Flags = {"vyn-empty"};
    empty.TranslatorComments = {u"  two leading blanks", u"", u"#, not a flag", u"\u00C4rger"};
    empty.ExtractedComments = {u"resourcestring"};
    entries.push_back(empty);
    TPoEntry fuzzy = Entry(u"Form.Button.Caption", u"&OK", u"&Gut");
    fuzzy.Flags = {"fuzzy", "vyn-empty"};
    fuzzy.References = {u"app/Form.dfm:12"};
    entries.push_back(fuzzy);
    TPoEntry withoutContext;
    withoutContext.MsgId = u"no context";
    withoutContext.MsgStr = u"kein Kontext";
    entries.push_back(withoutContext);
    return entries;
}

void ExpectSameEntries(const std::vector<TPoEntry>& read, const std::vector<TPoEntry>& written) {
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read[i].HasContext, written[i].HasContext);
        EXPECT_EQ(read[i].Context, written[i].Context);
        EXPECT_EQ(read[i].MsgId, written[i].MsgId);
        EXPECT_EQ(read[i].MsgStr, written[i].MsgStr);
        EXPECT_EQ(read[i].Flags, written[i].Flags);
        EXPECT_EQ(read[i].TranslatorComments, written[i].TranslatorComments);
        EXPECT_EQ(read[i].ExtractedComments, written[i].ExtractedComments);
        EXPECT_EQ(read[i].References, written[i].References);
    }
}

TEST(PoFileRoundTrip, AwkwardTextsComeBackExactlyAndWriteTheSameBytesAgain) {
    const std::vector<TPoEntry> entries = TrickyEntries();
    const std::string text = WritePoFile(entries);
    const std::vector<TPoEntry> read = ReadPoFile(Path, text);
    ExpectSameEntries(read, entries);
    EXPECT_EQ(WritePoFile(read), text);

    for (const std::string& line : Lines(text))
        EXPECT_LE(Columns(line), 79u) << line;
    EXPECT_TRUE(read[11].HasFlag("vyn-empty"));
    EXPECT_FALSE(read[11].HasFlag("fuzzy"));
    ASSERT_NE(FindPoHeader(read), nullptr);
    EXPECT_EQ(FindPoHeader(read)->MsgStr, entries[0].MsgStr);
}

TEST(PoFileRoundTrip, WritesStringsAndCommentsInTheCustomaryLayout) {
    const std::string text = WritePoFile(TrickyEntries());
    EXPECT_NE(text.find("msgid \"\"\nmsgstr \"\"\n\"Language: de_DE\\n\"\n\"MIME-Version: 1.0\\n\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("msgctxt \"Unit_SQuotes\"\nmsgid \"say \\\"hi\\\"\"\nmsgstr \"sag \\\"hallo\\\"\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("msgid \"C:\\\\dir\\\\\"\n"), std::string::npos);
    EXPECT_NE(text.find("msgstr \"a\\tb\\t\"\n"), std::string::npos);
    // A text ending in its only newline stays on one line; inner newlines start new lines.
    EXPECT_NE(text.find("msgid \"\"\n\"one\\r\\n\"\n\"two\\r\\n\"\n"), std::string::npos);
    EXPECT_NE(text.find("msgstr \"\\001\\037\\177\\b\\f\\v\"\n"), std::string::npos);
    EXPECT_NE(text.find("msgstr \"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F\"\n"), std::string::npos);
    EXPECT_NE(text.find("msgstr \"\xF0\x9F\x98\x80 l\xC3\xA4"
                        "cheln\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("#   two leading blanks\n#\n# #, not a flag\n# \xC3\x84rger\n#. resourcestring\n"
                        "#, vyn-empty\nmsgctxt \"Unit_SEmpty\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("#: app/Form.dfm:12\n#, fuzzy, vyn-empty\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 2), "\"\n");
    EXPECT_EQ(text.find("\n\n\n"), std::string::npos);
}

TEST(PoFileRoundTrip, LongTextsBreakAfterBlanksOrWhereTheLineIsFull) {
    const std::string text = WritePoFile({Entry(u"Long", LongText(), WideString(150, u'x'))});
    const std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines[1], "msgid \"\"");
    // Every line of the msgid but the last ends in a blank, and none is longer than 79 columns.
    size_t i = 2;
    for (; lines[i + 1].rfind("msgstr", 0) != 0; ++i) {
        EXPECT_EQ(lines[i].substr(lines[i].size() - 2), " \"");
        EXPECT_LE(Columns(lines[i]), 79u);
    }
    EXPECT_EQ(lines[i + 2], "\"" + std::string(77, 'x') + "\"");
    EXPECT_EQ(lines[i + 3], "\"" + std::string(73, 'x') + "\"");
}

TEST(PoFileRoundTrip, WritingRefusesWhatUtf8AndFlagsCannotCarry) {
    EXPECT_EQ(
        MessageOf<EConvertError>([] { WritePoFile({Entry(u"Lone", u"a\xD800", u"")}); }),
        "Cannot write the .po entry msgctxt \"Lone\": the text holds an unpaired surrogate, which UTF-8 "
        "cannot carry");
    EXPECT_NE(MessageOf<EConvertError>([] {
                  WritePoFile({Entry(u"Reversed", u"ok", u"\xDE00\xD83D")});
              }).find("unpaired surrogate"),
              std::string::npos);
    EXPECT_NE(MessageOf<EConvertError>([] {
                  WritePoFile({Entry(u"Zero", WideString(1, u'\0'), u"")});
              }).find("zero character"),
              std::string::npos);
    TPoEntry flagged = Entry(u"Flag", u"a", u"b");
    flagged.Flags = {"two words"};
    EXPECT_NE(MessageOf<EConvertError>([&] { WritePoFile({flagged}); }).find("the flag \"two words\""),
              std::string::npos);
    TPoEntry commented = Entry(u"Comment", u"a", u"b");
    commented.TranslatorComments = {u"bell\a"};
    EXPECT_NE(MessageOf<EConvertError>([&] { WritePoFile({commented}); }).find("control character"),
              std::string::npos);
    commented.TranslatorComments = {u"first\r\nsecond\nthird"};
    EXPECT_EQ(ReadPoFile(Path, WritePoFile({commented}))[0].TranslatorComments,
              (std::vector<WideString>{u"first", u"second", u"third"}));
}

TEST(PoFileReading, TakesWhatTranslatorsToolsWrite) {
    const std::vector<TPoEntry> entries =
        ReadPoFile(Path, "\xEF\xBB\xBF# header comment\r\n"
                         "msgid \"\"\r\n"
                         "msgstr \"Content-Type: text/plain; charset=utf-8\\n\"\r\n"
                         "\r\n"
                         "#~ msgctxt \"Gone\"\n"
                         "#~ msgid \"old\"\n"
                         "#~ msgstr \"alt\"\n"
                         "\n"
                         "#| msgid \"previous\"\n"
                         "#,fuzzy ,  c-format,,\n"
                         "  msgctxt\t\"A\" \"B\"\n"
                         "msgid \"\\x41\\101\\'\\?\"\n"
                         "msgstr \"\"\n"
                         "   \"split \"   \n"
                         "\"over lines\"\n"
                         "msgid \"next\"\n"
                         "msgstr \"without a blank line\"");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[0].IsHeader());
    EXPECT_EQ(entries[0].TranslatorComments, std::vector<WideString>{u"header comment"});
    EXPECT_EQ(entries[0].Line, 1u);
    EXPECT_EQ(entries[1].Context, u"AB");
    EXPECT_EQ(entries[1].MsgId, u"AA'?");
    EXPECT_EQ(entries[1].MsgStr, u"split over lines");
    EXPECT_EQ(entries[1].Flags, (std::vector<std::string>{"fuzzy", "c-format"}));
    EXPECT_TRUE(entries[1].TranslatorComments.empty());
    EXPECT_EQ(entries[1].Line, 10u);
    EXPECT_EQ(entries[1].MsgStrLine, 13u);
    EXPECT_FALSE(entries[2].HasContext);
    EXPECT_EQ(entries[2].MsgStr, u"without a blank line");
    EXPECT_EQ(entries[2].Line, 16u);

    EXPECT_EQ(PoHeaderField(u"Language: de\nx-vyn-build:  {G} \nContent-Type: a\n", u"X-Vyn-Build"), u"{G}");
    EXPECT_EQ(PoHeaderField(u"Language: de\n", u"X-Vyn-Build"), u"");
    EXPECT_TRUE(ReadPoFile(Path, "").empty());
    EXPECT_TRUE(ReadPoFile(Path, "# only a comment\n\n").empty());
}

TEST(PoFileReading, RefusesMalformedFilesNamingTheLine) {
    const std::string at3 = Path + ":3: ";
    const std::string start = "msgid \"a\"\nmsgstr \"b\"\n";
    EXPECT_EQ(FailureOf(start + "msgid \"open\nmsgstr \"\""), at3 + "the string has no closing quote");
    EXPECT_EQ(FailureOf(start + "msgid \"ends in \\"), at3 + "the string has no closing quote");
    EXPECT_EQ(FailureOf(start + "msgid \"\\q\"\nmsgstr \"\""), at3 + "unknown escape \\q");
    EXPECT_EQ(FailureOf(start + "msgid \"\\x\"\nmsgstr \"\""), at3 + "\\x takes hexadecimal digits");
    EXPECT_EQ(FailureOf(start + "msgid \"\\x123\"\nmsgstr \"\""),
              at3 + "a hexadecimal escape takes at most two digits");
    EXPECT_EQ(FailureOf(start + "msgid \"\\400\"\nmsgstr \"\""), at3 + "an octal escape beyond \\377");
    EXPECT_EQ(FailureOf(start + "msgid \"\\0\"\nmsgstr \"\""), at3 + "a zero character in a string");
    const char rawZero[] = "msgid \"a\0b\"\nmsgstr \"\"";
    EXPECT_EQ(FailureOf(start + std::string(rawZero, sizeof rawZero - 1)),
              at3 + "a zero character in a string");
    EXPECT_EQ(FailureOf(start + "msgid \"a\rb\"\nmsgstr \"\""),
              at3 + "a control character in a string: write it as an escape");
    EXPECT_EQ(FailureOf(start + "msgid \"a\" b\nmsgstr \"\""),
              at3 + "nothing but strings may follow a string on its line");
    EXPECT_EQ(FailureOf(start + "msgid a\nmsgstr \"\""), at3 + "msgid takes a double-quoted string");
    EXPECT_EQ(FailureOf(start + "msgstring \"a\""),
              at3 + "a keyword (msgctxt, msgid, msgstr), a string or a comment expected");
    EXPECT_EQ(FailureOf(start + "msgid_plural \"as\""), at3 + "plural forms are not supported");
    EXPECT_EQ(FailureOf(start + "msgstr[0] \"x\""), at3 + "plural forms are not supported");
    EXPECT_EQ(FailureOf(start + "msgstr \"x\""), at3 + "a second msgstr in one entry");
    EXPECT_EQ(FailureOf("# c\n\nmsgstr \"x\""), at3 + "msgstr without a msgid before it");
    EXPECT_EQ(FailureOf("msgid \"a\"\n\nmsgid \"b\"\nmsgstr \"\""),
              at3 + "a second msgid before the msgstr of the first (line 1)");
    EXPECT_EQ(FailureOf("msgctxt \"a\"\n\nmsgctxt \"b\""), at3 + "a second msgctxt in one entry");
    EXPECT_EQ(FailureOf("msgid \"a\"\n\nmsgctxt \"b\""), at3 + "msgctxt must come before msgid");
    EXPECT_EQ(FailureOf("msgid \"a\"\nmsgstr \"b\"\n\"c\"\n\n\"d\""),
              Path + ":5: a string without a keyword before it");
    EXPECT_EQ(FailureOf(start + "msgid \"\xC3\"\nmsgstr \"\""),
              at3 + "the msgid text is no well-formed UTF-8");
    EXPECT_EQ(FailureOf(start + "msgid \"\"\nmsgstr \"\\355\\240\\200\""),
              Path + ":4: the msgstr text is no well-formed UTF-8");
    EXPECT_EQ(FailureOf(start + "msgctxt \"\xC0\xAF\"\nmsgid \"\"\nmsgstr \"\""),
              at3 + "the msgctxt text is no well-formed UTF-8");
    EXPECT_EQ(FailureOf(start + "# \xFF\n"), at3 + "the comment is no well-formed UTF-8");
    EXPECT_EQ(FailureOf(start + "# a\rb\n"), at3 + "a control character in a comment");
    EXPECT_EQ(FailureOf(start + "#. a\x7F b\n"), at3 + "a control character in a comment")
        << "DEL is a control character in comments as in strings: the writer could not write it back";
    EXPECT_EQ(FailureOf(start + "#, fuz\xC3\xA4zy\n"),
              at3 + "a flag is a word of printable ASCII characters");
    EXPECT_EQ(FailureOf(start + "\n# c\nmsgid \"a\""),
              Path + ":4: the file ends inside an entry without msgstr");
    EXPECT_EQ(
        FailureOf("\n\nmsgctxt \"x\"\nmsgid \"a\"\nmsgstr \"\"\n\nmsgctxt \"x\"\nmsgid \"a\"\nmsgstr \"b\""),
        Path + ":7: a second definition of this message (the first is on line 3)");
    EXPECT_EQ(FailureOf("\n\nmsgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\""),
              Path + ":4: the header declares the charset ISO-8859-1; only UTF-8 is read");

    try {
        ReadPoFile(Path, start + "msgid \"\\q\"");
        ADD_FAILURE() << "nothing raised";
    } catch (const EReadError& error) {
        const auto& poError = dynamic_cast<const EPoFileError&>(error);
        EXPECT_EQ(poError.Line(), 3u);
        EXPECT_EQ(poError.Path(), Path);
        EXPECT_EQ(poError.What(), "unknown escape \\q");
    }
}

// Every prefix and seeded mutations of a file either read or raise EPoFileError; nothing else
// (the sanitizer run watches the reads).
TEST(PoFileReading, TruncatedAndMutatedFilesNeverCrash) {
    const std::string seed = WritePoFile(TrickyEntries());
    for (size_t length = 0; length <= seed.size(); ++length) {
        try {
            ReadPoFile(Path, std::string_view(seed).substr(0, length));
        } catch (const EPoFileError&) {
        }
    }
    std::mt19937 random(20240611);
    const std::string alphabet = "\"\\#\n\r\t ,.:|~x0789abfnrtv[]_\xC3\xA4\xF0\x80\xFF";
    for (int round = 0; round < 3000; ++round) {
        std::string text = seed;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int edit = 0; edit < edits; ++edit) {
            const size_t at = random() % text.size();
            switch (random() % 3) {
            case 0:
                text[at] = alphabet[random() % alphabet.size()];
                break;
            case 1:
                text.erase(at, 1 + random() % 8);
                break;
            default:
                text.insert(at, 1, alphabet[random() % alphabet.size()]);
                break;
            }
        }
        try {
            const std::vector<TPoEntry> entries = ReadPoFile(Path, text);
            // What reads writes again, and that reads to the same entries.
            ExpectSameEntries(ReadPoFile(Path, WritePoFile(entries)), entries);
        } catch (const EPoFileError&) {
        }
    }
}

} // namespace
