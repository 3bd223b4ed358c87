// Helpers of the Windows test programs: paths of build outputs, files, registry, and driving
// another program's windows from outside.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "Handles.h"
#include "SysTypes.h"

// Program text and the system's wide text are the same UTF-16 units.
inline std::wstring Win(const WideString& text) { return std::wstring(text.begin(), text.end()); }
inline WideString Wide(const std::wstring& text) { return WideString(text.begin(), text.end()); }

// The message of the runtime exception the action raises, or "<nothing raised>".
std::string MessageOf(const std::function<void()>& action);

// The system's temporary folder, with its trailing backslash.
std::wstring SystemTemp();

// A scratch folder below the temporary folder, removed with everything in it when the test ends.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// A path of the build machine ("/a/b") as the Windows path Wine maps it to ("Z:\a\b").
std::wstring HostPath(const char* unixPath);

std::vector<char> ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::vector<char>& bytes);
bool FileExists(const std::wstring& path);
// Clears a read-only attribute first.
void RemoveFile(const std::wstring& path);
std::vector<std::wstring> FilesIn(const std::wstring& folder);
std::wstring CommonFilesFolder();

// The default (or named) string value of a key, or "" when absent.
std::wstring ReadRegistryString(HKEY root, const std::wstring& key, const wchar_t* name = nullptr);
void DeleteRegistryTree(HKEY root, const std::wstring& key);
// Creates the key as needed; a null name is the default value. Throws when it cannot.
void WriteRegistryValue(HKEY root, const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
                        DWORD size);
void WriteRegistryString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value,
                         DWORD type = REG_SZ);

// A registry value set for the object's lifetime (a null name is the default value; a null value
// removes it); what was there before comes back afterwards, and keys made for it go again.
class TRegistryValueScope {
public:
    TRegistryValueScope(HKEY root, std::wstring key, const wchar_t* name, const wchar_t* value);
    ~TRegistryValueScope();
    TRegistryValueScope(const TRegistryValueScope&) = delete;
    TRegistryValueScope& operator=(const TRegistryValueScope&) = delete;

private:
    HKEY root_;
    std::wstring key_;
    std::wstring name_;
    bool named_;
    bool existed_ = false;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
    // Deepest last.
    std::vector<std::wstring> createdKeys_;
};

// The thread's locale set for the object's lifetime.
class TThreadLocaleScope {
public:
    explicit TThreadLocaleScope(LCID locale);
    ~TThreadLocaleScope();
    TThreadLocaleScope(const TThreadLocaleScope&) = delete;
    TThreadLocaleScope& operator=(const TThreadLocaleScope&) = delete;

private:
    LCID saved_;
};

// A ProgID registered to an in-process server for the object's lifetime; what the ProgID named
// before comes back afterwards, so that the prefix's own registrations survive.
class TRegisteredServer {
public:
    TRegisteredServer(std::wstring progId, std::wstring classId, const std::wstring& serverPath);
    ~TRegisteredServer();
    TRegisteredServer(const TRegisteredServer&) = delete;
    TRegisteredServer& operator=(const TRegisteredServer&) = delete;

private:
    std::wstring progId_;
    std::wstring classId_;
    std::wstring previousClassId_;
};

// Presses the keys down in order and lets them go in reverse, as the user's keyboard does, after
// bringing the window to the front.
void PressKeys(HWND window, const std::vector<WORD>& keys);
// The clipboard's Unicode text, or "".
std::wstring ClipboardText();

std::wstring WindowText(HWND window);
std::wstring ClassNameOf(HWND window);

// How a program under test is started: variables added to the test's environment ("NAME=value";
// Wine reads WINEDEBUG and WINEDLLOVERRIDES from it), a file that receives its standard error
// (under Wine also the Unix side's, where debug channels print), its arguments (each quoted on the
// command line) and its current folder (empty: the test's).
struct TRunOptions {
    std::vector<std::wstring> Environment{};
    std::wstring StdErrorFile{};
    std::vector<std::wstring> Arguments{};
    std::wstring WorkingDirectory{};
};

// A program started for a test; it is killed if the test ends while it still runs.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& path, const TRunOptions& options = {});
    ~RunningProgram();
    DWORD ProcessId() const { return processId_; }
    // The exit code, or STILL_ACTIVE when it did not end in time.
    DWORD WaitForExit(std::chrono::milliseconds timeout);
    // The first visible top-level window of the program with that class, or null after timeout.
    HWND WaitForWindow(const std::wstring& className, std::chrono::milliseconds timeout) const;
    std::vector<HWND> TopLevelWindows() const;

private:
    UniqueKernelHandle process_;
    DWORD processId_ = 0;
};

// The text of a standard message box (the static control 0xFFFF).
std::wstring MessageBoxText(HWND box);
std::wstring SystemMessage(DWORD code);
