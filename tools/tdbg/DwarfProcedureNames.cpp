#include "DwarfProcedureNames.h"

#include "DwarfConstants.h"
#include "FunctionNames.h"

namespace {

// Far beyond any nesting a compiler emits; reached only by a loop in malformed data.
constexpr int MaxChainLength = 64;

} // namespace

DwarfProcedureNames::DwarfProcedureNames(const DwarfFunctions& functions)
    : functions_(functions), built_(functions.Entries.size(), NotBuilt) {}

const QualifiedProcedureName& DwarfProcedureNames::Of(uint32_t entry) {
    return Resolve(entry, 0).Name;
}

const DwarfProcedureNames::Resolved& DwarfProcedureNames::Resolve(uint32_t entry, int depth) {
    const DwarfNamingEntry& self = functions_.Entries.at(entry);
    if (built_[entry] != NotBuilt)
        return resolved_[static_cast<size_t>(built_[entry])];
    if (depth > MaxChainLength)
        throw EDwarfFormatError(".debug_info", "Chain of origins and declarations too long", self.Offset);
    Resolved result;
    if (!self.LinkageName.empty()) {
        auto [qualifier, name] = SplitProcedureName(DemangleName(std::string(self.LinkageName)));
        // A name without qualifier comes back as the first of the pair.
        result.Name = name.empty() ? QualifiedProcedureName{"", std::move(qualifier)}
                                   : QualifiedProcedureName{std::move(qualifier), std::move(name)};
        result.FromLinkageName = true;
    } else {
        bool found = false;
        for (const uint64_t reference : {self.Origin, self.Specification}) {
            const uint32_t target =
                reference == 0 ? DwarfNamingEntry::NoParent : functions_.EntryAt(reference);
            if (target == DwarfNamingEntry::NoParent || target == entry)
                continue;
            const Resolved& origin = Resolve(target, depth + 1);
            result = origin;
            if (result.Name.Name.empty() && !self.Name.empty())
                result.Name.Name = std::string(self.Name);
            found = true;
            break;
        }
        if (!found)
            result.Name = {ScopeOf(entry, depth + 1), std::string(self.Name)};
    }
    built_[entry] = static_cast<int>(resolved_.size());
    resolved_.push_back(std::move(result));
    return resolved_.back();
}

std::string DwarfProcedureNames::ScopeOf(uint32_t entry, int depth) {
    std::string scope;
    uint32_t parent = functions_.Entries.at(entry).Parent;
    for (int steps = 0; parent != DwarfNamingEntry::NoParent; ++steps) {
        const DwarfNamingEntry& outer = functions_.Entries.at(parent);
        if (steps + depth > MaxChainLength)
            throw EDwarfFormatError(".debug_info", "Nesting of scopes too deep", outer.Offset);
        std::string part;
        if (outer.Tag == Dwarf::TagSubprogram || outer.Tag == Dwarf::TagInlinedSubroutine) {
            // A local class's member: qualified by its function, as the demangler shows it.
            const QualifiedProcedureName& function = Resolve(parent, depth + steps + 1).Name;
            part = (function.Qualifier.empty() ? "" : function.Qualifier + "::") + function.Name + "()";
            scope = scope.empty() ? part : part + "::" + scope;
            break;
        }
        if (!outer.Name.empty())
            part = std::string(outer.Name);
        else if (outer.Tag == Dwarf::TagNamespace)
            part = "(anonymous namespace)";
        if (!part.empty())
            scope = scope.empty() ? part : part + "::" + scope;
        parent = outer.Parent;
    }
    return scope;
}
