// The processor and module lines of the error report from given data.
#include <gtest/gtest.h>

#include "TraceModuleLines.h"
#include "TraceProcessorText.h"
#include "TraceReportStrings.h"

namespace {

TCpuIdData Cpu(const char* vendor, uint32_t family, uint32_t model, const char* brand = "") {
    TCpuIdData cpu;
    cpu.VendorId = vendor;
    cpu.Signature = family << 8 | model << 4;
    cpu.BrandString = brand;
    return cpu;
}

TEST(ProcessorText, VendorsByTheirShortNamesUnknownOnesAsTheyIdentify) {
    EXPECT_EQ(CpuVendorName("GenuineIntel"), "Intel");
    EXPECT_EQ(CpuVendorName("AuthenticAMD"), "AMD");
    EXPECT_EQ(CpuVendorName("CyrixInstead"), "Cyrix");
    EXPECT_EQ(CpuVendorName("GenuineTMx86"), "Transmeta");
    EXPECT_EQ(CpuVendorName("  Shanghai  "), "Shanghai");
    EXPECT_EQ(CpuVendorName(AnsiString("VIA VIA VIA\0", 12)), "VIA VIA VIA");
}

TEST(ProcessorText, TheBrandStringNamesTheProcessorElseFamilyAndModel) {
    EXPECT_EQ(CpuProcessorName(Cpu("GenuineIntel", 6, 15, "       Intel(R) Core(TM)2 CPU\0\0\0")),
              "Intel(R) Core(TM)2 CPU");
    EXPECT_EQ(CpuProcessorName(Cpu("GenuineIntel", 4, 1)), "Intel 486DX Processor");
    EXPECT_EQ(CpuProcessorName(Cpu("GenuineIntel", 5, 2)), "Intel Pentium Processor");
    EXPECT_EQ(CpuProcessorName(Cpu("AuthenticAMD", 5, 6)), "AMD-K6(R)");
    EXPECT_EQ(CpuProcessorName(Cpu("CyrixInstead", 5, 2)), "Cyrix Family 5 Model 2");
    // Family 15 adds the extended family; families 6 and 15 the extended model.
    TCpuIdData extended = Cpu("GenuineIntel", 15, 2);
    extended.Signature |= 1u << 20 | 1u << 16;
    EXPECT_EQ(CpuProcessorName(extended), "Intel Family 16 Model 18");
    EXPECT_EQ(CpuProcessorName(Cpu("GenuineIntel", 6, 1, "    ")), "Intel Pentium Pro Processor");
}

TEST(ProcessorText, TheLineShowsMmxAndTheDivisionFaultOnlyWhereTheyApply) {
    TCpuIdData cpu = Cpu("GenuineIntel", 5, 4);
    EXPECT_EQ(ProcessorLine(cpu, 233, true), "Processor: Intel, Intel Pentium MMX Processor, 233 MHz ");
    cpu.Features = CpuFeatureMmx | CpuFeatureTimeStampCounter;
    EXPECT_EQ(ProcessorLine(cpu, 233, true), "Processor: Intel, Intel Pentium MMX Processor, 233 MHz MMX");
    EXPECT_EQ(ProcessorLine(Cpu("GenuineIntel", 5, 2), 60, false),
              "Processor: Intel, Intel Pentium Processor, 60 MHz  [FDIV Bug]");
}

TEST(ProcessorText, AFailureIsFramedByTheBanner) {
    const std::vector<AnsiString> lines = CpuInfoFailureLines("EOSError", "Access denied");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "---------------- Exception during CPU Info --------------");
    EXPECT_EQ(lines[1], "EOSError: Access denied");
    EXPECT_EQ(lines[2], lines[0]);
}

TReportModule Module(uint64_t base, const char* path, std::optional<uint64_t> preferred) {
    TReportModule module;
    module.Base = base;
    module.Path = path;
    module.PreferredBase = preferred;
    return module;
}

TEST(ModuleLines, InAscendingOrderOfBaseWhateverOrderTheyCameIn) {
    const std::vector<AnsiString> lines = ModuleReportLines(
        {Module(0x7C800000, "C:\\kernel32.dll", 0x7C800000), Module(0x400000, "C:\\Ferrule.exe", 0x400000),
         Module(0x10000000, "C:\\dao360.dll", 0x10000000)});
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "List of loaded modules:");
    EXPECT_EQ(lines[1], "[00400000] C:\\Ferrule.exe");
    EXPECT_EQ(lines[3], "[10000000] C:\\dao360.dll");
    EXPECT_EQ(lines[5], "[7C800000] C:\\kernel32.dll");
}

TEST(ModuleLines, ARelocatedModuleShowsItsPreferredBaseOthersElevenBlanks) {
    TReportModule relocated = Module(0x3A0000, "C:\\copy.dll", 0x10000000);
    TReportModule atHome = Module(0x10000000, "C:\\dao360.dll", 0x10000000);
    TReportModule unreadable = Module(0x20000000, "C:\\gone.dll", std::nullopt);
    const std::vector<AnsiString> lines = ModuleReportLines({relocated, atHome, unreadable});
    EXPECT_EQ(lines[2], "<10000000> (no version info)");
    EXPECT_EQ(lines[4], "           (no version info)");
    EXPECT_EQ(lines[6], "           (no version info)");
    EXPECT_EQ(AnsiString(RsModuleAtPreferredBase).size(), AnsiString("<10000000> ").size());
}

TEST(ModuleLines, VersionFromTheFixedRecordAndStringsWithTheDescriptionBelow) {
    TReportModule dao = Module(0x10000000, "C:\\dao360.dll", 0x10000000);
    dao.Version = TReportModuleVersion{{3, 60, 9756, 0}, "3.60.9756.0", "Microsoft DAO 3.60"};
    TReportModule bare = Module(0x20000000, "C:\\bare.dll", 0x30000000);
    bare.Version = TReportModuleVersion{{1, 2, 3, 4}, "", ""};
    const std::vector<AnsiString> lines = ModuleReportLines({dao, bare});
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], "           3.60.9756.0 - 3.60.9756.0");
    EXPECT_EQ(lines[3], "           Microsoft DAO 3.60");
    EXPECT_EQ(lines[5], "<30000000> 1.2.3.4 - ");
}

TEST(ModuleLines, AddressesAboveFourGigabytesKeepEveryDigit) {
    const std::vector<AnsiString> lines =
        ModuleReportLines({Module(0x7FFA12340000ull, "C:\\ntdll.dll", 0x180000000ull)});
    EXPECT_EQ(lines[1], "[7FFA12340000] C:\\ntdll.dll");
    EXPECT_EQ(lines[2], "<180000000> (no version info)");
    EXPECT_EQ(ModuleReportLines({}), std::vector<AnsiString>{"List of loaded modules:"});
}

TEST(ReportStrings, TheBodyTextsAreThoseReportsHaveAlwaysShown) {
    EXPECT_STREQ(RsActiveControl, "Active Controls hiearchy:");
    EXPECT_STREQ(RsOSVersion, "System   : %s %s, Version: %d.%d, Build: %x, \"%s\"");
    EXPECT_STREQ(RsProcessor, "Processor: %s, %s, %d MHz %s%s");
    EXPECT_STREQ(RsScreenRes, "Display  : %dx%d pixels, %d bpp");
}

} // namespace
