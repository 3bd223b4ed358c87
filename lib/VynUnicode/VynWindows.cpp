#include "VynWindows.h"

#include "VynClasses.h"
#include "VynSysUtils.h"
#include "VynSystem.h"

namespace {

AnsiString Narrow(const char16_t* text) {
    return text == nullptr ? AnsiString() : WideToAnsiCP(WideString(text), DefaultCodePage);
}

} // namespace

HANDLE VynCreateFileW(const char16_t* fileName, DWORD access, DWORD shareMode, SECURITY_ATTRIBUTES* security,
                      DWORD creation, DWORD flags, HANDLE templateFile) {
    if (VynPlatformIsNT)
        return ::CreateFileW(WinText(fileName), access, shareMode, security, creation, flags, templateFile);
    return ::CreateFileA(Narrow(fileName).c_str(), access, shareMode, security, creation, flags, templateFile);
}

DWORD VynGetFileAttributesW(const char16_t* fileName) {
    if (VynPlatformIsNT)
        return ::GetFileAttributesW(WinText(fileName));
    return ::GetFileAttributesA(Narrow(fileName).c_str());
}

BOOL VynSetFileAttributesW(const char16_t* fileName, DWORD attributes) {
    if (VynPlatformIsNT)
        return ::SetFileAttributesW(WinText(fileName), attributes);
    return ::SetFileAttributesA(Narrow(fileName).c_str(), attributes);
}

BOOL VynCreateDirectoryW(const char16_t* path, SECURITY_ATTRIBUTES* security) {
    if (VynPlatformIsNT)
        return ::CreateDirectoryW(WinText(path), security);
    return ::CreateDirectoryA(Narrow(path).c_str(), security);
}

BOOL VynDeleteFileW(const char16_t* fileName) {
    if (VynPlatformIsNT)
        return ::DeleteFileW(WinText(fileName));
    return ::DeleteFileA(Narrow(fileName).c_str());
}

HMODULE VynLoadLibraryW(const char16_t* fileName) {
    if (VynPlatformIsNT)
        return ::LoadLibraryW(WinText(fileName));
    return ::LoadLibraryA(Narrow(fileName).c_str());
}

HMODULE VynLoadLibraryExW(const char16_t* fileName, HANDLE reserved, DWORD flags) {
    if (VynPlatformIsNT)
        return ::LoadLibraryExW(WinText(fileName), reserved, flags);
    return ::LoadLibraryExA(Narrow(fileName).c_str(), reserved, flags);
}

BOOL VynSetWindowTextW(HWND window, const char16_t* text) {
    if (VynPlatformIsNT)
        return ::SetWindowTextW(window, WinText(text));
    return ::SetWindowTextA(window, Narrow(text).c_str());
}
