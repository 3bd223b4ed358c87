// The program's exception dialog seen from outside: its parts found by class and caption, the
// texts of its two memos, its buttons pressed as a user presses them.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "WineTestSupport.h"

inline constexpr wchar_t ExceptionDialogClass[] = L"TVynTraceExceptionDialog";

struct ExceptionDialogView {
    HWND Dialog = nullptr;
    HWND Message = nullptr; // the upper memo
    HWND Details = nullptr; // the lower memo
    HWND OkButton = nullptr;
    HWND DetailsButton = nullptr;
    HWND ClipboardButton = nullptr;
    HWND EmailButton = nullptr;

    // The parts of the dialog window; any missing part stays null.
    static ExceptionDialogView Of(HWND dialog);

    std::wstring MessageText() const;
    std::wstring DetailsText() const;
    // The details' lines (CR LF between them).
    std::vector<std::wstring> DetailLines() const;
    // Waits until the report below the header has been built (its system section is there).
    bool WaitForDetails(std::chrono::milliseconds timeout) const;
    // Clicks a button the way the mouse does (through the button's own window).
    static void Click(HWND button);
    // Presses OK and waits until the dialog has gone.
    bool Close(std::chrono::milliseconds timeout) const;
    // The window's outer height.
    int Height() const;
};

// The first visible exception dialog of the program, or null.
HWND WaitForExceptionDialog(const RunningProgram& program, std::chrono::milliseconds timeout);
// The text of any window of another process, through WM_GETTEXT (GetWindowText reads only the
// caption a window was created with).
std::wstring ControlText(HWND window);
