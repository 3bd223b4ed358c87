// Wide string lists: splitting and joining, events, sorting, names and values, streams and
// encodings, the ANSI adapter, and the stored forms of wide properties.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "FormData.h"
#include "FormLoader.h"
#include "FormWriter.h"
#include "VynClasses.h"
#include "WideCompare.h"

namespace {

std::vector<WideString> Entries(const TVynStrings& list) {
    std::vector<WideString> entries;
    for (int32_t i = 0; i < list.Count(); ++i)
        entries.push_back(list.Entry(i));
    return entries;
}

std::unique_ptr<TVynStringList> ListOf(std::initializer_list<WideString> entries) {
    auto list = std::make_unique<TVynStringList>();
    for (const WideString& entry : entries)
        list->AppendEntry(entry);
    return list;
}

AnsiString ListError(const std::function<void()>& action) {
    try {
        action();
    } catch (const EStringListError& error) {
        return error.Message();
    }
    return "no error";
}

TEST(WideStringListText, SplitsAtLineEndsAndStopsAtTheFirstZero) {
    TVynStringList list;
    list.SetAllText(u"x\r\n\r\n");
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"x", u""}));
    list.SetAllText(u"x\n\ry");
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"x", u"", u"y"}));
    list.SetAllText(u"a\u2028b\r\n\u2028c");
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"a", u"b", u"c"})) << "CR LF U+2028 is one line end";
    list.SetAllText(WideString(u"a\r\nb\0c\r\nd", 9));
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"a", u"b"}));
    list.SetAllText(u"");
    EXPECT_EQ(list.Count(), 0);

    EXPECT_EQ(ListOf({u""})->AllText(), u"\r\n");
    EXPECT_EQ(ListOf({u"a", u"bc"})->AllText(), u"a\r\nbc\r\n");
    EXPECT_EQ(ListOf({})->AllText(), u"");
    list.SetTextBuffer(nullptr);
    EXPECT_EQ(list.Count(), 0);
    list.SetTextBuffer(u"p\rq");
    const std::unique_ptr<char16_t[]> copy = list.CopyTextBuffer();
    EXPECT_EQ(WideString(copy.get()), u"p\r\nq\r\n");
}

TEST(WideStringListEvents, BracketsGiveOnePairOfEventsAndDestructionNone) {
    int changing = 0, changed = 0;
    auto* list = new TVynStringList;
    list->OnChanging = [&](TObject* sender) {
        EXPECT_EQ(sender, list);
        ++changing;
    };
    list->OnChange = [&](TObject*) { ++changed; };
    list->AppendEntry(u"a");
    list->AppendEntry(u"b");
    EXPECT_EQ(changing, 2);
    EXPECT_EQ(changed, 2);
    list->SetAllText(u"1\r\n2\r\n3");
    EXPECT_EQ(changing, 3);
    EXPECT_EQ(changed, 3);
    list->OpenUpdate();
    list->OpenUpdate();
    list->RemoveAt(0);
    list->CloseUpdate();
    EXPECT_EQ(changed, 3);
    list->CloseUpdate();
    list->CloseUpdate();  // unbalanced: ignored
    EXPECT_EQ(changing, 4);
    EXPECT_EQ(changed, 4);
    list->AppendEntry(u"after");
    EXPECT_EQ(changed, 5) << "an unbalanced close leaves events working";
    delete list;
    EXPECT_EQ(changed, 5);
}

TEST(WideStringListSorted, DuplicatesFollowTheirModeAndEditsInPlaceAreRefused) {
    TVynStringList list;
    list.SetSorted(true);
    list.AppendEntry(u"b");
    list.AppendEntry(u"a");
    EXPECT_EQ(list.AppendEntry(u"B"), 1) << "DupIgnore returns the equal entry";
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"a", u"b"}));

    list.SetDuplicates(DupError);
    EXPECT_EQ(ListError([&] { list.AppendEntry(u"A"); }), "String list does not allow duplicates");
    EXPECT_EQ(list.Count(), 2);

    list.SetDuplicates(DupAccept);
    TObject marker;
    list.AppendEntry(u"b");
    EXPECT_EQ(list.AppendWithObject(u"B", &marker), 1) << "goes before the run of equal entries";
    EXPECT_EQ(list.EntryObject(1), &marker);
    EXPECT_EQ(list.PositionOf(u"c"), -1);
    EXPECT_EQ(list.PositionOf(u"A"), 0);

    EXPECT_EQ(ListError([&] { list.InsertAt(0, u"z"); }), "Operation not allowed on sorted list");
    EXPECT_EQ(ListError([&] { list.SetEntry(0, u"z"); }), "Operation not allowed on sorted list");
    EXPECT_EQ(ListError([&] { list.MoveItem(0, 2); }), "Operation not allowed on sorted list");
    EXPECT_EQ(list.Count(), 4) << "a refused move loses nothing";
}

TEST(WideStringListSorted, SortingHappensWhenTurnedOnAndFollowsCaseSensitivity) {
    auto owned = ListOf({u"pear", u"Apple", u"fig", u"apple", u"Fig"});
    TVynStringList& list = *owned;
    int changed = 0;
    list.OnChange = [&](TObject*) { ++changed; };
    list.SetSorted(true);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(list.Entry(4), u"pear");
    EXPECT_EQ(list.CompareEntries(list.Entry(0), list.Entry(1)), 0);
    list.SortAll();
    EXPECT_EQ(changed, 1) << "a sorted list is not sorted again";

    list.SetCaseSensitive(true);
    for (int32_t i = 0; i + 1 < list.Count(); ++i)
        EXPECT_LT(list.CompareEntries(list.Entry(i), list.Entry(i + 1)), 0);
    EXPECT_EQ(list.PositionOf(u"Fig"), list.PositionOf(u"fig") + 1);

    // A comparison that contradicts itself cannot take the sort outside the list.
    auto odd = ListOf({u"c", u"a", u"b", u"d", u"e", u"f"});
    odd->SortWith([](TVynStringList&, int32_t, int32_t) { return -1; });
    EXPECT_EQ(odd->Count(), 6);
}

TEST(WideStringListStorage, GrowsInStepsAndChecksIndexes) {
    TVynStringList list;
    std::vector<int32_t> capacities;
    for (int i = 0; i < 80; ++i) {
        list.AppendEntry(u"x");
        if (capacities.empty() || capacities.back() != list.Capacity())
            capacities.push_back(list.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95}));
    EXPECT_EQ(ListError([&] { list.SetCapacity(10); }), "List capacity out of bounds (10)");
    EXPECT_EQ(ListError([&] { list.Entry(80); }), "List index out of bounds (80)");
    EXPECT_EQ(ListError([&] { list.RemoveAt(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(ListError([&] { list.SwapEntries(0, 99); }), "List index out of bounds (99)");
    EXPECT_EQ(ListError([&] { list.SwapEntries(-5, 99); }), "List index out of bounds (-5)");
    EXPECT_EQ(ListError([&] { list.InsertAt(81, u"y"); }), "List index out of bounds (81)");
    list.InsertAt(80, u"last");
    EXPECT_EQ(ListError([&] { list.MoveItem(0, 81); }), "List index out of bounds (81)");
    EXPECT_EQ(list.Count(), 81) << "a move to a bad place loses nothing";
    list.RemoveAll();
    EXPECT_EQ(list.Capacity(), 0);

    TObject first, second;
    list.AppendWithObject(u"one", &first);
    list.AppendWithObject(u"two", &second);
    list.AppendEntry(u"three");
    list.MoveItem(0, 2);
    EXPECT_EQ(Entries(list), (std::vector<WideString>{u"two", u"three", u"one"}));
    EXPECT_EQ(list.PositionOfObject(&first), 2);
    list.SwapEntries(0, 2);
    EXPECT_EQ(list.EntryObject(0), &first);
    EXPECT_EQ(list.Entry(2), u"two");
}

struct ModelEntry {
    WideString text;
    TObject* object;
};

// A long list under random adds, deletes, searches and exchanges, checked against a vector kept in
// the same order by the list's own comparison: long enough that entries live in many blocks.
TEST(WideStringListSorted, LongListsAgreeWithAModelThroughEveryEdit) {
    std::mt19937 random(20261209);
    std::vector<TObject> objects(64);
    // Few letters, so that equal keys (also equal but for case) are common.
    auto randomKey = [&] {
        WideString key;
        for (unsigned length = 1 + random() % 4; length > 0; --length)
            key += u"aAbBc"[random() % 5];
        return key;
    };
    TVynStringList list;
    list.SetSorted(true);
    list.SetDuplicates(DupAccept);
    int changes = 0;
    list.OnChange = [&](TObject*) { ++changes; };
    std::vector<ModelEntry> model;
    auto firstNotBefore = [&](const WideString& key) {
        return static_cast<int32_t>(std::partition_point(model.begin(), model.end(),
                                                         [&](const ModelEntry& entry) {
                                                             return CompareWideText(entry.text, key, false) <
                                                                    0;
                                                         }) -
                                    model.begin());
    };
    for (int step = 0; step < 20000; ++step) {
        const unsigned action = random() % 10;
        if (model.empty() || action < 6) {
            const WideString key = randomKey();
            TObject* object = &objects[random() % objects.size()];
            const int32_t expected = firstNotBefore(key);
            const int before = changes;
            ASSERT_EQ(list.AppendWithObject(key, object), expected) << "step " << step;
            EXPECT_EQ(changes, before + 1);
            model.insert(model.begin() + expected, {key, object});
        } else if (action < 8) {
            const auto at = static_cast<int32_t>(random() % model.size());
            list.RemoveAt(at);
            model.erase(model.begin() + at);
        } else {
            const WideString key = randomKey();
            const int32_t place = firstNotBefore(key);
            const bool present = place < static_cast<int32_t>(model.size()) &&
                                 CompareWideText(model[static_cast<size_t>(place)].text, key, false) == 0;
            ASSERT_EQ(list.PositionOf(key), present ? place : -1) << "step " << step;
        }
        ASSERT_EQ(list.Count(), static_cast<int32_t>(model.size()));
        if (!model.empty()) {
            const auto probe = static_cast<int32_t>(random() % model.size());
            ASSERT_EQ(list.Entry(probe), model[static_cast<size_t>(probe)].text) << "step " << step;
            ASSERT_EQ(list.EntryObject(probe), model[static_cast<size_t>(probe)].object) << "step " << step;
        }
    }
    for (size_t i = 0; i < model.size(); ++i) {
        ASSERT_EQ(list.Entry(static_cast<int32_t>(i)), model[i].text);
        ASSERT_EQ(list.EntryObject(static_cast<int32_t>(i)), model[i].object);
    }

    // Unsorted: exchanges, inserts and moves anywhere, then sorted again as a whole.
    list.SetSorted(false);
    for (int step = 0; step < 3000; ++step) {
        const auto a = static_cast<int32_t>(random() % model.size());
        const auto b = static_cast<int32_t>(random() % model.size());
        if (step % 3 == 0) {
            list.SwapEntries(a, b);
            std::swap(model[static_cast<size_t>(a)], model[static_cast<size_t>(b)]);
        } else if (step % 3 == 1) {
            list.InsertWithObject(a, u"inserted", &objects[0]);
            model.insert(model.begin() + a, {u"inserted", &objects[0]});
        } else {
            list.MoveItem(a, b);
            const ModelEntry moved = model[static_cast<size_t>(a)];
            model.erase(model.begin() + a);
            model.insert(model.begin() + b, moved);
        }
    }
    for (size_t i = 0; i < model.size(); ++i)
        ASSERT_EQ(list.Entry(static_cast<int32_t>(i)), model[i].text) << i;

    // A custom order over the whole list, then the list's own.
    list.SortWith([](TVynStringList& sorted, int32_t i, int32_t j) {
        return -CompareWideText(sorted.Entry(i), sorted.Entry(j), true);
    });
    for (int32_t i = 1; i < list.Count(); ++i)
        ASSERT_GE(CompareWideText(list.Entry(i - 1), list.Entry(i), true), 0) << i;
    list.SetSorted(true);
    std::vector<std::pair<WideString, TObject*>> expected, actual;
    for (const ModelEntry& entry : model)
        expected.emplace_back(entry.text, entry.object);
    for (int32_t i = 0; i < list.Count(); ++i) {
        actual.emplace_back(list.Entry(i), list.EntryObject(i));
        if (i > 0) {
            ASSERT_LE(CompareWideText(list.Entry(i - 1), list.Entry(i), false), 0) << i;
        }
    }
    std::sort(expected.begin(), expected.end());
    std::sort(actual.begin(), actual.end());
    EXPECT_EQ(actual, expected) << "sorting keeps every entry with its object";
    const int32_t count = list.Count();
    list.AppendEntry(u"bb");
    EXPECT_EQ(list.Count(), count + 1) << "adds after a sort go on working";
    EXPECT_EQ(list.Entry(list.PositionOf(u"bb")), u"bb");
}

TEST(WideStringListNames, NamesValuesAndTheSeparator) {
    auto owned = ListOf({u"a=1", u"B=2", u"xyz"});
    TVynStringList& list = *owned;
    EXPECT_EQ(list.ValueOf(u"b"), u"2");
    EXPECT_EQ(list.ValueOf(u"c"), u"");
    EXPECT_EQ(list.NameAt(0), u"a");
    EXPECT_EQ(list.NameAt(2), u"");
    EXPECT_EQ(list.ValueAt(2), u"yz");
    EXPECT_EQ(list.ValueAt(-1), u"");
    EXPECT_EQ(list.KeySeparator(), u'=');

    list.SetSorted(true);
    EXPECT_EQ(list.FindName(u"B"), 1);
    EXPECT_EQ(list.FindName(u"x"), -1);
    EXPECT_EQ(list.FindName(u"zzz"), -1);

    auto colons = ListOf({u"k:v"});
    colons->SetKeySeparator(u':');
    TVynStringList copy;
    copy.Assign(colons.get());
    EXPECT_EQ(copy.KeySeparator(), u':');
    EXPECT_EQ(copy.ValueOf(u"K"), u"v");
    copy.Assign(&copy);
    EXPECT_EQ(copy.Count(), 1) << "assigning a list to itself keeps it";
}

std::vector<WideString> ReadBytesDetecting(const AnsiString& bytes, TVynCharSet* detected = nullptr) {
    TMemoryStream stream;
    stream.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    if (detected != nullptr) {
        *detected = DetectStreamCharSet(stream);
        stream.SetPosition(0);
    }
    TVynStringList list;
    list.ReadFromStream(stream, true);
    return Entries(list);
}

TEST(WideStringListStreams, DetectionTellsEncodingsByTheirMarks) {
    TVynCharSet charSet = CharSetAnsi;
    EXPECT_EQ((ReadBytesDetecting(AnsiString("\xff\xfe" "A\0", 4), &charSet)), std::vector<WideString>{u"A"});
    EXPECT_EQ(charSet, CharSetUtf16LE);
    EXPECT_EQ((ReadBytesDetecting(AnsiString("\xfe\xff\0A\0\0\0B", 8), &charSet)),
              std::vector<WideString>{u"A"})
        << "big-endian text ends at its first zero unit";
    EXPECT_EQ(charSet, CharSetUtf16BE);
    EXPECT_EQ((ReadBytesDetecting("\xef\xbb\xbf"
                                  "A\xc3\xa9",
                                  &charSet)),
              std::vector<WideString>{u"A\u00e9"});
    EXPECT_EQ(charSet, CharSetUtf8);
    EXPECT_EQ((ReadBytesDetecting("AB", &charSet)), std::vector<WideString>{u"AB"});
    EXPECT_EQ(charSet, CharSetAnsi);
    EXPECT_EQ((ReadBytesDetecting("A", &charSet)), std::vector<WideString>{u"A"});
    EXPECT_EQ(charSet, CharSetAnsi);
    EXPECT_EQ((ReadBytesDetecting(AnsiString("\xff\xfe" "A\0B", 5))), std::vector<WideString>{u"A"})
        << "an odd last byte is dropped";
    EXPECT_TRUE(ReadBytesDetecting("").empty());

    // Without detection the stream is UTF-16LE from its position.
    TMemoryStream stream;
    stream.Write("xA\0", 3);
    stream.SetPosition(1);
    TVynStringList list;
    list.ReadFromStream(stream, false);
    EXPECT_EQ(Entries(list), std::vector<WideString>{u"A"});
}

TEST(WideStringListStreams, WritesUtf16LeAndFilesAlwaysWithAMark) {
    auto list = ListOf({u"\u00e9", u"b"});
    TMemoryStream stream;
    list->WriteToStream(stream, false);
    EXPECT_EQ(AnsiString(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size())),
              AnsiString("\xe9\0\r\0\n\0b\0\r\0\n\0", 12));

    const std::filesystem::path path = std::filesystem::temp_directory_path() / "ferrule-list-utf8.txt";
    {
        std::ofstream file(path, std::ios::binary);
        file << "\xef\xbb\xbf" "caf\xc3\xa9\r\nzwei";
    }
    TVynStringList loaded;
    const WideString name(path.u16string());
    loaded.LoadFromWideFile(name);
    EXPECT_EQ(loaded.LoadedCharSet(), CharSetUtf8);
    EXPECT_EQ(Entries(loaded), (std::vector<WideString>{u"caf\u00e9", u"zwei"}));
    loaded.SaveToWideFile(name);
    AnsiString saved;
    {
        std::ifstream file(path, std::ios::binary);
        saved.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    EXPECT_EQ(saved, AnsiString("\xff\xfe" "c\0a\0f\0\xe9\0\r\0\n\0z\0w\0e\0i\0\r\0\n\0", 26));
    std::filesystem::remove(path);
    EXPECT_THROW(loaded.LoadFromWideFile(name), EFOpenError);
}

TEST(WideStringListAdapter, FrameworkListsConvertBothWays) {
    TStringList ansi;
    TObject marker;
    ansi.Add("caf\xe9");
    ansi.AddObject("two", &marker);
    TVynStringList wide;
    wide.SetSorted(true);
    int changed = 0;
    wide.OnChange = [&](TObject*) { ++changed; };
    wide.Assign(&ansi);
    EXPECT_EQ(changed, 1) << "one bracket around the whole assignment";
    EXPECT_EQ(Entries(wide), (std::vector<WideString>{u"caf\u00e9", u"two"}))
        << "a sorted list takes them in order";
    EXPECT_EQ(wide.EntryObject(1), &marker);

    wide.AppendEntry(u"\u4e2d");
    TStringList back;
    back.Assign(&wide);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back.Strings(0), "caf\xe9");
    EXPECT_EQ(back.Objects(1), &marker);

    TAnsiStringsForWideStringsAdapter utf8(wide, static_cast<int32_t>(CodePageUtf8));
    EXPECT_EQ(utf8.Strings(0), "caf\xc3\xa9");
    TMemoryStream stream;
    utf8.WriteToStreamInCodePage(stream, CodePageUtf7);
    EXPECT_EQ(AnsiString(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size())),
              "caf+AOk\r\ntwo\r\n+Ti0\r\n") << "the code page passed in is the one used";
    stream.SetPosition(0);
    TVynStringList other;
    TAnsiStringsForWideStringsAdapter(other).ReadFromStreamInCodePage(stream, CodePageUtf7);
    EXPECT_EQ(Entries(other), Entries(wide));

    try {
        TComponent component(nullptr);
        wide.Assign(&component);
        FAIL();
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), "Cannot assign a TComponent to a TVynStringList");
    }
}

// A component with wide properties of every stored kind.
class TMemoLike : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    using TComponent::TComponent;
    TPersistent* Lines() { return &lines; }
    WideString Caption() const { return caption; }
    void SetCaption(const WideString& value) { caption = value; }
    char16_t PasswordChar() const { return passwordChar; }
    void SetPasswordChar(char16_t value) { passwordChar = value; }
    void DefineProperties(TFiler& filer) override {
        TComponent::DefineProperties(filer);
        DefineWideProperties(filer, *this);
    }

    TVynStringList lines;
    WideString caption;
    char16_t passwordChar = 0;
};

const TClassInfo& TMemoLike::StaticClassInfo() {
    static const TClassInfo info{
        "TMemoLike",
        &TComponent::StaticClassInfo(),
        {ObjectProperty<TMemoLike>("Lines", &TMemoLike::Lines),
         WideStringProperty<TMemoLike>("Caption", &TMemoLike::Caption, &TMemoLike::SetCaption),
         [] {
             TPropInfo info = WideCharProperty<TMemoLike>("PasswordChar", &TMemoLike::PasswordChar,
                                                          &TMemoLike::SetPasswordChar);
             info.Default = 0;
             return info;
         }()},
    };
    return info;
}

std::vector<AnsiString> PropertyNames(const TFormObject& object) {
    std::vector<AnsiString> names;
    for (const TFormProperty& property : object.Properties)
        names.push_back(property.Name);
    return names;
}

TEST(WideStreamForms, UtfSevenFormsAreWrittenOnlyForTextBeyondAscii) {
    TMemoLike memo(nullptr);
    memo.SetName("Memo1");
    EXPECT_EQ(PropertyNames(WriteComponentToForm(memo)), std::vector<AnsiString>{}) << "empty: nothing";

    memo.lines.AppendEntry(u"plain");
    memo.SetCaption(u"Text");
    memo.SetPasswordChar(u'*');
    TFormObject written = WriteComponentToForm(memo);
    EXPECT_EQ(PropertyNames(written),
              (std::vector<AnsiString>{"Lines.WideStrings", "Caption", "PasswordChar", "PasswordCharW"}));
    EXPECT_EQ(written.FindProperty("PasswordCharW")->Value.Wide, u"*");

    memo.lines.AppendEntry(u"caf\u00e9");
    memo.SetCaption(u"\u00e9t\u00e9");
    written = WriteComponentToForm(memo);
    EXPECT_EQ(PropertyNames(written),
              (std::vector<AnsiString>{"Lines.WideStrings", "Lines.WideStrings_UTF7", "Caption",
                                       "PasswordChar", "Caption_UTF7", "PasswordCharW"}));
    const TFormValue& utf7 = written.FindProperty("Lines.WideStrings_UTF7")->Value;
    ASSERT_EQ(utf7.List.size(), 2u);
    EXPECT_EQ(utf7.List[1].Text, "caf+AOk");
    EXPECT_EQ(written.FindProperty("Caption_UTF7")->Value.Text, "+AOk-t+AOk");
    EXPECT_EQ(written.FindProperty("Lines.WideStrings")->Value.List[1].Wide, u"caf\u00e9");

    // Through the binary stream and back into a fresh component, outside design state.
    TMemoLike copy(nullptr);
    ReadComponentFromForm(copy, ReadFormBinary(WriteFormBinary(written)));
    EXPECT_EQ(Entries(copy.lines), Entries(memo.lines));
    EXPECT_EQ(copy.Caption(), memo.Caption());
    EXPECT_EQ(copy.PasswordChar(), u'*');
    EXPECT_TRUE(copy.KeptProperties().empty());
    TMemoLike fromText(nullptr);
    ReadComponentFromForm(fromText, ParseFormText(RenderFormText(written)));
    EXPECT_EQ(Entries(fromText.lines), Entries(memo.lines));
    EXPECT_EQ(fromText.Caption(), memo.Caption());

    // An ancestor with the same entries and values leaves them out.
    TMemoLike ancestor(nullptr);
    ancestor.lines.Assign(&memo.lines);
    ancestor.SetCaption(memo.Caption());
    ancestor.SetPasswordChar(u'*');
    EXPECT_EQ(PropertyNames(WriteComponentToForm(memo, &ancestor)), std::vector<AnsiString>{});
    ancestor.lines.SetEntry(0, u"Plain");
    EXPECT_EQ(PropertyNames(WriteComponentToForm(memo, &ancestor)),
              (std::vector<AnsiString>{"Lines.WideStrings", "Lines.WideStrings_UTF7"}));
}

TFormObject MemoDescription(const char* properties) {
    return ParseFormText(AnsiString("object Memo1: TMemoLike\r\n") + properties + "end\r\n");
}

TEST(WideStreamForms, UtfFormsAreReadInDesignStateOnly) {
    const TFormObject utf7Lines =
        MemoDescription("  Lines.WideStrings_UTF7 = (\r\n    'caf+AOk')\r\n"
                        "  Caption_UTF7 = '+AOk'\r\n  PasswordChar_UTF7 = '+AOk'\r\n"
                        "  CaptionW = 'x'\r\n");
    TMemoLike running(nullptr);
    ReadComponentFromForm(running, utf7Lines);
    EXPECT_EQ(running.lines.Count(), 0);
    EXPECT_EQ(running.Caption(), u"");
    EXPECT_EQ(running.PasswordChar(), 0);

    TMemoLike designing(nullptr);
    designing.SetDesigning(true);
    ReadComponentFromForm(designing, utf7Lines);
    EXPECT_EQ(Entries(designing.lines), std::vector<WideString>{u"caf\u00e9"});
    EXPECT_EQ(designing.Caption(), u"x") << "CaptionW, read last, wins";
    EXPECT_EQ(designing.PasswordChar(), u'\u00e9');

    // The UTF-8 form fills an empty list outside design state, but leaves a filled one alone.
    const TFormObject utf8Lines = MemoDescription("  Lines.WideStringsW = (\r\n    'caf'#195#169)\r\n");
    TMemoLike empty(nullptr);
    ReadComponentFromForm(empty, utf8Lines);
    EXPECT_EQ(Entries(empty.lines), std::vector<WideString>{u"caf\u00e9"});
    TMemoLike filled(nullptr);
    filled.lines.AppendEntry(u"kept");
    ReadComponentFromForm(filled, utf8Lines);
    EXPECT_EQ(Entries(filled.lines), std::vector<WideString>{u"kept"});

    TMemoLike general(nullptr);
    ReadComponentFromForm(general, MemoDescription("  Lines.Strings = (\r\n    'a'\r\n    'b'#8364)\r\n"));
    EXPECT_EQ(Entries(general.lines), (std::vector<WideString>{u"a", u"b\u20ac"}));
    ReadComponentFromForm(general, MemoDescription("  Lines.WideStrings = 'one'#13#10'two'\r\n"));
    EXPECT_EQ(Entries(general.lines), (std::vector<WideString>{u"one", u"two"}))
        << "a single string is the text";
}

TEST(WideStreamForms, BadValuesAreReadErrorsNamingTheProperty) {
    auto readError = [](const char* properties) -> AnsiString {
        TMemoLike memo(nullptr);
        try {
            ReadComponentFromForm(memo, MemoDescription(properties));
        } catch (const EReadError& error) {
            return error.Message();
        }
        return "no error";
    };
    EXPECT_EQ(readError("  PasswordCharW = 'ab'\r\n"),
              "Error reading Memo1.PasswordCharW: Invalid property value");
    EXPECT_EQ(readError("  PasswordCharW = 5\r\n"),
              "Error reading Memo1.PasswordCharW: Invalid property value");
    EXPECT_EQ(readError("  Lines.WideStrings = 5\r\n"),
              "Error reading Memo1.Lines.WideStrings: Invalid property value");
    EXPECT_EQ(readError("  Lines.WideStringsW = (\r\n    5)\r\n"),
              "Error reading Memo1.Lines.WideStringsW: Invalid property value");
    TMemoLike memo(nullptr);
    ReadComponentFromForm(memo, MemoDescription("  PasswordCharW = ''\r\n"));
    EXPECT_EQ(memo.PasswordChar(), 0);
    memo.SetDesigning(true);
    EXPECT_THROW(ReadComponentFromForm(memo, MemoDescription("  Caption_UTF7 = '+'\r\n")), EVynGeneralError);
}

} // namespace
