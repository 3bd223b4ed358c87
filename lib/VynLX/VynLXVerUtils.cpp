#include "VynLXVerUtils.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "ByteReader.h"
#include "VynFormatStrUtils.h"
#include "VynLXUtils.h"
#include "VynWindows.h"

namespace {

// A value of the block as a reader over its bytes alone. A value inside the block is cut to the
// block's end. The ANSI path of the wrapper hands string values back as wide text of its own,
// outside the block; those are whole by construction.
std::optional<ByteReader> QueryValue(const TVersionInfoBlock& block, const WideString& subBlock,
                                     size_t unitSize) {
    void* value = nullptr;
    UINT length = 0;
    if (block.empty() || !VynVerQueryValueW(block.data(), subBlock.c_str(), &value, &length) ||
        value == nullptr)
        return std::nullopt;
    const uint64_t bytes = uint64_t{length} * unitSize;
    // Compared as addresses: the value need not lie in the block's object at all.
    const auto address = reinterpret_cast<uintptr_t>(value);
    const auto begin = reinterpret_cast<uintptr_t>(block.data());
    if (address >= begin && address - begin < block.size()) {
        ByteReader inBlock(block.data(), block.size());
        inBlock.Seek(address - begin);
        const uint64_t whole = inBlock.Remaining() / unitSize * unitSize;
        return ByteReader(inBlock.ReadSpan(std::min(bytes, whole)));
    }
    return ByteReader(static_cast<const uint8_t*>(value), static_cast<size_t>(bytes));
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
    std::optional<ByteReader> value = QueryValue(block, u"\\VarFileInfo\\Translation", 1);
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
    std::optional<ByteReader> value = QueryValue(block, subBlock, sizeof(char16_t));
    if (!value)
        return WideString();
    WideString text = value->ReadWideString(value->Remaining() / sizeof(char16_t));
    const size_t end = text.find(u'\0');
    if (end != WideString::npos)
        text.resize(end);
    return text;
}

VS_FIXEDFILEINFO GetFixedFileInfo(const WideString& path) {
    VS_FIXEDFILEINFO info{};
    const TVersionInfoBlock block = GetFileVersionInfoBlock(path);
    std::optional<ByteReader> value = QueryValue(block, u"\\", 1);
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
