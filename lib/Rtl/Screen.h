// The screen object: the program-wide mouse cursor, which overrides every form's own while it is
// not crDefault (an hourglass over the whole program during a busy phase).
#pragma once

#include <windows.h>

#include <cstdint>

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

private:
    TCursor cursor_ = crDefault;
};

// Created by the forms unit's start-up, destroyed by its end.
extern TScreen* Screen;
