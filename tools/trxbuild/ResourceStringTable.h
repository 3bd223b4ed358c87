// The program's resource strings numbered into one string table, and what the build makes of
// them: the string-table blocks, the identifier map ("<id>=<Unit>_<Name>", CR LF after each line,
// UTF-16LE as the section "VYN.DRC" holds it), the accessor headers and their definitions, and the
// resource script that links the blocks and the translation resources into every program.
// Platform-free.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ResourceStringDeclarations.h"

// Identifiers count up from here, clear of the small numbers programs give their own strings.
inline constexpr uint32_t FirstResourceStringId = 0xF000;

struct TNumberedResourceString {
    uint32_t Id = 0;
    std::string Unit;
    std::string Name;
    WideString Text;
};

// Every string of every unit, ordered by unit and name (byte order) and numbered in that order from
// FirstResourceStringId: the same declarations give the same numbers, whatever order the files
// come in. Raises EDeclarationError for two files of one unit name (compared without regard to
// case) and for more strings than the identifiers up to 0xFFFF hold.
std::vector<TNumberedResourceString> NumberResourceStrings(const std::vector<TUnitResourceStrings>& units);

// The RT_STRING blocks by block number (identifier / 16 + 1): 16 entries each, a 16-bit count of
// UTF-16 units then the units, an empty entry being a count of 0.
std::map<uint32_t, std::vector<uint8_t>>
StringTableBlocks(const std::vector<TNumberedResourceString>& strings);

// The identifier map as the program carries it: "<id>=<Unit>_<Name>" and CR LF for each string in
// identifier order, as UTF-16LE bytes without mark or terminator.
std::vector<uint8_t> IdentifierMapText(const std::vector<TNumberedResourceString>& strings);

// "<Unit>ResStr.h": the unit's records, declared in namespace ResStr::<Unit>.
std::string AccessorHeaderName(const std::string& unit);
std::string AccessorHeader(const TUnitResourceStrings& unit);
// The definitions of every record with its identifier (one source for all units, so that a new
// number recompiles one file).
std::string AccessorDefinitions(const std::vector<TUnitResourceStrings>& units,
                                const std::vector<TNumberedResourceString>& strings);

// Bytes of the two fixed translation resources: "VYN_TRX_FLAG" (ANSI, no terminator) and the
// placeholder "VYN_TRX_GUID" (UTF-16LE, no terminator) that the stamp after linking replaces.
std::vector<uint8_t> TranslationFlagBytes();
std::vector<uint8_t> IdentifierPlaceholderBytes();

// A resource script in language 0 that links each block file (folder + "/StringBlock<n>.bin"),
// the flag (folder + "/TrxFlag.bin") and the placeholder (folder + "/TrxGuid.bin").
std::string ResourceScript(const std::string& folder, const std::map<uint32_t, std::vector<uint8_t>>& blocks);
