// The resources a translation module is made of, read and written: text resources, string tables,
// every resource of a module, the identifier map section, the build identifier, and the resource
// update calls (the system's, or those of "vyn_unicows.dll" where the system has none).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "Handles.h"
#include "SysTypes.h"
#include "UnitRegistry.h"
#include "VynTrxStringBlocks.h"

// Resources of a translation module and of the program it translates.
constexpr char16_t TrxFlagResource[] = u"VYN_TRX_FLAG";
constexpr char16_t TrxGuidResource[] = u"VYN_TRX_GUID";
constexpr char16_t TrxGuidFallbackResource[] = u"VYN.GUID";
constexpr char16_t TrxIdentifierMapName[] = u"VYN.DRC"; // the section of a program, RCDATA of a module
constexpr char TrxIdentifierMapSection[] = "VYN.DRC";
constexpr char16_t TrxCommentsResource[] = u"VYN_TRX_XRC";
constexpr char16_t TrxTranslatedResource[] = u"VYN.XRS";
// A build identifier that was never filled in counts as none.
constexpr char16_t TrxPlaceholderGuid[] = u"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";

// A resource type or name: an integer identifier, or a name (then Id is 0).
struct TResId {
    uint16_t Id = 0;
    WideString Name;

    static TResId FromSystem(LPCWSTR value);
    bool IsName() const { return !Name.empty(); }
    // The form the system's resource calls take; valid while this object lives unchanged.
    LPCWSTR ForSystem() const;
    // "#n" for an integer identifier, else the name: how messages show it.
    WideString Text() const;
};

// One enumerated resource; Data points into the module it was read from and lives as long as
// the module stays loaded.
struct TResData {
    TResId Type;
    TResId Name;
    uint16_t Language = 0;
    const void* Data = nullptr;
    uint32_t Size = 0;
};

// Loads a file as a data file (no code runs, nothing it imports is loaded); raises EOSError
// naming the file when it cannot.
UniqueModule LoadDataFileModule(const WideString& fileName);

// The RCDATA resource's bytes as UTF-16 text (size / 2 units); empty when the module has no such
// resource. Failures of the system calls raise EOSError naming the resource.
WideString ReadRcText(HMODULE module, const WideString& name);
// Stores text (2 bytes a unit, no terminator) as RCDATA, language 0. The name must be upper case:
// Exception "Internal Error: SaveRcText.ResName must be upper case." otherwise.
void SaveRcText(HANDLE update, const WideString& name, const WideString& text);

// Every resource of every type, name and language, in the system's enumeration order. Raises
// EOSError when a step of the enumeration fails.
std::vector<TResData> EnumModuleResources(HMODULE module);
// Names of the RCDATA resources holding a binary form stream, in enumeration order.
std::vector<WideString> ListFormResources(HMODULE module);
// One block per string-table resource, in enumeration order, each with its non-empty entries.
std::vector<TStringTableBlock> ReadStringTables(HMODULE module);
// Writes every non-empty block as the string-table resource of its first entry's identifier, 16
// entries, each string at its own position (entries of other blocks in a list are left out),
// language 0.
void WriteStringTables(HANDLE update, const std::vector<TStringTableBlock>& blocks);

// The text of a PE section of a file (PE32 or PE32+): min(virtual size, raw size) bytes from the
// section's raw data as UTF-16. Raises EVynInternalError "%d bytes were requested.  %d bytes were
// returned." when the file ends before them, EOSError when it cannot be read, EAssertionFailed
// when it holds no PE image, and EVynInternalError when it has no such section.
WideString ReadPeSectionText(const WideString& fileName, const char* sectionName);
// Whether the file can be read and has that section; any failure is false.
bool HasPeSection(const WideString& fileName, const char* sectionName);

// The build identifier of a file: "VYN_TRX_GUID" unless absent or the placeholder, else
// "VYN.GUID"; empty when neither. Raises EOSError when the file does not load as a data file.
WideString ModuleGuid(const WideString& fileName);
WideString ModuleGuid(HMODULE module);
// Loads as a data file, carries the identifier map (section or RCDATA) and a non-empty build
// identifier. Never raises.
bool IsPreparedModule(const WideString& fileName);

// The resource update calls: the system's on the NT family, else those of "vyn_unicows.dll"
// (loaded once by name, kept until the unit ends); without them EVynGeneralError "Translation
// resource editing is not available on this version of Windows.". Begin raises EOSError naming
// the file; an update that is neither committed nor discarded is discarded when it goes.
class TResourceUpdate {
public:
    TResourceUpdate(const WideString& fileName, bool deleteExisting);
    ~TResourceUpdate();
    TResourceUpdate(const TResourceUpdate&) = delete;
    TResourceUpdate& operator=(const TResourceUpdate&) = delete;

    HANDLE Handle() const { return handle_; }
    const WideString& FileName() const { return fileName_; }
    // Raises EOSError naming the resource when the system refuses it.
    void Add(const TResId& type, const TResId& name, uint16_t language, const void* data, uint32_t size);
    // Writes the file; raises EOSError naming it. The update is over either way.
    void Commit();
    void Discard();

private:
    WideString fileName_;
    HANDLE handle_ = nullptr;
};

// The same calls by their table names, for code that keeps the bare handle.
HANDLE BeginResourceUpdate(const WideString& fileName, bool deleteExisting);
void UpdateModuleResource(HANDLE update, const TResId& type, const TResId& name, uint32_t size,
                          const void* data, uint16_t language);
void EndResourceUpdate(HANDLE update, bool discard);

extern const TUnitInfo VynTrxUtilsUnit;
