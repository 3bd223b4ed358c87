// Every raise of the program seen while the stack is intact: C++ throws at the runtime's throw
// entry, operating-system exceptions through the runtime's fault mapping, and raises through
// kernel32's RaiseException by a hook in the program's import table. A list of notifiers runs for
// each; the debug notifier records the raising thread's stack, which the error report shows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "Exceptions.h"
#include "LanguageRaise.h"
#include "StringLists.h"
#include "SysTypes.h"
#include "UnitRegistry.h"

// ---- Notifiers

// Receives the raised object, the raise address (for a fault: the faulting instruction) and
// whether the operating system raised it.
using TRaiseNotifyProc = void (*)(const TRaisedObject& object, const void* address, bool osException);
// The same with the object it was registered with.
using TRaiseNotifyMethod = void (*)(void* self, const TRaisedObject& object, const void* address, bool osException);

enum TNotifierPriority : uint8_t { npNormal = 0, npHigh = 1 };

// False for a null procedure.
bool RegisterRaiseListener(TRaiseNotifyProc procedure, TNotifierPriority priority = npNormal);
bool RegisterRaiseListener(TRaiseNotifyMethod method, void* self, TNotifierPriority priority = npNormal);
// Removes the first item with the procedure (method and object); false when there is none.
bool UnregisterRaiseListener(TRaiseNotifyProc procedure);
bool UnregisterRaiseListener(TRaiseNotifyMethod method, void* self);

// A notifier of an operating-system exception may name another object to be raised in its place
// (on the notifying thread, for the exception being notified).
void SetRaiseReplacement(std::exception_ptr replacement);

// ---- The hook

// Routes kernel32's RaiseException, as the program imports it, through the interceptor, and
// chains the runtime's fault mapping and throw entry to the notifiers. True when hooked.
bool InstallRaiseHook();
bool RemoveRaiseHook();
bool RaiseHookInstalled();

// The import slot test: a slot holds the function when it holds its address, or on the Windows
// 9x family when both are system call stubs pushing the same value (68 xx xx xx xx E9 ...).
bool ImportSlotMatches(const void* slotValue, const void* function);

// ---- Stack capture

// The tracking options: the program runs with TraceStack | TraceRaw | CacheModuleList.
enum : uint8_t {
    TraceStack = 0x01,
    TraceHandlerFrames = 0x02,
    TraceRaw = 0x04,
    TraceAllModules = 0x08,
    CacheModuleList = 0x10,
};
uint8_t TraceOptions();
void SetTraceOptions(uint8_t options);

// Installs the hook and the debug notifier (high priority); true when both did.
bool StartStackCapture();
bool StopStackCapture();
bool StackCaptureActive();

// ---- Modules that count as program code

struct TTraceModuleInfo {
    uintptr_t StartAddr = 0;
    uintptr_t Size = 0;
    uintptr_t EndAddr = 0; // StartAddr + Size - 1
    bool SystemModule = false; // registered with the runtime
};

class TTraceModuleInfoList {
public:
    TTraceModuleInfoList(bool dynamicBuild, bool systemModulesOnly);
    void AddModule(HMODULE module, bool systemModule);
    // Whether the address counts as program code: in a registered module, or with TraceAllModules
    // in any module of the list. A dynamic list first adds the module a lookup misses.
    bool IsValidModuleAddress(uintptr_t address);
    const std::vector<TTraceModuleInfo>& Modules() const { return modules_; }
    bool SystemModulesOnly() const { return systemModulesOnly_; }

private:
    const TTraceModuleInfo* Find(uintptr_t address) const;

    bool dynamicBuild_;
    bool systemModulesOnly_;
    std::vector<TTraceModuleInfo> modules_;
};

// The module list stack walks use: one cached list with CacheModuleList, otherwise a new one
// each time (freed with the last stack list that holds it).
std::shared_ptr<TTraceModuleInfoList> GlobalModulesList();

// The module files of a process with their handles as objects (only the handles' text with
// handlesOnly). False when the process (or, on the 9x family, its snapshot) could not be opened.
bool ListProcessModules(TStrings& list, DWORD processId, bool handlesOnly = false);

// ---- Stack lists

// One stack record; a raw walk fills only CallerAddr and Level. On x86-64 the frame fields come
// from the system's unwinder: the frame's and the caller's stack pointers.
struct TTraceStackInfo {
    uintptr_t CallerAddr = 0;
    uint32_t Level = 0;
    uintptr_t CallerFrame = 0;
    uintptr_t DumpSize = 0;
    uintptr_t ParamSize = 0; // in stack slots
    uintptr_t ParamPtr = 0;
    uintptr_t FrameAddress = 0;
};

class TTraceStackBaseList {
public:
    TTraceStackBaseList();
    virtual ~TTraceStackBaseList() = default;
    DWORD ThreadID() const { return threadId_; }
    const SYSTEMTIME& TimeStamp() const { return timeStamp_; }

private:
    DWORD threadId_;
    SYSTEMTIME timeStamp_;
};

class TTraceStackInfoList : public TTraceStackBaseList {
public:
    TTraceStackInfoList(int ignoreLevels, std::shared_ptr<TTraceModuleInfoList> modules);

    size_t Count() const { return items_.size(); }
    const TTraceStackInfo& Items(size_t index) const { return items_.at(index); }
    void Delete(size_t index) { items_.erase(items_.begin() + static_cast<ptrdiff_t>(index)); }
    int IgnoreLevels() const { return ignoreLevels_; }
    uintptr_t TopOfStack() const { return topOfStack_; }
    uintptr_t BottomOfStack() const { return bottom_; }

    // Adds the item when its level lies beyond the ignored ones.
    void AddItem(const TTraceStackInfo& item);
    void AddFirstCaller(const void* address);
    // From the stack pointer `bottom` up to the top of the thread's stack: every value that is a
    // return address into program code, consecutive repeats once.
    void RawWalk(uintptr_t bottom);
    // Along the saved frame pointers from the calling frame, or from the frame of a raise.
    void FrameWalk(const TRaiseOrigin* origin = nullptr);
    // The length of the call that returns to `value`, when it is one into program code.
    std::optional<unsigned> CallSiteLength(uintptr_t value);

    // The raise this list was captured for: the exception object (null for an object of
    // another class) and the raise address.
    const Exception* RaisedException() const { return raisedException_; }
    const void* RaiseAddress() const { return raiseAddress_; }
    void SetRaise(const Exception* raised, const void* address) {
        raisedException_ = raised;
        raiseAddress_ = address;
    }

private:
    std::vector<TTraceStackInfo> items_;
    int ignoreLevels_;
    uintptr_t topOfStack_;
    uintptr_t bottom_ = 0;
    std::shared_ptr<TTraceModuleInfoList> modules_;
    const Exception* raisedException_ = nullptr;
    const void* raiseAddress_ = nullptr;
};

// Captures the calling thread's stack and keeps it as the thread's list, replacing its previous.
std::shared_ptr<TTraceStackInfoList> CaptureStack(bool raw, int ignoreLevels, const void* firstCaller = nullptr);
// The same from where a raise stands (a notifier's capture): what lies below it on the stack
// is the interception's own.
std::shared_ptr<TTraceStackInfoList> CaptureStack(bool raw, int ignoreLevels, const void* firstCaller,
                                                  const TRaiseOrigin& origin);
// The list captured for the calling thread (with the thread lock on, the main thread reads the
// locked thread's), or none.
std::shared_ptr<TTraceStackInfoList> ThreadStackList();
// While set, the main thread's ThreadStackList reads the list of thread `threadId`.
void LockStackListThread(DWORD threadId);
void UnlockStackListThread();
// One line per item: the location text of its caller address.
void WriteStackLines(const TTraceStackInfoList& list, TStrings& lines, bool includeModuleName = false,
                     bool includeAddressOffset = false, bool includeLineOffset = false);

// ---- Named threads

// Threads whose exceptions are reported with a thread line: entries "name=text" with the
// thread's identifier.
class TTraceDebugThreadList {
public:
    void RegisterThread(DWORD threadId, const AnsiString& name, const AnsiString& text = {});
    void UnregisterThread(DWORD threadId);
    // `0000012C [name] "text"`; empty for a thread not registered.
    AnsiString ThreadText(DWORD threadId) const;
    // Run on the main thread for an exception of a registered thread.
    std::function<void(DWORD threadId, Exception& error)> SyncException;

private:
    mutable std::mutex listLock_;
    mutable std::mutex readLock_;
    std::vector<std::pair<DWORD, AnsiString>> entries_;
};

TTraceDebugThreadList& DebugThreadList();

// Creates the notifier list, the global lists and the debug lock at start; unhooks, stops and
// frees them at the end.
extern const TUnitInfo TraceHookExceptUnit;
