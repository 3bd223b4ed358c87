// The window that shows a control's hint: a borderless, topmost popup that never takes the
// focus. Which class is used is a setting (HintWindowClass), so that another layer can put its
// own hint window in place.
#pragma once

#include <windows.h>

#include "Controls.h"

class THintWindow : public TWinControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit THintWindow(TComponent* owner);

    // Shows the hint text at rect (screen coordinates) without activating the window.
    virtual void ActivateHint(const RECT& rect, const AnsiString& hint);
    // The size the hint needs at most maxWidth pixels wide, as a rectangle at (0, 0).
    virtual RECT CalcHintRect(int32_t maxWidth, const AnsiString& hint);
    // Hides the hint.
    void ReleaseHint();

protected:
    void CreateParams(TCreateParams& params) override;
    void WndProc(TMessage& message) override;
    // Draws the text into the client rectangle; the background is painted already.
    virtual void PaintHint(HDC dc, RECT& rect);
    // Moves the window to rect and shows it.
    void ShowAt(const RECT& rect);

    // The text format of hints: word-wrapped, without mnemonic prefixes.
    static constexpr UINT HintTextFormat = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;
    static constexpr int32_t HintMargin = 2;
};

using THintWindowClass = THintWindow* (*)(TComponent* owner);
// The hint window class the framework uses: makes a THintWindow unless replaced.
extern THintWindowClass HintWindowClass;
// A hint window of the class set in HintWindowClass.
THintWindow* CreateHintWindow(TComponent* owner);
