#include "TdbgProducer.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>

#include "SourcePaths.h"

namespace {

constexpr uint16_t I386Machine = 0x14C;
constexpr uint16_t FunctionType = 0x20;

std::string BaseName(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

struct UnitChange {
    uint64_t Address;
    std::string Unit; // empty: no unit from here on
};

// The unit at each address: that of the first range holding it (line sequences come first, then
// functions), else none.
std::vector<UnitChange> UnitChanges(const std::vector<UnitRange>& ranges) {
    struct Boundary {
        uint64_t Address;
        bool Starts;
        size_t Range;
    };
    std::vector<Boundary> boundaries;
    for (size_t i = 0; i < ranges.size(); ++i) {
        boundaries.push_back({ranges[i].Low, true, i});
        boundaries.push_back({ranges[i].High, false, i});
    }
    std::sort(boundaries.begin(), boundaries.end(),
              [](const Boundary& a, const Boundary& b) { return a.Address < b.Address; });
    std::set<size_t> open; // ordered by index: line sequences before functions
    std::vector<UnitChange> changes;
    for (size_t b = 0; b < boundaries.size();) {
        const uint64_t address = boundaries[b].Address;
        for (; b < boundaries.size() && boundaries[b].Address == address; ++b) {
            if (boundaries[b].Starts)
                open.insert(boundaries[b].Range);
            else
                open.erase(boundaries[b].Range);
        }
        const std::string unit = open.empty() ? std::string() : ranges[*open.begin()].Unit;
        if (changes.empty() ? !unit.empty() : changes.back().Unit != unit)
            changes.push_back({address, unit});
    }
    return changes;
}

} // namespace

std::string FileStem(std::string_view path) {
    std::string name = BaseName(path);
    if (const size_t dot = name.find_last_of('.'); dot != std::string::npos && dot != 0)
        name.resize(dot);
    return name;
}

std::vector<CodeSymbol> FunctionSymbols(const TTracePeImage& image) {
    std::vector<CodeSymbol> functions;
    const auto& sections = image.Sections();
    for (const TPeSymbol& symbol : image.Symbols()) {
        if (symbol.Type != FunctionType || symbol.SectionNumber < 1 ||
            static_cast<size_t>(symbol.SectionNumber) > sections.size() || symbol.Name.empty())
            continue;
        std::string name = symbol.Name;
        // 32-bit x86 decorates C names with a leading underscore; C++ names then begin "__Z".
        if (image.Machine() == I386Machine && name.size() > 1 && name[0] == '_')
            name.erase(0, 1);
        name = DemangleName(name);
        const TPeSection& section = sections[static_cast<size_t>(symbol.SectionNumber) - 1];
        functions.push_back({image.ImageBase() + section.VirtualAddress + symbol.Value, std::move(name)});
    }
    return functions;
}

std::vector<UnitRange> UnitRangesOfFunctions(const DwarfFunctions& functions) {
    std::vector<UnitRange> ranges;
    std::vector<std::string> unitNames;
    for (const DwarfUnitSummary& unit : functions.Units)
        unitNames.push_back(FileStem(unit.Name));
    for (const DwarfCodeRange& range : functions.Ranges)
        if (range.Unit < unitNames.size())
            ranges.push_back({range.Low, range.High, unitNames[range.Unit]});
    return ranges;
}

TraceDebugContent MakeTraceDebugContent(const std::string& moduleName, uint64_t codeStart,
                                        const std::vector<DecodedLineRow>& rows,
                                        const std::vector<ProcedureStart>& procedures,
                                        const std::vector<UnitRange>& functionUnits,
                                        const std::string& sourceRoot) {
    TraceDebugContent content;
    content.ModuleName = moduleName;
    const auto offsetOf = [&](uint64_t address) { return static_cast<uint32_t>(address - codeStart); };
    const auto inCode = [&](uint64_t address) {
        return address >= codeStart && address - codeStart < 0x7FFFFFFF;
    };
    const auto relative = [&](const std::string& path) { return SourcePathForReport(path, sourceRoot); };

    // Sequences: rows up to an end marker. Sorted by address, each covers [first, end).
    struct Sequence {
        uint64_t Start, End;
        std::vector<const DecodedLineRow*> Rows;
    };
    std::vector<Sequence> sequences;
    std::vector<const DecodedLineRow*> current;
    for (const DecodedLineRow& row : rows) {
        if (!row.EndOfSequence) {
            current.push_back(&row);
            continue;
        }
        if (!current.empty() && inCode(current.front()->Address) && row.Address > current.front()->Address)
            sequences.push_back({current.front()->Address, row.Address, current});
        current.clear();
    }
    std::stable_sort(sequences.begin(), sequences.end(),
                     [](const Sequence& a, const Sequence& b) { return a.Start < b.Start; });

    std::vector<UnitRange> unitRanges;
    std::string file;
    uint64_t coveredUntil = 0;
    for (const Sequence& sequence : sequences) {
        if (sequence.Start < coveredUntil)
            continue; // overlaps one already taken: the linker discarded it
        // A gap since the previous sequence knows no file or line.
        if (coveredUntil != 0 && sequence.Start > coveredUntil) {
            content.SourceFiles.push_back({offsetOf(coveredUntil), ""});
            content.Lines.push_back({offsetOf(coveredUntil), 0});
            file.clear();
        }
        unitRanges.push_back({sequence.Start, sequence.End, sequence.Rows.front()->Unit});
        for (size_t i = 0; i < sequence.Rows.size(); ++i) {
            const DecodedLineRow& row = *sequence.Rows[i];
            // Of several rows at one address, the last one tells.
            if (i + 1 < sequence.Rows.size() && sequence.Rows[i + 1]->Address == row.Address)
                continue;
            const std::string rowFile = relative(row.File);
            if (rowFile != file) {
                content.SourceFiles.push_back({offsetOf(row.Address), rowFile});
                file = rowFile;
            }
            content.Lines.push_back({offsetOf(row.Address), row.Line});
        }
        coveredUntil = sequence.End;
    }
    if (coveredUntil != 0) {
        content.SourceFiles.push_back({offsetOf(coveredUntil), ""});
        content.Lines.push_back({offsetOf(coveredUntil), 0});
    }
    // Code of a function without line rows (a ".cold" part, a thunk) still belongs to its unit,
    // so that its procedure is answered; its file and line stay unknown.
    for (const UnitRange& range : functionUnits)
        if (inCode(range.Low) && range.High > range.Low)
            unitRanges.push_back(range);
    for (const UnitChange& change : UnitChanges(unitRanges))
        content.Units.push_back({offsetOf(change.Address), change.Unit});

    // The reader answers no procedure that starts below the unit's start: a procedure running
    // across a unit boundary starts again there.
    size_t nextUnit = 0;
    for (size_t i = 0; i < procedures.size(); ++i) {
        const ProcedureStart& procedure = procedures[i];
        const uint64_t end = i + 1 < procedures.size() ? procedures[i + 1].Address : UINT64_MAX;
        if (!inCode(procedure.Address))
            continue;
        const auto add = [&](uint64_t address) {
            // The reader shows "First.Second": a free function is its first name alone.
            if (procedure.Qualifier.empty())
                content.Procedures.push_back({offsetOf(address), procedure.Name, ""});
            else
                content.Procedures.push_back({offsetOf(address), procedure.Qualifier, procedure.Name});
        };
        add(procedure.Address);
        while (nextUnit < content.Units.size() &&
               content.Units[nextUnit].Start <= offsetOf(procedure.Address))
            ++nextUnit;
        for (; nextUnit < content.Units.size() && content.Units[nextUnit].Start < end - codeStart; ++nextUnit)
            if (!procedure.Name.empty())
                add(codeStart + content.Units[nextUnit].Start);
    }
    return content;
}
