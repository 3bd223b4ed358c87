// The form text parser (forms are authored as text and compiled at build time; the translation
// tools read values in place): malformed text raises EParserError, and a parsed tree renders to
// text that parses back to the same tree.
#include <cstdint>
#include <cstdlib>

#include "Exceptions.h"
#include "FormData.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const AnsiString text = fuzz::AsAnsi(data, size);
    try {
        static_cast<void>(ParseFormStringExpression(text));
    } catch (const EParserError&) {
    }
    try {
        static_cast<void>(ParseFormStringList(text));
    } catch (const EParserError&) {
    }
    TFormObject root;
    try {
        root = ParseFormText(text);
    } catch (const EParserError&) {
        return 0;
    }
    AnsiString rendered;
    try {
        rendered = RenderFormText(root);
    } catch (const EConvertError&) {
        return 0;
    }
    if (!(ParseFormText(rendered) == root))
        std::abort();
    static_cast<void>(WriteFormBinary(root));
    return 0;
}
