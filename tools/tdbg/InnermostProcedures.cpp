#include "InnermostProcedures.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace {

struct Boundary {
    uint64_t Address;
    bool Starts;
    size_t Span;
};

} // namespace

std::vector<ProcedureChange> InnermostProcedures(const std::vector<ProcedureSpan>& spans) {
    std::vector<Boundary> boundaries;
    boundaries.reserve(spans.size() * 2);
    for (size_t i = 0; i < spans.size(); ++i) {
        if (spans[i].High <= spans[i].Low)
            continue;
        boundaries.push_back({spans[i].Low, true, i});
        boundaries.push_back({spans[i].High, false, i});
    }
    std::sort(boundaries.begin(), boundaries.end(),
              [](const Boundary& a, const Boundary& b) { return a.Address < b.Address; });

    // The spans holding the current address, best first: smallest, then latest.
    using Rank = std::tuple<uint64_t, uint64_t, size_t>; // size, inverted order, span
    const auto rankOf = [&](size_t i) {
        return Rank{spans[i].High - spans[i].Low, std::numeric_limits<uint32_t>::max() - spans[i].Order, i};
    };
    std::set<Rank> open;
    std::vector<ProcedureChange> changes;
    for (size_t b = 0; b < boundaries.size();) {
        const uint64_t address = boundaries[b].Address;
        for (; b < boundaries.size() && boundaries[b].Address == address; ++b) {
            if (boundaries[b].Starts)
                open.insert(rankOf(boundaries[b].Span));
            else
                open.erase(rankOf(boundaries[b].Span));
        }
        const uint32_t name =
            open.empty() ? ProcedureChange::NoProcedure : spans[std::get<2>(*open.begin())].Name;
        if (changes.empty() ? name != ProcedureChange::NoProcedure : changes.back().Name != name)
            changes.push_back({address, name});
    }
    return changes;
}
