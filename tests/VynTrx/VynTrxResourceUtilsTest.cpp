// Making and rebuilding translation modules beside a fixture program: what a new module holds,
// what a rebuild keeps, and that a rebuild which fails leaves the old module as it was.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Exceptions.h"
#include "TrxFixtureModules.h"
#include "UnitRegistry.h"
#include "VynForms.h"
#include "VynLXDataSet.h"
#include "VynLXFlashMsg.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxDfmUtils.h"
#include "VynTrxLangs.h"
#include "VynTrxResourceUtils.h"
#include "VynTrxTable.h"
#include "VynTrxUtils.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

constexpr LANGID German = 0x0407;
constexpr char16_t NewBuildGuid[] = u"{0A1B2C3D-4E5F-4061-8273-94A5B6C7D8E9}";

class TrxModules : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit,
            &VynLXFlashMsgUnit, &VynLXDataSetUnit, &VynTrxDfmUtilsUnit, &VynTrxUtilsUnit, &VynTrxLangsUnit});
        application_ = folder_.Path() + L"\\App.exe";
        module_ = folder_.Path() + L"\\App.DEU";
    }
    void TearDown() override {
        units_.reset();
        // Read-only modules would keep the folder from going.
        for (const std::wstring& name : FilesIn(folder_.Path()))
            ::SetFileAttributesW((folder_.Path() + L"\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    }

    // The files of the folder in name order.
    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> names = FilesIn(folder_.Path());
        std::sort(names.begin(), names.end());
        return names;
    }

    void MakeApplication(const ModuleContent& content) { MakeFixtureModule(application_, content); }

    // The row's text, translated mark and comment, or "<no row>".
    static std::u16string Row(TVynTransTable& table, const char16_t* id) {
        if (!table.GotoTranID(id))
            return u"<no row>";
        return table.TranValue() + (table.Translated() ? u" [translated]" : u"") +
               (table.Comment().empty() ? u"" : u" # " + table.Comment());
    }

    static void Translate(TVynTransTable& table, const char16_t* id, const char16_t* text, bool translated,
                          const char16_t* comment = u"") {
        ASSERT_TRUE(table.GotoTranID(id)) << Win(id);
        table.Edit();
        table.SetTranValue(text);
        table.SetTranslated(translated);
        table.SetComment(comment);
        table.Post();
    }

    ScratchFolder folder_{L"TrxModules"};
    std::wstring application_;
    std::wstring module_;
    std::unique_ptr<TUnitStartup> units_;
};

TEST_F(TrxModules, ANewModuleHoldsTheProgramsResourcesWithExplicitFormats) {
    MakeApplication({});
    const WideString made = CreateTranslationModule(Wide(application_), German);
    EXPECT_EQ(Win(made), module_);
    EXPECT_TRUE(IsPreparedModule(made));
    EXPECT_EQ(ModuleGuid(made), FixtureGuid);
    EXPECT_EQ(TextOf(ResourceBytes(module_, RT_RCDATA, L"VYN.DRC")), FixtureMap);
    EXPECT_EQ(TextOf(ResourceBytes(module_, RT_RCDATA, L"VYN_TRX_XRC")), u".");
    EXPECT_EQ(TextOf(ResourceBytes(module_, RT_RCDATA, L"VYN.XRS")), u".");
    EXPECT_EQ(ResourceBytes(module_, RT_RCDATA, L"TTABLEFIXTUREFORM").has_value(), true);
    EXPECT_EQ(StringBlockOf(module_, 101)[1], u"Plain text");
    EXPECT_EQ(StringBlockOf(module_, 101)[2], u"Unnamed string") << "strings without a name are copied too";

    TVynTransTable table;
    table.LoadFromModule(Wide(application_), made);
    EXPECT_EQ(Row(table, u"U_SFiles"), u"%0:s has %1:d files");
    EXPECT_EQ(Row(table, u"U_SPlain"), u"Plain text");
    EXPECT_EQ(Row(table, u"TableFixtureForm.Caption"), u"Fixture caption");

    const std::vector<char> before = ReadFileBytes(module_);
    EXPECT_EQ(MessageOf([&] { CreateTranslationModule(Wide(application_), German); }),
              "Internal Error: This translation already exists (" +
                  std::string(module_.begin(), module_.end()) + ").");
    EXPECT_EQ(ReadFileBytes(module_), before);
}

TEST_F(TrxModules, AFailedNewModuleLeavesNoFile) {
    ModuleContent content;
    // A format that cannot be made explicit stops the module half made.
    content.Strings = {{1600, u"50%."}, {1601, u"Plain text"}};
    MakeApplication(content);
    EXPECT_THROW(CreateTranslationModule(Wide(application_), German), Exception);
    EXPECT_EQ(Files(), std::vector<std::wstring>{L"App.exe"});
}

TEST_F(TrxModules, ARebuildKeepsTranslationsCommentsAndMarksOfRowsThatRemain) {
    MakeApplication({});
    CreateTranslationModule(Wide(application_), German);
    {
        TVynTransTable old;
        old.LoadFromModule(Wide(application_), Wide(module_));
        Translate(old, u"TableFixtureForm.Caption", u"Beschriftung", true, u"kurz halten");
        Translate(old, u"U_SFiles", u"%0:s hat %1:d Dateien", true);
        Translate(old, u"U_SFourth", u"Vierter", false);
        Translate(old, u"U_SSixth", u"Sechster", true);
        old.SaveToModule(false);
    }
    ::SetFileAttributesW(module_.c_str(), FILE_ATTRIBUTE_READONLY);

    // The next build: another identifier, U_SSixth gone, U_SNew new, U_SFourth's text unchanged.
    ModuleContent next;
    next.Guid = NewBuildGuid;
    next.Strings = {{1600, u"%s has %d files"}, {1601, u"Plain text"}, {3203, u"Fourth"}, {3204, u"New"}};
    next.IdentifierMap = u"1600=U_SFiles\r\n1601=U_SPlain\r\n3203=U_SFourth\r\n3204=U_SNew\r\n";
    MakeApplication(next);
    UpdateTranslationResource(Wide(application_), Wide(module_));

    EXPECT_EQ(ModuleGuid(Wide(module_)), NewBuildGuid);
    EXPECT_EQ(::GetFileAttributesW(module_.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(Files(), (std::vector<std::wstring>{L"App.DEU", L"App.exe"})) << "no temporary file is left";
    TVynTransTable table;
    table.LoadFromModule(Wide(application_), Wide(module_));
    EXPECT_EQ(Row(table, u"TableFixtureForm.Caption"), u"Beschriftung [translated] # kurz halten");
    EXPECT_EQ(Row(table, u"U_SFiles"), u"%0:s hat %1:d Dateien [translated]");
    EXPECT_EQ(Row(table, u"U_SFourth"), u"Vierter") << "a changed untranslated text is kept";
    EXPECT_EQ(Row(table, u"U_SNew"), u"New");
    EXPECT_EQ(Row(table, u"U_SSixth"), u"<no row>");
    EXPECT_EQ(StringBlockOf(module_, 201)[3], u"Vierter") << "the string tables carry the texts";
}

TEST_F(TrxModules, AFailingRebuildLeavesTheOldModuleAsItWas) {
    MakeApplication({});
    CreateTranslationModule(Wide(application_), German);
    {
        TVynTransTable old;
        old.LoadFromModule(Wide(application_), Wide(module_));
        old.SetFormatCheckOff(true);
        Translate(old, u"U_SFiles", u"50%.", true);
        old.SaveToModule(false);
    }
    ::SetFileAttributesW(module_.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::vector<char> before = ReadFileBytes(module_);
    ModuleContent next;
    next.Guid = NewBuildGuid;
    MakeApplication(next);

    EXPECT_THROW(UpdateTranslationResource(Wide(application_), Wide(module_)), Exception);
    EXPECT_EQ(ReadFileBytes(module_), before);
    EXPECT_NE(::GetFileAttributesW(module_.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(Files(), (std::vector<std::wstring>{L"App.DEU", L"App.exe"}));
    EXPECT_EQ(ModuleGuid(Wide(module_)), FixtureGuid) << "still the old build's, to be tried again";
}

TEST_F(TrxModules, AModuleNotNamedForItsLanguageIsNotTouched) {
    MakeApplication({});
    const std::wstring unknown = folder_.Path() + L"\\App.QQQ";
    ::MoveFileW(Win(CreateTranslationModule(Wide(application_), German)).c_str(), unknown.c_str());
    const std::vector<char> before = ReadFileBytes(unknown);
    EXPECT_THROW(UpdateTranslationResource(Wide(application_), Wide(unknown)), EAssertionFailed);
    EXPECT_EQ(ReadFileBytes(unknown), before);
    EXPECT_EQ(Files(), (std::vector<std::wstring>{L"App.QQQ", L"App.exe"}));
}

} // namespace
