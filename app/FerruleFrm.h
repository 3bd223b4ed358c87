// The installer's one-line window: on its first timer tick it installs and registers the payload.
#pragma once

#include "Forms.h"
#include "Timer.h"
#include "UnitRegistry.h"

class TFerruleForm : public TForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TForm::TForm;

    TTimer* Timer1 = nullptr;
    void Timer1Timer(TObject* sender);
};

extern TFerruleForm* FerruleForm;
extern const TUnitInfo FerruleFrmUnit;
