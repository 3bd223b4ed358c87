// Wide file-name, path and file functions of the Unicode runtime, and its two exception classes.
#pragma once

#include <windows.h>

#include "Exceptions.h"
#include "UnitRegistry.h"

// Conditions a user can meet.
RTL_DECLARE_EXCEPTION(EVynGeneralError, Exception)
// Broken invariants; messages begin "Internal Error: ".
RTL_DECLARE_EXCEPTION(EVynInternalError, Exception)

// True on the NT family (platform identifier 2): selects the wide system calls.
extern bool VynPlatformIsNT;

// File handles as signed values: negative on failure, as the file functions report it.
using TFileHandle = intptr_t;
constexpr TFileHandle InvalidFileHandle = -1;

WideString ExtractFilePathWide(const WideString& path);
WideString ExtractFileNameWide(const WideString& path);
WideString ExcludeTrailingBackslashWide(const WideString& path);

// Creates or truncates: read/write access, no sharing.
TFileHandle FileCreateWide(const WideString& fileName);
// Opens an existing file: access by the low two bits of mode (0 read, 1 write, 2 both), sharing
// by bits 4-7 (0/1 none, 2 deny write, 3 deny read, 4 share both). Undefined values are refused.
TFileHandle FileOpenWide(const WideString& fileName, uint32_t mode);
bool FileExistsWide(const WideString& fileName);
bool DirectoryExistsWide(const WideString& path);
bool DeleteFileWide(const WideString& fileName);
// Creates every missing level, parent first; raises "Unable to create directory" for "".
bool ForceDirectoriesWide(const WideString& path);

extern const TUnitInfo VynSysUtilsUnit;
