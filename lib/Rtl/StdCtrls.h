// Standard controls: static text painted by its parent (labels) and push buttons, which end a
// modal form with their modal result and answer Enter and Escape for the form.
#pragma once

#include <windows.h>

#include "Controls.h"
#include "Forms.h"
#include "UnitRegistry.h"

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// Text drawn with DrawText on its parent's window; no window of its own.
class TCustomLabel : public TGraphicControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TCustomLabel(TComponent* owner);

    // Breaks lines at word boundaries within the width; an auto-sized label then narrows to
    // its longest line and grows to hold every line.
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    // The bounds follow the text (and font) whenever either changes.
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment value);
    // Whether an ampersand marks the next character as the accelerator ("&&" shows one).
    bool ShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool value);
    // A transparent label leaves its background to the parent.
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);

    void Loaded() override;

protected:
    void Paint() override;
    // Draws the caption on Canvas within rect, or with DT_CALCRECT measures it into rect. The
    // flags carry layout only; accelerator and reading-order flags are added by LabelTextFlags.
    virtual void DoDrawText(RECT& rect, UINT flags);
    UINT LabelTextFlags(UINT flags) const;
    // Sets the bounds from the measured text, when auto-sized and not being read.
    void AdjustBounds();
    void TextChanged() override;
    void FontChanged() override;
    void WndProc(TMessage& message) override;

private:
    bool wordWrap_ = false;
    bool autoSize_ = true;
    TAlignment alignment_ = taLeftJustify;
    bool showAccelChar_ = true;
    bool transparent_ = false;
};

class TLabel : public TCustomLabel {
    RTL_DECLARE_CLASS_INFO()
public:
    using TCustomLabel::TCustomLabel;
};

// A push button: the system's "BUTTON" class taken over by the framework.
class TButton : public TWinControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TButton(TComponent* owner);

    // Enter presses the default button unless another button has the focus.
    bool Default() const { return default_; }
    void SetDefault(bool value);
    // Escape presses the cancel button.
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value) { cancel_ = value; }
    // Given to the parent form on every click; a non-zero result ends a modal form.
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult value) { modalResult_ = value; }

    void Click() override;

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;

private:
    // The thick border belongs to the focused button, or to the default one while no button
    // has the focus; focus is the window that has or is about to get the keyboard focus.
    static void UpdateDefaultLooks(TCustomForm* form, HWND focus);
    void ShowAsDefault(bool value);

    bool default_ = false;
    bool cancel_ = false;
    TModalResult modalResult_ = mrNone;
    bool shownAsDefault_ = false;
};

// Registers TLabel, TButton and TMemo (Memo.h) for stored form descriptions.
extern const TUnitInfo RtlStdCtrlsUnit;
