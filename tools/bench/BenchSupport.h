// Timing and reporting shared by the text benchmarks: every figure is a pair of times measured
// side by side in one run, printed as one line with their ratio.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace bench {

// The median keeps one slow run (a page fault storm, another process on the core) from deciding.
inline double MedianSeconds(int runs, const std::function<void()>& prepare,
                            const std::function<void()>& measured) {
    std::vector<double> seconds;
    for (int run = 0; run < runs; ++run) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        measured();
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

inline double MedianSeconds(int runs, const std::function<void()>& measured) {
    return MedianSeconds(
        runs, [] {}, measured);
}

// One line: both times, their ratio, and PASS/FAIL where the figure has a budget. Returns false
// only for a figure over its budget.
inline bool ReportRatio(const char* what, double ours, double baseline, std::optional<double> budget) {
    const double ratio = baseline > 0 ? ours / baseline : 0;
    const bool within = !budget || ratio <= *budget;
    std::printf("%-52s %9.4f s  baseline %9.4f s  ratio %6.2f", what, ours, baseline, ratio);
    if (budget)
        std::printf("  (budget %.0fx) %s", *budget, within ? "PASS" : "FAIL");
    std::printf("\n");
    std::fflush(stdout);
    return within;
}

// Throughput beside a plain copy of the same bytes; no budget.
inline void ReportThroughput(const char* what, double bytes, double ours, double copy) {
    const double mb = bytes / 1e6;
    std::printf("%-52s %9.1f MB/s  memcpy %9.1f MB/s  ratio %6.2f\n", what, mb / ours, mb / copy,
                ours / copy);
    std::fflush(stdout);
}

// Keeps the compiler from dropping work whose result is otherwise unused.
template <typename T> void KeepAlive(const T& value) {
    asm volatile("" : : "g"(&value) : "memory");
}

} // namespace bench
