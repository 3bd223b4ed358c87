#include "TraceOSVersionText.h"

#include <cctype>

#include "Format.h"
#include "TraceReportStrings.h"

namespace {

constexpr int32_t PlatformWindows9x = 1;
constexpr int32_t PlatformWindowsNT = 2;
constexpr uint8_t ProductWorkstation = 1;
constexpr uint8_t ProductDomainController = 2;
constexpr uint8_t ProductServer = 3;
constexpr uint16_t SuiteEnterprise = 0x0002;
constexpr uint16_t SuiteDatacenter = 0x0080;
constexpr uint16_t SuitePersonal = 0x0200;
constexpr uint32_t WindowsMeKernelVersion = 0x0004005A;

// The runtime's Trim: every character up to the blank counts as white space.
AnsiString Trimmed(const AnsiString& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return text.substr(begin, end - begin);
}

bool EqualIgnoringCase(const AnsiString& left, const char* right) {
    size_t i = 0;
    for (; i < left.size() && right[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(left[i])) !=
            std::toupper(static_cast<unsigned char>(right[i])))
            return false;
    }
    return i == left.size() && right[i] == '\0';
}

AnsiString Windows9xName(const TOSVersionData& version) {
    const AnsiString servicePack = Trimmed(version.CSDVersion);
    if (version.MinorVersion < 10)
        return servicePack == "B" ? RsOSVersionWin95OSR2 : RsOSVersionWin95;
    if (version.MinorVersion < 90) {
        if (version.Kernel32ProductVersion == WindowsMeKernelVersion)
            return RsOSVersionWinME;
        return servicePack == "A" ? RsOSVersionWin98SE : RsOSVersionWin98;
    }
    if (version.MinorVersion == 90)
        return RsOSVersionWinME;
    return AnsiString();
}

AnsiString WindowsNTName(const TOSVersionData& version) {
    switch (version.MajorVersion) {
    case 3:
        if (version.MinorVersion == 10 || version.MinorVersion == 50 || version.MinorVersion == 51)
            return Format(RsOSVersionWinNT3, {version.MinorVersion});
        return AnsiString();
    case 4:
        return Format(RsOSVersionWinNT4, {version.MinorVersion});
    case 5:
        if (version.MinorVersion == 0)
            return RsOSVersionWin2000;
        if (version.MinorVersion == 1)
            return RsOSVersionWinXP;
        return AnsiString();
    default:
        return AnsiString();
    }
}

// A domain controller runs a server product as much as a member server does.
bool IsServerProduct(uint8_t productType) {
    return productType == ProductServer || productType == ProductDomainController;
}

AnsiString ProductTypeFromExtendedRecord(const TOSVersionData& version) {
    if (!version.Extended)
        return AnsiString();
    const bool windows2000 = version.MajorVersion == 5 && version.MinorVersion == 0;
    const bool windowsXP = version.MajorVersion == 5 && version.MinorVersion == 1;
    if (version.MajorVersion == 4 && version.ServicePackMajor > 5)
        return version.ProductType == ProductWorkstation ? RsProductTypeWorkStation : RsProductTypeServer;
    if (windows2000) {
        if (IsServerProduct(version.ProductType)) {
            if ((version.SuiteMask & SuiteDatacenter) != 0)
                return RsProductTypeDataCenter;
            if ((version.SuiteMask & SuiteEnterprise) != 0)
                return RsProductTypeAdvancedServer;
            return RsProductTypeServer;
        }
        if (version.ProductType == ProductWorkstation)
            return RsProductTypeProfessional;
        return AnsiString();
    }
    if (windowsXP && version.ProductType == ProductWorkstation)
        return (version.SuiteMask & SuitePersonal) != 0 ? RsProductTypePersonal : RsProductTypeProfessional;
    return AnsiString();
}

} // namespace

AnsiString OperatingSystemName(const TOSVersionData& version) {
    switch (version.Platform) {
    case PlatformWindows9x:
        return Windows9xName(version);
    case PlatformWindowsNT:
        return WindowsNTName(version);
    default:
        return AnsiString();
    }
}

AnsiString ProductTypeName(const TOSVersionData& version) {
    AnsiString name = ProductTypeFromExtendedRecord(version);
    if (!name.empty())
        return name;
    if (EqualIgnoringCase(version.ProductOptions, "WINNT"))
        return RsProductTypeWorkStation;
    if (EqualIgnoringCase(version.ProductOptions, "SERVERNT"))
        return RsProductTypeAdvancedServer;
    if (EqualIgnoringCase(version.ProductOptions, "LANMANNT"))
        return RsProductTypeServer;
    return AnsiString();
}

AnsiString SystemVersionLine(const TOSVersionData& version) {
    return Format(RsOSVersion, {OperatingSystemName(version), ProductTypeName(version), version.MajorVersion,
                                version.MinorVersion, version.BuildNumber, version.CSDVersion});
}

AnsiString DisplayLine(int32_t width, int32_t height, int32_t bitsPerPixel) {
    return Format(RsScreenRes, {width, height, bitsPerPixel});
}
