// A small PE image built byte by byte for the tests of the PE readers and writers: PE32 or PE32+,
// three sections (.text, .edata with exports and a debug directory, and "/4" whose long name is
// ".debug_info" in the string table), stored as a file or laid out as the loader maps it.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "LittleEndian.h"

class ImageBuilder {
public:
    explicit ImageBuilder(bool is64) : bytes_(0x600, 0) {
        Put16(0, 0x5A4D);
        Put32(0x3C, 0x40);
        Put32(0x40, 0x00004550);
        const size_t file = 0x44;
        Put16(file, is64 ? 0x8664 : 0x14C);
        Put16(file + 2, 3);     // .text, .edata, /4
        Put32(file + 8, 0x580); // symbol table: no symbols, then the string table
        Put32(file + 12, 0);
        const uint16_t optionalSize = is64 ? 240 : 224;
        Put16(file + 16, optionalSize);
        const size_t optional = file + 20;
        Put16(optional, is64 ? 0x20B : 0x10B);
        if (is64)
            Put64(optional + 24, 0x140000000ull);
        else
            Put32(optional + 28, 0x400000);
        Put32(optional + 32, 0x1000);
        Put32(optional + 36, 0x200);
        Put32(optional + 56, 0x4000);
        Put32(optional + 60, 0x200);
        const size_t directories = optional + (is64 ? 112 : 96);
        Put32(directories - 4, 16);
        Put32(directories + 0 * 8, 0x2000); // exports
        Put32(directories + 0 * 8 + 4, 0x100);
        Put32(directories + 6 * 8, 0x2100); // debug directory
        Put32(directories + 6 * 8 + 4, 28);
        const size_t sections = optional + optionalSize;
        Section(sections, ".text", 0x1000, 0x40, 0x200, 0x200);
        Section(sections + 40, ".edata", 0x2000, 0x180, 0x400, 0x200);
        Section(sections + 80, "/4", 0x3000, 0x10, 0x600, 0);
        // Export directory at RVA 0x2000 (file 0x400): base 5, 4 functions, 3 names.
        const size_t exports = 0x400;
        Put32(exports + 16, 5);
        Put32(exports + 20, 4);
        Put32(exports + 24, 3);
        Put32(exports + 28, 0x2040);
        Put32(exports + 32, 0x2060);
        Put32(exports + 36, 0x2070);
        Put32(0x440, 0x1010);
        Put32(0x444, 0x1020);
        Put32(0x448, 0x1030); // ordinal 7, no name
        Put32(0x44C, 0x20C0); // forwarded: points into the export directory
        Put32(0x460, 0x2080);
        Put32(0x464, 0x20A0);
        Put32(0x468, 0x20D0);
        Put16(0x470, 0);
        Put16(0x472, 1);
        Put16(0x474, 3);
        Text(0x480, "DllRegisterServer");
        Text(0x4A0, "DllUnregisterServer");
        Text(0x4C0, "OTHER.Function");
        Text(0x4D0, "Forwarded");
        // Debug directory at RVA 0x2100 (file 0x500): one CodeView entry.
        Put32(0x500 + 12, 2);
        Put32(0x500 + 16, 0x24);
        Put32(0x500 + 20, 0x2130);
        Put32(0x500 + 24, 0x530);
        // String table at 0x580: its size, then ".debug_info" at offset 4.
        Put32(0x580, 16);
        Text(0x584, ".debug_info");
    }

    const std::vector<uint8_t>& File() const { return bytes_; }
    // As the loader lays it out: headers, then each section at its virtual address.
    std::vector<uint8_t> Mapped() const {
        std::vector<uint8_t> image(0x4000, 0);
        std::memcpy(image.data(), bytes_.data(), 0x200);
        std::memcpy(image.data() + 0x1000, bytes_.data() + 0x200, 0x200);
        std::memcpy(image.data() + 0x2000, bytes_.data() + 0x400, 0x200);
        return image;
    }
    void Put16(size_t at, uint16_t v) { Put(at, v, 2); }
    void Put32(size_t at, uint32_t v) { Put(at, v, 4); }
    void Put64(size_t at, uint64_t v) { Put(at, v, 8); }

private:
    void Put(size_t at, uint64_t v, int bytes) { PutLittleEndian(bytes_, at, v, static_cast<size_t>(bytes)); }
    void Text(size_t at, const char* text) { std::memcpy(bytes_.data() + at, text, std::strlen(text) + 1); }
    void Section(size_t at, const char* name, uint32_t va, uint32_t virtualSize, uint32_t raw,
                 uint32_t rawSize) {
        std::memcpy(bytes_.data() + at, name, std::strlen(name));
        Put32(at + 8, virtualSize);
        Put32(at + 12, va);
        Put32(at + 16, rawSize);
        Put32(at + 20, raw);
        Put32(at + 36, 0x40000040);
    }
    std::vector<uint8_t> bytes_;
};
