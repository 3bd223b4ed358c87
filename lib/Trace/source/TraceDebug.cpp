#include "TraceDebug.h"

#include <algorithm>

#include "TextConversion.h"
#include "VynSysUtils.h"
#include "VynSysUtilsPaths.h"
#include "VynWindows.h"

namespace {

constexpr DWORD CommittedState = MEM_COMMIT;
constexpr uint32_t CustomaryCodeStart = 0x1000;
constexpr char TraceDebugSectionName[] = "TRACEDBG";

std::unique_ptr<TTraceDebugInfoList>& DebugInfoList() {
    static std::unique_ptr<TTraceDebugInfoList> list;
    return list;
}

void StartTraceDebug() {
    DebugInfoList() = std::make_unique<TTraceDebugInfoList>();
}

void EndTraceDebug() {
    const std::lock_guard lock(DebugLock());
    DebugInfoList().reset();
}

// The sources in the order they are tried.
std::unique_ptr<TTraceDebugInfoSource> MakeSource(int kind, HMODULE module) {
    switch (kind) {
    case 0:
        return std::make_unique<TTraceDebugInfoBinary>(module);
    case 1:
        return std::make_unique<TTraceDebugInfoTD32>(module);
    case 2:
        return std::make_unique<TTraceDebugInfoMap>(module);
    case 3:
        return std::make_unique<TTraceDebugInfoExports>(module);
    default:
        return nullptr;
    }
}

// A file name as the debug data stores it: without folder.
AnsiString BareModuleName(HMODULE module) {
    return WideToAnsi(ExtractFileNameWide(ModuleFileNameWide(module)));
}

// A TDBG, TD32 or map scanner's answer: the unit is required; then procedure, line and source file.
template <class Scanner>
bool LocateThroughScanner(const Scanner& scanner, uint32_t offset, uintptr_t address,
                          TTraceDebugInfoSource* source, TTraceLocationInfo& info) {
    info.UnitName = scanner.UnitOf(offset);
    if (info.UnitName.empty())
        return false;
    info.Address = address;
    const auto procedure = scanner.ProcedureOf(offset);
    info.ProcedureName = procedure.Name;
    info.OffsetFromProcName = procedure.Offset;
    const auto line = scanner.LineOf(offset);
    info.LineNumber = line.Line;
    info.OffsetFromLineNumber = line.Offset;
    info.SourceName = scanner.SourceFileOf(offset);
    info.DebugInfo = source;
    return true;
}

} // namespace

const TUnitInfo TraceDebugUnit{"lib/Trace/source/TraceDebug", StartTraceDebug, EndTraceDebug};

std::recursive_mutex& DebugLock() {
    static std::recursive_mutex lock;
    return lock;
}

// ---- Sources

uint32_t TTraceDebugInfoSource::AddressToOffset(uintptr_t address) const {
    return static_cast<uint32_t>(address - reinterpret_cast<uintptr_t>(module_) - CustomaryCodeStart);
}

WideString TTraceDebugInfoSource::FileName() const {
    return ModuleFileNameWide(module_);
}

std::optional<TTracePeImage> TTraceDebugInfoSource::LoadedImage() const {
    const auto* base = reinterpret_cast<const uint8_t*>(module_);
    MEMORY_BASIC_INFORMATION region{};
    if (::VirtualQuery(base, &region, sizeof region) == 0 || region.State != CommittedState)
        return std::nullopt;
    // The headers first, to learn the image's size; the loader keeps the whole image reserved.
    const auto headers = TTracePeImage::Read({base, region.RegionSize}, TPeLayout::Mapped);
    if (!headers)
        return std::nullopt;
    return TTracePeImage::Read({base, headers->SizeOfImage()}, TPeLayout::Mapped);
}

TMappedFile::TMappedFile(const WideString& path) {
    // Others may read the file while it is mapped, but nobody may change it under the reader.
    file_.reset(VynCreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_)
        return;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file_.get(), &size) || size.QuadPart == 0 ||
        static_cast<uint64_t>(size.QuadPart) > SIZE_MAX)
        return;
    mapping_.reset(::CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping_)
        return;
    view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (view_)
        bytes_ = {static_cast<const uint8_t*>(view_.get()), static_cast<size_t>(size.QuadPart)};
}

bool TTraceDebugInfoBinary::OpenSource() {
    if (const auto image = LoadedImage()) {
        if (const TPeSection* section = image->FindSection(TraceDebugSectionName)) {
            const std::span<const uint8_t> data = image->SectionData(*section);
            scanner_ = std::make_unique<TTraceBinDebugScanner>(data.data(), data.size(), true);
            return scanner_->ValidFormat();
        }
    }
    auto file = std::make_unique<TMappedFile>(ChangeFileExtWide(FileName(), u".tdbg"));
    if (file->Bytes().empty())
        return false;
    scanner_ = std::make_unique<TTraceBinDebugScanner>(file->Bytes().data(), file->Bytes().size(), true);
    file_ = std::move(file);
    // A file beside the module must have been made for it.
    return scanner_->ValidFormat() && scanner_->MatchesModule(BareModuleName(Module()));
}

bool TTraceDebugInfoBinary::LocateAddress(uintptr_t address, TTraceLocationInfo& info) {
    return LocateThroughScanner(*scanner_, AddressToOffset(address), address, this, info);
}

bool TTraceDebugInfoTD32::OpenSource() {
    try {
        std::span<const uint8_t> data;
        if (const auto image = LoadedImage())
            data = TD32DataOfImage(*image);
        if (data.empty()) {
            auto file = std::make_unique<TMappedFile>(ChangeFileExtWide(FileName(), u".tds"));
            data = FindTD32Data(file->Bytes());
            if (data.empty())
                return false;
            file_ = std::move(file);
        }
        scanner_ = std::make_unique<TTraceTD32InfoScanner>(data);
        if (scanner_->ValidFormat())
            return true;
    } catch (...) {
        // Data the parser refuses loudly (a directory of another entry size) is no data either.
    }
    scanner_.reset();
    file_.reset();
    return false;
}

bool TTraceDebugInfoTD32::LocateAddress(uintptr_t address, TTraceLocationInfo& info) {
    return LocateThroughScanner(*scanner_, AddressToOffset(address), address, this, info);
}

bool TTraceDebugInfoMap::OpenSource() {
    auto file = std::make_unique<TMappedFile>(ChangeFileExtWide(FileName(), u".map"));
    if (file->Bytes().empty())
        return false;
    const std::span<const uint8_t> bytes = file->Bytes();
    scanner_ = std::make_unique<TTraceMapScanner>(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    file_ = std::move(file);
    return true;
}

bool TTraceDebugInfoMap::LocateAddress(uintptr_t address, TTraceLocationInfo& info) {
    return LocateThroughScanner(*scanner_, AddressToOffset(address), address, this, info);
}

bool TTraceDebugInfoExports::OpenSource() {
    const auto image = LoadedImage();
    if (!image)
        return false;
    exports_ = image->Exports();
    std::stable_sort(exports_.begin(), exports_.end(),
                     [](const TPeExport& a, const TPeExport& b) { return a.Rva < b.Rva; });
    return !exports_.empty();
}

bool TTraceDebugInfoExports::LocateAddress(uintptr_t address, TTraceLocationInfo& info) {
    const uintptr_t offset = address - reinterpret_cast<uintptr_t>(Module());
    const auto above = std::upper_bound(exports_.begin(), exports_.end(), offset,
                                        [](uintptr_t o, const TPeExport& e) { return o < e.Rva; });
    if (above == exports_.begin())
        return false;
    const TPeExport& nearest = *std::prev(above);
    info.Address = address;
    info.ProcedureName = nearest.Name.empty() ? "#" + std::to_string(nearest.Ordinal) : nearest.Name;
    info.OffsetFromProcName = static_cast<int32_t>(offset - nearest.Rva);
    info.DebugInfo = this;
    return true;
}

// ---- The list

HMODULE TTraceDebugInfoList::ModuleOfAddress(uintptr_t address) {
    MEMORY_BASIC_INFORMATION region{};
    if (::VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == 0 ||
        region.State != CommittedState)
        return nullptr;
    return static_cast<HMODULE>(region.AllocationBase);
}

TTraceDebugInfoSource* TTraceDebugInfoList::SourceFor(HMODULE module) {
    for (const auto& source : sources_)
        if (source->Module() == module)
            return source.get();
    for (int kind = 0;; ++kind) {
        std::unique_ptr<TTraceDebugInfoSource> source = MakeSource(kind, module);
        if (!source)
            return nullptr;
        if (source->OpenSource()) {
            sources_.push_back(std::move(source));
            return sources_.back().get();
        }
    }
}

bool LocateAddressInfo(const void* address, TTraceLocationInfo& info) {
    info = TTraceLocationInfo{};
    try {
        const std::lock_guard lock(DebugLock());
        if (!DebugInfoList())
            DebugInfoList() = std::make_unique<TTraceDebugInfoList>();
        const auto value = reinterpret_cast<uintptr_t>(address);
        const HMODULE module = TTraceDebugInfoList::ModuleOfAddress(value);
        if (module == nullptr)
            return false;
        TTraceDebugInfoSource* source = DebugInfoList()->SourceFor(module);
        if (source != nullptr && source->LocateAddress(value, info))
            return true;
    } catch (...) {
        // A lookup never fails its caller: the error report is built from these answers.
    }
    info = TTraceLocationInfo{};
    return false;
}

AnsiString LocationText(const void* address, bool includeModuleName, bool includeAddressOffset,
                        bool includeLineOffset) {
    TTraceLocationInfo info;
    std::optional<TTraceLocationInfo> found;
    if (LocateAddressInfo(address, info))
        found = info;
    std::optional<TTraceLocationInfo> procedureStart;
    if (found && found->LineNumber > 0 && includeLineOffset) {
        TTraceLocationInfo start;
        const auto* startAddress = static_cast<const uint8_t*>(address) - found->OffsetFromProcName;
        if (LocateAddressInfo(startAddress, start) && start.LineNumber > 0)
            procedureStart = start;
    }
    AnsiString module;
    if (includeModuleName) {
        if (const HMODULE owner = TTraceDebugInfoList::ModuleOfAddress(reinterpret_cast<uintptr_t>(address)))
            module = BareModuleName(owner);
    }
    return FormatLocationText(reinterpret_cast<uintptr_t>(address), found, procedureStart, module,
                              {includeModuleName, includeAddressOffset, includeLineOffset});
}
