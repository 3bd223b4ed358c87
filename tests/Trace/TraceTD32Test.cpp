// TD32 data: where a block's data starts, the lookups on generated data (units, procedures with
// their reformatted names, source files, lines between entries), data inside a PE image, and
// malformed data that must be refused without reading past it or working without end.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "Exceptions.h"
#include "LittleEndian.h"
#include "PeImageBuilder.h"
#include "Td32Builder.h"
#include "TracePeImage.h"
#include "TraceTD32.h"

namespace {

// Two units: Forms (two code ranges, two source files) and System (one file whose lines span two
// tables), and procedures in both.
Td32Builder TwoUnits() {
    Td32Builder builder;
    builder.Modules = {
        {"Forms",
         {{0x100, 0x100}, {0x800, 0x40}},
         {{"Forms.pas", {{0x100, 0x180, {{0x100, 10}, {0x110, 12}, {0x130, 15}}}}},
          {"FormsInc.inc", {{0x180, 0x200, {{0x180, 3}}}, {0x800, 0x840, {{0x800, 70}}}}}}},
        {"System", {{0x200, 0x100}}, {{"System.pas", {{0x200, 0x300, {{0x220, 200}, {0x240, 201}}}}}}},
    };
    builder.Procedures = {{0x100, 0x80, "@Forms@TForm@Show"},
                          {0x180, 0x80, "@Forms@Inline", 0x204},
                          {0x220, 0x40, "@System@@HandleFinally"},
                          {0x260, 0x10, "Plain"}};
    return builder;
}

// A scanner for bytes that may outlive nothing else: it keeps them.
struct Scanned {
    explicit Scanned(std::vector<uint8_t> data)
        : bytes(std::move(data)), scanner(std::span<const uint8_t>(bytes)) {}
    std::vector<uint8_t> bytes;
    TTraceTD32InfoScanner scanner;
};

TTraceTD32InfoScanner Scan(const std::vector<uint8_t>& bytes) {
    return TTraceTD32InfoScanner(std::span<const uint8_t>(bytes));
}

// ---- Finding the data in a block

TEST(TD32Data, IsFoundFromTheTrailerBackToItsStart) {
    Td32Builder builder = TwoUnits();
    builder.Prefix = std::vector<uint8_t>(24, 0x5A);
    const std::vector<uint8_t> block = builder.Build();
    const auto data = FindTD32Data(block);
    ASSERT_EQ(data.size(), block.size() - 24);
    EXPECT_EQ(data.data(), block.data() + 24);
    const auto scanner = Scan(block);
    ASSERT_TRUE(scanner.ValidFormat()) << "positions count from the data's start, not the block's";
    EXPECT_EQ(scanner.UnitOf(0x210), "System");

    builder.Prefix.clear();
    builder.Signature = 0x41304246; // "FB0A"
    EXPECT_TRUE(Scan(builder.Build()).ValidFormat());
}

TEST(TD32Data, WithoutBothSignaturesOrWithADistanceOutsideTheBlockIsNone) {
    const std::vector<uint8_t> good = TwoUnits().Build();
    const size_t trailer = good.size() - 8;
    std::vector<uint8_t> wrongTrailer = good;
    wrongTrailer[trailer + 3] = 'B'; // "FB0B"
    EXPECT_TRUE(FindTD32Data(wrongTrailer).empty());
    std::vector<uint8_t> wrongStart = good;
    wrongStart[0] = 'X';
    EXPECT_TRUE(FindTD32Data(wrongStart).empty());
    std::vector<uint8_t> tooFar = good;
    PutU32(tooFar, trailer + 4, static_cast<uint32_t>(good.size() + 1));
    EXPECT_TRUE(FindTD32Data(tooFar).empty());
    std::vector<uint8_t> tooShort = good;
    PutU32(tooShort, trailer + 4, 4); // would put the leading signature inside the trailer's end
    EXPECT_TRUE(FindTD32Data(tooShort).empty());
    const std::vector<uint8_t> onlyTrailer(good.end() - 8, good.end());
    EXPECT_TRUE(FindTD32Data(onlyTrailer).empty()) << "eight bytes are not more than eight";
    EXPECT_TRUE(FindTD32Data({}).empty());
    EXPECT_FALSE(Scan(wrongTrailer).ValidFormat());
}

// ---- Lookups

TEST(TD32Scanner, TheUnitIsTheFirstModuleWithASegmentHoldingTheOffset) {
    const Scanned scanned(TwoUnits().Build());
    const auto& scanner = scanned.scanner;
    ASSERT_TRUE(scanner.ValidFormat());
    EXPECT_EQ(scanner.UnitOf(0x100), "Forms");
    EXPECT_EQ(scanner.UnitOf(0x1FF), "Forms");
    EXPECT_EQ(scanner.UnitOf(0x200), "System") << "a segment's end belongs to the next unit";
    EXPECT_EQ(scanner.UnitOf(0x820), "Forms") << "from its second segment";
    EXPECT_EQ(scanner.UnitOf(0xFF), "");
    EXPECT_EQ(scanner.UnitOf(0x300), "");
    EXPECT_EQ(scanner.UnitOf(0xFFFFFFFF), "");
}

TEST(TD32Scanner, ProceduresAnswerInsideTheirSizeWithReformattedNames) {
    const Scanned scanned(TwoUnits().Build());
    const auto& scanner = scanned.scanner;
    auto procedure = scanner.ProcedureOf(0x100);
    EXPECT_EQ(procedure.Name, "TForm.Show");
    EXPECT_EQ(procedure.Offset, 0);
    procedure = scanner.ProcedureOf(0x17F);
    EXPECT_EQ(procedure.Name, "TForm.Show");
    EXPECT_EQ(procedure.Offset, 0x7F);
    EXPECT_EQ(scanner.ProcedureOf(0x180).Name, "Inline") << "a local procedure counts too";
    EXPECT_EQ(scanner.ProcedureOf(0x230).Name, "@HandleFinally")
        << "the compiler's own procedures keep their @";
    EXPECT_EQ(scanner.ProcedureOf(0x260).Name, "Plain");
    procedure = scanner.ProcedureOf(0x270);
    EXPECT_EQ(procedure.Name, "") << "past the last procedure's size";
    EXPECT_EQ(procedure.Offset, 0);
    EXPECT_EQ(scanner.ProcedureOf(0x210).Name, "") << "between procedures";
}

TEST(TD32Scanner, NamesAreReformattedAsPeopleReadThem) {
    EXPECT_EQ(ReformatTD32Name("@Forms@TForm@Show"), "TForm.Show");
    EXPECT_EQ(ReformatTD32Name("@System@@LStrClr"), "@LStrClr");
    EXPECT_EQ(ReformatTD32Name("@Unit@A@@B"), "A.@B") << "an '@' after another stays";
    EXPECT_EQ(ReformatTD32Name("@Lonely"), "Lonely") << "no unit qualifier to drop: the name is kept";
    EXPECT_EQ(ReformatTD32Name("Plain@Name"), "Plain.Name");
    EXPECT_EQ(ReformatTD32Name("@"), "");
    EXPECT_EQ(ReformatTD32Name(""), "");
}

TEST(TD32Scanner, SourceFilesAnswerForTheirRangesAndLinesForTheNearestEntryBelow) {
    const Scanned scanned(TwoUnits().Build());
    const auto& scanner = scanned.scanner;
    EXPECT_EQ(scanner.SourceFileOf(0x100), "Forms.pas");
    EXPECT_EQ(scanner.SourceFileOf(0x180), "FormsInc.inc") << "a range's end is not part of it";
    EXPECT_EQ(scanner.SourceFileOf(0x83F), "FormsInc.inc");
    EXPECT_EQ(scanner.SourceFileOf(0x840), "");

    auto line = scanner.LineOf(0x110);
    EXPECT_EQ(line.Line, 12);
    EXPECT_EQ(line.Offset, 0);
    line = scanner.LineOf(0x105);
    EXPECT_EQ(line.Line, 10) << "between the first two entries of a file";
    EXPECT_EQ(line.Offset, 5);
    line = scanner.LineOf(0x120);
    EXPECT_EQ(line.Line, 12);
    EXPECT_EQ(line.Offset, 0x10);
    line = scanner.LineOf(0x17F);
    EXPECT_EQ(line.Line, 15) << "after the last entry, inside the file's range";
    EXPECT_EQ(scanner.LineOf(0x810).Line, 70) << "from the file's second line table";
    EXPECT_EQ(scanner.LineOf(0x210).Line, 0) << "in the file's range, before its first line";
    EXPECT_EQ(scanner.LineOf(0x250).Line, 201);
    EXPECT_EQ(scanner.LineOf(0x900).Line, 0);
}

TEST(TD32Scanner, FilesWithoutANameAndNamesPastTheTableAnswerNothing) {
    Td32Builder builder;
    builder.Modules = {
        {"Unit", {{0, 0x100}}, {{"", {{0, 0x80, {{0, 5}}}}}, {"Named.pas", {{0x80, 0x100, {{0x80, 9}}}}}}}};
    std::vector<uint8_t> bytes = builder.Build();
    const auto scanner = Scan(bytes);
    ASSERT_TRUE(scanner.ValidFormat());
    EXPECT_EQ(scanner.SourceFileOf(0x10), "") << "the nameless file is skipped, lines and all";
    EXPECT_EQ(scanner.LineOf(0x10).Line, 0);
    EXPECT_EQ(scanner.LineOf(0x90).Line, 9);
    EXPECT_EQ(scanner.Name(0), "");
    EXPECT_EQ(scanner.Name(1), "Unit");
    EXPECT_EQ(scanner.Name(3), "");

    Td32Layout layout;
    builder.Build(&layout);
    PutU32(bytes, layout.FirstModule + 8, 77); // the module's name index past the table
    EXPECT_EQ(Scan(bytes).UnitOf(0x10), "") << "a unit without a name gives no location";
}

TEST(TD32Scanner, ChainedDirectoriesAreAllRead) {
    Td32Builder builder = TwoUnits();
    builder.TwoDirectories = true;
    Td32Layout layout;
    const Scanned scanned(builder.Build(&layout));
    const auto& scanner = scanned.scanner;
    ASSERT_NE(layout.SecondDirectory, 0u);
    ASSERT_TRUE(scanner.ValidFormat());
    EXPECT_EQ(scanner.UnitOf(0x210), "System");
    EXPECT_EQ(scanner.ProcedureOf(0x100).Name, "TForm.Show");
    EXPECT_EQ(scanner.LineOf(0x220).Line, 200);
}

// ---- Data inside an image

TEST(TD32Data, IsTakenFromAnImageWithOneTD32DebugEntry) {
    Td32Builder builder;
    builder.Modules = {{"U", {{0, 0x10}}, {}}};
    const std::vector<uint8_t> data = builder.Build();
    ASSERT_LE(data.size(), 0xD0u);
    for (const bool is64 : {false, true}) {
        ImageBuilder image(is64);
        image.Put32(0x500 + 12, TD32Format::TD32DebugType);
        image.Put32(0x500 + 16, static_cast<uint32_t>(data.size()));
        const std::vector<uint8_t> file = [&] {
            std::vector<uint8_t> bytes = image.File();
            std::copy(data.begin(), data.end(), bytes.begin() + 0x530);
            return bytes;
        }();
        std::vector<uint8_t> mapped(0x4000, 0);
        std::copy(file.begin(), file.begin() + 0x200, mapped.begin());
        std::copy(file.begin() + 0x200, file.begin() + 0x400, mapped.begin() + 0x1000);
        std::copy(file.begin() + 0x400, file.begin() + 0x600, mapped.begin() + 0x2000);
        const auto loaded = TTracePeImage::Read(mapped, TPeLayout::Mapped);
        ASSERT_TRUE(loaded);
        const auto found = TD32DataOfImage(*loaded);
        ASSERT_EQ(found.size(), data.size());
        EXPECT_EQ(found.data(), mapped.data() + 0x2130);
        EXPECT_EQ(TTraceTD32InfoScanner(found).UnitOf(4), "U");

        std::vector<uint8_t> codeView = mapped;
        PutU32(codeView, 0x2100 + 12, 2);
        EXPECT_TRUE(TD32DataOfImage(*TTracePeImage::Read(codeView, TPeLayout::Mapped)).empty())
            << "an entry of another kind is another toolchain's";
        std::vector<uint8_t> twoEntries = mapped;
        const size_t directories = 0x44 + 20 + (is64 ? 112 : 96);
        PutU32(twoEntries, directories + 6 * 8 + 4, 56);
        std::copy(mapped.begin() + 0x2100, mapped.begin() + 0x211C, twoEntries.begin() + 0x211C);
        EXPECT_TRUE(TD32DataOfImage(*TTracePeImage::Read(twoEntries, TPeLayout::Mapped)).empty());
        std::vector<uint8_t> outside = mapped;
        PutU32(outside, 0x2100 + 20, 0x3FF0);
        EXPECT_TRUE(TD32DataOfImage(*TTracePeImage::Read(outside, TPeLayout::Mapped)).empty())
            << "data running past the image";
    }
}

// ---- Malformed data

TEST(TD32Malformed, ADirectoryWithEntriesOfAnotherSizeRaisesTheAssertion) {
    Td32Layout layout;
    std::vector<uint8_t> bytes = TwoUnits().Build(&layout);
    PutU16(bytes, layout.FirstDirectory + 2, 16);
    try {
        Scan(bytes);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& failure) {
        EXPECT_EQ(failure.Message().rfind("Assertion failure (lib/Trace/source/TraceTD32, line ", 0), 0u)
            << failure.Message();
    }
}

TEST(TD32Malformed, PositionsAndCountsBeyondTheDataAreRefused) {
    Td32Layout layout;
    const std::vector<uint8_t> good = TwoUnits().Build(&layout);
    const auto refused = [](std::vector<uint8_t> bytes, size_t at, uint32_t value, bool wide = true) {
        if (wide)
            PutU32(bytes, at, value);
        else
            PutU16(bytes, at, static_cast<uint16_t>(value));
        const auto scanner = TTraceTD32InfoScanner(std::span<const uint8_t>(bytes));
        return !scanner.ValidFormat() && scanner.UnitOf(0x210).empty() && scanner.Modules().empty();
    };
    const size_t entries = layout.FirstDirectory + 16;
    EXPECT_TRUE(refused(good, 4, static_cast<uint32_t>(good.size()))) << "the first directory";
    EXPECT_TRUE(refused(good, layout.FirstDirectory + 4, 0xFFFFFFFF)) << "the directory's entry count";
    EXPECT_TRUE(refused(good, layout.FirstDirectory + 4, 0x15555556))
        << "a count that wraps when scaled by 12";
    EXPECT_TRUE(refused(good, layout.FirstDirectory, 8, false)) << "a header shorter than its fields";
    EXPECT_TRUE(refused(good, entries + 4, static_cast<uint32_t>(good.size()))) << "a subsection's position";
    EXPECT_TRUE(refused(good, entries + 8, 0xFFFFFFF0)) << "a subsection's size";
    EXPECT_TRUE(refused(good, layout.Names, 0x7FFFFFFF)) << "the name count";
    EXPECT_TRUE(refused(good, layout.FirstModule + 4, 0xFFFF, false)) << "the segment count";
    EXPECT_TRUE(refused(good, layout.FirstSourceModule, 0xFFFF, false)) << "the file count";
    EXPECT_TRUE(refused(good, layout.FirstSourceModule + 4, 0xFFFFFFF0)) << "a file's position";
    EXPECT_TRUE(refused(good, layout.Symbols + 4, 0xFFFF, false)) << "a symbol longer than its subsection";
    EXPECT_TRUE(refused(good, layout.Symbols + 4, 0, false)) << "a symbol shorter than its own header";
    EXPECT_TRUE(refused(good, layout.Symbols + 4 + 12, 20, false)) << "a procedure without its fields";
}

TEST(TD32Malformed, DirectoriesThatLoopAndTablesReadOverAndOverAreRefused) {
    Td32Layout layout;
    const std::vector<uint8_t> good = TwoUnits().Build(&layout);
    std::vector<uint8_t> loop = good;
    PutU32(loop, layout.FirstDirectory + 8, static_cast<uint32_t>(layout.FirstDirectory));
    EXPECT_FALSE(Scan(loop).ValidFormat()) << "a directory naming itself as the next";

    // One file entry with a large line table, named 60000 times by the source module: well-formed
    // data reads each byte about once.
    std::vector<uint8_t> shared(8, 0);
    PutU32(shared, 0, 0x39304246);
    const size_t sourceModule = shared.size();
    const uint16_t files = 60000;
    shared.resize(sourceModule + 4 + 4 * files, 0);
    PutU16(shared, sourceModule, files);
    const size_t fileEntry = shared.size();
    shared.resize(fileEntry + 6 + 8 + 4 + 6 * 60000, 0);
    PutU16(shared, fileEntry, 1);
    PutU32(shared, fileEntry + 2, 1);
    PutU32(shared, fileEntry + 6, static_cast<uint32_t>(fileEntry + 14 - sourceModule));
    PutU16(shared, fileEntry + 14 + 2, 60000);
    for (uint16_t f = 0; f < files; ++f)
        PutU32(shared, sourceModule + 4 + 4 * f, static_cast<uint32_t>(fileEntry - sourceModule));
    const size_t directory = shared.size();
    shared.resize(directory + 28, 0);
    PutU16(shared, directory, 16);
    PutU16(shared, directory + 2, 12);
    PutU32(shared, directory + 4, 1);
    PutU16(shared, directory + 16, 0x127);
    PutU32(shared, directory + 20, static_cast<uint32_t>(sourceModule));
    PutU32(shared, directory + 24, static_cast<uint32_t>(directory - sourceModule));
    PutU32(shared, 4, static_cast<uint32_t>(directory));
    shared.resize(shared.size() + 8, 0);
    PutU32(shared, shared.size() - 8, 0x39304246);
    PutU32(shared, shared.size() - 4, static_cast<uint32_t>(shared.size()));
    EXPECT_FALSE(Scan(shared).ValidFormat());
}

TEST(TD32Malformed, EveryTruncationAndMutationStaysInsideTheData) {
    Td32Builder builder = TwoUnits();
    builder.TwoDirectories = true;
    const std::vector<uint8_t> good = builder.Build();
    const auto scan = [](const std::vector<uint8_t>& bytes) {
        // An exact allocation, so that a read past the end is caught by the sanitizers.
        const std::unique_ptr<uint8_t[]> exact(new uint8_t[std::max<size_t>(bytes.size(), 1)]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        try {
            const TTraceTD32InfoScanner scanner(std::span<const uint8_t>(exact.get(), bytes.size()));
            for (const uint32_t offset : {0x0u, 0x105u, 0x1FFu, 0x230u, 0x810u, 0xFFFFFFFFu}) {
                scanner.UnitOf(offset);
                scanner.ProcedureOf(offset);
                scanner.LineOf(offset);
                scanner.SourceFileOf(offset);
            }
        } catch (const EAssertionFailed&) {
            // A damaged entry size: refused loudly, as the format asks.
        }
    };
    for (size_t length = 0; length < good.size(); ++length) {
        // Cut short, with the trailer put back so that the reader believes the data.
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        cut.insert(cut.end(), good.end() - 8, good.end());
        PutU32(cut, cut.size() - 4, static_cast<uint32_t>(cut.size()));
        scan(cut);
    }
    std::mt19937 random(32);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> bytes = good;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c)
            bytes[random() % (bytes.size() - 8)] = static_cast<uint8_t>(random());
        scan(bytes);
    }
}

} // namespace
