// Internals of the form data unit shared by its files (stream reader and writer, text parser and
// renderer, value tree): ASCII and UTF-8 text helpers, the nesting bound and the checks every
// form representation applies alike. Not for use outside the unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FormData.h"
#include "SysTypes.h"

namespace FormDataShared {

char LowerAscii(char c);
bool SameTextAscii(std::string_view a, std::string_view b);
bool IsDigit(unsigned char c);
bool IsIdentStart(unsigned char c);
bool IsIdentChar(unsigned char c);
// Identifiers are what the text form can carry as names without quoting; anything else written
// bare would read back as different tokens.
bool IsIdentifier(std::string_view s, bool allowDots);

// Decodes one strictly valid UTF-8 sequence at pos (which must lie inside text) and moves pos past
// it; nothing for overlong forms, surrogates and values past U+10FFFF, so every accepted byte
// sequence has exactly one UTF-16 form. pos stays where it was when nothing is decoded.
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& pos);
void AppendUtf16(WideString& out, char32_t codePoint);
// Nothing for text that is not strictly valid UTF-8 (UTF-16: an unpaired surrogate).
std::optional<WideString> Utf8ToUtf16(std::string_view text);
std::optional<std::string> Utf16ToUtf8(const WideString& text);

// Restores the depth counter on every exit path, including the exceptions that unwind a rejected
// input.
class NestingGuard {
public:
    template <typename OnTooDeep> NestingGuard(int& depth, OnTooDeep onTooDeep) : depth_(depth) {
        if (depth_ >= FormMaxNesting)
            onTooDeep();
        ++depth_;
    }
    ~NestingGuard() { --depth_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    int& depth_;
};

inline bool ValidObjectFlags(uint8_t flags) {
    return (flags & ~(ffInherited | ffChildPos | ffInline)) == 0 &&
           !((flags & ffInherited) && (flags & ffInline));
}

bool IsStringType(TValueType type);

} // namespace FormDataShared
