// Format strings, which translators write: the format-string parser, FormatWide and the
// framework's own formatters, MakeIndexesExplicit and CompareFormatStrings. A malformed format or
// an argument of the wrong kind raises the documented error; nothing reads past the format or
// sizes its output from an unchecked width.
//
// Input: one byte giving the argument count (its low 3 bits), one byte per argument choosing its
// kind, then the format as UTF-16LE; a second format for CompareFormatStrings follows the
// separator of SplitInTwo.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "Exceptions.h"
#include "Format.h"
#include "FuzzInput.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtilsPaths.h"

namespace {

TVarRec ArgumentOfKind(uint8_t kind) {
    switch (kind % 9) {
    case 0:
        return TVarRec(-12345);
    case 1:
        return TVarRec(static_cast<long long>(0x7FFFFFFFFFFFFFFFLL));
    case 2:
        return TVarRec(3.25e300);
    case 3:
        return TVarRec(-0.0001);
    case 4:
        return TVarRec('c');
    case 5:
        return TVarRec(u'\u00e9');
    case 6:
        return TVarRec(AnsiString("ansi text"));
    case 7:
        return TVarRec(WideString(u"wide \u00fc text"));
    default:
        return TVarRec(static_cast<const void*>(nullptr));
    }
}

template <typename Call> void ExpectingFormatErrors(Call call) {
    try {
        call();
    } catch (const EConvertError&) {
    } catch (const EVynGeneralError&) {
    } catch (const EVynInternalError&) {
    } catch (const EOutOfResources&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto [first, second] = fuzz::SplitInTwo(data, size);
    const auto* bytes = reinterpret_cast<const uint8_t*>(first.data());
    size_t pos = 0;
    std::vector<TVarRec> args;
    if (pos < first.size()) {
        const size_t count = bytes[pos++] & 7;
        for (size_t i = 0; i < count && pos < first.size(); ++i)
            args.push_back(ArgumentOfKind(bytes[pos++]));
    }
    const WideString format = fuzz::AsWide(bytes + pos, first.size() - pos);
    const WideString other =
        fuzz::AsWide(reinterpret_cast<const uint8_t*>(second.data()), second.size());

    ExpectingFormatErrors([&] {
        TFormatStrParser parser(format);
        while (parser.SkipToNextPercent())
            parser.ParseSpecifier();
    });
    ExpectingFormatErrors([&] { static_cast<void>(FormatWide(format, args)); });
    ExpectingFormatErrors([&] { static_cast<void>(WideFormat(format, args)); });
    ExpectingFormatErrors([&] { static_cast<void>(Format(AnsiString(format.begin(), format.end()), args)); });
    ExpectingFormatErrors([&] {
        char16_t buffer[64];
        if (FormatWideToBuffer(buffer, std::size(buffer), format, args) > std::size(buffer))
            std::abort();
    });
    ExpectingFormatErrors([&] {
        const WideString explicitFormat = MakeIndexesExplicit(format);
        // Numbering every argument must not change which argument each specifier takes.
        if (ListFormatSpecifiers(explicitFormat) != ListFormatSpecifiers(format))
            std::abort();
    });
    ExpectingFormatErrors([&] {
        const std::vector<WideString> specifiers = ListFormatSpecifiers(format);
        static_cast<void>(HighestArgIndex(specifiers));
        static_cast<void>(BuildArgumentTypeTable(specifiers));
    });
    ExpectingFormatErrors([&] { CompareFormatStrings(format, other); });
    return 0;
}
