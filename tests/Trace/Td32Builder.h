// TD32 data built byte by byte for the tests of its reader: a names subsection, for each module a
// module subsection and a source-module subsection with its line tables, one aligned-symbols
// subsection with the procedures (after a data symbol the reader must step over), a subsection of
// a type the reader ignores, one directory or two chained ones, and the trailer pointing back to
// the start. Where each part landed is reported, so tests can damage it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LittleEndian.h"

struct Td32Line {
    uint32_t Offset;
    uint16_t Line;
};
struct Td32FileSegment {
    uint32_t Start, End;
    std::vector<Td32Line> Lines;
};
struct Td32File {
    std::string Name; // empty: stored with name index 0
    std::vector<Td32FileSegment> Segments;
};
struct Td32Segment {
    uint32_t Start, Size;
};
struct Td32Module {
    std::string Name;
    std::vector<Td32Segment> Segments;
    std::vector<Td32File> Files;
};
struct Td32Procedure {
    uint32_t Start, Size;
    std::string Name;
    uint16_t Type = 0x205; // global; 0x204 local
};

// Positions from the start of the TD32 data (after the prefix).
struct Td32Layout {
    size_t FirstDirectory = 0, SecondDirectory = 0, Names = 0, Symbols = 0, FirstModule = 0,
           FirstSourceModule = 0, Trailer = 0;
};

class Td32Builder {
public:
    std::vector<Td32Module> Modules;
    std::vector<Td32Procedure> Procedures;
    uint32_t Signature = 0x39304246; // "FB09"
    bool TwoDirectories = false;
    std::vector<uint8_t> Prefix; // what the block holds before the data

    std::vector<uint8_t> Build(Td32Layout* layout = nullptr) {
        Td32Layout at;
        names_.clear();
        for (const Td32Module& module : Modules) {
            Index(module.Name);
            for (const Td32File& file : module.Files)
                if (!file.Name.empty())
                    Index(file.Name);
        }
        for (const Td32Procedure& procedure : Procedures)
            Index(procedure.Name);

        bytes_ = Prefix;
        start_ = bytes_.size();
        U32(Signature);
        U32(0); // the first directory, filled in below
        struct Entry {
            uint16_t Type, Module;
            uint32_t Position, Size;
        };
        std::vector<Entry> entries;
        const auto subsection = [&](uint16_t type, uint16_t module, size_t begin) {
            Align();
            entries.push_back({type, module, static_cast<uint32_t>(begin - start_),
                               static_cast<uint32_t>(bytes_.size() - begin)});
            return begin - start_;
        };

        size_t begin = bytes_.size();
        U32(static_cast<uint32_t>(names_.size()));
        for (const std::string& name : names_) {
            bytes_.push_back(static_cast<uint8_t>(name.size()));
            bytes_.insert(bytes_.end(), name.begin(), name.end());
            bytes_.push_back(0);
        }
        at.Names = subsection(0x130, 0, begin);

        for (size_t m = 0; m < Modules.size(); ++m) {
            const Td32Module& module = Modules[m];
            const auto moduleIndex = static_cast<uint16_t>(m + 1);
            begin = bytes_.size();
            bytes_.resize(begin + 28, 0);
            PutU16(bytes_, begin + 4, static_cast<uint16_t>(module.Segments.size()));
            PutU32(bytes_, begin + 8, Index(module.Name));
            for (const Td32Segment& segment : module.Segments) {
                U32(1);
                U32(segment.Start);
                U32(segment.Size);
            }
            const size_t moduleAt = subsection(0x120, moduleIndex, begin);
            if (m == 0)
                at.FirstModule = moduleAt;
            if (module.Files.empty())
                continue;
            begin = bytes_.size();
            U16(static_cast<uint16_t>(module.Files.size()));
            U16(0);
            const size_t filePositions = bytes_.size();
            bytes_.resize(filePositions + 4 * module.Files.size(), 0);
            for (size_t f = 0; f < module.Files.size(); ++f) {
                const Td32File& file = module.Files[f];
                PutU32(bytes_, filePositions + 4 * f, static_cast<uint32_t>(bytes_.size() - begin));
                U16(static_cast<uint16_t>(file.Segments.size()));
                U32(file.Name.empty() ? 0 : Index(file.Name));
                const size_t tablePositions = bytes_.size();
                bytes_.resize(tablePositions + 4 * file.Segments.size(), 0);
                for (const Td32FileSegment& segment : file.Segments) {
                    U32(segment.Start);
                    U32(segment.End);
                }
                for (size_t s = 0; s < file.Segments.size(); ++s) {
                    PutU32(bytes_, tablePositions + 4 * s, static_cast<uint32_t>(bytes_.size() - begin));
                    const std::vector<Td32Line>& lines = file.Segments[s].Lines;
                    U16(1);
                    U16(static_cast<uint16_t>(lines.size()));
                    for (const Td32Line& line : lines)
                        U32(line.Offset);
                    for (const Td32Line& line : lines)
                        U16(line.Line);
                }
            }
            const size_t sourceAt = subsection(0x127, moduleIndex, begin);
            if (m == 0)
                at.FirstSourceModule = sourceAt;
        }

        begin = bytes_.size();
        U32(1);  // the symbols' format
        U16(10); // a data symbol: stepped over
        U16(0x201);
        bytes_.resize(bytes_.size() + 8, 0);
        for (const Td32Procedure& procedure : Procedures) {
            const size_t record = bytes_.size();
            bytes_.resize(record + 44, 0);
            PutU16(bytes_, record, 42);
            PutU16(bytes_, record + 2, procedure.Type);
            PutU32(bytes_, record + 16, procedure.Size);
            PutU32(bytes_, record + 28, procedure.Start);
            PutU32(bytes_, record + 40, Index(procedure.Name));
        }
        at.Symbols = subsection(0x125, 1, begin);

        begin = bytes_.size();
        U32(0xDEADBEEF); // a subsection of another tool's kind
        subsection(0x121, 1, begin);

        const size_t split = TwoDirectories ? entries.size() / 2 : entries.size();
        at.FirstDirectory = Directory(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(split));
        PutU32(bytes_, start_ + 4, static_cast<uint32_t>(at.FirstDirectory));
        if (TwoDirectories) {
            at.SecondDirectory =
                Directory(entries.begin() + static_cast<std::ptrdiff_t>(split), entries.end());
            PutU32(bytes_, start_ + at.FirstDirectory + 8, static_cast<uint32_t>(at.SecondDirectory));
        }
        at.Trailer = bytes_.size() - start_;
        U32(Signature);
        U32(static_cast<uint32_t>(bytes_.size() + 4 - start_));
        if (layout != nullptr)
            *layout = at;
        return bytes_;
    }

private:
    template <class It> size_t Directory(It first, It last) {
        const size_t position = bytes_.size() - start_;
        U16(16);
        U16(12);
        U32(static_cast<uint32_t>(last - first));
        U32(0); // the last directory
        U32(0);
        for (It entry = first; entry != last; ++entry) {
            U16(entry->Type);
            U16(entry->Module);
            U32(entry->Position);
            U32(entry->Size);
        }
        return position;
    }
    uint32_t Index(const std::string& name) {
        for (size_t i = 0; i < names_.size(); ++i)
            if (names_[i] == name)
                return static_cast<uint32_t>(i + 1);
        names_.push_back(name);
        return static_cast<uint32_t>(names_.size());
    }
    void U16(uint16_t value) {
        bytes_.resize(bytes_.size() + 2);
        PutU16(bytes_, bytes_.size() - 2, value);
    }
    void U32(uint32_t value) {
        bytes_.resize(bytes_.size() + 4);
        PutU32(bytes_, bytes_.size() - 4, value);
    }
    void Align() { bytes_.resize(start_ + (bytes_.size() - start_ + 3) / 4 * 4, 0); }

    std::vector<std::string> names_;
    std::vector<uint8_t> bytes_;
    size_t start_ = 0;
};
