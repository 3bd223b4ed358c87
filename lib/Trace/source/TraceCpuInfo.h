// The processor as the error report shows it: CPUID's vendor, name and features, and the clock
// measured with the time-stamp counter against the performance counter.
#pragma once

#include <cstdint>
#include <exception>
#include <vector>

#include "SysTypes.h"
#include "TraceCpuClock.h"
#include "TraceProcessorText.h"

// Raises EInvalidOperation "The processor has no CPUID instruction" on a processor without it.
TCpuIdData ReadCpuId();
// One pass: 50 performance-counter ticks of waiting, then the time-stamp ticks over
// PassCounterTicks of the counter, at time-critical priority (restored afterwards). A pass of
// nothing when the system has no performance counter.
TClockPass MeasureClockPass();
// The clock in MHz rounded to a customary value; 0 when the processor has no time-stamp counter.
uint32_t MeasureProcessorClock(const TCpuIdData& cpu);
// The "Processor" line, or the failure between two banners when reading the processor raised.
std::vector<AnsiString> ProcessorReportLines();
// The same, reading the processor through the reader given; for the failure's lines in tests.
using TProcessorLineReader = AnsiString (*)();
std::vector<AnsiString> ProcessorReportLines(TProcessorLineReader reader);
// The class name of an exception object as the report shows it ("EOSError", "std::bad_alloc").
AnsiString ExceptionClassName(const std::exception& exception);
