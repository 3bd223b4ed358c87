// Code addresses as unit, procedure, source file and line: one debug-information source per
// module, found on first use by trying the kinds of source in a fixed order, and the one-line
// text of an address for stack lists and the error report.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "Handles.h"
#include "SysTypes.h"
#include "TraceDebugScanner.h"
#include "TraceLocation.h"
#include "TraceMapScanner.h"
#include "TracePeImage.h"
#include "TraceTD32.h"
#include "UnitRegistry.h"

class TTraceDebugInfoSource {
public:
    explicit TTraceDebugInfoSource(HMODULE module) : module_(module) {}
    virtual ~TTraceDebugInfoSource() = default;
    TTraceDebugInfoSource(const TTraceDebugInfoSource&) = delete;
    TTraceDebugInfoSource& operator=(const TTraceDebugInfoSource&) = delete;

    // Whether this kind of source has data for the module; a source that cannot open is dropped.
    virtual bool OpenSource() = 0;
    // The offset from the module's code start: address - module base - 0x1000 (where the code
    // section customarily starts).
    virtual uint32_t AddressToOffset(uintptr_t address) const;
    // Fills the record (cleared by the caller) and tells whether the address was found.
    virtual bool LocateAddress(uintptr_t address, TTraceLocationInfo& info) = 0;

    HMODULE Module() const { return module_; }
    // The module's file, full path.
    WideString FileName() const;

protected:
    // The loaded image of the module, as the loader mapped it; none when its headers are unreadable.
    std::optional<TTracePeImage> LoadedImage() const;

private:
    HMODULE module_;
};

// A file mapped read-only while other programs may read it but not write it.
class TMappedFile {
public:
    // Empty when the file does not exist or cannot be mapped.
    explicit TMappedFile(const WideString& path);
    std::span<const uint8_t> Bytes() const { return bytes_; }

private:
    UniqueFileHandle file_;
    UniqueKernelHandle mapping_;
    UniqueMappedView view_;
    std::span<const uint8_t> bytes_;
};

// TDBG data from the module's "TRACEDBG" section, or from a ".tdbg" file beside the module that
// names it.
class TTraceDebugInfoBinary : public TTraceDebugInfoSource {
public:
    using TTraceDebugInfoSource::TTraceDebugInfoSource;
    bool OpenSource() override;
    bool LocateAddress(uintptr_t address, TTraceLocationInfo& info) override;
    bool IsExternal() const { return file_ != nullptr; }

private:
    std::unique_ptr<TMappedFile> file_;
    std::unique_ptr<TTraceBinDebugScanner> scanner_;
};

// TD32 data: the module's own, when the linker stored it in the image as
// its one debug-directory entry, else a ".tds" file beside the module (its name with that
// extension). Nothing that fails while reading it escapes: such data is simply not there.
class TTraceDebugInfoTD32 : public TTraceDebugInfoSource {
public:
    using TTraceDebugInfoSource::TTraceDebugInfoSource;
    bool OpenSource() override;
    bool LocateAddress(uintptr_t address, TTraceLocationInfo& info) override;
    bool IsExternal() const { return file_ != nullptr; }

private:
    std::unique_ptr<TMappedFile> file_;
    std::unique_ptr<TTraceTD32InfoScanner> scanner_;
};

// A linker map file beside the module (its name with the extension ".map").
class TTraceDebugInfoMap : public TTraceDebugInfoSource {
public:
    using TTraceDebugInfoSource::TTraceDebugInfoSource;
    bool OpenSource() override;
    bool LocateAddress(uintptr_t address, TTraceLocationInfo& info) override;

private:
    std::unique_ptr<TMappedFile> file_;
    std::unique_ptr<TTraceMapScanner> scanner_;
};

// The module's export table: the nearest export at or below an address, and the distance to it.
class TTraceDebugInfoExports : public TTraceDebugInfoSource {
public:
    using TTraceDebugInfoSource::TTraceDebugInfoSource;
    bool OpenSource() override;
    bool LocateAddress(uintptr_t address, TTraceLocationInfo& info) override;

private:
    std::vector<TPeExport> exports_; // by address
};

// One source per module, made on first use; a module none of the kinds can open is tried again
// on its next lookup.
class TTraceDebugInfoList {
public:
    // The module of a code address: the allocation base of its committed region; none otherwise.
    static HMODULE ModuleOfAddress(uintptr_t address);
    TTraceDebugInfoSource* SourceFor(HMODULE module);

private:
    std::vector<std::unique_ptr<TTraceDebugInfoSource>> sources_;
};

// The lock every lookup and the list's caches run under.
std::recursive_mutex& DebugLock();

// Fills `info` for the address (the record is cleared first); false, with the record cleared,
// when nothing is known or anything fails.
bool LocateAddressInfo(const void* address, TTraceLocationInfo& info);
// "[address] Unit.Procedure (Line n, "file")" and the other shapes, with the switches.
AnsiString LocationText(const void* address, bool includeModuleName = false,
                        bool includeAddressOffset = false, bool includeLineOffset = false);

// Makes the debug information list at start and frees it, and the sources, at the end.
extern const TUnitInfo TraceDebugUnit;
