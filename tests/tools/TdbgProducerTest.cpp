// The producer's reading of objdump's decoded line table and of function names, and the content
// it makes: units by compilation unit, gaps without debug data known as such, lines and files.
#include <gtest/gtest.h>

#include "TdbgProducer.h"
#include "TraceDebugScanner.h"

namespace {

const char* const DecodedLines = R"(
Ferrule.exe:     file format pei-i386

Contents of the .debug_line section:

FerruleFrm.cpp:
File name                            Line number    Starting address    View    Stmt
FerruleFrm.cpp                                40            0x401000               x
FerruleFrm.cpp                                41            0x401008               x
FerruleFrm.cpp                                41            0x401008       1
/usr/include/c++/bits/basic_string.h:
basic_string.h                               230            0x401010               x
/work/src/app/FerruleFrm.cpp:
FerruleFrm.cpp                                44            0x401020               x
FerruleFrm.cpp                                 -            0x401030


CU: ./lib/VynLX/VynLXUtils.cpp:
File name                            Line number    Starting address    View    Stmt
VynLXUtils.cpp                               300            0x401040               x
VynLXUtils.cpp                               301            0x401050               x
VynLXUtils.cpp                                 -            0x401060
)";

TEST(TdbgProducer, ReadsRowsUnitsAndFullFileNamesFromObjdump) {
    const std::vector<DecodedLineRow> rows = ParseDecodedLines(DecodedLines);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[0].Unit, "FerruleFrm");
    EXPECT_EQ(rows[0].File, "/work/src/app/FerruleFrm.cpp") << "the folder announced later in the unit";
    EXPECT_EQ(rows[0].Line, 40u);
    EXPECT_EQ(rows[0].Address, 0x401000u);
    EXPECT_EQ(rows[3].File, "/usr/include/c++/bits/basic_string.h");
    EXPECT_TRUE(rows[5].EndOfSequence);
    EXPECT_EQ(rows[6].Unit, "VynLXUtils");
    EXPECT_EQ(rows[6].File, "./lib/VynLX/VynLXUtils.cpp") << "the unit's own name gives the folder";
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
        MakeTraceDebugContent("Ferrule", 0x401000, ParseDecodedLines(DecodedLines), symbols, "/work/src");
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
