// Form texts as the translation tools read them: every form of the repository renders back
// exactly, paths through panels, inline frames and collections, the string encoding and its way
// back, the value converters, the parse errors with their lines, and mutated texts that must give
// a tree or a parse error.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <typeinfo>

#include "Exceptions.h"
#include "FormData.h"
#include "UnitRegistry.h"
#include "VynSysUtilsPaths.h"
#include "VynTrxDfmUtils.h"

namespace {

namespace fs = std::filesystem;

AnsiString ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return AnsiString(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every form description of the source tree, build trees and hidden folders left out.
std::vector<fs::path> RepositoryForms() {
    std::vector<fs::path> forms;
    const fs::path root = FERRULE_SOURCE_DIR;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const AnsiString name = it->path().filename().string();
        if (it->is_directory() && (name.starts_with(".") || (it.depth() == 0 && name == "build"))) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file() && it->path().extension() == ".dfm")
            forms.push_back(it->path());
    }
    std::sort(forms.begin(), forms.end());
    return forms;
}

// The text the framework writes for a form description: what a module's form resource becomes.
AnsiString ResourceText(const AnsiString& description) {
    const std::vector<uint8_t> stream = WriteFormBinary(ParseFormText(description));
    return DfmBinaryToText(stream.data(), stream.size());
}

AnsiString SampleText() {
    return ResourceText(ReadFile(fs::path(FERRULE_SOURCE_DIR) / "tests/VynTrx/TranslatableForm.dfm"));
}

struct Raised {
    std::string Kind;
    AnsiString Message;
    WideString Subject;
};

// What an action raises, by exact class for the classes the parser uses.
Raised RaisedBy(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& error) {
        const std::type_info& type = typeid(error);
        const std::string kind = type == typeid(EVynInternalError) ? "EVynInternalError"
                                 : type == typeid(EParserError)    ? "EParserError"
                                 : type == typeid(EConvertError)   ? "EConvertError"
                                 : type == typeid(Exception)       ? "Exception"
                                                                   : type.name();
        return {kind, error.Message(), error.Subject()};
    }
    return {"nothing", "", u""};
}

std::map<AnsiString, TDfmProperty*> ByPath(const TDfmPropertyList& properties) {
    std::map<AnsiString, TDfmProperty*> byPath;
    for (TDfmProperty* property : properties)
        byPath.emplace(property->Path, property);
    return byPath;
}

TDfmObject* ChildNamed(TDfmObject& parent, const AnsiString& name) {
    for (const auto& child : parent.Children) {
        if (child->Name == name)
            return child.get();
    }
    return nullptr;
}

class DfmTest : public ::testing::Test {
protected:
    TUnitStartup units_{&VynTrxDfmUtilsUnit};
};

// ---- Round trips

TEST(DfmRoundTrip, EveryFormOfTheRepositoryRendersItsResourceTextExactly) {
    const std::vector<fs::path> forms = RepositoryForms();
    ASSERT_GE(forms.size(), 10u);
    for (const fs::path& path : forms) {
        SCOPED_TRACE(path.string());
        const std::vector<uint8_t> stream = WriteFormBinary(ParseFormText(ReadFile(path)));
        const AnsiString text = DfmBinaryToText(stream.data(), stream.size());
        TDfmForm form;
        TDfmPropertyList properties;
        form.Load(text, &properties, [](const AnsiString&, const AnsiString& rendered) {
            ADD_FAILURE() << "rendered differently:\n" << rendered;
        });
        EXPECT_FALSE(properties.empty());
        EXPECT_EQ(form.Render(), text);
        EXPECT_EQ(DfmTextToBinary(form.Render()), stream);
    }
}

TEST(DfmRoundTrip, ListsAndCollectionsKeepTheirLinesByteForByte) {
    TDfmForm form;
    TDfmPropertyList properties;
    const AnsiString text = SampleText();
    form.Parse(text, &properties);
    const auto byPath = ByPath(properties);
    EXPECT_EQ(byPath.at("TranslatableForm.Memo1.Lines.Strings")->Value,
              "(\r\n        'First line'\r\n        'Second line')");
    EXPECT_EQ(byPath.at("TranslatableForm.Image1.Picture.Data")->Value, "{\r\n      09544269746D6170}");
    TDfmProperty* sorts = byPath.at("TranslatableForm.Grid.Sorts");
    EXPECT_EQ(sorts->Value, "<>");
    EXPECT_FALSE(sorts->Items.has_value());
    EXPECT_EQ(form.Render(), text);
}

TEST_F(DfmTest, EditedValuesReachTheBinaryForm) {
    TDfmForm form;
    TDfmPropertyList properties;
    form.Load(SampleText(), &properties, nullptr);
    const auto byPath = ByPath(properties);
    const WideString longCaption = u"\u00C4rger's caption, " + WideString(80, u'x') + u" \U0001F600\r\nend";
    TextToDfmProp(*byPath.at("TranslatableForm.Caption"), longCaption);
    TextToDfmProp(*byPath.at("TranslatableForm.Grid.Columns[1].Title.Caption"), u"Stadt");
    TextToDfmProp(*byPath.at("TranslatableForm.OpenItem.ShortCut"), u"Shift+Ctrl+O");

    const std::vector<uint8_t> stream = DfmTextToBinary(form.Render());
    const TFormObject written = ReadFormBinary(stream);
    EXPECT_EQ(written.FindProperty("Caption")->Value.AsWideText(), longCaption);
    const TFormObject& grid = *written.FindChild("Grid");
    EXPECT_EQ(
        grid.FindProperty("Columns")->Value.Collection[1].FindProperty("Title.Caption")->Value.AsWideText(),
        u"Stadt");
    const TFormObject& openItem =
        *written.FindChild("MainMenu1")->FindChild("FileMenu")->FindChild("OpenItem");
    EXPECT_EQ(openItem.FindProperty("ShortCut")->Value.AsInteger(), 0x2000 | 0x4000 | 'O');

    // The edited form reads back as the translation tools read a module's form.
    TDfmForm reread;
    TDfmPropertyList rereadProperties;
    reread.Load(DfmBinaryToText(stream.data(), stream.size()), &rereadProperties, nullptr);
    EXPECT_EQ(DfmPropToText(*ByPath(rereadProperties).at("TranslatableForm.Caption")), longCaption);
}

// ---- Paths

TEST(DfmPaths, PanelsAddNoLevelButInlineClassesAndCollectionsDo) {
    TDfmForm form;
    TDfmPropertyList properties;
    form.Parse(SampleText(), &properties);
    const auto byPath = ByPath(properties);
    for (const char* path :
         {"TranslatableForm.Caption", "TranslatableForm.Label2.Caption",
          "TranslatableForm.Memo1.Lines.Strings", "TranslatableForm.OpenItem.ShortCut",
          "TranslatableForm.Frame1.Left", "TranslatableForm.Frame1.FrameLabel.Caption",
          "TranslatableForm.Grid.Columns", "TranslatableForm.Grid.Columns[0].Title.Caption",
          "TranslatableForm.Grid.Columns[0].Width", "TranslatableForm.Grid.Columns[1].Title.Caption"})
        EXPECT_EQ(byPath.count(path), 1u) << path;

    TDfmObject& panel = *ChildNamed(form, "Panel1");
    TDfmObject& frame = *ChildNamed(form, "Frame1");
    EXPECT_EQ(ChildNamed(panel, "Label2")->PathParent, &form);
    EXPECT_EQ(ChildNamed(frame, "FrameLabel")->PathParent, &frame);
    EXPECT_EQ(form.PathParent, &form);
    EXPECT_EQ(frame.Keyword, "inline");
    EXPECT_EQ(frame.ComponentClass, "TAddressFrame");

    TDfmProperty& columns = *byPath.at("TranslatableForm.Grid.Columns");
    ASSERT_TRUE(columns.Items.has_value());
    ASSERT_EQ(columns.Items->size(), 2u);
    const TDfmObject& second = *columns.Items->at(1);
    EXPECT_EQ(second.Path, "TranslatableForm.Grid.Columns[1]");
    EXPECT_EQ(second.Name, "item");
    EXPECT_TRUE(second.Keyword.empty() && second.ComponentClass.empty());
    EXPECT_EQ(second.Depth, columns.Owner->Depth + 2);
    EXPECT_EQ(second.PathParent, columns.Owner);

    // Every path the form lists as translatable is a property the parser found.
    ASSERT_NE(form.TranslatableProps, nullptr);
    EXPECT_EQ(form.TranslatableProps->Count(), 10);
    for (int32_t i = 0; i < form.TranslatableProps->Count(); ++i) {
        const WideString entry = form.TranslatableProps->Entry(i);
        EXPECT_EQ(byPath.count(AnsiString(entry.begin(), entry.end())), 1u);
    }
    ASSERT_NE(form.InlineClasses, nullptr);
    EXPECT_EQ(form.InlineClasses->Entry(0), u"TAddressFrame");
}

TEST(DfmPaths, AFormWithoutListsHasNoneAndUnnamedObjectsKeepTheirHeader) {
    const AnsiString text =
        "object Main: TMain\r\n  Left = 1\r\n  object TTimer\r\n    Interval = 5\r\n  end\r\nend\r\n";
    TDfmForm form;
    form.Parse(text, nullptr);
    EXPECT_EQ(form.TranslatableProps, nullptr);
    EXPECT_EQ(form.InlineClasses, nullptr);
    const TDfmObject& timer = *form.Children.at(0);
    EXPECT_TRUE(timer.Name.empty());
    EXPECT_EQ(timer.ComponentClass, "TTimer");
    EXPECT_EQ(form.Render(), text);
}

TEST(DfmRender, ItemsRebuildTheirCollectionValue) {
    TDfmForm form;
    TDfmPropertyList properties;
    form.Parse(SampleText(), &properties);
    TDfmProperty& title = *ByPath(properties).at("TranslatableForm.Grid.Columns[0].Title.Caption");
    title.Value = "'Vorname'";
    const AnsiString rendered = form.Render();
    EXPECT_NE(rendered.find("    Columns = <\r\n      item\r\n        Title.Caption = 'Vorname'\r\n"),
              AnsiString::npos)
        << rendered;
    EXPECT_NE(rendered.find("        Title.Caption = 'City'\r\n      end>\r\n    Sorts = <>\r\n"),
              AnsiString::npos)
        << rendered;
    EXPECT_EQ(title.Owner->Render(),
              "      item\r\n        Title.Caption = 'Vorname'\r\n        Width = 120\r\n      end\r\n");
}

// ---- The string encoding

TEST_F(DfmTest, StringsEncodeAndReadBack) {
    const WideString ordinary64(64, u'a');
    const struct {
        WideString Text;
        AnsiString Literal;
    } cases[] = {
        {u"", "''"},
        {ordinary64, "'" + AnsiString(64, 'a') + "'"},
        {ordinary64 + u"b", "\r\n'" + AnsiString(64, 'a') + "' +\r\n'b'"},
        {WideString(130, u'c'),
         "\r\n'" + AnsiString(64, 'c') + "' +\r\n'" + AnsiString(64, 'c') + "' +\r\n'cc'"},
        {u"It's", "'It'#39's'"},
        {u"'", "#39"},
        {u"a\x7F"
         u"b",
         "'a\x7F"
         "b'"},
        {u"Stra\u00DFe \u00E4", "'Stra'#223'e '#228"},
        {u"\U0001F600", "#55357#56832"},
        {u"one\r\ntwo", "'one'#13#10'two'"},
        {u"\t", "#9"},
        // A line holds 64 characters of the text, #codes counting as one.
        {WideString(63, u'a') + u"\u00E4" + u"zz", "\r\n'" + AnsiString(63, 'a') + "'#228 +\r\n'zz'"},
        {WideString(65, u'\u00E4'), "\r\n" +
                                        [] {
                                            AnsiString codes;
                                            for (int i = 0; i < 64; ++i)
                                                codes += "#228";
                                            return codes;
                                        }() +
                                        " +\r\n#228"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DfmStringLiteral(c.Text), c.Literal);
        TDfmProperty caption;
        caption.Name = "Caption";
        caption.Value = c.Literal;
        EXPECT_EQ(DfmPropToText(caption), c.Text) << c.Literal;
    }
}

TEST_F(DfmTest, RandomTextsEncodeIntoShortLinesWhoseQuotedRunsNeverTouch) {
    std::mt19937 random(4711);
    // Lone halves of the surrogate pair too: the text is code units, not characters.
    const char16_t alphabet[] = u"ab '\r\n\u00E4\x7F\0\U0001F600~#+";
    for (int i = 0; i < 3000; ++i) {
        WideString text;
        for (size_t length = random() % 200; length > 0; --length)
            text += alphabet[random() % (std::size(alphabet) - 1)];
        const AnsiString literal = DfmStringLiteral(text);
        TDfmProperty hint;
        hint.Name = "Hint";
        hint.Value = literal;
        ASSERT_EQ(DfmPropToText(hint), text) << literal;
        if (!text.empty()) {
            ASSERT_EQ(literal.find("''"), AnsiString::npos) << literal;
        }
        ASSERT_EQ(literal.starts_with("\r\n"), text.size() > 64);
        for (size_t start = literal.starts_with("\r\n") ? 2 : 0; start < literal.size();) {
            const size_t end = std::min(literal.find("\r\n", start), literal.size());
            // 64 characters of at most "#nnnnn" each, and " +".
            ASSERT_LE(end - start, 64u * 6 + 2) << literal;
            start = end + 2;
        }
    }
}

// ---- Converters

TEST_F(DfmTest, ConvertersAreFoundByNameWithoutRegardToCase) {
    TDfmProperty property;
    property.Name = "title.caption";
    property.Value = "\r\n    'Long' +\r\n    ' title'";
    EXPECT_EQ(DfmPropToText(property), u"Long title");
    property.Name = "Width";
    property.Value = "120";
    for (const Raised& raised :
         {RaisedBy([&] { DfmPropToText(property); }), RaisedBy([&] { TextToDfmProp(property, u"1"); })}) {
        EXPECT_EQ(raised.Kind, "EVynInternalError");
        EXPECT_EQ(raised.Message, "Property can not be converted for : Width");
    }
    EXPECT_EQ(property.Value, "120");
    property.Name = "Caption";
    property.Value = "'a' + 1";
    EXPECT_EQ(RaisedBy([&] { DfmPropToText(property); }).Kind, "EParserError");
}

TEST_F(DfmTest, ShortcutValuesShowAsTheirNames) {
    TDfmProperty shortCut;
    shortCut.Name = "ShortCut";
    const auto toText = [&](const AnsiString& value) {
        shortCut.Value = value;
        return DfmPropToText(shortCut);
    };
    const auto toValue = [&](const WideString& text) {
        TextToDfmProp(shortCut, text);
        return shortCut.Value;
    };
    EXPECT_EQ(toText("16463"), u"Ctrl+O");
    EXPECT_EQ(toText("0"), u"");
    EXPECT_EQ(toValue(u"Shift+Ctrl+F5"), "24692");
    EXPECT_EQ(toValue(u""), "0");
    EXPECT_EQ(toText(toValue(u"Alt+Num +")), u"Alt+Num +");
    // A value no name stands for stays a number, so that editing nothing changes nothing.
    EXPECT_EQ(toText("16570"), u"16570");
    EXPECT_EQ(toValue(u"16570"), "16570");
    EXPECT_EQ(toText("-1"), u"-1");
    EXPECT_EQ(toText("70000"), u"70000");

    EXPECT_EQ(RaisedBy([&] { toText("ctrl"); }).Message, "'ctrl' is not a valid shortcut value");
    shortCut.Value = "70000";
    const Raised unknown = RaisedBy([&] { toValue(u"Ctrl+Foo"); });
    EXPECT_EQ(unknown.Kind, "EConvertError");
    EXPECT_EQ(unknown.Message, "'Ctrl+Foo' is not a valid shortcut");
    EXPECT_EQ(shortCut.Value, "70000") << "a refused text leaves the value alone";
}

// ---- Errors

struct ParseCase {
    const char* Text;
    std::string Kind;
    const char* Message;
    const char16_t* Subject;
};

TEST(DfmParseErrors, MalformedTextsRaiseNamingWhatAndWhere) {
    const ParseCase cases[] = {
        {"", "EVynInternalError", "Dfm parse error: No more strings to find properties.", u"line 1"},
        {"object A: TA\r\n  Left = 1\r\n", "EVynInternalError",
         "Dfm parse error: No more strings to find properties.", u"line 3"},
        {"object A: TA\r\n  object B: TB\r\n  end\r\n", "EVynInternalError",
         "Dfm parse error: No more strings to find objects.", u"line 4"},
        {"object A: TA\r\n  Items = <\r\n    thing\r\n    end>\r\nend\r\n", "Exception",
         "Collection Item (Items[0]) must be = 'item': thing", u"line 3"},
        {"object A: TA\r\n  Items = <x\r\nend\r\n", "Exception",
         "Collection Property must have 2 lines (<x).", u"line 2"},
        {"object A: TA\r\n  Items = <x\r\n    item\r\n    end>\r\nend\r\n", "Exception",
         "Collection must start with \"<\": '<x'", u"line 2"},
        {"object A: TA\r\n  Items = <\r\n    item\r\n    end\r\nend\r\n", "Exception",
         "Collection must end with \"end>\": 'end'", u"line 4"},
        // The second "item" reads as a child of the first, which then runs out of lines.
        {"object A: TA\r\n  Items = <\r\n    item\r\n    item\r\n    end>\r\nend\r\n", "EVynInternalError",
         "Dfm parse error: No more strings to find objects.", u"line 6"},
        {"object A: TA\r\n  VynTranslatableProps.WideStrings = (\r\n    'a' +\r\n    b)\r\nend\r\n",
         "EParserError", "Line 3: String expected", u"line 2"},
        {"object A: TA\r\n  VynInlineClasses.WideStrings = (\r\n    'TFrame'\r\nend\r\n", "EParserError",
         "Line 2: ')' expected", u"line 2"},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.Text);
        TDfmForm form;
        TDfmPropertyList properties{nullptr};
        const Raised raised = RaisedBy([&] { form.Parse(c.Text, &properties); });
        EXPECT_EQ(raised.Kind, c.Kind);
        EXPECT_EQ(raised.Message, c.Message);
        EXPECT_EQ(raised.Subject, c.Subject);
        EXPECT_EQ(properties.size(), 1u) << "nothing of a failed form is listed";
        EXPECT_TRUE(form.Properties.empty() && form.Children.empty() && form.Name.empty());
    }
}

TEST(DfmParseErrors, DeepNestingIsRefusedBeforeTheStackRunsOut) {
    AnsiString text;
    for (int depth = 0; depth < 2000; ++depth)
        text +=
            AnsiString(2 * static_cast<size_t>(depth), ' ') + "object O" + std::to_string(depth) + ": T\r\n";
    const Raised raised = RaisedBy([&] {
        TDfmForm form;
        form.Parse(text, nullptr);
    });
    EXPECT_EQ(raised.Kind, "EVynInternalError");
    EXPECT_EQ(raised.Message, "Dfm parse error: Object O256 nests too deep.");
}

TEST(DfmSelfCheck, ATextThatRendersDifferentlyIsRefusedWithBothTexts) {
    const AnsiString text = "object A: TA\r\n  Left=1\r\nend\r\n";
    TDfmForm form;
    TDfmPropertyList properties;
    AnsiString original;
    AnsiString rendered;
    const Raised raised = RaisedBy([&] {
        form.Load(text, &properties, [&](const AnsiString& o, const AnsiString& r) {
            original = o;
            rendered = r;
        });
    });
    EXPECT_EQ(raised.Kind, "EVynInternalError");
    EXPECT_EQ(raised.Message, DfmRenderMismatchMessage);
    EXPECT_EQ(original, text);
    EXPECT_EQ(rendered, "object A: TA\r\n  Left = 1\r\nend\r\n");
    EXPECT_TRUE(properties.empty());
    EXPECT_TRUE(form.Properties.empty());
}

// ---- Fuzzing

// Byte and line mutations of real form texts must give a form or one of the parser's errors,
// never a crash or a read past the text; a form that loads renders its text back.
TEST(DfmFuzz, MutatedFormTextsGiveATreeOrAParseError) {
    std::vector<AnsiString> seeds{SampleText()};
    for (const fs::path& path : RepositoryForms())
        seeds.push_back(ResourceText(ReadFile(path)));
    std::mt19937 random(1809);
    int loaded = 0;
    int refused = 0;
    for (int i = 0; i < 6000; ++i) {
        AnsiString text = seeds[random() % seeds.size()];
        for (unsigned m = 1 + random() % 3; m > 0 && !text.empty(); --m) {
            const size_t at = random() % text.size();
            static const char* const Pieces[] = {"=", "<", ">",       "end",     "end>", "item", "<>",
                                                 "(", ")", "'",       "\r\n",    "\r",   "\n",   "  ",
                                                 " ", ":", "object ", "inline ", "+",    "#"};
            switch (random() % 4) {
            case 0:
                text.insert(at, Pieces[random() % std::size(Pieces)]);
                break;
            case 1:
                text.erase(at, 1 + random() % 12);
                break;
            case 2:
                text[at] = static_cast<char>(random());
                break;
            default: {
                // Move a whole line elsewhere, which shifts indentation and structure.
                const size_t start = text.rfind('\n', at) == AnsiString::npos ? 0 : text.rfind('\n', at) + 1;
                const size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
                const AnsiString line = text.substr(start, end - start);
                text.erase(start, end - start);
                text.insert(random() % (text.size() + 1), line);
                break;
            }
            }
        }
        TDfmForm form;
        TDfmPropertyList properties;
        const Raised raised = RaisedBy([&] { form.Load(text, &properties, nullptr); });
        if (raised.Kind == "nothing") {
            ++loaded;
            ASSERT_EQ(form.Render(), text);
            continue;
        }
        ++refused;
        ASSERT_TRUE(raised.Kind == "EVynInternalError" || raised.Kind == "EParserError" ||
                    raised.Kind == "Exception")
            << raised.Kind << ": " << raised.Message;
        ASSERT_TRUE(properties.empty());
        // Whatever parses, even where the self-check refuses it, renders without fault.
        TDfmForm parsedOnly;
        if (RaisedBy([&] { parsedOnly.Parse(text, nullptr); }).Kind == "nothing")
            parsedOnly.Render();
    }
    EXPECT_GT(loaded, 100);
    EXPECT_GT(refused, 1000);
}

} // namespace
