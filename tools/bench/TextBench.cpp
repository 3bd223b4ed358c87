// The text runtime against the standard library doing the same work, one program, one run:
// formatting, the sorted wide string list, and the UTF-8/UTF-7 conversions.
#include <cstdio>

#include "ConversionBench.h"
#include "FormatBench.h"
#include "StringListBench.h"

int main() {
    std::printf("Text runtime, %s under Wine\n", sizeof(void*) == 4 ? "i686" : "x86-64");
    bool within = RunFormatBench();
    within &= RunStringListBench();
    RunConversionBench();
    std::printf(within ? "text runtime: all within budget\n" : "text runtime: some figure is over budget\n");
    return within ? 0 : 1;
}
