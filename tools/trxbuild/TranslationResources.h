// Names and fixed texts of the translation resources every program carries.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr char TranslationFlagName[] = "VYN_TRX_FLAG";
inline constexpr char BuildIdentifierName[] = "VYN_TRX_GUID";
inline constexpr char IdentifierMapSection[] = "VYN.DRC";

// 65 ANSI bytes, stored without terminator.
inline constexpr char TranslationFlagText[] =
    "This application is enabled to version check its resource module.";
static_assert(sizeof TranslationFlagText - 1 == 65);

// What a program carries until the stamp after linking writes its identifier; readers take it for
// no identifier at all.
inline constexpr char16_t BuildIdentifierPlaceholder[] = u"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
inline constexpr size_t BuildIdentifierLength = 38;
static_assert(sizeof BuildIdentifierPlaceholder / sizeof(char16_t) - 1 == BuildIdentifierLength);

inline constexpr uint16_t ResourceTypeString = 6;  // RT_STRING
inline constexpr uint16_t ResourceTypeRcData = 10; // RT_RCDATA
