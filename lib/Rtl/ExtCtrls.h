// Further controls: an image that shows an icon, and a bevel (a 3-D line or frame).
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

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

// Lines in the system's 3-D shadow and highlight colours: a lowered line is a shadow line with a
// highlight line below (or right of) it, a raised one the reverse; a spacer draws nothing.
class TBevel : public TGraphicControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TBevel(TComponent* owner);

    TBevelShape Shape() const { return shape_; }
    void SetShape(TBevelShape value);
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle value);

protected:
    void Paint() override;

private:
    TBevelShape shape_ = bsBox;
    TBevelStyle style_ = bsLowered;
};

// The size of an icon's image; zero for no icon or one the system cannot describe.
SIZE IconSize(HICON icon);

// Registers TImage and TBevel for stored form descriptions.
extern const TUnitInfo RtlExtCtrlsUnit;
