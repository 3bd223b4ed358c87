#include "TraceCpuInfo.h"

#include <windows.h>

#include <cpuid.h>
#include <cxxabi.h>
#include <x86intrin.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <typeinfo>

#include "Exceptions.h"

namespace {

class ThreadPriorityScope {
public:
    explicit ThreadPriorityScope(int priority)
        : thread_(::GetCurrentThread()), previous_(::GetThreadPriority(thread_)) {
        ::SetThreadPriority(thread_, priority);
    }
    ~ThreadPriorityScope() {
        if (previous_ != THREAD_PRIORITY_ERROR_RETURN)
            ::SetThreadPriority(thread_, previous_);
    }
    ThreadPriorityScope(const ThreadPriorityScope&) = delete;
    ThreadPriorityScope& operator=(const ThreadPriorityScope&) = delete;

private:
    HANDLE thread_;
    int previous_;
};

uint64_t CounterNow() {
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    return static_cast<uint64_t>(now.QuadPart);
}

AnsiString RegistersText(std::initializer_list<unsigned> registers) {
    AnsiString text;
    for (const unsigned value : registers) {
        char bytes[4];
        std::memcpy(bytes, &value, sizeof bytes);
        text.append(bytes, sizeof bytes);
    }
    return text;
}

AnsiString ReadProcessorLine() {
    const TCpuIdData cpu = ReadCpuId();
    const uint32_t clock = MeasureProcessorClock(cpu);
    return ProcessorLine(cpu, clock, DivisionTestPasses());
}

} // namespace

TCpuIdData ReadCpuId() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    const unsigned highestLeaf = __get_cpuid_max(0, nullptr);
    if (highestLeaf == 0)
        throw EInvalidOperation("The processor has no CPUID instruction");
    TCpuIdData cpu;
    __cpuid(0, eax, ebx, ecx, edx);
    cpu.VendorId = RegistersText({ebx, edx, ecx});
    if (highestLeaf >= 1) {
        __cpuid(1, eax, ebx, ecx, edx);
        cpu.Signature = eax;
        cpu.Features = edx;
    }
    if (__get_cpuid_max(0x80000000u, nullptr) >= 0x80000004u) {
        for (unsigned leaf = 0x80000002u; leaf <= 0x80000004u; ++leaf) {
            __cpuid(leaf, eax, ebx, ecx, edx);
            cpu.BrandString += RegistersText({eax, ebx, ecx, edx});
        }
    }
    return cpu;
}

TClockPass MeasureClockPass() {
    LARGE_INTEGER frequency{};
    if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0)
        return TClockPass();
    const auto counterFrequency = static_cast<uint64_t>(frequency.QuadPart);
    const uint64_t passTicks = PassCounterTicks(counterFrequency);
    ThreadPriorityScope timeCritical(THREAD_PRIORITY_TIME_CRITICAL);
    // Starting on a fresh counter tick keeps the partial tick out of the measured span.
    const uint64_t waitEnd = CounterNow() + 50;
    uint64_t start = CounterNow();
    while (start < waitEnd)
        start = CounterNow();
    const uint64_t stampStart = __rdtsc();
    uint64_t end = CounterNow();
    while (end - start < passTicks)
        end = CounterNow();
    const uint64_t stampEnd = __rdtsc();
    return TClockPass{stampEnd - stampStart, CounterTicksToMicroseconds(end - start, counterFrequency)};
}

uint32_t MeasureProcessorClock(const TCpuIdData& cpu) {
    if ((cpu.Features & CpuFeatureTimeStampCounter) == 0)
        return 0;
    return RoundClockToCustomary(MeasureClockMHz(MeasureClockPass));
}

std::vector<AnsiString> ProcessorReportLines() {
    return ProcessorReportLines(ReadProcessorLine);
}

std::vector<AnsiString> ProcessorReportLines(TProcessorLineReader reader) {
    try {
        return {reader()};
    } catch (const std::exception& failure) {
        return CpuInfoFailureLines(ExceptionClassName(failure), failure.what());
    }
}

AnsiString ExceptionClassName(const std::exception& exception) {
    const char* mangled = typeid(exception).name();
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
    return status == 0 && demangled ? AnsiString(demangled.get()) : AnsiString(mangled);
}
