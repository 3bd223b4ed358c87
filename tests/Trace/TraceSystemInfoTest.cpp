// The system section of the error report on the test prefix, and the module list of this very
// process.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "DeviceContexts.h"
#include "Exceptions.h"
#include "Format.h"
#include "Handles.h"
#include "TraceCpuInfo.h"
#include "TraceModuleReport.h"
#include "TraceSystemInfo.h"
#include "WineTestSupport.h"

namespace {

namespace fs = std::filesystem;

// Wine 8, as the prefix is made, reports Windows 7 SP1 workstation.
TEST(SystemInfoOnThePrefix, TheSystemLineOfWindows7ServicePack1) {
    EXPECT_EQ(RunningSystemVersionLine(),
              "System   :  Workstation, Version: 6.1, Build: 1DB1, \"Service Pack 1\"");
    const TOSVersionData version = ReadOSVersionData();
    EXPECT_TRUE(version.Extended);
    EXPECT_EQ(version.ProductType, VER_NT_WORKSTATION);
    EXPECT_EQ(version.ProductOptions, "WinNT");
    EXPECT_NE(version.Kernel32ProductVersion, 0u);
}

TEST(SystemInfoOnThePrefix, TheSystemSectionIsSystemProcessorAndDisplay) {
    const std::vector<AnsiString> lines = SystemSectionLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], RunningSystemVersionLine());
    EXPECT_EQ(lines[1].rfind("Processor: ", 0), 0u);
    const WindowDC screen = WindowDC::OfClient(nullptr);
    ASSERT_TRUE(screen);
    EXPECT_EQ(lines[2],
              Format("Display  : %dx%d pixels, %d bpp",
                     {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                      ::GetDeviceCaps(screen.get(), BITSPIXEL) * ::GetDeviceCaps(screen.get(), PLANES)}));
}

TEST(ProcessorOnThePrefix, TheLineNamesVendorAndAMeasuredClock) {
    const TCpuIdData cpu = ReadCpuId();
    EXPECT_EQ(cpu.VendorId.size(), 12u);
    const std::vector<AnsiString> lines = ProcessorReportLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("Processor: " + CpuVendorName(cpu.VendorId) + ", ", 0), 0u) << lines[0];
    if ((cpu.Features & CpuFeatureTimeStampCounter) != 0) {
        EXPECT_GT(MeasureProcessorClock(cpu), 0u);
    }
}

TEST(ProcessorOnThePrefix, EachPassLastsAtLeastOneMillisecond) {
    const TClockPass pass = MeasureClockPass();
    EXPECT_GE(pass.Microseconds, 1000u);
    EXPECT_GT(pass.TimeStampTicks, 0u);
    EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}

TEST(ProcessorOnThePrefix, AFailureIsWrittenBetweenBannersUnderItsClassName) {
    const std::vector<AnsiString> lines =
        ProcessorReportLines([]() -> AnsiString { throw EInvalidOperation("CPUID refused"); });
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "---------------- Exception during CPU Info --------------");
    EXPECT_EQ(lines[1], "EInvalidOperation: CPUID refused");
    EXPECT_EQ(lines[2], lines[0]);
}

std::string AddressText(uint64_t address) {
    return Format("%.8x", {static_cast<unsigned long long>(address)});
}

// The base of each "[base] path" line, in the order listed.
std::vector<uint64_t> ListedBases(const std::vector<AnsiString>& lines) {
    std::vector<uint64_t> bases;
    for (const AnsiString& line : lines) {
        if (line.size() > 2 && line[0] == '[')
            bases.push_back(std::stoull(line.substr(1, line.find(']') - 1), nullptr, 16));
    }
    return bases;
}

// The line after the module's "[base] path" line.
AnsiString VersionLineOf(const std::vector<AnsiString>& lines, HMODULE module) {
    const AnsiString start = "[" + AddressText(reinterpret_cast<uintptr_t>(module)) + "] ";
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].rfind(start, 0) == 0)
            return lines[i + 1];
    }
    return "(module not listed)";
}

TEST(ModulesSection, ListsEveryModuleOnceInStrictlyAscendingOrderOfBase) {
    const std::optional<std::vector<AnsiString>> lines = ModulesSectionLines();
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->front(), "List of loaded modules:");
    const std::vector<uint64_t> bases = ListedBases(*lines);
    ASSERT_GE(bases.size(), 3u);
    for (size_t i = 1; i < bases.size(); ++i)
        EXPECT_LT(bases[i - 1], bases[i]);
    EXPECT_NE(VersionLineOf(*lines, ::GetModuleHandleW(L"kernel32.dll")), "(module not listed)");
    // Addresses have the pointer's width here: 8 digits on i686, 9 or more where x86-64 puts them.
    EXPECT_GE(AddressText(reinterpret_cast<uintptr_t>(::GetModuleHandleW(nullptr))).size(), 8u);
}

TEST(ModulesSection, AModuleAtItsPreferredBaseHasElevenBlanksBeforeItsVersion) {
    const HMODULE program = ::GetModuleHandleW(nullptr);
    wchar_t path[MAX_PATH];
    ASSERT_NE(::GetModuleFileNameW(program, path, MAX_PATH), 0u);
    const std::optional<uint64_t> preferred = PreferredImageBase(Wide(path));
    ASSERT_TRUE(preferred);
    const std::optional<std::vector<AnsiString>> lines = ModulesSectionLines();
    ASSERT_TRUE(lines);
    const AnsiString versionLine = VersionLineOf(*lines, program);
    if (*preferred == reinterpret_cast<uintptr_t>(program))
        EXPECT_EQ(versionLine, "           (no version info)");
    else
        EXPECT_EQ(versionLine, "<" + AddressText(*preferred) + "> (no version info)");
}

TEST(ModulesSection, AModuleForcedOffItsPreferredBaseShowsThatBase) {
    const fs::path folder =
        fs::temp_directory_path() / ("sysinfo-" + std::to_string(::GetCurrentProcessId()));
    fs::create_directories(folder);
    const fs::path library = folder / "relocated.dll";
    fs::copy_file(HostPath(STANDIN_DAO_PATH), library, fs::copy_options::overwrite_existing);
    const std::optional<uint64_t> preferred = PreferredImageBase(Wide(library.wstring()));
    ASSERT_TRUE(preferred);
    {
        // Holding the preferred range makes the loader put the library elsewhere.
        void* const blocker = ::VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(*preferred)),
                                             0x10000, MEM_RESERVE, PAGE_NOACCESS);
        ASSERT_NE(blocker, nullptr);
        const UniqueModule module(::LoadLibraryW(library.c_str()));
        ::VirtualFree(blocker, 0, MEM_RELEASE);
        ASSERT_TRUE(module);
        ASSERT_NE(reinterpret_cast<uintptr_t>(module.get()), *preferred);
        const std::optional<std::vector<AnsiString>> lines = ModulesSectionLines();
        ASSERT_TRUE(lines);
        const AnsiString versionLine = VersionLineOf(*lines, module.get());
        EXPECT_EQ(versionLine.rfind("<" + AddressText(*preferred) + "> 3.60.", 0), 0u) << versionLine;
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

} // namespace
