#include "ControlBars.h"

#include "FreeNotification.h"

namespace {

constexpr int32_t DefaultControlBarHeight = 30;

void StartControlBars() {
    RegisterComponentClass(TControlBar::StaticClassInfo());
}

void EndControlBars() {
    UnregisterComponentClass(TControlBar::StaticClassInfo());
}

} // namespace

const TUnitInfo RtlControlBarsUnit{"lib/Rtl/ControlBars", StartControlBars, EndControlBars};

const TClassInfo& TControlBar::StaticClassInfo() {
    static const TClassInfo info{
        "TControlBar",
        &TWinControl::StaticClassInfo(),
        {},
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TControlBar(owner); },
    };
    return info;
}

TControlBar::TControlBar(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 100, DefaultControlBarHeight);
    SetAlign(alTop);
}

TControlBar::~TControlBar() {
    NotifyFreed(this);
}

void TControlBar::AlignControls(RECT&) {}
