#include "TraceProcessorText.h"

#include <array>
#include <string_view>

#include "Format.h"
#include "TraceReportStrings.h"

namespace {

struct VendorEntry {
    std::string_view Id;
    const char* Name;
};

constexpr std::array<VendorEntry, 13> Vendors{{
    {"GenuineIntel", "Intel"},
    {"AuthenticAMD", "AMD"},
    {"AMDisbetter!", "AMD"},
    {"CyrixInstead", "Cyrix"},
    {"GenuineTMx86", "Transmeta"},
    {"TransmetaCPU", "Transmeta"},
    {"CentaurHauls", "IDT"},
    {"NexGenDriven", "NexGen"},
    {"RiseRiseRise", "Rise"},
    {"UMC UMC UMC ", "UMC"},
    {"Geode by NSC", "NSC"},
    {"SiS SiS SiS ", "SiS"},
    {"HygonGenuine", "Hygon"},
}};

struct ModelEntry {
    std::string_view Vendor;
    uint32_t Family;
    int32_t Model; // -1: any model of the family
    const char* Name;
};

// Processors from before the brand string, by family and model.
constexpr std::array<ModelEntry, 22> Models{{
    {"Intel", 4, 0, "Intel 486DX Processor"},
    {"Intel", 4, 1, "Intel 486DX Processor"},
    {"Intel", 4, 2, "Intel 486SX Processor"},
    {"Intel", 4, 3, "Intel DX2 Processor"},
    {"Intel", 4, 4, "Intel 486SL Processor"},
    {"Intel", 4, 5, "Intel SX2 Processor"},
    {"Intel", 4, 7, "Intel DX2 Write-Back Enhanced Processor"},
    {"Intel", 4, 8, "Intel DX4 Processor"},
    {"Intel", 5, 4, "Intel Pentium MMX Processor"},
    {"Intel", 5, -1, "Intel Pentium Processor"},
    {"Intel", 6, 1, "Intel Pentium Pro Processor"},
    {"Intel", 6, 3, "Intel Pentium II Processor"},
    {"Intel", 6, 5, "Intel Pentium II Processor"},
    {"Intel", 6, 6, "Intel Celeron Processor"},
    {"Intel", 6, 7, "Intel Pentium III Processor"},
    {"Intel", 6, 8, "Intel Pentium III Processor"},
    {"AMD", 4, -1, "AMD Am486 Processor"},
    {"AMD", 5, 0, "AMD-K5(R)"},
    {"AMD", 5, 6, "AMD-K6(R)"},
    {"AMD", 5, 7, "AMD-K6(R)"},
    {"AMD", 5, 8, "AMD-K6(R)-2"},
    {"AMD", 5, 9, "AMD-K6(R)-III"},
}};

AnsiString TrimmedBlanks(const AnsiString& text) {
    const size_t begin = text.find_first_not_of(' ');
    if (begin == AnsiString::npos)
        return AnsiString();
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

// The brand string may carry zeros inside its 48 bytes; the name ends at the first.
AnsiString BrandName(const AnsiString& brand) {
    return TrimmedBlanks(brand.substr(0, brand.find('\0')));
}

uint32_t Family(uint32_t signature) {
    const uint32_t family = (signature >> 8) & 0xF;
    return family == 0xF ? family + ((signature >> 20) & 0xFF) : family;
}

uint32_t Model(uint32_t signature) {
    const uint32_t model = (signature >> 4) & 0xF;
    const uint32_t family = (signature >> 8) & 0xF;
    return family == 0x6 || family == 0xF ? model | ((signature >> 12) & 0xF0) : model;
}

} // namespace

AnsiString CpuVendorName(const AnsiString& vendorId) {
    for (const VendorEntry& vendor : Vendors) {
        if (vendor.Id == vendorId)
            return vendor.Name;
    }
    return TrimmedBlanks(vendorId.substr(0, vendorId.find('\0')));
}

AnsiString CpuProcessorName(const TCpuIdData& cpu) {
    AnsiString brand = BrandName(cpu.BrandString);
    if (!brand.empty())
        return brand;
    const AnsiString vendor = CpuVendorName(cpu.VendorId);
    const uint32_t family = Family(cpu.Signature);
    const uint32_t model = Model(cpu.Signature);
    for (const ModelEntry& entry : Models) {
        if (entry.Vendor == vendor && entry.Family == family &&
            (entry.Model < 0 || static_cast<uint32_t>(entry.Model) == model))
            return entry.Name;
    }
    return Format("%s Family %d Model %d", {vendor, family, model});
}

AnsiString ProcessorLine(const TCpuIdData& cpu, uint32_t clockMHz, bool divisionTestPassed) {
    const char* mmx = (cpu.Features & CpuFeatureMmx) != 0 ? "MMX" : "";
    const char* divisionFault = divisionTestPassed ? "" : " [FDIV Bug]";
    return Format(RsProcessor,
                  {CpuVendorName(cpu.VendorId), CpuProcessorName(cpu), clockMHz, mmx, divisionFault});
}

std::vector<AnsiString> CpuInfoFailureLines(const AnsiString& className, const AnsiString& message) {
    return {RsCpuInfoExceptionBanner, className + ": " + message, RsCpuInfoExceptionBanner};
}
