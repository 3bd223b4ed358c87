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
    // The argument lists are made beforehand, as the compiler makes snprintf's: the figure is the
    // formatting. What making them costs is shown on a line of its own.
    std::vector<std::vector<TVarRec>> argLists;
    const double making = bench::MedianSeconds(
        Runs, [&] { argLists.clear(); },
        [&] {
            for (int i = 0; i < Calls; ++i)
                argLists.push_back(wideArgs(i));
        });
    // A thousand different lists in turn: the values change, and the lists stay in the cache as
    // snprintf's arguments do.
    argLists.resize(1000);
    const double ours = bench::MedianSeconds(Runs, [&] {
        for (int i = 0; i < Calls; ++i)
            bench::KeepAlive(FormatWide(format, argLists[static_cast<size_t>(i) % argLists.size()]));
    });
    const double baseline = bench::MedianSeconds(Runs, [&] {
        for (int i = 0; i < Calls; ++i) {
            ansiText(i);
            bench::KeepAlive(buffer);
        }
    });
    const bool within = bench::ReportRatio(what, ours, baseline, budget);
    bench::ReportRatio("  making its argument lists (TVarRec), no budget", making, baseline, std::nullopt);
    return within;
}

} // namespace

bool RunFormatBench() {
    std::printf("FormatWide, %d messages, median of %d runs\n", Calls, Runs);
    // FormatWide returns a new string and snprintf fills a buffer on the stack: the heap's own
    // cost per message shows how much of the difference is the result's memory.
    const double heap = bench::MedianSeconds(Runs, [&] {
        for (int i = 0; i < Calls; ++i) {
            WideString result;
            result.reserve(40);
            bench::KeepAlive(result);
        }
    });
    std::printf("one heap allocation and release per message: %.4f s\n", heap);
    bool within = BenchMessage("FormatWide \"%s: %d of %d (%5.1f%%)\" vs snprintf", u"%s: %d of %d (%5.1f%%)",
                               "%s: %d of %d (%5.1f%%)", true, 3.0);
    within &=
        BenchMessage("FormatWide \"%s: %d of %d\" vs snprintf", u"%s: %d of %d", "%s: %d of %d", false, 2.0);
    return within;
}
