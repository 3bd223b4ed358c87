#include "Screen.h"

#include <algorithm>
#include <cstring>

#include "DeviceContexts.h"
#include "Forms.h"

namespace {

bool LessIgnoringAsciiCase(const AnsiString& a, const AnsiString& b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const bool less = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                   [&](char x, char y) { return lower(x) < lower(y); });
    const bool greater = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                                      [&](char x, char y) { return lower(x) < lower(y); });
    // Names that differ in case only keep a fixed order between them.
    return less || (!greater && a < b);
}

int CALLBACK CollectFontFace(const LOGFONTA* font, const TEXTMETRICA*, DWORD, LPARAM faces) {
    const size_t length = strnlen(font->lfFaceName, LF_FACESIZE);
    if (length > 0 && font->lfFaceName[0] != '@')
        reinterpret_cast<std::vector<AnsiString>*>(faces)->emplace_back(font->lfFaceName, length);
    return 1;
}

} // namespace

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
    case crCross:
        name = IDC_CROSS;
        break;
    case crIBeam:
        name = IDC_IBEAM;
        break;
    case crSizeNESW:
        name = IDC_SIZENESW;
        break;
    case crSizeNS:
        name = IDC_SIZENS;
        break;
    case crSizeNWSE:
        name = IDC_SIZENWSE;
        break;
    case crSizeWE:
        name = IDC_SIZEWE;
        break;
    case crUpArrow:
        name = IDC_UPARROW;
        break;
    case crHourGlass:
        name = IDC_WAIT;
        break;
    case crNo:
        name = IDC_NO;
        break;
    case crAppStart:
        name = IDC_APPSTARTING;
        break;
    case crHelp:
        name = IDC_HELP;
        break;
    case crHandPoint:
        name = IDC_HAND;
        break;
    case crSizeAll:
        name = IDC_SIZEALL;
        break;
    default:
        break;
    }
    return ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(name));
}

const std::vector<AnsiString>& TScreen::Fonts() {
    if (fontsRead_)
        return fonts_;
    std::vector<AnsiString> faces;
    {
        const WindowDC screen = WindowDC::OfClient(nullptr);
        LOGFONTA pattern{};
        // Every face in every character set: a face comes once per set it supports.
        pattern.lfCharSet = DEFAULT_CHARSET;
        ::EnumFontFamiliesExA(screen.get(), &pattern, &CollectFontFace, reinterpret_cast<LPARAM>(&faces), 0);
    }
    std::sort(faces.begin(), faces.end());
    faces.erase(std::unique(faces.begin(), faces.end()), faces.end());
    std::sort(faces.begin(), faces.end(), LessIgnoringAsciiCase);
    fonts_ = std::move(faces);
    fontsRead_ = true;
    return fonts_;
}

int32_t TScreen::Width() const {
    return ::GetSystemMetrics(SM_CXSCREEN);
}

int32_t TScreen::Height() const {
    return ::GetSystemMetrics(SM_CYSCREEN);
}

TWinControl* TScreen::ActiveControl() const {
    for (HWND window = ::GetFocus(); window != nullptr;) {
        if (TWinControl* control = TWinControl::FromHandle(window))
            return control;
        // Up through child windows only: a top-level window's parent is its owner, another window.
        if ((::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0)
            break;
        window = ::GetParent(window);
    }
    return nullptr;
}

TCustomForm* TScreen::ActiveForm() const {
    if (TWinControl* control = ActiveControl())
        return GetParentForm(control);
    return dynamic_cast<TCustomForm*>(TWinControl::FromHandle(::GetActiveWindow()));
}
