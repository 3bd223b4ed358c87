// The platform-free reader of version-information blocks against the system's VerQueryValueW, on
// blocks the system reads from real files: the installer's own, a system library's, the stand-in's
// and the test builder's shapes. Both must name the same bytes with the same length.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VersionBlock.h"
#include "VersionResource.h"
#include "VynFormatStrUtils.h"
#include "VynLXVerUtils.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

const char16_t* const StringNames[] = {
    u"Comments",       u"CompanyName",     u"FileDescription",  u"FileVersion", u"InternalName",
    u"LegalCopyright", u"LegalTrademarks", u"OriginalFilename", u"ProductName", u"ProductVersion",
    u"PrivateBuild",   u"SpecialBuild",    u"NoSuchName"};

// Paths are ASCII: enough for the failure messages.
std::string Narrow(const WideString& text) {
    return std::string(text.begin(), text.end());
}

WideString AsciiUpper(WideString text) {
    for (char16_t& unit : text)
        unit = unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit;
    return text;
}

struct SystemAnswer {
    bool Found = false;
    size_t Offset = 0;
    size_t Length = 0;
};

SystemAnswer AskSystem(const TVersionInfoBlock& block, const WideString& path) {
    void* value = nullptr;
    UINT length = 0;
    if (!VynVerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr)
        return {};
    const auto address = reinterpret_cast<uintptr_t>(value);
    const auto begin = reinterpret_cast<uintptr_t>(block.data());
    // Both readers must stay inside the block; the system's answer is the reference for the rest.
    EXPECT_GE(address, begin) << Narrow(path);
    EXPECT_LE(address - begin, block.size()) << Narrow(path);
    return {true, address - begin, length};
}

// The paths worth asking of a block: the fixed record, the translations, and the common string
// names of each translation the block lists, also in other cases and with extra backslashes.
std::vector<WideString> PathsOf(const TVersionInfoBlock& block) {
    std::vector<WideString> paths = {u"\\",
                                     u"",
                                     u"\\VarFileInfo\\Translation",
                                     u"\\VARFILEINFO\\translation",
                                     u"\\StringFileInfo",
                                     u"\\VarFileInfo",
                                     u"\\NoSuchBlock"};
    void* value = nullptr;
    UINT length = 0;
    std::vector<uint32_t> translations = {0x04B00409, 0x04E40409};
    if (VynVerQueryValueW(block.data(), u"\\VarFileInfo\\Translation", &value, &length)) {
        const auto* words = static_cast<const uint16_t*>(value);
        for (UINT i = 0; i + 1 < length / 2; i += 2)
            translations.push_back(words[i] | static_cast<uint32_t>(words[i + 1]) << 16);
    }
    for (uint32_t translation : translations) {
        const WideString table =
            FormatWide(u"\\StringFileInfo\\%.4x%.4x",
                       {static_cast<int>(translation & 0xFFFF), static_cast<int>(translation >> 16)});
        paths.push_back(table);
        for (const char16_t* name : StringNames)
            paths.push_back(table + u"\\" + name);
        paths.push_back(AsciiUpper(table) + u"\\\\productname");
    }
    return paths;
}

// Every path the system answers, the reader answers alike; returns how many were answered.
int ExpectSameAnswers(const TVersionInfoBlock& block, const std::string& what) {
    int answered = 0;
    for (const WideString& path : PathsOf(block)) {
        const SystemAnswer system = AskSystem(block, path);
        const std::optional<VersionValue> ours = FindVersionValue(block, path);
        EXPECT_EQ(ours.has_value(), system.Found) << what << " " << Narrow(path);
        if (!ours || !system.Found)
            continue;
        ++answered;
        EXPECT_EQ(ours->Offset, system.Offset) << what << " " << Narrow(path);
        EXPECT_EQ(ours->Length, system.Length) << what << " " << Narrow(path);
        EXPECT_LE(ours->Offset + ours->Size, block.size()) << what << " " << Narrow(path);
    }
    return answered;
}

TEST(VersionBlockAgainstTheSystem, TheInstallerASystemLibraryAndTheStandInAnswerAlike) {
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
    const std::vector<std::pair<std::string, WideString>> files = {
        {"Ferrule.exe", Wide(HostPath(FERRULE_PATH))},
        {"kernel32.dll", Wide(std::wstring(system) + L"\\kernel32.dll")},
        {"the stand-in", Wide(HostPath(STANDIN_DAO_PATH))},
    };
    for (const auto& [what, path] : files) {
        const TVersionInfoBlock block = GetFileVersionInfoBlock(path);
        ASSERT_FALSE(block.empty()) << what;
        EXPECT_EQ(VersionBlockLayoutOf(block), VersionBlockLayout::Wide) << what;
        // The fixed record, the translation and several strings at least.
        EXPECT_GE(ExpectSameAnswers(block, what), 5) << what;
        const std::optional<VersionValue> fixed = FindVersionValue(block, u"\\");
        ASSERT_TRUE(fixed) << what;
        ASSERT_EQ(fixed->Size, sizeof(VS_FIXEDFILEINFO)) << what;
        EXPECT_EQ(GetFixedFileInfo(path).dwSignature, VersionFixedRecordSignature) << what;
    }
}

TEST(VersionBlockAgainstTheSystem, TheBuildersShapesAnswerAlike) {
    ScratchFolder folder(L"VersionBlockAgainstTheSystem");
    TVersionResourceShape full;
    full.FileVersion[0] = 3, full.FileVersion[1] = 51, full.FileVersion[3] = 9;
    full.StringTables = {
        {L"040704e4", {{L"ProductName", L"Produkt"}, {L"CompanyName", L"Firma"}}},
        {L"040904b0",
         {{L"ProductName", L"Product"},
          {L"Comments", std::wstring(L"Front\0Back", 10)},
          {L"InternalName", L"x"}}},
    };
    full.Translations = {0x04E40407, 0x04B00409};
    TVersionResourceShape noFixedRecord = full;
    noFixedRecord.WithFixedRecord = false;
    TVersionResourceShape noTranslations = full;
    noTranslations.Translations.clear();
    TVersionResourceShape stringsMarkedBinary = full;
    stringsMarkedBinary.StringsMarkedBinary = true;
    TVersionResourceShape onlyFixedRecord;
    const std::vector<std::pair<std::string, TVersionResourceShape>> shapes = {
        {"full", full},
        {"noFixedRecord", noFixedRecord},
        {"noTranslations", noTranslations},
        {"stringsMarkedBinary", stringsMarkedBinary},
        {"onlyFixedRecord", onlyFixedRecord}};
    for (const auto& [what, shape] : shapes) {
        const std::wstring path = folder.Path() + L"\\" + std::wstring(what.begin(), what.end()) + L".dll";
        CopyWithVersionResource(HostPath(STANDIN_DAO_PATH), path, BuildVersionResource(shape));
        const TVersionInfoBlock block = GetFileVersionInfoBlock(Wide(path));
        ASSERT_FALSE(block.empty()) << what;
        EXPECT_GE(ExpectSameAnswers(block, what), 1) << what;
    }
}

} // namespace
