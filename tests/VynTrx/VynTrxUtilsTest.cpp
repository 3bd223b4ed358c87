// The resources of translation modules as the system's calls see them: every resource enumerated
// and written back, text resources, string tables with gaps, the identifier map section of a
// program (whole and cut short), and the build identifier that makes a module prepared.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "Exceptions.h"
#include "OSError.h"
#include "TracePeImage.h"
#include "UnitRegistry.h"
#include "VynForms.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxModuleTemplate.h"
#include "VynTrxUtils.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

class TrxResources : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(
            std::initializer_list<const TUnitInfo*>{&VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit,
                                                    &RtlFormsUnit, &VynFormsUnit, &VynTrxUtilsUnit});
    }
    void TearDown() override { units_.reset(); }

    // A fresh copy of the module template: a module without resources.
    WideString EmptyModule(const wchar_t* name) {
        const std::span<const uint8_t> bytes = TranslationModuleTemplate();
        const std::wstring path = folder_.Path() + L"\\" + name;
        WriteFileBytes(path, std::vector<char>(bytes.begin(), bytes.end()));
        return Wide(path);
    }

    ScratchFolder folder_{L"TrxResources"};
    std::unique_ptr<TUnitStartup> units_;
};

std::vector<uint8_t> Bytes(const TResData& resource) {
    const auto* data = static_cast<const uint8_t*>(resource.Data);
    return std::vector<uint8_t>(data, data + resource.Size);
}

const TResData* Find(const std::vector<TResData>& resources, const TResId& type, const TResId& name,
                     uint16_t language) {
    const auto found = std::find_if(resources.begin(), resources.end(), [&](const TResData& r) {
        return r.Type.Id == type.Id && r.Type.Name == type.Name && r.Name.Id == name.Id &&
               r.Name.Name == name.Name && r.Language == language;
    });
    return found == resources.end() ? nullptr : &*found;
}

TEST_F(TrxResources, EveryResourceWrittenIsEnumeratedWithItsTypeNameLanguageAndBytes) {
    const WideString source = EmptyModule(L"Source.dll");
    const std::vector<uint8_t> form = {'T', 'P', 'F', '0', 7, 'T', 'F', 'o', 'r', 'm', '1'};
    const std::vector<uint8_t> notAForm = {'T', 'P', 'F'};
    const TResId rcData{10, {}}, custom{0, u"FILE"};
    {
        TResourceUpdate update(source, false);
        update.Add(rcData, TResId{0, u"TFORM1"}, 0, form.data(), static_cast<uint32_t>(form.size()));
        update.Add(rcData, TResId{0, u"SHORT"}, 0, notAForm.data(), static_cast<uint32_t>(notAForm.size()));
        update.Add(custom, TResId{7, {}}, 0x0407, form.data(), 4);
        SaveRcText(update.Handle(), u"VYN.XRS", u"Form1.Caption=TRUE\r\n");
        update.Commit();
    }
    const UniqueModule module = LoadDataFileModule(source);
    const std::vector<TResData> resources = EnumModuleResources(module.get());
    EXPECT_EQ(resources.size(), 4u);
    const TResData* stored = Find(resources, rcData, TResId{0, u"TFORM1"}, 0);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(Bytes(*stored), form);
    const TResData* german = Find(resources, custom, TResId{7, {}}, 0x0407);
    ASSERT_NE(german, nullptr);
    EXPECT_EQ(german->Type.Text(), u"FILE");
    EXPECT_EQ(german->Name.Text(), u"#7");
    EXPECT_EQ(ListFormResources(module.get()), std::vector<WideString>{u"TFORM1"});
    EXPECT_EQ(ReadRcText(module.get(), u"VYN.XRS"), u"Form1.Caption=TRUE\r\n");
    EXPECT_EQ(ReadRcText(module.get(), u"vyn.xrs"), u"Form1.Caption=TRUE\r\n") << "names ignore case";
    EXPECT_EQ(ReadRcText(module.get(), u"VYN_TRX_XRC"), u"");

    // Copied into another module, everything reads back the same.
    const WideString copy = EmptyModule(L"Copy.dll");
    {
        TResourceUpdate update(copy, true);
        for (const TResData& resource : resources)
            update.Add(resource.Type, resource.Name, resource.Language, resource.Data, resource.Size);
        update.Commit();
    }
    const UniqueModule copied = LoadDataFileModule(copy);
    const std::vector<TResData> again = EnumModuleResources(copied.get());
    ASSERT_EQ(again.size(), resources.size());
    for (const TResData& resource : resources) {
        const TResData* same = Find(again, resource.Type, resource.Name, resource.Language);
        ASSERT_NE(same, nullptr) << Win(resource.Name.Text());
        EXPECT_EQ(Bytes(*same), Bytes(resource));
    }
}

TEST_F(TrxResources, AModuleWithoutResourcesEnumeratesNone) {
    const UniqueModule module = LoadDataFileModule(EmptyModule(L"Empty.dll"));
    EXPECT_TRUE(EnumModuleResources(module.get()).empty());
    EXPECT_TRUE(ReadStringTables(module.get()).empty());
    EXPECT_TRUE(ListFormResources(module.get()).empty());
}

TEST_F(TrxResources, StringTablesKeepEveryStringAtItsIdentifier) {
    const WideString path = EmptyModule(L"Strings.dll");
    // Block 3841 starts with two empty entries; block 1 holds the identifiers 0..15.
    const std::vector<TStringTableBlock> blocks = {
        {{61442, u"Dieses Programm ben\u00F6tigt %s."}, {61455, u"Ende"}}, {{3, u"three"}}, {}};
    {
        TResourceUpdate update(path, false);
        WriteStringTables(update.Handle(), blocks);
        update.Commit();
    }
    const UniqueModule module = LoadDataFileModule(path);
    std::vector<TStringTableBlock> read = ReadStringTables(module.get());
    std::sort(read.begin(), read.end(),
              [](const auto& a, const auto& b) { return a.front().Id < b.front().Id; });
    ASSERT_EQ(read.size(), 2u) << "an empty list writes no block";
    EXPECT_EQ(read[0], blocks[1]);
    EXPECT_EQ(read[1], blocks[0]);
    wchar_t text[64] = {};
    EXPECT_EQ(::LoadStringW(module.get(), 61442, text, 64), 28) << "the system finds it where it belongs";
    EXPECT_EQ(::LoadStringW(module.get(), 61440, text, 64), 0);
}

TEST_F(TrxResources, ALowerCaseTextResourceNameIsRefusedAndNothingIsWritten) {
    const WideString path = EmptyModule(L"Lower.dll");
    const std::vector<char> before = ReadFileBytes(Win(path));
    {
        TResourceUpdate update(path, false);
        EXPECT_EQ(MessageOf([&] { SaveRcText(update.Handle(), u"Vyn.Xrs", u"x"); }),
                  "Internal Error: SaveRcText.ResName must be upper case.");
        // Gone without a commit: discarded.
    }
    EXPECT_EQ(ReadFileBytes(Win(path)), before);
}

TEST_F(TrxResources, UpdatingAMissingFileNamesIt) {
    const WideString missing = Wide(folder_.Path() + L"\\Missing.dll");
    try {
        TResourceUpdate update(missing, false);
        FAIL() << "no error";
    } catch (const EOSError& error) {
        EXPECT_EQ(error.FailingCall(), "BeginUpdateResourceW");
        EXPECT_EQ(error.Subject(), missing);
    }
    EXPECT_THROW(LoadDataFileModule(missing), EOSError);
}

TEST_F(TrxResources, TheProgramsIdentifierMapSectionReadsAsTheBuildWroteIt) {
    const WideString self = Wide(HostPath(FERRULE_PATH));
    const std::vector<char> map = ReadFileBytes(HostPath(FERRULE_IDENTIFIER_MAP));
    const WideString text = ReadPeSectionText(self, "VYN.DRC");
    ASSERT_EQ(text.size() * 2, map.size()) << "the exact byte count, no padding";
    EXPECT_EQ(std::memcmp(text.data(), map.data(), map.size()), 0);
    EXPECT_TRUE(HasPeSection(self, "VYN.DRC"));
    EXPECT_FALSE(HasPeSection(self, "VYN.XRC"));
    EXPECT_FALSE(HasPeSection(Wide(folder_.Path() + L"\\Missing.exe"), "VYN.DRC"));
}

TEST_F(TrxResources, ACopyCutInsideTheSectionSaysHowManyBytesItLacks) {
    const std::vector<char> program = ReadFileBytes(HostPath(FERRULE_PATH));
    const auto image = TTracePeImage::Read(
        std::span(reinterpret_cast<const uint8_t*>(program.data()), program.size()), TPeLayout::File);
    ASSERT_TRUE(image);
    const TPeSection* section = image->FindSection("VYN.DRC");
    ASSERT_NE(section, nullptr);
    const uint32_t requested = std::min(section->VirtualSize, section->SizeOfRawData);
    const std::wstring cut = folder_.Path() + L"\\Cut.exe";
    WriteFileBytes(cut, std::vector<char>(program.begin(), program.begin() + section->PointerToRawData + 10));
    try {
        ReadPeSectionText(Wide(cut), "VYN.DRC");
        FAIL() << "no error";
    } catch (const EVynInternalError& error) {
        EXPECT_EQ(error.Message(),
                  std::to_string(requested) + " bytes were requested.  10 bytes were returned.");
        EXPECT_EQ(error.Subject(), Wide(cut));
    }

    const std::wstring notAnImage = folder_.Path() + L"\\Text.exe";
    WriteFileBytes(notAnImage, {'M', 'Z', 'x'});
    EXPECT_THROW(ReadPeSectionText(Wide(notAnImage), "VYN.DRC"), EAssertionFailed);
    EXPECT_FALSE(HasPeSection(Wide(notAnImage), "VYN.DRC"));
}

TEST_F(TrxResources, APreparedModuleHasTheMapAndABuildIdentifierThatIsNoPlaceholder) {
    EXPECT_TRUE(IsPreparedModule(Wide(HostPath(FERRULE_PATH)))) << "the section and the stamped identifier";
    const WideString guid = ModuleGuid(Wide(HostPath(FERRULE_PATH)));
    EXPECT_EQ(guid.size(), 38u);
    EXPECT_NE(guid, TrxPlaceholderGuid);

    const WideString module = EmptyModule(L"Program.DEU");
    auto store = [&](const char16_t* name, const WideString& text) {
        TResourceUpdate update(module, false);
        SaveRcText(update.Handle(), name, text);
        update.Commit();
    };
    EXPECT_FALSE(IsPreparedModule(module));
    store(TrxIdentifierMapName, u"61440=FerruleFrm_SInstalling\r\n");
    EXPECT_FALSE(IsPreparedModule(module)) << "a map without an identifier";
    store(TrxGuidResource, TrxPlaceholderGuid);
    EXPECT_FALSE(IsPreparedModule(module)) << "the placeholder counts as none";
    EXPECT_EQ(ModuleGuid(module), u"");
    store(TrxGuidFallbackResource, u"{11111111-2222-3333-4444-555555555555}");
    EXPECT_TRUE(IsPreparedModule(module));
    EXPECT_EQ(ModuleGuid(module), u"{11111111-2222-3333-4444-555555555555}");
    store(TrxGuidResource, guid);
    EXPECT_EQ(ModuleGuid(module), guid) << "the fallback only stands in";

    EXPECT_FALSE(IsPreparedModule(Wide(folder_.Path() + L"\\Missing.DEU")));
}

} // namespace
