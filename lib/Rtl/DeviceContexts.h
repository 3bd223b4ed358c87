// Guards for the paired calls of painting: each second call (EndPaint, ReleaseDC, the restoring
// SelectObject, RestoreDC) runs on every exit, also when the painting code between throws, and
// keeps the thread's last error.
#pragma once

#include <windows.h>

#include <utility>

#include "Handles.h"

// BeginPaint ... EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    ~PaintScope() {
        if (dc_ != nullptr) {
            const LastErrorKeeper keeper;
            ::EndPaint(window_, &paint_);
        }
    }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC dc() const noexcept { return dc_; }
    const PAINTSTRUCT& info() const noexcept { return paint_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// A device context lent by GetDC or GetWindowDC, given back by ReleaseDC. Movable, so that an
// object can keep one between calls.
class WindowDC {
public:
    WindowDC() noexcept = default;
    // The client area of `window`; the whole screen for a null window.
    static WindowDC OfClient(HWND window) noexcept { return WindowDC(window, ::GetDC(window)); }
    // The whole window, frame and caption included.
    static WindowDC OfWindow(HWND window) noexcept { return WindowDC(window, ::GetWindowDC(window)); }
    WindowDC(WindowDC&& other) noexcept
        : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}
    WindowDC& operator=(WindowDC&& other) noexcept {
        if (this != &other) {
            reset();
            window_ = std::exchange(other.window_, nullptr);
            dc_ = std::exchange(other.dc_, nullptr);
        }
        return *this;
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() { reset(); }

    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }
    void reset() noexcept {
        if (dc_ != nullptr) {
            const LastErrorKeeper keeper;
            ::ReleaseDC(window_, dc_);
        }
        window_ = nullptr;
        dc_ = nullptr;
    }

private:
    WindowDC(HWND window, HDC dc) noexcept : window_(window), dc_(dc) {}
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// SelectObject of a pen, brush, font or bitmap, and the selection of the previous one on exit (a
// selected object cannot be deleted, and a lent DC must go back as it came). Not for regions:
// selecting one returns no previous object.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) {
            const LastErrorKeeper keeper;
            ::SelectObject(dc_, previous_);
        }
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// SaveDC ... RestoreDC: origin, clipping and selections come back as they were.
class SavedDCState {
public:
    explicit SavedDCState(HDC dc) noexcept : dc_(dc), saved_(::SaveDC(dc)) {}
    ~SavedDCState() {
        if (saved_ != 0) {
            const LastErrorKeeper keeper;
            ::RestoreDC(dc_, saved_);
        }
    }
    SavedDCState(const SavedDCState&) = delete;
    SavedDCState& operator=(const SavedDCState&) = delete;

private:
    HDC dc_;
    int saved_;
};
