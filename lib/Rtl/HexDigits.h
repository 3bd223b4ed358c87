// The value of a hexadecimal digit, for the text readers (form text, map files).
#pragma once

// 0 to 15, or -1 for a character that is no hexadecimal digit.
constexpr int HexDigitValue(unsigned char c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
