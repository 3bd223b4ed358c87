#include "Screen.h"

TScreen* Screen = nullptr;

const TClassInfo& TScreen::StaticClassInfo() {
    static const TClassInfo info{"TScreen", &TComponent::StaticClassInfo()};
    return info;
}

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}

void TScreen::SetCursor(TCursor cursor) {
    cursor_ = cursor;
    // Forms pick the screen cursor up on WM_SETCURSOR, which only comes with the next mouse move.
    ::SetCursor(Cursors(cursor));
}

HCURSOR TScreen::Cursors(TCursor cursor) {
    // The identifiers are resource ordinals, the same for either character width.
    auto name = IDC_ARROW;
    switch (cursor) {
    case crCross: name = IDC_CROSS; break;
    case crIBeam: name = IDC_IBEAM; break;
    case crSizeNESW: name = IDC_SIZENESW; break;
    case crSizeNS: name = IDC_SIZENS; break;
    case crSizeNWSE: name = IDC_SIZENWSE; break;
    case crSizeWE: name = IDC_SIZEWE; break;
    case crUpArrow: name = IDC_UPARROW; break;
    case crHourGlass: name = IDC_WAIT; break;
    case crNo: name = IDC_NO; break;
    case crAppStart: name = IDC_APPSTARTING; break;
    case crHelp: name = IDC_HELP; break;
    case crHandPoint: name = IDC_HAND; break;
    case crSizeAll: name = IDC_SIZEALL; break;
    default: break;
    }
    return ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(name));
}
