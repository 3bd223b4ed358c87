// A PE32 image with the resources a test chooses, laid out as a linker lays out ".rsrc": the
// directory (types, then names, then languages; names before identifiers, each group in order),
// the data entries, the names, then the data. Built on the translation-module template, whose one
// section holds it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "LittleEndian.h"
#include "ModuleTemplate.h"
#include "PeResources.h"

struct TestResource {
    TResourceKey Type;
    TResourceKey Name;
    uint16_t Language = 0;
    std::vector<uint8_t> Data;
};

class ResourceImageBuilder {
public:
    static constexpr uint32_t SectionRva = 0x1000; // the template's .rsrc
    static constexpr size_t SectionHeader = 0x40 + 4 + 20 + 224;
    static constexpr size_t RawOffset = 0x200;

    // The resource section's bytes, its data placed for the section's RVA.
    static std::vector<uint8_t> Section(std::vector<TestResource> resources) {
        std::sort(resources.begin(), resources.end(),
                  [](const TestResource& a, const TestResource& b) { return a.Language < b.Language; });
        std::map<TResourceKey, std::map<TResourceKey, std::vector<const TestResource*>, NamesFirst>,
                 NamesFirst>
            tree;
        for (const TestResource& resource : resources)
            tree[resource.Type][resource.Name].push_back(&resource);

        // Sizes first: directories, then data entries, then names, then data.
        size_t directories = Directory(tree.size());
        for (const auto& [type, names] : tree) {
            directories += Directory(names.size());
            for (const auto& [name, languages] : names)
                directories += Directory(languages.size());
        }
        const size_t dataEntries = directories;
        std::vector<uint8_t> bytes(dataEntries + 16 * resources.size(), 0);
        size_t nextDirectory = 0, nextDataEntry = dataEntries;
        std::vector<std::pair<size_t, const TestResource*>> dataEntryOf;

        const auto writeDirectory = [&](size_t count) {
            const size_t at = nextDirectory;
            nextDirectory += Directory(count);
            return at;
        };
        const auto writeEntry = [&](size_t directory, size_t index, const TResourceKey& key,
                                    uint32_t target) {
            const size_t entry = directory + 16 + 8 * index;
            if (key.Named) {
                PutU32(bytes, entry, 0x80000000u | static_cast<uint32_t>(bytes.size()));
                PutName(bytes, key.Name);
            } else {
                PutU32(bytes, entry, key.Id);
            }
            PutU32(bytes, entry + 4, target);
        };
        const auto counts = [](const auto& map, size_t at, std::vector<uint8_t>& out) {
            uint16_t named = 0, ids = 0;
            for (const auto& [key, value] : map)
                ++(key.Named ? named : ids);
            PutU16(out, at + 12, named);
            PutU16(out, at + 14, ids);
        };

        const size_t root = writeDirectory(tree.size());
        counts(tree, root, bytes);
        size_t typeIndex = 0;
        for (const auto& [type, namesOfType] : tree) {
            const size_t typeDirectory = writeDirectory(namesOfType.size());
            counts(namesOfType, typeDirectory, bytes);
            writeEntry(root, typeIndex++, type, 0x80000000u | static_cast<uint32_t>(typeDirectory));
            size_t nameIndex = 0;
            for (const auto& [name, languages] : namesOfType) {
                const size_t nameDirectory = writeDirectory(languages.size());
                PutU16(bytes, nameDirectory + 14, static_cast<uint16_t>(languages.size()));
                writeEntry(typeDirectory, nameIndex++, name,
                           0x80000000u | static_cast<uint32_t>(nameDirectory));
                size_t languageIndex = 0;
                for (const TestResource* resource : languages) {
                    writeEntry(nameDirectory, languageIndex++, TResourceKey::OfId(resource->Language),
                               static_cast<uint32_t>(nextDataEntry));
                    dataEntryOf.emplace_back(nextDataEntry, resource);
                    nextDataEntry += 16;
                }
            }
        }
        for (const auto& [entry, resource] : dataEntryOf) {
            bytes.resize((bytes.size() + 3) / 4 * 4, 0);
            PutU32(bytes, entry, SectionRva + static_cast<uint32_t>(bytes.size()));
            PutU32(bytes, entry + 4, static_cast<uint32_t>(resource->Data.size()));
            bytes.insert(bytes.end(), resource->Data.begin(), resource->Data.end());
        }
        return bytes;
    }

    // The template with its empty resource section replaced by this one.
    static std::vector<uint8_t> Image(const std::vector<TestResource>& resources) {
        const std::vector<uint8_t> section = Section(resources);
        std::vector<uint8_t> image = BuildModuleTemplate();
        const uint32_t rawSize = static_cast<uint32_t>((section.size() + 0x1FF) / 0x200 * 0x200);
        image.resize(RawOffset);
        image.insert(image.end(), section.begin(), section.end());
        image.resize(RawOffset + rawSize, 0);
        PutU32(image, SectionHeader + 8, static_cast<uint32_t>(section.size()));
        PutU32(image, SectionHeader + 16, rawSize);
        const size_t optional = 0x40 + 4 + 20;
        PutU32(image, optional + 56,
               SectionRva + (static_cast<uint32_t>(section.size()) + 0xFFF) / 0x1000 * 0x1000);
        PutU32(image, optional + 96 + 8 * 2 + 4, static_cast<uint32_t>(section.size()));
        return image;
    }

private:
    // Names before identifiers, as the format orders them.
    struct NamesFirst {
        bool operator()(const TResourceKey& a, const TResourceKey& b) const {
            return a.Named != b.Named ? a.Named : a < b;
        }
    };
    static size_t Directory(size_t entries) { return 16 + 8 * entries; }
    static void PutName(std::vector<uint8_t>& bytes, const WideString& name) {
        const size_t at = bytes.size();
        bytes.resize(at + 2 + 2 * name.size(), 0);
        PutU16(bytes, at, static_cast<uint16_t>(name.size()));
        for (size_t i = 0; i < name.size(); ++i)
            PutU16(bytes, at + 2 + 2 * i, static_cast<uint16_t>(name[i]));
    }
};
