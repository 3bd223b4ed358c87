// Version-information blocks: the input is the block, optionally followed by the separator and a
// path of its own (UTF-16LE). Every answer lies inside the block, its size agrees with its length,
// it depends only on the bytes before its end, and neither the case of ASCII letters nor extra
// backslashes in the path change it.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "VersionBlock.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool Same(const std::optional<VersionValue>& a, const std::optional<VersionValue>& b) {
    if (!a || !b)
        return a.has_value() == b.has_value();
    return a->Offset == b->Offset && a->Size == b->Size && a->Length == b->Length && a->IsText == b->IsText;
}

WideString AsciiUpper(WideString text) {
    for (char16_t& unit : text)
        unit = unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit;
    return text;
}

void Query(std::span<const uint8_t> block, const WideString& path) {
    const std::optional<VersionValue> value = FindVersionValue(block, path);
    Check(Same(FindVersionValue(block, AsciiUpper(path)), value));
    Check(Same(FindVersionValue(block, u"\\\\" + path + u"\\"), value));
    if (!value)
        return;
    Check(value->Offset <= block.size() && value->Size <= block.size() - value->Offset);
    Check(value->Size == (value->IsText ? 2 * value->Length : value->Length));
    Check(!value->IsText || VersionBlockLayoutOf(block) == VersionBlockLayout::Wide);
    // A value with bytes starts on a 32-bit boundary; an empty one may sit at its node's end.
    Check(value->Size == 0 || value->Offset % 4 == 0);
    Check(Same(FindVersionValue(block.first(value->Offset + value->Size), path), value));
}

// The string tables a translation value names, as the library asks for them.
std::vector<WideString> TablesOf(std::span<const uint8_t> block) {
    std::vector<WideString> tables;
    const std::optional<VersionValue> translation = FindVersionValue(block, u"\\VarFileInfo\\Translation");
    if (!translation || translation->Size < 4)
        return tables;
    const uint8_t* pair = block.data() + translation->Offset;
    static constexpr char16_t Hex[] = u"0123456789abcdef";
    WideString table = u"\\StringFileInfo\\";
    for (int word : {pair[0] | pair[1] << 8, pair[2] | pair[3] << 8})
        for (int shift = 12; shift >= 0; shift -= 4)
            table.push_back(Hex[(word >> shift) & 0xF]);
    tables.push_back(table);
    return tables;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [blockText, pathText] = fuzz::SplitInTwo(data, size);
    const std::span<const uint8_t> block(reinterpret_cast<const uint8_t*>(blockText.data()),
                                         blockText.size());
    std::vector<WideString> paths = {u"\\", u"\\VarFileInfo\\Translation", u"\\StringFileInfo",
                                     u"\\StringFileInfo\\040904b0\\ProductName",
                                     u"\\StringFileInfo\\040904E4\\CompanyName"};
    for (const WideString& table : TablesOf(block)) {
        paths.push_back(table);
        paths.push_back(table + u"\\CompanyName");
        paths.push_back(table + u"\\ProductName");
        paths.push_back(table + u"\\FileVersion");
    }
    if (!pathText.empty())
        paths.push_back(fuzz::AsWide(reinterpret_cast<const uint8_t*>(pathText.data()), pathText.size()));
    for (const WideString& path : paths)
        Query(block, path);
    return 0;
}
