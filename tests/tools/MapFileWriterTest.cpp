// A map written from TDBG content answers, through the map reader, what the TDBG reader answers
// for the same content, offset by offset.
#include <gtest/gtest.h>

#include "MapFileWriter.h"
#include "TraceDebugScanner.h"
#include "TraceMapScanner.h"

namespace {

TraceDebugContent Sample() {
    TraceDebugContent content;
    content.ModuleName = "Ferrule";
    content.Units = {{0x00, "FerruleFrm"}, {0x30, ""}, {0x40, "VynLXUtils"}, {0x70, ""}};
    content.SourceFiles = {{0x00, "app/FerruleFrm.cpp"},       {0x10, "/usr/include/c++/bits/basic_string.h"},
                           {0x20, "app/FerruleFrm.cpp"},       {0x30, ""},
                           {0x40, "lib/VynLX/VynLXUtils.cpp"}, {0x70, ""}};
    content.Procedures = {{0x00, "TFerruleForm", "Timer1Timer"},
                          {0x18, "std::basic_string<char>", "append"},
                          {0x28, "", ""}, // code no function covers
                          {0x40, "(anonymous namespace)", "Helper"},
                          {0x58, "GetCommonFilesFolder", ""}};
    content.Lines = {{0x00, 40},  {0x08, 41},  {0x10, 230}, {0x20, 44}, {0x30, 0},
                     {0x40, 300}, {0x50, 301}, {0x58, 12},  {0x70, 0}};
    return content;
}

TEST(MapFileWriter, TheMapAnswersWhatTheTdbgDataAnswers) {
    const TraceDebugContent content = Sample();
    const std::vector<uint8_t> data = WriteTraceDebugData(content);
    const TTraceBinDebugScanner tdbg(data.data(), data.size());
    const std::string text = WriteMapFile(content);
    const TTraceMapScanner map(text);
    EXPECT_EQ(map.RejectedLines(), 0u);
    for (uint32_t offset = 0; offset < 0x80; ++offset) {
        // A map segment's end is inclusive: the first offset of a gap still counts to the unit before.
        if (offset == 0x30 || offset == 0x70)
            continue;
        SCOPED_TRACE(offset);
        EXPECT_EQ(map.UnitOf(offset), tdbg.UnitOf(offset));
        if (tdbg.UnitOf(offset).empty())
            continue;
        const auto tdbgProcedure = tdbg.ProcedureOf(offset);
        const auto mapProcedure = map.ProcedureOf(offset);
        if (tdbgProcedure.Name.empty()) {
            // Code no function covers cannot be marked in a map: it counts to the procedure before.
            EXPECT_EQ(mapProcedure.Name, "std::basic_string<char>.append");
        } else {
            EXPECT_EQ(mapProcedure.Offset, tdbgProcedure.Offset);
            // Map names end at a blank and at '(': "(anonymous namespace)" comes back as its inside.
            if (tdbgProcedure.Name.rfind("(anonymous", 0) == 0)
                EXPECT_EQ(mapProcedure.Name, "anonymous_namespace");
            else
                EXPECT_EQ(mapProcedure.Name, tdbgProcedure.Name);
        }
        EXPECT_EQ(map.LineOf(offset).Line, tdbg.LineOf(offset).Line);
        EXPECT_EQ(map.LineOf(offset).Offset, tdbg.LineOf(offset).Offset);
        EXPECT_EQ(map.SourceFileOf(offset), tdbg.SourceFileOf(offset));
    }
}

TEST(MapFileWriter, WritesTheSectionsTheReaderLooksFor) {
    const std::string text = WriteMapFile(Sample());
    for (const char* header :
         {" Start         Length     Name                   Class", "Detailed map of segments",
          "  Address         Publics by Name", "  Address         Publics by Value",
          "Line numbers for FerruleFrm(app/FerruleFrm.cpp) segment .text",
          "Line numbers for FerruleFrm(/usr/include/c++/bits/basic_string.h) segment .text"})
        EXPECT_NE(text.find(header), std::string::npos) << header;
    EXPECT_NE(text.find(" 0001:00000040 00000030 C=CODE"), std::string::npos);
    EXPECT_EQ(text.find("M= "), std::string::npos) << "gaps are no segments";
}

} // namespace
