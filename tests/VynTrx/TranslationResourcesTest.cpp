// What the build puts into every program for translation, read back as the running system reads
// it: the resource strings through the runtime's loader, the identifier map as the section
// "VYN.DRC", the translation flag and the build identifier, all resources in language 0.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "BuildIdentifier.h"
#include "CheckWinInetAndAdoResStr.h"
#include "FerruleFrmResStr.h"
#include "Handles.h"
#include "ResourceStringTable.h"
#include "TracePeImage.h"
#include "TranslationResources.h"
#include "VynDialogsResStr.h"
#include "VynSystem.h"
#include "VynTrxUtilsResStr.h"
#include "WineTestSupport.h"

namespace {

std::vector<uint8_t> FileBytes(const std::wstring& path) {
    const std::vector<char> bytes = ReadFileBytes(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<uint8_t> GeneratedMap() {
    return FileBytes(HostPath(FERRULE_IDENTIFIER_MAP));
}

std::vector<TNumberedResourceString> DeclaredStrings() {
    std::vector<TUnitResourceStrings> units;
    std::stringstream list(FERRULE_RESOURCE_STRING_DECLARATIONS);
    for (std::string path; std::getline(list, path, '|');) {
        const std::vector<uint8_t> contents = FileBytes(HostPath(path.c_str()));
        units.push_back(ParseResourceStringDeclarations(
            path, std::string_view(reinterpret_cast<const char*>(contents.data()), contents.size())));
    }
    return NumberResourceStrings(units);
}

// The bytes of the section as the loader mapped this very program.
std::vector<uint8_t> OwnMappedSection(const char* name) {
    const auto* base = reinterpret_cast<const uint8_t*>(::GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto image =
        TTracePeImage::Read(std::span(base, nt->OptionalHeader.SizeOfImage), TPeLayout::Mapped);
    EXPECT_TRUE(image);
    const TPeSection* section = image ? image->FindSection(name) : nullptr;
    if (section == nullptr)
        return {};
    const std::span<const uint8_t> data = image->SectionData(*section);
    return std::vector<uint8_t>(data.begin(), data.end());
}

struct FileSection {
    bool Found = false;
    uint32_t VirtualSize = 0;
    std::vector<uint8_t> Bytes;
};

FileSection SectionOfFile(const std::wstring& path, const char* name) {
    const std::vector<uint8_t> file = FileBytes(path);
    const auto image = TTracePeImage::Read(file, TPeLayout::File);
    FileSection result;
    const TPeSection* section = image ? image->FindSection(name) : nullptr;
    if (section == nullptr)
        return result;
    result.Found = true;
    result.VirtualSize = section->VirtualSize;
    const std::span<const uint8_t> data = image->SectionData(*section);
    result.Bytes.assign(data.begin(), data.end());
    return result;
}

UniqueModule LoadAsData(const std::wstring& path) {
    UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_TRUE(module) << "LoadLibraryEx " << std::string(path.begin(), path.end());
    return module;
}

std::vector<uint8_t> RcData(HMODULE module, const wchar_t* name) {
    HRSRC resource = ::FindResourceW(module, name, RT_RCDATA);
    if (resource == nullptr)
        return {};
    const DWORD size = ::SizeofResource(module, resource);
    const auto* data = static_cast<const uint8_t*>(::LockResource(::LoadResource(module, resource)));
    return data ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>();
}

WideString IdentifierOf(const std::wstring& program) {
    const UniqueModule module = LoadAsData(program);
    const std::vector<uint8_t> bytes = RcData(module.get(), L"VYN_TRX_GUID");
    WideString text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    return text;
}

struct ResourceEntry {
    std::wstring Type, Name;
    WORD Language;
};

std::wstring KeyText(LPCWSTR key) {
    return IS_INTRESOURCE(key) ? L"#" + std::to_wstring(reinterpret_cast<uintptr_t>(key)) : std::wstring(key);
}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<ResourceEntry>*>(list)->push_back({KeyText(type), KeyText(name), language});
    return TRUE;
}

BOOL CALLBACK AddLanguagesOfName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR list) {
    return ::EnumResourceLanguagesW(module, type, name, AddLanguage, list);
}

BOOL CALLBACK AddNamesOfType(HMODULE module, LPWSTR type, LONG_PTR list) {
    return ::EnumResourceNamesW(module, type, AddLanguagesOfName, list);
}

std::vector<ResourceEntry> EveryResourceOf(const std::wstring& program) {
    const UniqueModule module = LoadAsData(program);
    std::vector<ResourceEntry> resources;
    EXPECT_TRUE(::EnumResourceTypesW(module.get(), AddNamesOfType, reinterpret_cast<LONG_PTR>(&resources)));
    return resources;
}

TEST(ProgramResourceStrings, EveryDeclaredStringLoadsThroughItsRecordWithItsText) {
    const std::vector<TNumberedResourceString> strings = DeclaredStrings();
    ASSERT_FALSE(strings.empty());
    for (const TNumberedResourceString& string : strings) {
        const TResStringRec record{nullptr, string.Id};
        EXPECT_EQ(LoadResStringWide(&record), string.Text) << string.Unit << "_" << string.Name;
    }
    // The generated records carry the numbers the declarations get.
    const auto idOf = [&](const char* unit, const char* name) {
        for (const TNumberedResourceString& string : strings)
            if (string.Unit == unit && string.Name == name)
                return string.Id;
        return uint32_t{0};
    };
    EXPECT_EQ(ResStr::FerruleFrm::SInstalling.Identifier, idOf("FerruleFrm", "SInstalling"));
    EXPECT_EQ(ResStr::VynDialogs::SMsgDlgHelp.Identifier, idOf("VynDialogs", "SMsgDlgHelp"));
}

TEST(ProgramResourceStrings, TheNewStringsKeepTheTextsTheCodeHadBefore) {
    using namespace ResStr::CheckWinInetAndAdo;
    EXPECT_EQ(LoadResStringWide(&SRequires), u"This program requires %s.");
    EXPECT_EQ(LoadResStringWide(&SDownloadFrom), u"You can download it from %s");
    EXPECT_EQ(LoadResStringWide(&SDisplayNameJET), u"Microsoft Jet 4.0 Drivers");
    EXPECT_EQ(LoadResStringWide(&SDisplayNameCRPESQL), u"Seagate Crystal Reports OLEDB Driver");
    EXPECT_EQ(LoadResStringWide(&SDownloadSiteIE), u"http://www.microsoft.com/windows/ie/downloads/");
    EXPECT_EQ(LoadResStringWide(&SDownloadSiteMAPI), u"your Windows CD.");
    EXPECT_EQ(LoadResStringWide(&ResStr::FerruleFrm::SInstalling), u"DAO 3.60 setup - installing...");
    EXPECT_EQ(LoadResStringWide(&ResStr::FerruleFrm::SRegistering), u"DAO 3.60 setup - registering...");
    EXPECT_EQ(LoadResStringWide(&ResStr::VynTrxUtils::SResourceEditingUnavailable),
              u"Translation resource editing is not available on this version of Windows.");
    EXPECT_EQ(LoadResString(&ResStr::VynDialogs::SMsgDlgNoToAll), "N&o to All");
}

TEST(IdentifierMapSection, ReadsBackAsTheGeneratedMapToTheByteInThisProgramAndTheInstaller) {
    const std::vector<uint8_t> map = GeneratedMap();
    ASSERT_FALSE(map.empty());
    ASSERT_EQ(map.size() % 2, 0u);
    EXPECT_EQ(OwnMappedSection(IdentifierMapSection), map) << "as the loader mapped this program";
    const FileSection installer = SectionOfFile(HostPath(FERRULE_PATH), IdentifierMapSection);
    ASSERT_TRUE(installer.Found);
    EXPECT_EQ(installer.VirtualSize, map.size()) << "the exact byte count: no padding, no zero characters";
    EXPECT_EQ(installer.Bytes, map);
    // One "<id>=<Unit>_<Name>" line with CR LF for each declared string.
    std::string expected;
    for (const TNumberedResourceString& string : DeclaredStrings())
        expected += std::to_string(string.Id) + "=" + string.Unit + "_" + string.Name + "\r\n";
    WideString text;
    for (size_t i = 0; i + 1 < map.size(); i += 2)
        text += static_cast<char16_t>(map[i] | map[i + 1] << 8);
    EXPECT_EQ(text, WideString(expected.begin(), expected.end()));
}

TEST(BuildIdentifier, IsTheSameForTheSameInputsAndAnotherForAnotherPayload) {
    const WideString installer = IdentifierOf(HostPath(FERRULE_PATH));
    ASSERT_EQ(installer.size(), BuildIdentifierLength);
    EXPECT_NE(installer, WideString(BuildIdentifierPlaceholder));
    EXPECT_EQ(installer.front(), u'{');
    EXPECT_EQ(installer.back(), u'}');
    EXPECT_EQ(IdentifierOf(HostPath(FERRULE_REBUILT_PATH)), installer)
        << "another link of the same sources, form and payload";
    EXPECT_NE(IdentifierOf(HostPath(FERRULE_FAILING_PATH)), installer) << "another payload, another build";
    // A payload linked again from the same sources is the same bytes: no link time in its header.
    const std::vector<uint8_t> payload = FileBytes(HostPath(STANDIN_DAO_PATH));
    const auto payloadImage = TTracePeImage::Read(payload, TPeLayout::File);
    ASSERT_TRUE(payloadImage);
    const size_t timeStamp = payloadImage->FileHeaderOffset() + 4;
    EXPECT_EQ(payload[timeStamp] | payload[timeStamp + 1] | payload[timeStamp + 2] | payload[timeStamp + 3], 0);

    const std::vector<uint8_t> file = FileBytes(HostPath(FERRULE_PATH));
    const auto image = TTracePeImage::Read(file, TPeLayout::File);
    ASSERT_TRUE(image);
    EXPECT_EQ(BuildIdentifier(ReadPeResources(*image, file), GeneratedMap()), installer)
        << "computed from the shipped resources and the map alone";

    const UniqueModule module = LoadAsData(HostPath(FERRULE_PATH));
    const std::vector<uint8_t> flag = RcData(module.get(), L"VYN_TRX_FLAG");
    EXPECT_EQ(std::string(flag.begin(), flag.end()), TranslationFlagText);
}

TEST(InstallerResources, AreAllInLanguageZeroSoNoModuleHoldsOneTwice) {
    const std::vector<ResourceEntry> resources = EveryResourceOf(HostPath(FERRULE_PATH));
    std::set<std::wstring> names;
    for (const ResourceEntry& resource : resources) {
        EXPECT_EQ(resource.Language, 0) << std::string(resource.Type.begin(), resource.Type.end()) << "/"
                                        << std::string(resource.Name.begin(), resource.Name.end());
        EXPECT_TRUE(names.insert(resource.Type + L"/" + resource.Name).second) << "held twice";
    }
    for (const wchar_t* expected :
         {L"#10/TFERRULEFORM", L"#10/TVYNFLASHFORM", L"#10/TEXCEPTIONDIALOG", L"#10/TVYNTRACEEXCEPTIONDIALOG",
          L"#10/VYN_TRX_FLAG", L"#10/VYN_TRX_GUID", L"FILE/DAODLL", L"#6/#3841"})
        EXPECT_EQ(names.count(expected), 1u) << std::string(expected, expected + wcslen(expected));
}

} // namespace
