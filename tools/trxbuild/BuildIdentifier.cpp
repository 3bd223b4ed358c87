#include "BuildIdentifier.h"

#include <algorithm>
#include <cstdio>

#include "PeSectionAppender.h"
#include "Sha1.h"
#include "TracePeImage.h"
#include "TranslationResources.h"

namespace {

// The namespace of every build identifier: ours, fixed for good, since changing it changes every
// identifier and so makes every translation module look out of date.
constexpr TGuidBytes BuildNamespace = {0x3F, 0x33, 0xF8, 0xA8, 0x9B, 0xB3, 0x41, 0x07,
                                       0x84, 0x44, 0x25, 0x9E, 0x3B, 0x61, 0x7C, 0x46};

class NameWriter {
public:
    void U8(uint8_t value) { bytes.push_back(value); }
    void U16(uint16_t value) {
        U8(static_cast<uint8_t>(value));
        U8(static_cast<uint8_t>(value >> 8));
    }
    void U32(uint32_t value) {
        U16(static_cast<uint16_t>(value));
        U16(static_cast<uint16_t>(value >> 16));
    }
    // Each part says how long it is, so that no two different inputs write the same bytes.
    void Key(const TResourceKey& key) {
        U8(key.Named ? 1 : 0);
        if (!key.Named)
            return U16(key.Id);
        U32(static_cast<uint32_t>(key.Name.size()));
        for (char16_t unit : key.Name)
            U16(static_cast<uint16_t>(unit));
    }
    void Bytes(std::span<const uint8_t> data) {
        U32(static_cast<uint32_t>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
    }

    std::vector<uint8_t> bytes;
};

bool IsIdentifierResource(const TPeResource& resource) {
    return resource.Type.Is(ResourceTypeRcData) && resource.Name.Is(BuildIdentifierName);
}

} // namespace

TGuidBytes NameBasedGuid(const TGuidBytes& nameSpace, std::span<const uint8_t> name) {
    Sha1 hash;
    hash.Add(nameSpace);
    hash.Add(name);
    const std::array<uint8_t, 20> digest = hash.Finish();
    TGuidBytes guid;
    std::copy_n(digest.begin(), guid.size(), guid.begin());
    guid[6] = static_cast<uint8_t>((guid[6] & 0x0F) | 0x50);
    guid[8] = static_cast<uint8_t>((guid[8] & 0x3F) | 0x80);
    return guid;
}

WideString GuidText(const TGuidBytes& guid) {
    std::string text = "{";
    for (size_t i = 0; i < guid.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(guid[i]));
        text += digits;
    }
    text += '}';
    return WideString(text.begin(), text.end());
}

WideString BuildIdentifier(const std::vector<TPeResource>& resources,
                           std::span<const uint8_t> identifierMap) {
    std::vector<const TPeResource*> ordered;
    for (const TPeResource& resource : resources)
        if (!IsIdentifierResource(resource))
            ordered.push_back(&resource);
    // The directory's own order is the linker's business; this one is fixed.
    std::sort(ordered.begin(), ordered.end(), [](const TPeResource* a, const TPeResource* b) {
        if (a->Type != b->Type)
            return a->Type < b->Type;
        if (a->Name != b->Name)
            return a->Name < b->Name;
        return a->Language < b->Language;
    });
    NameWriter name;
    name.U32(static_cast<uint32_t>(ordered.size()));
    for (const TPeResource* resource : ordered) {
        name.Key(resource->Type);
        name.Key(resource->Name);
        name.U16(resource->Language);
        name.Bytes(resource->Data);
    }
    name.Bytes(identifierMap);
    return GuidText(NameBasedGuid(BuildNamespace, name.bytes));
}

std::optional<std::vector<uint8_t>> StampTranslationResources(std::span<const uint8_t> module,
                                                              std::span<const uint8_t> identifierMap) {
    if (identifierMap.empty())
        throw EStampError("an empty identifier map: the section would have no bytes");
    const auto image = TTracePeImage::Read(module, TPeLayout::File);
    if (!image)
        throw EStampError("not a PE image");
    std::vector<TPeResource> resources;
    try {
        resources = ReadPeResources(*image, module);
    } catch (const EPeResourceError& error) {
        throw EStampError(error.what());
    }
    const TResourceKey rcData = TResourceKey::OfId(ResourceTypeRcData);
    if (FindPeResource(resources, rcData, TranslationFlagName) == nullptr)
        return std::nullopt;
    for (const TPeResource& resource : resources)
        if (resource.Language != 0) {
            char language[8];
            std::snprintf(language, sizeof language, "0x%04X", static_cast<unsigned>(resource.Language));
            throw EStampError("resource " + resource.Type.Text() + "/" + resource.Name.Text() +
                              " is in language " + language +
                              ": every resource of a program is in language 0, as translation "
                              "modules are saved");
        }
    const TPeResource* placeholder = FindPeResource(resources, rcData, BuildIdentifierName);
    if (placeholder == nullptr || placeholder->Data.size() != 2 * BuildIdentifierLength)
        throw EStampError(std::string("no resource ") + BuildIdentifierName + " of " +
                          std::to_string(2 * BuildIdentifierLength) + " bytes to write the identifier into");
    if (image->FindSection(IdentifierMapSection) != nullptr)
        throw EStampError(std::string("the module has a section ") + IdentifierMapSection + " already");

    const WideString identifier = BuildIdentifier(resources, identifierMap);
    std::vector<uint8_t> stamped(module.begin(), module.end());
    for (size_t i = 0; i < identifier.size(); ++i) {
        stamped[placeholder->FileOffset + 2 * i] = static_cast<uint8_t>(identifier[i]);
        stamped[placeholder->FileOffset + 2 * i + 1] = static_cast<uint8_t>(identifier[i] >> 8);
    }
    try {
        return AppendPeSection(stamped, IdentifierMapSection, identifierMap);
    } catch (const std::runtime_error& error) {
        throw EStampError(std::string("section ") + IdentifierMapSection + ": " + error.what());
    }
}
