#include "TraceModuleReport.h"

#include <windows.h>

#include "StringLists.h"
#include "TextConversion.h"
#include "TraceDebug.h"
#include "TraceFileVersion.h"
#include "TraceHookExcept.h"
#include "TracePeImage.h"
#include "VynWindows.h"

namespace {

// The module's own path in full wide text: the list's ANSI names lose what the code page lacks.
WideString ModulePath(HMODULE module) {
    std::vector<char16_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = VynGetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return WideString();
        if (length < buffer.size())
            return WideString(buffer.data(), length);
        if (buffer.size() >= 32768)
            return WideString();
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

std::optional<uint64_t> PreferredImageBase(const WideString& path) {
    if (path.empty())
        return std::nullopt;
    const TMappedFile file(path);
    const std::optional<TTracePeImage> image = TTracePeImage::Read(file.Bytes(), TPeLayout::File);
    if (!image)
        return std::nullopt;
    return image->ImageBase();
}

std::optional<std::vector<TReportModule>> ReadProcessReportModules() {
    TStringList list;
    if (!ListProcessModules(list, ::GetCurrentProcessId()))
        return std::nullopt;
    std::vector<TReportModule> modules;
    modules.reserve(static_cast<size_t>(list.Count()));
    for (int32_t i = 0; i < list.Count(); ++i) {
        const auto handle = reinterpret_cast<HMODULE>(list.Objects(i));
        TReportModule module;
        module.Base = reinterpret_cast<uintptr_t>(handle);
        module.Path = list.Strings(i);
        WideString path = ModulePath(handle);
        if (path.empty())
            path = AnsiToWide(module.Path);
        module.PreferredBase = PreferredImageBase(path);
        module.Version = ReadReportModuleVersion(path);
        modules.push_back(std::move(module));
    }
    return modules;
}

std::optional<std::vector<AnsiString>> ModulesSectionLines() {
    std::optional<std::vector<TReportModule>> modules = ReadProcessReportModules();
    if (!modules)
        return std::nullopt;
    return ModuleReportLines(std::move(*modules));
}
