// Reading version resources of files on disk, and writing component versions.
#include <gtest/gtest.h>

#include <algorithm>

#include "VersionResource.h"
#include "VynLXVerUtils.h"
#include "VynSysUtils.h"
#include "WineTestSupport.h"

namespace {

constexpr uint32_t EnglishUnicode = 0x04B00409;
constexpr uint32_t GermanWestern = 0x04E40407;

// A copy of the stand-in library with a version resource of the given shape.
class VersionFixture : public ::testing::Test {
protected:
    ScratchFolder folder_{L"VersionFixture"};

    WideString Make(const std::wstring& name, const TVersionResourceShape& shape) {
        const std::wstring path = folder_.Path() + L"\\" + name;
        CopyWithVersionResource(HostPath(STANDIN_DAO_PATH), path, BuildVersionResource(shape));
        return Wide(path);
    }
};

TVersionResourceShape TwoLanguages() {
    TVersionResourceShape shape;
    shape.FileVersion[0] = 3, shape.FileVersion[1] = 51, shape.FileVersion[2] = 7, shape.FileVersion[3] = 9;
    shape.ProductVersion[0] = 9, shape.ProductVersion[1] = 9;
    shape.StringTables = {
        {L"040704e4", {{L"ProductName", L"Produkt"}, {L"CompanyName", L"Firma"}}},
        {L"040904b0", {{L"ProductName", L"Product"}, {L"CompanyName", L"Company"}}},
    };
    shape.Translations = {GermanWestern, EnglishUnicode};
    return shape;
}

TEST_F(VersionFixture, TheFirstOfSeveralTranslationsIsUsed) {
    const WideString path = Make(L"TwoLanguages.dll", TwoLanguages());
    EXPECT_EQ(GetFileTranslation(path), GermanWestern);
    EXPECT_EQ(GetFileVersionString(u"ProductName", path, 0, 0), u"Produkt");
    // One zero part is enough to fall back to the file's own translation.
    EXPECT_EQ(GetFileVersionString(u"CompanyName", path, 0x0409, 0), u"Firma");
    EXPECT_EQ(GetFileVersionString(u"CompanyName", path, 0x0409, 0x04B0), u"Company");
    EXPECT_EQ(GetFileVersionString(u"Comments", path, 0, 0), u"");
    // A pair the file has no table for is not replaced by the file's own.
    EXPECT_EQ(GetFileVersionString(u"ProductName", path, 0x040C, 0x04E4), u"");
}

TEST_F(VersionFixture, AnExplicitPairIsUsedEvenWithoutATranslationTable) {
    TVersionResourceShape shape = TwoLanguages();
    shape.Translations.clear();
    const WideString path = Make(L"NoTranslations.dll", shape);
    EXPECT_EQ(GetFileTranslation(path), 0u);
    EXPECT_EQ(GetFileVersionString(u"ProductName", path, 0x0409, 0x04B0), u"Product");
    EXPECT_EQ(GetFileVersionString(u"ProductName", path, 0, 0), u"");
}

TEST_F(VersionFixture, AStringStoredWithItsOwnZeroEndsThere) {
    TVersionResourceShape shape;
    shape.StringTables = {{L"040904b0",
                           {{L"CompanyName", std::wstring(L"Vendor\0", 7)},
                            {L"ProductName", std::wstring(L"Front\0Back", 10)}}}};
    shape.Translations = {EnglishUnicode};
    const WideString path = Make(L"TrailingZero.dll", shape);
    EXPECT_EQ(GetFileVersionString(u"CompanyName", path, 0, 0), u"Vendor");
    EXPECT_EQ(GetFileVersionString(u"ProductName", path, 0, 0), u"Front");
}

TEST_F(VersionFixture, TheFileVersionComesFromTheFixedRecordNotTheProductVersion) {
    const WideString path = Make(L"Versioned.dll", TwoLanguages());
    EXPECT_EQ(ReadFileVersion(path), MakeComponentVersion(3, 51, 7, 9));
    const VS_FIXEDFILEINFO info = GetFixedFileInfo(path);
    EXPECT_EQ(info.dwSignature, static_cast<DWORD>(VS_FFI_SIGNATURE));
    EXPECT_EQ(info.dwProductVersionMS, 0x00090009u);
    EXPECT_EQ(info.dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_F(VersionFixture, AResourceWithoutTheFixedRecordHasNoVersion) {
    TVersionResourceShape shape = TwoLanguages();
    shape.WithFixedRecord = false;
    const WideString path = Make(L"NoFixedRecord.dll", shape);
    EXPECT_EQ(ReadFileVersion(path), 0u);
    const VS_FIXEDFILEINFO info = GetFixedFileInfo(path);
    EXPECT_EQ(info.dwSignature, 0u);
    EXPECT_EQ(info.dwFileVersionMS, 0u);
    // The rest of the resource still reads.
    EXPECT_EQ(GetFileVersionString(u"ProductName", path, 0, 0), u"Produkt");
}

TEST_F(VersionFixture, StringsTypedBinaryStillReadWhole) {
    TVersionResourceShape shape = TwoLanguages();
    shape.StringsMarkedBinary = true;
    const WideString path = Make(L"BinaryStrings.dll", shape);
    EXPECT_EQ(GetFileVersionString(u"ProductName", path, 0, 0), u"Produkt");
    EXPECT_EQ(GetFileVersionString(u"CompanyName", path, 0x0409, 0x04B0), u"Company");
}

// A resource cut short inside its string tables, the root still claiming the whole length: what
// lies inside the block reads, nothing beyond it does.
TEST_F(VersionFixture, AResourceCutShortReadsWhatItHolds) {
    std::vector<uint8_t> block = BuildVersionResource(TwoLanguages());
    // The fixed record and the first table's first value, up to the middle of the second.
    const std::u16string firstValue = u"Produkt";
    const auto text = reinterpret_cast<const uint8_t*>(firstValue.c_str());
    const auto at = std::search(block.begin(), block.end(), text, text + 2 * firstValue.size());
    ASSERT_NE(at, block.end());
    block.resize(static_cast<size_t>(at - block.begin()) + 2 * (firstValue.size() + 1) + 40);
    const std::wstring path = folder_.Path() + L"\\CutShort.dll";
    CopyWithVersionResource(HostPath(STANDIN_DAO_PATH), path, block);
    EXPECT_EQ(ReadFileVersion(Wide(path)), MakeComponentVersion(3, 51, 7, 9));
    EXPECT_EQ(GetFileVersionString(u"ProductName", Wide(path), 0x0407, 0x04E4), u"Produkt");
    EXPECT_EQ(GetFileVersionString(u"ProductName", Wide(path), 0x0409, 0x04B0), u"");
    EXPECT_EQ(GetFileTranslation(Wide(path)), 0u);
}

// The Windows 9x entry points (GetFileVersionInfoA) hand the library a block it reads itself too.
class AnsiVersionFixture : public VersionFixture {
protected:
    void SetUp() override { VynPlatformIsNT = false; }
    void TearDown() override { VynPlatformIsNT = savedPlatform_; }

private:
    bool savedPlatform_ = VynPlatformIsNT;
};

TEST_F(AnsiVersionFixture, TheAnsiEntryPointsReadTheSameValues) {
    const WideString path = Make(L"AnsiPath.dll", TwoLanguages());
    EXPECT_EQ(GetFileTranslation(path), GermanWestern);
    EXPECT_EQ(GetFileVersionString(u"CompanyName", path, 0, 0), u"Firma");
    EXPECT_EQ(GetFileVersionString(u"ProductName", path, 0x0409, 0x04B0), u"Product");
    EXPECT_EQ(ReadFileVersion(path), MakeComponentVersion(3, 51, 7, 9));
}

TEST(VersionInformation, AFileWithoutVersionResourceGivesNothing) {
    const WideString path = Wide(HostPath(NOT_A_LIBRARY_PATH));
    EXPECT_TRUE(GetFileVersionInfoBlock(path).empty());
    EXPECT_EQ(GetFileTranslation(path), 0u);
    EXPECT_EQ(GetFileVersionString(u"ProductName", path, 0x0409, 0x04B0), u"");
    EXPECT_EQ(ReadFileVersion(path), 0u);
}

TEST(VersionInformation, AMissingFileIsAnInternalError) {
    const WideString path = Wide(SystemTemp()) + u"NoSuchFile.dll";
    const std::string expected =
        "Internal Error: File does not exist: " + std::string(path.begin(), path.end());
    EXPECT_EQ(MessageOf([&] { GetFileVersionInfoBlock(path); }), expected);
    EXPECT_EQ(MessageOf([&] { ReadFileVersion(path); }), expected);
    EXPECT_EQ(MessageOf([&] { GetFileVersionString(u"ProductName", path, 1, 1); }), expected);
}

TEST(VersionInformation, TheBuiltStandInsCarryTheirVersions) {
    EXPECT_EQ(ReadFileVersion(Wide(HostPath(STANDIN_DAO_PATH))), MakeComponentVersion(3, 60, 0, 0));
    EXPECT_EQ(ReadFileVersion(Wide(HostPath(STANDIN_DAO351_PATH))), MakeComponentVersion(3, 51, 0, 0));
    EXPECT_EQ(GetFileVersionString(u"CompanyName", Wide(HostPath(STANDIN_DAO_PATH)), 0, 0),
              u"Ferrule project");
}

TEST(ComponentVersions, FourPartsInTheFourStyles) {
    const TComponentVersion version = MakeComponentVersion(3, 60, 5, 0);
    EXPECT_EQ(version, 0x0003003C00050000ull);
    EXPECT_EQ(ComponentVersionToStr(0, version), u"3.60.5.0");
    EXPECT_EQ(ComponentVersionToStr(1, version), u"3.60.5");
    EXPECT_EQ(ComponentVersionToStr(2, version), u"3.60 r5");
    EXPECT_EQ(ComponentVersionToStr(3, version), u"3.60");
    EXPECT_EQ(ComponentVersionToStr(7, version), u"3.60.5.0");
}

TEST(ComponentVersions, PartsWrapAtSixteenBitsAndPrintUnsigned) {
    const TComponentVersion version = MakeComponentVersion(0x1FFFF, 65536 + 2, 65535, 0x12345);
    EXPECT_EQ(version, 0xFFFF0002FFFF2345ull);
    EXPECT_EQ(ComponentVersionToStr(0, version), u"65535.2.65535.9029");
    // Ordering as unsigned numbers is ordering field by field.
    EXPECT_LT(MakeComponentVersion(3, 51, 65535, 65535), MakeComponentVersion(3, 60, 0, 0));
    EXPECT_LT(MakeComponentVersion(3, 60, 0, 0), MakeComponentVersion(0x8000, 0, 0, 0));
}

} // namespace
