// Keyboard shortcuts of menu items and actions as their users read and type them: the modifiers
// "Shift+", "Ctrl+" and "Alt+", in that order, before the key's name ("Ctrl+S", "Shift+Ctrl+F5",
// "Alt+BkSp", "Ctrl+Num +"). The names are fixed, not the keyboard layout's, so that a text means
// the same shortcut on every machine; keys whose caption depends on the layout (punctuation)
// have no name. Platform-free: the translation tools convert shortcuts on every platform.
#pragma once

#include <cstdint>
#include <optional>

#include "SysTypes.h"

// The key's virtual-key code in the low byte, the modifiers in the high bits.
using TShortCut = uint16_t;
constexpr TShortCut scNone = 0;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

// The empty text for scNone. Nothing for a key without a name, for modifiers without a key and
// for bits beyond the modifiers and the key.
std::optional<WideString> ShortCutToTextWide(TShortCut shortCut);
// The inverse of ShortCutToTextWide, so text -> shortcut -> text gives the text back; names compare
// without regard to case and the modifiers may come in any order, each at most once. The empty
// text is scNone; nothing for any other text.
std::optional<TShortCut> TextToShortCutWide(const WideString& text);
