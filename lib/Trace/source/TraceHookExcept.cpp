#include "TraceHookExcept.h"

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <typeinfo>

#include "Assertions.h"
#include "Handles.h"
#include "SystemLibraries.h"
#include "ModuleRegistry.h"
#include "SystemFaults.h"
#include "TraceCallSite.h"
#include "TraceDebug.h"
#include "TextConversion.h"

namespace {

constexpr char UnitName[] = "lib/Trace/source/TraceHookExcept";

// ---- Notifier list

struct TNotifierItem {
    TRaiseNotifyProc Procedure = nullptr;
    TRaiseNotifyMethod Method = nullptr;
    void* Self = nullptr;
    TNotifierPriority Priority = npNormal;
};

struct TNotifierList {
    // Recursive: a notifier may register or remove listeners while the list runs.
    std::recursive_mutex Lock;
    std::vector<TNotifierItem> Items;
};

std::unique_ptr<TNotifierList> notifiers;

thread_local bool notifying = false;
thread_local std::exception_ptr replacementObject;

RTL_RAISE_PATH void Notify(const TRaisedObject& object, const void* address, bool osException) {
    if (notifying || !notifiers)
        return;
    notifying = true;
    replacementObject = nullptr;
    try {
        const std::lock_guard lock(notifiers->Lock);
        for (const TNotifierPriority priority : {npHigh, npNormal}) {
            // By index: an item may change the list.
            for (size_t i = 0; i < notifiers->Items.size(); ++i) {
                const TNotifierItem item = notifiers->Items[i];
                if (item.Priority != priority)
                    continue;
                try {
                    if (item.Procedure != nullptr)
                        item.Procedure(object, address, osException);
                    else if (item.Method != nullptr)
                        item.Method(item.Self, object, address, osException);
                } catch (...) {
                    // A failing notifier must not replace the exception being raised.
                }
            }
        }
    } catch (...) {
    }
    notifying = false;
}

bool AddNotifier(const TNotifierItem& item) {
    if (!notifiers)
        return false;
    const std::lock_guard lock(notifiers->Lock);
    notifiers->Items.push_back(item);
    return true;
}

template <class Matches>
bool RemoveNotifier(Matches matches) {
    if (!notifiers)
        return false;
    const std::lock_guard lock(notifiers->Lock);
    auto& items = notifiers->Items;
    const auto found = std::find_if(items.begin(), items.end(), matches);
    if (found == items.end())
        return false;
    items.erase(found);
    return true;
}

// ---- The hook

using TRaiseExceptionFunction = void(WINAPI*)(DWORD code, DWORD flags, DWORD argumentCount,
                                              const ULONG_PTR* arguments);

std::atomic<TRaiseExceptionFunction> savedRaiseException{nullptr};
TFaultObjectMapper previousFaultMapper = nullptr;
TLanguageRaiseObserver previousRaiseObserver = nullptr;

// The object inside an exception pointer: libstdc++ keeps nothing but its address.
TRaisedObject RaisedObjectOf(const std::exception_ptr& pointer) {
    static_assert(sizeof(std::exception_ptr) == sizeof(void*));
    void* object = nullptr;
    std::memcpy(&object, &pointer, sizeof object);
    return TRaisedObject{object, pointer ? pointer.__cxa_exception_type() : nullptr};
}

RTL_RAISE_PATH void WINAPI RaiseInterceptor(DWORD code, DWORD flags, DWORD argumentCount, const ULONG_PTR* arguments) {
    constexpr DWORD LanguageArgumentCount = 7;
    // The language raise puts its arguments right behind its call's own four. Compared as numbers:
    // as pointers, the compiler may take two objects for distinct and the test for false.
    const uintptr_t behindOwnArguments = reinterpret_cast<uintptr_t>(&arguments) + sizeof arguments;
    if (flags == EXCEPTION_NONCONTINUABLE && code == LanguageExceptionCode &&
        argumentCount == LanguageArgumentCount && reinterpret_cast<uintptr_t>(arguments) == behindOwnArguments) {
        const TRaisedObject object{reinterpret_cast<const void*>(arguments[1]), nullptr};
        Notify(object, reinterpret_cast<const void*>(arguments[0]), false);
    }
    savedRaiseException.load()(code, flags, argumentCount, arguments);
}

RTL_RAISE_PATH std::exception_ptr ObjectMapInterceptor(const EXCEPTION_RECORD& record) {
    std::exception_ptr object = previousFaultMapper != nullptr ? previousFaultMapper(record) : nullptr;
    Notify(RaisedObjectOf(object), record.ExceptionAddress, true);
    if (replacementObject)
        return std::exchange(replacementObject, nullptr);
    return object;
}

RTL_RAISE_PATH void LanguageRaiseInterceptor(const TRaisedObject& object, const void* raiseAddress) {
    if (previousRaiseObserver != nullptr)
        previousRaiseObserver(object, raiseAddress);
    Notify(object, raiseAddress, false);
}

// Makes an import slot writable for the write and puts its protection back afterwards.
class WritableSlot {
public:
    explicit WritableSlot(void* slot) : slot_(slot) {
        writable_ = ::VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &previous_) != FALSE;
    }
    ~WritableSlot() {
        if (writable_) {
            DWORD ignored = 0;
            ::VirtualProtect(slot_, sizeof(void*), previous_, &ignored);
        }
    }
    WritableSlot(const WritableSlot&) = delete;
    WritableSlot& operator=(const WritableSlot&) = delete;

private:
    void* slot_;
    DWORD previous_ = 0;
    bool writable_ = false;
};

bool WriteSlot(const void** slot, const void* value) {
    const WritableSlot writable(slot);
    SIZE_T written = 0;
    return ::WriteProcessMemory(::GetCurrentProcess(), slot, &value, sizeof value, &written) != FALSE &&
           written == sizeof value;
}

// Every kernel32 import slot of the program that matches `matches` gets `replacement`; true when
// one was written.
template <class Matches>
bool ReplaceKernelImport(Matches matches, const void* replacement) {
    const auto* base = reinterpret_cast<const uint8_t*>(RuntimeModule());
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return false;
    bool written = false;
    for (auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         descriptor->Name != 0; ++descriptor) {
        if (::lstrcmpiA(reinterpret_cast<const char*>(base + descriptor->Name), "kernel32.dll") != 0)
            continue;
        for (auto** slot = reinterpret_cast<const void**>(const_cast<uint8_t*>(base) + descriptor->FirstThunk);
             *slot != nullptr; ++slot) {
            if (matches(*slot) && WriteSlot(slot, replacement))
                written = true;
        }
    }
    return written;
}

// ---- Stack capture state

std::atomic<uint8_t> traceOptions{TraceStack};
std::atomic<bool> captureActive{false};
DWORD mainThreadId = 0;

// Drops the raise path's own frames: every item up to the last one whose caller lies in its code
// (a raw walk also finds stale values in those frames).
void RemoveRaisePathItems(TTraceStackInfoList& list, size_t firstIndex) {
    size_t end = firstIndex;
    for (size_t i = firstIndex; i < list.Count(); ++i)
        if (IsRaisePathAddress(reinterpret_cast<const void*>(list.Items(i).CallerAddr)))
            end = i + 1;
    while (end-- > firstIndex)
        list.Delete(firstIndex);
}

RTL_RAISE_PATH void DebugNotifier(const TRaisedObject& object, const void* address, bool osException) {
    if (!captureActive || (traceOptions & TraceStack) == 0)
        return;
    // A raw scan of a 64-bit stack meets the stale values of every frame's register-parameter
    // slots; there the system's unwinder serves both kinds of walk.
    const bool raw = (traceOptions & TraceRaw) != 0 && sizeof(void*) == 4;
    // The walk starts where the raise stands, so its first level is the raise's caller and
    // nothing is ignored by count: whatever of the interception a walk still meets is found by
    // its code.
    constexpr int KeepEveryLevel = -1;
    const auto list = CaptureStack(raw, KeepEveryLevel, osException ? address : nullptr, CurrentRaiseOrigin());
    RemoveRaisePathItems(*list, osException ? 1 : 0);
    list->SetRaise(object.AsException(), address);
}

// ---- Global lists

struct TTraceGlobalStackList {
    std::mutex Lock;
    std::vector<std::shared_ptr<TTraceStackBaseList>> Lists;
    bool ThreadLocked = false;
    DWORD LockedThreadId = 0;
};

TTraceGlobalStackList& GlobalStackList() {
    static TTraceGlobalStackList list;
    return list;
}

void RegisterStackList(std::shared_ptr<TTraceStackBaseList> list) {
    auto& global = GlobalStackList();
    const std::lock_guard lock(global.Lock);
    std::erase_if(global.Lists, [&](const std::shared_ptr<TTraceStackBaseList>& other) {
        return other->ThreadID() == list->ThreadID() && typeid(*other) == typeid(*list);
    });
    global.Lists.push_back(std::move(list));
}

struct TTraceGlobalModulesList {
    std::mutex Lock;
    std::shared_ptr<TTraceModuleInfoList> Cached;
};

TTraceGlobalModulesList& GlobalModules() {
    static TTraceGlobalModulesList list;
    return list;
}

// The thread's stack base from its thread information block (the header's accessor reads it
// through a zero-length array the compiler warns about).
uintptr_t StackTop() {
    uintptr_t base = 0;
#if defined(__x86_64__)
    __asm__("movq %%gs:8, %0" : "=r"(base));
#else
    __asm__("movl %%fs:4, %0" : "=r"(base));
#endif
    return base;
}

// Reads code bytes that may not be readable: a fault is no data.
std::optional<std::array<uint8_t, 8>> ReadCodeBytes(uintptr_t address) {
    std::array<uint8_t, 8> bytes{};
    SIZE_T read = 0;
    if (!::ReadProcessMemory(::GetCurrentProcess(), reinterpret_cast<const void*>(address), bytes.data(),
                             bytes.size(), &read) ||
        read != bytes.size())
        return std::nullopt;
    return bytes;
}

void StartTraceHookExcept() {
    notifiers = std::make_unique<TNotifierList>();
    mainThreadId = ::GetCurrentThreadId();
}

void EndTraceHookExcept() {
    StopStackCapture();
    RemoveRaiseHook();
    {
        auto& global = GlobalStackList();
        const std::lock_guard lock(global.Lock);
        global.Lists.clear();
        global.ThreadLocked = false;
    }
    {
        auto& modules = GlobalModules();
        const std::lock_guard lock(modules.Lock);
        modules.Cached.reset();
    }
    notifiers.reset();
}

} // namespace

// ---- Notifiers

bool RegisterRaiseListener(TRaiseNotifyProc procedure, TNotifierPriority priority) {
    return procedure != nullptr && AddNotifier(TNotifierItem{procedure, nullptr, nullptr, priority});
}

bool RegisterRaiseListener(TRaiseNotifyMethod method, void* self, TNotifierPriority priority) {
    return method != nullptr && AddNotifier(TNotifierItem{nullptr, method, self, priority});
}

bool UnregisterRaiseListener(TRaiseNotifyProc procedure) {
    return procedure != nullptr &&
           RemoveNotifier([&](const TNotifierItem& item) { return item.Procedure == procedure; });
}

bool UnregisterRaiseListener(TRaiseNotifyMethod method, void* self) {
    return method != nullptr && RemoveNotifier([&](const TNotifierItem& item) {
               return item.Method == method && item.Self == self;
           });
}

void SetRaiseReplacement(std::exception_ptr replacement) {
    replacementObject = std::move(replacement);
}

// ---- The hook

bool ImportSlotMatches(const void* slotValue, const void* function) {
    if (slotValue == function)
        return true;
#if defined(__i386__)
    std::array<uint8_t, SystemCallStubSize> slotBytes{}, functionBytes{};
    SIZE_T read = 0;
    const HANDLE process = ::GetCurrentProcess();
    if (!::ReadProcessMemory(process, slotValue, slotBytes.data(), slotBytes.size(), &read) || read != slotBytes.size())
        return false;
    if (!::ReadProcessMemory(process, function, functionBytes.data(), functionBytes.size(), &read) ||
        read != functionBytes.size())
        return false;
    return IsSameSystemCallStub(slotBytes, functionBytes);
#else
    return false;
#endif
}

bool InstallRaiseHook() {
    if (savedRaiseException.load() != nullptr)
        return true;
    notifying = false;
    const auto found = reinterpret_cast<TRaiseExceptionFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "RaiseException")));
    if (found == nullptr)
        RTL_ASSERTION_FAILED("Assertion failure");
    const auto* interceptor = reinterpret_cast<const void*>(&RaiseInterceptor);
    savedRaiseException = found;
    if (!ReplaceKernelImport(
            [&](const void* slot) { return ImportSlotMatches(slot, reinterpret_cast<const void*>(found)); },
            interceptor)) {
        savedRaiseException = nullptr;
        return false;
    }
    previousFaultMapper = SetFaultObjectMapper(&ObjectMapInterceptor);
    previousRaiseObserver = SetLanguageRaiseObserver(&LanguageRaiseInterceptor);
    return true;
}

bool RemoveRaiseHook() {
    const TRaiseExceptionFunction saved = savedRaiseException.load();
    if (saved == nullptr)
        return false;
    const auto* interceptor = reinterpret_cast<const void*>(&RaiseInterceptor);
    ReplaceKernelImport([&](const void* slot) { return slot == interceptor; }, reinterpret_cast<const void*>(saved));
    SetFaultObjectMapper(std::exchange(previousFaultMapper, nullptr));
    SetLanguageRaiseObserver(std::exchange(previousRaiseObserver, nullptr));
    savedRaiseException = nullptr;
    return true;
}

bool RaiseHookInstalled() {
    return savedRaiseException.load() != nullptr;
}

// ---- Stack capture

uint8_t TraceOptions() {
    return traceOptions;
}

void SetTraceOptions(uint8_t options) {
    traceOptions = options;
}

bool StartStackCapture() {
    if (!captureActive)
        captureActive = InstallRaiseHook() && RegisterRaiseListener(&DebugNotifier, npHigh);
    return captureActive;
}

bool StopStackCapture() {
    UnregisterRaiseListener(&DebugNotifier);
    captureActive = false;
    return true;
}

bool StackCaptureActive() {
    return captureActive;
}

// ---- Modules

TTraceModuleInfoList::TTraceModuleInfoList(bool dynamicBuild, bool systemModulesOnly)
    : dynamicBuild_(dynamicBuild), systemModulesOnly_(systemModulesOnly) {}

void TTraceModuleInfoList::AddModule(HMODULE module, bool systemModule) {
    const uintptr_t size = ModuleImageSize(module);
    if (size == 0)
        return;
    TTraceModuleInfo info;
    info.StartAddr = reinterpret_cast<uintptr_t>(module);
    info.Size = size;
    info.EndAddr = info.StartAddr + size - 1;
    info.SystemModule = systemModule;
    modules_.push_back(info);
}

const TTraceModuleInfo* TTraceModuleInfoList::Find(uintptr_t address) const {
    for (const TTraceModuleInfo& module : modules_)
        if (address >= module.StartAddr && address <= module.EndAddr)
            return &module;
    return nullptr;
}

bool TTraceModuleInfoList::IsValidModuleAddress(uintptr_t address) {
    const TTraceModuleInfo* module = Find(address);
    if (module == nullptr && dynamicBuild_) {
        MEMORY_BASIC_INFORMATION region{};
        if (::VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == sizeof region &&
            region.State == MEM_COMMIT && region.AllocationBase != nullptr) {
            const auto owner = static_cast<HMODULE>(region.AllocationBase);
            const auto registered = RegisteredModules();
            AddModule(owner, std::find(registered.begin(), registered.end(), owner) != registered.end());
            module = Find(address);
        }
    }
    return module != nullptr && (!systemModulesOnly_ || module->SystemModule);
}

std::shared_ptr<TTraceModuleInfoList> GlobalModulesList() {
    auto& global = GlobalModules();
    const std::lock_guard lock(global.Lock);
    if (global.Cached)
        return global.Cached;
    const uint8_t options = traceOptions;
    const bool registeredOnly = (options & TraceAllModules) == 0;
    auto list = std::make_shared<TTraceModuleInfoList>(false, registeredOnly);
    const std::vector<HMODULE> registered = RegisteredModules();
    if (registeredOnly) {
        for (const HMODULE module : registered)
            list->AddModule(module, true);
    } else {
        TStringList processModules;
        ListProcessModules(processModules, ::GetCurrentProcessId(), true);
        for (int32_t i = 0; i < processModules.Count(); ++i) {
            const auto module = reinterpret_cast<HMODULE>(processModules.Objects(i));
            list->AddModule(module, std::find(registered.begin(), registered.end(), module) != registered.end());
        }
    }
    if ((options & CacheModuleList) != 0)
        global.Cached = list;
    return list;
}

namespace {

AnsiString HandleText(HMODULE module) {
    char text[2 * sizeof(void*) + 1];
    std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(module)));
    return text;
}

// The ToolHelp walk: the 9x family's only way, and the NT family's when PSAPI fails.
bool ListSnapshotModules(TStrings& list, DWORD processId, bool handlesOnly) {
    const UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!snapshot)
        return false;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Module32FirstW(snapshot.get(), &entry); more; more = ::Module32NextW(snapshot.get(), &entry)) {
        const AnsiString text = handlesOnly ? HandleText(entry.hModule)
                                            : WideToAnsi(reinterpret_cast<const char16_t*>(entry.szExePath));
        list.AddObject(text, reinterpret_cast<TObject*>(entry.hModule));
    }
    return true;
}

using TEnumProcessModules = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
using TGetModuleFileNameEx = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);

// PSAPI from the system folder only: never a copy planted beside the program.
UniqueModule LoadPsapi() { return LoadSystemLibrary(L"psapi.dll"); }

bool ListPsapiModules(TStrings& list, HANDLE process, bool handlesOnly) {
    const UniqueModule psapi = LoadPsapi();
    if (!psapi)
        return false;
    const auto enumModules =
        reinterpret_cast<TEnumProcessModules>(reinterpret_cast<void*>(::GetProcAddress(psapi.get(), "EnumProcessModules")));
    const auto fileNameOf = reinterpret_cast<TGetModuleFileNameEx>(
        reinterpret_cast<void*>(::GetProcAddress(psapi.get(), "GetModuleFileNameExW")));
    if (enumModules == nullptr || fileNameOf == nullptr)
        return false;
    DWORD needed = 0;
    if (!enumModules(process, nullptr, 0, &needed) || needed == 0)
        return false;
    std::vector<HMODULE> modules(needed / sizeof(HMODULE));
    if (!enumModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed))
        return false;
    modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
    for (const HMODULE module : modules) {
        AnsiString text = HandleText(module);
        if (!handlesOnly) {
            wchar_t path[MAX_PATH];
            const DWORD length = fileNameOf(process, module, path, MAX_PATH);
            text = WideToAnsi(WideString(reinterpret_cast<const char16_t*>(path), std::min<DWORD>(length, MAX_PATH)));
        }
        list.AddObject(text, reinterpret_cast<TObject*>(module));
    }
    return true;
}

} // namespace

bool ListProcessModules(TStrings& list, DWORD processId, bool handlesOnly) {
    const bool windowsNT = (::GetVersion() & 0x80000000u) == 0;
    if (!windowsNT)
        return ListSnapshotModules(list, processId, handlesOnly);
    const UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process)
        return false;
    if (!ListPsapiModules(list, process.get(), handlesOnly))
        ListSnapshotModules(list, processId, handlesOnly);
    return true;
}

// ---- Stack lists

TTraceStackBaseList::TTraceStackBaseList() : threadId_(::GetCurrentThreadId()) {
    ::GetLocalTime(&timeStamp_);
}

TTraceStackInfoList::TTraceStackInfoList(int ignoreLevels, std::shared_ptr<TTraceModuleInfoList> modules)
    : ignoreLevels_(ignoreLevels), topOfStack_(StackTop()), modules_(std::move(modules)) {}

void TTraceStackInfoList::AddItem(const TTraceStackInfo& item) {
    if (static_cast<int64_t>(item.Level) > static_cast<int64_t>(ignoreLevels_) + 1)
        items_.push_back(item);
}

void TTraceStackInfoList::AddFirstCaller(const void* address) {
    TTraceStackInfo item;
    item.CallerAddr = reinterpret_cast<uintptr_t>(address);
    items_.push_back(item);
}

std::optional<unsigned> TTraceStackInfoList::CallSiteLength(uintptr_t value) {
    if (value <= 8 || !modules_ || !modules_->IsValidModuleAddress(value - 8))
        return std::nullopt;
    const auto bytes = ReadCodeBytes(value - 8);
    if (!bytes)
        return std::nullopt;
#if defined(__x86_64__)
    return CallInstructionLength64(*bytes);
#else
    return CallInstructionLength(*bytes);
#endif
}

void TTraceStackInfoList::RawWalk(uintptr_t bottom) {
    constexpr uintptr_t Slot = sizeof(uintptr_t);
    bottom_ = (bottom + Slot - 1) & ~(Slot - 1);
    uint32_t level = 0;
    uintptr_t previous = 0;
    for (uintptr_t slot = bottom_; slot < topOfStack_ && topOfStack_ - slot >= Slot; slot += Slot) {
        const uintptr_t value = *reinterpret_cast<const uintptr_t*>(slot);
        const auto length = CallSiteLength(value);
        if (!length)
            continue;
        if (value != previous) {
            TTraceStackInfo item;
            item.Level = ++level;
            item.CallerAddr = value - *length;
            AddItem(item);
        }
        previous = value;
    }
}

#if defined(__x86_64__)

// The compiler keeps no frame-pointer chain for large frames on x86-64: the system's unwinder
// walks them, from this function's caller on.
void TTraceStackInfoList::FrameWalk(const TRaiseOrigin* origin) {
    CONTEXT context{};
    if (origin != nullptr && origin->FaultContext != nullptr)
        context = *origin->FaultContext;
    else
        ::RtlCaptureContext(&context);
    bottom_ = context.Rsp;
    uint32_t level = 0;
    for (int steps = 0; steps < 4096; ++steps) {
        const DWORD64 frame = context.Rsp;
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION function = ::RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
        if (function == nullptr) {
            // A leaf function: its return address is on top of the stack.
            context.Rip = *reinterpret_cast<const DWORD64*>(context.Rsp);
            context.Rsp += sizeof(DWORD64);
        } else {
            PVOID handlerData = nullptr;
            DWORD64 establisher = 0;
            ::RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                               &establisher, nullptr);
        }
        const uintptr_t returnAddress = context.Rip;
        if (returnAddress == 0 || context.Rsp <= frame || context.Rsp >= topOfStack_)
            break;
        if (!modules_ || !modules_->IsValidModuleAddress(returnAddress))
            continue;
        TTraceStackInfo item;
        item.Level = ++level;
        const auto length = CallSiteLength(returnAddress);
        item.CallerAddr = length ? returnAddress - *length : returnAddress;
        item.CallerFrame = context.Rsp;
        item.DumpSize = context.Rsp - frame;
        item.ParamSize = 4; // the caller's four register-parameter slots
        item.ParamPtr = context.Rsp;
        item.FrameAddress = frame;
        AddItem(item);
    }
}

#else

void TTraceStackInfoList::FrameWalk(const TRaiseOrigin* origin) {
    constexpr uintptr_t Slot = sizeof(uintptr_t);
    uintptr_t frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (origin != nullptr && origin->FaultContext != nullptr)
        frame = origin->FaultContext->Ebp;
    else if (origin != nullptr && origin->ReturnSlot != 0)
        frame = origin->ReturnSlot - Slot; // the throw entry's saved frame pointer
    bottom_ = frame - 1;
    const auto inside = [&](uintptr_t value) {
        return value > bottom_ && value < topOfStack_ && topOfStack_ - value >= 2 * Slot;
    };
    uint32_t level = 0;
    while (inside(frame)) {
        const uintptr_t saved = reinterpret_cast<const uintptr_t*>(frame)[0];
        const uintptr_t returnAddress = reinterpret_cast<const uintptr_t*>(frame)[1];
        // Frames lie ever higher on the stack: a saved value below the frame ends the walk
        // rather than running in a circle.
        if (!inside(saved) || saved <= frame)
            break;
        if (modules_ && modules_->IsValidModuleAddress(returnAddress)) {
            TTraceStackInfo item;
            item.Level = ++level;
            const auto length = CallSiteLength(returnAddress);
            item.CallerAddr = length ? returnAddress - *length : returnAddress;
            item.CallerFrame = saved;
            item.DumpSize = saved - frame;
            item.ParamSize = (saved - frame - 2 * Slot) / Slot;
            item.ParamPtr = frame + 2 * Slot;
            item.FrameAddress = frame;
            AddItem(item);
        }
        frame = saved;
    }
}

#endif

RTL_RAISE_PATH std::shared_ptr<TTraceStackInfoList> CaptureStack(bool raw, int ignoreLevels, const void* firstCaller,
                                                                 const TRaiseOrigin& origin) {
    auto list = std::make_shared<TTraceStackInfoList>(ignoreLevels, GlobalModulesList());
    if (firstCaller != nullptr)
        list->AddFirstCaller(firstCaller);
    if (raw) {
        uintptr_t bottom = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
        if (origin.FaultContext != nullptr)
#if defined(__x86_64__)
            bottom = origin.FaultContext->Rsp;
#else
            bottom = origin.FaultContext->Esp;
#endif
        else if (origin.ReturnSlot != 0)
            bottom = origin.ReturnSlot;
        list->RawWalk(bottom);
    } else {
        list->FrameWalk(&origin);
    }
    RegisterStackList(list);
    return list;
}

RTL_RAISE_PATH std::shared_ptr<TTraceStackInfoList> CaptureStack(bool raw, int ignoreLevels, const void* firstCaller) {
    return CaptureStack(raw, ignoreLevels, firstCaller, TRaiseOrigin{});
}

std::shared_ptr<TTraceStackInfoList> ThreadStackList() {
    auto& global = GlobalStackList();
    const std::lock_guard lock(global.Lock);
    DWORD threadId = ::GetCurrentThreadId();
    if (global.ThreadLocked && threadId == mainThreadId)
        threadId = global.LockedThreadId;
    for (const auto& list : global.Lists)
        if (list->ThreadID() == threadId && typeid(*list) == typeid(TTraceStackInfoList))
            return std::static_pointer_cast<TTraceStackInfoList>(list);
    return nullptr;
}

void LockStackListThread(DWORD threadId) {
    auto& global = GlobalStackList();
    const std::lock_guard lock(global.Lock);
    global.ThreadLocked = true;
    global.LockedThreadId = threadId;
}

void UnlockStackListThread() {
    auto& global = GlobalStackList();
    const std::lock_guard lock(global.Lock);
    global.ThreadLocked = false;
}

void WriteStackLines(const TTraceStackInfoList& list, TStrings& lines, bool includeModuleName,
                     bool includeAddressOffset, bool includeLineOffset) {
    for (size_t i = 0; i < list.Count(); ++i)
        lines.Add(LocationText(reinterpret_cast<const void*>(list.Items(i).CallerAddr), includeModuleName,
                               includeAddressOffset, includeLineOffset));
}

// ---- Named threads

void TTraceDebugThreadList::RegisterThread(DWORD threadId, const AnsiString& name, const AnsiString& text) {
    const std::lock_guard lock(listLock_);
    const std::lock_guard read(readLock_);
    std::erase_if(entries_, [&](const auto& entry) { return entry.first == threadId; });
    entries_.emplace_back(threadId, name + "=" + text);
}

void TTraceDebugThreadList::UnregisterThread(DWORD threadId) {
    const std::lock_guard lock(listLock_);
    const std::lock_guard read(readLock_);
    std::erase_if(entries_, [&](const auto& entry) { return entry.first == threadId; });
}

AnsiString TTraceDebugThreadList::ThreadText(DWORD threadId) const {
    const std::lock_guard read(readLock_);
    for (const auto& [id, entry] : entries_) {
        if (id != threadId)
            continue;
        const size_t equals = entry.find('=');
        char number[9];
        std::snprintf(number, sizeof number, "%.8lX", static_cast<unsigned long>(threadId));
        return AnsiString(number) + " [" + entry.substr(0, equals) + "] \"" +
               (equals == AnsiString::npos ? AnsiString() : entry.substr(equals + 1)) + "\"";
    }
    return {};
}

TTraceDebugThreadList& DebugThreadList() {
    static TTraceDebugThreadList list;
    return list;
}

const TUnitInfo TraceHookExceptUnit{"TraceHookExcept", &StartTraceHookExcept, &EndTraceHookExcept};
