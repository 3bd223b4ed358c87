// TDBG data: what the build writes, the reader answers, for every offset; hand-made tables for the
// corner cases of the format; and malformed data that must answer nothing without reading past it.
#include <gtest/gtest.h>

#include <random>

#include "LittleEndian.h"
#include "TraceDebugScanner.h"
#include "TraceDebugWriter.h"

namespace {

using namespace TraceDebugFormat;

// A header whose tables are the given raw bytes, laid out one after another, and a name area.
std::vector<uint8_t> HandMade(const std::vector<uint8_t>& units, const std::vector<uint8_t>& files,
                              const std::vector<uint8_t>& procedures, const std::vector<uint8_t>& lines,
                              const std::vector<uint8_t>& names) {
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
    append(UnitTableField, units);
    append(SourceTableField, files);
    append(ProcedureTableField, procedures);
    append(LineTableField, lines);
    append(NameAreaField, names);
    data.resize((data.size() + 3) / 4 * 4, 0);
    return data;
}

const std::vector<uint8_t> End = {0xFF, 0xFF, 0xFF, 0xFF, 0x07};

std::vector<uint8_t> Plain(const std::string& text) {
    std::vector<uint8_t> bytes{1};
    for (char c : text)
        bytes.push_back(static_cast<uint8_t>(c ^ 0xAA));
    bytes.push_back(0);
    return bytes;
}

TraceDebugContent TwoUnits() {
    TraceDebugContent content;
    content.ModuleName = "Ferrule";
    content.Units = {{0x100, "VynLXUtils"}, {0x400, "FerruleFrm"}};
    content.SourceFiles = {{0x100, "lib/VynLX/VynLXUtils.cpp"}, {0x400, "app/FerruleFrm.cpp"}};
    content.Procedures = {{0x100, "TVynRegistry", "ReadStringWide"},
                          {0x180, "GetCommonFilesFolder", ""},
                          {0x3F0, "StraddlesIntoTheNextUnit", ""},
                          {0x420, "TFerruleForm", "Timer1Timer"}};
    content.Lines = {{0x100, 40},  {0x110, 41}, {0x180, 115}, {0x1A0, 120},
                     {0x1B0, 118}, {0x400, 7},  {0x420, 12}};
    return content;
}

TEST(TraceDebugScanner, AnswersWhatTheBuildWroteForEveryOffset) {
    const std::vector<uint8_t> data = WriteTraceDebugData(TwoUnits());
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    ASSERT_TRUE(scanner.ValidFormat());
    EXPECT_EQ(scanner.ModuleName(), "Ferrule");

    EXPECT_EQ(scanner.UnitOf(0x100), "VynLXUtils");
    EXPECT_EQ(scanner.UnitOf(0x3FF), "VynLXUtils");
    EXPECT_EQ(scanner.UnitOf(0x400), "FerruleFrm");
    EXPECT_EQ(scanner.UnitStartOf(0x401), 0x400u);

    const auto procedure = scanner.ProcedureOf(0x1A4);
    EXPECT_EQ(procedure.Name, "GetCommonFilesFolder");
    EXPECT_EQ(procedure.Offset, 0x24);
    EXPECT_EQ(scanner.ProcedureOf(0x105).Name, "TVynRegistry.ReadStringWide");
    EXPECT_EQ(scanner.ProcedureOf(0x430).Name, "TFerruleForm.Timer1Timer");

    const auto line = scanner.LineOf(0x1A4);
    EXPECT_EQ(line.Line, 120);
    EXPECT_EQ(line.Offset, 4);
    EXPECT_EQ(scanner.LineOf(0x1B2).Line, 118) << "a line number may step back";
    EXPECT_EQ(scanner.SourceFileOf(0x1A4), "lib/VynLX/VynLXUtils.cpp");
    EXPECT_EQ(scanner.SourceFileOf(0x500), "app/FerruleFrm.cpp");
}

TEST(TraceDebugScanner, AnOffsetBeforeTheFirstUnitHasNoLocation) {
    const std::vector<uint8_t> data = WriteTraceDebugData(TwoUnits());
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    EXPECT_EQ(scanner.UnitOf(0xFF), "");
    EXPECT_EQ(scanner.UnitStartOf(0xFF), 0xFFFFFFFFu);
    EXPECT_EQ(scanner.ProcedureOf(0xFF).Name, "");
    EXPECT_EQ(scanner.LineOf(0xFF).Line, 0);
    EXPECT_EQ(scanner.SourceFileOf(0xFF), "");
}

TEST(TraceDebugScanner, AProcedureStartingInThePreviousUnitIsNotReportedForTheNextOne) {
    const std::vector<uint8_t> data = WriteTraceDebugData(TwoUnits());
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    EXPECT_EQ(scanner.ProcedureOf(0x3F8).Name, "StraddlesIntoTheNextUnit");
    const auto inNextUnit = scanner.ProcedureOf(0x410);
    EXPECT_EQ(inNextUnit.Name, "");
    EXPECT_EQ(inNextUnit.Offset, 0);
    EXPECT_EQ(scanner.LineOf(0x40F).Line, 7);
}

TEST(TraceDebugScanner, VariableLengthNumbersAndRunningSums) {
    // Unit at 133 (0x85 0x01), a second one 127 later (0x7F alone); names by differences.
    const std::vector<uint8_t> names = [] {
        std::vector<uint8_t> area = Plain("First");
        const std::vector<uint8_t> second = Plain("Second");
        area.insert(area.end(), second.begin(), second.end());
        return area;
    }();
    std::vector<uint8_t> units = {0x85, 0x01, 0x01, 0x7F, 0x07};
    units.insert(units.end(), End.begin(), End.end());
    const std::vector<uint8_t> data = HandMade(units, End, End, End, names);
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    ASSERT_TRUE(scanner.ValidFormat());
    EXPECT_EQ(scanner.UnitOf(132), "");
    EXPECT_EQ(scanner.UnitOf(133), "First");
    EXPECT_EQ(scanner.UnitStartOf(259), 133u);
    EXPECT_EQ(scanner.UnitOf(260), "Second");
    EXPECT_EQ(scanner.UnitStartOf(1000), 260u);
}

TEST(TraceDebugScanner, ATableThatStepsBackIsWalkedAsTheFormatSaysNotSearched) {
    // Lines at 0x10 (5), 0x30 (7), then back at 0x20 (9): the walk from the end finds 0x20 first.
    std::vector<uint8_t> units = {0x00, 0x01};
    units.insert(units.end(), End.begin(), End.end());
    std::vector<uint8_t> lines = {0x10, 0x05, 0x20, 0x02, 0xF0, 0xFF, 0xFF, 0xFF, 0x0F, 0x02};
    lines.insert(lines.end(), End.begin(), End.end());
    const std::vector<uint8_t> data = HandMade(units, End, End, lines, Plain("Unit"));
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    ASSERT_TRUE(scanner.ValidFormat());
    EXPECT_EQ(scanner.LineOf(0x35).Line, 9);
    EXPECT_EQ(scanner.LineOf(0x15).Line, 5);
    EXPECT_EQ(TTraceBinDebugScanner(data.data(), data.size(), false).LineOf(0x35).Line, 9)
        << "uncached alike";
}

TEST(TraceDebugScanner, TablesAndNamesAreExpandedOnceAndCounted) {
    const std::vector<uint8_t> data = WriteTraceDebugData(TwoUnits());
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    EXPECT_EQ(scanner.CacheBytes(), 0u);
    EXPECT_EQ(scanner.ProcedureOf(0x190).Name, "GetCommonFilesFolder");
    const size_t afterOne = scanner.CacheBytes();
    EXPECT_GT(afterOne, 0u);
    EXPECT_EQ(scanner.ProcedureOf(0x1A0).Name, "GetCommonFilesFolder");
    EXPECT_EQ(scanner.CacheBytes(), afterOne) << "the same procedure again: nothing new kept";
    EXPECT_EQ(scanner.ProcedureOf(0x420).Name, "TFerruleForm.Timer1Timer");
    EXPECT_GT(scanner.CacheBytes(), afterOne) << "another name kept";
    const TTraceBinDebugScanner uncached(data.data(), data.size(), false);
    EXPECT_EQ(uncached.ProcedureOf(0x420).Name, "TFerruleForm.Timer1Timer");
}

// Thousands of procedures and lines, more than the first name table holds, with runs of lines at
// one start (the last of a run answers): every start, the offset before it and one inside it.
TEST(TraceDebugScanner, LargeTablesAnswerLikeTheirContentAtEveryBoundary) {
    TraceDebugContent content;
    content.ModuleName = "Large";
    content.Units = {{0x10, "First"}, {0x20010, "Second"}};
    content.SourceFiles = {{0x10, "a.cpp"}, {0x20010, "b.cpp"}};
    for (uint32_t i = 0; i < 3000; ++i) {
        const uint32_t start = 0x10 + 0x40 * i;
        content.Procedures.push_back({start, "Class" + std::to_string(i % 7), "Method" + std::to_string(i)});
        content.Lines.push_back({start, 10 + i});
        content.Lines.push_back({start, 20000 + i}); // the same start again: this one counts
        content.Lines.push_back({start + 0x20, 40000 + i});
    }
    const std::vector<uint8_t> data = WriteTraceDebugData(content);
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    ASSERT_TRUE(scanner.ValidFormat());
    for (int pass = 0; pass < 2; ++pass) { // the second pass answers from the kept names
        for (uint32_t i = 0; i < 3000; ++i) {
            const uint32_t start = 0x10 + 0x40 * i;
            const std::string expected = "Class" + std::to_string(i % 7) + ".Method" + std::to_string(i);
            ASSERT_EQ(scanner.ProcedureOf(start).Name, expected);
            ASSERT_EQ(scanner.ProcedureOf(start + 0x3F).Offset, 0x3F);
            ASSERT_EQ(scanner.LineOf(start + 0x1F).Line, static_cast<int32_t>(20000 + i));
            ASSERT_EQ(scanner.LineOf(start + 0x20).Line, static_cast<int32_t>(40000 + i));
            if (i > 0) {
                ASSERT_EQ(scanner.LineOf(start - 1).Line, static_cast<int32_t>(40000 + i - 1));
            }
        }
    }
    EXPECT_EQ(scanner.ProcedureOf(0xF).Name, "");
    EXPECT_EQ(scanner.ProcedureOf(0x20010).Name, "Class4.Method2048");
    EXPECT_EQ(scanner.ProcedureOf(0x2000F).Name, "Class3.Method2047");
    EXPECT_EQ(scanner.SourceFileOf(0x2000F), "a.cpp");
    EXPECT_EQ(scanner.SourceFileOf(0xFFFFFFFF), "b.cpp");
    EXPECT_EQ(scanner.ProcedureOf(0xFFFFFFFF).Name, "Class3.Method2999");
}

// One location takes four lookups of the same offset; the unit found for one offset must never
// answer for another, also when the first lies before every unit.
TEST(TraceDebugScanner, TheUnitOfOneOffsetIsNotReusedForAnother) {
    const std::vector<uint8_t> data = WriteTraceDebugData(TwoUnits());
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    for (uint32_t offset : {0xFFu, 0x100u, 0xFFu, 0x3F8u, 0x410u, 0x3F8u, 0x0u, 0x420u}) {
        const bool inFirst = offset >= 0x100 && offset < 0x400;
        const bool inSecond = offset >= 0x400;
        EXPECT_EQ(scanner.UnitOf(offset), inFirst ? "VynLXUtils" : inSecond ? "FerruleFrm" : "") << offset;
        EXPECT_EQ(scanner.UnitStartOf(offset), inFirst ? 0x100u : inSecond ? 0x400u : 0xFFFFFFFFu) << offset;
        EXPECT_EQ(scanner.ProcedureOf(offset).Name.empty(), !inFirst && offset != 0x420) << offset;
        EXPECT_EQ(scanner.SourceFileOf(offset).empty(), !inFirst && !inSecond) << offset;
    }
}

TEST(TraceDebugScanner, TheWordSumCountsEveryWordAndAPartialLastOne) {
    std::mt19937 random(4711);
    std::vector<uint8_t> bytes(300);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(random());
    for (size_t size = 0; size <= bytes.size(); ++size) {
        uint32_t expected = 0;
        for (size_t i = 0; i < size; ++i)
            expected += static_cast<uint32_t>(bytes[i]) << (8 * (i % 4));
        ASSERT_EQ(WordSum(bytes.data(), size), expected) << size;
    }
}

TEST(TraceDebugScanner, NamesInAllThreeForms) {
    // Packed "Ab_9": codes 11, 38, 63, 10; then a terminating zero code.
    const std::vector<uint8_t> packed = {static_cast<uint8_t>(11 | (38 << 6)),
                                         static_cast<uint8_t>((38 >> 2) | (63 << 4)),
                                         static_cast<uint8_t>((63 >> 4) | (10 << 2)),
                                         0,
                                         0,
                                         0};
    std::vector<uint8_t> area = packed;
    std::vector<uint8_t> at = {2};
    at.insert(at.end(), packed.begin(), packed.end());
    area.insert(area.end(), at.begin(), at.end());
    const std::vector<uint8_t> plain = {1, 'x' ^ 0xAA, 0xAA, '!' ^ 0xAA, 0};
    area.insert(area.end(), plain.begin(), plain.end());
    const std::vector<uint8_t> data = HandMade(End, End, End, End, area);
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    ASSERT_TRUE(scanner.ValidFormat());
    EXPECT_EQ(scanner.NameAt(0), "");
    EXPECT_EQ(scanner.NameAt(1), "Ab_9");
    EXPECT_EQ(scanner.NameAt(1 + packed.size()), "@Ab_9") << "a first byte of 2 stands for the at sign";
    EXPECT_EQ(scanner.NameAt(1 + packed.size() + at.size()), "x\xAA!") << "0xAA is stored as itself";
    EXPECT_EQ(scanner.NameAt(static_cast<uint32_t>(data.size() + 10)), "") << "a reference past the data";
}

TEST(TraceDebugScanner, NamesRoundTripThroughTheWriterInTheirShortestExactForm) {
    for (const std::string& name :
         std::vector<std::string>{"Ferrule", "@Ferrule", "_Z3fooi", "operator<<", "0", "1x",
                                  "std::vector<int>::push_back", "@", "a", std::string(300, 'q')}) {
        TraceDebugContent content;
        content.ModuleName = name;
        const std::vector<uint8_t> data = WriteTraceDebugData(content);
        const TTraceBinDebugScanner scanner(data.data(), data.size());
        ASSERT_TRUE(scanner.ValidFormat()) << name;
        EXPECT_EQ(scanner.ModuleName(), name.substr(0, MaxNameLength)) << name;
    }
    EXPECT_EQ(PackTraceDebugName("Ferrule")[0] & 0x3F, 16) << "identifiers are packed";
    EXPECT_EQ(PackTraceDebugName("@Ferrule")[0], 2);
    EXPECT_EQ(PackTraceDebugName("a::b")[0], 1) << "anything else is stored plain";
}

TEST(TraceDebugScanner, TheFormatCheckRefusesWhatIsNotTdbgVersionOne) {
    const std::vector<uint8_t> good = WriteTraceDebugData(TwoUnits());
    EXPECT_TRUE(TTraceBinDebugScanner(good.data(), good.size()).ValidFormat());
    EXPECT_FALSE(TTraceBinDebugScanner(nullptr, 100).ValidFormat());
    EXPECT_FALSE(TTraceBinDebugScanner(good.data(), 32).ValidFormat()) << "shorter than 35 bytes";
    EXPECT_FALSE(TTraceBinDebugScanner(good.data(), good.size() - 1).ValidFormat()) << "not a multiple of 4";
    std::vector<uint8_t> wrongMagic = good;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(TTraceBinDebugScanner(wrongMagic.data(), wrongMagic.size()).ValidFormat());
    std::vector<uint8_t> version2 = good;
    version2[4] = 2;
    EXPECT_FALSE(TTraceBinDebugScanner(version2.data(), version2.size()).ValidFormat());
}

TEST(TraceDebugScanner, TheChecksumCatchesAnyChangedByteAndIsOptional) {
    const std::vector<uint8_t> good = WriteTraceDebugData(TwoUnits());
    for (size_t i = 0; i < good.size(); ++i) {
        if (i == ChecksumPresentField)
            continue;
        std::vector<uint8_t> changed = good;
        changed[i] ^= 0x10;
        EXPECT_FALSE(TTraceBinDebugScanner(changed.data(), changed.size()).ValidFormat()) << "byte " << i;
    }
    const std::vector<uint8_t> unchecked = WriteTraceDebugData(TwoUnits(), false);
    EXPECT_EQ(unchecked[ChecksumPresentField], 0);
    std::vector<uint8_t> changedName = unchecked;
    changedName[changedName.size() - 5] ^= 0x01;
    EXPECT_TRUE(TTraceBinDebugScanner(changedName.data(), changedName.size()).ValidFormat());
}

TEST(TraceDebugScanner, TheModuleIsMatchedByFileNameWithoutFolderExtensionOrCase) {
    const std::vector<uint8_t> data = WriteTraceDebugData(TwoUnits());
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    EXPECT_TRUE(scanner.MatchesModule("C:\\Program Files\\App\\FERRULE.EXE"));
    EXPECT_TRUE(scanner.MatchesModule("ferrule.tdbg"));
    EXPECT_TRUE(scanner.MatchesModule("Ferrule"));
    EXPECT_FALSE(scanner.MatchesModule("C:\\Ferrule\\dao360.dll"));
    EXPECT_FALSE(scanner.MatchesModule("Ferrule2.exe"));
}

TEST(TraceDebugScanner, TablesThatRunOffTheDataAnswerWhatTheyHoldBeforeTheBreak) {
    // A unit, then a number that never ends.
    std::vector<uint8_t> units = {0x10, 0x01, 0x80, 0x80, 0x80};
    const std::vector<uint8_t> data = HandMade(units, End, End, End, Plain("Unit"));
    // The name area's field points past the truncated table on purpose: only the table is broken.
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    ASSERT_TRUE(scanner.ValidFormat());
    EXPECT_EQ(scanner.UnitStartOf(0x20), 0x10u);

    std::vector<uint8_t> pastTheEnd = WriteTraceDebugData(TwoUnits(), false);
    for (size_t field :
         {UnitTableField, SourceTableField, ProcedureTableField, LineTableField, NameAreaField})
        pastTheEnd[field + 3] = 0x7F;
    const TTraceBinDebugScanner broken(pastTheEnd.data(), pastTheEnd.size());
    ASSERT_TRUE(broken.ValidFormat());
    EXPECT_EQ(broken.UnitOf(0x200), "");
    EXPECT_EQ(broken.ProcedureOf(0x200).Name, "");
    EXPECT_EQ(broken.LineOf(0x200).Line, 0);
    EXPECT_EQ(broken.SourceFileOf(0x200), "");
}

// Units at one start, a unit without entries, a procedure before every unit and one running into
// the next unit: what the kept tables answer must be what a fresh read of the data answers.
TraceDebugContent AwkwardUnits() {
    TraceDebugContent content = TwoUnits();
    content.Units.push_back({0x400, "SameStartAsFerruleFrm"});
    content.Units.push_back({0x600, "WithoutEntries"});
    content.Units.push_back({0x700, "Last"});
    content.Procedures.push_back({0x80, "BeforeEveryUnit", ""});
    content.Procedures.push_back({0x6F0, "IntoLast", "Method"});
    content.Lines.push_back({0x700, 3});
    content.SourceFiles.push_back({0x6F8, "last.cpp"});
    return content;
}

// Enough units for the reader to index them, far apart and close together, two at one start and
// the last far out: the kept tables must answer every offset around them as a fresh read does.
TraceDebugContent ManyUnits() {
    TraceDebugContent content;
    content.ModuleName = "Many";
    std::mt19937 random(77);
    uint32_t start = 0x40;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "Unit" + std::to_string(i);
        content.Units.push_back({start, name});
        content.SourceFiles.push_back({start + 2, name + ".cpp"});
        content.Procedures.push_back({start, name, "Run"});
        content.Lines.push_back({start + 1, static_cast<uint32_t>(100 + i)});
        start += i == 20 ? 0 : i == 40 ? 0x100000 : 1 + static_cast<uint32_t>(random() % 0x300);
    }
    content.Units.push_back({0xFFFFFF00, "Far"});
    return content;
}

TEST(TraceDebugScanner, ManyUnitsAreFoundAsAFreshReadFindsThem) {
    const TraceDebugContent content = ManyUnits();
    const std::vector<uint8_t> data = WriteTraceDebugData(content);
    const TTraceBinDebugScanner kept(data.data(), data.size(), true);
    const TTraceBinDebugScanner fresh(data.data(), data.size(), false);
    std::vector<uint32_t> offsets = {0, 0x3F, 0xFFFFFFFF, 0xFFFFFEFF, 0x80000000};
    for (const auto& unit : content.Units)
        for (uint32_t delta : {0u, 1u, 2u, 3u, 0xFFFFFFFFu})
            offsets.push_back(unit.Start + delta);
    for (uint32_t offset : offsets) {
        EXPECT_EQ(kept.UnitOf(offset), fresh.UnitOf(offset)) << offset;
        EXPECT_EQ(kept.UnitStartOf(offset), fresh.UnitStartOf(offset)) << offset;
        EXPECT_EQ(kept.ProcedureOf(offset).Name, fresh.ProcedureOf(offset).Name) << offset;
        EXPECT_EQ(kept.LineOf(offset).Line, fresh.LineOf(offset).Line) << offset;
        EXPECT_EQ(kept.SourceFileOf(offset), fresh.SourceFileOf(offset)) << offset;
    }
    EXPECT_EQ(kept.UnitOf(0xFFFFFFFF), "Far");
    EXPECT_EQ(kept.UnitOf(content.Units[21].Start), "Unit21") << "of two units at one start, the later";
}

TEST(TraceDebugScanner, MutatedAndTruncatedDataNeverReadsPastItsEndAndAnswersAsAFreshRead) {
    for (const TraceDebugContent& content : {TwoUnits(), AwkwardUnits(), ManyUnits()}) {
        const std::vector<uint8_t> good = WriteTraceDebugData(content, false);
        std::mt19937 random(20261208);
        for (int round = 0; round < 3000; ++round) {
            std::vector<uint8_t> data = good;
            // Round 0 leaves the data as written.
            const int changes = round == 0 ? 0 : 1 + static_cast<int>(random() % 8);
            for (int c = 0; c < changes; ++c)
                data[HeaderSize / 2 + random() % (data.size() - HeaderSize / 2)] =
                    static_cast<uint8_t>(random());
            if (round % 3 == 1)
                data.resize(std::max<size_t>(MinimumSize + 1, data.size() - 4 * (random() % 8)) / 4 * 4);
            // A copy of exactly the data's size, so that the sanitizers see any read past it.
            const std::unique_ptr<uint8_t[]> exact(new uint8_t[data.size()]);
            std::copy(data.begin(), data.end(), exact.get());
            const TTraceBinDebugScanner kept(exact.get(), data.size(), true);
            const TTraceBinDebugScanner fresh(exact.get(), data.size(), false);
            for (uint32_t offset : {0u, 0x80u, 0xFFu, 0x100u, 0x1A4u, 0x3F8u, 0x400u, 0x410u, 0x500u, 0x600u,
                                    0x6F8u, 0x700u, 0x7FFu, 0x2000u, 0x3000u, 0x103000u, 0xFFFFFFFFu}) {
                ASSERT_EQ(kept.UnitOf(offset), fresh.UnitOf(offset)) << round << " " << offset;
                ASSERT_EQ(kept.UnitStartOf(offset), fresh.UnitStartOf(offset)) << round << " " << offset;
                const auto procedure = kept.ProcedureOf(offset);
                ASSERT_EQ(procedure.Name, fresh.ProcedureOf(offset).Name) << round << " " << offset;
                ASSERT_EQ(procedure.Offset, fresh.ProcedureOf(offset).Offset) << round << " " << offset;
                const auto line = kept.LineOf(offset);
                ASSERT_EQ(line.Line, fresh.LineOf(offset).Line) << round << " " << offset;
                ASSERT_EQ(line.Offset, fresh.LineOf(offset).Offset) << round << " " << offset;
                ASSERT_EQ(kept.SourceFileOf(offset), fresh.SourceFileOf(offset)) << round << " " << offset;
            }
        }
    }
}

TEST(TraceDebugScanner, UnitsAtOneStartOrWithoutEntriesLimitWhatIsAnswered) {
    const std::vector<uint8_t> data = WriteTraceDebugData(AwkwardUnits());
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    EXPECT_EQ(scanner.UnitOf(0x400), "SameStartAsFerruleFrm") << "of units at one start, the later";
    EXPECT_EQ(scanner.ProcedureOf(0x430).Name, "TFerruleForm.Timer1Timer");
    EXPECT_EQ(scanner.ProcedureOf(0x90).Name, "") << "before every unit";
    EXPECT_EQ(scanner.UnitOf(0x650), "WithoutEntries");
    EXPECT_EQ(scanner.ProcedureOf(0x650).Name, "");
    EXPECT_EQ(scanner.LineOf(0x650).Line, 0);
    EXPECT_EQ(scanner.SourceFileOf(0x650), "");
    EXPECT_EQ(scanner.ProcedureOf(0x6F8).Name, "IntoLast.Method");
    EXPECT_EQ(scanner.ProcedureOf(0x700).Name, "") << "it started in the unit before";
    EXPECT_EQ(scanner.SourceFileOf(0x700), "") << "so did the file";
    EXPECT_EQ(scanner.LineOf(0x7FF).Line, 3);
}

} // namespace
