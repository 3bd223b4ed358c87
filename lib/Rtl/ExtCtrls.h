// Further controls: an image that shows an icon.
#pragma once

#include <windows.h>

#include "Controls.h"
#include "UnitRegistry.h"

// Painted by its parent. The icon is not owned: the shared system icons (LoadIcon of a system
// identifier) must never be destroyed, and an owner of any other icon keeps it alive while shown.
class TImage : public TGraphicControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TImage(TComponent* owner);

    HICON Icon() const { return icon_; }
    void SetIcon(HICON icon);
    // Stretch draws the icon at the control's size; otherwise it keeps its own size, at the
    // top left corner or, with Center, in the middle.
    bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    bool Center() const { return center_; }
    void SetCenter(bool value);

protected:
    void Paint() override;

private:
    HICON icon_ = nullptr;
    bool stretch_ = false;
    bool center_ = false;
};

// The size of an icon's image; zero for no icon or one the system cannot describe.
SIZE IconSize(HICON icon);

// Registers TImage for stored form descriptions.
extern const TUnitInfo RtlExtCtrlsUnit;
