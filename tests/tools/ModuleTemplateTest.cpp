// The translation-module template: an empty resource-only PE32 DLL with nothing that varies from
// one build to the next, and the byte array the build compiles in.
#include <gtest/gtest.h>

#include "ByteReader.h"
#include "ModuleTemplate.h"
#include "PeResources.h"
#include "PeSectionAppender.h"
#include "TracePeImage.h"

namespace {

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t at) {
    ByteReader reader(bytes);
    reader.Seek(at);
    return reader.ReadU32();
}

TEST(ModuleTemplate, IsAnEmptyResourceOnlyI386DllWithoutCodeImportsEntryOrTimeStamp) {
    const std::vector<uint8_t> image = BuildModuleTemplate();
    EXPECT_EQ(image, BuildModuleTemplate()) << "the same bytes every time";
    const auto pe = TTracePeImage::Read(image, TPeLayout::File);
    ASSERT_TRUE(pe);
    EXPECT_FALSE(pe->Is64());
    EXPECT_EQ(pe->Machine(), 0x14C);
    ASSERT_EQ(pe->Sections().size(), 1u);
    EXPECT_EQ(pe->Sections()[0].Name, ".rsrc");
    EXPECT_EQ(pe->SizeOfImage(), pe->Sections()[0].VirtualAddress + pe->SectionAlignment());
    const size_t file = pe->FileHeaderOffset();
    EXPECT_EQ(U32At(image, file + 4), 0u) << "time stamp";
    EXPECT_NE(U32At(image, file + 16) >> 16 & 0x2000, 0u) << "a DLL";
    const size_t optional = pe->OptionalHeaderOffset();
    EXPECT_EQ(U32At(image, optional + 4), 0u) << "no code";
    EXPECT_EQ(U32At(image, optional + 16), 0u) << "no entry point";
    EXPECT_TRUE(pe->DirectoryData(1).empty()) << "no imports";
    EXPECT_TRUE(pe->DirectoryData(5).empty()) << "no relocations";
    EXPECT_TRUE(pe->Exports().empty());
    EXPECT_EQ(pe->DirectoryData(2).size(), 16u) << "an empty resource directory";
    EXPECT_TRUE(ReadPeResources(*pe, image).empty());
    EXPECT_EQ(U32At(image, optional + 64), PeChecksum(image, optional + 64));
}

TEST(ModuleTemplate, TheGeneratedSourceHoldsEveryByteInOrder) {
    const std::vector<uint8_t> image = BuildModuleTemplate();
    const std::string source = ModuleTemplateSource(image);
    EXPECT_NE(source.find("#include \"VynTrxModuleTemplate.h\""), std::string::npos);
    EXPECT_NE(source.find("std::span<const uint8_t> TranslationModuleTemplate() { return TemplateBytes; }"),
              std::string::npos);
    std::vector<uint8_t> listed;
    for (size_t at = source.find("TemplateBytes[] = {"); (at = source.find(" 0x", at)) != std::string::npos;
         at += 3)
        listed.push_back(static_cast<uint8_t>(std::stoul(source.substr(at + 3, 2), nullptr, 16)));
    EXPECT_EQ(listed, image);
}

} // namespace
