#include "LocationAgreement.h"

#include "FunctionNames.h"
#include "SourcePaths.h"

namespace {

constexpr size_t MaxStoredName = TraceDebugFormat::MaxNameLength;

bool IsUnknown(const std::string& text) {
    return text.empty() || text == "??";
}

bool ProcedureAgrees(const std::string& reference, const std::string& stored) {
    if (IsUnknown(reference))
        return stored.empty();
    if (reference.rfind("_Z", 0) == 0) {
        const auto [qualifier, name] = SplitProcedureName(DemangleName(reference));
        // TDBG keeps each of the two names to its first 255 characters.
        const std::string first = qualifier.substr(0, MaxStoredName);
        const std::string second = name.substr(0, MaxStoredName);
        return stored == (second.empty() ? first : first + "." + second);
    }
    const std::string tail = reference.substr(0, MaxStoredName);
    return stored == tail || (stored.size() > tail.size() &&
                              stored.compare(stored.size() - tail.size(), tail.size(), tail) == 0 &&
                              stored[stored.size() - tail.size() - 1] == '.');
}

} // namespace

TdbgAnswer TdbgAnswerAt(const TTraceBinDebugScanner& scanner, uint32_t offset) {
    TdbgAnswer answer;
    answer.Unit = scanner.UnitOf(offset);
    if (answer.Unit.empty())
        return answer;
    answer.Procedure = scanner.ProcedureOf(offset).Name;
    answer.Line = scanner.LineOf(offset).Line;
    answer.File = scanner.SourceFileOf(offset);
    return answer;
}

LocationAgreement CompareLocations(const Addr2LineAnswer& reference, const TdbgAnswer& answer,
                                   std::string_view sourceRoot) {
    LocationAgreement agreement;
    agreement.Procedure = ProcedureAgrees(reference.Function, answer.Procedure);
    agreement.Line = static_cast<int64_t>(reference.Line) == answer.Line;
    const bool withoutDebugData = IsUnknown(reference.Function) && reference.Line == 0;
    const std::string referenceFile = IsUnknown(reference.File) || withoutDebugData
                                          ? std::string()
                                          : SourcePathForReport(reference.File, sourceRoot);
    agreement.File =
        referenceFile == (answer.File.empty() ? std::string() : SourcePathForReport(answer.File, sourceRoot));
    return agreement;
}
