#include "FormDataShared.h"

#include <optional>
#include <string>
#include <string_view>

namespace FormDataShared {

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool IsIdentStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsIdentChar(unsigned char c) {
    return IsIdentStart(c) || IsDigit(c);
}

bool IsIdentifier(std::string_view s, bool allowDots) {
    if (s.empty() || s.size() > 255)
        return false;
    bool segmentStart = true;
    for (unsigned char c : s) {
        if (c == '.') {
            if (!allowDots || segmentStart)
                return false;
            segmentStart = true;
            continue;
        }
        if (segmentStart ? !IsIdentStart(c) : !IsIdentChar(c))
            return false;
        segmentStart = false;
    }
    return !segmentStart;
}

bool IsStringType(TValueType type) {
    return type == TValueType::vaString || type == TValueType::vaLString || type == TValueType::vaWString ||
           type == TValueType::vaUTF8String;
}

} // namespace FormDataShared
