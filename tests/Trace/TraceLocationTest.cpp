// The one-line text of a code address, in each of its shapes and with each switch.
#include <gtest/gtest.h>

#include "TraceLocation.h"

namespace {

// The bracketed address as the platform prints it: as many upper-case digits as a pointer has.
std::string Bracketed(uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "[%0*llX]", static_cast<int>(sizeof(void*) * 2),
                  static_cast<unsigned long long>(address));
    return text;
}

TTraceLocationInfo InProcedure(int32_t line, int32_t offsetFromLine) {
    TTraceLocationInfo location;
    location.UnitName = "FerruleFrm";
    location.ProcedureName = "TFerruleForm.Timer1Timer";
    location.OffsetFromProcName = 0x2A;
    location.LineNumber = line;
    location.OffsetFromLineNumber = offsetFromLine;
    location.SourceName = "app/FerruleFrm.cpp";
    return location;
}

TEST(LocationText, AnUnknownAddressIsTheBracketedAddressAlone) {
    EXPECT_EQ(FormatLocationText(0x4A1B2C, std::nullopt, std::nullopt, "Ferrule.exe", {true, true, true}),
              Bracketed(0x4A1B2C));
}

TEST(LocationText, WithoutALineTheProcedureAndItsOffset) {
    TTraceLocationInfo exported;
    exported.ProcedureName = "DllRegisterServer";
    exported.OffsetFromProcName = 0x1F;
    EXPECT_EQ(FormatLocationText(0x1000, exported, std::nullopt, "", {}),
              Bracketed(0x1000) + " DllRegisterServer");
    EXPECT_EQ(FormatLocationText(0x1000, exported, std::nullopt, "", {false, true, false}),
              Bracketed(0x1000) + " DllRegisterServer + $1F");
    TTraceLocationInfo inUnit = InProcedure(0, 0);
    EXPECT_EQ(FormatLocationText(0x1000, inUnit, std::nullopt, "", {false, true, false}),
              Bracketed(0x1000) + " FerruleFrm.TFerruleForm.Timer1Timer + $2A");
}

TEST(LocationText, Line120OfAProcedureStartingOnLine115) {
    const TTraceLocationInfo start = InProcedure(115, 0);
    EXPECT_EQ(FormatLocationText(0x2000, InProcedure(120, 6), start, "", {false, true, true}),
              Bracketed(0x2000) +
                  " FerruleFrm.TFerruleForm.Timer1Timer (Line 120, \"app/FerruleFrm.cpp\" + 5) + $6");
    EXPECT_EQ(FormatLocationText(0x2000, InProcedure(120, -3), start, "", {false, true, false}),
              Bracketed(0x2000) +
                  " FerruleFrm.TFerruleForm.Timer1Timer (Line 120, \"app/FerruleFrm.cpp\") - $3");
    EXPECT_EQ(FormatLocationText(0x2000, InProcedure(120, 6), std::nullopt, "", {false, false, true}),
              Bracketed(0x2000) + " FerruleFrm.TFerruleForm.Timer1Timer (Line 120, \"app/FerruleFrm.cpp\")")
        << "no line text without a line for the procedure's start";
}

TEST(LocationText, TheModuleNameFollowsTheAddressPaddedToTwelve) {
    EXPECT_EQ(
        FormatLocationText(0x2000, InProcedure(7, 0), std::nullopt, "Ferrule.exe", {true, false, false}),
        Bracketed(0x2000) +
            "{Ferrule.exe } FerruleFrm.TFerruleForm.Timer1Timer (Line 7, \"app/FerruleFrm.cpp\")");
    EXPECT_EQ(FormatLocationText(0x2000, std::nullopt, std::nullopt, "Ferrule.exe", {true, false, false}),
              Bracketed(0x2000));
    EXPECT_EQ(FormatLocationText(0x2000, InProcedure(7, 0), std::nullopt, "AVeryLongModuleName.dll",
                                 {true, false, false})
                  .substr(Bracketed(0x2000).size(), 26),
              "{AVeryLongModuleName.dll} ");
}

} // namespace
