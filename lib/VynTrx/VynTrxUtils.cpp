#include "VynTrxUtils.h"

#include <cstring>
#include <memory>
#include <string>

#include "Assertions.h"
#include "Forms.h"
#include "OSError.h"
#include "TextConversion.h"
#include "TracePeImage.h"
#include "VynClasses.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxUtilsResStr.h"
#include "WinText.h"
#include "Unattended.h"

namespace {

const TResId& RcDataType() {
    static const TResId type{10, {}};
    return type;
}

const TResId& StringTableType() {
    static const TResId type{6, {}};
    return type;
}

// ---- Enumeration: nothing may cross the system's callbacks, so each keeps its first failure
// and stops; the caller raises it once the enumeration has returned.

struct TEnumeration {
    HMODULE Module = nullptr;
    std::vector<TResData>* Resources = nullptr;
    std::exception_ptr Failure;
    TResId Type;
    TResId Name;
};

// The enumeration calls fail with these when there is simply nothing to enumerate (some systems
// return false without an error for an empty directory; the callbacks here never stop one
// without recording why).
bool IsNothingFound(DWORD error) {
    return error == ERROR_SUCCESS || error == ERROR_RESOURCE_DATA_NOT_FOUND ||
           error == ERROR_RESOURCE_TYPE_NOT_FOUND || error == ERROR_RESOURCE_NAME_NOT_FOUND ||
           error == ERROR_RESOURCE_LANG_NOT_FOUND;
}

void CheckEnumeration(BOOL succeeded, const TEnumeration& enumeration, const char* call,
                      const WideString& subject) {
    if (enumeration.Failure)
        std::rethrow_exception(enumeration.Failure);
    if (!succeeded) {
        const DWORD error = ::GetLastError();
        if (!IsNothingFound(error))
            RaiseOSError(error, call, subject);
    }
}

TResData LockedResource(HMODULE module, const TResId& type, const TResId& name, uint16_t language) {
    const HRSRC found = ::FindResourceExW(module, type.ForSystem(), name.ForSystem(), language);
    if (found == nullptr)
        RaiseLastOSError("FindResourceExW", type.Text() + u"/" + name.Text());
    const HGLOBAL loaded = ::LoadResource(module, found);
    if (loaded == nullptr)
        RaiseLastOSError("LoadResource", type.Text() + u"/" + name.Text());
    TResData resource{type, name, language, ::LockResource(loaded), ::SizeofResource(module, found)};
    if (resource.Data == nullptr && resource.Size != 0)
        RaiseLastOSError("LockResource", type.Text() + u"/" + name.Text());
    return resource;
}

BOOL CALLBACK CollectLanguage(HMODULE module, LPCWSTR, LPCWSTR, WORD language, LONG_PTR parameter) {
    auto& enumeration = *reinterpret_cast<TEnumeration*>(parameter);
    try {
        enumeration.Resources->push_back(
            LockedResource(module, enumeration.Type, enumeration.Name, language));
        return TRUE;
    } catch (...) {
        enumeration.Failure = std::current_exception();
        return FALSE;
    }
}

BOOL CALLBACK CollectName(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR parameter) {
    auto& enumeration = *reinterpret_cast<TEnumeration*>(parameter);
    try {
        enumeration.Name = TResId::FromSystem(name);
        ::SetLastError(ERROR_SUCCESS);
        const BOOL succeeded = ::EnumResourceLanguagesW(
            module, enumeration.Type.ForSystem(), enumeration.Name.ForSystem(), CollectLanguage, parameter);
        CheckEnumeration(succeeded, enumeration, "EnumResourceLanguagesW", enumeration.Name.Text());
        return TRUE;
    } catch (...) {
        if (!enumeration.Failure)
            enumeration.Failure = std::current_exception();
        return FALSE;
    }
}

BOOL CALLBACK CollectType(HMODULE module, LPWSTR type, LONG_PTR parameter) {
    auto& enumeration = *reinterpret_cast<TEnumeration*>(parameter);
    try {
        enumeration.Type = TResId::FromSystem(type);
        ::SetLastError(ERROR_SUCCESS);
        const BOOL succeeded =
            ::EnumResourceNamesW(module, enumeration.Type.ForSystem(), CollectName, parameter);
        CheckEnumeration(succeeded, enumeration, "EnumResourceNamesW", enumeration.Type.Text());
        return TRUE;
    } catch (...) {
        if (!enumeration.Failure)
            enumeration.Failure = std::current_exception();
        return FALSE;
    }
}

// ---- Resource update entry points

using TBeginUpdate = HANDLE(WINAPI*)(LPCWSTR, BOOL);
using TUpdateResource = BOOL(WINAPI*)(HANDLE, LPCWSTR, LPCWSTR, WORD, LPVOID, DWORD);
using TEndUpdate = BOOL(WINAPI*)(HANDLE, BOOL);

struct TUpdateCalls {
    TBeginUpdate Begin = nullptr;
    TUpdateResource Update = nullptr;
    TEndUpdate End = nullptr;
};

// Loaded on first need by a program on the 9x family, kept until the unit ends.
UniqueModule& CompatibilityLibrary() {
    static UniqueModule library;
    return library;
}

[[noreturn]] void RaiseEditingUnavailable() {
    throw EVynGeneralError(WideToAnsi(LoadResStringWide(&ResStr::VynTrxUtils::SResourceEditingUnavailable)));
}

template <class T> T EntryPoint(HMODULE library, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

const TUpdateCalls& UpdateCalls() {
    static TUpdateCalls system{::BeginUpdateResourceW, ::UpdateResourceW, ::EndUpdateResourceW};
    if (VynPlatformIsNT)
        return system;
    static TUpdateCalls compatibility;
    if (compatibility.Begin == nullptr) {
        UniqueModule& library = CompatibilityLibrary();
        if (!library)
            library.reset(::LoadLibraryW(L"vyn_unicows.dll"));
        if (!library)
            RaiseEditingUnavailable();
        TUpdateCalls calls{EntryPoint<TBeginUpdate>(library.get(), "BeginUpdateResourceW"),
                           EntryPoint<TUpdateResource>(library.get(), "UpdateResourceW"),
                           EntryPoint<TEndUpdate>(library.get(), "EndUpdateResourceW")};
        if (calls.Begin == nullptr || calls.Update == nullptr || calls.End == nullptr)
            RaiseEditingUnavailable();
        compatibility = calls;
    }
    return compatibility;
}

// Kept from the library's earlier releases, which callers' window hooks may count on: every begun
// update makes a form of zero size, shows it and frees it at once (nothing becomes visible).
void SettleAfterBeginUpdate() {
    // Not even a form of zero size may appear in a run without a user.
    if (RunsUnattended())
        return;
    std::unique_ptr<TForm> form(TCustomForm::CreateNew<TForm>(nullptr));
    form->SetBounds(0, 0, 0, 0);
    form->Show();
}

std::vector<uint8_t> WholeFile(const WideString& fileName) {
    TVynFileStream file(fileName, fmOpenRead);
    const int64_t size = file.Size();
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (size > 0)
        file.ReadBuffer(bytes.data(), static_cast<int32_t>(size));
    return bytes;
}

// The section's bytes of a file's image: min(virtual size, raw size) bytes at its raw data.
std::vector<uint8_t> PeSectionBytes(const WideString& fileName, const char* sectionName) {
    const std::vector<uint8_t> bytes = WholeFile(fileName);
    const std::optional<TTracePeImage> image = TTracePeImage::Read(bytes, TPeLayout::File);
    if (!image)
        throw EAssertionFailed("Assertion failed: the file holds no PE image (" + WideToAnsi(fileName) + ")");
    const TPeSection* section = image->FindSection(sectionName);
    if (section == nullptr) {
        EVynInternalError error("Internal Error: the section " + std::string(sectionName) + " is missing.");
        error.SetFailure("ReadPeSectionText", fileName);
        throw error;
    }
    const uint64_t requested = std::min(section->VirtualSize, section->SizeOfRawData);
    const uint64_t available =
        section->PointerToRawData < bytes.size() ? bytes.size() - section->PointerToRawData : 0;
    if (available < requested) {
        EVynInternalError error(
            WideToAnsi(FormatWide(u"%d bytes were requested.  %d bytes were returned.",
                                  {static_cast<int32_t>(requested), static_cast<int32_t>(available)})));
        error.SetFailure("ReadPeSectionText", fileName);
        throw error;
    }
    const auto* start = bytes.data() + section->PointerToRawData;
    return std::vector<uint8_t>(start, start + requested);
}

WideString BytesAsText(const void* data, size_t size) {
    WideString text(size / 2, u'\0');
    if (!text.empty())
        std::memcpy(text.data(), data, text.size() * 2);
    return text;
}

bool HasRcData(HMODULE module, const WideString& name) {
    return ::FindResourceW(module, WinText(name), RT_RCDATA) != nullptr;
}

void FinalizeUnit() {
    CompatibilityLibrary().reset();
}

} // namespace

// ---- TResId

TResId TResId::FromSystem(LPCWSTR value) {
    if (IS_INTRESOURCE(value))
        return TResId{static_cast<uint16_t>(reinterpret_cast<uintptr_t>(value)), {}};
    return TResId{0, WideString(reinterpret_cast<const char16_t*>(value))};
}

LPCWSTR TResId::ForSystem() const {
    return IsName() ? WinText(Name) : MAKEINTRESOURCEW(Id);
}

WideString TResId::Text() const {
    if (IsName())
        return Name;
    const std::string number = "#" + std::to_string(Id);
    return WideString(number.begin(), number.end());
}

// ---- Reading

UniqueModule LoadDataFileModule(const WideString& fileName) {
    UniqueModule module(::LoadLibraryExW(WinText(fileName), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module)
        RaiseLastOSError("LoadLibraryExW", fileName);
    return module;
}

WideString ReadRcText(HMODULE module, const WideString& name) {
    const HRSRC found = ::FindResourceW(module, WinText(name), RT_RCDATA);
    if (found == nullptr) {
        const DWORD error = ::GetLastError();
        if (IsNothingFound(error))
            return {};
        RaiseOSError(error, "FindResourceW", name);
    }
    const TResData resource = LockedResource(module, RcDataType(), TResId{0, name}, 0);
    return BytesAsText(resource.Data, resource.Size);
}

std::vector<TResData> EnumModuleResources(HMODULE module) {
    std::vector<TResData> resources;
    TEnumeration enumeration{module, &resources, {}, {}, {}};
    ::SetLastError(ERROR_SUCCESS);
    const BOOL succeeded =
        ::EnumResourceTypesW(module, CollectType, reinterpret_cast<LONG_PTR>(&enumeration));
    CheckEnumeration(succeeded, enumeration, "EnumResourceTypesW", {});
    return resources;
}

std::vector<WideString> ListFormResources(HMODULE module) {
    std::vector<WideString> names;
    for (const TResData& resource : EnumModuleResources(module)) {
        if (resource.Type.IsName() || resource.Type.Id != RcDataType().Id || resource.Size < 4 ||
            std::memcmp(resource.Data, "TPF0", 4) != 0)
            continue;
        // A form stored in several languages is still one form.
        WideString name = resource.Name.Text();
        if (names.empty() || names.back() != name)
            names.push_back(std::move(name));
    }
    return names;
}

std::vector<TStringTableBlock> ReadStringTables(HMODULE module) {
    std::vector<TStringTableBlock> blocks;
    for (const TResData& resource : EnumModuleResources(module)) {
        if (resource.Type.IsName() || resource.Type.Id != StringTableType().Id || resource.Name.IsName())
            continue;
        try {
            blocks.push_back(DecodeStringTableBlock(
                std::span(static_cast<const uint8_t*>(resource.Data), resource.Size), resource.Name.Id));
        } catch (Exception& error) {
            error.SetFailure("ReadStringTables", u"string table " + resource.Name.Text());
            throw;
        }
    }
    return blocks;
}

WideString ReadPeSectionText(const WideString& fileName, const char* sectionName) {
    const std::vector<uint8_t> bytes = PeSectionBytes(fileName, sectionName);
    return BytesAsText(bytes.data(), bytes.size());
}

bool HasPeSection(const WideString& fileName, const char* sectionName) {
    try {
        const std::vector<uint8_t> bytes = WholeFile(fileName);
        const std::optional<TTracePeImage> image = TTracePeImage::Read(bytes, TPeLayout::File);
        return image && image->FindSection(sectionName) != nullptr;
    } catch (const Exception&) {
        return false;
    }
}

WideString ModuleGuid(HMODULE module) {
    WideString guid = ReadRcText(module, TrxGuidResource);
    if (guid == TrxPlaceholderGuid)
        guid.clear();
    if (guid.empty())
        guid = ReadRcText(module, TrxGuidFallbackResource);
    return guid;
}

WideString ModuleGuid(const WideString& fileName) {
    return ModuleGuid(LoadDataFileModule(fileName).get());
}

bool IsPreparedModule(const WideString& fileName) {
    try {
        const UniqueModule module = LoadDataFileModule(fileName);
        const bool hasMap =
            HasPeSection(fileName, TrxIdentifierMapSection) || HasRcData(module.get(), TrxIdentifierMapName);
        return hasMap && !ModuleGuid(module.get()).empty();
    } catch (const Exception&) {
        return false;
    }
}

// ---- Writing

void SaveRcText(HANDLE update, const WideString& name, const WideString& text) {
    if (name != UpperCaseWide(name))
        throw Exception("Internal Error: SaveRcText.ResName must be upper case.");
    UpdateModuleResource(update, RcDataType(), TResId{0, name}, static_cast<uint32_t>(text.size() * 2),
                         text.data(), 0);
}

void WriteStringTables(HANDLE update, const std::vector<TStringTableBlock>& blocks) {
    for (const TStringTableBlock& block : blocks) {
        if (block.empty())
            continue;
        const uint32_t number = StringTableBlockOf(block.front().Id);
        const std::vector<uint8_t> bytes = EncodeStringTableBlock(block, number);
        UpdateModuleResource(update, StringTableType(), TResId{static_cast<uint16_t>(number), {}},
                             static_cast<uint32_t>(bytes.size()), bytes.data(), 0);
    }
}

HANDLE BeginResourceUpdate(const WideString& fileName, bool deleteExisting) {
    const HANDLE update = UpdateCalls().Begin(WinText(fileName), deleteExisting ? TRUE : FALSE);
    if (update == nullptr)
        RaiseLastOSError("BeginUpdateResourceW", fileName);
    try {
        SettleAfterBeginUpdate();
    } catch (...) {
        UpdateCalls().End(update, TRUE);
        throw;
    }
    return update;
}

void UpdateModuleResource(HANDLE update, const TResId& type, const TResId& name, uint32_t size,
                          const void* data, uint16_t language) {
    // Without data the call would delete the resource and report success; with an empty buffer
    // the system adds an empty resource or says why it cannot.
    static uint8_t noData = 0;
    void* bytes = size == 0 ? &noData : const_cast<void*>(data);
    if (!UpdateCalls().Update(update, type.ForSystem(), name.ForSystem(), language, bytes, size))
        RaiseLastOSError("UpdateResourceW", name.Text());
}

void EndResourceUpdate(HANDLE update, bool discard) {
    if (!UpdateCalls().End(update, discard ? TRUE : FALSE))
        RaiseLastOSError("EndUpdateResourceW");
}

// ---- TResourceUpdate

TResourceUpdate::TResourceUpdate(const WideString& fileName, bool deleteExisting)
    : fileName_(fileName), handle_(BeginResourceUpdate(fileName, deleteExisting)) {}

TResourceUpdate::~TResourceUpdate() {
    Discard();
}

void TResourceUpdate::Add(const TResId& type, const TResId& name, uint16_t language, const void* data,
                          uint32_t size) {
    UpdateModuleResource(handle_, type, name, size, data, language);
}

void TResourceUpdate::Commit() {
    const HANDLE update = handle_;
    handle_ = nullptr;
    if (!UpdateCalls().End(update, FALSE))
        RaiseLastOSError("EndUpdateResourceW", fileName_);
}

void TResourceUpdate::Discard() {
    if (handle_ == nullptr)
        return;
    const LastErrorKeeper keeper;
    UpdateCalls().End(handle_, TRUE);
    handle_ = nullptr;
}

const TUnitInfo VynTrxUtilsUnit{"VynTrxUtils", nullptr, FinalizeUnit};
