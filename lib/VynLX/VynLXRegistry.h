// Registry reading with wide text, for the lookups of installed components. Both classes open
// keys for reading only (KEY_READ) unless told otherwise and never create keys.
#pragma once

#include "Registry.h"
#include "SysTypes.h"

class TVynRegistry : public TRegistry {
public:
    explicit TVynRegistry(REGSAM access = KEY_READ) : TRegistry(access) {}

    // The text of a REG_SZ or REG_EXPAND_SZ value of the current key, up to its first zero and
    // not expanded; name "" is the key's default value. "" when the value cannot be queried.
    // Raises ERegistryException "Invalid data type for '%s'" for any other type and "Failed to
    // get data for '%s'" when the value cannot be read after all. Wide on the NT family, else
    // the ANSI read converted.
    WideString ReadStringWide(const WideString& name) const;
};

// The registry class of the COM class-registration lookups.
class TVynRegistryLX : public TVynRegistry {
public:
    using TVynRegistry::TVynRegistry;
};
