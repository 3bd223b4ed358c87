#include "Registry.h"

#include <algorithm>

#include "Format.h"
#include "TextConversion.h"

TRegDataType RegDataTypeOf(DWORD type) {
    switch (type) {
    case REG_SZ: return TRegDataType::String;
    case REG_EXPAND_SZ: return TRegDataType::ExpandString;
    case REG_DWORD: return TRegDataType::Integer;
    case REG_BINARY: return TRegDataType::Binary;
    default: return TRegDataType::Unknown;
    }
}

TRegistry::TRegistry(REGSAM access) : access_(access) {}

TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(HKEY root) {
    CloseKey();
    rootKey_ = root;
}

void TRegistry::CloseKey() {
    currentKey_.reset();
    currentPath_.clear();
}

bool TRegistry::IsPredefined(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
           key == HKEY_USERS || key == HKEY_CURRENT_CONFIG;
}

HKEY TRegistry::BaseFor(const AnsiString& key, AnsiString& relative) const {
    const bool absolute = !key.empty() && key.front() == '\\';
    relative = absolute ? key.substr(1) : key;
    if (absolute || !currentKey_)
        return rootKey_;
    return currentKey_.get();
}

void RaiseRegistryError(const char* message, const AnsiString& shownName, std::string_view call,
                        std::u16string_view subject) {
    ERegistryException error(Format(message, {shownName}));
    error.SetFailure(call, subject);
    throw error;
}

bool TRegistry::OpenKey(const AnsiString& key, bool canCreate) {
    AnsiString relative;
    const HKEY base = BaseFor(key, relative);
    HKEY opened = nullptr;
    LONG result;
    if (canCreate)
        result = ::RegCreateKeyExA(base, relative.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access_, nullptr,
                                   &opened, nullptr);
    else
        result = ::RegOpenKeyExA(base, relative.c_str(), 0, access_, &opened);
    lastError_ = result;
    if (result != ERROR_SUCCESS) {
        ::SetLastError(static_cast<DWORD>(result));
        return false;
    }
    // An empty path opens the base itself again, as a handle of its own.
    UniqueKey newKey(opened);
    if (IsPredefined(opened))
        static_cast<void>(newKey.release()); // predefined keys are never closed
    const bool fromRoot = base == rootKey_;
    currentPath_ = fromRoot ? relative : (relative.empty() ? currentPath_ : currentPath_ + "\\" + relative);
    currentKey_ = std::move(newKey);
    return true;
}

bool TRegistry::OpenKeyReadOnly(const AnsiString& key) {
    const REGSAM kept = access_;
    access_ = KEY_READ;
    const bool opened = OpenKey(key, false);
    access_ = kept;
    return opened;
}

bool TRegistry::KeyExists(const AnsiString& key) {
    AnsiString relative;
    const HKEY base = BaseFor(key, relative);
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(base, relative.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    if (!IsPredefined(opened))
        ::RegCloseKey(opened);
    return true;
}

bool TRegistry::GetDataInfo(const AnsiString& name, TRegDataInfo& info) const {
    info = TRegDataInfo{};
    if (!currentKey_)
        return false;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (::RegQueryValueExA(currentKey_.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    info.RegData = RegDataTypeOf(type);
    info.DataSize = size;
    return true;
}

bool TRegistry::ValueExists(const AnsiString& name) const {
    TRegDataInfo info;
    return GetDataInfo(name, info);
}

AnsiString TRegistry::ReadString(const AnsiString& name) const {
    TRegDataInfo info;
    if (!GetDataInfo(name, info))
        return AnsiString();
    if (info.RegData != TRegDataType::String && info.RegData != TRegDataType::ExpandString)
        RaiseRegistryError(SInvalidRegType, name, "RegQueryValueExA", AnsiToWide(currentPath_ + "\\" + name));
    // Room for a terminator the stored value may lack, so that the text always ends.
    AnsiString buffer(info.DataSize + 1, '\0');
    DWORD size = info.DataSize;
    DWORD type = REG_NONE;
    if (::RegQueryValueExA(currentKey_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                           &size) != ERROR_SUCCESS)
        RaiseRegistryError(SRegGetDataFailed, name, "RegQueryValueExA", AnsiToWide(currentPath_ + "\\" + name));
    buffer.resize(std::min<size_t>(size, info.DataSize));
    const size_t end = buffer.find('\0');
    if (end != AnsiString::npos)
        buffer.resize(end);
    return buffer;
}
