// Strict UTF-8 and its conversion to and from UTF-16, for every reader and writer of text files
// and streams that must refuse what is not well-formed rather than guess.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "SysTypes.h"

// Decodes one strictly valid UTF-8 sequence at pos (which must lie inside text) and moves pos past
// it; nothing for overlong forms, surrogates and values past U+10FFFF, so every accepted byte
// sequence has exactly one UTF-16 form. pos stays where it was when nothing is decoded.
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& pos);
// Decodes the unit or surrogate pair at pos (which must lie inside text) and moves pos past it;
// nothing for an unpaired surrogate, and pos stays where it was.
std::optional<char32_t> DecodeUtf16(std::u16string_view text, size_t& pos);
// The code point as one unit or a surrogate pair.
void AppendUtf16(WideString& out, char32_t codePoint);
// The code point's UTF-8 bytes; the caller passes a scalar value (no surrogate, at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t codePoint);
// Nothing for text that is not strictly valid UTF-8 (UTF-16: an unpaired surrogate).
std::optional<WideString> Utf8ToUtf16(std::string_view text);
std::optional<std::string> Utf16ToUtf8(const WideString& text);
// The code points of the text; nothing when it holds an unpaired surrogate.
std::optional<std::u32string> Utf16ToCodePoints(std::u16string_view text);
