#include "TraceFileVersion.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "ByteReader.h"
#include "TextConversion.h"
#include "VynFormatStrUtils.h"
#include "VynWindows.h"

namespace {

using VersionBlock = std::vector<uint8_t>;

VersionBlock ReadVersionBlock(const WideString& path) {
    DWORD unused = 0;
    const DWORD size = VynGetFileVersionInfoSizeW(path.c_str(), &unused);
    if (size == 0)
        return VersionBlock();
    VersionBlock block(size, 0);
    if (!VynGetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return VersionBlock();
    return block;
}

// A value of the block, cut to the block's end when it lies inside it. The ANSI path of the
// wrapper hands strings back as wide text of its own outside the block, whole by construction.
std::optional<ByteReader> QueryValue(const VersionBlock& block, const WideString& subBlock, size_t unitSize) {
    void* value = nullptr;
    UINT length = 0;
    if (block.empty() || !VynVerQueryValueW(block.data(), subBlock.c_str(), &value, &length) ||
        value == nullptr)
        return std::nullopt;
    const uint64_t bytes = uint64_t{length} * unitSize;
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

std::optional<VS_FIXEDFILEINFO> FixedRecord(const VersionBlock& block) {
    std::optional<ByteReader> value = QueryValue(block, u"\\", 1);
    VS_FIXEDFILEINFO info{};
    if (!value || value->Remaining() < sizeof info)
        return std::nullopt;
    value->ReadInto(&info, sizeof info);
    return info;
}

AnsiString StringValue(const VersionBlock& block, const char16_t* name) {
    std::optional<ByteReader> translation = QueryValue(block, u"\\VarFileInfo\\Translation", 1);
    if (!translation || translation->Remaining() < 2 * sizeof(uint16_t))
        return AnsiString();
    const uint16_t language = translation->ReadU16();
    const uint16_t codePage = translation->ReadU16();
    const WideString subBlock = FormatWide(u"\\StringFileInfo\\%.4x%.4x\\%s", {language, codePage, name});
    std::optional<ByteReader> value = QueryValue(block, subBlock, sizeof(char16_t));
    if (!value)
        return AnsiString();
    WideString text = value->ReadWideString(value->Remaining() / sizeof(char16_t));
    text.resize(std::min(text.size(), text.find(u'\0')));
    return WideToAnsi(text);
}

} // namespace

std::optional<TReportModuleVersion> ReadReportModuleVersion(const WideString& path) {
    const VersionBlock block = ReadVersionBlock(path);
    const std::optional<VS_FIXEDFILEINFO> fixed = FixedRecord(block);
    if (!fixed)
        return std::nullopt;
    TReportModuleVersion version;
    version.FileVersion = {static_cast<uint16_t>(fixed->dwFileVersionMS >> 16),
                           static_cast<uint16_t>(fixed->dwFileVersionMS & 0xFFFF),
                           static_cast<uint16_t>(fixed->dwFileVersionLS >> 16),
                           static_cast<uint16_t>(fixed->dwFileVersionLS & 0xFFFF)};
    version.FileVersionText = StringValue(block, u"FileVersion");
    version.FileDescription = StringValue(block, u"FileDescription");
    return version;
}

uint32_t ReadProductVersionMajorMinor(const WideString& path) {
    const std::optional<VS_FIXEDFILEINFO> fixed = FixedRecord(ReadVersionBlock(path));
    return fixed ? fixed->dwProductVersionMS : 0;
}
