// The build identifier (SHA-1, name-based GUIDs, what goes into the name), the reading of a PE
// image's resources, and the stamp that writes identifier and identifier map into a program.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "BuildIdentifier.h"
#include "PeSectionAppender.h"
#include "ResourceImageBuilder.h"
#include "ResourceStringTable.h"
#include "Sha1.h"
#include "TracePeImage.h"
#include "TranslationResources.h"

namespace {

std::string Hex(std::span<const uint8_t> bytes) {
    std::string text;
    for (uint8_t b : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", b);
        text += digits;
    }
    return text;
}

std::string Sha1Hex(std::string_view text) {
    Sha1 hash;
    hash.Add(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return Hex(hash.Finish());
}

std::vector<uint8_t> Bytes(std::string_view text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

const TResourceKey RcData = TResourceKey::OfId(ResourceTypeRcData);

// What every program of the runtime carries, a form and a string block.
std::vector<TestResource> ProgramResources() {
    return {
        {RcData, TResourceKey::OfName(u"VYN_TRX_FLAG"), 0, TranslationFlagBytes()},
        {RcData, TResourceKey::OfName(u"VYN_TRX_GUID"), 0, IdentifierPlaceholderBytes()},
        {RcData, TResourceKey::OfName(u"TFERRULEFORM"), 0, Bytes("TPF0 form")},
        {TResourceKey::OfId(ResourceTypeString), TResourceKey::OfId(3841), 0, std::vector<uint8_t>(32, 0)},
        {TResourceKey::OfName(u"FILE"), TResourceKey::OfName(u"DAODLL"), 0, Bytes("payload")},
    };
}

const std::vector<uint8_t> Map = {'1', 0, '=', 0, 'U', 0, '_', 0, 'S', 0, '\r', 0, '\n', 0};

std::vector<TPeResource> ResourcesOf(const std::vector<uint8_t>& image) {
    const auto pe = TTracePeImage::Read(image, TPeLayout::File);
    EXPECT_TRUE(pe);
    return pe ? ReadPeResources(*pe, image) : std::vector<TPeResource>();
}

WideString IdentifierOf(const std::vector<TestResource>& resources, const std::vector<uint8_t>& map = Map) {
    const std::vector<uint8_t> image = ResourceImageBuilder::Image(resources);
    return BuildIdentifier(ResourcesOf(image), map);
}

WideString StoredIdentifier(const std::vector<uint8_t>& image) {
    const std::vector<TPeResource> resources = ResourcesOf(image);
    const TPeResource* stored = FindPeResource(resources, RcData, BuildIdentifierName);
    WideString text;
    for (size_t i = 0; stored && i + 1 < stored->Data.size(); i += 2)
        text += static_cast<char16_t>(stored->Data[i] | stored->Data[i + 1] << 8);
    return text;
}

std::string StampFailure(const std::vector<uint8_t>& image, const std::vector<uint8_t>& map = Map) {
    try {
        StampTranslationResources(image, map);
    } catch (const EStampError& error) {
        return error.what();
    }
    return "<nothing raised>";
}

TEST(Sha1, GivesTheStandardDigestsHoweverTheBytesArrive) {
    EXPECT_EQ(Sha1Hex(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Sha1Hex("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    const std::string long_(1000, 'q');
    for (size_t chunk : {1u, 7u, 63u, 64u, 65u, 999u}) {
        Sha1 hash;
        for (size_t at = 0; at < long_.size(); at += chunk)
            hash.Add(std::span(reinterpret_cast<const uint8_t*>(long_.data()) + at,
                               std::min(chunk, long_.size() - at)));
        EXPECT_EQ(Hex(hash.Finish()), Sha1Hex(long_)) << "chunks of " << chunk;
    }
}

TEST(NameBasedGuid, IsVersionFiveOfSha1AsTheWellKnownExampleShows) {
    // The DNS namespace and "www.example.com" give 2ed6657d-e927-568b-95e1-2665a8aea6a2.
    const TGuidBytes dns = {0x6b, 0xa7, 0xb8, 0x10, 0x9d, 0xad, 0x11, 0xd1,
                            0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};
    const std::vector<uint8_t> name = Bytes("www.example.com");
    EXPECT_EQ(GuidText(NameBasedGuid(dns, name)), u"{2ED6657D-E927-568B-95E1-2665A8AEA6A2}");
}

TEST(BuildIdentifier, DependsOnEveryOtherResourceAndTheMapButNotOnTheirOrder) {
    const std::vector<TestResource> resources = ProgramResources();
    const WideString identifier = IdentifierOf(resources);
    ASSERT_EQ(identifier.size(), BuildIdentifierLength);
    for (size_t i = 0; i < identifier.size(); ++i) {
        const char16_t c = identifier[i];
        if (i == 0 || i == 37 || i == 9 || i == 14 || i == 19 || i == 24)
            continue;
        EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) << "upper-case hex at " << i;
    }
    EXPECT_EQ(identifier[15], u'5') << "version 5";

    std::vector<TestResource> reordered(resources.rbegin(), resources.rend());
    EXPECT_EQ(IdentifierOf(reordered), identifier);
    std::vector<TestResource> stamped = resources;
    stamped[1].Data = Bytes("anything the identifier itself holds");
    EXPECT_EQ(IdentifierOf(stamped), identifier) << "the identifier is not part of its own name";

    const auto changed = [&](auto change) {
        std::vector<TestResource> other = resources;
        change(other);
        return IdentifierOf(other);
    };
    EXPECT_NE(changed([](auto& r) { r[4].Data.back() ^= 1; }), identifier) << "another payload";
    EXPECT_NE(changed([](auto& r) { r[2].Name = TResourceKey::OfName(u"TOTHERFORM"); }), identifier);
    EXPECT_NE(changed([](auto& r) { r[3].Name = TResourceKey::OfId(3842); }), identifier);
    EXPECT_NE(changed([](auto& r) { r[4].Type = TResourceKey::OfName(u"FILES"); }), identifier);
    EXPECT_NE(changed([](auto& r) { r.pop_back(); }), identifier);
    EXPECT_NE(changed([](auto& r) { r[2].Data.push_back(0); }), identifier);
    std::vector<uint8_t> otherMap = Map;
    otherMap[0] = '2';
    EXPECT_NE(IdentifierOf(resources, otherMap), identifier);
}

TEST(PeResources, ReadsEveryTypeNameAndLanguageWithItsBytesAndPlace) {
    std::vector<TestResource> resources = ProgramResources();
    resources.push_back({RcData, TResourceKey::OfName(u"TFERRULEFORM"), 0x407, Bytes("German form")});
    const std::vector<uint8_t> image = ResourceImageBuilder::Image(resources);
    const std::vector<TPeResource> read = ResourcesOf(image);
    ASSERT_EQ(read.size(), resources.size());
    for (const TestResource& expected : resources) {
        const auto found = std::find_if(read.begin(), read.end(), [&](const TPeResource& r) {
            return r.Type == expected.Type && r.Name == expected.Name && r.Language == expected.Language;
        });
        ASSERT_NE(found, read.end()) << expected.Name.Text();
        EXPECT_EQ(std::vector<uint8_t>(found->Data.begin(), found->Data.end()), expected.Data);
        EXPECT_EQ(0,
                  std::memcmp(image.data() + found->FileOffset, expected.Data.data(), expected.Data.size()));
    }
    EXPECT_EQ(FindPeResource(read, RcData, "vyn_trx_flag")->Data.size(), 65u) << "names match without case";
    EXPECT_EQ(FindPeResource(read, RcData, "VYN.DRC"), nullptr);
    EXPECT_TRUE(ResourcesOf(BuildModuleTemplate()).empty());
}

TEST(PeResources, AMalformedDirectoryIsAnErrorNeverAReadPastIt) {
    const std::vector<uint8_t> image = ResourceImageBuilder::Image(ProgramResources());
    const size_t section = ResourceImageBuilder::RawOffset;
    const size_t sectionSize = ResourceImageBuilder::Section(ProgramResources()).size();
    std::mt19937 random(13);
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> mutated = image;
        for (int flips = 1 + round % 4; flips > 0; --flips)
            mutated[section + random() % sectionSize] = static_cast<uint8_t>(random());
        const auto pe = TTracePeImage::Read(mutated, TPeLayout::File);
        ASSERT_TRUE(pe);
        try {
            for (const TPeResource& resource : ReadPeResources(*pe, mutated))
                ASSERT_LE(resource.FileOffset + resource.Data.size(), mutated.size());
        } catch (const EPeResourceError&) {
        }
    }
    std::vector<uint8_t> looping = image;
    PutU32(looping, section + 16 + 4, 0x80000000u); // the first type's directory is the root again
    const auto pe = TTracePeImage::Read(looping, TPeLayout::File);
    EXPECT_THROW(ReadPeResources(*pe, looping), EPeResourceError);
}

TEST(TranslationStamp, WritesTheIdentifierAndAddsTheMapAsAnExactlySizedSection) {
    const std::vector<uint8_t> linked = ResourceImageBuilder::Image(ProgramResources());
    const auto stamped = StampTranslationResources(linked, Map);
    ASSERT_TRUE(stamped);
    EXPECT_EQ(StoredIdentifier(*stamped), IdentifierOf(ProgramResources()));
    const auto pe = TTracePeImage::Read(*stamped, TPeLayout::File);
    ASSERT_TRUE(pe);
    const TPeSection* section = pe->FindSection(IdentifierMapSection);
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->VirtualSize, Map.size()) << "the text's exact byte count, not the padded raw size";
    EXPECT_EQ(section->Characteristics, ReadOnlyDataSection);
    const std::span<const uint8_t> text = pe->SectionData(*section);
    EXPECT_EQ(std::vector<uint8_t>(text.begin(), text.end()), Map);
    EXPECT_EQ(*StampTranslationResources(linked, Map), *stamped) << "the same inputs give the same bytes";

    std::vector<TestResource> otherPayload = ProgramResources();
    otherPayload[4].Data = Bytes("another payload");
    EXPECT_NE(StoredIdentifier(*StampTranslationResources(ResourceImageBuilder::Image(otherPayload), Map)),
              StoredIdentifier(*stamped));
}

TEST(TranslationStamp, LeavesModulesWithoutTheFlagAndRefusesWhatWouldBreakATranslation) {
    std::vector<TestResource> library = ProgramResources();
    library.erase(library.begin());
    EXPECT_FALSE(StampTranslationResources(ResourceImageBuilder::Image(library), Map));

    std::vector<TestResource> english = ProgramResources();
    english[2].Language = 0x409;
    EXPECT_EQ(
        StampFailure(ResourceImageBuilder::Image(english)),
        "resource #10/TFERRULEFORM is in language 0x0409: every resource of a program is in language 0, "
        "as translation modules are saved");
    std::vector<TestResource> noPlaceholder = ProgramResources();
    noPlaceholder[1].Data.pop_back();
    EXPECT_EQ(StampFailure(ResourceImageBuilder::Image(noPlaceholder)),
              "no resource VYN_TRX_GUID of 76 bytes to write the identifier into");
    const std::vector<uint8_t> linked = ResourceImageBuilder::Image(ProgramResources());
    EXPECT_EQ(StampFailure(*StampTranslationResources(linked, Map)),
              "the module has a section VYN.DRC already");
    EXPECT_EQ(StampFailure(linked, {}), "an empty identifier map: the section would have no bytes");
    EXPECT_EQ(StampFailure(std::vector<uint8_t>(linked.begin(), linked.begin() + 0x100)), "not a PE image");
}

} // namespace
