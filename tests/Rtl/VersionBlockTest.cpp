// Version-information blocks read from untrusted bytes: queries as VerQueryValueW answers them, in
// both layouts, and blocks cut, overlong, deeply nested or mutated.
#include "VersionBlock.h"

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A node as the tests build it; the lengths may be overridden to make malformed blocks.
struct TestNode {
    std::u16string Key;
    uint16_t Type = 0; // wide layout only
    Bytes Value;
    uint16_t ValueLength = 0;
    std::vector<TestNode> Children;
    std::optional<uint16_t> LengthOverride;
    std::optional<uint16_t> ValueLengthOverride;
};

void AppendWord(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutWord(Bytes& out, size_t at, uint16_t value) {
    out[at] = static_cast<uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Align(Bytes& out) {
    while (out.size() % 4 != 0)
        out.push_back(0);
}

void Serialize(const TestNode& node, VersionBlockLayout layout, Bytes& out) {
    Align(out);
    const size_t start = out.size();
    AppendWord(out, 0);
    AppendWord(out, node.ValueLengthOverride.value_or(node.ValueLength));
    if (layout == VersionBlockLayout::Wide) {
        AppendWord(out, node.Type);
        for (char16_t unit : node.Key)
            AppendWord(out, unit);
        AppendWord(out, 0);
    } else {
        for (char16_t unit : node.Key)
            out.push_back(static_cast<uint8_t>(unit));
        out.push_back(0);
    }
    Align(out);
    out.insert(out.end(), node.Value.begin(), node.Value.end());
    for (const TestNode& child : node.Children)
        Serialize(child, layout, out);
    PutWord(out, start, node.LengthOverride.value_or(static_cast<uint16_t>(out.size() - start)));
}

Bytes Serialize(const TestNode& root, VersionBlockLayout layout) {
    Bytes out;
    Serialize(root, layout, out);
    return out;
}

TestNode Binary(std::u16string key, Bytes value) {
    const auto length = static_cast<uint16_t>(value.size());
    return TestNode{std::move(key), 0, std::move(value), length, {}, {}, {}};
}

TestNode Parent(std::u16string key, std::vector<TestNode> children) {
    return TestNode{std::move(key), 1, {}, 0, std::move(children), {}, {}};
}

// Text with its terminator: UTF-16 units counted in the wide layout, bytes in the 16-bit one.
TestNode Text(std::u16string key, const std::u16string& text, VersionBlockLayout layout) {
    TestNode node{std::move(key), 1, {}, static_cast<uint16_t>(text.size() + 1), {}, {}, {}};
    for (char16_t unit : text + u'\0') {
        if (layout == VersionBlockLayout::Wide)
            AppendWord(node.Value, unit);
        else
            node.Value.push_back(static_cast<uint8_t>(unit));
    }
    return node;
}

Bytes FixedRecord() {
    Bytes record;
    for (uint32_t field : {VersionFixedRecordSignature, 0x00010000u, 0x00030006u, 0x00000011u, 0x00030006u,
                           0x00000000u, 0x3Fu, 0u, 0x40004u, 2u, 0u, 0u, 0u}) {
        AppendWord(record, static_cast<uint16_t>(field & 0xFFFF));
        AppendWord(record, static_cast<uint16_t>(field >> 16));
    }
    return record;
}

// The shape resource compilers write: the fixed record, two string tables, two translations.
TestNode Standard(VersionBlockLayout layout) {
    TestNode root = Binary(u"VS_VERSION_INFO", FixedRecord());
    root.Children = {
        Parent(u"StringFileInfo", {Parent(u"040904b0", {Text(u"CompanyName", u"Ferrule project", layout),
                                                        Text(u"ProductName", u"DAO", layout),
                                                        Text(u"FileVersion", u"3.6.0.17", layout)}),
                                   Parent(u"040704e4", {Text(u"ProductName", u"Produkt", layout)})}),
        Parent(u"VarFileInfo", {Binary(u"Translation", {0x09, 0x04, 0xB0, 0x04, 0x07, 0x04, 0xE4, 0x04})}),
    };
    return root;
}

const std::vector<std::u16string>& Paths() {
    static const std::vector<std::u16string> paths = {
        u"\\",
        u"\\VarFileInfo\\Translation",
        u"\\StringFileInfo\\040904b0\\CompanyName",
        u"\\StringFileInfo\\040904b0\\ProductName",
        u"\\StringFileInfo\\040904b0\\FileVersion",
        u"\\StringFileInfo\\040704e4\\ProductName",
        u"\\StringFileInfo",
        u"\\StringFileInfo\\040904b0\\Missing",
    };
    return paths;
}

Bytes BytesOf(const Bytes& block, const VersionValue& value) {
    return Bytes(block.begin() + static_cast<long>(value.Offset),
                 block.begin() + static_cast<long>(value.Offset + value.Size));
}

// The text of a value up to its first zero, in either layout.
std::u16string TextOf(const Bytes& block, std::u16string_view path) {
    const std::optional<VersionValue> value = FindVersionValue(block, path);
    if (!value)
        return u"<none>";
    std::u16string text;
    const Bytes bytes = BytesOf(block, *value);
    if (value->IsText) {
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    } else {
        text.assign(bytes.begin(), bytes.end());
    }
    return text.substr(0, text.find(u'\0'));
}

uint32_t DwordAt(const Bytes& block, size_t offset) {
    return block[offset] | block[offset + 1] << 8 | block[offset + 2] << 16 |
           static_cast<uint32_t>(block[offset + 3]) << 24;
}

void ExpectInside(const Bytes& block, const std::optional<VersionValue>& value) {
    if (!value)
        return;
    EXPECT_LE(value->Offset, block.size());
    EXPECT_LE(value->Size, block.size() - value->Offset);
    EXPECT_EQ(value->Size, value->IsText ? 2 * value->Length : value->Length);
}

TEST(VersionBlockQueries, AWideBlockAnswersTheFixedRecordTranslationsAndStrings) {
    const Bytes block = Serialize(Standard(VersionBlockLayout::Wide), VersionBlockLayout::Wide);
    ASSERT_EQ(VersionBlockLayoutOf(block), VersionBlockLayout::Wide);

    const std::optional<VersionValue> fixed = FindVersionValue(block, u"\\");
    ASSERT_TRUE(fixed);
    // Six header bytes and sixteen key units end at 38; the value starts on the next boundary.
    EXPECT_EQ(fixed->Offset, 40u);
    EXPECT_EQ(fixed->Size, 52u);
    EXPECT_EQ(fixed->Length, 52u);
    EXPECT_FALSE(fixed->IsText);
    EXPECT_EQ(DwordAt(block, fixed->Offset), VersionFixedRecordSignature);

    const std::optional<VersionValue> translation = FindVersionValue(block, u"\\VarFileInfo\\Translation");
    ASSERT_TRUE(translation);
    EXPECT_EQ(BytesOf(block, *translation), (Bytes{0x09, 0x04, 0xB0, 0x04, 0x07, 0x04, 0xE4, 0x04}));

    const std::optional<VersionValue> company =
        FindVersionValue(block, u"\\StringFileInfo\\040904b0\\CompanyName");
    ASSERT_TRUE(company);
    // Characters with the terminator, as the system reports them.
    EXPECT_EQ(company->Length, 16u);
    EXPECT_EQ(company->Size, 32u);
    EXPECT_TRUE(company->IsText);
    EXPECT_EQ(TextOf(block, u"\\StringFileInfo\\040904b0\\CompanyName"), u"Ferrule project");
    EXPECT_EQ(TextOf(block, u"\\StringFileInfo\\040904b0\\FileVersion"), u"3.6.0.17");
    EXPECT_EQ(TextOf(block, u"\\StringFileInfo\\040704e4\\ProductName"), u"Produkt");

    // A node without a value of its own is found all the same.
    const std::optional<VersionValue> info = FindVersionValue(block, u"\\StringFileInfo");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->Length, 0u);

    EXPECT_FALSE(FindVersionValue(block, u"\\StringFileInfo\\040904b0\\Missing"));
    EXPECT_FALSE(FindVersionValue(block, u"\\StringFileInfo\\041104b0\\ProductName"));
    EXPECT_FALSE(FindVersionValue(block, u"\\VarFileInfo\\Translation\\More"));
    EXPECT_FALSE(FindVersionValue(block, u"\\VS_VERSION_INFO"));
}

TEST(VersionBlockQueries, KeysIgnoreTheCaseOfAsciiLettersOnly) {
    TestNode root = Standard(VersionBlockLayout::Wide);
    root.Children[0].Children[0].Children.push_back(Text(u"\u00C4nderung", u"ja", VersionBlockLayout::Wide));
    const Bytes block = Serialize(root, VersionBlockLayout::Wide);
    EXPECT_EQ(TextOf(block, u"\\STRINGFILEINFO\\040904B0\\productname"), u"DAO");
    EXPECT_EQ(TextOf(block, u"\\varfileinfo\\TRANSLATION").size(), 8u);
    EXPECT_EQ(TextOf(block, u"\\StringFileInfo\\040904b0\\\u00C4NDERUNG"), u"ja");
    EXPECT_EQ(TextOf(block, u"\\StringFileInfo\\040904b0\\\u00E4nderung"), u"<none>");
    // Whole keys only: neither a prefix nor a longer name matches.
    EXPECT_FALSE(FindVersionValue(block, u"\\StringFile"));
    EXPECT_FALSE(FindVersionValue(block, u"\\StringFileInfoX"));
}

TEST(VersionBlockQueries, EmptySegmentsAreSkipped) {
    const Bytes block = Serialize(Standard(VersionBlockLayout::Wide), VersionBlockLayout::Wide);
    for (std::u16string_view root : {u"", u"\\", u"\\\\\\"})
        EXPECT_EQ(FindVersionValue(block, root)->Offset, 40u) << std::string(root.begin(), root.end());
    for (std::u16string_view path :
         {u"StringFileInfo\\040904b0\\ProductName", u"\\\\StringFileInfo\\\\040904b0\\ProductName\\",
          u"\\StringFileInfo\\040904b0\\\\\\ProductName\\\\"})
        EXPECT_EQ(TextOf(block, path), u"DAO") << std::string(path.begin(), path.end());
    // Only named levels count towards the depth limit.
    EXPECT_EQ(TextOf(block, std::u16string(1000, u'\\') + u"StringFileInfo\\040904b0\\ProductName"), u"DAO");
}

TEST(VersionBlockLayouts, TheSixteenBitLayoutIsToldByItsRootKeyAndCountsBytes) {
    const Bytes block = Serialize(Standard(VersionBlockLayout::Ansi16), VersionBlockLayout::Ansi16);
    ASSERT_EQ(VersionBlockLayoutOf(block), VersionBlockLayout::Ansi16);
    const std::optional<VersionValue> fixed = FindVersionValue(block, u"\\");
    ASSERT_TRUE(fixed);
    // Four header bytes and sixteen key bytes: already on a boundary.
    EXPECT_EQ(fixed->Offset, 20u);
    EXPECT_EQ(fixed->Size, 52u);
    EXPECT_EQ(DwordAt(block, fixed->Offset), VersionFixedRecordSignature);

    const std::optional<VersionValue> company =
        FindVersionValue(block, u"\\StringFileInfo\\040904b0\\CompanyName");
    ASSERT_TRUE(company);
    EXPECT_EQ(company->Length, 16u);
    EXPECT_EQ(company->Size, 16u);
    EXPECT_FALSE(company->IsText);
    EXPECT_EQ(TextOf(block, u"\\stringfileinfo\\040704E4\\PRODUCTNAME"), u"Produkt");
    EXPECT_EQ(FindVersionValue(block, u"\\VarFileInfo\\Translation")->Size, 8u);

    // Too short to tell the layout.
    for (size_t size = 0; size <= 4; ++size)
        EXPECT_FALSE(VersionBlockLayoutOf(std::span(block.data(), size)));
}

TEST(VersionBlockAlignment, ValuesAndSiblingsStartOnThirtyTwoBitBoundaries) {
    for (const VersionBlockLayout layout : {VersionBlockLayout::Wide, VersionBlockLayout::Ansi16}) {
        // Keys and values of every length modulo four, so each kind of padding occurs.
        TestNode root = Binary(u"VS_VERSION_INFO", {});
        std::vector<std::u16string> keys;
        for (size_t keyLength = 1; keyLength <= 4; ++keyLength) {
            for (uint8_t valueLength = 0; valueLength <= 4; ++valueLength) {
                const std::u16string key =
                    std::u16string(keyLength, u'K') + static_cast<char16_t>(u'0' + valueLength);
                root.Children.push_back(
                    Binary(key, Bytes(valueLength, static_cast<uint8_t>(0xA0 + valueLength))));
                keys.push_back(key);
            }
        }
        const Bytes block = Serialize(root, layout);
        for (const std::u16string& key : keys) {
            const std::optional<VersionValue> value = FindVersionValue(block, u"\\" + key);
            ASSERT_TRUE(value);
            const auto expected = static_cast<size_t>(key.back() - u'0');
            EXPECT_EQ(value->Offset % 4, 0u);
            EXPECT_EQ(BytesOf(block, *value), Bytes(expected, static_cast<uint8_t>(0xA0 + expected)));
        }
    }
}

// Every prefix of a block whose root still claims the whole length: nothing is read beyond the
// prefix, and a value the prefix holds whole is found whole.
TEST(VersionBlockMalformed, EveryPrefixAnswersWhatLiesWithinIt) {
    for (const VersionBlockLayout layout : {VersionBlockLayout::Wide, VersionBlockLayout::Ansi16}) {
        const Bytes block = Serialize(Standard(layout), layout);
        for (size_t size = 0; size <= block.size(); ++size) {
            const Bytes prefix(block.begin(), block.begin() + static_cast<long>(size));
            for (const std::u16string& path : Paths()) {
                const std::optional<VersionValue> full = FindVersionValue(block, path);
                const std::optional<VersionValue> cut = FindVersionValue(prefix, path);
                ExpectInside(prefix, cut);
                if (!full) {
                    EXPECT_FALSE(cut);
                    continue;
                }
                if (size >= full->Offset + full->Size) {
                    ASSERT_TRUE(cut) << size;
                    EXPECT_EQ(cut->Offset, full->Offset);
                    EXPECT_EQ(cut->Length, full->Length);
                } else if (cut) {
                    EXPECT_LE(cut->Size, full->Size);
                    if (cut->Size > 0) {
                        EXPECT_EQ(cut->Offset, full->Offset);
                    }
                }
            }
        }
    }
}

TEST(VersionBlockMalformed, OverlongNodesAreClampedToTheirParent) {
    // The root claims more than the block holds.
    TestNode root = Standard(VersionBlockLayout::Wide);
    root.LengthOverride = 0xFFFF;
    Bytes block = Serialize(root, VersionBlockLayout::Wide);
    EXPECT_EQ(TextOf(block, u"\\StringFileInfo\\040704e4\\ProductName"), u"Produkt");

    // A child claiming more than its parent swallows its later siblings, but not its parent's.
    root = Standard(VersionBlockLayout::Wide);
    root.Children[0].Children[0].Children[0].LengthOverride = 0xFFF0;
    block = Serialize(root, VersionBlockLayout::Wide);
    EXPECT_EQ(TextOf(block, u"\\StringFileInfo\\040904b0\\CompanyName"), u"Ferrule project");
    EXPECT_FALSE(FindVersionValue(block, u"\\StringFileInfo\\040904b0\\ProductName"));
    EXPECT_EQ(TextOf(block, u"\\StringFileInfo\\040704e4\\ProductName"), u"Produkt");
    EXPECT_TRUE(FindVersionValue(block, u"\\VarFileInfo\\Translation"));
}

TEST(VersionBlockMalformed, OverlongValuesEndWithTheirNodeInWholeUnits) {
    // A text length counted in bytes, as some resource compilers write it: the value ends with its
    // node, and the length counts the characters there.
    TestNode root = Standard(VersionBlockLayout::Wide);
    TestNode& company = root.Children[0].Children[0].Children[0];
    company.ValueLengthOverride = 32;
    Bytes block = Serialize(root, VersionBlockLayout::Wide);
    std::optional<VersionValue> value = FindVersionValue(block, u"\\StringFileInfo\\040904b0\\CompanyName");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Length, 16u);
    EXPECT_EQ(TextOf(block, u"\\StringFileInfo\\040904b0\\ProductName"), u"DAO");

    // A node that ends in the middle of a character keeps only the whole ones.
    company.ValueLengthOverride.reset();
    company.LengthOverride = static_cast<uint16_t>(Serialize(company, VersionBlockLayout::Wide).size() - 1);
    block = Serialize(root, VersionBlockLayout::Wide);
    value = FindVersionValue(block, u"\\StringFileInfo\\040904b0\\CompanyName");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Length, 15u);
    EXPECT_EQ(value->Size, 30u);

    // A root value running to the root's end leaves no room for children.
    root = Standard(VersionBlockLayout::Wide);
    root.ValueLengthOverride = 0xFFFF;
    block = Serialize(root, VersionBlockLayout::Wide);
    value = FindVersionValue(block, u"\\");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->Offset + value->Size, block.size());
    EXPECT_FALSE(FindVersionValue(block, u"\\StringFileInfo"));
}

TEST(VersionBlockMalformed, NodesTooShortOrWithoutKeyEndStopTheWalk) {
    for (const uint16_t length : {uint16_t{0}, uint16_t{7}}) {
        TestNode root = Standard(VersionBlockLayout::Wide);
        root.Children[0].Children[0].Children[1].LengthOverride = length;
        const Bytes block = Serialize(root, VersionBlockLayout::Wide);
        EXPECT_EQ(TextOf(block, u"\\StringFileInfo\\040904b0\\CompanyName"), u"Ferrule project");
        EXPECT_FALSE(FindVersionValue(block, u"\\StringFileInfo\\040904b0\\ProductName")) << length;
        EXPECT_FALSE(FindVersionValue(block, u"\\StringFileInfo\\040904b0\\FileVersion")) << length;
        EXPECT_TRUE(FindVersionValue(block, u"\\StringFileInfo\\040704e4\\ProductName")) << length;
    }
    // The key's terminator lies past the node's end.
    TestNode root = Standard(VersionBlockLayout::Wide);
    root.Children[1].Children[0].LengthOverride = 10;
    Bytes block = Serialize(root, VersionBlockLayout::Wide);
    EXPECT_FALSE(FindVersionValue(block, u"\\VarFileInfo\\Translation"));
    EXPECT_FALSE(FindVersionValue(block, u"\\VarFileInfo\\Trans"));

    root = Standard(VersionBlockLayout::Wide);
    root.LengthOverride = 7;
    block = Serialize(root, VersionBlockLayout::Wide);
    EXPECT_FALSE(FindVersionValue(block, u"\\"));
}

TEST(VersionBlockMalformed, DeepNestingIsWalkedAlongThePathUpToTheLimit) {
    // Each level a one-character key and no value: 12 bytes with the padding, then its child.
    constexpr size_t Levels = 2000;
    Bytes block;
    for (size_t level = 0; level < Levels; ++level) {
        AppendWord(block, static_cast<uint16_t>(12 * (Levels - level)));
        AppendWord(block, 0);
        AppendWord(block, 1);
        AppendWord(block, level == 0 ? u'R' : u'N');
        AppendWord(block, 0);
        AppendWord(block, 0);
    }
    std::u16string path;
    for (size_t depth = 1; depth <= MaxVersionPathDepth; ++depth) {
        path += u"\\N";
        const std::optional<VersionValue> value = FindVersionValue(block, path);
        ASSERT_TRUE(value) << depth;
        EXPECT_EQ(value->Offset, 12 * depth + 12);
    }
    EXPECT_FALSE(FindVersionValue(block, path + u"\\N"));
    std::u16string longPath;
    for (size_t depth = 0; depth < Levels; ++depth)
        longPath += u"\\N";
    EXPECT_FALSE(FindVersionValue(block, longPath));
}

// Random changes of real blocks and blocks of one repeated byte: every answer lies inside.
TEST(VersionBlockMalformed, MutatedBlocksAnswerOnlyFromInside) {
    for (const uint8_t fill : {uint8_t{0x00}, uint8_t{0x01}, uint8_t{0x20}, uint8_t{0xFF}}) {
        for (size_t size : {5u, 8u, 64u, 300u}) {
            const Bytes block(size, fill);
            for (const std::u16string& path : Paths())
                ExpectInside(block, FindVersionValue(block, path));
        }
    }
    std::mt19937 random(1975);
    int found = 0;
    for (const VersionBlockLayout layout : {VersionBlockLayout::Wide, VersionBlockLayout::Ansi16}) {
        const Bytes seed = Serialize(Standard(layout), layout);
        for (int i = 0; i < 3000; ++i) {
            Bytes block = seed;
            for (unsigned m = 1 + random() % 4; m > 0; --m) {
                const size_t at = random() % block.size();
                switch (random() % 4) {
                case 0:
                    block[at] = static_cast<uint8_t>(random());
                    break;
                case 1:
                    block[at] ^= static_cast<uint8_t>(1u << (random() % 8));
                    break;
                case 2:
                    block.insert(block.begin() + static_cast<long>(at), static_cast<uint8_t>(random()));
                    break;
                default:
                    block.erase(block.begin() + static_cast<long>(at));
                    break;
                }
            }
            for (const std::u16string& path : Paths()) {
                const std::optional<VersionValue> value = FindVersionValue(block, path);
                ExpectInside(block, value);
                found += value ? 1 : 0;
            }
        }
    }
    EXPECT_GT(found, 10000);
}

} // namespace
