// Where the program's libraries come from. An installer is typically started from a downloads
// folder, where anyone may have left a DLL named like a system library: the program only ever
// loads system libraries from the system folder, and a library it installs from that library's
// own full path.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

#include "Handles.h"

// Removes the program's folder and the current folder from the library search of the whole
// process: through SetDefaultDllDirectories (system folder only) where the system has it, else
// SetDllDirectoryW(L""), which takes out the current folder. Call it first thing in the program,
// before any unit loads a library. True when the search is now the system folder only.
bool RestrictLibrarySearch();

// True after RestrictLibrarySearch found SetDefaultDllDirectories.
bool LibrarySearchIsSystemOnly();

// A system library by its file name ("version.dll"), from the system folder; its own imports
// resolve there too. Where the search is restricted the name is given as it is, so that a
// side-by-side assembly the program's manifest asks for (Common Controls 6) still takes its place;
// otherwise by the full path in the system folder. Null with the last error set on failure.
UniqueModule LoadSystemLibrary(const wchar_t* fileName);

// A library by its full path (a payload the program installed), whose own imports resolve beside
// it and in the system folder but never beside the program. Null with the last error set.
UniqueModule LoadLibraryAtPath(const wchar_t* path);
// The LoadLibraryEx flags that do so, for callers that load through a wrapper of their own.
DWORD LibraryAtPathFlags();

// The file name in the system folder; empty when the folder cannot be told.
std::wstring SystemFolderFile(const wchar_t* fileName);

// A system library loaded on first use and held until the program ends, for entry points the
// program calls through pointers instead of importing them (so that no library outside the
// system's own known set is imported by name at load time).
class TSystemLibrary {
public:
    explicit TSystemLibrary(const wchar_t* fileName) : fileName_(fileName) {}
    TSystemLibrary(const TSystemLibrary&) = delete;
    TSystemLibrary& operator=(const TSystemLibrary&) = delete;

    // The entry point, or null with the last error set (the library or the entry is missing).
    template <class Procedure> Procedure Find(const char* name) const {
        return reinterpret_cast<Procedure>(reinterpret_cast<void*>(FindAddress(name)));
    }
    // As Find, but raises EOSError naming the library and the entry when it is missing.
    template <class Procedure> Procedure Get(const char* name) const {
        return reinterpret_cast<Procedure>(reinterpret_cast<void*>(GetAddress(name)));
    }

private:
    FARPROC FindAddress(const char* name) const;
    FARPROC GetAddress(const char* name) const;

    const wchar_t* fileName_;
    mutable std::once_flag loaded_;
    mutable UniqueModule module_;
};

// The libraries outside the system's always-known set that the program calls into, bound at run
// time: imported by name, they would be looked for beside the program before any code of it runs
// (under Wine even SHELL32's own dependencies are).
const TSystemLibrary& Shell32Library();
const TSystemLibrary& VersionLibrary();
