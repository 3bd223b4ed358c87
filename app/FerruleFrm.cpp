#include "FerruleFrm.h"

#include "Application.h"
#include "FerruleSetup.h"

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
    // A failure raises past Terminate: the window stays with the stage it stopped at.
    InstallDao([this](const WideString& stage) { SetCaption(stage); });
    Application->Terminate();
}
