// Linker map files: the sections a map holds, the segment-1 rule, the ordering rules for line
// entries, the name texts cut from the file, and maps that are cut short or garbled.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "TraceMapScanner.h"

namespace {

const std::string SampleMap =
    "\r\n"
    " Start         Length     Name                   Class\r\n"
    " 0001:00401000 000A1334H .text                   CODE\r\n"
    " 0002:004A3000 00001000H .data                   DATA\r\n"
    "\r\n"
    "\r\n"
    "Detailed map of segments\r\n"
    "\r\n"
    " 0001:00000000 000A1234H C=CODE     S=.text    G=(none)   M=SysInit  ACBP=A9\r\n"
    " 0001:000A1234 00000100 C=CODE     S=.text    G=(none)   M=FerruleFrm ACBP=A9\r\n"
    " 0002:00000000 000A1234H C=DATA     S=.data    G=DGROUP   M=SysData  ACBP=A9\r\n"
    "\r\n"
    "\r\n"
    "  Address         Publics by Name\r\n"
    "\r\n"
    " 0001:00000010       SysInit.InitProc\r\n"
    " 0001:000A1240       FerruleFrm.TFerruleForm.Timer1Timer\r\n"
    "\r\n"
    "\r\n"
    "  Address         Publics by Value\r\n"
    "\r\n"
    " 0001:00000010       SysInit.InitProc\r\n"
    " 0001:000A1240       FerruleFrm.TFerruleForm.Timer1Timer\r\n"
    " 0002:00000004       SysData.Counter\r\n"
    "\r\n"
    "\r\n"
    "Line numbers for SysInit(SysInit.pas) segment .text\r\n"
    "\r\n"
    "   100 0001:00000010   101 0001:00000018   102 0001:00000018    99 0001:00000020\r\n"
    "\r\n"
    "Line numbers for FerruleFrm(app/FerruleFrm.pas) segment .text\r\n"
    "\r\n"
    "    40 0001:000A1240    41 0001:000A1250     7 0002:00000004\r\n"
    "\r\n";

// Records every event, to check the parser apart from the scanner's choices.
class RecordingParser : public TTraceAbstractMapParser {
public:
    using TTraceAbstractMapParser::TTraceAbstractMapParser;
    std::vector<std::string> events;

protected:
    void ClassTableItem(const TTraceMapAddress& a, uint32_t length, size_t section,
                        size_t className) override {
        events.push_back("class " + Address(a) + " " + std::to_string(length) + " " + NameTextAt(section) +
                         " " + NameTextAt(className));
    }
    void SegmentItem(const TTraceMapAddress& a, uint32_t length, size_t className, size_t unit) override {
        events.push_back("segment " + Address(a) + " " + std::to_string(length) + " " +
                         NameTextAt(className) + " " + NameTextAt(unit));
    }
    void PublicsByNameItem(const TTraceMapAddress& a, size_t name) override {
        events.push_back("byname " + Address(a) + " " + NameTextAt(name));
    }
    void PublicsByValueItem(const TTraceMapAddress& a, size_t name) override {
        events.push_back("byvalue " + Address(a) + " " + NameTextAt(name));
    }
    void LineNumberUnitItem(size_t unit, size_t file) override {
        events.push_back("lines " + NameTextAt(unit) + " " + NameTextAt(file));
    }
    void LineNumbersItem(uint32_t line, const TTraceMapAddress& a) override {
        events.push_back("line " + std::to_string(line) + " " + Address(a));
    }

private:
    static std::string Address(const TTraceMapAddress& a) {
        return std::to_string(a.Segment) + ":" + std::to_string(a.Offset);
    }
};

TEST(MapParser, ReportsEverySectionInOrder) {
    RecordingParser parser(SampleMap);
    parser.Parse();
    const std::vector<std::string> expected = {
        "class 1:4198400 660276 .text CODE",
        "class 2:4861952 4096 .data DATA",
        "segment 1:0 660020 CODE SysInit",
        "segment 1:660020 256 CODE FerruleFrm",
        "segment 2:0 660020 DATA SysData",
        "byname 1:16 SysInit.InitProc",
        "byname 1:660032 FerruleFrm.TFerruleForm.Timer1Timer",
        "byvalue 1:16 SysInit.InitProc",
        "byvalue 1:660032 FerruleFrm.TFerruleForm.Timer1Timer",
        "byvalue 2:4 SysData.Counter",
        "lines SysInit SysInit.pas",
        "line 100 1:16",
        "line 101 1:24",
        "line 102 1:24",
        "line 99 1:32",
        "lines FerruleFrm app/FerruleFrm.pas",
        "line 40 1:660032",
        "line 41 1:660048",
        "line 7 2:4",
    };
    EXPECT_EQ(parser.events, expected);
    EXPECT_EQ(parser.NameTextAt(parser.LinkerBugUnit()), "FerruleFrm")
        << "its addresses go down (into segment 2)";
}

TEST(MapScanner, KeepsSegmentOneOnly) {
    const TTraceMapScanner scanner(SampleMap);
    EXPECT_EQ(scanner.UnitOf(0), "SysInit");
    EXPECT_EQ(scanner.UnitStartOf(0x1000), 0u);
    EXPECT_EQ(scanner.UnitOf(0x000A1234), "FerruleFrm") << "the later segment wins where two touch";
    EXPECT_EQ(scanner.UnitOf(0x000A1334), "FerruleFrm") << "a segment's end is inclusive";
    EXPECT_EQ(scanner.UnitOf(0x000A1335), "");
    EXPECT_EQ(scanner.UnitStartOf(0x000A1400), 0xFFFFFFFFu);
    EXPECT_EQ(scanner.TopValidOffset(), 0x000A1334u);
    EXPECT_EQ(scanner.ProcedureOf(4).Name, "") << "the data segment's public is not a procedure";
}

TEST(MapScanner, APublicAtTheOffsetIsTakenItselfAndLaterOffsetsCountFromIt) {
    const TTraceMapScanner scanner(SampleMap);
    const auto exact = scanner.ProcedureOf(0x10);
    EXPECT_EQ(exact.Name, "SysInit.InitProc");
    EXPECT_EQ(exact.Offset, 0);
    EXPECT_EQ(scanner.ProcedureOf(0x15).Offset, 5);
    EXPECT_EQ(scanner.ProcedureOf(0x000A1248).Name, "FerruleFrm.TFerruleForm.Timer1Timer");
    EXPECT_EQ(scanner.ProcedureOf(0x000A1236).Name, "") << "the last public lies below this unit's start";
    EXPECT_EQ(scanner.ProcedureOf(0xF).Name, "");
}

TEST(MapScanner, LineEntriesThatBreakTheOrderAreRejectedAndCounted) {
    const TTraceMapScanner scanner(SampleMap);
    // 102 at the offset of 101, and 7 in segment 2: both rejected.
    EXPECT_EQ(scanner.RejectedLines(), 2u);
    EXPECT_EQ(scanner.LineOf(0x18).Line, 101);
    EXPECT_EQ(scanner.LineOf(0x1F).Line, 101);
    EXPECT_EQ(scanner.LineOf(0x1F).Offset, 7);
    EXPECT_EQ(scanner.LineOf(0x20).Line, 99) << "a line number may go down as long as the offset goes up";
    EXPECT_EQ(scanner.LineOf(0x000A1255).Line, 41);
}

TEST(MapScanner, TheFirstAcceptedLineOfEachBlockStartsItsSourceFile) {
    const TTraceMapScanner scanner(SampleMap);
    EXPECT_EQ(scanner.SourceFileOf(0x10), "SysInit.pas");
    EXPECT_EQ(scanner.SourceFileOf(0x30), "SysInit.pas");
    EXPECT_EQ(scanner.SourceFileOf(0x000A1240), "app/FerruleFrm.pas");
    EXPECT_EQ(scanner.SourceFileOf(0x000A1236), "")
        << "the previous block's file lies below this unit's start";
}

TEST(MapScanner, LineFeedsAloneEndLinesAndNamesToo) {
    std::string unixMap;
    for (char c : SampleMap)
        if (c != '\r')
            unixMap += c;
    const TTraceMapScanner scanner(unixMap);
    EXPECT_EQ(scanner.UnitOf(0), "SysInit");
    EXPECT_EQ(scanner.ProcedureOf(0x10).Name, "SysInit.InitProc");
    EXPECT_EQ(scanner.LineOf(0x20).Line, 99);
}

TEST(MapScanner, AMapWithoutItsHeadersKnowsNothing) {
    const TTraceMapScanner empty("");
    EXPECT_EQ(empty.UnitOf(0), "");
    const TTraceMapScanner prose("This is not a map file.\r\n 0001:00000000 00001000 C=CODE M=Unit\r\n");
    EXPECT_EQ(prose.UnitOf(0), "");
    EXPECT_EQ(prose.ProcedureOf(0).Name, "");
}

TEST(MapScanner, EveryPrefixAndMutationOfAMapIsReadWithinItsBounds) {
    const auto scan = [](const std::string& text) {
        // A copy of exactly the text's size, so that the sanitizers see any read past it.
        const std::unique_ptr<char[]> exact(new char[text.size() + 1]);
        std::copy(text.begin(), text.end(), exact.get());
        const TTraceMapScanner scanner(std::string_view(exact.get(), text.size()));
        for (uint32_t offset : {0u, 0x10u, 0x20u, 0xA1236u, 0xA1250u, 0xFFFFFFFFu}) {
            scanner.UnitOf(offset);
            scanner.ProcedureOf(offset);
            scanner.LineOf(offset);
            scanner.SourceFileOf(offset);
        }
    };
    for (size_t length = 0; length <= SampleMap.size(); ++length)
        scan(SampleMap.substr(0, length));
    std::mt19937 random(20261208);
    const std::string alphabet = "0123456789ABCDEFH:=() \r\n\tCM.";
    for (int round = 0; round < 2000; ++round) {
        std::string text = SampleMap;
        const int changes = 1 + static_cast<int>(random() % 6);
        for (int c = 0; c < changes; ++c)
            text[random() % text.size()] = alphabet[random() % alphabet.size()];
        scan(text);
    }
}

} // namespace
