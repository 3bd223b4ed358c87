// The producer's own DWARF reader on small hand-built sections: functions and the functions
// inlined into them become the innermost procedure at each address, names are qualified as a
// report reader wants them, line programs give full file names; malformed sections raise an
// error naming the section and never read past it.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "DwarfBuilder.h"
#include "DwarfConstants.h"
#include "DwarfFunctionScanner.h"
#include "DwarfLineTable.h"
#include "ProcedureStarts.h"

namespace {

using namespace Dwarf;

constexpr uint64_t AtDeclaration = 0x3C;
constexpr uint64_t AtInline = 0x20;

// A DWARF 5 module: ns::Widget::Paint at 0x401000-0x401100, with ns::Helper inlined at two
// ranges (through .debug_rnglists) and, inside the first, Inner of an anonymous namespace.
struct Version5Module {
    DwarfBytes Info, Abbrev, Line, Str, RngLists;
    DwarfSections Sections() const {
        DwarfSections sections;
        sections.Info = Info.Bytes();
        sections.Abbrev = Abbrev.Bytes();
        sections.Line = Line.Bytes();
        sections.Str = Str.Bytes();
        sections.RngLists = RngLists.Bytes();
        return sections;
    }

    Version5Module() {
        Str.Text("_ZN2ns6HelperEi");
        const auto abbreviation = [&](uint64_t code, uint64_t tag, bool children,
                                      std::initializer_list<std::pair<uint64_t, uint64_t>> attributes) {
            Abbrev.Uleb(code).Uleb(tag).U8(children ? 1 : 0);
            for (const auto& [name, form] : attributes)
                Abbrev.Uleb(name).Uleb(form);
            Abbrev.Uleb(0).Uleb(0);
        };
        abbreviation(1, TagCompileUnit, true,
                     {{AtName, FormString},
                      {AtCompDir, FormString},
                      {AtStmtList, FormSecOffset},
                      {AtLowPc, FormAddr},
                      {AtRnglistsBase, FormSecOffset}});
        abbreviation(2, TagNamespace, true, {{AtName, FormString}});
        abbreviation(3, TagNamespace, true, {});
        abbreviation(4, TagClassType, true, {{AtName, FormString}});
        abbreviation(5, TagSubprogram, false, {{AtName, FormString}, {AtDeclaration, FormFlagPresent}});
        abbreviation(6, TagSubprogram, true,
                     {{AtSpecification, FormRef4}, {AtLowPc, FormAddr}, {AtHighPc, FormData4}});
        abbreviation(7, TagSubprogram, false,
                     {{AtName, FormString}, {AtLinkageName, FormStrp}, {AtInline, FormData1}});
        abbreviation(8, TagInlinedSubroutine, true, {{AtAbstractOrigin, FormRef4}, {AtRanges, FormRnglistx}});
        abbreviation(9, TagInlinedSubroutine, false,
                     {{AtAbstractOrigin, FormRef4}, {AtLowPc, FormAddr}, {AtHighPc, FormData4}});
        abbreviation(10, TagSubprogram, false, {{AtName, FormString}});
        Abbrev.Uleb(0);

        const size_t unitLength = Info.BeginLength();
        Info.U16(5).U8(UnitCompile).U8(4).U32(0);
        Info.Uleb(1).Text("app/Main.cpp").Text("/src").U32(0).U32(0).U32(12);
        Info.Uleb(2).Text("ns");
        Info.Uleb(4).Text("Widget");
        const size_t paint = Info.Size();
        Info.Uleb(5).Text("Paint");
        Info.Uleb(0);
        const size_t helper = Info.Size();
        Info.Uleb(7).Text("Helper").U32(0).U8(1);
        Info.Uleb(0);
        Info.Uleb(3);
        const size_t inner = Info.Size();
        Info.Uleb(10).Text("Inner");
        Info.Uleb(0);
        Info.Uleb(6).U32(paint).U32(0x401000).U32(0x100);
        Info.Uleb(8).U32(helper).Uleb(0);
        Info.Uleb(9).U32(inner).U32(0x401014).U32(4);
        Info.Uleb(0);
        Info.Uleb(0);
        Info.Uleb(0);
        Info.EndLength(unitLength);

        const size_t listsLength = RngLists.BeginLength();
        RngLists.U16(5).U8(4).U8(0).U32(1).U32(4);
        RngLists.U8(RleStartLength).U32(0x401010).Uleb(0x10);
        RngLists.U8(RleBaseAddress).U32(0x401000).U8(RleOffsetPair).Uleb(0x80).Uleb(0x90);
        RngLists.U8(RleEndOfList);
        RngLists.EndLength(listsLength);

        const size_t programLength = Line.BeginLength();
        Line.U16(5).U8(4).U8(0);
        const size_t headerLength = Line.BeginLength();
        Line.U8(1).U8(1).U8(1).U8(static_cast<uint8_t>(-5)).U8(14).U8(13);
        for (uint8_t length : {0, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 1})
            Line.U8(length);
        Line.U8(1).Uleb(LnctPath).Uleb(FormString).Uleb(2).Text("/src").Text("include");
        Line.U8(2).Uleb(LnctPath).Uleb(FormString).Uleb(LnctDirectoryIndex).Uleb(FormUdata);
        Line.Uleb(2).Text("app/Main.cpp").Uleb(0).Text("Widget.h").Uleb(1);
        Line.EndLength(headerLength);
        Line.U8(LnsSetFile).Uleb(0);
        Line.U8(0).Uleb(5).U8(LneSetAddress).U32(0x401000);
        Line.U8(LnsAdvanceLine).Sleb(9).U8(LnsCopy);
        Line.U8(13 + 4 * 14 + (1 + 5)); // special: 4 bytes on, one line down
        Line.U8(LnsSetFile).Uleb(1).U8(LnsAdvancePc).Uleb(12).U8(LnsAdvanceLine).Sleb(90).U8(LnsCopy);
        Line.U8(LnsAdvancePc).Uleb(0xF0).U8(0).Uleb(1).U8(LneEndSequence);
        Line.EndLength(programLength);
    }
};

std::vector<std::pair<uint64_t, std::string>> Shown(const std::vector<ProcedureStart>& starts) {
    std::vector<std::pair<uint64_t, std::string>> shown;
    for (const ProcedureStart& start : starts)
        shown.emplace_back(start.Address,
                           start.Qualifier.empty() ? start.Name : start.Qualifier + "." + start.Name);
    return shown;
}

TEST(DwarfReader, NamesTheInnermostInlinedFunctionAndResumesTheEnclosingOne) {
    const Version5Module module;
    const DwarfFunctions functions = ScanDwarfFunctions(module.Sections());
    ASSERT_EQ(functions.Units.size(), 1u);
    EXPECT_EQ(functions.Units[0].Name, "app/Main.cpp");
    EXPECT_EQ(functions.Ranges.size(), 4u) << "Paint, Helper twice (a range list), Inner";
    const std::vector<std::pair<uint64_t, std::string>> expected = {{0x401000, "ns::Widget.Paint"},
                                                                    {0x401010, "ns.Helper"},
                                                                    {0x401014, "(anonymous namespace).Inner"},
                                                                    {0x401018, "ns.Helper"},
                                                                    {0x401020, "ns::Widget.Paint"},
                                                                    {0x401080, "ns.Helper"},
                                                                    {0x401090, "ns::Widget.Paint"},
                                                                    {0x401100, ""}};
    EXPECT_EQ(Shown(MakeProcedureStarts(functions, {}, 0x401000, 0x500000)), expected);
}

TEST(DwarfReader, SymbolsNameOnlyWhatDwarfLeavesUnnamedAndDiscardedCodeIsIgnored) {
    const Version5Module module;
    const DwarfFunctions functions = ScanDwarfFunctions(module.Sections());
    const std::vector<CodeSymbol> symbols = {
        {0x401000, "ns::Widget::Paint()"}, {0x401100, "_memcpy"}, {0x300000, "outside the image"}};
    const auto shown = Shown(MakeProcedureStarts(functions, symbols, 0x401000, 0x500000));
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), std::make_pair(uint64_t{0x401000}, std::string("ns::Widget.Paint")));
    EXPECT_EQ(shown.back(), std::make_pair(uint64_t{0x401100}, std::string("_memcpy")));
    // The linker resolves the ranges of code it dropped to zero: those must not cover real code.
    EXPECT_EQ(Shown(MakeProcedureStarts(functions, {}, 0x402000, 0x500000)).size(), 0u);
}

TEST(DwarfReader, LineProgramsGiveRowsWithFullFileNames) {
    const Version5Module module;
    const DwarfSections sections = module.Sections();
    const std::vector<DecodedLineRow> rows = ReadDwarfLineRows(ScanDwarfFunctions(sections).Units, sections);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].Address, 0x401000u);
    EXPECT_EQ(rows[0].Line, 10u);
    EXPECT_EQ(rows[0].File, "/src/app/Main.cpp");
    EXPECT_EQ(rows[0].Unit, "Main");
    EXPECT_EQ(rows[1].Address, 0x401004u) << "a special opcode moves address and line at once";
    EXPECT_EQ(rows[1].Line, 11u);
    EXPECT_EQ(rows[2].File, "/src/include/Widget.h") << "a directory below the compilation folder";
    EXPECT_EQ(rows[2].Line, 101u);
    EXPECT_TRUE(rows[3].EndOfSequence);
    EXPECT_EQ(rows[3].Address, 0x401100u);
}

// DWARF 4: .debug_ranges with a base address selection, names through .debug_str, a line
// program with include directories counted from 1.
TEST(DwarfReader, ReadsVersion4RangesNamesAndLinePrograms) {
    DwarfBytes info, abbrev, ranges, str, line;
    str.Text("Run");
    abbrev.Uleb(1).Uleb(TagCompileUnit).U8(1).Uleb(AtName).Uleb(FormString).Uleb(AtCompDir).Uleb(FormString);
    abbrev.Uleb(AtLowPc).Uleb(FormAddr).Uleb(AtStmtList).Uleb(FormSecOffset).Uleb(0).Uleb(0);
    abbrev.Uleb(2).Uleb(TagSubprogram).U8(0).Uleb(AtName).Uleb(FormStrp).Uleb(AtRanges).Uleb(FormSecOffset);
    abbrev.Uleb(0).Uleb(0).Uleb(0);
    const size_t unit = info.BeginLength();
    info.U16(4).U32(0).U8(4);
    info.Uleb(1).Text("a.cpp").Text("/c").U32(0x402000).U32(0);
    info.Uleb(2).U32(0).U32(0);
    info.Uleb(0);
    info.EndLength(unit);
    ranges.U32(0x10).U32(0x20).U32(0xFFFFFFFF).U32(0x403000).U32(0).U32(8).U32(0).U32(0);
    const size_t program = line.BeginLength();
    line.U16(4);
    const size_t header = line.BeginLength();
    line.U8(1).U8(1).U8(1).U8(static_cast<uint8_t>(-5)).U8(14).U8(13);
    for (uint8_t length : {0, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 1})
        line.U8(length);
    line.Text("lib").U8(0).Text("a.cpp").Uleb(1).Uleb(0).Uleb(0).U8(0);
    line.EndLength(header);
    line.U8(0).Uleb(5).U8(LneSetAddress).U32(0x402010).U8(LnsCopy);
    line.U8(LnsAdvancePc).Uleb(0x10).U8(0).Uleb(1).U8(LneEndSequence);
    line.EndLength(program);

    DwarfSections sections;
    sections.Info = info.Bytes();
    sections.Abbrev = abbrev.Bytes();
    sections.Ranges = ranges.Bytes();
    sections.Str = str.Bytes();
    sections.Line = line.Bytes();
    const DwarfFunctions functions = ScanDwarfFunctions(sections);
    ASSERT_EQ(functions.Ranges.size(), 2u);
    EXPECT_EQ(functions.Ranges[0].Low, 0x402010u);
    EXPECT_EQ(functions.Ranges[0].High, 0x402020u);
    EXPECT_EQ(functions.Ranges[1].Low, 0x403000u) << "after a base address selection";
    EXPECT_EQ(functions.Ranges[1].High, 0x403008u);
    EXPECT_EQ(Shown(MakeProcedureStarts(functions, {}, 0x401000, 0x500000)).front().second, "Run");
    const std::vector<DecodedLineRow> rows = ReadDwarfLineRows(functions.Units, sections);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].File, "/c/lib/a.cpp");
    EXPECT_EQ(rows[0].Line, 1u);
}

// The forms of indexed strings and addresses (.debug_str_offsets, .debug_addr, bases given after
// the values that need them), an indirect form, an implicit constant and a reference across
// units by DW_FORM_ref_addr; a line program naming its files through .debug_line_str and
// carrying MD5 sums.
TEST(DwarfReader, ReadsIndexedIndirectAndCrossUnitForms) {
    constexpr uint64_t AtDeclFile = 0x3A, AtMd5 = 5;
    DwarfBytes info, abbrev, str, strOffsets, addr, lineStr, line;
    str.Text("Unit.cpp").Text("Shared");
    strOffsets.U32(0).U16(5).U8(0).U8(0).U32(0).U32(9); // header, then offsets of the two strings
    addr.U32(0).U16(5).U8(4).U8(0).U32(0x405000);       // header, then one address
    lineStr.Text("/work").Text("Unit.cpp");
    abbrev.Uleb(1)
        .Uleb(TagCompileUnit)
        .U8(1)
        .Uleb(AtName)
        .Uleb(FormStrx1)
        .Uleb(AtStmtList)
        .Uleb(FormSecOffset);
    abbrev.Uleb(AtStrOffsetsBase).Uleb(FormSecOffset).Uleb(AtAddrBase).Uleb(FormSecOffset).Uleb(0).Uleb(0);
    abbrev.Uleb(2)
        .Uleb(TagSubprogram)
        .U8(0)
        .Uleb(AtName)
        .Uleb(FormIndirect)
        .Uleb(AtDeclFile)
        .Uleb(FormImplicitConst);
    abbrev.Sleb(-3).Uleb(0).Uleb(0);
    abbrev.Uleb(3)
        .Uleb(TagSubprogram)
        .U8(0)
        .Uleb(AtAbstractOrigin)
        .Uleb(FormRefAddr)
        .Uleb(AtLowPc)
        .Uleb(FormAddrx);
    abbrev.Uleb(AtHighPc).Uleb(FormUdata).Uleb(0).Uleb(0).Uleb(0);
    const size_t first = info.BeginLength();
    info.U16(5).U8(UnitCompile).U8(4).U32(0);
    info.Uleb(1).U8(0).U32(0).U32(8).U32(8);
    const size_t shared = info.Size();
    info.Uleb(2).Uleb(FormStrx1).U8(1); // no bytes for the implicit constant
    info.Uleb(0);
    info.EndLength(first);
    const size_t second = info.BeginLength();
    info.U16(5).U8(UnitCompile).U8(4).U32(0);
    info.Uleb(1).U8(0).U32(0).U32(8).U32(8);
    info.Uleb(3).U32(shared).Uleb(0).Uleb(0x20);
    info.Uleb(0);
    info.EndLength(second);

    const size_t program = line.BeginLength();
    line.U16(5).U8(4).U8(0);
    const size_t header = line.BeginLength();
    line.U8(1).U8(1).U8(1).U8(static_cast<uint8_t>(-5)).U8(14).U8(13);
    for (uint8_t length : {0, 1, 1, 1, 1, 0, 0, 0, 1, 0, 0, 1})
        line.U8(length);
    line.U8(1).Uleb(LnctPath).Uleb(FormLineStrp).Uleb(1).U32(0);
    line.U8(3)
        .Uleb(LnctPath)
        .Uleb(FormLineStrp)
        .Uleb(LnctDirectoryIndex)
        .Uleb(FormData1)
        .Uleb(AtMd5)
        .Uleb(FormData16);
    line.Uleb(1).U32(6).U8(0).U64(0x1111).U64(0x2222);
    line.EndLength(header);
    line.U8(LnsSetFile).Uleb(0).U8(0).Uleb(5).U8(LneSetAddress).U32(0x405000).U8(LnsCopy);
    line.U8(LnsAdvancePc).Uleb(0x20).U8(0).Uleb(1).U8(LneEndSequence);
    line.EndLength(program);

    DwarfSections sections;
    sections.Info = info.Bytes();
    sections.Abbrev = abbrev.Bytes();
    sections.Str = str.Bytes();
    sections.StrOffsets = strOffsets.Bytes();
    sections.Addr = addr.Bytes();
    sections.LineStr = lineStr.Bytes();
    sections.Line = line.Bytes();
    const DwarfFunctions functions = ScanDwarfFunctions(sections);
    ASSERT_EQ(functions.Units.size(), 2u);
    EXPECT_EQ(functions.Units[1].Name, "Unit.cpp") << "through the string offsets";
    ASSERT_EQ(functions.Ranges.size(), 1u);
    EXPECT_EQ(functions.Ranges[0].Low, 0x405000u) << "through .debug_addr";
    EXPECT_EQ(functions.Ranges[0].High, 0x405020u);
    EXPECT_EQ(functions.Ranges[0].Unit, 1u);
    EXPECT_EQ(Shown(MakeProcedureStarts(functions, {}, 0x401000, 0x500000)).front().second, "Shared")
        << "named through an origin in the other unit";
    const std::vector<DecodedLineRow> rows = ReadDwarfLineRows({functions.Units[0]}, sections);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].File, "/work/Unit.cpp");
}

// Runs the whole reading of a module; true when it went through, false for an EDwarfFormatError
// (whose section must be named). Anything else escapes and fails the test.
bool ReadsOrRejects(const DwarfSections& sections) {
    try {
        const DwarfFunctions functions = ScanDwarfFunctions(sections);
        MakeProcedureStarts(functions, {}, 0, ~uint64_t{0});
        ReadDwarfLineRows(functions.Units, sections);
        return true;
    } catch (const EDwarfFormatError& error) {
        EXPECT_EQ(error.Section().rfind(".debug_", 0), 0u) << error.what();
        EXPECT_NE(std::string(error.what()).find(" at offset "), std::string::npos) << error.what();
        return false;
    }
}

TEST(DwarfReaderMalformed, EveryTruncationOfEachSectionIsReadOrRejected) {
    const Version5Module module;
    for (auto DwarfSections::*section : {&DwarfSections::Info, &DwarfSections::Abbrev, &DwarfSections::Line,
                                         &DwarfSections::RngLists, &DwarfSections::Str}) {
        const DwarfSections whole = module.Sections();
        for (size_t size = 0; size < (whole.*section).size(); ++size) {
            DwarfSections cut = whole;
            cut.*section = (whole.*section).first(size);
            ReadsOrRejects(cut);
        }
    }
}

TEST(DwarfReaderMalformed, SeededMutationsAreReadOrRejected) {
    const Version5Module module;
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> info = module.Info.Bytes(), abbrev = module.Abbrev.Bytes(),
                             line = module.Line.Bytes(), lists = module.RngLists.Bytes();
        std::vector<uint8_t>* targets[] = {&info, &abbrev, &line, &lists};
        std::vector<uint8_t>& target = *targets[round % 4];
        for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips)
            target[random() % target.size()] = static_cast<uint8_t>(random());
        DwarfSections sections = module.Sections();
        sections.Info = info;
        sections.Abbrev = abbrev;
        sections.Line = line;
        sections.RngLists = lists;
        ReadsOrRejects(sections);
    }
}

// The text of the E that `action` raises, or a note that it raised none.
template <typename E> std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& error) {
        return error.what();
    }
    return "(nothing raised)";
}

TEST(DwarfReaderMalformed, ErrorsNameTheSectionAndWhatIsWrong) {
    const Version5Module module;
    DwarfSections sections = module.Sections();
    std::vector<uint8_t> info = module.Info.Bytes();
    info[4] = 9; // version
    sections.Info = info;
    EXPECT_EQ(MessageOf<EDwarfFormatError>([&] { ScanDwarfFunctions(sections); }),
              ".debug_info: Unsupported DWARF version 9 at offset 0");
    sections = module.Sections();
    sections.Abbrev = sections.Abbrev.first(3);
    EXPECT_EQ(MessageOf<EDwarfFormatError>([&] { ScanDwarfFunctions(sections); }),
              ".debug_abbrev: Read past the end of the data at offset 3");
    sections = module.Sections();
    std::vector<uint8_t> line = module.Line.Bytes();
    line[4] = 1; // version
    sections.Line = line;
    EXPECT_EQ(MessageOf<EDwarfFormatError>(
                  [&] { ReadDwarfLineRows(ScanDwarfFunctions(sections).Units, sections); }),
              ".debug_line: Unsupported line table version 1 at offset 0");
}

TEST(DwarfReaderMalformed, AnOriginThatLoopsIsAnErrorNotAHang) {
    DwarfBytes info, abbrev;
    abbrev.Uleb(1).Uleb(TagCompileUnit).U8(1).Uleb(0).Uleb(0);
    abbrev.Uleb(2)
        .Uleb(TagSubprogram)
        .U8(0)
        .Uleb(AtAbstractOrigin)
        .Uleb(FormRef4)
        .Uleb(AtLowPc)
        .Uleb(FormAddr);
    abbrev.Uleb(AtHighPc).Uleb(FormData4).Uleb(0).Uleb(0).Uleb(0);
    const size_t unit = info.BeginLength();
    info.U16(5).U8(UnitCompile).U8(4).U32(0);
    info.Uleb(1);
    const size_t first = info.Size();
    const size_t second = first + 1 + 12;
    info.Uleb(2).U32(second).U32(0x401000).U32(0x10);
    info.Uleb(2).U32(first).U32(0x401010).U32(0x10);
    info.Uleb(0);
    info.EndLength(unit);
    DwarfSections sections;
    sections.Info = info.Bytes();
    sections.Abbrev = abbrev.Bytes();
    const DwarfFunctions functions = ScanDwarfFunctions(sections);
    EXPECT_THROW(MakeProcedureStarts(functions, {}, 0x401000, 0x500000), EDwarfFormatError);
}

} // namespace
