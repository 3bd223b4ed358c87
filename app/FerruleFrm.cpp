#include "FerruleFrm.h"

#include "Application.h"
#include "CheckWinInetAndAdo.h"
#include "FerruleFrmResStr.h"
#include "ResourceModule.h"
#include "VynLXSetupUtils.h"
#include "VynLXUtils.h"
#include "VynSystem.h"

TFerruleForm* FerruleForm = nullptr;

namespace {
void StartFerruleFrm() { RegisterComponentClass(TFerruleForm::StaticClassInfo()); }
void EndFerruleFrm() { UnregisterComponentClass(TFerruleForm::StaticClassInfo()); }
} // namespace

const TUnitInfo FerruleFrmUnit{"app/FerruleFrm", StartFerruleFrm, EndFerruleFrm};

const TClassInfo& TFerruleForm::StaticClassInfo() {
    static const TClassInfo info{
        "TFerruleForm",
        &TVynTrxForm::StaticClassInfo(),
        {},
        {PublishedMethod<TFerruleForm>("Timer1Timer", &TFerruleForm::Timer1Timer)},
        {PublishedField<TFerruleForm, TTimer>("Timer1", &TFerruleForm::Timer1)},
    };
    return info;
}

void TFerruleForm::Timer1Timer(TObject*) {
    Timer1->SetEnabled(false);
    const TComponentRequirement& dao = ComponentRequirements[DAO];
    if (dao.InstalledMajorMinor < dao.MinMajorMinor) {
        const WideString installFolder = GetCommonFilesFolder() + u"\\Microsoft Shared\\DAO";
        const WideString installFile = installFolder + u"\\dao360.dll";
        SetCaption(LoadResStringWide(&ResStr::FerruleFrm::SInstalling));
        ForceFolder(installFolder);
        InstallResourceFile(MainInstance(), u"daodll", u"FILE", installFile);
        SetCaption(LoadResStringWide(&ResStr::FerruleFrm::SRegistering));
        RegisterDll(installFile);
    }
    Application->Terminate();
}
