// TD32 debug data (a linker's, in an image or a ".tds" file): malformed data is not accepted and
// answers no location. The parser's one documented assertion (directory entries of another size)
// is its contract for such data.
#include <cstdint>
#include <span>

#include "Exceptions.h"
#include "LookupOffsets.h"
#include "TraceTD32.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> block(data, size);
    static_cast<void>(FindTD32Data(block));
    try {
        const TTraceTD32InfoScanner scanner(block);
        if (!scanner.ValidFormat())
            return 0;
        for (uint32_t index = 0; index < 8; ++index)
            static_cast<void>(scanner.Name(index));
        for (const uint32_t offset : fuzz::LookupOffsets(data, size)) {
            static_cast<void>(scanner.UnitOf(offset));
            static_cast<void>(scanner.ProcedureOf(offset));
            static_cast<void>(scanner.LineOf(offset));
            static_cast<void>(scanner.SourceFileOf(offset));
        }
    } catch (const EAssertionFailed&) {
    }
    static_cast<void>(ReformatTD32Name(std::string_view(reinterpret_cast<const char*>(data), data ? size : 0)));
    return 0;
}
