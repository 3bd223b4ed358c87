#include "VynLXVerUtils.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "ByteReader.h"
#include "VersionBlock.h"
#include "VynClasses.h"
#include "VynFormatStrUtils.h"
#include "VynLXUtils.h"
#include "VynWindows.h"

namespace {

// A value of the block as a reader over its bytes, which the block's own reader keeps inside it:
// the block comes from a file on disk, so nothing in it is trusted.
std::optional<ByteReader> QueryValue(const TVersionInfoBlock& block, std::u16string_view subBlock) {
    const std::optional<VersionValue> value = FindVersionValue(block, subBlock);
    if (!value)
        return std::nullopt;
    return ByteReader(std::span(block).subspan(value->Offset, value->Size));
}

// A string value of the wide layout. Callers of VerQueryValueW count a string's length in
// characters whatever its node's type says, so one marked binary still yields that many (cut to
// the block): tools that write wType 0 for strings exist.
std::optional<ByteReader> QueryWideString(const TVersionInfoBlock& block, std::u16string_view subBlock) {
    const std::optional<VersionValue> value = FindVersionValue(block, subBlock);
    if (!value)
        return std::nullopt;
    if (value->IsText)
        return ByteReader(std::span(block).subspan(value->Offset, value->Size));
    const size_t units = std::min(value->Length, (block.size() - value->Offset) / sizeof(char16_t));
    return ByteReader(std::span(block).subspan(value->Offset, units * sizeof(char16_t)));
}

} // namespace

TVersionInfoBlock GetFileVersionInfoBlock(const WideString& path) {
    AssertFileExists(path);
    DWORD unused = 0;
    const DWORD size = VynGetFileVersionInfoSizeW(path.c_str(), &unused);
    if (size == 0)
        return TVersionInfoBlock();
    TVersionInfoBlock block(size, 0);
    if (!VynGetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return TVersionInfoBlock();
    return block;
}

uint32_t GetFileTranslation(const WideString& path) {
    const TVersionInfoBlock block = GetFileVersionInfoBlock(path);
    std::optional<ByteReader> value = QueryValue(block, u"\\VarFileInfo\\Translation");
    // The table holds (language, code page) pairs of 16-bit words; only the first counts.
    if (!value || value->Remaining() < 2 * sizeof(uint16_t))
        return 0;
    const uint16_t language = value->ReadU16();
    const uint16_t codePage = value->ReadU16();
    return language | static_cast<uint32_t>(codePage) << 16;
}

WideString GetFileVersionString(const WideString& name, const WideString& path, uint16_t language,
                                uint16_t codePage) {
    const TVersionInfoBlock block = GetFileVersionInfoBlock(path);
    if (block.empty())
        return WideString();
    if (language == 0 || codePage == 0) {
        const uint32_t translation = GetFileTranslation(path);
        language = static_cast<uint16_t>(translation & 0xFFFF);
        codePage = static_cast<uint16_t>(translation >> 16);
    }
    const WideString subBlock =
        FormatWide(u"%s\\%.4x%.4x\\%s", {u"\\StringFileInfo", language, codePage, name});
    // Windows 9x hands GetFileVersionInfoA's callers the 16-bit layout, whose texts are ANSI.
    if (VersionBlockLayoutOf(block) == VersionBlockLayout::Ansi16) {
        std::optional<ByteReader> value = QueryValue(block, subBlock);
        if (!value)
            return WideString();
        AnsiString text = value->ReadString(value->Remaining());
        text.resize(std::min(text.size(), text.find('\0')));
        return AnsiToWideCP(text, DefaultCodePage);
    }
    std::optional<ByteReader> value = QueryWideString(block, subBlock);
    if (!value)
        return WideString();
    WideString text = value->ReadWideString(value->Remaining() / sizeof(char16_t));
    text.resize(std::min(text.size(), text.find(u'\0')));
    return text;
}

VS_FIXEDFILEINFO GetFixedFileInfo(const WideString& path) {
    VS_FIXEDFILEINFO info{};
    const TVersionInfoBlock block = GetFileVersionInfoBlock(path);
    std::optional<ByteReader> value = QueryValue(block, u"\\");
    // A resource without the fixed record answers the root query with a shorter value (or none).
    if (value && value->Remaining() >= sizeof(info))
        value->ReadInto(&info, sizeof(info));
    return info;
}

TComponentVersion ReadFileVersion(const WideString& path) {
    const VS_FIXEDFILEINFO info = GetFixedFileInfo(path);
    return static_cast<TComponentVersion>(info.dwFileVersionMS) << 32 | info.dwFileVersionLS;
}

WideString ComponentVersionToStr(int style, TComponentVersion version) {
    const auto field = [version](int shift) { return static_cast<int>((version >> shift) & 0xFFFF); };
    const int major = field(48), minor = field(32), release = field(16), build = field(0);
    switch (style) {
    case 1:
        return FormatWide(u"%d.%d.%d", {major, minor, release});
    case 2:
        return FormatWide(u"%d.%d r%d", {major, minor, release});
    case 3:
        return FormatWide(u"%d.%d", {major, minor});
    default:
        return FormatWide(u"%d.%d.%d.%d", {major, minor, release, build});
    }
}

TComponentVersion MakeComponentVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build) {
    return static_cast<TComponentVersion>(major & 0xFFFF) << 48 |
           static_cast<TComponentVersion>(minor & 0xFFFF) << 32 |
           static_cast<TComponentVersion>(release & 0xFFFF) << 16 | (build & 0xFFFF);
}
