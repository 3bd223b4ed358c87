// Addresses of loaded modules resolved through each kind of source: TDBG data in a file beside a
// module, a linker map beside it, the export table of a system library; and the order in which
// the kinds are tried.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "PeSectionAppender.h"
#include "TraceDebug.h"
#include "TraceDebugWriter.h"
#include "WineTestSupport.h"

namespace {

namespace fs = std::filesystem;

uint32_t CodeOffsetOf(HMODULE module, const void* address) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(module) -
                                 0x1000);
}

// A private copy of the stand-in payload in a folder of its own, with whatever debug files a test
// puts beside it, loaded for the test's lifetime.
class StandInCopy : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{&TraceDebugUnit});
        folder_ =
            fs::temp_directory_path() / ("trace-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
        library_ = folder_ / "dao360.dll";
        fs::copy_file(HostPath(STANDIN_DAO_PATH), library_, fs::copy_options::overwrite_existing);
    }
    void TearDown() override {
        module_.reset();
        units_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    void Load() {
        module_.reset(::LoadLibraryW(library_.c_str()));
        ASSERT_TRUE(module_);
        registerServer_ =
            reinterpret_cast<const uint8_t*>(::GetProcAddress(module_.get(), "DllRegisterServer"));
        ASSERT_NE(registerServer_, nullptr);
    }
    void Write(const char* extension, const std::string& bytes) {
        std::ofstream(fs::path(library_).replace_extension(extension), std::ios::binary) << bytes;
    }
    std::vector<uint8_t> TdbgData(const std::string& moduleName) const {
        TraceDebugContent content;
        content.ModuleName = moduleName;
        const uint32_t entry = registerServerOffset_;
        content.Units = {{0, "StandInDaoStartup"}, {entry, "StandInDao"}};
        content.SourceFiles = {{entry, "payload/StandInDao/StandInDao.cpp"}};
        content.Procedures = {{entry, "DllRegisterServer", ""}};
        content.Lines = {{entry, 120}, {entry + 4, 121}};
        return WriteTraceDebugData(content);
    }
    void WriteTdbg(const std::string& moduleName) {
        const std::vector<uint8_t> data = TdbgData(moduleName);
        Write(".tdbg", std::string(data.begin(), data.end()));
    }

    std::unique_ptr<TUnitStartup> units_;
    fs::path folder_, library_;
    UniqueModule module_;
    const uint8_t* registerServer_ = nullptr;
    uint32_t registerServerOffset_ = 0;
};

// The offset of DllRegisterServer in the stand-in, learnt from the original before the copy loads.
uint32_t RegisterServerOffset() {
    const UniqueModule original(::LoadLibraryW(HostPath(STANDIN_DAO_PATH).c_str()));
    return CodeOffsetOf(original.get(),
                        reinterpret_cast<const void*>(::GetProcAddress(original.get(), "DllRegisterServer")));
}

TEST_F(StandInCopy, ATdbgFileBesideTheModuleAnswersUnitProcedureLineAndFile) {
    registerServerOffset_ = RegisterServerOffset();
    WriteTdbg("DAO360");
    Load();
    TTraceLocationInfo info;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 6, info));
    EXPECT_EQ(info.UnitName, "StandInDao");
    EXPECT_EQ(info.ProcedureName, "DllRegisterServer");
    EXPECT_EQ(info.OffsetFromProcName, 6);
    EXPECT_EQ(info.LineNumber, 121);
    EXPECT_EQ(info.OffsetFromLineNumber, 2);
    EXPECT_EQ(info.SourceName, "payload/StandInDao/StandInDao.cpp");
    ASSERT_NE(dynamic_cast<TTraceDebugInfoBinary*>(info.DebugInfo), nullptr);
    EXPECT_TRUE(static_cast<TTraceDebugInfoBinary*>(info.DebugInfo)->IsExternal());

    const std::string text = LocationText(registerServer_ + 6, true, true, true);
    EXPECT_NE(text.find("{dao360.dll  } StandInDao.DllRegisterServer (Line 121, "
                        "\"payload/StandInDao/StandInDao.cpp\" + 1) + $2"),
              std::string::npos)
        << text;
}

TEST_F(StandInCopy, TdbgDataInTheModulesOwnSectionIsReadInPlace) {
    registerServerOffset_ = RegisterServerOffset();
    std::ifstream in(library_, std::ios::binary);
    const std::vector<uint8_t> original((std::istreambuf_iterator<char>(in)), {});
    in.close();
    const std::vector<uint8_t> data = TdbgData("dao360");
    const std::vector<uint8_t> withSection = AppendPeSection(original, "TRACEDBG", data);
    std::ofstream(library_, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(withSection.data()),
               static_cast<std::streamsize>(withSection.size()));
    // A ".tdbg" file for the module would answer too: the section must win.
    WriteTdbg("dao360");
    Load();
    TTraceLocationInfo info;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 1, info))
        << "the image with the added section loads and answers";
    auto* source = dynamic_cast<TTraceDebugInfoBinary*>(info.DebugInfo);
    ASSERT_NE(source, nullptr);
    EXPECT_FALSE(source->IsExternal());
    EXPECT_EQ(info.ProcedureName, "DllRegisterServer");
    EXPECT_EQ(info.LineNumber, 120);
    using TDllCanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    const auto canUnload = reinterpret_cast<TDllCanUnloadNow>(
        reinterpret_cast<void*>(::GetProcAddress(module_.get(), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_OK) << "the library still runs";
}

TEST_F(StandInCopy, ATdbgFileMadeForAnotherModuleIsNotUsed) {
    registerServerOffset_ = RegisterServerOffset();
    WriteTdbg("Ferrule");
    Load();
    TTraceLocationInfo info;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 6, info)) << "the export table still answers";
    EXPECT_NE(dynamic_cast<TTraceDebugInfoExports*>(info.DebugInfo), nullptr);
    EXPECT_EQ(info.UnitName, "");
    EXPECT_EQ(info.ProcedureName, "DllRegisterServer");
    EXPECT_EQ(info.OffsetFromProcName, 6);
}

TEST_F(StandInCopy, AMapFileBesideTheModuleAnswersWhenThereIsNoTdbgData) {
    const uint32_t entry = RegisterServerOffset();
    char map[2048];
    std::snprintf(map, sizeof map,
                  "\r\n Start         Length     Name                   Class\r\n"
                  " 0001:00001000 00080000H .text                   CODE\r\n\r\n"
                  "Detailed map of segments\r\n\r\n"
                  " 0001:00000000 00080000 C=CODE     S=.text    G=(none)   M=StandInDao ACBP=A9\r\n\r\n"
                  "  Address         Publics by Name\r\n\r\n"
                  " 0001:%08X       StandIn.DllRegisterServer\r\n\r\n"
                  "  Address         Publics by Value\r\n\r\n"
                  " 0001:%08X       StandIn.DllRegisterServer\r\n\r\n"
                  "Line numbers for StandInDao(StandInDao.cpp) segment .text\r\n\r\n"
                  "    77 0001:%08X    78 0001:%08X\r\n\r\n",
                  entry, entry, entry, entry + 3);
    Write(".map", map);
    Load();
    TTraceLocationInfo info;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 5, info));
    EXPECT_NE(dynamic_cast<TTraceDebugInfoMap*>(info.DebugInfo), nullptr);
    EXPECT_EQ(info.UnitName, "StandInDao");
    EXPECT_EQ(info.ProcedureName, "StandIn.DllRegisterServer");
    EXPECT_EQ(info.OffsetFromProcName, 5);
    EXPECT_EQ(info.LineNumber, 78);
    EXPECT_EQ(info.OffsetFromLineNumber, 2);
    EXPECT_EQ(info.SourceName, "StandInDao.cpp");
}

TEST(TraceDebug, TheExportTableOfASystemLibraryAnswersWithTheNearestExport) {
    const TUnitStartup units({&TraceDebugUnit});
    HMODULE shell = ::LoadLibraryW(L"shlwapi.dll");
    ASSERT_NE(shell, nullptr);
    const auto* function = reinterpret_cast<const uint8_t*>(::GetProcAddress(shell, "PathFindFileNameW"));
    ASSERT_NE(function, nullptr);
    TTraceLocationInfo info;
    ASSERT_TRUE(LocateAddressInfo(function + 1, info));
    EXPECT_NE(dynamic_cast<TTraceDebugInfoExports*>(info.DebugInfo), nullptr);
    EXPECT_EQ(info.OffsetFromProcName, 1);
    // Forwarding may put the code in another library: the name found must lead to the same code there.
    const HMODULE owner = TTraceDebugInfoList::ModuleOfAddress(reinterpret_cast<uintptr_t>(function));
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(::GetProcAddress(owner, info.ProcedureName.c_str())), function)
        << info.ProcedureName;
}

// Kept out of line, so that its return address lies in the caller, on the caller's line.
__attribute__((noinline)) const void* ReturnAddress() {
    return __builtin_return_address(0);
}

TEST(TraceDebug, TheProgramsOwnAddressesResolveFromItsOwnSection) {
    const TUnitStartup units({&TraceDebugUnit});
    const int callLine = __LINE__ + 1;
    const auto* returnAddress = static_cast<const uint8_t*>(ReturnAddress());
    TTraceLocationInfo info;
    // One byte back: inside the call instruction, on the line that made the call.
    ASSERT_TRUE(LocateAddressInfo(returnAddress - 1, info));
    auto* source = dynamic_cast<TTraceDebugInfoBinary*>(info.DebugInfo);
    ASSERT_NE(source, nullptr);
    EXPECT_FALSE(source->IsExternal()) << "read from the program's own TRACEDBG section";
    EXPECT_EQ(info.UnitName, "TraceDebugTest");
    EXPECT_NE(info.ProcedureName.find("TheProgramsOwnAddressesResolveFromItsOwnSection"), std::string::npos)
        << info.ProcedureName;
    EXPECT_EQ(info.LineNumber, callLine);
    EXPECT_EQ(info.SourceName, "tests/Trace/TraceDebugTest.cpp");

    TTraceLocationInfo helper;
    ASSERT_TRUE(LocateAddressInfo(reinterpret_cast<const void*>(&ReturnAddress), helper));
    EXPECT_NE(helper.ProcedureName.find("ReturnAddress"), std::string::npos) << helper.ProcedureName;
    EXPECT_EQ(helper.OffsetFromProcName, 0);
}

TEST(TraceDebug, AnAddressOutsideEveryModuleHasNoLocationAndTheBareText) {
    const TUnitStartup units({&TraceDebugUnit});
    TTraceLocationInfo info;
    info.UnitName = "left over";
    EXPECT_FALSE(LocateAddressInfo(reinterpret_cast<const void*>(0x10), info));
    EXPECT_EQ(info.UnitName, "") << "the record is cleared";
    const std::vector<uint8_t> heap(64);
    EXPECT_FALSE(LocateAddressInfo(heap.data(), info));
    char expected[32];
    std::snprintf(expected, sizeof expected, "[%0*llX]", static_cast<int>(sizeof(void*) * 2), 0x10ull);
    EXPECT_EQ(LocationText(reinterpret_cast<const void*>(0x10), true, true, true), expected);
}

} // namespace
