#include "TraceFileVersion.h"

#include <windows.h>

#include "Exceptions.h"
#include "TextConversion.h"
#include "VynLXVerUtils.h"

namespace {

// The fixed record, when the file has one; a file that vanished since it was loaded has none.
std::optional<VS_FIXEDFILEINFO> FixedRecord(const WideString& path) {
    try {
        const VS_FIXEDFILEINFO fixed = GetFixedFileInfo(path);
        if (fixed.dwSignature == VS_FFI_SIGNATURE)
            return fixed;
    } catch (const Exception&) {
    }
    return std::nullopt;
}

// A string of the file's first translation; "" where there is none.
AnsiString StringValue(const WideString& path, const char16_t* name) {
    try {
        return WideToAnsi(GetFileVersionString(name, path, 0, 0));
    } catch (const Exception&) {
        return AnsiString();
    }
}

} // namespace

std::optional<TReportModuleVersion> ReadReportModuleVersion(const WideString& path) {
    const std::optional<VS_FIXEDFILEINFO> fixed = FixedRecord(path);
    if (!fixed)
        return std::nullopt;
    TReportModuleVersion version;
    version.FileVersion = {static_cast<uint16_t>(fixed->dwFileVersionMS >> 16),
                           static_cast<uint16_t>(fixed->dwFileVersionMS & 0xFFFF),
                           static_cast<uint16_t>(fixed->dwFileVersionLS >> 16),
                           static_cast<uint16_t>(fixed->dwFileVersionLS & 0xFFFF)};
    version.FileVersionText = StringValue(path, u"FileVersion");
    version.FileDescription = StringValue(path, u"FileDescription");
    return version;
}

uint32_t ReadProductVersionMajorMinor(const WideString& path) {
    const std::optional<VS_FIXEDFILEINFO> fixed = FixedRecord(path);
    return fixed ? fixed->dwProductVersionMS : 0;
}
