// The identifier of a build, and the stamp that writes it into a linked program together with the
// identifier map. Platform-free.
//
// The identifier is a name-based GUID (version 5: SHA-1 of a namespace and a name) whose name is
// every resource of the program but the identifier itself, in a fixed order, and the identifier
// map: the same resources and map give the same identifier, whatever the code, the link or the
// folder; another payload, form or string gives another.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "PeResources.h"
#include "SysTypes.h"

using TGuidBytes = std::array<uint8_t, 16>;

// A version 5 GUID of `name` in `nameSpace` (bytes in the order the text shows them).
TGuidBytes NameBasedGuid(const TGuidBytes& nameSpace, std::span<const uint8_t> name);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal, 38 characters.
WideString GuidText(const TGuidBytes& guid);

// The identifier of a program holding `resources` (its own "VYN_TRX_GUID" left out wherever it is
// among them) and carrying `identifierMap` (the section's bytes).
WideString BuildIdentifier(const std::vector<TPeResource>& resources, std::span<const uint8_t> identifierMap);

// A failure of the stamp; the message names the module's resource or section at fault.
class EStampError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The program with its identifier written over the placeholder "VYN_TRX_GUID" and the identifier
// map added as the read-only section "VYN.DRC" of exactly the map's size. Nothing for a module
// without the resource "VYN_TRX_FLAG": it does not carry the runtime's translation resources.
// Raises EStampError for an empty map, a module that is no PE image, has a malformed resource directory,
// holds a resource in a language other than 0 (a translation module made from it would hold that resource
// twice), lacks the placeholder or has a "VYN.DRC" section already.
std::optional<std::vector<uint8_t>> StampTranslationResources(std::span<const uint8_t> module,
                                                              std::span<const uint8_t> identifierMap);
