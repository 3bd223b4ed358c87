#include "WindowsVersion.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <optional>

#include "TextConversion.h"

namespace {

TWindowsVersion ReadSystemVersion() {
    TWindowsVersion result;
    OSVERSIONINFOW wide{};
    wide.dwOSVersionInfoSize = sizeof wide;
    OSVERSIONINFOA ansi{};
    ansi.dwOSVersionInfoSize = sizeof ansi;
    DWORD platform = 0, major = 0, minor = 0, build = 0;
    if (::GetVersionExW(&wide)) {
        platform = wide.dwPlatformId, major = wide.dwMajorVersion, minor = wide.dwMinorVersion;
        build = wide.dwBuildNumber;
        const size_t length = wcsnlen(wide.szCSDVersion, sizeof wide.szCSDVersion / sizeof(WCHAR));
        result.CSDVersion.assign(reinterpret_cast<const char16_t*>(wide.szCSDVersion), length);
    } else if (::GetVersionExA(&ansi)) {
        // The 9x family has no wide version query.
        platform = ansi.dwPlatformId, major = ansi.dwMajorVersion, minor = ansi.dwMinorVersion;
        build = ansi.dwBuildNumber;
        result.CSDVersion = AnsiToWide(AnsiString(ansi.szCSDVersion, strnlen(ansi.szCSDVersion, sizeof ansi.szCSDVersion)));
    }
    // On the 9x family the high word of the build number repeats the major and minor version.
    if (platform == VER_PLATFORM_WIN32_WINDOWS)
        build &= 0xFFFF;
    result.Platform = static_cast<int32_t>(platform);
    result.MajorVersion = static_cast<int32_t>(major);
    result.MinorVersion = static_cast<int32_t>(minor);
    result.BuildNumber = static_cast<int32_t>(build);
    return result;
}

std::optional<TWindowsVersion>& CurrentVersion() {
    static std::optional<TWindowsVersion> version;
    return version;
}

} // namespace

const TWindowsVersion& WindowsVersion() {
    std::optional<TWindowsVersion>& version = CurrentVersion();
    if (!version)
        version = ReadSystemVersion();
    return *version;
}

int32_t Win32Platform() { return WindowsVersion().Platform; }
int32_t Win32MajorVersion() { return WindowsVersion().MajorVersion; }
int32_t Win32MinorVersion() { return WindowsVersion().MinorVersion; }
int32_t Win32BuildNumber() { return WindowsVersion().BuildNumber; }
WideString Win32CSDVersion() { return WindowsVersion().CSDVersion; }

TWindowsVersion ReplaceWindowsVersion(const TWindowsVersion& version) {
    TWindowsVersion previous = WindowsVersion();
    CurrentVersion() = version;
    return previous;
}
