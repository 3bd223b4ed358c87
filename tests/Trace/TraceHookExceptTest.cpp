// Raises of every kind seen while the stack is intact: the thread's stack list names the raising
// procedures and lines, faults in event handlers come back as exception objects, lists are kept
// per thread, and the notifiers run once per raise.
#include <gtest/gtest.h>

#include <limits>
#include <new>
#include <thread>
#include <vector>

#include "Application.h"
#include "ModuleRegistry.h"
#include "SystemFaults.h"
#include "Timer.h"
#include "TraceDebug.h"
#include "TraceHookExcept.h"

namespace {

// Each raise below records the line it raises on.
int raiseLine = 0;
int middleCallLine = 0;
int outerCallLine = 0;

[[gnu::noinline]] void InnerRaise() {
    raiseLine = __LINE__ + 1;
    throw EInvalidOperation("inner failed");
}

[[gnu::noinline]] void MiddleCall() {
    middleCallLine = __LINE__ + 1;
    InnerRaise();
    __asm__ volatile(""); // keeps the call from becoming a jump
}

[[gnu::noinline]] void OuterCall() {
    outerCallLine = __LINE__ + 1;
    MiddleCall();
    __asm__ volatile("");
}

struct Location {
    AnsiString Unit, Procedure;
    int Line = 0;
};

Location LocationOf(uintptr_t address) {
    TTraceLocationInfo info;
    LocateAddressInfo(reinterpret_cast<const void*>(address), info);
    return Location{info.UnitName, info.ProcedureName, info.LineNumber};
}

::testing::AssertionResult IsAt(const Location& location, const char* procedure, int line) {
    if (location.Unit == "TraceHookExceptTest" && location.Procedure.find(procedure) != AnsiString::npos &&
        location.Line == line)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << location.Unit << "." << location.Procedure << " line " << location.Line
                                         << ", expected " << procedure << " line " << line;
}

class TraceHook : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &RtlSystemFaultsUnit, &RtlFormsUnit, &TraceDebugUnit, &TraceHookExceptUnit});
        SetTraceOptions(TraceStack | TraceRaw | CacheModuleList);
        ASSERT_TRUE(StartStackCapture());
    }
    void TearDown() override {
        Application->OnException = nullptr;
        units_.reset();
        ASSERT_FALSE(RaiseHookInstalled()) << "the unit's end removes the hook";
    }

    static std::shared_ptr<TTraceStackInfoList> ListOfNestedThrow() {
        try {
            OuterCall();
        } catch (const EInvalidOperation&) {
        }
        return ThreadStackList();
    }

    std::unique_ptr<TUnitStartup> units_;
};

std::string Describe(const TTraceStackInfoList& list) {
    TStringList lines;
    WriteStackLines(list, lines);
    std::string text = "\nthe list:";
    for (int32_t i = 0; i < lines.Count(); ++i)
        text += "\n  " + lines.Strings(i);
    return text;
}

void ExpectNestedThrowLines(const TTraceStackInfoList& list) {
    ASSERT_GE(list.Count(), 3u) << Describe(list);
    EXPECT_TRUE(IsAt(LocationOf(list.Items(0).CallerAddr), "InnerRaise", raiseLine)) << Describe(list);
    EXPECT_TRUE(IsAt(LocationOf(list.Items(1).CallerAddr), "MiddleCall", middleCallLine)) << Describe(list);
    EXPECT_TRUE(IsAt(LocationOf(list.Items(2).CallerAddr), "OuterCall", outerCallLine)) << Describe(list);
}

TEST_F(TraceHook, AThrowInANestedCallIsCapturedWithItsProceduresAndLines) {
    const auto list = ListOfNestedThrow();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->ThreadID(), ::GetCurrentThreadId());
    ExpectNestedThrowLines(*list);
}

TEST_F(TraceHook, TheFrameWalkFindsTheSameCallers) {
    SetTraceOptions(TraceStack);
    const auto list = ListOfNestedThrow();
    ASSERT_NE(list, nullptr);
    ExpectNestedThrowLines(*list);
    EXPECT_NE(list->Items(1).FrameAddress, 0u) << "a frame walk records the frames";
    EXPECT_GT(list->Items(1).CallerFrame, list->Items(1).FrameAddress);
}

int libraryCallLine = 0;
void* volatile allocated = nullptr;

[[gnu::noinline]] void AskTheLibraryForTooMuch() {
    libraryCallLine = __LINE__ + 1;
    allocated = ::operator new(std::numeric_limits<size_t>::max() / 2);
    __asm__ volatile("");
}

TEST_F(TraceHook, AThrowOfTheCLibraryIsSeenToo) {
    int notifiedBefore = 0;
    try {
        AskTheLibraryForTooMuch();
    } catch (const std::bad_alloc&) {
        notifiedBefore = 1;
    }
    ASSERT_EQ(notifiedBefore, 1) << "the allocation failed";
    const auto list = ThreadStackList();
    ASSERT_NE(list, nullptr);
    bool found = false;
    for (size_t i = 0; i < list->Count() && !found; ++i)
        found = IsAt(LocationOf(list->Items(i).CallerAddr), "AskTheLibraryForTooMuch", libraryCallLine);
    EXPECT_TRUE(found) << "the list leads back to the call of the library" << Describe(*list);
}

TEST_F(TraceHook, ASecondExceptionReplacesTheThreadsListAndLeavesAnotherThreadsAlone) {
    const auto first = ListOfNestedThrow();
    std::shared_ptr<TTraceStackInfoList> otherThreads;
    DWORD otherThread = 0;
    std::thread([&] {
        try {
            throw EConvertError("on another thread");
        } catch (const EConvertError&) {
        }
        otherThreads = ThreadStackList();
        otherThread = ::GetCurrentThreadId();
    }).join();
    ASSERT_NE(otherThreads, nullptr);
    EXPECT_EQ(otherThreads->ThreadID(), otherThread);
    EXPECT_EQ(ThreadStackList(), first) << "another thread's raise leaves this thread's list";

    int secondLine = 0;
    try {
        secondLine = __LINE__ + 1;
        throw EConvertError("second");
    } catch (const EConvertError&) {
    }
    const auto second = ThreadStackList();
    ASSERT_NE(second, first);
    ASSERT_GE(second->Count(), 1u);
    EXPECT_EQ(LocationOf(second->Items(0).CallerAddr).Line, secondLine);

    LockStackListThread(otherThread);
    EXPECT_EQ(ThreadStackList(), otherThreads) << "the main thread reads the locked thread's list, unchanged";
    UnlockStackListThread();
}

int notified = 0;
const void* notifiedObject = nullptr;
const void* notifiedAddress = nullptr;
bool notifiedAsOsException = false;

void CountingNotifier(const TRaisedObject& object, const void* address, bool osException) {
    ++notified;
    notifiedObject = object.Object;
    notifiedAddress = address;
    notifiedAsOsException = osException;
    // A raise inside a notifier is no new exception of the program.
    try {
        throw EAbort("inside the notifier");
    } catch (const EAbort&) {
    }
}

TEST_F(TraceHook, ARaiseInsideANotifierIsNotNotifiedAgain) {
    notified = 0;
    ASSERT_TRUE(RegisterRaiseListener(&CountingNotifier));
    try {
        throw EConvertError("once");
    } catch (const EConvertError& error) {
        EXPECT_EQ(notifiedObject, &error);
    }
    EXPECT_EQ(notified, 1);
    EXPECT_FALSE(notifiedAsOsException);
    EXPECT_TRUE(UnregisterRaiseListener(&CountingNotifier));
    EXPECT_FALSE(UnregisterRaiseListener(&CountingNotifier));
    EXPECT_FALSE(RegisterRaiseListener(static_cast<TRaiseNotifyProc>(nullptr)));
}

std::vector<int> callOrder;
void NormalNotifier(const TRaisedObject&, const void*, bool) { callOrder.push_back(0); }
void HighNotifier(const TRaisedObject&, const void*, bool) { callOrder.push_back(1); }

TEST_F(TraceHook, HighPriorityNotifiersRunFirst) {
    callOrder.clear();
    RegisterRaiseListener(&NormalNotifier, npNormal);
    RegisterRaiseListener(&HighNotifier, npHigh);
    try {
        throw EConvertError("ordered");
    } catch (const EConvertError&) {
    }
    UnregisterRaiseListener(&NormalNotifier);
    UnregisterRaiseListener(&HighNotifier);
    EXPECT_EQ(callOrder, (std::vector<int>{1, 0}));
}

// ---- Operating-system exceptions

int faultLine = 0;

class FaultInHandler : public TraceHook {
protected:
    void SetUp() override {
        TraceHook::SetUp();
        Application->OnException = [this](TObject* sender, Exception& error) {
            sender_ = sender;
            message_ = error.Message();
            if (const auto* external = dynamic_cast<const EExternal*>(&error)) {
                faultAddress_ = external->ExceptionAddress();
                code_ = external->ExceptionCode();
            }
            className_ = typeid(error).name();
            list_ = ThreadStackList();
        };
    }

    TObject* sender_ = nullptr;
    AnsiString message_;
    std::string className_;
    const void* faultAddress_ = nullptr;
    uint32_t code_ = 0;
    std::shared_ptr<TTraceStackInfoList> list_;
};

TEST_F(FaultInHandler, AnAccessViolationInATimerEventReachesTheApplicationAndTheProgramGoesOn) {
    TTimer timer(nullptr);
    int ticks = 0;
    timer.SetInterval(10);
    timer.SetOnTimer([&](TObject*) {
        if (++ticks == 1) {
            volatile int* nowhere = nullptr;
            faultLine = __LINE__ + 1;
            *nowhere = 1;
        }
    });
    timer.SetEnabled(true);
    const DWORD start = ::GetTickCount();
    while (ticks < 2 && ::GetTickCount() - start < 5000) {
        Application->ProcessMessages();
        ::Sleep(5);
    }
    timer.SetEnabled(false);
    EXPECT_GE(ticks, 2) << "the timer kept running after the fault";
    EXPECT_EQ(sender_, &timer);
    EXPECT_NE(className_.find("EAccessViolation"), std::string::npos) << className_;
    EXPECT_EQ(code_, EXCEPTION_ACCESS_VIOLATION);
    EXPECT_NE(message_.find("Access violation at address "), AnsiString::npos) << message_;
    EXPECT_NE(message_.find(". Write of address 00000000"), AnsiString::npos) << message_;
    ASSERT_NE(list_, nullptr);
    ASSERT_GE(list_->Count(), 1u);
    EXPECT_EQ(list_->Items(0).CallerAddr, reinterpret_cast<uintptr_t>(faultAddress_))
        << "the list starts with the faulting address";
    EXPECT_EQ(LocationOf(list_->Items(0).CallerAddr).Line, faultLine);
}

TEST_F(FaultInHandler, AnIntegerDivisionByZeroBecomesItsExceptionObject) {
    volatile int zero = 0;
    volatile int result = 0;
    EXPECT_FALSE(DispatchEvent(nullptr, [&] { result = 10 / zero; }));
    EXPECT_NE(className_.find("EDivByZero"), std::string::npos) << className_;
    EXPECT_EQ(message_, "Division by zero");
    EXPECT_EQ(code_, EXCEPTION_INT_DIVIDE_BY_ZERO);
    ASSERT_NE(list_, nullptr);
    ASSERT_GE(list_->Count(), 1u);
    EXPECT_EQ(list_->Items(0).CallerAddr, reinterpret_cast<uintptr_t>(faultAddress_));
}

// Deeper than any stack: the limit is only there for the compiler.
volatile int recursionLimit = 1 << 30;

// Each frame hands its block to the next and reads it back afterwards: no compiler can turn this
// recursion into a loop.
[[gnu::noinline]] void Recurse(volatile char* callersBlock) {
    volatile char block[512];
    block[0] = 1;
    recursionLimit = recursionLimit - 1;
    if (recursionLimit > 0)
        Recurse(block);
    callersBlock[0] = block[0];
}

TEST_F(FaultInHandler, AStackOverflowBecomesItsExceptionObjectOnAThreadThatThenEnds) {
#if defined(__x86_64__)
    GTEST_SKIP() << "under Wine a 64-bit thread whose stack overflows ends without running any more of its code";
#endif
    // On a thread of its own: the overflowed stack's guard page is spent afterwards.
    std::thread([] {
        volatile char block[1];
        EXPECT_FALSE(DispatchEvent(nullptr, [&] { Recurse(block); }));
    }).join();
    EXPECT_NE(className_.find("EStackOverflow"), std::string::npos) << className_;
    EXPECT_EQ(message_, "Stack overflow");
}

int vectoredSeen = 0;

// Lets the raises of the tests below go on after the raise call, as a debugger would.
LONG CALLBACK ContinueTestRaises(EXCEPTION_POINTERS* pointers) {
    const DWORD code = pointers->ExceptionRecord->ExceptionCode;
    if (code != 0xE0001234 && code != LanguageExceptionCode)
        return EXCEPTION_CONTINUE_SEARCH;
    ++vectoredSeen;
    return EXCEPTION_CONTINUE_EXECUTION;
}

class RaisedThroughTheSystem : public TraceHook {
protected:
    void SetUp() override {
        TraceHook::SetUp();
        // Last in line: the interception's handler has seen the exception first.
        continuer_ = ::AddVectoredExceptionHandler(0, &ContinueTestRaises);
        notified = 0;
        vectoredSeen = 0;
        RegisterRaiseListener(&CountingNotifier);
    }
    void TearDown() override {
        UnregisterRaiseListener(&CountingNotifier);
        ::RemoveVectoredExceptionHandler(continuer_);
        TraceHook::TearDown();
    }
    PVOID continuer_ = nullptr;
};

TEST_F(RaisedThroughTheSystem, AForeignRaiseIsNotifiedAsAnOperatingSystemException) {
    ::RaiseException(0xE0001234, 0, 0, nullptr);
    EXPECT_EQ(vectoredSeen, 1);
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(notifiedAsOsException);
    const auto list = ThreadStackList();
    ASSERT_NE(list, nullptr);
    ASSERT_GE(list->Count(), 1u);
    EXPECT_EQ(list->Items(0).CallerAddr, reinterpret_cast<uintptr_t>(notifiedAddress));
}

extern "C" void CallRaiseWithTrailingArguments(const void* raiseFunction, const ULONG_PTR* values);

TEST_F(RaisedThroughTheSystem, TheLanguageRaiseThroughTheImportIsNotifiedWithItsObjectAndAddress) {
    int object = 0;
    const ULONG_PTR values[7] = {0x401234, reinterpret_cast<ULONG_PTR>(&object), 0, 0, 0, 0, 0};
    // The program's import slot, which the hook has replaced.
    CallRaiseWithTrailingArguments(reinterpret_cast<const void*>(&::RaiseException), values);
    EXPECT_EQ(vectoredSeen, 1) << "the system raised it";
    EXPECT_EQ(notified, 1);
    EXPECT_FALSE(notifiedAsOsException);
    EXPECT_EQ(notifiedObject, &object);
    EXPECT_EQ(notifiedAddress, reinterpret_cast<const void*>(0x401234));
}

TEST_F(RaisedThroughTheSystem, TheLanguageCodeWithItsArgumentsElsewhereIsNotNotified) {
    const ULONG_PTR values[7] = {0x401234, 0x5678, 0, 0, 0, 0, 0};
    ::RaiseException(LanguageExceptionCode, EXCEPTION_NONCONTINUABLE, 7, values);
    EXPECT_EQ(vectoredSeen, 1);
    EXPECT_EQ(notified, 0);
}

// The program's import slot, read anew each time.
[[gnu::noinline]] const void* ImportedRaiseException() {
    __asm__ volatile("" ::: "memory");
    return reinterpret_cast<const void*>(&::RaiseException);
}

TEST_F(TraceHook, RemovingTheHookPutsTheSystemFunctionBack) {
    const auto* hooked = ImportedRaiseException();
    ASSERT_TRUE(RemoveRaiseHook());
    const auto* restored = ImportedRaiseException();
    EXPECT_NE(hooked, restored);
    EXPECT_EQ(restored, reinterpret_cast<const void*>(
                            ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "RaiseException")));
    EXPECT_TRUE(InstallRaiseHook());
    EXPECT_EQ(ImportedRaiseException(), hooked);
}

// ---- Walks, modules, lines

[[gnu::noinline]] uintptr_t ReturnAddressOfThisCall() {
    return reinterpret_cast<uintptr_t>(__builtin_return_address(0));
}

TEST_F(TraceHook, TheRawWalkRecordsARepeatedReturnAddressOnceAndIgnoresLevels) {
    const uintptr_t returnAddress = ReturnAddressOfThisCall();
    volatile uintptr_t slots[4] = {returnAddress, returnAddress, 0x12, returnAddress};
    // Both lists exist, and nothing runs in this frame, between the two walks: a raw walk also
    // reads this frame's other values, which must be the same for both.
    TTraceStackInfoList all(-1, GlobalModulesList());
    TTraceStackInfoList ignoring(7, GlobalModulesList());
    all.RawWalk(reinterpret_cast<uintptr_t>(&slots[0]));
    ignoring.RawWalk(reinterpret_cast<uintptr_t>(&slots[0]));
    ASSERT_GE(all.Count(), 2u);
    EXPECT_EQ(all.Items(0).Level, 1u);
    EXPECT_EQ(all.Items(0).CallerAddr, returnAddress - 5) << "a direct call";
    EXPECT_NE(all.Items(1).CallerAddr, returnAddress - 5) << "repeats are recorded once";
    EXPECT_EQ(all.Items(1).Level, 2u);

    ASSERT_EQ(ignoring.Count() + 8, all.Count()) << "the first eight levels are left out";
    EXPECT_EQ(ignoring.Items(0).Level, 9u);
    EXPECT_EQ(ignoring.Items(0).CallerAddr, all.Items(8).CallerAddr);
}

TEST_F(TraceHook, OnlyRegisteredModulesAreProgramCodeUnlessAllModulesAreTraced) {
    const auto own = reinterpret_cast<uintptr_t>(&ReturnAddressOfThisCall);
    const auto system = reinterpret_cast<uintptr_t>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "Sleep"));
    const auto registered = GlobalModulesList();
    EXPECT_TRUE(registered->IsValidModuleAddress(own));
    EXPECT_FALSE(registered->IsValidModuleAddress(system));
    EXPECT_EQ(GlobalModulesList(), registered) << "the cached list is reused";

    TTraceModuleInfoList dynamic(true, false);
    EXPECT_TRUE(dynamic.IsValidModuleAddress(system)) << "a dynamic list learns the module";
    EXPECT_EQ(dynamic.Modules().size(), 1u);
}

TEST_F(TraceHook, TheProcessModulesAreListedWithTheirHandles) {
    TStringList modules;
    ASSERT_TRUE(ListProcessModules(modules, ::GetCurrentProcessId()));
    bool program = false, kernel = false;
    for (int32_t i = 0; i < modules.Count(); ++i) {
        const auto handle = reinterpret_cast<HMODULE>(modules.Objects(i));
        AnsiString name = modules.Strings(i);
        for (char& c : name)
            c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        program |= handle == ::GetModuleHandleW(nullptr) && name.ends_with("tracetests.exe");
        kernel |= handle == ::GetModuleHandleW(L"kernel32.dll") && name.ends_with("kernel32.dll");
    }
    EXPECT_TRUE(program);
    EXPECT_TRUE(kernel);
    EXPECT_FALSE(ListProcessModules(modules, 0xFFFFFFF0)) << "no such process";
}

TEST_F(TraceHook, StackLinesAreTheLocationTextsOfTheCallers) {
    const auto list = ListOfNestedThrow();
    TStringList lines;
    WriteStackLines(*list, lines);
    ASSERT_EQ(static_cast<size_t>(lines.Count()), list->Count());
    EXPECT_NE(lines.Strings(0).find("InnerRaise"), AnsiString::npos) << lines.Strings(0);
    EXPECT_NE(lines.Strings(0).find("(Line " + std::to_string(raiseLine)), AnsiString::npos) << lines.Strings(0);
}

TEST(TraceDebugThreads, AThreadLineShowsTheIdentifierNameAndText) {
    TTraceDebugThreadList threads;
    threads.RegisterThread(0x12C, "Copier", "copies the payload");
    EXPECT_EQ(threads.ThreadText(0x12C), "0000012C [Copier] \"copies the payload\"");
    EXPECT_EQ(threads.ThreadText(0x12D), "");
    threads.UnregisterThread(0x12C);
    EXPECT_EQ(threads.ThreadText(0x12C), "");
}

} // namespace
