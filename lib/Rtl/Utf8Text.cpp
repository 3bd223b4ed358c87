#include "Utf8Text.h"

std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t extra = 0;
    char32_t codePoint = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        codePoint = lead & 0x1Fu;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        codePoint = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        codePoint = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (extra > text.size() - pos - 1)
        return std::nullopt;
    for (size_t i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return std::nullopt;
    pos += extra + 1;
    return codePoint;
}

void AppendUtf16(WideString& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out += static_cast<char16_t>(codePoint);
        return;
    }
    codePoint -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::optional<WideString> Utf8ToUtf16(std::string_view text) {
    WideString out;
    size_t pos = 0;
    while (pos < text.size()) {
        const std::optional<char32_t> codePoint = DecodeUtf8(text, pos);
        if (!codePoint)
            return std::nullopt;
        AppendUtf16(out, *codePoint);
    }
    return out;
}

std::optional<char32_t> DecodeUtf16(std::u16string_view text, size_t& pos) {
    const char16_t unit = text[pos];
    if (unit >= 0xDC00 && unit <= 0xDFFF)
        return std::nullopt;
    if (unit < 0xD800 || unit > 0xDBFF) {
        ++pos;
        return unit;
    }
    if (pos + 1 >= text.size() || text[pos + 1] < 0xDC00 || text[pos + 1] > 0xDFFF)
        return std::nullopt;
    const char32_t codePoint = 0x10000 + ((unit - 0xD800u) << 10) + (text[pos + 1] - 0xDC00u);
    pos += 2;
    return codePoint;
}

std::optional<std::u32string> Utf16ToCodePoints(std::u16string_view text) {
    std::u32string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const std::optional<char32_t> codePoint = DecodeUtf16(text, pos);
        if (!codePoint)
            return std::nullopt;
        out += *codePoint;
    }
    return out;
}

std::optional<std::string> Utf16ToUtf8(const WideString& text) {
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        const std::optional<char32_t> codePoint = DecodeUtf16(text, pos);
        if (!codePoint)
            return std::nullopt;
        AppendUtf8(out, *codePoint);
    }
    return out;
}
