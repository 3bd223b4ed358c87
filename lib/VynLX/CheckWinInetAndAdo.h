// The table of system components that programs of this library may require: what each row is
// called, where it is downloaded, and the version installed on this machine, detected when the
// unit starts.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "SysTypes.h"
#include "UnitRegistry.h"
#include "VynClasses.h"
#include "VynLXVerUtils.h"

enum TSystemComponent : uint8_t { IE, MAPI, CAPICOM, MDAC, JET, DAO, SQLDMO, CRPE, CRPE_SQL, CRPE_UFL, CRPE_XLS };
constexpr int SystemComponentCount = 11;

// A set of table rows in 16 bits (bit n = row n); the bits above the table are ignored.
class TSystemComponents {
public:
    constexpr TSystemComponents() = default;
    constexpr explicit TSystemComponents(uint16_t bits) : bits_(bits) {}
    constexpr TSystemComponents(std::initializer_list<TSystemComponent> rows) {
        for (TSystemComponent row : rows)
            bits_ = static_cast<uint16_t>(bits_ | 1u << row);
    }
    constexpr uint16_t Bits() const { return bits_; }
    constexpr bool Contains(TSystemComponent row) const { return (bits_ >> row & 1u) != 0; }

private:
    uint16_t bits_ = 0;
};

// Major.minor values are major * 65536 + minor; minors are decimal numbers, so 3.60 is 0x0003003C
// and differs from 3.6.
constexpr int32_t NoMaxMajorMinor = 0x7FFFFFFF;

struct TComponentRequirement {
    AnsiString DisplayName;
    // The row's short name in the error report.
    WideString Key;
    // The upper 32 bits of InstalledVersion.
    int32_t InstalledMajorMinor = 0;
    // 0 when the component was not found.
    TComponentVersion InstalledVersion = 0;
    int32_t MinMajorMinor = 0;
    // Carried as data; the check does not consult it.
    int32_t MaxMajorMinor = NoMaxMajorMinor;
    // A web address, or a short text that says where to get the component.
    AnsiString DownloadSite;
    // The installer's file name, appended directly to DownloadSite; "" when the site says all.
    WideString DownloadFile;
    // For a silent run of the installer; data only, as are the flag and code.
    WideString InstallerParams;
    bool InstallerFlag = false;
    int32_t InstallerCode = 0;
};

// Rows are indexed by TSystemComponent. Texts are set and versions detected when the unit starts.
extern TComponentRequirement ComponentRequirements[SystemComponentCount];

// The maker's download folder, ending with "/" so that an installer's file name can follow.
extern const char DefaultDownloadSite[];

// Tells the user of the first row of the set (in row order) whose installed major.minor is below
// its minimum, with where to download it, in a modal message; true when every row of the set is
// present. Later rows are not looked at, so at most one message is shown. Neither release and
// build nor MaxMajorMinor take part.
bool CheckRequirements(TSystemComponents required);

// Full paths of the modules whose versions the error report lists; holds the program's own path
// from the unit's start to its end.
extern TVynStringList* ModuleList;
// Adds the path unless an equal entry is already there.
void AddToModuleList(const WideString& path);

// Replaces the list's entries with the error report's system-information block: each module of
// ModuleList with its version (or "(Not Installed)"), the system and the user, memory, the
// Windows folder's disk, the table's installed versions, the report viewer, the Office
// applications, in parts separated by 37 dashes. A sort order the system cannot tell is left out.
void AddSystemInfo(TVynStringList& lines);

// Start: sets the texts of every row, creates ModuleList with the program's path, runs the
// eleven detectors in row order, installs AddSystemInfo as SystemInfoProc. End: removes it
// (unless another has replaced it since), frees ModuleList and forgets the texts and versions.
// Counted: only the first start and the last end do the work.
extern const TUnitInfo CheckWinInetAndAdoUnit;
