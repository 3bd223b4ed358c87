// The installer's entry: start the units, create the application and its one form, run.
#include <windows.h>

#include "Application.h"
#include "CheckWinInetAndAdo.h"
#include "FerruleFrm.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        TUnitStartup units{&VynSystemUnit, &VynWindowsUnit,          &VynSysUtilsUnit, &VynLXUtilsUnit,
                           &RtlFormsUnit,  &CheckWinInetAndAdoUnit, &FerruleFrmUnit};
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
