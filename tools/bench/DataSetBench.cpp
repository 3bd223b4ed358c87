// The in-memory data sets against the standard library doing the same work with the same
// comparison: sorting, locating, and inserting at the front of the record list. Each measure is
// the median of five runs; the ratios are what the budget (3x) is checked against.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "UnitRegistry.h"
#include "VynLXDataSet.h"
#include "VynLXUtils.h"
#include "VynLXVarArrayDataSet.h"

namespace {

constexpr int RecordCount = 100000;
constexpr int Runs = 5;
constexpr double Budget = 3.0;

class TBenchDataSet : public TVynVarArrayDataSet {
public:
    TBenchDataSet() : TVynVarArrayDataSet(nullptr) {}

protected:
    void InternalInitFieldDefs() override {
        FieldDefs().Clear();
        FieldDefs().Add("Id", ftInteger);
        FieldDefs().Add("Number", ftInteger);
        FieldDefs().Add("Name", ftWideString, 12);
    }
};

double MedianSeconds(const std::function<void()>& prepare, const std::function<void()>& measured) {
    return bench::MedianSeconds(Runs, prepare, measured);
}

size_t PeakPrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakPagefileUsage;
}

size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

struct TRow {
    int32_t Number;
    std::u16string Name;
};

std::vector<TRow> MakeRows(std::mt19937& random) {
    const std::u16string letters = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::vector<TRow> rows(RecordCount);
    for (TRow& row : rows) {
        row.Number = static_cast<int32_t>(random());
        for (int i = 0; i < 12; ++i)
            row.Name += letters[random() % letters.size()];
    }
    return rows;
}

void Fill(TBenchDataSet& data, const std::vector<TRow>& rows) {
    for (size_t i = 0; i < rows.size(); ++i)
        data.AppendRecord({TVariant::FromInteger(static_cast<int32_t>(i)), TVariant::FromInteger(rows[i].Number),
                           TVariant::FromWide(rows[i].Name)});
}

bool Report(const char* what, double ours, double baseline) {
    const double ratio = ours / baseline;
    std::printf("%-44s %10.4f s  baseline %10.4f s  ratio %5.2f  %s\n", what, ours, baseline, ratio,
                ratio <= Budget ? "within 3x" : "OVER 3x");
    return ratio <= Budget;
}

bool BenchSort(TBenchDataSet& data, const std::vector<TVariant>& keys, const char* field, const char* what) {
    const double ours = MedianSeconds([&] { data.SetSort(""); }, [&] { data.SetSort(field); });
    std::vector<TVariant> sorted;
    const double baseline = MedianSeconds([&] { sorted = keys; },
                                          [&] {
                                              std::sort(sorted.begin(), sorted.end(),
                                                        [](const TVariant& a, const TVariant& b) {
                                                            return CompareVariants(a, b, loCaseInsensitive) < 0;
                                                        });
                                          });
    return Report(what, ours, baseline);
}

} // namespace

int main() {
    const TUnitStartup units{&VynLXDataSetUnit};
    std::printf("In-memory data sets, %d records, median of %d runs, %s under Wine\n", RecordCount, Runs,
                sizeof(void*) == 4 ? "i686" : "x86-64");
    std::mt19937 random(20261208);
    const std::vector<TRow> rows = MakeRows(random);
    std::vector<TVariant> numbers;
    std::vector<TVariant> names;
    for (const TRow& row : rows) {
        numbers.push_back(TVariant::FromInteger(row.Number));
        names.push_back(TVariant::FromWide(row.Name));
    }

    bool within = true;
    const size_t beforeData = PrivateBytes();
    {
        TBenchDataSet data;
        data.Open();
        Fill(data, rows);
        const size_t dataSetBytes = PeakPrivateBytes() - beforeData;

        within &= BenchSort(data, numbers, "Number", "sort by an integer field");
        within &= BenchSort(data, names, "Name", "sort by a 12-character mixed-case text field");

        // Locates on the sort field, keys in random order.
        data.SetSort("Name");
        std::vector<TVariant> probes = names;
        std::shuffle(probes.begin(), probes.end(), random);
        std::vector<TVariant> sortedNames = names;
        std::sort(sortedNames.begin(), sortedNames.end(), [](const TVariant& a, const TVariant& b) {
            return CompareVariants(a, b, loCaseInsensitive) < 0;
        });
        int missed = 0;
        const double ours = MedianSeconds([] {},
                                          [&] {
                                              for (const TVariant& key : probes)
                                                  if (!data.Locate("Name", key, loCaseInsensitive))
                                                      ++missed;
                                          });
        size_t found = 0;
        const double baseline = MedianSeconds([] {},
                                              [&] {
                                                  for (const TVariant& key : probes) {
                                                      const auto at = std::lower_bound(
                                                          sortedNames.begin(), sortedNames.end(), key,
                                                          [](const TVariant& a, const TVariant& b) {
                                                              return CompareVariants(a, b, loCaseInsensitive) < 0;
                                                          });
                                                      found += at != sortedNames.end();
                                                  }
                                              });
        within &= Report("100,000 locates on the sort field", ours, baseline);
        if (missed != 0 || found != probes.size() * Runs) {
            std::printf("a locate missed a stored key\n");
            within = false;
        }
        std::printf("peak private bytes per 100,000 records, data set: %zu\n", dataSetBytes);
    }

    // The record list's front inserts against a deque's. One fill takes well under a millisecond,
    // so each measured run fills ten fresh containers, and the times are per fill.
    constexpr int Fills = 10;
    const size_t beforeList = PeakPrivateBytes();
    size_t listBytes = 0;
    {
        std::vector<std::unique_ptr<TVynList>> lists;
        const double ours = MedianSeconds(
            [&] {
                lists.clear();
                for (int fill = 0; fill < Fills; ++fill)
                    lists.push_back(std::make_unique<TVynList>());
            },
            [&] {
                for (const auto& list : lists)
                    for (intptr_t i = 1; i <= RecordCount; ++i)
                        list->Insert(0, reinterpret_cast<void*>(i));
            });
        listBytes = (PeakPrivateBytes() - beforeList) / Fills;
        lists.clear();
        std::vector<std::unique_ptr<std::deque<void*>>> deques;
        const double baseline = MedianSeconds(
            [&] {
                deques.clear();
                for (int fill = 0; fill < Fills; ++fill)
                    deques.push_back(std::make_unique<std::deque<void*>>());
            },
            [&] {
                for (const auto& deque : deques)
                    for (intptr_t i = 1; i <= RecordCount; ++i)
                        deque->push_front(reinterpret_cast<void*>(i));
            });
        within &= Report("100,000 Insert(0, item) on the record list", ours / Fills, baseline / Fills);
    }
    std::printf("peak private bytes per 100,000 records, record list: %zu\n", listBytes);
    std::printf(within ? "all within 3x\n" : "some measure is over 3x\n");
    return within ? 0 : 1;
}
