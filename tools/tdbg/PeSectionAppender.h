// Adds a section to a linked PE image (PE32 or PE32+), after all others: its raw data at the end
// of the file, its virtual address after the last section's, the image size and the header's
// checksum brought up to date. The build uses it to store TDBG data as "TRACEDBG".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

inline constexpr uint32_t ReadOnlyDataSection = 0x40000040; // initialised data, readable

// The image with the section added. Raises std::runtime_error when the bytes are no PE image, the
// name is longer than 8 characters, a section of that name exists, or the headers have no room
// for one more section entry.
std::vector<uint8_t> AppendPeSection(std::span<const uint8_t> image, const std::string& name,
                                     std::span<const uint8_t> data,
                                     uint32_t characteristics = ReadOnlyDataSection);

// `image` with the COFF header's time stamp of `linked`: objcopy writes the clock's time into every
// PE image it writes, which would make each strip of the same link differ. Raises
// std::runtime_error when either is no PE image. The checksum is left to AppendPeSection.
void KeepLinkTimeStamp(std::span<const uint8_t> linked, std::vector<uint8_t>& image);

// The PE header checksum of an image whose checksum field lies at `checksumOffset`.
uint32_t PeChecksum(std::span<const uint8_t> image, size_t checksumOffset);
