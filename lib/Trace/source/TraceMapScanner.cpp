#include "TraceMapScanner.h"

#include <algorithm>

#include "HexDigits.h"

namespace {

constexpr std::string_view ClassTableHeader = "Start         Length     Name                   Class";
constexpr std::string_view SegmentsHeader = "Detailed map of segments";
constexpr std::string_view PublicsByNameHeader = "Address         Publics by Name";
constexpr std::string_view PublicsByValueHeader = "Address         Publics by Value";
constexpr std::string_view LineNumbersMarker = "Line numbers for";
constexpr size_t NoName = std::string_view::npos;

bool IsWhiteSpace(char c) {
    return (c >= '\t' && c <= '\r') || c == ' ';
}

} // namespace

bool TTraceAbstractMapParser::AtDigit() const {
    return !AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9';
}

void TTraceAbstractMapParser::SkipWhiteSpace() {
    while (!AtEnd() && IsWhiteSpace(text_[pos_]))
        ++pos_;
}

void TTraceAbstractMapParser::SkipToEndOfLine() {
    while (!AtEnd() && text_[pos_] != '\r' && text_[pos_] != '\n' && text_[pos_] != '\0')
        ++pos_;
    SkipWhiteSpace();
}

bool TTraceAbstractMapParser::StartsWith(std::string_view prefix) const {
    return text_.substr(std::min(pos_, text_.size())).substr(0, prefix.size()) == prefix;
}

bool TTraceAbstractMapParser::FindHeader(std::string_view header) {
    while (!AtEnd()) {
        size_t end = pos_;
        // A bare line feed ends a line too: maps written with Unix line ends are read alike.
        while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n' && text_[end] != '\0')
            ++end;
        std::string_view line = text_.substr(pos_, end - pos_);
        while (!line.empty() && IsWhiteSpace(line.front()))
            line.remove_prefix(1);
        pos_ = end < text_.size() ? end + 1 : end;
        if (line.substr(0, header.size()) == header) {
            SkipWhiteSpace();
            return true;
        }
    }
    return false;
}

uint32_t TTraceAbstractMapParser::ReadHex() {
    uint32_t value = 0;
    while (!AtEnd() && HexDigitValue(static_cast<unsigned char>(text_[pos_])) >= 0) {
        value = (value << 4) | static_cast<uint32_t>(HexDigitValue(static_cast<unsigned char>(text_[pos_])));
        ++pos_;
    }
    if (!AtEnd() && (text_[pos_] == 'H' || text_[pos_] == 'h'))
        ++pos_;
    return value;
}

uint32_t TTraceAbstractMapParser::ReadDecimal() {
    uint32_t value = 0;
    while (AtDigit()) {
        value = value * 10 + static_cast<uint32_t>(text_[pos_] - '0');
        ++pos_;
    }
    return value;
}

TTraceMapAddress TTraceAbstractMapParser::ReadAddress() {
    TTraceMapAddress address;
    address.Segment = static_cast<uint16_t>(ReadHex());
    if (!AtEnd() && text_[pos_] == ':')
        ++pos_;
    address.Offset = ReadHex();
    return address;
}

size_t TTraceAbstractMapParser::ReadToken() {
    SkipWhiteSpace();
    const size_t start = pos_;
    while (!AtEnd() && !IsWhiteSpace(text_[pos_]))
        ++pos_;
    return start;
}

bool TTraceAbstractMapParser::SkipPast(std::string_view marker) {
    const size_t found = text_.find(marker, pos_);
    if (found == std::string_view::npos) {
        pos_ = text_.size();
        return false;
    }
    pos_ = found + marker.size();
    return true;
}

void TTraceAbstractMapParser::Parse() {
    pos_ = 0;
    if (FindHeader(ClassTableHeader)) {
        while (AtDigit()) {
            const TTraceMapAddress address = ReadAddress();
            SkipWhiteSpace();
            const uint32_t length = ReadHex();
            const size_t section = ReadToken();
            const size_t className = ReadToken();
            SkipToEndOfLine();
            ClassTableItem(address, length, section, className);
        }
    }
    if (FindHeader(SegmentsHeader)) {
        while (AtDigit()) {
            const TTraceMapAddress address = ReadAddress();
            SkipWhiteSpace();
            const uint32_t length = ReadHex();
            const size_t className = SkipPast("C=") ? pos_ : NoName;
            const size_t unitName = SkipPast("M=") ? pos_ : NoName;
            SkipToEndOfLine();
            SegmentItem(address, length, className, unitName);
        }
    }
    for (const bool byValue : {false, true}) {
        if (!FindHeader(byValue ? PublicsByValueHeader : PublicsByNameHeader))
            continue;
        while (AtDigit()) {
            const TTraceMapAddress address = ReadAddress();
            const size_t name = ReadToken();
            SkipWhiteSpace();
            if (byValue)
                PublicsByValueItem(address, name);
            else
                PublicsByNameItem(address, name);
        }
    }
    for (;;) {
        SkipWhiteSpace();
        if (!StartsWith(LineNumbersMarker))
            break;
        pos_ += LineNumbersMarker.size();
        SkipWhiteSpace();
        const size_t unitName = pos_;
        const size_t parenthesis = text_.find('(', pos_);
        const size_t unitFileName = parenthesis == std::string_view::npos ? NoName : parenthesis;
        SkipToEndOfLine();
        LineNumberUnitItem(unitName, unitFileName);
        bool first = true;
        uint32_t previous = 0;
        while (AtDigit()) {
            const uint32_t line = ReadDecimal();
            SkipWhiteSpace();
            const TTraceMapAddress address = ReadAddress();
            SkipWhiteSpace();
            if (!first && address.Offset < previous && linkerBugUnit_ == std::string_view::npos)
                linkerBugUnit_ = unitName;
            first = false;
            previous = address.Offset;
            LineNumbersItem(line, address);
        }
    }
}

std::string TTraceAbstractMapParser::NameTextAt(size_t position) const {
    if (position >= text_.size())
        return {};
    size_t start = position, end = position;
    if (text_[position] == '(') {
        start = end = position + 1;
        while (end < text_.size() && text_[end] != ')' && text_[end] != '\r')
            ++end;
    } else {
        while (end < text_.size() && text_[end] != '\r' && text_[end] != ' ' && text_[end] != '(')
            ++end;
    }
    // Names never span lines; a map written with bare line feeds ends them there too.
    std::string name(text_.substr(start, end - start));
    if (const size_t lineFeed = name.find('\n'); lineFeed != std::string::npos)
        name.resize(lineFeed);
    return name;
}

TTraceMapScanner::TTraceMapScanner(std::string_view text) : TTraceAbstractMapParser(text) {
    Parse();
    procedures_.shrink_to_fit();
    lines_.shrink_to_fit();
}

void TTraceMapScanner::SegmentItem(const TTraceMapAddress& address, uint32_t length, size_t,
                                   size_t unitName) {
    if (address.Segment != 1)
        return;
    // A length past the 32-bit range ends the segment at the range's end rather than wrapping.
    const uint32_t end =
        static_cast<uint32_t>(std::min<uint64_t>(uint64_t{address.Offset} + length, 0xFFFFFFFFu));
    segments_.push_back({address.Offset, end, unitName});
    topValidOffset_ = std::max(topValidOffset_, end);
}

void TTraceMapScanner::PublicsByValueItem(const TTraceMapAddress& address, size_t name) {
    if (address.Segment == 1)
        procedures_.push_back({address.Offset, name});
}

void TTraceMapScanner::LineNumberUnitItem(size_t, size_t unitFileName) {
    pendingFileName_ = unitFileName;
}

void TTraceMapScanner::LineNumbersItem(uint32_t lineNumber, const TTraceMapAddress& address) {
    if (lineAccepted_ &&
        (address.Offset < 1 || address.Offset > topValidOffset_ || address.Segment != lastAccepted_.Segment ||
         address.Offset <= lastAccepted_.Offset)) {
        ++rejectedLines_;
        return;
    }
    lineAccepted_ = true;
    lastAccepted_ = address;
    lines_.push_back({address.Offset, lineNumber});
    if (pendingFileName_ != std::string_view::npos) {
        sourceNames_.push_back({address.Offset, pendingFileName_});
        pendingFileName_ = std::string_view::npos;
    }
}

std::string TTraceMapScanner::UnitOf(uint32_t offset) const {
    for (auto it = segments_.rbegin(); it != segments_.rend(); ++it)
        if (it->Start <= offset && offset <= it->End)
            return NameTextAt(it->Name);
    return {};
}

uint32_t TTraceMapScanner::UnitStartOf(uint32_t offset) const {
    for (auto it = segments_.rbegin(); it != segments_.rend(); ++it)
        if (it->Start <= offset && offset <= it->End)
            return it->Start;
    return 0xFFFFFFFFu;
}

const TTraceMapScanner::Entry* TTraceMapScanner::EntryFor(const std::vector<Entry>& table,
                                                          uint32_t offset) const {
    // The first entry above the offset; the one before it is at the offset or the last below.
    const auto above = std::upper_bound(table.begin(), table.end(), offset,
                                        [](uint32_t o, const Entry& e) { return o < e.Offset; });
    if (above == table.begin())
        return nullptr;
    auto found = std::prev(above);
    // Of equal offsets, the first one.
    while (found != table.begin() && std::prev(found)->Offset == found->Offset)
        --found;
    const uint32_t unitStart = UnitStartOf(offset);
    if (unitStart == 0xFFFFFFFFu || found->Offset < unitStart)
        return nullptr;
    return &*found;
}

TTraceMapScanner::ProcedureAt TTraceMapScanner::ProcedureOf(uint32_t offset) const {
    const Entry* entry = EntryFor(procedures_, offset);
    if (entry == nullptr)
        return {};
    return {NameTextAt(entry->Value), static_cast<int32_t>(offset - entry->Offset)};
}

TTraceMapScanner::LineAt TTraceMapScanner::LineOf(uint32_t offset) const {
    const Entry* entry = EntryFor(lines_, offset);
    if (entry == nullptr)
        return {};
    return {static_cast<int32_t>(entry->Value), static_cast<int32_t>(offset - entry->Offset)};
}

std::string TTraceMapScanner::SourceFileOf(uint32_t offset) const {
    const Entry* entry = EntryFor(sourceNames_, offset);
    return entry == nullptr ? std::string() : NameTextAt(entry->Value);
}
