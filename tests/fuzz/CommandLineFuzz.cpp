// The program's command line split into parameters (quotes, blanks, over-long parameters): every
// index answers, and no parameter is longer than the limit or read past the terminating zero.
// The installer's switches read from those parameters: every argument is either a switch or kept
// as unknown exactly as given, and whatever the parameters hold makes whole log lines.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FerruleLogLines.h"
#include "FerruleOptions.h"
#include "FuzzInput.h"
#include "VynSysUtilsPaths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The system hands the line as zero-terminated text; a zero inside ends it early.
    const WideString line = fuzz::AsWide(data, size);
    std::vector<WideString> arguments;
    for (int index = -1; index < 40; ++index) {
        const WideString parameter = ParamStrOfCommandLine(line.c_str(), index);
        if (parameter.size() > MaxParamLength)
            std::abort();
        if (index >= 1 && !parameter.empty())
            arguments.push_back(parameter);
    }
    static_cast<void>(ParamStrOfCommandLine(line.c_str(), 0x7FFFFFFF));

    const TFerruleOptions options = ParseFerruleOptions(arguments);
    for (const WideString& unknown : options.Unknown) {
        bool given = false;
        for (const WideString& argument : arguments)
            given = given || argument == unknown;
        if (!given)
            std::abort();
    }
    if (options.Unknown.size() > arguments.size())
        std::abort();
    const std::string lines = LogLines(TLogTime{2026, 12, 9, 7, 5, 1, 123}, line);
    if (lines.size() < 27 || lines.compare(lines.size() - 2, 2, "\r\n") != 0)
        std::abort();
    return 0;
}
