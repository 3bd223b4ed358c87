#include "ProcedureStarts.h"

#include <algorithm>
#include <map>
#include <optional>

#include "DwarfProcedureNames.h"
#include "FunctionNames.h"
#include "InnermostProcedures.h"

namespace {

// Names once each, so that the sweep compares numbers.
class NameTable {
public:
    uint32_t Add(QualifiedProcedureName name) {
        const auto key = std::make_pair(name.Qualifier, name.Name);
        const auto [it, added] = index_.try_emplace(key, static_cast<uint32_t>(names_.size()));
        if (added)
            names_.push_back(std::move(name));
        return it->second;
    }
    const QualifiedProcedureName& operator[](uint32_t index) const { return names_[index]; }

private:
    std::map<std::pair<std::string, std::string>, uint32_t> index_;
    std::vector<QualifiedProcedureName> names_;
};

QualifiedProcedureName SymbolName(const std::string& demangled) {
    auto [qualifier, name] = SplitProcedureName(demangled);
    return name.empty() ? QualifiedProcedureName{"", std::move(qualifier)}
                        : QualifiedProcedureName{std::move(qualifier), std::move(name)};
}

} // namespace

std::vector<ProcedureStart> MakeProcedureStarts(const DwarfFunctions& functions,
                                                const std::vector<CodeSymbol>& symbols, uint64_t codeStart,
                                                uint64_t codeEnd) {
    const auto inCode = [&](uint64_t low, uint64_t high) {
        return low >= codeStart && high <= codeEnd && low < high;
    };
    NameTable names;
    DwarfProcedureNames dwarfNames(functions);
    std::vector<ProcedureSpan> spans;
    for (const DwarfCodeRange& range : functions.Ranges)
        if (inCode(range.Low, range.High))
            spans.push_back({range.Low, range.High, range.Entry, names.Add(dwarfNames.Of(range.Entry))});
    const std::vector<ProcedureChange> changes = InnermostProcedures(spans);

    // A symbol reaches up to the next one; it names only what no DWARF function covers.
    std::vector<CodeSymbol> sorted;
    for (const CodeSymbol& symbol : symbols)
        if (symbol.Address >= codeStart && symbol.Address < codeEnd)
            sorted.push_back(symbol);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const CodeSymbol& a, const CodeSymbol& b) { return a.Address < b.Address; });

    std::vector<ProcedureStart> starts;
    const auto add = [&](uint64_t address, const QualifiedProcedureName& name) {
        if (!starts.empty() && starts.back().Address == address)
            starts.pop_back();
        if (starts.empty() || starts.back().Qualifier != name.Qualifier || starts.back().Name != name.Name)
            starts.push_back({address, name.Qualifier, name.Name});
    };
    // Walks the DWARF changes and the symbols together: in a stretch without DWARF function, the
    // symbol at or below each address names it.
    size_t next = 0;
    std::optional<QualifiedProcedureName> symbolName;
    uint32_t dwarfName = ProcedureChange::NoProcedure;
    size_t change = 0;
    while (change < changes.size() || next < sorted.size()) {
        const bool symbolFirst = next < sorted.size() &&
                                 (change == changes.size() || sorted[next].Address < changes[change].Address);
        const uint64_t address = symbolFirst ? sorted[next].Address : changes[change].Address;
        if (symbolFirst) {
            // Of several names for one address (aliases, thunks), the first is kept.
            const uint64_t at = sorted[next].Address;
            symbolName = SymbolName(sorted[next].Name);
            while (next < sorted.size() && sorted[next].Address == at)
                ++next;
        } else {
            dwarfName = changes[change++].Name;
        }
        if (dwarfName != ProcedureChange::NoProcedure)
            add(address, names[dwarfName]);
        else
            add(address, symbolName.value_or(QualifiedProcedureName{}));
    }
    return starts;
}
