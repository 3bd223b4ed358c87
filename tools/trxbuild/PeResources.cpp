#include "PeResources.h"

#include <cstdio>

#include "ByteReader.h"
#include "TracePeImage.h"

namespace {

constexpr unsigned ResourceDirectoryIndex = 2;
constexpr uint32_t HighBit = 0x80000000u;
constexpr size_t DirectoryHeaderSize = 16;
constexpr size_t EntrySize = 8;
constexpr size_t DataEntrySize = 16;

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

struct DirectoryEntry {
    TResourceKey Key;
    bool IsDirectory = false;
    uint32_t Offset = 0; // of the subdirectory or data entry, from the directory's start
};

class ResourceDirectoryReader {
public:
    ResourceDirectoryReader(const TTracePeImage& image, std::span<const uint8_t> file,
                            std::span<const uint8_t> directory)
        : image_(image), file_(file), directory_(directory) {}

    std::vector<TPeResource> Read() {
        std::vector<TPeResource> resources;
        for (const DirectoryEntry& type : Entries(0, "type")) {
            Expect(type, true, "type");
            for (const DirectoryEntry& name : Entries(type.Offset, "name")) {
                Expect(name, true, "name");
                for (const DirectoryEntry& language : Entries(name.Offset, "language")) {
                    Expect(language, false, "language");
                    if (language.Key.Named)
                        throw EPeResourceError("resource " + type.Key.Text() + "/" + name.Key.Text() +
                                               ": a language is an identifier, not a name");
                    resources.push_back(Data(type.Key, name.Key, language.Key.Id, language.Offset));
                }
            }
        }
        return resources;
    }

private:
    std::vector<DirectoryEntry> Entries(uint32_t offset, const char* level) {
        try {
            ByteReader reader(directory_);
            reader.Seek(offset);
            // The header ends with the counts of named and of numbered entries.
            reader.Skip(DirectoryHeaderSize - 2 * sizeof(uint16_t));
            const uint32_t count = uint32_t{reader.ReadU16()} + reader.ReadU16();
            reader.NeedRecords(count, EntrySize);
            // Every entry of a well-formed directory has bytes of its own; entries shared between
            // directories could multiply the work without end.
            entriesRead_ += count;
            if (entriesRead_ > directory_.size() / EntrySize)
                throw EPeResourceError(std::string("resource directory of ") + level +
                                       "s: more entries than the directory has room for");
            std::vector<DirectoryEntry> entries;
            for (uint32_t i = 0; i < count; ++i) {
                const uint32_t name = reader.ReadU32();
                const uint32_t target = reader.ReadU32();
                DirectoryEntry entry;
                entry.Key = (name & HighBit) != 0 ? TResourceKey::OfName(Name(name & ~HighBit))
                                                  : TResourceKey::OfId(static_cast<uint16_t>(name));
                if ((name & HighBit) == 0 && name > 0xFFFF)
                    throw EPeResourceError(std::string("a ") + level + " identifier beyond 16 bits");
                entry.IsDirectory = (target & HighBit) != 0;
                entry.Offset = target & ~HighBit;
                entries.push_back(std::move(entry));
            }
            return entries;
        } catch (const EByteReadError& error) {
            throw EPeResourceError(std::string("resource directory of ") + level + "s: " + error.Message());
        }
    }

    WideString Name(uint32_t offset) {
        ByteReader reader(directory_);
        reader.Seek(offset);
        const uint16_t length = reader.ReadU16();
        return reader.ReadWideString(length);
    }

    static void Expect(const DirectoryEntry& entry, bool directory, const char* level) {
        if (entry.IsDirectory != directory)
            throw EPeResourceError("resource " + entry.Key.Text() + ": the " + level + " level holds " +
                                   (entry.IsDirectory ? "a directory" : "data"));
    }

    TPeResource Data(const TResourceKey& type, const TResourceKey& name, uint16_t language, uint32_t offset) {
        const std::string subject = type.Text() + "/" + name.Text();
        uint32_t rva = 0, size = 0;
        try {
            ByteReader reader(directory_);
            reader.Seek(offset);
            reader.Need(DataEntrySize);
            rva = reader.ReadU32();
            size = reader.ReadU32();
        } catch (const EByteReadError& error) {
            throw EPeResourceError("resource " + subject + ": " + error.Message());
        }
        const std::span<const uint8_t> data = image_.BytesAt(rva, size);
        // An empty span without bytes behind it: the RVA lies nowhere in the file, even for no data.
        if (data.size() != size || data.data() == nullptr)
            throw EPeResourceError("resource " + subject + ": its data lies outside the file");
        TPeResource resource;
        resource.Type = type;
        resource.Name = name;
        resource.Language = language;
        resource.Data = data;
        // BytesAt hands out a part of the very bytes the reader was made from.
        resource.FileOffset = static_cast<size_t>(reinterpret_cast<uintptr_t>(data.data()) -
                                                  reinterpret_cast<uintptr_t>(file_.data()));
        return resource;
    }

    const TTracePeImage& image_;
    std::span<const uint8_t> file_;
    std::span<const uint8_t> directory_;
    uint64_t entriesRead_ = 0;
};

} // namespace

bool TResourceKey::Is(std::string_view asciiName) const {
    if (!Named || Name.size() != asciiName.size())
        return false;
    for (size_t i = 0; i < Name.size(); ++i)
        if (Name[i] > 0x7F || UpperAscii(static_cast<char>(Name[i])) != UpperAscii(asciiName[i]))
            return false;
    return true;
}

std::string TResourceKey::Text() const {
    if (!Named)
        return "#" + std::to_string(Id);
    std::string text;
    for (char16_t unit : Name) {
        if (unit >= 0x20 && unit < 0x7F) {
            text += static_cast<char>(unit);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
            text += escape;
        }
    }
    return text;
}

std::vector<TPeResource> ReadPeResources(const TTracePeImage& image, std::span<const uint8_t> file) {
    const std::span<const uint8_t> directory = image.DirectoryData(ResourceDirectoryIndex);
    if (directory.empty())
        return {};
    const auto inside = [&](const uint8_t* p) {
        const auto address = reinterpret_cast<uintptr_t>(p);
        return address >= reinterpret_cast<uintptr_t>(file.data()) &&
               address - reinterpret_cast<uintptr_t>(file.data()) <= file.size();
    };
    if (!inside(directory.data()))
        throw EPeResourceError("the image reader was not made from these bytes");
    return ResourceDirectoryReader(image, file, directory).Read();
}

const TPeResource* FindPeResource(const std::vector<TPeResource>& resources, const TResourceKey& type,
                                  std::string_view asciiName) {
    for (const TPeResource& resource : resources)
        if (resource.Type == type && resource.Name.Is(asciiName))
            return &resource;
    return nullptr;
}
