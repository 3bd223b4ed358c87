#include "TraceSystemInfo.h"

#include <windows.h>

#include "DeviceContexts.h"
#include "Exceptions.h"
#include "Registry.h"
#include "TraceCpuInfo.h"
#include "TraceFileVersion.h"
#include "VynSysUtilsPaths.h"
#include "VynWindows.h"

namespace {

// Procedures that older systems' kernel32 lacks: importing them would keep the program from
// loading there at all.
template <typename Procedure> Procedure Kernel32Procedure(const char* name) {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return nullptr;
    return reinterpret_cast<Procedure>(reinterpret_cast<void*>(::GetProcAddress(kernel, name)));
}

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

TMemoryFigures ReadMemoryFigures() {
    using GlobalMemoryStatusExProc = BOOL(WINAPI*)(MEMORYSTATUSEX*);
    TMemoryFigures figures;
    if (const auto statusEx = Kernel32Procedure<GlobalMemoryStatusExProc>("GlobalMemoryStatusEx")) {
        MEMORYSTATUSEX status{};
        status.dwLength = sizeof status;
        if (statusEx(&status)) {
            figures.TotalPhysical = status.ullTotalPhys;
            figures.AvailPhysical = status.ullAvailPhys;
            figures.MemoryLoad = status.dwMemoryLoad;
            return figures;
        }
    }
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    ::GlobalMemoryStatus(&status);
    figures.TotalPhysical = status.dwTotalPhys;
    figures.AvailPhysical = status.dwAvailPhys;
    figures.MemoryLoad = status.dwMemoryLoad;
    return figures;
}

std::vector<WideString> RunningMemoryLines() {
    return MemoryLines(ReadMemoryFigures());
}

std::optional<TDiskSpace> ReadDiskSpace(const WideString& root) {
    using GetDiskFreeSpaceExProc = BOOL(WINAPI*)(LPCWSTR, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*);
    if (const auto spaceEx = Kernel32Procedure<GetDiskFreeSpaceExProc>("GetDiskFreeSpaceExW")) {
        ULARGE_INTEGER availableToCaller{}, total{}, free{};
        // The 9x family's kernel32 exports the wide call as a stub that fails; the old call follows.
        if (spaceEx(reinterpret_cast<LPCWSTR>(root.c_str()), &availableToCaller, &total, &free))
            return TDiskSpace{total.QuadPart, free.QuadPart};
    }
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!VynGetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                              &totalClusters))
        return std::nullopt;
    const uint64_t clusterBytes = uint64_t{sectorsPerCluster} * bytesPerSector;
    return TDiskSpace{totalClusters * clusterBytes, freeClusters * clusterBytes};
}

WideString WindowsDrive() {
    char16_t folder[MAX_PATH + 1] = {};
    const UINT length = VynGetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length > MAX_PATH)
        return WideString();
    return ExtractFileDriveWide(WideString(folder, length));
}

std::vector<WideString> RunningWindowsDiskLines() {
    const WideString drive = WindowsDrive();
    if (drive.empty())
        return {};
    const std::optional<TDiskSpace> space = ReadDiskSpace(drive + u"\\");
    if (!space)
        return {};
    return WindowsDiskLines(drive, space->TotalBytes, space->FreeBytes);
}
