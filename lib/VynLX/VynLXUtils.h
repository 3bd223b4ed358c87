// Special folders and folder creation.
#pragma once

#include <windows.h>

#include "SysTypes.h"

// The shell's path of a special folder (CSIDL_...), or "" when the shell does not know it.
WideString GetSpecialFolder(int csidl);
// The Program Files folder; "C:\Program Files" (created) when the shell does not know it.
WideString GetProgramFilesFolder();
// The Common Files folder, without trailing backslash; Program Files + "\Common Files" (created)
// when the shell does not know it.
WideString GetCommonFilesFolder();
// Creates every missing level of path; raises EVynGeneralError "Could not create %s".
void ForceFolder(const WideString& path);
