// The text runtime against the standard library doing the same work, one program, one run:
// formatting, the sorted wide string list, and the UTF-8/UTF-7 conversions. Arguments name the
// parts to run (format, list, utf); without any, all of them run.
#include <cstdio>
#include <cstring>

#include "ConversionBench.h"
#include "FormatBench.h"
#include "StringListBench.h"

int main(int argc, char** argv) {
    auto wanted = [&](const char* part) {
        if (argc < 2)
            return true;
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], part) == 0)
                return true;
        }
        return false;
    };
    std::printf("Text runtime, %s under Wine\n", sizeof(void*) == 4 ? "i686" : "x86-64");
    bool within = true;
    if (wanted("format"))
        within &= RunFormatBench();
    if (wanted("list"))
        within &= RunStringListBench();
    if (wanted("utf"))
        RunConversionBench();
    std::printf(within ? "text runtime: all within budget\n" : "text runtime: some figure is over budget\n");
    return within ? 0 : 1;
}
