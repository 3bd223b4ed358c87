#include "WindowClasses.h"

#include "OSError.h"
#include "ResourceModule.h"

void EnsureWindowClass(const WCHAR* className, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(MainInstance(), className, &existing))
        return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = MainInstance();
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = className;
    if (::RegisterClassExW(&windowClass) == 0) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_CLASS_ALREADY_EXISTS)
            RaiseOSError(error, "RegisterClassExW", reinterpret_cast<const char16_t*>(className));
    }
}
