// The pieces of the accuracy check against addr2line: reading its answers and the disassembly,
// and the terms on which an answer of the embedded data counts as agreeing.
#include <gtest/gtest.h>

#include "Addr2LineAnswers.h"
#include "CallSites.h"
#include "LocationAgreement.h"
#include "SourcePaths.h"

namespace {

TEST(TdbgCheck, ReadsAddr2LineRecordsWithInlinedFramesAndUnknowns) {
    const std::vector<Addr2LineAnswer> answers = ParseAddr2LineAnswers(
        "0x00401000\n_ZN2ns6HelperEi\n/src/include/Widget.h:12 (discriminator 3)\n_ZN2ns6Widget5PaintEv\n"
        "/src/app/Main.cpp:40\n0x00401010\n??\n??:0\n0x00401020\nmain\n/src/app/Main.cpp:?\n");
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].Address, 0x401000u);
    EXPECT_EQ(answers[0].Function, "_ZN2ns6HelperEi") << "the innermost frame";
    EXPECT_EQ(answers[0].File, "/src/include/Widget.h");
    EXPECT_EQ(answers[0].Line, 12u);
    EXPECT_EQ(answers[0].InlinedInto, std::vector<std::string>{"_ZN2ns6Widget5PaintEv"});
    EXPECT_EQ(answers[1].Function, "??");
    EXPECT_EQ(answers[2].Line, 0u) << "'?' is an unknown line";
}

TEST(TdbgCheck, FindsCallInstructionsAndSamplesThemEvenly) {
    const std::vector<uint64_t> sites =
        CallSitesInDisassembly("00401000 <_main>:\n  401000:\tpush   %ebp\n  401003:\tcall   401100 <_f>\n"
                               "  401008:\tcall   *0x4020(%eax)\n  40100e:\tcalll  *%eax\n  401010:\tret\n");
    EXPECT_EQ(sites, (std::vector<uint64_t>{0x401003, 0x401008, 0x40100E}));
    std::vector<uint64_t> many(1000);
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = i;
    const std::vector<uint64_t> sample = EvenSample(many, 10);
    EXPECT_EQ(sample.front(), 0u);
    EXPECT_EQ(sample[5], 500u);
    EXPECT_EQ(EvenSample({1, 2, 3}, 7, true).size(), 7u) << "repeated for a benchmark";
    EXPECT_EQ(EvenSample({1, 2, 3}, 7).size(), 3u);
}

TEST(TdbgCheck, NamesAgreeWhenMangledNamesMatchWholeAndBareNamesTheLastPart) {
    Addr2LineAnswer reference;
    reference.Function = "_ZN2ns6Widget5PaintEv";
    reference.File = "/src/app/Main.cpp";
    reference.Line = 40;
    TdbgAnswer answer{"Main", "ns::Widget.Paint", "app/Main.cpp", 40};
    EXPECT_TRUE(CompareLocations(reference, answer, "/src").All());
    answer.Procedure = "Widget.Paint";
    EXPECT_FALSE(CompareLocations(reference, answer, "/src").Procedure) << "a qualifier missing";

    reference.Function = "basic_string"; // a constructor DWARF names without linkage name
    answer.Procedure = "std::__cxx11::basic_string<char>.basic_string";
    EXPECT_TRUE(CompareLocations(reference, answer, "/src").Procedure);
    answer.Procedure = "std::__cxx11::my_basic_string";
    EXPECT_FALSE(CompareLocations(reference, answer, "/src").Procedure) << "only a whole last part";
}

TEST(TdbgCheck, UnknownsAgreeOnlyWithUnknowns) {
    Addr2LineAnswer reference;
    reference.Function = "??";
    reference.File = "sched.c"; // from the COFF file records, where no DWARF covers the address
    reference.Line = 0;
    EXPECT_TRUE(CompareLocations(reference, TdbgAnswer{}, "/src").All());
    EXPECT_FALSE(CompareLocations(reference, TdbgAnswer{"Unit", "Known", "", 0}, "/src").Procedure);

    reference.Function = "_ZN2ns6Widget5PaintEv"; // a function known, its line not
    reference.File = "??";
    EXPECT_TRUE(CompareLocations(reference, TdbgAnswer{"Main", "ns::Widget.Paint", "", 0}, "/src").All());
    EXPECT_FALSE(
        CompareLocations(reference, TdbgAnswer{"Main", "ns::Widget.Paint", "app/Main.cpp", 0}, "/src").File);
}

TEST(TdbgCheck, PathsCompareResolvedAndRelativeToTheSourceTree) {
    EXPECT_EQ(SourcePathForReport("/build/./mingw-w64-crt/crt/../crt/gccmain.c", "/src"),
              "/build/mingw-w64-crt/crt/gccmain.c");
    EXPECT_EQ(SourcePathForReport("/src/lib/VynLX/VynLXUtils.cpp", "/src/"), "lib/VynLX/VynLXUtils.cpp");
    EXPECT_EQ(SourcePathForReport("/srcother/a.cpp", "/src"), "/srcother/a.cpp")
        << "not a folder of the tree";
    EXPECT_EQ(SourcePathForReport("./lib/a.cpp", "/src"), "lib/a.cpp");
    EXPECT_EQ(JoinPath("/src", "include/a.h"), "/src/include/a.h");
    EXPECT_EQ(JoinPath("/src", "/usr/include/a.h"), "/usr/include/a.h");
}

} // namespace
