#include "VynTrxResourceModule.h"

#include "ResourceModule.h"
#include "VynDialogs.h"
#include "VynFormatStrUtils.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxUtilsResStr.h"

HMODULE CurrentResourceModule() {
    return ResourceInstance();
}

void SetResourceModule(HMODULE module) {
    SetResourceInstance(UniqueModule(module)); // the resource module owns it from here on
}

WideString DetermineResourceModule() {
    return DetermineResourceModule(ModuleFileNameWide(nullptr));
}

WideString DetermineResourceModule(const WideString& applicationFile) {
    const WideString application = GetLongPathOf(applicationFile);
    if (CurrentResourceModule() == MainInstance())
        return application;
    if (std::optional<TResourceModuleFile> found = LoadResourceModuleOf(application))
        return found->FileName;
    EVynInternalError error("Internal Error: Can not determine resource module.");
    error.SetFailure("DetermineResourceModule", application);
    throw error;
}

std::optional<WideString> LocaleCodePageWarning(LANGID language) {
    if (VynPlatformIsNT)
        return std::nullopt;
    const LCID locale = MAKELCID(language, SORT_DEFAULT);
    // A locale whose code page the system does not know gives the system's own.
    if (LocaleAnsiCodePage(locale) == ::GetACP())
        return std::nullopt;
    return FormatWide(LoadResStringWide(&ResStr::VynTrxUtils::SLocaleCodePageWarning),
                      {GetLocaleStrWide(locale, LOCALE_SENGLANGUAGE, u"")});
}

void WarnLocaleCodePage(LANGID language) {
    if (std::optional<WideString> warning = LocaleCodePageWarning(language))
        ShowMessageWide(*warning);
}
