// The error report's "Processor" line from what CPUID reported, and the lines that stand in its
// place when reading the processor failed.
#pragma once

#include <cstdint>
#include <vector>

#include "SysTypes.h"

struct TCpuIdData {
    // The twelve characters of leaf 0 (EBX, EDX, ECX): "GenuineIntel", "AuthenticAMD", ...
    AnsiString VendorId;
    // Leaf 1: EAX (stepping, model, family and their extensions) and EDX (feature flags).
    uint32_t Signature = 0;
    uint32_t Features = 0;
    // Leaves 0x80000002 to 0x80000004 as the processor gives them; "" where it has none.
    AnsiString BrandString;
};

constexpr uint32_t CpuFeatureTimeStampCounter = 1u << 4;
constexpr uint32_t CpuFeatureMmx = 1u << 23;

// "Intel", "AMD", "Cyrix", "Transmeta", ...; the vendor identification itself (trimmed) for a
// vendor the table does not know.
AnsiString CpuVendorName(const AnsiString& vendorId);
// The brand string when the processor has one (without the blanks some pad it with), else a
// name from the family and model ("Intel 486DX Processor", "AMD-K6(R)"), else
// "<vendor> Family f Model m".
AnsiString CpuProcessorName(const TCpuIdData& cpu);

// "Processor: <vendor>, <name>, <clock> MHz MMX [FDIV Bug]" with the parts that apply.
AnsiString ProcessorLine(const TCpuIdData& cpu, uint32_t clockMHz, bool divisionTestPassed);
// The banner, "<class>: <message>", the banner again.
std::vector<AnsiString> CpuInfoFailureLines(const AnsiString& className, const AnsiString& message);
