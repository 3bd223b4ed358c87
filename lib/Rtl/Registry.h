// Registry access through one open key at a time, in the ANSI calls of the framework: a root key,
// a current key opened below it with the object's access mask, and typed reads of its values.
#pragma once

#include <windows.h>

#include <string_view>

#include "Exceptions.h"
#include "Handles.h"
#include "SysTypes.h"

RTL_DECLARE_EXCEPTION(ERegistryException, Exception)

// The messages of failed string reads, formatted with the value's name.
inline constexpr char SInvalidRegType[] = "Invalid data type for '%s'";
inline constexpr char SRegGetDataFailed[] = "Failed to get data for '%s'";

// Raises ERegistryException with `message` formatted with `shownName`, keeping the failing call
// and the value it concerned (its key's path, a backslash and its name) as the exception's subject.
[[noreturn]] void RaiseRegistryError(const char* message, const AnsiString& shownName, std::string_view call,
                                     std::u16string_view subject);

enum class TRegDataType { Unknown, String, ExpandString, Integer, Binary };

struct TRegDataInfo {
    TRegDataType RegData = TRegDataType::Unknown;
    DWORD DataSize = 0;
};

class TRegistry {
public:
    // The access mask every later OpenKey uses; the root starts as HKEY_CURRENT_USER.
    explicit TRegistry(REGSAM access = KEY_ALL_ACCESS);
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return rootKey_; }
    // Closes the current key.
    void SetRootKey(HKEY root);
    REGSAM Access() const { return access_; }
    void SetAccess(REGSAM access) { access_ = access; }
    // The open key, or null.
    HKEY CurrentKey() const { return currentKey_.get(); }
    const AnsiString& CurrentPath() const { return currentPath_; }

    // Opens key below the root ("\" at the start) or below the current key, creating it when
    // canCreate; the new key replaces the current one only on success. On failure the system's
    // code is LastError() and the thread's last error.
    bool OpenKey(const AnsiString& key, bool canCreate);
    // Opens with KEY_READ whatever the access mask; never creates.
    bool OpenKeyReadOnly(const AnsiString& key);
    void CloseKey();
    // Whether the key can be opened for reading, without changing the current key.
    bool KeyExists(const AnsiString& key);
    // The code of the last OpenKey: ERROR_SUCCESS, or why the key could not be opened.
    LONG LastError() const { return lastError_; }

    bool ValueExists(const AnsiString& name) const;
    // False when the value does not exist (or no key is open).
    bool GetDataInfo(const AnsiString& name, TRegDataInfo& info) const;
    // The text of a REG_SZ or REG_EXPAND_SZ value (not expanded) up to its first zero; "" when
    // the value does not exist. Raises ERegistryException "Invalid data type for '%s'" for any
    // other type and "Failed to get data for '%s'" when the read fails.
    AnsiString ReadString(const AnsiString& name) const;

private:
    using UniqueKey = UniqueRegKey;
    // The key a relative or absolute path starts from, and the path without its leading "\".
    HKEY BaseFor(const AnsiString& key, AnsiString& relative) const;
    // Keys of the five predefined roots are not ours to close.
    static bool IsPredefined(HKEY key);

    HKEY rootKey_ = HKEY_CURRENT_USER;
    REGSAM access_;
    UniqueKey currentKey_;
    AnsiString currentPath_;
    LONG lastError_ = ERROR_SUCCESS;
};

// The data type of a raw registry type code.
TRegDataType RegDataTypeOf(DWORD type);
