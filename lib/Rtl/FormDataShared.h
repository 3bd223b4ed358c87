// Internals of the form data unit shared by its files (stream reader and writer, text parser and
// renderer, value tree): ASCII text helpers, the nesting bound and the checks every
// form representation applies alike. Not for use outside the unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "AsciiText.h"
#include "FormData.h"
#include "SysTypes.h"
#include "Utf8Text.h"

namespace FormDataShared {

bool IsDigit(unsigned char c);
bool IsIdentStart(unsigned char c);
bool IsIdentChar(unsigned char c);
// Identifiers are what the text form can carry as names without quoting; anything else written
// bare would read back as different tokens.
bool IsIdentifier(std::string_view s, bool allowDots);

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
