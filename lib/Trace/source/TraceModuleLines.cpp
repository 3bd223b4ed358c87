#include "TraceModuleLines.h"

#include <algorithm>

#include "Format.h"
#include "TraceReportStrings.h"

namespace {

// As 64-bit integers, so that "%x" writes every digit of an x86-64 address.
TVarRec Address(uint64_t address) {
    return TVarRec(static_cast<unsigned long long>(address));
}

AnsiString BasePrefix(const TReportModule& module) {
    if (!module.PreferredBase || *module.PreferredBase == module.Base)
        return RsModuleAtPreferredBase;
    return Format("<%.8x> ", {Address(*module.PreferredBase)});
}

} // namespace

std::vector<AnsiString> ModuleReportLines(std::vector<TReportModule> modules) {
    std::stable_sort(modules.begin(), modules.end(),
                     [](const TReportModule& a, const TReportModule& b) { return a.Base < b.Base; });
    std::vector<AnsiString> lines{RsModulesList};
    for (const TReportModule& module : modules) {
        lines.push_back(Format("[%.8x] %s", {Address(module.Base), module.Path}));
        const AnsiString prefix = BasePrefix(module);
        if (!module.Version) {
            lines.push_back(prefix + RsMissingVersionInfo);
            continue;
        }
        const TReportModuleVersion& version = *module.Version;
        lines.push_back(prefix + Format("%u.%u.%u.%u - %s", {version.FileVersion[0], version.FileVersion[1],
                                                             version.FileVersion[2], version.FileVersion[3],
                                                             version.FileVersionText}));
        if (!version.FileDescription.empty())
            lines.push_back(RsModuleAtPreferredBase + version.FileDescription);
    }
    return lines;
}
