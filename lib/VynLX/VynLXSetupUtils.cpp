#include "VynLXSetupUtils.h"

#include "Handles.h"
#include "SystemLibraries.h"
#include "OSError.h"
#include "TextConversion.h"
#include "VynClasses.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtils.h"
#include "VynWindows.h"

namespace {

using TDllRegisterServer = HRESULT(STDAPICALLTYPE*)();

[[noreturn]] void RaiseCannotCreate(const WideString& fileName) {
    throw EFCreateError(WideToAnsi(FormatWide(u"Cannot create file %s", {fileName})));
}

// A temporary file that is deleted unless it was committed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(WideString path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!path_.empty())
            DeleteFileWide(path_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const WideString& Path() const { return path_; }
    void Committed() { path_.clear(); }

private:
    WideString path_;
};

// Opening the existing target for writing shows whether it can be replaced at all (read-only
// attribute, another process holding it) without changing a byte of it.
void CheckReplaceable(const WideString& target) {
    const DWORD attributes = VynGetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    // Checked by attribute too: a process with administrative file rights may be allowed to
    // open a read-only file for writing, yet read-only must still mean "leave it alone".
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        RaiseCannotCreate(target);
    UniqueFileHandle probe(
        VynCreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe)
        RaiseCannotCreate(target);
}

WideString TemporaryNameBeside(const WideString& target) {
    char16_t name[MAX_PATH + 1] = {};
    const WideString folder = ExtractFilePathWide(target);
    if (VynGetTempFileNameW(folder.c_str(), u"~fe", 0, name) == 0)
        RaiseCannotCreate(target);
    return WideString(name);
}

} // namespace

void RegisterDll(const WideString& path) {
    // What the library imports resolves beside it and in the system folder, never beside the
    // program.
    UniqueModule library(VynLoadLibraryExW(path.c_str(), nullptr, LibraryAtPathFlags()));
    if (!library)
        RaiseLastOSError("LoadLibraryExW", path);
    auto registerServer =
        reinterpret_cast<TDllRegisterServer>(reinterpret_cast<void*>(::GetProcAddress(library.get(), "DllRegisterServer")));
    if (registerServer == nullptr)
        RaiseLastOSError("GetProcAddress", path);
    try {
        OleCheck(registerServer(), "DllRegisterServer", path);
    } catch (Exception& error) {
        const WideString paragraph = FormatWide(u"Error occurred while registering %s.", {path});
        error.SetMessage(WideToAnsi(paragraph + u"\r\n\r\n") + error.Message());
        throw;
    }
}

void InstallResourceFile(HMODULE module, const WideString& resourceName, const char16_t* resourceType,
                         const WideString& target) {
    TVynResourceStream payload(module, resourceName, resourceType);
    CheckReplaceable(target);
    TemporaryFile temporary(TemporaryNameBeside(target));
    payload.SaveToWideFile(temporary.Path());
    if (!VynMoveFileExW(temporary.Path().c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        RaiseCannotCreate(target);
    temporary.Committed();
}
