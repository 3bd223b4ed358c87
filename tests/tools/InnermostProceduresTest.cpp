// Flattening nested code ranges into one procedure per address, and the names a report reader
// sees for them, as addr2line chooses and names them.
#include <gtest/gtest.h>

#include "FunctionNames.h"
#include "InnermostProcedures.h"

namespace {

constexpr uint32_t None = ProcedureChange::NoProcedure;

std::vector<std::pair<uint64_t, uint32_t>> Flattened(const std::vector<ProcedureSpan>& spans) {
    std::vector<std::pair<uint64_t, uint32_t>> flat;
    for (const ProcedureChange& change : InnermostProcedures(spans))
        flat.emplace_back(change.Address, change.Name);
    return flat;
}

TEST(InnermostProcedures, AnInlinedRangeInterruptsItsCallerWhichResumesAfterIt) {
    const std::vector<std::pair<uint64_t, uint32_t>> expected = {{0x100, 1}, {0x110, 2}, {0x114, 3},
                                                                 {0x118, 2}, {0x120, 1}, {0x200, None}};
    EXPECT_EQ(Flattened({{0x100, 0x200, 0, 1}, {0x110, 0x120, 1, 2}, {0x114, 0x118, 2, 3}}), expected);
}

TEST(InnermostProcedures, OfTwoEqualRangesTheLaterEntryWinsAndGapsHaveNoProcedure) {
    const std::vector<std::pair<uint64_t, uint32_t>> expected = {
        {0x100, 7}, {0x110, None}, {0x120, 4}, {0x130, None}};
    EXPECT_EQ(Flattened({{0x100, 0x110, 3, 6}, {0x100, 0x110, 5, 7}, {0x120, 0x130, 0, 4}}), expected);
}

TEST(InnermostProcedures, PartlyOverlappingRangesFollowTheSmallestAndEmptyOnesCoverNothing) {
    // Ranges that only overlap (a caller's ".cold" part, an inlined range reaching into it): at
    // each address the smallest range holding it, as addr2line takes it.
    const std::vector<std::pair<uint64_t, uint32_t>> expected = {{0x100, 1}, {0x150, 3}, {0x180, 2},
                                                                 {0x1A0, 3}, {0x1B0, 1}, {0x1C0, None}};
    EXPECT_EQ(Flattened({{0x100, 0x1C0, 0, 1}, {0x180, 0x1A0, 1, 2}, {0x150, 0x1B0, 2, 3}}), expected);
    EXPECT_TRUE(Flattened({{0x100, 0x100, 0, 1}, {0x200, 0x180, 1, 2}}).empty());
}

TEST(FunctionNames, DemangledNamesLoseParametersAndReturnTypesAndSplitAtTheLastScope) {
    using Split = std::pair<std::string, std::string>;
    EXPECT_EQ(SplitProcedureName("void ns::Apply<int>(int)"), Split("ns", "Apply<int>")) << "a return type";
    EXPECT_EQ(SplitProcedureName("std::vector<int, std::allocator<int> >& ns::Items<int>()"),
              Split("ns", "Items<int>"));
    EXPECT_EQ(SplitProcedureName("ns::A::operator new(unsigned int)"), Split("ns::A", "operator new"));
    EXPECT_EQ(SplitProcedureName("ns::A::operator unsigned int() const"),
              Split("ns::A", "operator unsigned int"));
    EXPECT_EQ(SplitProcedureName("bool ns::operator< <int>(ns::X<int> const&, ns::X<int> const&)"),
              Split("ns", "operator< <int>"));
    EXPECT_EQ(
        SplitProcedureName("ns::f()::{lambda(std::string const&)#1}::operator()(std::string const&) const"),
        Split("ns::f()::{lambda(std::string const&)#1}", "operator()"));
    EXPECT_EQ(SplitProcedureName("(anonymous namespace)::Helper()"),
              Split("(anonymous namespace)", "Helper"));
}

TEST(FunctionNames, MangledNamesDemangleAlsoWithAStdcallSuffix) {
    EXPECT_EQ(DemangleName("_ZN6TTimer15WindowProcedureEP6HWND__jjl@16"),
              "TTimer::WindowProcedure(HWND__*, unsigned int, unsigned int, long)");
    EXPECT_EQ(DemangleName("_ZN2ns6HelperEi"), "ns::Helper(int)");
    EXPECT_EQ(DemangleName("main"), "main");
    EXPECT_EQ(DemangleName("_Znot@mangled"), "_Znot@mangled") << "left as it is when it does not demangle";
}

} // namespace
