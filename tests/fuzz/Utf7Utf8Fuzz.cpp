// UTF-7 and UTF-8 decoding (stored forms of wide strings and list entries, text files): bytes
// decode or raise the documented error, and every UTF-16 text survives encoding and decoding.
#include <cstdint>
#include <cstdlib>

#include "FuzzInput.h"
#include "VynClasses.h"
#include "VynSysUtilsPaths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const AnsiString bytes = fuzz::AsAnsi(data, size);
    static_cast<void>(Utf8Decode(bytes));
    static_cast<void>(AnsiToWideCP(bytes, CodePageUtf8));
    try {
        static_cast<void>(Utf7Decode(bytes));
    } catch (const EVynGeneralError&) {
    }
    try {
        static_cast<void>(AnsiToWideCP(bytes, CodePageUtf7));
    } catch (const EVynGeneralError&) {
    }

    const WideString text = fuzz::AsWide(data, size);
    if (Utf8Decode(Utf8Encode(text)) != text)
        std::abort();
    if (Utf7Decode(Utf7Encode(text)) != text)
        std::abort();
    return 0;
}
