// A sorted wide string list receiving random keys one by one against std::sort of the same keys
// with the same comparison: the cost of keeping a list sorted as it grows.
#include "StringListBench.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "BenchSupport.h"
#include "VynClasses.h"
#include "WideCompare.h"

namespace {

constexpr int KeyCount = 100000;
constexpr int Runs = 3;

std::vector<WideString> RandomKeys() {
    const std::u16string letters = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::mt19937 random(20261209);
    std::vector<WideString> keys(KeyCount);
    for (WideString& key : keys) {
        for (int i = 0; i < 12; ++i)
            key += letters[random() % letters.size()];
    }
    return keys;
}

} // namespace

bool RunStringListBench() {
    std::printf("Sorted TVynStringList, %d random 12-character keys, median of %d runs\n", KeyCount, Runs);
    const std::vector<WideString> keys = RandomKeys();
    std::vector<WideString> sortedKeys;

    const double baseline = bench::MedianSeconds(
        Runs, [&] { sortedKeys = keys; },
        [&] {
            std::sort(sortedKeys.begin(), sortedKeys.end(), [](const WideString& a, const WideString& b) {
                return CompareWideText(a, b, false) < 0;
            });
        });

    // Made and checked outside the measured part: only the adds are timed.
    std::unique_ptr<TVynStringList> list;
    const double ours = bench::MedianSeconds(
        Runs,
        [&] {
            list = std::make_unique<TVynStringList>();
            list->SetSorted(true);
        },
        [&] {
            for (const WideString& key : keys)
                list->AppendEntry(key);
        });
    // Keys differing in case only are equal to a case-insensitive list, which keeps the first.
    bool sameOrder = list->Count() > 0 && list->Count() <= KeyCount;
    for (int32_t i = 1; sameOrder && i < list->Count(); ++i)
        sameOrder = CompareWideText(list->Entry(i - 1), list->Entry(i), false) < 0;
    if (!sameOrder) {
        std::printf("the sorted list is out of order\n");
        return false;
    }
    // For scale: the standard library's own order of code units, which costs far less per comparison.
    const double codeUnitSort = bench::MedianSeconds(
        Runs, [&] { sortedKeys = keys; }, [&] { std::sort(sortedKeys.begin(), sortedKeys.end()); });
    const bool within = bench::ReportRatio("sorted list, Add one by one vs std::sort", ours, baseline, 10.0);
    bench::ReportRatio("sorted list vs std::sort by code units (no budget)", ours, codeUnitSort,
                       std::nullopt);
    return within;
}
