#include "DwarfSections.h"

namespace {

std::span<const uint8_t> SectionBytes(const TTracePeImage& image, std::string_view name) {
    const TPeSection* section = image.FindSection(name);
    return section != nullptr ? image.SectionData(*section) : std::span<const uint8_t>();
}

} // namespace

DwarfSections FindDwarfSections(const TTracePeImage& image) {
    DwarfSections sections;
    sections.Info = SectionBytes(image, ".debug_info");
    sections.Abbrev = SectionBytes(image, ".debug_abbrev");
    sections.Line = SectionBytes(image, ".debug_line");
    sections.Str = SectionBytes(image, ".debug_str");
    sections.LineStr = SectionBytes(image, ".debug_line_str");
    sections.Ranges = SectionBytes(image, ".debug_ranges");
    sections.RngLists = SectionBytes(image, ".debug_rnglists");
    sections.Addr = SectionBytes(image, ".debug_addr");
    sections.StrOffsets = SectionBytes(image, ".debug_str_offsets");
    return sections;
}

EDwarfFormatError::EDwarfFormatError(std::string_view section, std::string_view what, uint64_t offset)
    : std::runtime_error(std::string(section) + ": " + std::string(what) + " at offset " +
                         std::to_string(offset)),
      section_(section), offset_(offset) {}

std::string_view ByteReadFailure(const EByteReadError& error) {
    std::string_view message = error.Message();
    if (const size_t at = message.rfind(" at offset "); at != std::string_view::npos)
        message = message.substr(0, at);
    return message;
}
