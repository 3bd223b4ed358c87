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
#include "VynForms.h"
#include "VynLXDataSet.h"
#include "VynLXFlashMsg.h"
#include "VynLXForms.h"
#include "VynLXUtils.h"
#include "VynStdCtrls.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTraceExceptDlg.h"
#include "VynTrxDfmUtils.h"
#include "VynTrxLangs.h"
#include "VynTrxStartup.h"
#include "VynTrxUtils.h"
#include "VynWindows.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        TUnitStartup units{
            &RtlResourceModuleUnit, &RtlSystemFaultsUnit,   &VynSystemUnit,          &VynWindowsUnit,
            &VynSysUtilsUnit,       &VynLXUtilsUnit,        &TraceDebugUnit,         &TraceHookExceptUnit,
            &RtlFormsUnit,          &RtlStdCtrlsUnit,       &RtlExtCtrlsUnit,        &VynFormsUnit,
            &VynStdCtrlsUnit,       &VynLXFormsUnit,        &VynLXFlashMsgUnit,      &VynLXDataSetUnit,
            &ExceptDlgUnit,         &VynTraceExceptDlgUnit, &VynTrxDfmUtilsUnit,     &VynTrxUtilsUnit,
            &VynTrxLangsUnit,       &VynTrxStartupUnit,     &CheckWinInetAndAdoUnit, &FerruleFrmUnit};
        // Where the exception dialog's Send Email button writes to.
        SupportEmailAddress = u"support@ferrule-setup.example";
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
