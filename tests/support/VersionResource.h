// Version resources of chosen shapes, built byte by byte and put into copies of a fixture
// library, for the tests of version reading and component detection.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct TVersionStringTable {
    // Eight hex digits: language, then code page ("040904b0").
    std::wstring LanguageCodePage;
    // Values are stored with one terminating zero after the given text; a text may carry zeros
    // of its own.
    std::vector<std::pair<std::wstring, std::wstring>> Values;
};

struct TVersionResourceShape {
    bool WithFixedRecord = true;
    // major, minor, release, build
    uint16_t FileVersion[4] = {};
    uint16_t ProductVersion[4] = {};
    std::vector<TVersionStringTable> StringTables;
    // Language in the low 16 bits, code page in the high 16 bits; none leaves out VarFileInfo.
    std::vector<uint32_t> Translations;
    // String values typed binary (wType 0) with their length still in characters, as some
    // resource tools write them.
    bool StringsMarkedBinary = false;
};

std::vector<uint8_t> BuildVersionResource(const TVersionResourceShape& shape);

// Copies source to target and puts block in place of its version resource; throws on failure.
void CopyWithVersionResource(const std::wstring& source, const std::wstring& target,
                             const std::vector<uint8_t>& block);
