// The answers of binutils' addr2line ("-a -f -i", one address a record): for each address the
// innermost function and the source position of the address, as the reference the embedded
// debug data is compared with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct Addr2LineAnswer {
    uint64_t Address = 0;
    std::string Function; // as printed: mangled or plain; "??" when unknown
    std::string File;     // "??" when unknown
    uint32_t Line = 0;    // 0 when unknown ("?")
    // The functions the innermost one is inlined into, innermost first (from -i).
    std::vector<std::string> InlinedInto;
};

// Records in the order printed. A record starts with the "0x..." line that -a prints.
std::vector<Addr2LineAnswer> ParseAddr2LineAnswers(std::string_view output);
