// The installer's one-line window: on its first timer tick it installs and registers the payload.
#pragma once

#include "Timer.h"
#include "UnitRegistry.h"
#include "VynTrxForms.h"

class TFerruleForm : public TVynTrxForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TVynTrxForm::TVynTrxForm;

    TTimer* Timer1 = nullptr;
    void Timer1Timer(TObject* sender);
};

extern TFerruleForm* FerruleForm;
extern const TUnitInfo FerruleFrmUnit;
