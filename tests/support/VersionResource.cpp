#include "VersionResource.h"

#include <stdexcept>

namespace {

struct TNode {
    std::wstring Key;
    // 1 for text values, 0 for binary ones.
    uint16_t Type = 1;
    std::vector<uint8_t> Value;
    // Characters for text values, bytes for binary ones.
    uint16_t ValueLength = 0;
    std::vector<TNode> Children;
};

void Align(std::vector<uint8_t>& out) {
    while (out.size() % 4 != 0)
        out.push_back(0);
}

void PutWord(std::vector<uint8_t>& out, size_t at, uint16_t value) {
    out[at] = static_cast<uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void AppendWord(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(0);
    out.push_back(0);
    PutWord(out, out.size() - 2, value);
}

void Serialize(const TNode& node, std::vector<uint8_t>& out) {
    Align(out);
    const size_t start = out.size();
    AppendWord(out, 0);
    AppendWord(out, node.ValueLength);
    AppendWord(out, node.Type);
    for (wchar_t c : node.Key)
        AppendWord(out, static_cast<uint16_t>(c));
    AppendWord(out, 0);
    Align(out);
    out.insert(out.end(), node.Value.begin(), node.Value.end());
    for (const TNode& child : node.Children)
        Serialize(child, out);
    PutWord(out, start, static_cast<uint16_t>(out.size() - start));
}

std::vector<uint8_t> TextBytes(const std::wstring& text) {
    std::vector<uint8_t> bytes;
    for (wchar_t c : text)
        AppendWord(bytes, static_cast<uint16_t>(c));
    AppendWord(bytes, 0);
    return bytes;
}

std::vector<uint8_t> FixedRecord(const TVersionResourceShape& shape) {
    VS_FIXEDFILEINFO info{};
    info.dwSignature = VS_FFI_SIGNATURE;
    info.dwStrucVersion = VS_FFI_STRUCVERSION;
    const auto pair = [](uint16_t high, uint16_t low) { return static_cast<DWORD>(high) << 16 | low; };
    info.dwFileVersionMS = pair(shape.FileVersion[0], shape.FileVersion[1]);
    info.dwFileVersionLS = pair(shape.FileVersion[2], shape.FileVersion[3]);
    info.dwProductVersionMS = pair(shape.ProductVersion[0], shape.ProductVersion[1]);
    info.dwProductVersionLS = pair(shape.ProductVersion[2], shape.ProductVersion[3]);
    info.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    info.dwFileOS = VOS_NT_WINDOWS32;
    info.dwFileType = VFT_DLL;
    const auto* bytes = reinterpret_cast<const uint8_t*>(&info);
    return std::vector<uint8_t>(bytes, bytes + sizeof info);
}

} // namespace

std::vector<uint8_t> BuildVersionResource(const TVersionResourceShape& shape) {
    TNode root{L"VS_VERSION_INFO", 0, {}, 0, {}};
    if (shape.WithFixedRecord) {
        root.Value = FixedRecord(shape);
        root.ValueLength = static_cast<uint16_t>(root.Value.size());
    }
    if (!shape.StringTables.empty()) {
        TNode info{L"StringFileInfo", 1, {}, 0, {}};
        for (const TVersionStringTable& table : shape.StringTables) {
            TNode tableNode{table.LanguageCodePage, 1, {}, 0, {}};
            for (const auto& [name, text] : table.Values) {
                const uint16_t type = shape.StringsMarkedBinary ? 0 : 1;
                TNode value{name, type, TextBytes(text), static_cast<uint16_t>(text.size() + 1), {}};
                tableNode.Children.push_back(value);
            }
            info.Children.push_back(tableNode);
        }
        root.Children.push_back(info);
    }
    if (!shape.Translations.empty()) {
        TNode translation{L"Translation", 0, {}, 0, {}};
        for (uint32_t pair : shape.Translations) {
            AppendWord(translation.Value, static_cast<uint16_t>(pair & 0xFFFF));
            AppendWord(translation.Value, static_cast<uint16_t>(pair >> 16));
        }
        translation.ValueLength = static_cast<uint16_t>(translation.Value.size());
        root.Children.push_back(TNode{L"VarFileInfo", 1, {}, 0, {translation}});
    }
    std::vector<uint8_t> out;
    Serialize(root, out);
    return out;
}

void CopyWithVersionResource(const std::wstring& source, const std::wstring& target,
                             const std::vector<uint8_t>& block) {
    if (!::CopyFileW(source.c_str(), target.c_str(), FALSE))
        throw std::runtime_error("cannot copy the fixture library");
    HANDLE update = ::BeginUpdateResourceW(target.c_str(), FALSE);
    if (update == nullptr)
        throw std::runtime_error("cannot open the fixture's resources");
    const bool updated = ::UpdateResourceW(
        update, RT_VERSION, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
        const_cast<uint8_t*>(block.data()), static_cast<DWORD>(block.size()));
    // Ending the update also discards it when the change failed, so the handle never leaks.
    const bool written = ::EndUpdateResourceW(update, updated ? FALSE : TRUE);
    if (!updated || !written)
        throw std::runtime_error("cannot replace the fixture's version resource");
}
