// The TD32 source under Windows: TD32 data the linker put into the module's image, a ".tds" file
// beside it, its place between the TDBG data and the map, and damaged data passed over.
#include <gtest/gtest.h>

#include "LittleEndian.h"
#include "PeSectionAppender.h"
#include "StandInCopy.h"
#include "Td32Builder.h"
#include "TraceDebug.h"
#include "TracePeImage.h"
#include "TraceTD32.h"

namespace {

constexpr size_t DebugEntrySize = 28;

// The stand-in described in TD32 data: startup code up to DllRegisterServer, then
// the unit `unit` with the procedure and two lines.
std::vector<uint8_t> Td32For(uint32_t entry, const std::string& unit, Td32Layout* layout = nullptr) {
    Td32Builder builder;
    builder.Modules = {
        {"StandInDaoStartup", {{0, entry}}, {}},
        {unit,
         {{entry, 0x100}},
         {{"payload/StandInDao/StandInDao.cpp", {{entry, entry + 0x100, {{entry, 50}, {entry + 4, 51}}}}}}}};
    builder.Procedures = {{entry, 0x40, "@" + unit + "@DllRegisterServer"}};
    return builder.Build(layout);
}

// The library with a section holding one debug-directory entry of the TD32 type and, after it,
// the TD32 data it describes; the image's debug directory points at the entry.
std::vector<uint8_t> WithTd32InImage(const std::vector<uint8_t>& library, const std::vector<uint8_t>& td32) {
    std::vector<uint8_t> content(DebugEntrySize, 0);
    content.insert(content.end(), td32.begin(), td32.end());
    std::vector<uint8_t> image = AppendPeSection(library, "BORDEBUG", content);
    const auto read = TTracePeImage::Read(image, TPeLayout::File);
    EXPECT_TRUE(read);
    const TPeSection section = read->Sections().back();
    const size_t entry = section.PointerToRawData;
    PutU32(image, entry + 12, TD32Format::TD32DebugType);
    PutU32(image, entry + 16, static_cast<uint32_t>(td32.size()));
    PutU32(image, entry + 20, section.VirtualAddress + static_cast<uint32_t>(DebugEntrySize));
    PutU32(image, entry + 24, section.PointerToRawData + static_cast<uint32_t>(DebugEntrySize));
    const size_t directories = read->OptionalHeaderOffset() + (read->Is64() ? 112 : 96);
    PutU32(image, directories + 6 * 8, section.VirtualAddress);
    PutU32(image, directories + 6 * 8 + 4, static_cast<uint32_t>(DebugEntrySize));
    return image;
}

class TD32Source : public StandInCopy {
protected:
    void SetUp() override {
        StandInCopy::SetUp();
        entry_ = RegisterServerOffset();
    }
    // A fresh list of sources, as at the next start: the module's source is chosen again.
    void RestartDebugUnit() {
        units_.reset();
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{&TraceDebugUnit});
    }
    uint32_t entry_ = 0;
};

TEST_F(TD32Source, DataInTheImagesDebugDirectoryIsReadInPlace) {
    ReplaceLibrary(WithTd32InImage(LibraryBytes(), Td32For(entry_, "StandInDao")));
    // A ".tds" file for the module would answer too: the image's own data must win.
    WriteBytes(".tds", Td32For(entry_, "FromTheTdsFile"));
    Load();
    TTraceLocationInfo info;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 6, info))
        << "the image with the added section loads and answers";
    auto* source = dynamic_cast<TTraceDebugInfoTD32*>(info.DebugInfo);
    ASSERT_NE(source, nullptr);
    EXPECT_FALSE(source->IsExternal());
    EXPECT_EQ(info.UnitName, "StandInDao");
    EXPECT_EQ(info.ProcedureName, "DllRegisterServer");
    EXPECT_EQ(info.OffsetFromProcName, 6);
    EXPECT_EQ(info.LineNumber, 51);
    EXPECT_EQ(info.OffsetFromLineNumber, 2);
    EXPECT_EQ(info.SourceName, "payload/StandInDao/StandInDao.cpp");
    using TDllCanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    const auto canUnload = reinterpret_cast<TDllCanUnloadNow>(
        reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK) << "the library still runs";
}

TEST_F(TD32Source, ATdsFileBesideTheModuleAnswersBeforeTheMap) {
    WriteBytes(".tds", Td32For(entry_, "StandInDao"));
    CopyBuildFileBeside(".map");
    Load();
    TTraceLocationInfo info;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 1, info));
    auto* source = dynamic_cast<TTraceDebugInfoTD32*>(info.DebugInfo);
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->IsExternal());
    EXPECT_EQ(info.ProcedureName, "DllRegisterServer");
    EXPECT_EQ(info.LineNumber, 50);
    const std::string text = LocationText(registerServer_ + 6, true, true, true);
    EXPECT_NE(text.find("{dao360.dll  } StandInDao.DllRegisterServer (Line 51, "
                        "\"payload/StandInDao/StandInDao.cpp\" + 1) + $2"),
              std::string::npos)
        << text;
    TTraceLocationInfo startup;
    EXPECT_FALSE(LocateAddressInfo(registerServer_ + 0x100, startup))
        << "past every unit the TD32 data knows: no location, and no fall back to the map";
}

TEST_F(TD32Source, TdbgDataIsTriedBeforeIt) {
    registerServerOffset_ = entry_;
    WriteTdbg("dao360");
    WriteBytes(".tds", Td32For(entry_, "StandInDao"));
    Load();
    TTraceLocationInfo info;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 6, info));
    EXPECT_NE(dynamic_cast<TTraceDebugInfoBinary*>(info.DebugInfo), nullptr);
    EXPECT_EQ(info.LineNumber, 121) << "the TDBG data's line, not the TD32 data's";
}

TEST_F(TD32Source, DamagedDataIsPassedOverForTheNextSource) {
    Load();
    Td32Layout layout;
    const std::vector<uint8_t> good = Td32For(entry_, "StandInDao", &layout);
    std::vector<uint8_t> entrySize = good;
    PutU16(entrySize, layout.FirstDirectory + 2, 16);
    std::vector<uint8_t> pastTheEnd = good;
    PutU32(pastTheEnd, layout.FirstDirectory + 16 + 4, 0x7FFFFFF0);
    std::vector<uint8_t> badSignature = good;
    badSignature[0] = 'X';
    std::vector<uint8_t> cut(good.begin(), good.end() - 3);
    for (const auto* damaged : {&entrySize, &pastTheEnd, &badSignature, &cut}) {
        RestartDebugUnit();
        WriteBytes(".tds", *damaged);
        TTraceLocationInfo info;
        ASSERT_TRUE(LocateAddressInfo(registerServer_ + 6, info)) << "the export table still answers";
        EXPECT_NE(dynamic_cast<TTraceDebugInfoExports*>(info.DebugInfo), nullptr);
        EXPECT_EQ(info.ProcedureName, "DllRegisterServer");
    }
}

} // namespace
