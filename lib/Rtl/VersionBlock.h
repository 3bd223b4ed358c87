// Version-information blocks (VS_VERSIONINFO: an RT_VERSION resource, or what GetFileVersionInfo
// returns) read from untrusted bytes, answering a sub-block path the way VerQueryValueW does.
// Platform-free.
//
// A block is a tree of nodes. Each node holds its total length in bytes (wLength, children
// included), its value's length (wValueLength), in the wide layout a type (wType: 1 text, 0
// binary), a zero-terminated key, its value and its children; the value and each child start on a
// 32-bit boundary counted from the block's start.
//   wide layout (32-bit resources): wType present, UTF-16 keys; a text value's length counts
//     UTF-16 units, a binary value's bytes.
//   16-bit layout (what GetFileVersionInfoA returns on Windows 9x): no wType, ANSI keys; every
//     value's length counts bytes.
// The layout is told by the root's key: in the wide layout offset 4 holds wType (0 or 1), in the
// 16-bit layout the key's first character.
//
// Malformed blocks never lead outside the block; what the walk meets is clamped or refused:
//   - the root ends at its wLength or at the block's end, whichever comes first; a child ends at
//     its wLength or at its parent's end, whichever comes first (so a cut block still answers
//     what lies inside it);
//   - a node too short for its own header, or whose key has no terminator before the node's end,
//     is refused, and so are the siblings after it (nothing locates them any more);
//   - a value runs to its length or to its node's end, whichever comes first, in whole units;
//     Length then counts what remains;
//   - a path of more than MaxVersionPathDepth segments is refused.
// The walk descends along the path only, looking at each level's children in turn: no
// recursion, and work bounded by the block's size times the path's depth.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The signature that opens the fixed record (VS_FIXEDFILEINFO), the root's value.
constexpr uint32_t VersionFixedRecordSignature = 0xFEEF04BD;

// Paths name the tree three levels deep at most ("\StringFileInfo\040904b0\ProductName").
constexpr size_t MaxVersionPathDepth = 16;

enum class VersionBlockLayout { Wide, Ansi16 };

struct VersionValue {
    // From the block's start; Offset + Size never exceeds the block's size.
    size_t Offset = 0;
    size_t Size = 0;
    // What VerQueryValueW reports: UTF-16 units for text values of the wide layout, bytes
    // otherwise (every value of the 16-bit layout).
    size_t Length = 0;
    // The node's wType is 1 (wide layout only).
    bool IsText = false;
};

// The layout of the block, told by its root's key; none for a block too short to tell.
std::optional<VersionBlockLayout> VersionBlockLayoutOf(std::span<const uint8_t> block);

// The value of the node a sub-block path names; none when no node has that path or the block is
// malformed on the way to it (see above). Segments are separated by backslashes; empty segments
// (a leading or trailing backslash, repeated ones) are skipped, so "", "\" and "\\" name the root,
// whose value is the fixed record. Keys compare ignoring the case of ASCII letters; in the 16-bit
// layout each key byte stands for the character of the same code. A node without a value answers
// an empty one: "\StringFileInfo" is found, with Length 0.
//   "\"                                   the fixed record (52 bytes; VersionFixedRecordSignature)
//   "\VarFileInfo\Translation"            (language, code page) pairs of 16-bit words
//   "\StringFileInfo\040904b0\ProductName" a text value, its terminator normally included
std::optional<VersionValue> FindVersionValue(std::span<const uint8_t> block, std::u16string_view path);
