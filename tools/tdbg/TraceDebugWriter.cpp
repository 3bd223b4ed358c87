#include "TraceDebugWriter.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "LittleEndian.h"
#include "TraceDebugScanner.h"

namespace {

using namespace TraceDebugFormat;

// 0 ends a name; 1-10 digits, 11-36 upper case, 37-62 lower case, 63 underscore.
unsigned PackedCode(char c) {
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0' + 1);
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned>(c - 'A' + 11);
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned>(c - 'a' + 37);
    if (c == '_')
        return 63;
    return 0;
}

void AppendVarUnsigned(std::vector<uint8_t>& out, uint32_t value) {
    do {
        uint8_t byte = value & 0x7F;
        value >>= 7;
        if (value != 0)
            byte |= 0x80;
        out.push_back(byte);
    } while (value != 0);
}

// Names are stored once each; a reference is 1 + the name's position in the name area.
class NameArea {
public:
    uint32_t Reference(const std::string& name) {
        if (name.empty())
            return 0;
        const auto [it, added] = references_.try_emplace(name, 0);
        if (added) {
            it->second = static_cast<uint32_t>(bytes_.size() + 1);
            const std::vector<uint8_t> packed = PackTraceDebugName(name);
            bytes_.insert(bytes_.end(), packed.begin(), packed.end());
        }
        return it->second;
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::map<std::string, uint32_t> references_;
    std::vector<uint8_t> bytes_;
};

class TableWriter {
public:
    void Entry(uint32_t start, uint32_t first, uint32_t second, bool withSecond) {
        // Unsigned differences wrap for a value that steps back; the reader's sums wrap alike.
        Put(start - start_);
        Put(first - first_);
        if (withSecond)
            Put(second - second_);
        start_ = start;
        first_ = first;
        second_ = second;
    }
    std::vector<uint8_t> Finish() {
        AppendVarUnsigned(bytes_, EndOfTable);
        return std::move(bytes_);
    }

private:
    void Put(uint32_t delta) {
        if (delta == EndOfTable)
            throw std::invalid_argument(
                "TDBG: a difference of 0x7FFFFFFF cannot be stored (it ends a table)");
        AppendVarUnsigned(bytes_, delta);
    }
    std::vector<uint8_t> bytes_;
    uint32_t start_ = 0, first_ = 0, second_ = 0;
};

} // namespace

std::vector<uint8_t> PackTraceDebugName(const std::string& name) {
    std::string text = name.substr(0, MaxNameLength);
    std::vector<uint8_t> out;
    const bool leadingAt = !text.empty() && text[0] == '@';
    const std::string_view packedPart = leadingAt ? std::string_view(text).substr(1) : std::string_view(text);
    const bool packable =
        std::all_of(packedPart.begin(), packedPart.end(), [](char c) { return PackedCode(c) != 0; });
    // The packed form's first byte must not read as a form selector (1 or 2).
    const unsigned firstByte =
        packedPart.empty()
            ? 0
            : (PackedCode(packedPart[0]) | ((packedPart.size() > 1 ? PackedCode(packedPart[1]) : 0) << 6)) &
                  0xFF;
    if (!packable || packedPart.empty() || (!leadingAt && (firstByte == 1 || firstByte == 2))) {
        out.push_back(1);
        for (char c : text) {
            const auto byte = static_cast<uint8_t>(c);
            out.push_back(byte == 0xAA ? 0xAA : static_cast<uint8_t>(byte ^ 0xAA));
        }
        out.push_back(0);
        return out;
    }
    if (leadingAt)
        out.push_back(2);
    std::vector<unsigned> codes;
    for (char c : packedPart)
        codes.push_back(PackedCode(c));
    codes.push_back(0);
    while (codes.size() % 4 != 0)
        codes.push_back(0);
    for (size_t i = 0; i < codes.size(); i += 4) {
        out.push_back(static_cast<uint8_t>(codes[i] | (codes[i + 1] << 6)));
        out.push_back(static_cast<uint8_t>((codes[i + 1] >> 2) | (codes[i + 2] << 4)));
        out.push_back(static_cast<uint8_t>((codes[i + 2] >> 4) | (codes[i + 3] << 2)));
    }
    return out;
}

std::vector<uint8_t> WriteTraceDebugData(TraceDebugContent content, bool withChecksum) {
    const auto byStart = [](const auto& a, const auto& b) { return a.Start < b.Start; };
    std::stable_sort(content.Units.begin(), content.Units.end(), byStart);
    std::stable_sort(content.SourceFiles.begin(), content.SourceFiles.end(), byStart);
    std::stable_sort(content.Procedures.begin(), content.Procedures.end(), byStart);
    std::stable_sort(content.Lines.begin(), content.Lines.end(), byStart);

    NameArea names;
    const uint32_t moduleName = names.Reference(content.ModuleName);
    TableWriter units, files, procedures, lines;
    for (const auto& unit : content.Units)
        units.Entry(unit.Start, names.Reference(unit.Name), 0, false);
    for (const auto& file : content.SourceFiles)
        files.Entry(file.Start, names.Reference(file.Name), 0, false);
    for (const auto& procedure : content.Procedures)
        procedures.Entry(procedure.Start, names.Reference(procedure.Name),
                         names.Reference(procedure.SecondName), true);
    for (const auto& line : content.Lines)
        lines.Entry(line.Start, line.Number, 0, false);

    std::vector<uint8_t> data(HeaderSize, 0);
    PutU32(data, 0, Magic);
    data[4] = Version;
    const auto append = [&](size_t field, const std::vector<uint8_t>& part) {
        PutU32(data, field, static_cast<uint32_t>(data.size()));
        // Grown first, then filled: GCC 12 misreports an insert at the end of a fresh vector.
        const size_t at = data.size();
        data.resize(at + part.size());
        std::copy(part.begin(), part.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
    };
    append(UnitTableField, units.Finish());
    append(SourceTableField, files.Finish());
    append(ProcedureTableField, procedures.Finish());
    append(LineTableField, lines.Finish());
    append(NameAreaField, names.Bytes());
    PutU32(data, ModuleNameField, moduleName);
    data.resize((data.size() + 3) / 4 * 4, 0);
    if (withChecksum) {
        // The checksum's bytes straddle two words; with them zero, the stored value is the plain
        // sum, which the reader's rule (sum minus checksum, rotated right by 8) reproduces.
        data[ChecksumPresentField] = 1;
        PutU32(data, ChecksumField, WordSum(data.data(), data.size()));
    }
    return data;
}
