#include "VynLXUtils.h"

#include <shlobj.h>

#include "Application.h"
#include "TextConversion.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtils.h"

namespace {

// Item-identifier lists belong to the shell's allocator.
struct ShellItemList {
    LPITEMIDLIST list = nullptr;
    ~ShellItemList() {
        if (list != nullptr)
            ::CoTaskMemFree(list);
    }
};

} // namespace

WideString GetSpecialFolder(int csidl) {
    ShellItemList items;
    HWND owner = Application != nullptr ? Application->Handle() : nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(owner, csidl, &items.list)) || items.list == nullptr)
        return {};
    WCHAR path[MAX_PATH + 1] = {};
    if (!::SHGetPathFromIDListW(items.list, path))
        return {};
    return WideString(reinterpret_cast<const char16_t*>(path));
}

WideString GetProgramFilesFolder() {
    WideString folder = GetSpecialFolder(CSIDL_PROGRAM_FILES);
    if (folder.empty()) {
        folder = u"C:\\Program Files";
        ForceFolder(folder);
    }
    return folder;
}

WideString GetCommonFilesFolder() {
    WideString folder = GetSpecialFolder(CSIDL_PROGRAM_FILES_COMMON);
    if (folder.empty()) {
        folder = GetProgramFilesFolder() + u"\\Common Files";
        ForceFolder(folder);
    }
    return folder;
}

void ForceFolder(const WideString& path) {
    if (!ForceDirectoriesWide(path))
        throw EVynGeneralError(WideToAnsi(FormatWide(u"Could not create %s", {path})));
}
