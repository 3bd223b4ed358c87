#include "TdbgProducer.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

namespace {

constexpr uint16_t I386Machine = 0x14C;
constexpr uint16_t FunctionType = 0x20;
constexpr uint64_t CustomaryCodeStart = 0x1000;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::string BaseName(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::vector<std::string_view> Tokens(std::string_view line) {
    std::vector<std::string_view> tokens;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        const size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t')
            ++pos;
        if (pos > start)
            tokens.push_back(line.substr(start, pos - start));
    }
    return tokens;
}

std::string Demangle(const std::string& name) {
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> plain(
        abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), &std::free);
    return status == 0 && plain ? std::string(plain.get()) : name;
}

} // namespace

std::string FileStem(std::string_view path) {
    std::string name = BaseName(path);
    if (const size_t dot = name.find_last_of('.'); dot != std::string::npos && dot != 0)
        name.resize(dot);
    return name;
}

std::vector<DecodedLineRow> ParseDecodedLines(std::string_view output) {
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos <= output.size();) {
        const size_t end = std::min(output.find('\n', pos), output.size());
        lines.push_back(Trim(output.substr(pos, end - pos)));
        pos = end + 1;
    }
    std::vector<DecodedLineRow> rows;
    std::string unit;
    // Within a unit, a row names its file without folder; the folder comes from the lines that
    // announce a change of file ("/path/file.h:"), which may come before or after the rows.
    std::map<std::string, std::string> fullPaths;
    size_t unitFirstRow = 0;
    const auto finishUnit = [&] {
        for (size_t i = unitFirstRow; i < rows.size(); ++i)
            if (const auto full = fullPaths.find(rows[i].File); full != fullPaths.end())
                rows[i].File = full->second;
        fullPaths.clear();
        unitFirstRow = rows.size();
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.empty() || line.rfind("Contents of", 0) == 0 || line.rfind("File name", 0) == 0)
            continue;
        if (line.back() == ':') {
            std::string_view name = line.substr(0, line.size() - 1);
            if (name.rfind("CU: ", 0) == 0)
                name.remove_prefix(4);
            size_t next = i + 1;
            while (next < lines.size() && lines[next].empty())
                ++next;
            if (next < lines.size() && lines[next].rfind("File name", 0) == 0) {
                finishUnit();
                unit = FileStem(name);
            }
            fullPaths[BaseName(name)] = std::string(name);
            continue;
        }
        const std::vector<std::string_view> tokens = Tokens(line);
        // file, line (or "-" at the end of a sequence), address, then view and statement marks.
        const auto address = std::find_if(tokens.begin(), tokens.end(),
                                          [](std::string_view t) { return t.rfind("0x", 0) == 0; });
        if (address == tokens.end() || address - tokens.begin() < 2)
            continue;
        DecodedLineRow row;
        row.Unit = unit;
        row.File = std::string(tokens[0]);
        row.Address = std::strtoull(std::string(*address).c_str(), nullptr, 16);
        const std::string_view lineNumber = *(address - 1);
        row.EndOfSequence = lineNumber == "-";
        row.Line = row.EndOfSequence
                       ? 0
                       : static_cast<uint32_t>(std::strtoul(std::string(lineNumber).c_str(), nullptr, 10));
        rows.push_back(std::move(row));
    }
    finishUnit();
    return rows;
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
        if (name.rfind("_Z", 0) == 0)
            name = Demangle(name);
        const TPeSection& section = sections[static_cast<size_t>(symbol.SectionNumber) - 1];
        functions.push_back({image.ImageBase() + section.VirtualAddress + symbol.Value, std::move(name)});
    }
    return functions;
}

std::pair<std::string, std::string> SplitProcedureName(const std::string& demangled) {
    std::string name = demangled;
    // The parameter list: the group the last ')' closes ("const" and the like may follow it).
    if (const size_t close = name.find_last_of(')'); close != std::string::npos) {
        int depth = 0;
        for (size_t i = close + 1; i-- > 0;) {
            if (name[i] == ')')
                ++depth;
            else if (name[i] == '(' && --depth == 0) {
                // "(anonymous namespace)" alone is no parameter list.
                if (i > 0)
                    name.resize(i);
                break;
            }
        }
    }
    int depth = 0;
    size_t split = std::string::npos;
    for (size_t i = 0; i + 1 < name.size(); ++i) {
        const char c = name[i];
        if (c == '<' || c == '(')
            ++depth;
        else if ((c == '>' || c == ')') && depth > 0)
            --depth;
        else if (depth == 0 && c == ':' && name[i + 1] == ':')
            split = i;
    }
    if (split == std::string::npos)
        return {name, ""};
    return {name.substr(0, split), name.substr(split + 2)};
}

TraceDebugContent MakeTraceDebugContent(const std::string& moduleName, uint64_t codeStart,
                                        const std::vector<DecodedLineRow>& rows,
                                        const std::vector<CodeSymbol>& symbols,
                                        const std::string& sourceRoot) {
    TraceDebugContent content;
    content.ModuleName = moduleName;
    const auto offsetOf = [&](uint64_t address) { return static_cast<uint32_t>(address - codeStart); };
    const auto inCode = [&](uint64_t address) {
        return address >= codeStart && address - codeStart < 0x7FFFFFFF;
    };
    const std::string root = sourceRoot.empty() || sourceRoot.back() == '/' ? sourceRoot : sourceRoot + "/";
    const auto relative = [&](const std::string& path) {
        if (path.rfind("./", 0) == 0)
            return path.substr(2);
        return !root.empty() && path.rfind(root, 0) == 0 ? path.substr(root.size()) : path;
    };

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

    std::string unit, file;
    uint64_t coveredUntil = 0;
    for (const Sequence& sequence : sequences) {
        if (sequence.Start < coveredUntil)
            continue; // overlaps one already taken: the linker discarded it
        // A gap since the previous sequence knows no unit, file or line.
        if (coveredUntil != 0 && sequence.Start > coveredUntil) {
            content.Units.push_back({offsetOf(coveredUntil), ""});
            content.SourceFiles.push_back({offsetOf(coveredUntil), ""});
            content.Lines.push_back({offsetOf(coveredUntil), 0});
            unit.clear();
            file.clear();
        }
        const std::string& sequenceUnit = sequence.Rows.front()->Unit;
        if (sequenceUnit != unit || content.Units.empty()) {
            content.Units.push_back({offsetOf(sequence.Start), sequenceUnit});
            unit = sequenceUnit;
        }
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
        content.Units.push_back({offsetOf(coveredUntil), ""});
        content.SourceFiles.push_back({offsetOf(coveredUntil), ""});
        content.Lines.push_back({offsetOf(coveredUntil), 0});
    }

    std::vector<CodeSymbol> functions = symbols;
    std::stable_sort(functions.begin(), functions.end(),
                     [](const CodeSymbol& a, const CodeSymbol& b) { return a.Address < b.Address; });
    uint64_t previous = 0;
    for (const CodeSymbol& function : functions) {
        // Of several names for one address (aliases, thunks), the first is kept.
        if (!inCode(function.Address) || (function.Address == previous && !content.Procedures.empty()))
            continue;
        const auto [qualifier, name] = SplitProcedureName(function.Name);
        content.Procedures.push_back({offsetOf(function.Address), qualifier, name});
        previous = function.Address;
    }
    return content;
}
