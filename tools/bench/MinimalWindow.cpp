// The baseline of the start-up figure: a program that shows one window and closes it after a
// 250 ms timer, as the installer does when there is nothing to install. Under a display without
// a window manager Wine spends most of such a run on showing and closing the window, so the
// difference between the two runs is the installer's own work.
#include <windows.h>

#include "Handles.h"

namespace {

constexpr UINT_PTR CloseTimer = 1;

LRESULT CALLBACK MinimalWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == CloseTimer) {
            ::KillTimer(window, CloseTimer);
            ::DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MinimalWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"MinimalWindow";
    if (::RegisterClassW(&windowClass) == 0)
        return 1;
    // Owned until it closes itself; the owner only matters when the loop ends some other way.
    UniqueWindow window(::CreateWindowExW(0, L"MinimalWindow", L"Minimal window", WS_OVERLAPPEDWINDOW,
                                          CW_USEDEFAULT, CW_USEDEFAULT, 420, 180, nullptr, nullptr, instance,
                                          nullptr));
    if (!window)
        return 1;
    ::ShowWindow(window.get(), showCommand);
    ::UpdateWindow(window.get());
    if (::SetTimer(window.get(), CloseTimer, 250, nullptr) == 0)
        return 1;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    // Destroyed by its own timer; nothing is left to close.
    static_cast<void>(window.release());
    return static_cast<int>(message.wParam);
}
