// TD32 debug data (stored by a linker in an image or in a ".tds" file beside it) as
// a debug-data source: the parser walks the chain of subsection directories and collects modules,
// source modules with their line tables, procedure symbols and the name table; the scanner answers
// unit, procedure, line and source file for an offset from the module's code start.
// Platform-free: the bytes are untrusted. Malformed data is "not accepted" (no location), never a
// read past its end, and its size bounds the parser's work and memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TTracePeImage;

namespace TD32Format {
inline constexpr uint32_t SignatureFB09 = 0x39304246; // "FB09"
inline constexpr uint32_t SignatureFB0A = 0x41304246; // "FB0A"
inline constexpr size_t TrailerSize = 8;              // signature, distance back to the start
inline constexpr size_t DirectoryHeaderSize = 16;
inline constexpr uint16_t DirectoryEntrySize = 12;
inline constexpr uint16_t ModuleSubsection = 0x120;
inline constexpr uint16_t AlignedSymbolsSubsection = 0x125;
inline constexpr uint16_t SourceModuleSubsection = 0x127;
inline constexpr uint16_t NamesSubsection = 0x130;
inline constexpr uint16_t LocalProcedureSymbol = 0x204;
inline constexpr uint16_t GlobalProcedureSymbol = 0x205;
// The debug-directory type that marks an entry as TD32 data.
inline constexpr uint32_t TD32DebugType = 9;
} // namespace TD32Format

// The TD32 data a block ends with: from (end - distance) to the end, when the trailer's signature
// and the one it points back to are both "FB09" or "FB0A"; empty otherwise.
std::span<const uint8_t> FindTD32Data(std::span<const uint8_t> block);

// The TD32 data the linker stored in an image: the image must have exactly one debug-directory
// entry, of the TD32 type, whose data lies inside the image and is valid. Empty otherwise.
std::span<const uint8_t> TD32DataOfImage(const TTracePeImage& image);

// A procedure's stored name as people read it: "@Unit@Class@Method" becomes "Class.Method" (the
// leading "@Unit@" dropped, every other '@' not following another '@' shown as '.'). A name with
// only its leading '@' loses just that character.
std::string ReformatTD32Name(std::string_view stored);

class TTraceTD32InfoParser {
public:
    // Parses at once. The data must outlive the parser; it is not copied. Raises EAssertionFailed
    // "Assertion failure (lib/Trace/source/TraceTD32, line N)" for a directory whose entries are
    // not 12 bytes; any other malformed structure leaves the parser not accepting the data.
    explicit TTraceTD32InfoParser(std::span<const uint8_t> block);
    virtual ~TTraceTD32InfoParser() = default;
    TTraceTD32InfoParser(const TTraceTD32InfoParser&) = delete;
    TTraceTD32InfoParser& operator=(const TTraceTD32InfoParser&) = delete;

    // The block holds TD32 data and every subsection the parser reads lies whole inside it.
    bool ValidFormat() const noexcept { return valid_; }
    // Names are numbered from 1; 0 and numbers past the table are no name.
    std::string_view Name(uint32_t index) const;

    struct Segment {
        uint32_t SegmentWord = 0;
        uint32_t Start = 0;
        uint32_t Size = 0;
    };
    struct Module {
        uint32_t NameIndex = 0;
        std::vector<Segment> Segments;
    };
    struct LineEntry {
        uint32_t Offset = 0;
        uint16_t Line = 0;
    };
    struct Range {
        uint32_t Start = 0;
        uint32_t End = 0; // exclusive
    };
    struct SourceFile {
        uint32_t NameIndex = 0;
        std::vector<Range> Ranges;
        std::vector<LineEntry> Lines; // all its line tables, in order
    };
    struct Procedure {
        uint32_t Start = 0;
        uint32_t Size = 0;
        uint32_t NameIndex = 0;
    };
    const std::vector<Module>& Modules() const { return modules_; }
    const std::vector<SourceFile>& SourceFiles() const { return sourceFiles_; }
    const std::vector<Procedure>& Procedures() const { return procedures_; }

private:
    class Reader;
    void Parse();

    std::span<const uint8_t> data_;
    bool valid_ = false;
    std::vector<std::string_view> names_;
    std::vector<Module> modules_;
    std::vector<SourceFile> sourceFiles_;
    std::vector<Procedure> procedures_;
};

class TTraceTD32InfoScanner : public TTraceTD32InfoParser {
public:
    using TTraceTD32InfoParser::TTraceTD32InfoParser;

    // The name of the first module with a segment holding the offset; empty when none does.
    std::string UnitOf(uint32_t offset) const;
    struct ProcedureAt {
        std::string Name;   // reformatted
        int32_t Offset = 0; // from the procedure's start
    };
    // The first procedure whose code holds the offset; an empty name and offset 0 when none does.
    ProcedureAt ProcedureOf(uint32_t offset) const;
    struct LineAt {
        int32_t Line = 0;   // 0 = unknown
        int32_t Offset = 0; // from the line's start
    };
    // Within the source file of the offset: the line entry at the offset or else the nearest one
    // below it.
    LineAt LineOf(uint32_t offset) const;
    // The first source file with a range holding the offset; empty when none does.
    std::string SourceFileOf(uint32_t offset) const;

private:
    const SourceFile* SourceFileAt(uint32_t offset) const;
};
