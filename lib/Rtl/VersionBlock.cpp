#include "VersionBlock.h"

#include <algorithm>

#include "AsciiText.h"
#include "ByteReader.h"
#include "SysTypes.h"

namespace {

// wLength, wValueLength and wType, then at least the key's terminator.
constexpr size_t WideHeaderSize = 3 * sizeof(uint16_t);
constexpr size_t WideMinimumNode = WideHeaderSize + sizeof(char16_t);
// wLength and wValueLength, then at least the key's terminator.
constexpr size_t AnsiHeaderSize = 2 * sizeof(uint16_t);
constexpr size_t AnsiMinimumNode = AnsiHeaderSize + 1;
// Where the root's key starts in the 16-bit layout; the wide layout keeps wType there.
constexpr size_t AnsiKeyOffset = AnsiHeaderSize;

struct Node {
    size_t End = 0; // one past the node's last byte, within its parent
    WideString Key;
    VersionValue Value;
    size_t ChildrenOffset = 0;
};

// The next 32-bit boundary counted from the block's start, or end when that lies beyond it.
// Written as a comparison of the padding with the room left, so it cannot wrap.
size_t AlignedWithin(size_t offset, size_t end) {
    const size_t padding = (4 - offset % 4) % 4;
    return padding > end - offset ? end : offset + padding;
}

// The key from the reader's position to its terminator, which must lie before the reader's end
// (the node's end).
std::optional<WideString> ReadKey(ByteReader& reader, VersionBlockLayout layout) {
    if (layout == VersionBlockLayout::Wide) {
        WideString key;
        while (reader.Remaining() >= sizeof(char16_t)) {
            const char16_t unit = reader.ReadU16();
            if (unit == 0)
                return key;
            key.push_back(unit);
        }
        return std::nullopt;
    }
    WideString key;
    while (!reader.AtEnd()) {
        const uint8_t byte = reader.ReadU8();
        if (byte == 0)
            return key;
        key.push_back(byte);
    }
    return std::nullopt;
}

// The node at start, clamped to limit (its parent's end, or the block's for the root).
std::optional<Node> ReadNode(std::span<const uint8_t> block, VersionBlockLayout layout, size_t start,
                             size_t limit) {
    const bool wide = layout == VersionBlockLayout::Wide;
    if (start >= limit || limit - start < (wide ? WideMinimumNode : AnsiMinimumNode))
        return std::nullopt;
    ByteReader header(block.data(), limit);
    header.Seek(start);
    const uint16_t length = header.ReadU16();
    const uint16_t valueLength = header.ReadU16();
    const uint16_t type = wide ? header.ReadU16() : 0;
    if (length < (wide ? WideMinimumNode : AnsiMinimumNode))
        return std::nullopt;

    Node node;
    node.End = start + std::min<size_t>(length, limit - start);
    // Everything the node holds is read through a cursor that ends with the node.
    ByteReader reader(block.data(), node.End);
    reader.Seek(header.Position());
    std::optional<WideString> key = ReadKey(reader, layout);
    if (!key)
        return std::nullopt;
    node.Key = std::move(*key);

    const bool text = wide && type == 1;
    const size_t unit = text ? sizeof(char16_t) : 1;
    const size_t offset = AlignedWithin(reader.Position(), node.End);
    const size_t room = (node.End - offset) / unit;
    const size_t units = std::min<size_t>(valueLength, room);
    node.Value = VersionValue{offset, units * unit, units, text};
    // A value that overran its node leaves no room for children.
    node.ChildrenOffset = units < valueLength ? node.End : AlignedWithin(offset + units * unit, node.End);
    return node;
}

// The first child of parent whose key is segment, ignoring the case of ASCII letters.
std::optional<Node> FindChild(std::span<const uint8_t> block, VersionBlockLayout layout, const Node& parent,
                              std::u16string_view segment) {
    size_t at = parent.ChildrenOffset;
    while (at < parent.End) {
        std::optional<Node> child = ReadNode(block, layout, at, parent.End);
        if (!child)
            return std::nullopt;
        if (EqualsIgnoringAsciiCase(child->Key, segment))
            return child;
        // Every node holds at least its header, so each step moves forward.
        at = AlignedWithin(child->End, parent.End);
    }
    return std::nullopt;
}

} // namespace

std::optional<VersionBlockLayout> VersionBlockLayoutOf(std::span<const uint8_t> block) {
    if (block.size() <= AnsiKeyOffset)
        return std::nullopt;
    // wType is 0 or 1; a key starts with a printable character.
    return block[AnsiKeyOffset] >= 0x20 ? VersionBlockLayout::Ansi16 : VersionBlockLayout::Wide;
}

std::optional<VersionValue> FindVersionValue(std::span<const uint8_t> block, std::u16string_view path) {
    const std::optional<VersionBlockLayout> layout = VersionBlockLayoutOf(block);
    if (!layout)
        return std::nullopt;
    std::optional<Node> node = ReadNode(block, *layout, 0, block.size());
    size_t depth = 0;
    while (node) {
        const size_t start = path.find_first_not_of(u'\\');
        if (start == std::u16string_view::npos)
            return node->Value;
        path.remove_prefix(start);
        const size_t end = std::min(path.find(u'\\'), path.size());
        if (++depth > MaxVersionPathDepth)
            return std::nullopt;
        node = FindChild(block, *layout, *node, path.substr(0, end));
        path.remove_prefix(end);
    }
    return std::nullopt;
}
