// The standard controls with wide captions and hints: a label that draws its wide caption, a push
// button whose window is a Unicode window on the NT family, and an image with a wide hint.
#pragma once

#include "ExtCtrls.h"
#include "StdCtrls.h"
#include "UnitRegistry.h"
#include "VynControls.h"

class TVynLabel : public TLabel {
    RTL_DECLARE_CLASS_INFO()
public:
    using TLabel::TLabel;

    // Wide: these hide the framework's ANSI Caption and Hint (still reachable through TControl).
    WideString Caption() const { return GetWideControlText(*this); }
    void SetCaption(const WideString& caption) { SetWideControlText(*this, caption); }
    WideString Hint() const { return GetWideControlHint(*this); }
    void SetHint(const WideString& hint) { SetWideControlHint(*this, hint); }

    void DefineProperties(TFiler& filer) override;

protected:
    void DoDrawText(RECT& rect, UINT flags) override;
};

class TVynButton : public TVynUnicodeWinControl<TButton> {
    RTL_DECLARE_CLASS_INFO()
public:
    using TVynUnicodeWinControl<TButton>::TVynUnicodeWinControl;

    WideString Caption() const { return GetWideControlText(*this); }
    void SetCaption(const WideString& caption) { SetWideControlText(*this, caption); }
    WideString Hint() const { return GetWideControlHint(*this); }
    void SetHint(const WideString& hint) { SetWideControlHint(*this, hint); }

    void DefineProperties(TFiler& filer) override;
};

// An image has no caption; its hint is wide.
class TVynImage : public TImage {
    RTL_DECLARE_CLASS_INFO()
public:
    using TImage::TImage;

    WideString Hint() const { return GetWideControlHint(*this); }
    void SetHint(const WideString& hint) { SetWideControlHint(*this, hint); }

    void DefineProperties(TFiler& filer) override;
};

// Registers TVynLabel, TVynButton and TVynImage for stored form descriptions.
extern const TUnitInfo VynStdCtrlsUnit;
