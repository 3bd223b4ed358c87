#include "Forms.h"

#include "Application.h"
#include "FormData.h"
#include "FormLoader.h"
#include "Format.h"
#include "OSError.h"
#include "ResourceModule.h"
#include "Screen.h"
#include "TextConversion.h"
#include "WinText.h"
#include "WindowClasses.h"

namespace {

// The form whose window is being created: the system sends messages (WM_GETMINMAXINFO first)
// before CreateWindowEx returns and even before WM_NCCREATE carries the creation parameter.
thread_local TCustomForm* formBeingCreated = nullptr;

AnsiString UpperCase(AnsiString text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

const TClassInfo& TCustomForm::StaticClassInfo() {
    using F = TCustomForm;
    static const TClassInfo info{
        "TCustomForm",
        &TComponent::StaticClassInfo(),
        {
            IntegerProperty<F>("Left", &F::Left, &F::SetLeft),
            IntegerProperty<F>("Top", &F::Top, &F::SetTop),
            IntegerProperty<F>("Width", &F::Width, &F::SetWidth),
            IntegerProperty<F>("Height", &F::Height, &F::SetHeight),
            IntegerProperty<F>("ClientWidth", &F::ClientWidth, &F::SetClientWidth),
            IntegerProperty<F>("ClientHeight", &F::ClientHeight, &F::SetClientHeight),
            AnsiStringProperty<F>("Caption", &F::Caption, &F::SetCaption),
            SetProperty<F>("BorderIcons", &F::BorderIcons, &F::SetBorderIcons,
                           {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}),
            EnumProperty<F, TFormBorderStyle>(
                "BorderStyle", &F::BorderStyle, &F::SetBorderStyle,
                {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}),
            IntegerProperty<F>("Color", &F::Color, &F::SetColor, &ColorIdents()),
            ObjectProperty<F>("Font", &F::FontObject),
            BooleanProperty<F>("OldCreateOrder", &F::OldCreateOrder, &F::SetOldCreateOrder),
            EnumProperty<F, TPosition>("Position", &F::Position, &F::SetPosition,
                                       {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                                        "poScreenCenter", "poDesktopCenter", "poMainFormCenter",
                                        "poOwnerFormCenter"}),
            IntegerProperty<F>("PixelsPerInch", &F::PixelsPerInch, &F::SetPixelsPerInch),
            IntegerProperty<F>("TextHeight", &F::TextHeight, &F::SetTextHeight),
            BooleanProperty<F>("Visible", &F::Visible, &F::SetVisible),
        },
    };
    return info;
}

const TClassInfo& TForm::StaticClassInfo() {
    static const TClassInfo info{"TForm", &TCustomForm::StaticClassInfo()};
    return info;
}

TCustomForm::TCustomForm(TComponent* owner) : TComponent(owner) {}

TCustomForm::~TCustomForm() {
    if (window_)
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

void TCustomForm::ReadFormResource() {
    const AnsiString resourceName = UpperCase(ClassName());
    const WideString wideName = AnsiToWide(resourceName);
    const HINSTANCE module = ResourceInstance();
    HRSRC info = ::FindResourceW(module, WinText(wideName), reinterpret_cast<LPCWSTR>(RT_RCDATA));
    HGLOBAL data = info ? ::LoadResource(module, info) : nullptr;
    if (data == nullptr)
        throw EResNotFound(Format("Resource %s not found", {resourceName}));
    const auto* bytes = static_cast<const uint8_t*>(::LockResource(data));
    const DWORD size = ::SizeofResource(module, info);
    ReadComponentFromForm(*this, ReadFormBinary(bytes, size));
}

int32_t TCustomForm::Width() const {
    if (clientWidth_ >= 0) {
        const RECT r = OuterRectForClient(clientWidth_, 0);
        return r.right - r.left;
    }
    return width_;
}

int32_t TCustomForm::Height() const {
    if (clientHeight_ >= 0) {
        const RECT r = OuterRectForClient(0, clientHeight_);
        return r.bottom - r.top;
    }
    return height_;
}

int32_t TCustomForm::ClientWidth() const {
    if (clientWidth_ >= 0)
        return clientWidth_;
    const RECT r = OuterRectForClient(0, 0);
    return width_ - (r.right - r.left);
}

int32_t TCustomForm::ClientHeight() const {
    if (clientHeight_ >= 0)
        return clientHeight_;
    const RECT r = OuterRectForClient(0, 0);
    return height_ - (r.bottom - r.top);
}

RECT TCustomForm::OuterRectForClient(int32_t clientWidth, int32_t clientHeight) const {
    RECT rect{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectEx(&rect, WindowStyle(), FALSE, WindowExStyle());
    return rect;
}

void TCustomForm::SetCaption(const AnsiString& caption) {
    caption_ = caption;
    if (window_)
        ::SetWindowTextW(window_.get(), WinText(AnsiToWide(caption_)));
}

void TCustomForm::SetColor(int32_t color) {
    color_ = color;
    brush_.reset();
    if (window_)
        ::InvalidateRect(window_.get(), nullptr, TRUE);
}

DWORD TCustomForm::WindowStyle() const {
    DWORD style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    switch (borderStyle_) {
    case bsNone: style |= WS_POPUP; break;
    case bsSingle:
    case bsToolWindow: style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable:
    case bsSizeToolWin: style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog: style |= WS_POPUP | WS_CAPTION | WS_DLGFRAME; break;
    }
    if (borderStyle_ != bsNone && (borderIcons_ & biSystemMenu)) {
        style |= WS_SYSMENU;
        // Tool windows and dialogs have no minimise or maximise box.
        if (borderStyle_ == bsSingle || borderStyle_ == bsSizeable) {
            if (borderIcons_ & biMinimize)
                style |= WS_MINIMIZEBOX;
            if (borderIcons_ & biMaximize)
                style |= WS_MAXIMIZEBOX;
        }
    }
    return style;
}

DWORD TCustomForm::WindowExStyle() const {
    DWORD exStyle = 0;
    if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin)
        exStyle |= WS_EX_TOOLWINDOW;
    if (borderStyle_ == bsDialog)
        exStyle |= WS_EX_DLGMODALFRAME;
    if (borderStyle_ == bsDialog && (borderIcons_ & biHelp))
        exStyle |= WS_EX_CONTEXTHELP;
    return exStyle;
}

void TCustomForm::PlaceByPosition() {
    const int32_t width = Width();
    const int32_t height = Height();
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    switch (position_) {
    case poScreenCenter:
    case poDesktopCenter: break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
        TCustomForm* main = Application ? Application->MainForm() : nullptr;
        if (main != nullptr && main != this && main->HandleAllocated())
            ::GetWindowRect(main->Handle(), &area);
        break;
    }
    default: return;
    }
    left_ = area.left + (area.right - area.left - width) / 2;
    top_ = area.top + (area.bottom - area.top - height) / 2;
}

void TCustomForm::CreateHandle() {
    const WideString className = AnsiToWide(ClassName());
    EnsureWindowClass(WinText(className), &TCustomForm::WindowProcedure);
    PlaceByPosition();
    const bool defaultPosition = position_ == poDefault || position_ == poDefaultPosOnly;
    const bool defaultSize = position_ == poDefault || position_ == poDefaultSizeOnly;
    HWND owner = Application ? Application->Handle() : nullptr;
    formBeingCreated = this;
    HWND window = ::CreateWindowExW(WindowExStyle(), WinText(className), WinText(AnsiToWide(caption_)), WindowStyle(),
                                    defaultPosition ? CW_USEDEFAULT : left_, defaultPosition ? CW_USEDEFAULT : top_,
                                    defaultSize ? CW_USEDEFAULT : Width(), defaultSize ? CW_USEDEFAULT : Height(),
                                    owner, nullptr, MainInstance(), this);
    formBeingCreated = nullptr;
    if (window == nullptr)
        RaiseLastOSError();
    if (window_.get() != window)
        window_.reset(window);
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), FALSE);
}

HWND TCustomForm::Handle() {
    if (!window_)
        CreateHandle();
    return window_.get();
}

void TCustomForm::UpdateBounds() {
    if (window_)
        ::SetWindowPos(window_.get(), nullptr, left_, top_, Width(), Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomForm::SetVisible(bool visible) {
    visible_ = visible;
    if (ComponentState() & csLoading)
        return;
    if (visible) {
        ::ShowWindow(Handle(), SW_SHOWNORMAL);
        ::UpdateWindow(Handle());
    } else if (window_) {
        ::ShowWindow(window_.get(), SW_HIDE);
    }
}

void TCustomForm::Close() {
    if (Application && Application->MainForm() == this)
        Application->Terminate();
    else
        Hide();
}

LRESULT TCustomForm::DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window_.get(), message, wParam, lParam);
}

LRESULT TCustomForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE: Close(); return 0;
    case WM_SYSKEYDOWN:
        // Without a system menu the system ignores Alt+F4; it is still how a user closes a form.
        if (wParam == VK_F4) {
            Close();
            return 0;
        }
        break;
    case WM_GETMINMAXINFO: {
        // The system's minimum tracking size would make a caption-only form taller than designed.
        const LRESULT result = DefaultHandler(message, wParam, lParam);
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = POINT{0, 0};
        return result;
    }
    case WM_SETCURSOR:
        // A busy cursor holds over the whole form, its frame and its children included: children
        // pass the message up to their parent before they set a cursor of their own.
        if (Screen != nullptr && Screen->Cursor() != crDefault) {
            ::SetCursor(TScreen::Cursors(Screen->Cursor()));
            return TRUE;
        }
        break;
    case WM_ERASEBKGND: {
        if (!brush_)
            brush_.reset(::CreateSolidBrush(ColorToRGB(color_)));
        RECT client;
        ::GetClientRect(window_.get(), &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(brush_.get()));
        return 1;
    }
    case WM_NCDESTROY: {
        const LRESULT result = DefaultHandler(message, wParam, lParam);
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
        window_.release();
        return result;
    }
    default: break;
    }
    return DefaultHandler(message, wParam, lParam);
}

LRESULT CALLBACK TCustomForm::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (formBeingCreated != nullptr && ::GetWindowLongPtrW(window, GWLP_USERDATA) == 0) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(formBeingCreated));
        formBeingCreated->window_.reset(window);
        formBeingCreated = nullptr;
    }
    auto* form = reinterpret_cast<TCustomForm*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr)
        return ::DefWindowProcW(window, message, wParam, lParam);
    // No exception may cross the system's frames: it is handed to the application instead.
    try {
        return form->WndProc(message, wParam, lParam);
    } catch (...) {
        HandleExceptionInCallback(form);
        return 0;
    }
}
