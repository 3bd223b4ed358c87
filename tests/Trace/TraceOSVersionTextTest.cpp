// Every row of the operating-system name and product-type tables, with version data of systems
// other than the one running.
#include <gtest/gtest.h>

#include "TraceOSVersionText.h"

namespace {

TOSVersionData Windows9x(uint32_t minor, const char* servicePack, uint32_t kernelVersion = 0) {
    TOSVersionData version;
    version.Platform = 1;
    version.MajorVersion = 4;
    version.MinorVersion = minor;
    version.BuildNumber = 1998;
    version.CSDVersion = servicePack;
    version.Kernel32ProductVersion = kernelVersion;
    return version;
}

TOSVersionData WindowsNT(uint32_t major, uint32_t minor) {
    TOSVersionData version;
    version.Platform = 2;
    version.MajorVersion = major;
    version.MinorVersion = minor;
    version.BuildNumber = 2195;
    return version;
}

TOSVersionData Extended(TOSVersionData version, uint8_t productType, uint16_t suite,
                        uint16_t servicePack = 0) {
    version.Extended = true;
    version.ProductType = productType;
    version.SuiteMask = suite;
    version.ServicePackMajor = servicePack;
    return version;
}

TEST(OperatingSystemName, TheWindows9xFamilyByMinorVersionServiceTextAndKernel) {
    EXPECT_EQ(OperatingSystemName(Windows9x(0, "")), "Windows 95");
    EXPECT_EQ(OperatingSystemName(Windows9x(0, " A ")), "Windows 95");
    EXPECT_EQ(OperatingSystemName(Windows9x(3, " B ")), "Windows 95 OSR2");
    EXPECT_EQ(OperatingSystemName(Windows9x(10, "")), "Windows 98");
    EXPECT_EQ(OperatingSystemName(Windows9x(10, " A ")), "Windows 98 SE");
    EXPECT_EQ(OperatingSystemName(Windows9x(10, "B")), "Windows 98");
    EXPECT_EQ(OperatingSystemName(Windows9x(89, " A ", 0x0004005A)), "Windows ME");
    EXPECT_EQ(OperatingSystemName(Windows9x(10, "", 0x0004000A)), "Windows 98");
    EXPECT_EQ(OperatingSystemName(Windows9x(90, "")), "Windows ME");
    EXPECT_EQ(OperatingSystemName(Windows9x(91, "")), "");
}

TEST(OperatingSystemName, TheNTFamilyByVersion) {
    EXPECT_EQ(OperatingSystemName(WindowsNT(3, 10)), "Windows NT 3.10");
    EXPECT_EQ(OperatingSystemName(WindowsNT(3, 50)), "Windows NT 3.50");
    EXPECT_EQ(OperatingSystemName(WindowsNT(3, 51)), "Windows NT 3.51");
    EXPECT_EQ(OperatingSystemName(WindowsNT(3, 0)), "");
    EXPECT_EQ(OperatingSystemName(WindowsNT(4, 0)), "Windows NT 4.0");
    EXPECT_EQ(OperatingSystemName(WindowsNT(4, 1)), "Windows NT 4.1");
    EXPECT_EQ(OperatingSystemName(WindowsNT(5, 0)), "Windows 2000");
    EXPECT_EQ(OperatingSystemName(WindowsNT(5, 1)), "Windows XP");
    EXPECT_EQ(OperatingSystemName(WindowsNT(5, 2)), "");
    EXPECT_EQ(OperatingSystemName(WindowsNT(6, 1)), "");
    TOSVersionData win32s = WindowsNT(3, 10);
    win32s.Platform = 0;
    EXPECT_EQ(OperatingSystemName(win32s), "");
}

TEST(ProductTypeName, NT4WithAServicePackAboveFiveReadsTheExtendedRecord) {
    EXPECT_EQ(ProductTypeName(Extended(WindowsNT(4, 0), 1, 0, 6)), "Workstation");
    EXPECT_EQ(ProductTypeName(Extended(WindowsNT(4, 0), 3, 0, 6)), "Server");
    EXPECT_EQ(ProductTypeName(Extended(WindowsNT(4, 0), 2, 0, 6)), "Server");
    // Service pack 5 and before leave the answer to the registry.
    TOSVersionData servicePack5 = Extended(WindowsNT(4, 0), 3, 0, 5);
    EXPECT_EQ(ProductTypeName(servicePack5), "");
    servicePack5.ProductOptions = "LanmanNT";
    EXPECT_EQ(ProductTypeName(servicePack5), "Server");
}

TEST(ProductTypeName, Windows2000ServersBySuiteAndWorkstationsAsProfessional) {
    EXPECT_EQ(ProductTypeName(Extended(WindowsNT(5, 0), 3, 0x80 | 0x2)), "Datacenter Server");
    EXPECT_EQ(ProductTypeName(Extended(WindowsNT(5, 0), 3, 0x2)), "Advanced Server");
    EXPECT_EQ(ProductTypeName(Extended(WindowsNT(5, 0), 3, 0)), "Server");
    EXPECT_EQ(ProductTypeName(Extended(WindowsNT(5, 0), 2, 0)), "Server");
    EXPECT_EQ(ProductTypeName(Extended(WindowsNT(5, 0), 1, 0x80)), "Professional");
}

TEST(ProductTypeName, WindowsXPWorkstationsByThePersonalSuite) {
    EXPECT_EQ(ProductTypeName(Extended(WindowsNT(5, 1), 1, 0x200)), "Home Edition");
    EXPECT_EQ(ProductTypeName(Extended(WindowsNT(5, 1), 1, 0)), "Professional");
    // An XP server product is no table row: the registry decides.
    TOSVersionData server = Extended(WindowsNT(5, 1), 3, 0);
    EXPECT_EQ(ProductTypeName(server), "");
    server.ProductOptions = "ServerNT";
    EXPECT_EQ(ProductTypeName(server), "Advanced Server");
}

TEST(ProductTypeName, TheProductOptionsValueDecidesWithoutRegardToCase) {
    TOSVersionData version = WindowsNT(6, 1);
    version.ProductOptions = "WinNT";
    EXPECT_EQ(ProductTypeName(version), "Workstation");
    version.ProductOptions = "servernt";
    EXPECT_EQ(ProductTypeName(version), "Advanced Server");
    version.ProductOptions = "LANMANNT";
    EXPECT_EQ(ProductTypeName(version), "Server");
    version.ProductOptions = "WINNTX";
    EXPECT_EQ(ProductTypeName(version), "");
    version.ProductOptions = "WINN";
    EXPECT_EQ(ProductTypeName(version), "");
    version.ProductOptions = "";
    EXPECT_EQ(ProductTypeName(version), "");
    // Without the extended record NT 5 asks the registry as well.
    TOSVersionData windows2000 = WindowsNT(5, 0);
    windows2000.ProductOptions = "WINNT";
    EXPECT_EQ(ProductTypeName(windows2000), "Workstation");
}

TEST(SystemVersionLine, WritesTheBuildInHexadecimal) {
    TOSVersionData xp = Extended(WindowsNT(5, 1), 1, 0);
    xp.BuildNumber = 2600;
    xp.CSDVersion = "Service Pack 2";
    EXPECT_EQ(SystemVersionLine(xp),
              "System   : Windows XP Professional, Version: 5.1, Build: A28, \"Service Pack 2\"");
}

TEST(SystemVersionLine, AnUnnamedSystemLeavesTwoBlanksBeforeItsProductType) {
    TOSVersionData wine = Extended(WindowsNT(6, 1), 1, 0x100, 1);
    wine.BuildNumber = 7601;
    wine.CSDVersion = "Service Pack 1";
    wine.ProductOptions = "WinNT";
    EXPECT_EQ(SystemVersionLine(wine),
              "System   :  Workstation, Version: 6.1, Build: 1DB1, \"Service Pack 1\"");
}

TEST(DisplayLine, SizeAndDepth) {
    EXPECT_EQ(DisplayLine(1024, 768, 32), "Display  : 1024x768 pixels, 32 bpp");
}

} // namespace
