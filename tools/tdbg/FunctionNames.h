// Function names as a report reader wants them: demangled, without parameter list or return
// type, split into qualifier and name (the TDBG procedure's two names).
#pragma once

#include <string>
#include <string_view>
#include <utility>

// The demangled form of an Itanium-mangled name ("_Z..."); any other name as it is.
std::string DemangleName(const std::string& name);

// "Qualifier::Name(parameters) const" as ("Qualifier", "Name"); a name without qualifier as
// ("Name", ""). A template function's return type ("void ns::f<int>(int)") is dropped.
std::pair<std::string, std::string> SplitProcedureName(const std::string& demangled);
