// The binary form stream reader ("TPF0", what a translation module carries for each form): a
// malformed stream raises EReadError, and a tree that was read writes back to a stream that reads
// as the same tree.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Exceptions.h"
#include "FormData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFormObject root;
    try {
        root = ReadFormBinary(data, size);
    } catch (const EReadError&) {
        return 0;
    }
    std::vector<uint8_t> written;
    try {
        written = WriteFormBinary(root);
    } catch (const EWriteError&) {
        return 0; // a stream from elsewhere may hold values the writer refuses (documented)
    }
    if (!(ReadFormBinary(written) == root))
        std::abort();
    try {
        static_cast<void>(RenderFormText(root));
    } catch (const EConvertError&) {
    }
    return 0;
}
