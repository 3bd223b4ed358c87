// The translation table over real modules: copies of the stand-in payload given string tables,
// an identifier map, a form (TableFixtureForm.dfm, compiled by the build and linked into this
// program) and a build identifier by resource update; and this program itself.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Application.h"
#include "DB.h"
#include "Exceptions.h"
#include "Handles.h"
#include "UnitRegistry.h"
#include "VynForms.h"
#include "VynLXDataSet.h"
#include "VynLXFlashMsg.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxDfmUtils.h"
#include "VynTrxTable.h"
#include "VynTrxTableResStr.h"
#include "VynTrxUtils.h"
#include "VynWindows.h"
#include "TrxFixtureModules.h"
#include "WineTestSupport.h"

namespace {

template <class E> std::string RaisedMessage(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& error) {
        return error.Message();
    } catch (const std::exception& error) {
        return std::string("<another exception: ") + error.what() + ">";
    }
    return "<nothing raised>";
}

// What the failure of class E that action raises concerns.
template <class E> std::u16string SubjectOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& error) {
        return error.Subject();
    } catch (const std::exception&) {
        return u"<another exception>";
    }
    return u"<nothing raised>";
}

std::vector<std::u16string> Column(TVynTransTable& table, const std::function<std::u16string()>& value) {
    std::vector<std::u16string> values;
    table.First();
    while (!table.Eof()) {
        values.push_back(value());
        table.Next();
    }
    return values;
}

class TransTable : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit,
            &VynLXFlashMsgUnit, &VynLXDataSetUnit, &VynTrxDfmUtilsUnit, &VynTrxUtilsUnit});
    }
    void TearDown() override { units_.reset(); }

    // A copy of the stand-in with the content's resources.
    std::wstring MakeModule(const std::wstring& name, const ModuleContent& content) {
        return MakeFixtureModule(folder_.Path() + L"\\" + name, content);
    }

    static std::wstring ProgramPath() {
        wchar_t path[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        return path;
    }

    std::unique_ptr<TUnitStartup> units_;
    ScratchFolder folder_{L"TransTable"};
    const std::wstring application_ = L"C:\\Program Files\\Fixture\\Fixture.exe";
};

TEST_F(TransTable, RowsAreTheListedFormPropertiesAndTheNamedResourceStrings) {
    const std::wstring module = MakeModule(L"Fixture.DEU", {});
    TVynTransTable table;
    table.LoadFromModule(Wide(application_), Wide(module));

    EXPECT_EQ(Column(table, [&] { return table.TranID(); }),
              (std::vector<std::u16string>{
                  u"TableFixtureForm.Caption", u"TableFixtureForm.Grid.Columns[1].Title.Caption",
                  u"TableFixtureForm.Label1.Caption", u"TableFixtureForm.OpenItem.ShortCut", u"U_SFiles",
                  u"U_SFourth", u"U_SPlain", u"U_SSixth"}))
        << "listed paths once each, the first of equal paths, no unnamed string, sorted by TranID";
    EXPECT_EQ(Column(table, [&] { return table.TranValue(); }),
              (std::vector<std::u16string>{u"Fixture caption", u"City", u"Stra\u00DFe", u"Ctrl+O",
                                           u"%s has %d files", u"Fourth", u"Plain text", u"Sixth"}));
    EXPECT_EQ(
        Column(table, [&] { return table.TranType(); }),
        (std::vector<std::u16string>{u"Caption", u"Title.Caption", u"Caption", u"ShortCut", u"resourcestring",
                                     u"resourcestring", u"resourcestring", u"resourcestring"}));
    table.First();
    while (!table.Eof()) {
        SCOPED_TRACE(Win(table.TranID()));
        EXPECT_FALSE(table.Translated());
        EXPECT_EQ(table.Comment(), u"");
        EXPECT_EQ(table.RefValue(), u"");
        if (!table.IsStringResource()) {
            EXPECT_EQ(AnsiToWide(table.DfmProperty().Path), table.TranID());
        }
        table.Next();
    }
    ASSERT_TRUE(table.GotoTranID(u"u_sfourth")) << "without regard to case";
    EXPECT_EQ(table.StringTableID(), 3203);
    EXPECT_FALSE(table.GotoTranID(u"U_SUnnamed"));
    EXPECT_EQ(table.TranID(), u"U_SFourth") << "a failed search does not move";
    EXPECT_FALSE(table.EditingApplication());
    EXPECT_FALSE(table.TableModified());
    EXPECT_EQ(table.ModuleFileName(), Wide(module));
    EXPECT_FALSE(table.StringTableIDOrPDfmPropField().Visible());
}

TEST_F(TransTable, SideResourcesGiveTheMarksAndComments) {
    ModuleContent content;
    content.TranslatedMarks = u"TableFixtureForm.Caption=false\r\nU_SPlain=FALSE\r\nU_SFiles=TRUE\r\n"
                              u"TableFixtureForm.Label1.Caption=\r\nu_sfourth=True\r\n";
    content.Comments = u"U_SFiles=needs a=b review\r\nTableFixtureForm.Caption=short\r\n";
    const std::wstring module = MakeModule(L"Fixture.DEU", content);
    TVynTransTable table;
    table.LoadFromModule(Wide(application_), Wide(module));

    const auto state = [&](const char16_t* id) {
        EXPECT_TRUE(table.GotoTranID(id)) << Win(id);
        return std::make_pair(table.Translated(), table.Comment());
    };
    EXPECT_EQ(state(u"TableFixtureForm.Caption"), std::make_pair(false, std::u16string(u"short")));
    EXPECT_EQ(state(u"U_SPlain"), std::make_pair(false, std::u16string()));
    EXPECT_EQ(state(u"U_SFiles"), std::make_pair(true, std::u16string(u"needs a=b review")));
    EXPECT_EQ(state(u"TableFixtureForm.Label1.Caption"), std::make_pair(false, std::u16string()));
    EXPECT_EQ(state(u"U_SFourth"), std::make_pair(true, std::u16string()));
    EXPECT_EQ(state(u"U_SSixth"), std::make_pair(false, std::u16string())) << "no entry: untranslated";
}

TEST_F(TransTable, TypedAccessorsKeepToTheirKindOfRow) {
    TVynTransTable table;
    table.LoadFromModule(Wide(application_), Wide(MakeModule(L"Fixture.DEU", {})));

    ASSERT_TRUE(table.GotoTranID(u"U_SPlain"));
    EXPECT_EQ(RaisedMessage<EVynInternalError>([&] { table.PDfmProp(); }),
              "Can not get PDfmProp for a string resource.");
    table.Edit();
    EXPECT_EQ(RaisedMessage<EVynInternalError>([&] { table.SetPDfmProp(0); }),
              "Can not set PDfmProp for a string resource.");
    table.Cancel();

    ASSERT_TRUE(table.GotoTranID(u"TableFixtureForm.Caption"));
    EXPECT_EQ(RaisedMessage<EVynInternalError>([&] { table.StringTableID(); }),
              "Can not get StringTableID if not a string resource.");
    table.Edit();
    EXPECT_EQ(RaisedMessage<EVynInternalError>([&] { table.SetStringTableID(1); }),
              "Can not set StringTableID if not a string resource.");
    table.Cancel();

    table.Insert();
    EXPECT_FALSE(table.TranslatedField().IsNull()) << "a new row starts untranslated";
    EXPECT_FALSE(table.Translated());
    EXPECT_EQ(RaisedMessage<EVynInternalError>([&] { table.PDfmProp(); }),
              "Can not get PDfmProp for an undefined type.");
    EXPECT_EQ(RaisedMessage<EVynInternalError>([&] { table.SetPDfmProp(0); }),
              "Can not set PDfmProp for an undefined type.");
    table.SetTranType(u"Caption");
    table.SetPDfmProp(9999);
    EXPECT_EQ(RaisedMessage<EVynInternalError>([&] { table.DfmProperty(); }),
              "Internal Error: PDfmProp 9999 is not a property of the table.");
    table.Cancel();
}

TEST_F(TransTable, OnlyAPreparedModuleLoads) {
    const std::wstring plain = folder_.Path() + L"\\Plain.DEU";
    ASSERT_TRUE(::CopyFileW(HostPath(STANDIN_DAO_PATH).c_str(), plain.c_str(), FALSE));
    ModuleContent placeholder;
    placeholder.Guid = TrxPlaceholderGuid;
    const std::wstring unstamped = MakeModule(L"Unstamped.DEU", placeholder);
    const std::wstring missing = folder_.Path() + L"\\Missing.DEU";

    TVynTransTable table;
    for (const std::wstring& file : {plain, unstamped, missing}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(
            RaisedMessage<EVynInternalError>([&] { table.LoadFromModule(Wide(application_), Wide(file)); }),
            "Internal Error: VYN.DRC or VYN_TRX_GUID resource not created.  (" + WideToAnsi(Wide(file)) + ")")
            << "the module is checked before the file name";
        EXPECT_EQ(SubjectOf<EVynInternalError>([&] { table.LoadFromModule(Wide(application_), Wide(file)); }),
                  Wide(file));
    }
    EXPECT_FALSE(table.ControlsDisabled());
}

TEST_F(TransTable, AFormatThatTakesOtherArgumentsStopsThePost) {
    TVynTransTable table;
    table.LoadFromModule(Wide(application_), Wide(MakeModule(L"Fixture.DEU", {})));
    ASSERT_TRUE(table.GotoTranID(u"U_SFiles"));
    table.Edit();
    table.SetRefValue(u"%s has %d files");
    table.SetTranValue(u"%d has %s files");
    EXPECT_EQ(RaisedMessage<EVynGeneralError>([&] { table.Post(); }),
              "Argument types for index 0 do not match. (%0:s <> %0:d)");
    EXPECT_EQ(SubjectOf<EVynGeneralError>([&] { table.Post(); }), u"U_SFiles");
    EXPECT_EQ(table.State(), dsEdit) << "the row stays in edit for the caller to correct";
    EXPECT_EQ(table.TranValue(), u"%d has %s files");
    EXPECT_FALSE(table.TableModified());

    table.SetTranValue(u"%1:d Dateien in %0:s");
    table.Post();
    EXPECT_TRUE(table.TableModified());
    EXPECT_EQ(table.StringTables().front()[0].Text, u"%1:d Dateien in %0:s") << "written back at once";

    table.SetFormatCheckOff(true);
    table.Edit();
    table.SetTranValue(u"no arguments");
    table.Post();
    EXPECT_EQ(table.TranValue(), u"no arguments");
}

TEST_F(TransTable, ACommentWithALineBreakIsRefusedSoTheCommentsKeepOneRowALine) {
    const std::wstring module = MakeModule(L"Fixture.DEU", {});
    TVynTransTable table;
    table.LoadFromModule(Wide(application_), Wide(module));
    ASSERT_TRUE(table.GotoTranID(u"U_SPlain"));
    for (const char16_t* comment : {u"first line\r\nU_SSixth=planted", u"first\nsecond", u"first\rsecond"}) {
        table.Edit();
        table.SetComment(comment);
        EXPECT_EQ(RaisedMessage<EVynGeneralError>([&] { table.Post(); }),
                  "A comment can not contain line breaks.");
        EXPECT_EQ(SubjectOf<EVynGeneralError>([&] { table.Post(); }), u"U_SPlain");
        EXPECT_EQ(table.State(), dsEdit);
        EXPECT_EQ(table.Comment(), comment);
        table.Cancel();
    }
    table.Edit();
    table.SetComment(u"one line = one row\u2028still this row");
    table.Post();
    table.SaveToModule(false);

    TVynTransTable reread;
    reread.LoadFromModule(Wide(application_), Wide(module));
    ASSERT_TRUE(reread.GotoTranID(u"U_SPlain"));
    EXPECT_EQ(reread.Comment(), u"one line = one row\u2028still this row");
    ASSERT_TRUE(reread.GotoTranID(u"U_SSixth"));
    EXPECT_EQ(reread.Comment(), u"");

    // A record stored in one step never passes the post's check; saving refuses it instead.
    reread.AppendRecord({TVariant::FromWide(u"U_SExtra"), TVariant::FromWide(u"resourcestring"),
                         TVariant::FromInteger(1700), TVariant(), TVariant::FromWide(u"x"),
                         TVariant::FromWide(u"a\r\nb"), TVariant::FromBoolean(false)});
    EXPECT_EQ(RaisedMessage<EVynGeneralError>([&] { reread.SaveToModule(false); }),
              "A comment can not contain line breaks.");
    EXPECT_EQ(TextOf(ResourceBytes(module, RT_RCDATA, L"VYN_TRX_XRC")),
              u"U_SPlain=one line = one row\u2028still this row\r\n")
        << "the module is left as it was";
}

TEST_F(TransTable, SideResourcesAreWrittenLineByLineOrAsASingleDot) {
    const std::wstring module = MakeModule(L"Fixture.DEU", {});
    TVynTransTable table;
    table.LoadFromModule(Wide(application_), Wide(module));
    table.SaveToModule(false);
    EXPECT_EQ(ResourceBytes(module, RT_RCDATA, L"VYN_TRX_XRC"), TextBytes(u"."));
    EXPECT_EQ(ResourceBytes(module, RT_RCDATA, L"VYN.XRS"), TextBytes(u"."));
    EXPECT_FALSE(table.TableModified());

    ASSERT_TRUE(table.GotoTranID(u"U_SSixth"));
    table.Edit();
    table.SetTranslated(true);
    table.SetComment(u"checked");
    table.Post();
    ASSERT_TRUE(table.GotoTranID(u"TableFixtureForm.Caption"));
    table.Edit();
    table.SetTranslated(true);
    table.Post();
    ASSERT_TRUE(table.GotoTranID(u"U_SFiles"));
    table.Edit();
    table.SetComment(u"plural?");
    table.Post();
    EXPECT_TRUE(table.TableModified());
    table.SaveToModule(false);
    EXPECT_FALSE(table.TableModified());
    EXPECT_EQ(table.TranID(), u"U_SFiles") << "the current row stays current";

    EXPECT_EQ(ResourceBytes(module, RT_RCDATA, L"VYN_TRX_XRC"),
              TextBytes(u"U_SFiles=plural?\r\nU_SSixth=checked\r\n"));
    EXPECT_EQ(ResourceBytes(module, RT_RCDATA, L"VYN.XRS"),
              TextBytes(u"TableFixtureForm.Caption=TRUE\r\nU_SSixth=TRUE\r\n"));
}

TEST_F(TransTable, SavedStringsAndFormsKeepTheirPlaces) {
    const std::wstring module = MakeModule(L"Fixture.DEU", {});
    TVynTransTable table;
    table.LoadFromModule(Wide(application_), Wide(module));
    const auto change = [&](const char16_t* id, const char16_t* value) {
        ASSERT_TRUE(table.GotoTranID(id));
        table.Edit();
        table.SetTranValue(value);
        table.Post();
    };
    change(u"U_SSixth", u"Sechste");
    change(u"TableFixtureForm.Label1.Caption", u"Rue \u00E0 'quote'");
    change(u"TableFixtureForm.OpenItem.ShortCut", u"Ctrl+S");
    table.SaveToModule(false);

    const std::vector<std::u16string> block = StringBlockOf(module, 201);
    ASSERT_EQ(block.size(), 16u);
    for (size_t k = 0; k < 16; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(block[k], k == 3   ? u"Fourth"
                            : k == 5 ? u"Sechste"
                                     : u"")
            << "a block starting with empty entries keeps every string at its identifier";
    }
    EXPECT_EQ(StringBlockOf(module, 101)[2], u"Unnamed string") << "strings without a row are kept";

    TVynTransTable reread;
    reread.LoadFromModule(Wide(application_), Wide(module));
    ASSERT_TRUE(reread.GotoTranID(u"U_SSixth"));
    EXPECT_EQ(reread.StringTableID(), 3205);
    EXPECT_EQ(reread.TranValue(), u"Sechste");
    ASSERT_TRUE(reread.GotoTranID(u"TableFixtureForm.Label1.Caption"));
    EXPECT_EQ(reread.TranValue(), u"Rue \u00E0 'quote'");
    ASSERT_TRUE(reread.GotoTranID(u"TableFixtureForm.OpenItem.ShortCut"));
    EXPECT_EQ(reread.TranValue(), u"Ctrl+S");
    ASSERT_TRUE(reread.GotoTranID(u"TableFixtureForm.Caption"));
    EXPECT_EQ(reread.TranValue(), u"Fixture caption");
}

TEST_F(TransTable, TheProgramItselfIsReadOnly) {
    const std::wstring program = ProgramPath();
    TVynTransTable table;
    std::wstring upper = program;
    ::CharUpperW(upper.data());
    table.LoadFromModule(Wide(upper), Wide(program));
    EXPECT_TRUE(table.EditingApplication());
    EXPECT_TRUE(table.TranValueField().ReadOnly());
    EXPECT_TRUE(table.TranslatedField().ReadOnly());

    // The identifier map comes from the program's section: its own resource strings have rows.
    ASSERT_TRUE(table.GotoTranID(u"VynTrxTable_SCommentHasLineBreaks"));
    EXPECT_EQ(table.StringTableID(),
              static_cast<int32_t>(ResStr::VynTrxTable::SCommentHasLineBreaks.Identifier));
    EXPECT_EQ(table.TranValue(), u"A comment can not contain line breaks.");
    ASSERT_TRUE(table.GotoTranID(u"TableFixtureForm.Label1.Caption"));

    table.Edit();
    EXPECT_EQ(RaisedMessage<EDatabaseError>([&] { table.SetTranValue(u"changed"); }),
              "Field 'TranValue' cannot be modified");
    EXPECT_EQ(RaisedMessage<EDatabaseError>([&] { table.SetTranslated(true); }),
              "Field 'Translated' cannot be modified");
    table.Cancel();
    EXPECT_EQ(RaisedMessage<EVynInternalError>([&] { table.SaveToModule(false); }),
              "You can not save changes directly to the application exe (" + WideToAnsi(Wide(program)) +
                  ").");

    // The same table loading a translation module takes edits again.
    table.LoadFromModule(Wide(program), Wide(MakeModule(L"Fixture.DEU", {})));
    EXPECT_FALSE(table.EditingApplication());
    EXPECT_FALSE(table.TranValueField().ReadOnly());
    ASSERT_TRUE(table.GotoTranID(u"U_SPlain"));
    table.Edit();
    table.SetTranValue(u"changed");
    table.Post();
}

TEST_F(TransTable, MergingTakesOverWhatTheOldModuleKnew) {
    ModuleContent oldContent;
    oldContent.Strings = {
        {1600, u"%s has %d files"}, {1601, u"Plain text"}, {1602, u"Gone"}, {3203, u"Fourth"}};
    oldContent.IdentifierMap = u"1600=U_SFiles\r\n1601=U_SPlain\r\n1602=U_SGone\r\n3203=U_SFourth\r\n";
    TVynTransTable old;
    old.LoadFromModule(Wide(application_), Wide(MakeModule(L"Old.DEU", oldContent)));
    const auto edit = [](TVynTransTable& table, const char16_t* id, const char16_t* value, bool translated,
                         const char16_t* comment) {
        ASSERT_TRUE(table.GotoTranID(id));
        table.Edit();
        table.SetTranValue(value);
        table.SetTranslated(translated);
        table.SetComment(comment);
        table.Post();
    };
    edit(old, u"TableFixtureForm.Caption", u"Fixture-Titel", true, u"checked");
    edit(old, u"U_SPlain", u"Klartext %s und %s", true, u"");
    edit(old, u"U_SFourth", u"Vierte, not yet marked", false, u"");
    edit(old, u"U_SGone", u"Weg", true, u"");
    edit(old, u"TableFixtureForm.Label1.Caption", u"Rue, not marked", false, u"");

    ModuleContent newContent;
    newContent.Strings = {{1600, u"%s has %d files"},
                          {1601, u"Plain text %s and %s"},
                          {3203, u"Fourth"},
                          {3205, u"New string"}};
    TVynTransTable merged;
    merged.LoadFromModule(Wide(application_), Wide(MakeModule(L"New.DEU", newContent)));
    ASSERT_TRUE(merged.GotoTranID(u"U_SSixth"));
    merged.MergeFrom(old, true);
    EXPECT_EQ(merged.TranID(), u"U_SSixth") << "the current row stays current";
    EXPECT_TRUE(merged.Filtered());

    struct Row {
        std::u16string Id, Value;
        bool Translated;
        std::u16string Comment;
        bool operator==(const Row&) const = default;
    };
    std::vector<Row> rows;
    merged.First();
    while (!merged.Eof()) {
        rows.push_back({merged.TranID(), merged.TranValue(), merged.Translated(), merged.Comment()});
        merged.Next();
    }
    const std::vector<Row> expected = {
        {u"TableFixtureForm.Caption", u"Fixture-Titel", true, u"checked"},
        {u"TableFixtureForm.Grid.Columns[1].Title.Caption", u"City", false, u""},
        {u"TableFixtureForm.Label1.Caption", u"Stra\u00DFe", false, u""},
        {u"TableFixtureForm.OpenItem.ShortCut", u"Ctrl+O", false, u""},
        {u"U_SFiles", u"%0:s has %1:d files", false, u""},
        {u"U_SFourth", u"Vierte, not yet marked", false, u""},
        {u"U_SPlain", u"Klartext %0:s und %1:s", true, u""},
        {u"U_SSixth", u"New string", false, u""}};
    ASSERT_EQ(rows.size(), expected.size()) << "the gone row is dropped";
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(Win(expected[i].Id));
        EXPECT_TRUE(rows[i] == expected[i]) << Win(rows[i].Id) << " " << Win(rows[i].Value) << " "
                                            << rows[i].Translated << " " << Win(rows[i].Comment);
    }
    EXPECT_EQ(merged.StringTables().front()[0].Text, u"%0:s has %1:d files")
        << "merged texts are written back";
}

TEST_F(TransTable, MergingWithoutTheMarkKeepsTheRowsUntranslated) {
    TVynTransTable old;
    old.LoadFromModule(Wide(application_), Wide(MakeModule(L"Old.DEU", {})));
    ASSERT_TRUE(old.GotoTranID(u"U_SPlain"));
    old.Edit();
    old.SetTranValue(u"Klartext");
    old.SetTranslated(true);
    old.Post();

    TVynTransTable merged;
    merged.LoadFromModule(Wide(application_), Wide(MakeModule(L"New.DEU", {})));
    merged.MergeFrom(old, false);
    ASSERT_TRUE(merged.GotoTranID(u"U_SPlain"));
    EXPECT_EQ(merged.TranValue(), u"Klartext");
    EXPECT_FALSE(merged.Translated());
}

TEST_F(TransTable, SavingWithMarkChangedMarksEveryRowThatDiffersFromItsReference) {
    const std::wstring module = MakeModule(L"Fixture.DEU", {});
    TVynTransTable table;
    table.LoadFromModule(Wide(application_), Wide(module));
    const auto setReference = [&](const char16_t* id, const char16_t* reference, const char16_t* value) {
        ASSERT_TRUE(table.GotoTranID(id));
        table.Edit();
        table.SetRefValue(reference);
        table.SetTranValue(value);
        table.Post();
    };
    setReference(u"U_SFiles", u"%s has %d files", u"%0:s has %1:d files");
    setReference(u"U_SPlain", u"Plain text", u"Plain text");
    table.SaveToModule(true);

    EXPECT_EQ(TextOf(ResourceBytes(module, RT_RCDATA, L"VYN.XRS")), u"U_SFiles=TRUE\r\n");
    TVynTransTable reread;
    reread.LoadFromModule(Wide(application_), Wide(module));
    ASSERT_TRUE(reread.GotoTranID(u"U_SFiles"));
    EXPECT_TRUE(reread.Translated());
    EXPECT_EQ(reread.TranValue(), u"%0:s has %1:d files");
    ASSERT_TRUE(reread.GotoTranID(u"U_SPlain"));
    EXPECT_FALSE(reread.Translated());
}

} // namespace
