#include "VynLXSystemInfo.h"

#include "Format.h"
#include "VynSysUtilsPaths.h"
#include "VynWindows.h"

TSystemInfoProc SystemInfoProc = nullptr;

namespace {

constexpr char16_t RsTotalPhysicalMemory[] = u"Total Physical Memory: %d MB";
constexpr char16_t RsAvailPhysicalMemory[] = u"Avail Physical Memory: %d MB";
constexpr char16_t RsMemoryLoad[] = u"Memory Load: %d%%";
constexpr char16_t RsTotalWindowsDiskSpace[] = u"Total Windows HD Space (%s) = %d MB";
constexpr char16_t RsFreeWindowsDiskSpace[] = u"Free Windows HD Space = %d MB";

TVarRec Megabytes(uint64_t bytes) {
    return TVarRec(static_cast<long long>(bytes >> 20));
}

// Procedures that older systems' kernel32 lacks: importing them would keep the program from
// loading there at all.
template <typename Procedure> Procedure Kernel32Procedure(const char* name) {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return nullptr;
    return reinterpret_cast<Procedure>(reinterpret_cast<void*>(::GetProcAddress(kernel, name)));
}

// A date or time formatting call's text: asked for its length first, so no format is cut.
template <typename FormatCall> WideString FormattedText(FormatCall call) {
    const int needed = call(nullptr, 0);
    if (needed <= 0)
        return WideString();
    WideString text(static_cast<size_t>(needed), u'\0');
    const int written = call(text.data(), needed);
    if (written <= 0)
        return WideString();
    // The length counts the terminator.
    text.resize(static_cast<size_t>(written - 1));
    return text;
}

} // namespace

// ---- Memory

std::vector<WideString> MemoryLines(const TMemoryFigures& memory) {
    return {WideFormat(RsTotalPhysicalMemory, {Megabytes(memory.TotalPhysical)}),
            WideFormat(RsAvailPhysicalMemory, {Megabytes(memory.AvailPhysical)}),
            WideFormat(RsMemoryLoad, {memory.MemoryLoad})};
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

// ---- The Windows folder's disk

std::vector<WideString> WindowsDiskLines(const WideString& drive, uint64_t totalBytes, uint64_t freeBytes) {
    return {WideFormat(RsTotalWindowsDiskSpace, {drive, Megabytes(totalBytes)}),
            WideFormat(RsFreeWindowsDiskSpace, {Megabytes(freeBytes)})};
}

std::optional<TDiskSpace> ReadDiskSpace(const WideString& root) {
    using GetDiskFreeSpaceExProc = BOOL(WINAPI*)(LPCWSTR, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*);
    if (const auto spaceEx = Kernel32Procedure<GetDiskFreeSpaceExProc>("GetDiskFreeSpaceExW")) {
        ULARGE_INTEGER availableToCaller{}, total{}, free{};
        // The 9x family's kernel32 exports the wide call as a stub that fails; the old call follows.
        if (spaceEx(WinText(root), &availableToCaller, &total, &free))
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

// ---- Date and time

WideString LocalDateTimeText(const SYSTEMTIME& moment) {
    const WideString date = FormattedText([&moment](char16_t* buffer, int capacity) {
        return VynGetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, buffer, capacity);
    });
    // Without flags and format the time is written in the locale's long time format.
    const WideString time = FormattedText([&moment](char16_t* buffer, int capacity) {
        return VynGetTimeFormatW(LOCALE_USER_DEFAULT, 0, &moment, nullptr, buffer, capacity);
    });
    if (date.empty() || time.empty())
        return date + time;
    return date + u" " + time;
}

WideString CurrentDateTimeText() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return LocalDateTimeText(now);
}
