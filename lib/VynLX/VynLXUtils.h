// Folder and file services: special folders, folder creation, path helpers, temporary folders and
// files removed when the program ends, silent deletion, opening documents with their program, and
// the small checks other units of the library raise their internal errors with.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include "SysTypes.h"
#include "UnitRegistry.h"
#include "VynClasses.h"

// ---- Special folders and folder creation

// The shell's path of a special folder (CSIDL_...), or "" when the shell does not know it.
WideString GetSpecialFolder(int csidl);
// The Program Files folder; "C:\Program Files" (created) when the shell does not know it.
WideString GetProgramFilesFolder();
// The Common Files folder, without trailing backslash; Program Files + "\Common Files" (created)
// when the shell does not know it. A folder the shell reports is used as it is.
WideString GetCommonFilesFolder();

// Where GetSpecialFolder asks: the shell unless replaced. Returns the lookup that was in place;
// null puts the shell back. For tests of the fallbacks, which a real shell never takes.
using TSpecialFolderLookup = WideString (*)(int csidl);
TSpecialFolderLookup SetSpecialFolderLookup(TSpecialFolderLookup lookup);

// Creates every missing level of path; raises EVynGeneralError "Could not create %s".
void ForceFolder(const WideString& path);

// ---- Path helpers

// Appends "\" unless the path already ends with one ("" becomes "\").
WideString AddBackslash(const WideString& path);
// Drops one trailing "\" ("C:\" becomes "C:").
WideString RemoveBackslash(const WideString& path);
// The file name without folder and without its last extension; a dot in a folder name is no
// extension.
WideString ExtractFileNameNoExt(const WideString& path);
// The full path with every element spelt as the file system has it; elements that do not exist
// keep the caller's spelling. "" gives "".
WideString GetLongPathOf(const WideString& path);

// ---- System folders and modules

// The system's temporary folder, with its trailing backslash; "" when the system gives none.
WideString GetTempFolder();
// The Windows system folder.
WideString GetSystemFolder();
// The full path of a loaded module (null: the program); raises EOSError when the system fails.
WideString ModulePathOf(HMODULE module);
// The full path of the program's own executable.
WideString GetProgramPath();

// ---- Temporary folders and files

// The folders and files removed when the unit ends, in the order of registration; paths compare
// without regard to case, as the file system does. Created when the unit starts, freed when it
// ends (after the clean-up).
extern TVynStringList* GarbageCollectedFolderList;
extern TVynStringList* GarbageCollectedFileList;

// The folder argument of CreateTempFileName that stands for the system's temporary folder.
inline constexpr char16_t SystemTempFolderMarker[] = u"WideGetTempPath";

// A new empty folder "<temp>Temp<number>\" below the temporary folder, registered for removal at
// exit. Raises EVynInternalError when the unit is not started.
WideString CreateTempFolder();
// A name "<folder>\<prefix>-<1 to 4 hex digits><extension>" that no file or folder has yet,
// registered for removal at exit; the file itself is the caller's to create. The folder is
// created if missing; SystemTempFolderMarker means the temporary folder.
WideString CreateTempFileName(const WideString& extension, const WideString& folder,
                              const WideString& prefix);
// Deletes the folder tree (if it exists) and unregisters it; never raises.
void RemoveTempFolder(const WideString& path);
// Every registered folder, last first; then the list is empty. Never raises.
void RemoveTempFolders();
// Every registered file, first first; then the list is empty. Never raises.
void RemoveTempFiles();

// ---- Deleting and opening

// Removes the read-only attribute of an existing file or folder; raises EOSError when the system
// refuses. A path that does not exist is left alone.
void ClearReadOnly(const WideString& path);
// Deletes a file, clearing its read-only attribute if the first attempt fails; raises EOSError
// when the second attempt fails too.
void DeleteFileForced(const WideString& path);
// Deletes a file or folder tree through the shell with the FOF_... flags; raises the silent
// EAbort when the shell fails or the operation was aborted.
void ShellDelete(const WideString& path, FILEOP_FLAGS flags);
// Opens a document with its associated program; raises EVynGeneralError with the shell's reason.
void ShellOpen(const WideString& file, const WideString& parameters, const WideString& folder,
               int showCommand);
// Judges a ShellExecute result for the operation ("open", "print", ...) on file: nothing above
// 32, EVynGeneralError for the documented codes, EVynInternalError for any other.
void CheckShellExecuteResult(uintptr_t code, const WideString& operation, const WideString& file);

// ---- Checks

// Raises the plain Exception with the message when condition is false.
void CheckCondition(bool condition, const WideString& message);
// Raises EVynInternalError "Internal Error: <name> not assigned." when reference is null.
void CheckAssigned(const void* reference, const WideString& name);
// Raises Exception "Internal Error: File does not exist: <path>" unless the file exists.
void AssertFileExists(const WideString& path);

// Start: detects the installed Office applications (OfficeAppVersions), then creates the
// clean-up lists and the cursor stack. End: forgets the Office applications, removes the
// registered folders, then the registered files, then frees the lists and the cursor stack. Counted: only the first start and the last end do the work.
extern const TUnitInfo VynLXUtilsUnit;

// The unit's component detection, environment texts and variant comparison.
#include "VynLXComponents.h"
#include "VynLXEnvironment.h"
#include "VynLXVariants.h"
