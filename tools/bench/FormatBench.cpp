// FormatWide against the C library's snprintf writing the same message: one progress line with a
// float, and one with integers only. The message arguments change every call, so neither side
// can reuse a result.
#include "FormatBench.h"

#include <cstdio>
#include <string>

#include "BenchSupport.h"
#include "VynFormatStrUtils.h"

namespace {

constexpr int Calls = 50000;
constexpr int Runs = 5;

const char16_t* const WideNames[] = {u"Copying", u"Checking", u"Registering"};
const char* const AnsiNames[] = {"Copying", "Checking", "Registering"};

bool SameText(const WideString& wide, const char* ansi) {
    return wide == WideString(ansi, ansi + std::char_traits<char>::length(ansi));
}

bool BenchMessage(const char* what, const char16_t* wideFormat, const char* ansiFormat, bool withFloat,
                  double budget) {
    const WideString format(wideFormat);
    char buffer[256];
    auto wideArgs = [&](int i) -> std::vector<TVarRec> {
        if (withFloat)
            return {WideNames[i % 3], i, Calls, 100.0 * i / Calls};
        return {WideNames[i % 3], i, Calls};
    };
    auto ansiText = [&](int i) {
        if (withFloat)
            std::snprintf(buffer, sizeof buffer, ansiFormat, AnsiNames[i % 3], i, Calls, 100.0 * i / Calls);
        else
            std::snprintf(buffer, sizeof buffer, ansiFormat, AnsiNames[i % 3], i, Calls);
    };
    // Both sides must write the same text, or the comparison would mean nothing.
    for (int i : {0, 1, 7, 12345, Calls - 1}) {
        ansiText(i);
        if (!SameText(FormatWide(format, wideArgs(i)), buffer)) {
            std::printf("%s: FormatWide and snprintf disagree for call %d (%s)\n", what, i, buffer);
            return false;
        }
    }
    const double ours = bench::MedianSeconds(Runs, [&] {
        for (int i = 0; i < Calls; ++i)
            bench::KeepAlive(FormatWide(format, wideArgs(i)));
    });
    const double baseline = bench::MedianSeconds(Runs, [&] {
        for (int i = 0; i < Calls; ++i) {
            ansiText(i);
            bench::KeepAlive(buffer);
        }
    });
    return bench::ReportRatio(what, ours, baseline, budget);
}

} // namespace

bool RunFormatBench() {
    std::printf("FormatWide, %d messages, median of %d runs\n", Calls, Runs);
    bool within = BenchMessage("FormatWide \"%s: %d of %d (%5.1f%%)\" vs snprintf", u"%s: %d of %d (%5.1f%%)",
                               "%s: %d of %d (%5.1f%%)", true, 3.0);
    within &= BenchMessage("FormatWide \"%s: %d of %d\" vs snprintf", u"%s: %d of %d", "%s: %d of %d", false,
                           2.0);
    return within;
}
