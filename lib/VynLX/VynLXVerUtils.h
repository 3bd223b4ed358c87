// The version resource of executable files on disk: the whole block, its first translation, named
// string values, the fixed record and the file version; and component versions, built from four
// parts and written as text.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "SysTypes.h"

// Major, minor, release and build, 16 bits each, most significant first; 0 means "not found".
// Compared as unsigned integers. The upper 32 bits are major * 65536 + minor.
using TComponentVersion = uint64_t;

// The bytes of a file's version information; empty when the file has none.
using TVersionInfoBlock = std::vector<uint8_t>;

// Raises "Internal Error: File does not exist: <path>" for a missing file; otherwise the block,
// or an empty one when the file carries no version information.
TVersionInfoBlock GetFileVersionInfoBlock(const WideString& path);
// The first translation of the file: language in the low 16 bits, code page in the high 16 bits;
// 0 when there is none.
uint32_t GetFileTranslation(const WideString& path);
// A value of the file's "\StringFileInfo" (for example "ProductName") up to its first zero, or
// "". A language or code page of 0 means both are those of the file's first translation.
WideString GetFileVersionString(const WideString& name, const WideString& path, uint16_t language,
                                uint16_t codePage);
// The fixed record; all zero when the file has none.
VS_FIXEDFILEINFO GetFixedFileInfo(const WideString& path);
// The file version of the fixed record (the product version plays no part); 0 when absent.
TComponentVersion ReadFileVersion(const WideString& path);

// Style 0 "major.minor.release.build", 1 "major.minor.release", 2 "major.minor rrelease",
// 3 "major.minor"; any other style is written as style 0.
WideString ComponentVersionToStr(int style, TComponentVersion version);
// Each part is taken modulo 65536.
TComponentVersion MakeComponentVersion(uint32_t major, uint32_t minor, uint32_t release, uint32_t build);
