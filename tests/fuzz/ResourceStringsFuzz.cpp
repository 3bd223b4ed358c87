// The build's resource-string declaration files: a file parses or raises EDeclarationError, and
// every text it accepts fits the loader's buffer.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ResourceStringDeclarations.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view contents(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size);
    try {
        const TUnitResourceStrings unit = ParseResourceStringDeclarations("Fuzz.resstr", contents);
        for (const TResourceStringDeclaration& declaration : unit.Strings)
            if (declaration.Text.size() > MaxResourceStringLength)
                std::abort();
    } catch (const EDeclarationError&) {
    }
    return 0;
}
