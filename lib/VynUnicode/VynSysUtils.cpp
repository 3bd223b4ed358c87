#include "VynSysUtils.h"

#include "VynWindows.h"

bool VynPlatformIsNT = true;

namespace {

void StartVynSysUtils() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (::GetVersionExW(&version))
        VynPlatformIsNT = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

// Last position of a path delimiter (backslash or colon), or npos.
size_t LastPathDelimiter(const WideString& path) { return path.find_last_of(u"\\:"); }

} // namespace

const TUnitInfo VynSysUtilsUnit{"lib/VynUnicode/VynSysUtils", StartVynSysUtils, nullptr};

WideString ExtractFilePathWide(const WideString& path) {
    const size_t at = LastPathDelimiter(path);
    return at == WideString::npos ? WideString() : path.substr(0, at + 1);
}

WideString ExtractFileNameWide(const WideString& path) {
    const size_t at = LastPathDelimiter(path);
    return at == WideString::npos ? path : path.substr(at + 1);
}

WideString ExcludeTrailingBackslashWide(const WideString& path) {
    if (!path.empty() && path.back() == u'\\')
        return path.substr(0, path.size() - 1);
    return path;
}

TFileHandle FileCreateWide(const WideString& fileName) {
    HANDLE handle = VynCreateFileW(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? InvalidFileHandle : reinterpret_cast<TFileHandle>(handle);
}

TFileHandle FileOpenWide(const WideString& fileName, uint32_t mode) {
    static const DWORD accessModes[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    static const DWORD shareModes[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
    const uint32_t access = mode & 3;
    const uint32_t share = (mode & 0xF0) >> 4;
    if (access > 2 || share > 4 || (mode & ~0xF3u) != 0)
        return InvalidFileHandle;
    HANDLE handle = VynCreateFileW(fileName.c_str(), accessModes[access], shareModes[share], nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? InvalidFileHandle : reinterpret_cast<TFileHandle>(handle);
}

bool FileExistsWide(const WideString& fileName) {
    const DWORD attributes = VynGetFileAttributesW(fileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExistsWide(const WideString& path) {
    const DWORD attributes = VynGetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteFileWide(const WideString& fileName) { return VynDeleteFileW(fileName.c_str()) != FALSE; }

bool ForceDirectoriesWide(const WideString& path) {
    if (path.empty())
        throw EVynGeneralError("Unable to create directory");
    const WideString folder = ExcludeTrailingBackslashWide(path);
    if (folder.size() < 3 || DirectoryExistsWide(folder) || ExtractFilePathWide(folder) == folder)
        return true;
    return ForceDirectoriesWide(ExtractFilePathWide(folder)) && VynCreateDirectoryW(folder.c_str(), nullptr);
}
