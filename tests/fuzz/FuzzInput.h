// Helpers shared by the fuzz targets: the input as the text types of the framework, and a way to
// split one input into a few independent parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "SysTypes.h"

namespace fuzz {

inline AnsiString AsAnsi(const uint8_t* data, size_t size) {
    return size == 0 ? AnsiString() : AnsiString(reinterpret_cast<const char*>(data), size);
}

// The bytes as little-endian UTF-16 units; an odd last byte is dropped.
inline WideString AsWide(const uint8_t* data, size_t size) {
    WideString text(size / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    return text;
}

// Splits at the first occurrence of a separator the seeds use ("\n--\n" style markers would be
// mutated away too often, so one rare byte pair is used: 0xFF 0x00 0xFF).
inline std::pair<std::string_view, std::string_view> SplitInTwo(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size);
    constexpr std::string_view Separator("\xff\x00\xff", 3);
    const size_t at = all.find(Separator);
    if (at == std::string_view::npos)
        return {all, std::string_view()};
    return {all.substr(0, at), all.substr(at + Separator.size())};
}

} // namespace fuzz
