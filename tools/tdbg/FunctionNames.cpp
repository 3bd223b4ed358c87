#include "FunctionNames.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace {

bool Opens(char c) {
    return c == '<' || c == '(' || c == '[' || c == '{';
}

bool Closes(char c) {
    return c == '>' || c == ')' || c == ']' || c == '}';
}

bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Where "operator" starts at nesting depth 0 as a whole word, or npos. The operator's own name
// may hold blanks, '<', '(' ("operator new", "operator<", "operator()").
size_t TopLevelOperator(std::string_view name) {
    int depth = 0;
    constexpr std::string_view Keyword = "operator";
    for (size_t i = 0; i < name.size(); ++i) {
        if (depth == 0 && name.compare(i, Keyword.size(), Keyword) == 0 &&
            (i == 0 || !IsIdentifierChar(name[i - 1])) &&
            (i + Keyword.size() == name.size() || !IsIdentifierChar(name[i + Keyword.size()])))
            return i;
        if (Opens(name[i]))
            ++depth;
        else if (Closes(name[i]) && depth > 0)
            --depth;
    }
    return std::string_view::npos;
}

// The parameter list: the group the last ')' closes ("const" and the like may follow it).
void DropParameters(std::string& name) {
    const size_t close = name.find_last_of(')');
    if (close == std::string::npos)
        return;
    int depth = 0;
    for (size_t i = close + 1; i-- > 0;) {
        if (name[i] == ')')
            ++depth;
        else if (name[i] == '(' && --depth == 0) {
            // "(anonymous namespace)" alone is no parameter list.
            if (i > 0)
                name.resize(i);
            return;
        }
    }
}

// A template function's demangled name starts with its return type: "void ns::f<int>".
void DropReturnType(std::string& name) {
    const size_t operatorAt = TopLevelOperator(name);
    const size_t limit = operatorAt == std::string::npos ? name.size() : operatorAt;
    int depth = 0;
    size_t lastBlank = std::string::npos;
    for (size_t i = 0; i < limit; ++i) {
        if (Opens(name[i]))
            ++depth;
        else if (Closes(name[i]) && depth > 0)
            --depth;
        else if (depth == 0 && name[i] == ' ')
            lastBlank = i;
    }
    if (lastBlank != std::string::npos)
        name.erase(0, lastBlank + 1);
}

} // namespace

std::string DemangleName(const std::string& name) {
    if (name.rfind("_Z", 0) != 0)
        return name;
    std::string mangled = name;
    // A 32-bit stdcall function carries its argument size after the mangled name ("@16").
    if (const size_t at = mangled.rfind('@');
        at != std::string::npos && at + 1 < mangled.size() &&
        mangled.find_first_not_of("0123456789", at + 1) == std::string::npos)
        mangled.resize(at);
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> plain(
        abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status), &std::free);
    return status == 0 && plain ? std::string(plain.get()) : name;
}

std::pair<std::string, std::string> SplitProcedureName(const std::string& demangled) {
    std::string name = demangled;
    DropParameters(name);
    DropReturnType(name);
    int depth = 0;
    size_t split = std::string::npos;
    const size_t operatorAt = TopLevelOperator(name);
    const size_t limit = operatorAt == std::string::npos ? name.size() : operatorAt;
    for (size_t i = 0; i + 1 < limit; ++i) {
        const char c = name[i];
        if (Opens(c))
            ++depth;
        else if (Closes(c) && depth > 0)
            --depth;
        else if (depth == 0 && c == ':' && name[i + 1] == ':')
            split = i;
    }
    if (split == std::string::npos)
        return {name, ""};
    return {name.substr(0, split), name.substr(split + 2)};
}
