// The installer's entry: start the units, create the application and its one form, run.
#include <windows.h>

#include "Application.h"
#include "CheckWinInetAndAdo.h"
#include "ExceptDlg.h"
#include "ExtCtrls.h"
#include "FerruleFrm.h"
#include "ResourceModule.h"
#include "StdCtrls.h"
#include "SystemFaults.h"
#include "TraceDebug.h"
#include "TraceHookExcept.h"
#include "VynTraceExceptDlg.h"
#include "VynForms.h"
#include "VynLXFlashMsg.h"
#include "VynLXForms.h"
#include "VynLXUtils.h"
#include "VynStdCtrls.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        TUnitStartup units{
            &RtlResourceModuleUnit, &RtlSystemFaultsUnit,    &VynSystemUnit,     &VynWindowsUnit,
            &VynSysUtilsUnit,       &VynLXUtilsUnit,         &TraceDebugUnit,    &TraceHookExceptUnit,
            &RtlFormsUnit,          &RtlStdCtrlsUnit,        &RtlExtCtrlsUnit,   &VynFormsUnit,
            &VynStdCtrlsUnit,       &VynLXFormsUnit,         &VynLXFlashMsgUnit, &ExceptDlgUnit,
            &VynTraceExceptDlgUnit, &CheckWinInetAndAdoUnit, &FerruleFrmUnit};
        // Where the exception dialog's Send Email button writes to.
        SupportEmailAddress = u"support@ferrule-setup.example";
        // The Unicode environment comes before any form is read; the translation start-up will
        // take this over.
        SetUpUnicodeEnvironment();
        // A missing prerequisite has been told to the user: no window, nothing written.
        if (!CheckRequirements({IE, MDAC, JET}))
            return 0;
        Application->Initialize();
        Application->SetTitle("Ferrule 3.6");
        Application->CreateForm(FerruleForm);
        Application->Run();
    } catch (...) {
        HandleExceptionInCallback(nullptr);
        return 1;
    }
    return 0;
}
