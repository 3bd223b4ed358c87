// Addresses of loaded modules resolved through each kind of source: TDBG data in a file beside a
// module, a linker map beside it, the export table of a system library; and the order in which
// the kinds are tried.
#include <gtest/gtest.h>

#include <fstream>

#include "PeSectionAppender.h"
#include "StandInCopy.h"
#include "TraceDebug.h"
#include "TraceDebugWriter.h"
#include "WineTestSupport.h"

namespace {

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
