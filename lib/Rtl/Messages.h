// Messages as controls see them, and the framework's own notifications between controls.
#pragma once

#include <windows.h>

struct TMessage {
    UINT Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// Notifications among the framework's controls, above the range of the system's messages.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 3;
constexpr UINT CM_COLORCHANGED = CM_BASE + 4;
constexpr UINT CM_FONTCHANGED = CM_BASE + 5;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 6;
constexpr UINT CM_DIALOGKEY = CM_BASE + 14;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 15;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 22;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 23;
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
constexpr UINT CM_BIDIMODECHANGED = CM_BASE + 60;
constexpr UINT CM_ACTIONUPDATE = CM_BASE + 62;
constexpr UINT CM_ACTIONEXECUTE = CM_BASE + 63;
constexpr UINT CM_MENUCHANGED = CM_BASE + 64;
constexpr UINT CM_HINTSHOW = CM_BASE + 48;
// A windowed control got the keyboard focus; sent to its top-level parent, LParam = the control.
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;

// A control's own window messages reflected back to it by its parent (WM_COMMAND of a button).
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
// The colours of an edit's or a static's window, asked of the control itself (WParam = its DC);
// a control that answers 0 leaves them to the system.
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
