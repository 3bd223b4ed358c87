// Fixture modules for the translation tests: copies of the stand-in payload given string tables,
// an identifier map, a build identifier, side resources and the form TableFixtureForm.dfm (linked
// into the test program) by resource update; and what a module file holds, read back.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Handles.h"
#include "VynTrxUtils.h"
#include "WineTestSupport.h"

inline constexpr char16_t FixtureGuid[] = u"{6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8}";
inline constexpr char16_t FixtureMap[] =
    u"1600=U_SFiles\r\n1601=U_SPlain\r\n3203=U_SFourth\r\n3205=U_SSixth\r\n";

// What a fixture module is given; a resource left empty is not written.
struct ModuleContent {
    // Identifier and text; each block written holds its strings at their positions.
    std::vector<std::pair<uint32_t, std::u16string>> Strings = {{1600, u"%s has %d files"},
                                                                {1601, u"Plain text"},
                                                                {1602, u"Unnamed string"},
                                                                {3203, u"Fourth"},
                                                                {3205, u"Sixth"}};
    std::u16string IdentifierMap = FixtureMap;
    std::u16string Guid = FixtureGuid;
    bool WithForm = true;
    std::u16string Comments;
    std::u16string TranslatedMarks;
};

inline std::vector<uint8_t>
StringBlockBytes(uint32_t block, const std::vector<std::pair<uint32_t, std::u16string>>& strings) {
    std::vector<std::u16string> entries(16);
    for (const auto& [id, text] : strings)
        if (StringTableBlockOf(id) == block)
            entries[id % 16] = text;
    std::vector<uint8_t> bytes;
    for (const std::u16string& entry : entries) {
        const auto count = static_cast<uint16_t>(entry.size());
        bytes.push_back(static_cast<uint8_t>(count & 0xFF));
        bytes.push_back(static_cast<uint8_t>(count >> 8));
        for (const char16_t unit : entry) {
            bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<uint8_t>(unit >> 8));
        }
    }
    return bytes;
}

inline std::vector<uint8_t> TextBytes(const std::u16string& text) {
    const auto* data = reinterpret_cast<const uint8_t*>(text.data());
    return {data, data + text.size() * 2};
}

// The bytes of a resource of the module file, or nothing when it has none.
inline std::optional<std::vector<uint8_t>> ResourceBytes(const std::wstring& path, LPCWSTR type,
                                                         LPCWSTR name) {
    const UniqueModule module(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module)
        throw std::runtime_error("the module does not load");
    const HRSRC info = ::FindResourceW(module.get(), name, type);
    if (info == nullptr)
        return std::nullopt;
    const auto* data = static_cast<const uint8_t*>(::LockResource(::LoadResource(module.get(), info)));
    return std::vector<uint8_t>(data, data + ::SizeofResource(module.get(), info));
}

inline std::u16string TextOf(const std::optional<std::vector<uint8_t>>& bytes) {
    if (!bytes)
        return u"<absent>";
    std::u16string text(bytes->size() / 2, u'\0');
    std::memcpy(text.data(), bytes->data(), text.size() * 2);
    return text;
}

// The sixteen entries of a string-table block as stored.
inline std::vector<std::u16string> StringBlockOf(const std::wstring& path, uint32_t block) {
    const auto bytes = ResourceBytes(path, RT_STRING, MAKEINTRESOURCEW(block));
    if (!bytes)
        return {};
    std::vector<std::u16string> entries;
    size_t position = 0;
    while (entries.size() < 16 && position + 2 <= bytes->size()) {
        const size_t count = (*bytes)[position] | ((*bytes)[position + 1] << 8);
        position += 2;
        std::u16string entry(count, u'\0');
        if (count * 2 > bytes->size() - position)
            break;
        std::memcpy(entry.data(), bytes->data() + position, count * 2);
        position += count * 2;
        entries.push_back(entry);
    }
    return entries;
}

// A copy of the stand-in at path with the content's resources; returns path.
inline std::wstring MakeFixtureModule(const std::wstring& path, const ModuleContent& content) {
    if (!::CopyFileW(HostPath(STANDIN_DAO_PATH).c_str(), path.c_str(), FALSE))
        throw std::runtime_error("the stand-in cannot be copied");
    UniqueResourceUpdate update(::BeginUpdateResourceW(path.c_str(), FALSE));
    if (!update)
        throw std::runtime_error("no resource update");
    const auto add = [&](LPCWSTR type, LPCWSTR resource, std::vector<uint8_t> bytes) {
        if (!::UpdateResourceW(update.get(), type, resource, 0, bytes.data(),
                               static_cast<DWORD>(bytes.size())))
            throw std::runtime_error("a resource is refused");
    };
    std::vector<uint32_t> blocks;
    for (const auto& entry : content.Strings)
        if (std::find(blocks.begin(), blocks.end(), StringTableBlockOf(entry.first)) == blocks.end())
            blocks.push_back(StringTableBlockOf(entry.first));
    for (const uint32_t block : blocks)
        add(RT_STRING, MAKEINTRESOURCEW(block), StringBlockBytes(block, content.Strings));
    if (!content.IdentifierMap.empty())
        add(RT_RCDATA, L"VYN.DRC", TextBytes(content.IdentifierMap));
    if (!content.Guid.empty())
        add(RT_RCDATA, L"VYN_TRX_GUID", TextBytes(content.Guid));
    if (!content.Comments.empty())
        add(RT_RCDATA, L"VYN_TRX_XRC", TextBytes(content.Comments));
    if (!content.TranslatedMarks.empty())
        add(RT_RCDATA, L"VYN.XRS", TextBytes(content.TranslatedMarks));
    if (content.WithForm) {
        const HRSRC info = ::FindResourceW(nullptr, L"TTABLEFIXTUREFORM", RT_RCDATA);
        const auto* data = static_cast<const uint8_t*>(::LockResource(::LoadResource(nullptr, info)));
        add(RT_RCDATA, L"TTABLEFIXTUREFORM",
            std::vector<uint8_t>(data, data + ::SizeofResource(nullptr, info)));
    }
    if (!::EndUpdateResourceW(update.release(), FALSE))
        throw std::runtime_error("the update is not written");
    return path;
}
