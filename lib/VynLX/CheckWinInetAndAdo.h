// The table of system components that programs of this library may require.
#pragma once

#include <cstdint>

#include "SysTypes.h"

enum TSystemComponent : uint8_t { IE, MAPI, CAPICOM, MDAC, JET, DAO, SQLDMO, CRPE, CRPE_SQL, CRPE_UFL, CRPE_XLS };
constexpr int SystemComponentCount = 11;

struct TComponentRequirement {
    const char16_t* Key;
    // major * 65536 + minor of the installed version; 0 when not found.
    int32_t InstalledMajorMinor = 0;
    uint64_t InstalledVersion = 0;
    int32_t MinMajorMinor = 0;
};

// Rows are filled in while detection does not exist yet: nothing counts as installed.
extern TComponentRequirement ComponentRequirements[SystemComponentCount];
