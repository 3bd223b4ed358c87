// The program's command line split into parameters (quotes, blanks, over-long parameters): every
// index answers, and no parameter is longer than the limit or read past the terminating zero.
#include <cstdint>
#include <cstdlib>

#include "FuzzInput.h"
#include "VynSysUtilsPaths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The system hands the line as zero-terminated text; a zero inside ends it early.
    const WideString line = fuzz::AsWide(data, size);
    for (int index = -1; index < 40; ++index) {
        const WideString parameter = ParamStrOfCommandLine(line.c_str(), index);
        if (parameter.size() > MaxParamLength)
            std::abort();
    }
    static_cast<void>(ParamStrOfCommandLine(line.c_str(), 0x7FFFFFFF));
    return 0;
}
