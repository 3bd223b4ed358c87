// The resources of a PE image as stored in a file: every type, name and language of its resource
// directory with the bytes of each and where they lie in the file. Platform-free.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "SysTypes.h"

class TTracePeImage;

// A resource type or name: a 16-bit identifier or a name.
struct TResourceKey {
    bool Named = false;
    uint16_t Id = 0;
    WideString Name;

    static TResourceKey OfId(uint16_t id) { return {false, id, {}}; }
    static TResourceKey OfName(std::u16string_view name) { return {true, 0, WideString(name)}; }
    // A name given as ASCII matches without regard to case, as the system's lookups do.
    bool Is(std::string_view asciiName) const;
    bool Is(uint16_t id) const { return !Named && Id == id; }
    // "#<id>" or the name (units beyond ASCII as "\uXXXX"), for messages.
    std::string Text() const;

    // Identifiers before names; names in code-unit order.
    auto operator<=>(const TResourceKey&) const = default;
};

struct TPeResource {
    TResourceKey Type;
    TResourceKey Name;
    uint16_t Language = 0;
    std::span<const uint8_t> Data; // inside the file's bytes
    size_t FileOffset = 0;         // of Data
};

// A resource directory that breaks the format: an entry or name outside the directory, a level
// that holds data where a directory belongs or the reverse, data outside the file.
class EPeResourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Every resource of the image, in directory order (types, then names, then languages). `file` is
// the image's bytes as stored, the same the reader was made from (TPeLayout::File). An image
// without a resource directory has no resources.
std::vector<TPeResource> ReadPeResources(const TTracePeImage& image, std::span<const uint8_t> file);

// The first resource of that type and name, in any language; null when there is none.
const TPeResource* FindPeResource(const std::vector<TPeResource>& resources, const TResourceKey& type,
                                  std::string_view asciiName);
