// The content the producer makes of line rows and procedures: units by compilation unit, gaps
// without debug data known as such, lines and files; and its reading of function names.
#include <gtest/gtest.h>

#include "TdbgProducer.h"
#include "TraceDebugScanner.h"

namespace {

// Two units as the line programs give them: FerruleFrm with a header's row inside, then a gap,
// then VynLXUtils.
std::vector<DecodedLineRow> LineRows() {
    const std::string frm = "/work/src/app/FerruleFrm.cpp", string = "/usr/include/c++/bits/basic_string.h";
    const std::string utils = "/work/src/./lib/VynLX/VynLXUtils.cpp";
    return {{0x401000, "FerruleFrm", frm, 40, false},    {0x401008, "FerruleFrm", frm, 40, false},
            {0x401008, "FerruleFrm", frm, 41, false},    {0x401010, "FerruleFrm", string, 230, false},
            {0x401020, "FerruleFrm", frm, 44, false},    {0x401030, "FerruleFrm", frm, 0, true},
            {0x401040, "VynLXUtils", utils, 300, false}, {0x401050, "VynLXUtils", utils, 301, false},
            {0x401060, "VynLXUtils", utils, 0, true}};
}

std::vector<ProcedureStart> SymbolProcedures(const std::vector<CodeSymbol>& symbols) {
    return MakeProcedureStarts(DwarfFunctions{}, symbols, 0x401000, 0x500000);
}

TEST(TdbgProducer, SplitsQualifiedNamesAndDropsParameterLists) {
    EXPECT_EQ(SplitProcedureName("TFerruleForm::Timer1Timer(TObject*)"),
              std::make_pair(std::string("TFerruleForm"), std::string("Timer1Timer")));
    EXPECT_EQ(SplitProcedureName("main"), std::make_pair(std::string("main"), std::string()));
    EXPECT_EQ(SplitProcedureName(
                  "std::vector<std::pair<int, int>, std::allocator<int> >::push_back(int const&) const"),
              std::make_pair(std::string("std::vector<std::pair<int, int>, std::allocator<int> >"),
                             std::string("push_back")));
    EXPECT_EQ(SplitProcedureName("(anonymous namespace)::Helper()"),
              std::make_pair(std::string("(anonymous namespace)"), std::string("Helper")));
    EXPECT_EQ(SplitProcedureName("Functor::operator()(int)"),
              std::make_pair(std::string("Functor"), std::string("operator()")));
}

TEST(TdbgProducer, TheContentAnswersThroughTheReaderAndKnowsItsGaps) {
    const std::vector<CodeSymbol> symbols = {{0x401000, "TFerruleForm::Timer1Timer(TObject*)"},
                                             {0x401000, "an alias at the same address"},
                                             {0x401040, "GetCommonFilesFolder()"}};
    const TraceDebugContent content =
        MakeTraceDebugContent("Ferrule", 0x401000, LineRows(), SymbolProcedures(symbols), {}, "/work/src");
    const std::vector<uint8_t> data = WriteTraceDebugData(content);
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    ASSERT_TRUE(scanner.ValidFormat());
    EXPECT_EQ(scanner.UnitOf(0x0C), "FerruleFrm");
    EXPECT_EQ(scanner.ProcedureOf(0x0C).Name, "TFerruleForm.Timer1Timer");
    EXPECT_EQ(scanner.LineOf(0x0C).Line, 41) << "of two rows at one address, the last";
    EXPECT_EQ(scanner.SourceFileOf(0x0C), "app/FerruleFrm.cpp") << "relative to the source root";
    EXPECT_EQ(scanner.SourceFileOf(0x12), "/usr/include/c++/bits/basic_string.h");
    EXPECT_EQ(scanner.UnitOf(0x34), "") << "between the sequences nothing is known";
    EXPECT_EQ(scanner.UnitOf(0x44), "VynLXUtils");
    EXPECT_EQ(scanner.ProcedureOf(0x44).Name, "GetCommonFilesFolder");
    EXPECT_EQ(scanner.SourceFileOf(0x44), "lib/VynLX/VynLXUtils.cpp") << "without the leading ./";
    EXPECT_EQ(scanner.LineOf(0x55).Line, 301);
    EXPECT_EQ(scanner.UnitOf(0x60), "") << "after the last sequence";
}

TEST(TdbgProducer, CodeWithoutLineRowsBelongsToTheUnitOfItsFunctionAndItsProcedureIsAnswered) {
    // A ".cold" part of Timer1Timer after the last row of its unit: no line, but unit and name.
    std::vector<DecodedLineRow> rows = LineRows();
    const std::vector<CodeSymbol> symbols = {{0x401000, "TFerruleForm::Timer1Timer(TObject*)"},
                                             {0x401040, "GetCommonFilesFolder()"}};
    const std::vector<UnitRange> functionUnits = {{0x401000, 0x401030, "FerruleFrm"},
                                                  {0x401068, 0x401070, "FerruleFrm"}};
    std::vector<ProcedureStart> procedures = SymbolProcedures(symbols);
    procedures.push_back({0x401068, "TFerruleForm", "Timer1Timer"});
    procedures.push_back({0x401070, "", ""});
    const TraceDebugContent content =
        MakeTraceDebugContent("Ferrule", 0x401000, rows, procedures, functionUnits, "/work/src");
    const std::vector<uint8_t> data = WriteTraceDebugData(content);
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    EXPECT_EQ(scanner.UnitOf(0x6A), "FerruleFrm");
    EXPECT_EQ(scanner.ProcedureOf(0x6A).Name, "TFerruleForm.Timer1Timer");
    EXPECT_EQ(scanner.LineOf(0x6A).Line, 0);
    EXPECT_EQ(scanner.SourceFileOf(0x6A), "");
    EXPECT_EQ(scanner.UnitOf(0x64), "") << "between the line rows and the cold part";
    EXPECT_EQ(scanner.UnitOf(0x70), "");
}

TEST(TdbgProducer, AProcedureRunningIntoANewUnitStartsThereAgain) {
    // One symbol for code that spans both units: the reader answers no procedure starting below
    // the unit's start, so the producer repeats it at the second unit.
    const TraceDebugContent content = MakeTraceDebugContent(
        "Ferrule", 0x401000, LineRows(), SymbolProcedures({{0x401000, "Spanning()"}}), {}, "/work/src");
    const std::vector<uint8_t> data = WriteTraceDebugData(content);
    const TTraceBinDebugScanner scanner(data.data(), data.size());
    EXPECT_EQ(scanner.ProcedureOf(0x44).Name, "Spanning");
    EXPECT_EQ(scanner.ProcedureOf(0x44).Offset, 4);
}

} // namespace
