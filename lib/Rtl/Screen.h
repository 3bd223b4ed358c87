// The screen object: the program-wide mouse cursor, which overrides every form's own while it is
// not crDefault (an hourglass over the whole program during a busy phase); the screen's size and
// fonts, and the control and form that have the keyboard focus.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "Classes.h"

using TCursor = int16_t;

inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crSizeNESW = -6;
inline constexpr TCursor crSizeNS = -7;
inline constexpr TCursor crSizeNWSE = -8;
inline constexpr TCursor crSizeWE = -9;
inline constexpr TCursor crUpArrow = -10;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crNo = -18;
inline constexpr TCursor crAppStart = -19;
inline constexpr TCursor crHelp = -20;
inline constexpr TCursor crHandPoint = -21;
inline constexpr TCursor crSizeAll = -22;

class TWinControl;
class TCustomForm;

class TScreen : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TScreen(TComponent* owner);

    TCursor Cursor() const { return cursor_; }
    // Shows the new cursor at once, without waiting for the mouse to move.
    void SetCursor(TCursor cursor);

    // The system cursor for an identifier: the arrow for crDefault and for identifiers the
    // system has no cursor for. System cursors are shared and never destroyed.
    static HCURSOR Cursors(TCursor cursor);

    // The face names of the installed screen fonts, read once on first use: sorted ignoring
    // ASCII case, each once, without the vertical "@" faces.
    const std::vector<AnsiString>& Fonts();
    // The primary screen's size in pixels.
    int32_t Width() const;
    int32_t Height() const;
    // The framework control that has this thread's keyboard focus (the first control up from the
    // focused window), and its form; null when the focus is on no framework control.
    TWinControl* ActiveControl() const;
    TCustomForm* ActiveForm() const;

private:
    TCursor cursor_ = crDefault;
    std::vector<AnsiString> fonts_;
    bool fontsRead_ = false;
};

// Created by the forms unit's start-up, destroyed by its end.
extern TScreen* Screen;
