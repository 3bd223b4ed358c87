// PE images (modules on disk and as loaded, translation modules) and their resource directories: a
// malformed image is no image or an empty table, a malformed resource directory raises
// EPeResourceError, and every span handed out lies inside the bytes.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <span>

#include "PeResources.h"
#include "TracePeImage.h"
#include "TraceTD32.h"

namespace {

void ExpectInside(std::span<const uint8_t> part, std::span<const uint8_t> whole) {
    if (part.empty())
        return;
    const auto begin = reinterpret_cast<uintptr_t>(whole.data());
    const auto first = reinterpret_cast<uintptr_t>(part.data());
    if (first < begin || first - begin > whole.size() || part.size() > whole.size() - (first - begin))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    for (const TPeLayout layout : {TPeLayout::File, TPeLayout::Mapped}) {
        const std::optional<TTracePeImage> image = TTracePeImage::Read(bytes, layout);
        if (!image)
            continue;
        for (const TPeSection& section : image->Sections())
            ExpectInside(image->SectionData(section), bytes);
        static_cast<void>(image->FindSection("TRACEDBG"));
        for (unsigned index = 0; index < 16; ++index)
            ExpectInside(image->DirectoryData(index), bytes);
        ExpectInside(image->BytesAt(image->SizeOfHeaders(), 16), bytes);
        static_cast<void>(image->Exports());
        static_cast<void>(image->DebugDirectories());
        static_cast<void>(image->Symbols());
        ExpectInside(TD32DataOfImage(*image), bytes);
        if (layout != TPeLayout::File)
            continue;
        try {
            for (const TPeResource& resource : ReadPeResources(*image, bytes))
                ExpectInside(resource.Data, bytes);
        } catch (const EPeResourceError&) {
        }
    }
    return 0;
}
