// The debug files the build writes beside the stand-in payload (which carries no TRACEDBG section
// of its own): its map answers through the map source, its ".tdbg" file through the TDBG source
// with the same answer, and only for the module it names.
#include <gtest/gtest.h>

#include "StandInCopy.h"
#include "TraceDebug.h"
#include "TracePeImage.h"

namespace {

class BuildFiles : public StandInCopy {
protected:
    void RestartDebugUnit() {
        units_.reset();
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{&TraceDebugUnit});
    }
};

TEST_F(BuildFiles, TheStandInsMapAnswersThroughTheMapSource) {
    const std::vector<uint8_t> library = LibraryBytes();
    const auto image = TTracePeImage::Read(library, TPeLayout::File);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->FindSection("TRACEDBG"), nullptr) << "the stand-in keeps its linker's bytes";
    CopyBuildFileBeside(".map");
    Load();
    TTraceLocationInfo info;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 2, info));
    EXPECT_NE(dynamic_cast<TTraceDebugInfoMap*>(info.DebugInfo), nullptr);
    EXPECT_EQ(info.UnitName, "StandInDao");
    EXPECT_NE(info.ProcedureName.find("DllRegisterServer"), std::string::npos) << info.ProcedureName;
    EXPECT_EQ(info.OffsetFromProcName, 2);
    EXPECT_GT(info.LineNumber, 0);
    EXPECT_EQ(info.SourceName, "payload/StandInDao/StandInDao.cpp");
}

TEST_F(BuildFiles, TheStandInsTdbgFileAnswersAsItsMapDoes) {
    CopyBuildFileBeside(".tdbg");
    Load();
    TTraceLocationInfo fromTdbg;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 2, fromTdbg));
    auto* binary = dynamic_cast<TTraceDebugInfoBinary*>(fromTdbg.DebugInfo);
    ASSERT_NE(binary, nullptr);
    EXPECT_TRUE(binary->IsExternal());
    EXPECT_EQ(fromTdbg.UnitName, "StandInDao");
    EXPECT_GT(fromTdbg.LineNumber, 0);

    RestartDebugUnit(); // lets go of the ".tdbg" file
    fs::remove(fs::path(library_).replace_extension(".tdbg"));
    CopyBuildFileBeside(".map");
    RestartDebugUnit();
    TTraceLocationInfo fromMap;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 2, fromMap));
    ASSERT_NE(dynamic_cast<TTraceDebugInfoMap*>(fromMap.DebugInfo), nullptr);
    EXPECT_EQ(fromMap.UnitName, fromTdbg.UnitName);
    EXPECT_EQ(fromMap.OffsetFromProcName, fromTdbg.OffsetFromProcName);
    EXPECT_EQ(fromMap.LineNumber, fromTdbg.LineNumber);
    EXPECT_EQ(fromMap.OffsetFromLineNumber, fromTdbg.OffsetFromLineNumber);
    EXPECT_EQ(fromMap.SourceName, fromTdbg.SourceName);
}

TEST_F(BuildFiles, TheStandInsTdbgFileBesideAModuleOfAnotherNameIsRefused) {
    RenameLibrary("dao350.dll");
    CopyBuildFileBeside(".tdbg");
    Load();
    TTraceLocationInfo info;
    ASSERT_TRUE(LocateAddressInfo(registerServer_ + 2, info));
    EXPECT_NE(dynamic_cast<TTraceDebugInfoExports*>(info.DebugInfo), nullptr)
        << "the file names dao360; the export table answers instead";
    EXPECT_EQ(info.UnitName, "");
}

} // namespace
