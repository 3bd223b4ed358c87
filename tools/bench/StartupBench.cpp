// The installer's own time when there is nothing to install: the installer and the minimal
// window program (MinimalWindow.cpp) started the same way, one after the other, from process
// creation to exit; the medians and their difference, checked against a budget.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "Handles.h"

namespace {

constexpr int Runs = 7;
constexpr double BudgetMilliseconds = 100;
constexpr DWORD RunTimeoutMilliseconds = 60000;

// Milliseconds from creation to exit, or nothing when the program could not start, did not end
// in time or failed.
std::optional<double> TimedRun(const std::wstring& program) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const auto start = std::chrono::steady_clock::now();
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &started)) {
        const DWORD error = ::GetLastError();
        std::printf("cannot start %ls (error %lu)\n", program.c_str(), error);
        return std::nullopt;
    }
    const UniqueKernelHandle process(started.hProcess);
    const UniqueKernelHandle thread(started.hThread);
    if (::WaitForSingleObject(process.get(), RunTimeoutMilliseconds) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
        std::printf("%ls did not end within %lu ms\n", program.c_str(), RunTimeoutMilliseconds);
        return std::nullopt;
    }
    const double milliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.get(), &exitCode);
    if (exitCode != 0) {
        std::printf("%ls ended with exit code %lu\n", program.c_str(), exitCode);
        return std::nullopt;
    }
    return milliseconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: StartupBench <installer.exe> <minimal window program.exe>\n");
        return 2;
    }
    std::vector<double> installer;
    std::vector<double> minimal;
    // Alternating, so that a slow spell of the machine falls on both sides alike.
    for (int run = 0; run < Runs; ++run) {
        const std::optional<double> ours = TimedRun(argv[1]);
        const std::optional<double> baseline = TimedRun(argv[2]);
        if (!ours || !baseline)
            return 1;
        installer.push_back(*ours);
        minimal.push_back(*baseline);
    }
    const double ours = Median(installer);
    const double baseline = Median(minimal);
    const double extra = ours - baseline;
    const bool within = extra <= BudgetMilliseconds;
    std::printf("%-52s %9.1f ms  baseline %9.1f ms  extra %7.1f ms  (budget %.0f ms) %s\n",
                "installer with nothing to install (median of 7)", ours, baseline, extra, BudgetMilliseconds,
                within ? "PASS" : "FAIL");
    return within ? 0 : 1;
}
