// Installing and registering self-registering COM servers.
#pragma once

#include <windows.h>

#include "SysTypes.h"

// Loads the library, calls its DllRegisterServer and unloads it. A failure of the call itself
// is raised again with the paragraph "Error occurred while registering <path>." in front.
void RegisterDll(const WideString& path);

// Writes a resource of module to target without ever leaving target half-written: the data goes
// to a temporary file in the target's folder, which replaces target only once complete. A target
// that cannot be replaced (read-only, locked) raises EFCreateError "Cannot create file %s" with
// the target's path and stays as it was; the temporary file is removed on every failure.
void InstallResourceFile(HMODULE module, const WideString& resourceName, const char16_t* resourceType,
                         const WideString& target);
