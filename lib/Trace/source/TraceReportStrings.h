// The translatable texts of the error report's body, character for character as reports have
// always shown them: people compare reports across versions, and tools search them by these texts.
#pragma once

// Formats take the runtime's Format directives; "%x" writes upper-case digits.
constexpr char RsStackList[] = "Stack list, generated %s";
constexpr char RsOSVersion[] = "System   : %s %s, Version: %d.%d, Build: %x, \"%s\"";
constexpr char RsProcessor[] = "Processor: %s, %s, %d MHz %s%s";
constexpr char RsScreenRes[] = "Display  : %dx%d pixels, %d bpp";
constexpr char RsModulesList[] = "List of loaded modules:";
constexpr char RsMissingVersionInfo[] = "(no version info)";
// The misspelling is the text reports have always carried.
constexpr char RsActiveControl[] = "Active Controls hiearchy:";

// Operating-system names.
constexpr char RsOSVersionWin95[] = "Windows 95";
constexpr char RsOSVersionWin95OSR2[] = "Windows 95 OSR2";
constexpr char RsOSVersionWin98[] = "Windows 98";
constexpr char RsOSVersionWin98SE[] = "Windows 98 SE";
constexpr char RsOSVersionWinME[] = "Windows ME";
constexpr char RsOSVersionWinNT3[] = "Windows NT 3.%u";
constexpr char RsOSVersionWinNT4[] = "Windows NT 4.%u";
constexpr char RsOSVersionWin2000[] = "Windows 2000";
constexpr char RsOSVersionWinXP[] = "Windows XP";

// Product types.
constexpr char RsProductTypeWorkStation[] = "Workstation";
constexpr char RsProductTypeServer[] = "Server";
constexpr char RsProductTypeAdvancedServer[] = "Advanced Server";
constexpr char RsProductTypePersonal[] = "Home Edition";
constexpr char RsProductTypeProfessional[] = "Professional";
constexpr char RsProductTypeDataCenter[] = "Datacenter Server";

// Written around the failure when the processor cannot be read; the report goes on after it.
constexpr char RsCpuInfoExceptionBanner[] = "---------------- Exception during CPU Info --------------";
// Before each module's version when it lies at its preferred base (the width of "<%.8x> ").
constexpr char RsModuleAtPreferredBase[] = "           ";
