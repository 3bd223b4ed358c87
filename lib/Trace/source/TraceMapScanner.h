// Linker map files as a debug-data source: the parser walks the map's sections and reports what
// it finds as events; the scanner keeps segment 1 (the code) and answers unit, procedure, line
// and source file for an offset from the code start. Platform-free: the text is untrusted and is
// never read past its end. Names stay in the text; the scanner hands out positions into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TTraceMapAddress {
    uint16_t Segment = 0;
    uint32_t Offset = 0;
};

class TTraceAbstractMapParser {
public:
    // The text must outlive the parser (and any scanner built on it).
    explicit TTraceAbstractMapParser(std::string_view text) : text_(text) {}
    virtual ~TTraceAbstractMapParser() = default;

    // Walks the text once, from the class table to the line-number blocks.
    void Parse();
    std::string_view Text() const { return text_; }
    // The position of the first unit whose line addresses go down (a linker fault), or npos.
    size_t LinkerBugUnit() const { return linkerBugUnit_; }

    // The text of a name at a position: after a '(' up to ')' or a carriage return, otherwise up
    // to the first carriage return, blank or '('.
    std::string NameTextAt(size_t position) const;

protected:
    // Events, in the order the sections come; names are positions in the text.
    virtual void ClassTableItem(const TTraceMapAddress&, uint32_t /*length*/, size_t /*sectionName*/,
                                size_t /*className*/) {}
    virtual void SegmentItem(const TTraceMapAddress&, uint32_t /*length*/, size_t /*className*/,
                             size_t /*unitName*/) {}
    virtual void PublicsByNameItem(const TTraceMapAddress&, size_t /*name*/) {}
    virtual void PublicsByValueItem(const TTraceMapAddress&, size_t /*name*/) {}
    virtual void LineNumberUnitItem(size_t /*unitName*/, size_t /*unitFileName*/) {}
    virtual void LineNumbersItem(uint32_t /*lineNumber*/, const TTraceMapAddress&) {}

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    bool AtDigit() const;
    void SkipWhiteSpace();
    void SkipToEndOfLine();
    bool FindHeader(std::string_view header);
    uint32_t ReadHex();
    uint32_t ReadDecimal();
    TTraceMapAddress ReadAddress();
    size_t ReadToken();
    bool SkipPast(std::string_view marker);
    bool StartsWith(std::string_view prefix) const;

    std::string_view text_;
    size_t pos_ = 0;
    size_t linkerBugUnit_ = std::string_view::npos;
};

class TTraceMapScanner : public TTraceAbstractMapParser {
public:
    // Parses at once.
    explicit TTraceMapScanner(std::string_view text);

    std::string UnitOf(uint32_t offset) const;
    uint32_t UnitStartOf(uint32_t offset) const; // 0xFFFFFFFF when no segment holds the offset
    struct ProcedureAt {
        std::string Name;
        int32_t Offset = 0;
    };
    ProcedureAt ProcedureOf(uint32_t offset) const;
    struct LineAt {
        int32_t Line = 0;
        int32_t Offset = 0;
    };
    LineAt LineOf(uint32_t offset) const;
    std::string SourceFileOf(uint32_t offset) const;

    size_t RejectedLines() const { return rejectedLines_; }
    uint32_t TopValidOffset() const { return topValidOffset_; }

protected:
    void SegmentItem(const TTraceMapAddress& address, uint32_t length, size_t className,
                     size_t unitName) override;
    void PublicsByValueItem(const TTraceMapAddress& address, size_t name) override;
    void LineNumberUnitItem(size_t unitName, size_t unitFileName) override;
    void LineNumbersItem(uint32_t lineNumber, const TTraceMapAddress& address) override;

private:
    struct Segment {
        uint32_t Start, End; // End inclusive (the map's own rule: start + length)
        size_t Name;
    };
    struct Entry {
        uint32_t Offset;
        size_t Value; // a name position or a line number
    };
    // The entry at offset (the first of equal ones) or else the last one below it, if it does not
    // lie below the offset's unit start.
    const Entry* EntryFor(const std::vector<Entry>& table, uint32_t offset) const;

    std::vector<Segment> segments_;
    std::vector<Entry> procedures_, lines_, sourceNames_;
    size_t rejectedLines_ = 0;
    uint32_t topValidOffset_ = 0;
    bool lineAccepted_ = false;
    TTraceMapAddress lastAccepted_;
    size_t pendingFileName_ = std::string_view::npos;
};
