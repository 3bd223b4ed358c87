// The qualified name of a function found in .debug_info, as a report reader wants it: from the
// mangled linkage name wherever the entry's chain of origins and declarations has one (as
// addr2line prefers it), else its DW_AT_name qualified by the namespaces and classes around its
// declaration. Names are built once per entry and shared by every range of it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "DwarfFunctionScanner.h"

struct QualifiedProcedureName {
    std::string Qualifier; // "ns::Class", empty for a free function outside any namespace
    std::string Name;
};

class DwarfProcedureNames {
public:
    explicit DwarfProcedureNames(const DwarfFunctions& functions);

    // The reference stays valid as long as this object. Raises EDwarfFormatError naming .debug_info for a
    // chain of origins, declarations or enclosing scopes that loops or is absurdly long.
    const QualifiedProcedureName& Of(uint32_t entry);

private:
    static constexpr int NotBuilt = -1;
    // Built from a linkage name or, failing that, from DW_AT_name and the entry's scopes.
    struct Resolved {
        QualifiedProcedureName Name;
        bool FromLinkageName = false;
    };
    const Resolved& Resolve(uint32_t entry, int depth);
    std::string ScopeOf(uint32_t entry, int depth);

    const DwarfFunctions& functions_;
    std::vector<int> built_;        // per entry, an index into resolved_
    std::deque<Resolved> resolved_; // a deque: names handed out stay where they are
};
