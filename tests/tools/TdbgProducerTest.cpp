// The producer's reading of objdump's decoded line table and of function names, and the content
// it makes: units by compilation unit, gaps without debug data known as such, lines and files.
#include <gtest/gtest.h>

#include "TdbgProducer.h"
#include "TraceDebugScanner.h"

namespace {

// Two units as the line programs give them: FerruleFrm with a header's row inside, then a gap,
// then VynLXUtils.
std::vector<DecodedLineRow> LineRows() {
    const std::string frm = "/work/src/app/FerruleFrm.cpp", string = "/usr/include/c++/bits/basic_string.h";
    const std::string utils = "/work/src/./lib/VynLX/VynLXUtils.cpp";
    return {{0x401000, "FerruleFrm", frm, 40, false},     {0x401008, "FerruleFrm", frm, 40, false},
            {0x401008, "FerruleFrm", frm, 41, false},     {0x401010, "FerruleFrm", string, 230, false},
            {0x401020, "FerruleFrm", frm, 44, false},     {0x401030, "FerruleFrm", frm, 0, true},
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

} // namespace
