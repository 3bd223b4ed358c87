#include "MapFileWriter.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

std::string MapName(std::string name) {
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

std::string ProcedureName(const TraceDebugContent::Procedure& procedure) {
    return MapName(procedure.SecondName.empty() ? procedure.Name
                                                : procedure.Name + "." + procedure.SecondName);
}

template <class T> std::vector<T> ByStart(std::vector<T> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const T& a, const T& b) { return a.Start < b.Start; });
    return entries;
}

// The entry of `named` (sorted) in effect at offset: the last starting at or below it.
const TraceDebugContent::Named* At(const std::vector<TraceDebugContent::Named>& named, uint32_t offset) {
    const auto above =
        std::upper_bound(named.begin(), named.end(), offset,
                         [](uint32_t o, const TraceDebugContent::Named& n) { return o < n.Start; });
    return above == named.begin() ? nullptr : &*std::prev(above);
}

} // namespace

std::string WriteMapFile(const TraceDebugContent& content) {
    const auto units = ByStart(content.Units);
    const auto files = ByStart(content.SourceFiles);
    const auto procedures = ByStart(content.Procedures);
    const auto lines = ByStart(content.Lines);

    uint32_t codeEnd = 0;
    for (const auto& unit : units)
        codeEnd = std::max(codeEnd, unit.Start);
    for (const auto& procedure : procedures)
        codeEnd = std::max(codeEnd, procedure.Start + 1);
    for (const auto& line : lines)
        codeEnd = std::max(codeEnd, line.Start + 1);

    std::string map = "\r\n Start         Length     Name                   Class\r\n";
    map += " 0001:00000000 " + Hex8(codeEnd) + "H .text                   CODE\r\n\r\n";
    map += "Detailed map of segments\r\n\r\n";
    for (size_t i = 0; i < units.size(); ++i) {
        if (units[i].Name.empty())
            continue;
        const uint32_t end = i + 1 < units.size() ? units[i + 1].Start : codeEnd;
        map += " 0001:" + Hex8(units[i].Start) + " " + Hex8(end - units[i].Start) +
               " C=CODE     S=.text    G=(none)   M=" + MapName(units[i].Name) + " ACBP=A9\r\n";
    }

    // A map has no way to say "no procedure here" (code no function covers): a public without
    // a name would end the reader's publics, so such stretches count to the procedure before.
    std::vector<const TraceDebugContent::Procedure*> byName;
    for (const auto& procedure : procedures)
        if (!procedure.Name.empty())
            byName.push_back(&procedure);
    std::stable_sort(byName.begin(), byName.end(),
                     [](const auto* a, const auto* b) { return ProcedureName(*a) < ProcedureName(*b); });
    map += "\r\n\r\n  Address         Publics by Name\r\n\r\n";
    for (const auto* procedure : byName)
        map += " 0001:" + Hex8(procedure->Start) + "       " + ProcedureName(*procedure) + "\r\n";
    map += "\r\n\r\n  Address         Publics by Value\r\n\r\n";
    for (const auto& procedure : procedures)
        if (!procedure.Name.empty())
            map += " 0001:" + Hex8(procedure.Start) + "       " + ProcedureName(procedure) + "\r\n";
    map += "\r\n";

    // One block for each run of lines in one unit and one source file; lines the data marks as
    // unknown (0) end a run and are not written, and the reader accepts rising offsets only.
    std::string blockKey;
    size_t inBlock = 0;
    uint32_t lastOffset = 0;
    bool any = false;
    for (const auto& line : lines) {
        const auto* unit = At(units, line.Start);
        const auto* file = At(files, line.Start);
        if (line.Number == 0 || unit == nullptr || unit->Name.empty() || (any && line.Start <= lastOffset))
            continue;
        const std::string unitName = MapName(unit->Name);
        const std::string fileName = MapName(file != nullptr ? file->Name : unit->Name);
        const std::string key = unitName + "(" + fileName + ")";
        if (key != blockKey) {
            map += std::string(inBlock % 4 != 0 ? "\r\n" : "") + "\r\nLine numbers for " + key +
                   " segment .text\r\n\r\n";
            blockKey = key;
            inBlock = 0;
        }
        char entry[40];
        std::snprintf(entry, sizeof entry, "%6u 0001:%08X", line.Number, line.Start);
        map += entry;
        map += ++inBlock % 4 == 0 ? "\r\n" : " ";
        lastOffset = line.Start;
        any = true;
    }
    if (inBlock % 4 != 0)
        map += "\r\n";
    map += "\r\n";
    return map;
}
