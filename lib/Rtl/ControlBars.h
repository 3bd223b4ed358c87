// A control bar: the strip along the top of a form that holds its tool bars, painted in a colour
// of its own (the menu bar's colour when it stands in for one).
#pragma once

#include "Controls.h"
#include "UnitRegistry.h"

class TControlBar : public TWinControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TControlBar(TComponent* owner);
    // Announces itself (FreeNotification.h): forms dock bars into it.
    ~TControlBar() override;

protected:
    // The bars on it stay where they are put: a bar docked into it must not be stretched by the
    // alignment it has on its own form.
    void AlignControls(RECT& rect) override;
};

// Registers the control bar with the class registry, so stored descriptions can hold it.
extern const TUnitInfo RtlControlBarsUnit;
