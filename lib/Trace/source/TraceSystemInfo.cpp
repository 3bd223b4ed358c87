#include "TraceSystemInfo.h"

#include <windows.h>

#include "DeviceContexts.h"
#include "Exceptions.h"
#include "Registry.h"
#include "TraceCpuInfo.h"
#include "TraceFileVersion.h"
#include "VynWindows.h"

namespace {

WideString Kernel32Path() {
    char16_t path[MAX_PATH + 1] = {};
    const DWORD length = VynGetModuleFileNameW(::GetModuleHandleW(L"kernel32.dll"), path, MAX_PATH);
    return WideString(path, length > MAX_PATH ? MAX_PATH : length);
}

AnsiString ProductOptionsValue() {
    try {
        TRegistry registry(KEY_READ);
        registry.SetRootKey(HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly("System\\CurrentControlSet\\Control\\ProductOptions"))
            return AnsiString();
        return registry.ReadString("ProductType");
    } catch (const Exception&) {
        // A value of another type names no product.
        return AnsiString();
    }
}

} // namespace

TOSVersionData ReadOSVersionData() {
    TOSVersionData data;
    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof extended;
    // Systems before NT 4 SP6 refuse the extended record's size; they take the plain one.
    if (::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
        data.Extended = true;
        data.ServicePackMajor = extended.wServicePackMajor;
        data.SuiteMask = extended.wSuiteMask;
        data.ProductType = extended.wProductType;
    } else {
        extended = OSVERSIONINFOEXA{};
        extended.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended));
    }
    data.Platform = static_cast<int32_t>(extended.dwPlatformId);
    data.MajorVersion = extended.dwMajorVersion;
    data.MinorVersion = extended.dwMinorVersion;
    data.BuildNumber = data.Platform == VER_PLATFORM_WIN32_WINDOWS ? extended.dwBuildNumber & 0xFFFF
                                                                   : extended.dwBuildNumber;
    const size_t csdLength = strnlen(extended.szCSDVersion, sizeof extended.szCSDVersion);
    data.CSDVersion.assign(extended.szCSDVersion, csdLength);
    data.Kernel32ProductVersion = ReadProductVersionMajorMinor(Kernel32Path());
    data.ProductOptions = ProductOptionsValue();
    return data;
}

AnsiString RunningSystemVersionLine() {
    return SystemVersionLine(ReadOSVersionData());
}

AnsiString RunningDisplayLine() {
    const WindowDC screen = WindowDC::OfClient(nullptr);
    const int bitsPerPixel =
        screen ? ::GetDeviceCaps(screen.get(), BITSPIXEL) * ::GetDeviceCaps(screen.get(), PLANES) : 0;
    return DisplayLine(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), bitsPerPixel);
}

std::vector<AnsiString> SystemSectionLines() {
    std::vector<AnsiString> lines{RunningSystemVersionLine()};
    const std::vector<AnsiString> processor = ProcessorReportLines();
    lines.insert(lines.end(), processor.begin(), processor.end());
    lines.push_back(RunningDisplayLine());
    return lines;
}
