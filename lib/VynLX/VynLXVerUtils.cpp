#include "VynLXVerUtils.h"

#include <cstring>

#include "VynFormatStrUtils.h"
#include "VynLXUtils.h"
#include "VynWindows.h"

namespace {

// A value of the block, checked to lie inside it. The ANSI path of the wrapper hands string values
// back as wide text of its own, outside the block; those are whole by construction.
struct TVersionValue {
    const uint8_t* Data = nullptr;
    size_t Bytes = 0;
};

bool QueryValue(const TVersionInfoBlock& block, const WideString& subBlock, size_t unitSize, TVersionValue& found) {
    void* value = nullptr;
    UINT length = 0;
    if (block.empty() || !VynVerQueryValueW(block.data(), subBlock.c_str(), &value, &length) || value == nullptr)
        return false;
    const auto* data = static_cast<const uint8_t*>(value);
    const uint8_t* begin = block.data();
    const uint8_t* end = begin + block.size();
    size_t bytes = static_cast<size_t>(length) * unitSize;
    const bool insideBlock = data >= begin && data < end;
    if (insideBlock && bytes > static_cast<size_t>(end - data))
        bytes = static_cast<size_t>(end - data) / unitSize * unitSize;
    found = TVersionValue{data, bytes};
    return true;
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
    TVersionValue value;
    if (!QueryValue(block, u"\\VarFileInfo\\Translation", 1, value) || value.Bytes <= 3)
        return 0;
    const auto byte = [&](size_t i) { return static_cast<uint32_t>(value.Data[i]); };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
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
    const WideString subBlock = FormatWide(u"%s\\%.4x%.4x\\%s", {u"\\StringFileInfo", language, codePage, name});
    TVersionValue value;
    if (!QueryValue(block, subBlock, sizeof(char16_t), value))
        return WideString();
    WideString text(value.Bytes / sizeof(char16_t), u'\0');
    std::memcpy(text.data(), value.Data, text.size() * sizeof(char16_t));
    const size_t end = text.find(u'\0');
    if (end != WideString::npos)
        text.resize(end);
    return text;
}

VS_FIXEDFILEINFO GetFixedFileInfo(const WideString& path) {
    VS_FIXEDFILEINFO info{};
    const TVersionInfoBlock block = GetFileVersionInfoBlock(path);
    TVersionValue value;
    // A resource without the fixed record answers the root query with a shorter value (or none).
    if (QueryValue(block, u"\\", 1, value) && value.Bytes >= sizeof(info))
        std::memcpy(&info, value.Data, sizeof(info));
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
    case 1: return FormatWide(u"%d.%d.%d", {major, minor, release});
    case 2: return FormatWide(u"%d.%d r%d", {major, minor, release});
    case 3: return FormatWide(u"%d.%d", {major, minor});
    default: return FormatWide(u"%d.%d.%d.%d", {major, minor, release, build});
    }
}

TComponentVersion MakeComponentVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build) {
    return static_cast<TComponentVersion>(major & 0xFFFF) << 48 | static_cast<TComponentVersion>(minor & 0xFFFF) << 32 |
           static_cast<TComponentVersion>(release & 0xFFFF) << 16 | (build & 0xFFFF);
}
