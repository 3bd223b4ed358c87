#include "VynTrxStartup.h"

#include <windows.h>

#include "Exceptions.h"
#include "TextConversion.h"
#include "VynForms.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTrxLangs.h"
#include "VynTrxResourceModule.h"
#include "VynTrxResourceUtils.h"
#include "VynTrxStartupResStr.h"
#include "VynTrxUtils.h"
#include "WinText.h"
#include "Unattended.h"

namespace {

// Before any form exists, and with the caption the user has seen before: none.
void Tell(const WideString& message) {
    if (RunsUnattended()) {
        TellUnattended(message);
        return;
    }
    ::MessageBoxW(nullptr, WinText(message), L"", MB_OK);
}

void Initialize() {
    SetUpUnicodeEnvironment();
    CheckResourceModule();
}

} // namespace

void CheckResourceModule() {
    const HMODULE program = ::GetModuleHandleW(nullptr);
    if (CurrentResourceModule() == program)
        return;
    const WideString moduleFile = DetermineResourceModule();
    const WideString applicationFile = ModuleFileNameWide(program);
    if (!IsPreparedModule(moduleFile)) {
        // The program's own strings, not whatever the unusable module holds.
        SetResourceModule(program);
        Tell(LoadResStringWide(&ResStr::VynTrxStartup::SModuleNotPrepared));
        return;
    }
    WarnLocaleCodePage(LangIDOfModule(applicationFile, moduleFile));
    if (ModuleGuid(moduleFile) == ModuleGuid(program))
        return;
    // The rebuild replaces the file: nothing may hold it.
    SetResourceModule(program);
    try {
        UpdateTranslationResource(applicationFile, moduleFile);
    } catch (const Exception& error) {
        Tell(AnsiToWide(error.Message()));
        return;
    }
    UniqueModule rebuilt(::LoadLibraryExW(WinText(moduleFile), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (rebuilt)
        SetResourceModule(rebuilt.release());
}

const TUnitInfo VynTrxStartupUnit{"VynTrxStartup", Initialize, nullptr};
