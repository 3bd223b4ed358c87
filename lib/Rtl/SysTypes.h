// Basic text and integer types shared by every layer. Wide text is UTF-16 on every
// platform, so that the same code builds natively (for fast tests) and for Windows.
#pragma once

#include <cstdint>
#include <string>

using WideString = std::u16string;
using AnsiString = std::string;
