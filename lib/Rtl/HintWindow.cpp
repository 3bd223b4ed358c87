#include "HintWindow.h"

#include <algorithm>

#include "DeviceContexts.h"

namespace {

THintWindow* CreateFrameworkHintWindow(TComponent* owner) { return new THintWindow(owner); }

constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;
constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;

} // namespace

THintWindowClass HintWindowClass = &CreateFrameworkHintWindow;

THintWindow* CreateHintWindow(TComponent* owner) {
    return (HintWindowClass != nullptr ? HintWindowClass : &CreateFrameworkHintWindow)(owner);
}

const TClassInfo& THintWindow::StaticClassInfo() {
    static const TClassInfo info{"THintWindow", &TWinControl::StaticClassInfo()};
    return info;
}

THintWindow::THintWindow(TComponent* owner) : TWinControl(owner) {
    SetVisibleQuietly(false);
    SetColor(clInfoBk);
    Font().SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    params.Style = WS_POPUP | WS_BORDER;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
    params.WndParent = nullptr;
    params.ClassStyle |= CS_SAVEBITS;
}

void THintWindow::ActivateHint(const RECT& rect, const AnsiString& hint) {
    SetCaption(hint);
    ShowAt(rect);
}

void THintWindow::ShowAt(const RECT& rect) {
    HWND window = Handle();
    SetBounds(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    ::SetWindowPos(window, HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_SHOWWINDOW | SWP_NOACTIVATE);
    SetVisible(true);
    ::InvalidateRect(window, nullptr, TRUE);
    ::UpdateWindow(window);
}

void THintWindow::ReleaseHint() {
    SetVisible(false);
    if (HandleAllocated())
        ::ShowWindow(HandleIfAllocated(), SW_HIDE);
}

RECT THintWindow::CalcHintRect(int32_t maxWidth, const AnsiString& hint) {
    RECT rect{0, 0, std::max(maxWidth, 1), 0};
    const WindowDC screen = WindowDC::OfClient(nullptr);
    if (screen) {
        const SelectedObject font(screen.get(), Font().Handle());
        ::DrawTextA(screen.get(), hint.c_str(), -1, &rect, HintTextFormat | DT_CALCRECT);
    }
    rect.right += 2 * HintMargin + 4;
    rect.bottom += 2 * HintMargin + 2;
    return rect;
}

void THintWindow::PaintHint(HDC dc, RECT& rect) {
    const AnsiString text = GetText();
    ::DrawTextA(dc, text.c_str(), -1, &rect, DrawTextBiDiModeFlags(HintTextFormat));
}

void THintWindow::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_NCHITTEST:
        // The mouse passes through to what lies below.
        message.Result = HTTRANSPARENT;
        return;
    case WM_PAINT: {
        const PaintScope paint(HandleIfAllocated());
        const HDC dc = paint.dc();
        RECT rect;
        ::GetClientRect(HandleIfAllocated(), &rect);
        {
            const UniqueBrush brush(::CreateSolidBrush(ColorToRGB(Color())));
            ::FillRect(dc, &rect, brush.get());
        }
        const SelectedObject font(dc, Font().Handle());
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ColorToRGB(Font().Color()));
        ::InflateRect(&rect, -HintMargin, -HintMargin);
        PaintHint(dc, rect);
        message.Result = 0;
        return;
    }
    default: break;
    }
    TWinControl::WndProc(message);
}
