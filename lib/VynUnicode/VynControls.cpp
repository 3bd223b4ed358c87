#include "VynControls.h"

#include <algorithm>
#include <vector>

#include "Assertions.h"
#include "DeviceContexts.h"
#include "Format.h"
#include "VynClasses.h"
#include "VynWindows.h"

namespace {

constexpr char UnitName[] = "lib/VynUnicode/VynControls";

// Every holder, ordered by the address of its control, so that look-ups are binary searches.
std::vector<TWideCaptionHolder*>& Holders() {
    static std::vector<TWideCaptionHolder*> holders;
    return holders;
}

std::vector<TWideCaptionHolder*>::iterator LowerBound(const TControl* control) {
    auto& holders = Holders();
    return std::lower_bound(holders.begin(), holders.end(), control, [](const TWideCaptionHolder* holder, const TControl* key) {
        return std::less<const TControl*>()(&holder->Control(), key);
    });
}

// The index of the control's holder; the holder must be listed.
size_t FindWideCaptionHolderIndex(const TControl* control) {
    const auto found = LowerBound(control);
    if (found == Holders().end() || &(*found)->Control() != control)
        RTL_ASSERTION_FAILED("VYN Internal Error: FindWideCaptionHolderIndex failed.");
    return static_cast<size_t>(found - Holders().begin());
}

HWND WindowOf(const TControl& control) {
    const auto* windowed = dynamic_cast<const TWinControl*>(&control);
    return windowed != nullptr ? windowed->HandleIfAllocated() : nullptr;
}

// Whether the control's text is the framework's ANSI text: off the NT family, and for windows
// that the system keeps ANSI text for.
bool UsesAnsiText(HWND window) {
    return !VynPlatformIsNT || (window != nullptr && !::IsWindowUnicode(window));
}

// Only reached on the NT family for Unicode windows.
WideString UnicodeWindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    WideString text(static_cast<size_t>(length) + 1, u'\0');
    const int copied = ::GetWindowTextW(window, WinBuffer(text.data()), length + 1);
    text.resize(static_cast<size_t>(std::clamp(copied, 0, length)));
    return text;
}

} // namespace

// ---- Synced wide strings

WideString GetSyncedWideString(WideString& wide, const AnsiString& ansi) {
    if (WideToAnsi(wide) != ansi)
        wide = AnsiToWide(ansi);
    return wide;
}

void SetSyncedWideString(const WideString& value, WideString& wide, const AnsiString& ansi,
                         const std::function<void(const AnsiString&)>& setAnsi) {
    // The setter may change what ansi refers to; the comparison uses the value as it was.
    const AnsiString heldAnsi = ansi;
    if (value == GetSyncedWideString(wide, heldAnsi))
        return;
    const AnsiString ansiValue = WideToAnsi(value);
    if (AnsiToWide(ansiValue) != value && heldAnsi == ansiValue)
        setAnsi(AnsiString());
    wide = value;
    setAnsi(ansiValue);
}

// ---- Holders

const TClassInfo& TWideCaptionHolder::StaticClassInfo() {
    static const TClassInfo info{"TWideCaptionHolder", &TComponent::StaticClassInfo()};
    return info;
}

TWideCaptionHolder::TWideCaptionHolder(TControl& control) : TComponent(&control), control_(control) {
    Holders().insert(LowerBound(&control), this);
}

TWideCaptionHolder::~TWideCaptionHolder() {
    auto& holders = Holders();
    holders.erase(holders.begin() + static_cast<std::ptrdiff_t>(FindWideCaptionHolderIndex(&control_)));
}

TWideCaptionHolder* TWideCaptionHolder::Find(const TControl& control) {
    const auto found = LowerBound(&control);
    return found != Holders().end() && &(*found)->Control() == &control ? *found : nullptr;
}

TWideCaptionHolder& TWideCaptionHolder::Obtain(TControl& control) {
    if (TWideCaptionHolder* holder = Find(control))
        return *holder;
    return *new TWideCaptionHolder(control);
}

size_t TWideCaptionHolder::Count() { return Holders().size(); }

// ---- Wide text of a control

WideString GetWideControlText(const TControl& control) {
    HWND window = WindowOf(control);
    if (UsesAnsiText(window))
        return AnsiToWide(control.GetText());
    if (window != nullptr)
        return UnicodeWindowText(window);
    TWideCaptionHolder* holder = TWideCaptionHolder::Find(control);
    if (holder == nullptr)
        return AnsiToWide(control.GetText());
    // Also for a windowed control whose window is still to be made: code that sets the ANSI text
    // meanwhile must not be overruled by an older wide text.
    return GetSyncedWideString(holder->WideCaption, control.GetText());
}

void SetWideControlText(TControl& control, const WideString& text) {
    HWND window = WindowOf(control);
    if (UsesAnsiText(window)) {
        control.SetText(WideToAnsi(text));
        return;
    }
    if (window != nullptr) {
        if (UnicodeWindowText(window) != text) {
            VynSetWindowTextW(window, text.c_str());
            control.Perform(CM_TEXTCHANGED);
        }
        return;
    }
    TWideCaptionHolder& holder = TWideCaptionHolder::Obtain(control);
    SetSyncedWideString(text, holder.WideCaption, control.GetText(),
                        [&control](const AnsiString& ansi) { control.SetText(ansi); });
}

WideString GetWideControlHint(const TControl& control) {
    if (!VynPlatformIsNT)
        return AnsiToWide(control.Hint());
    TWideCaptionHolder* holder = TWideCaptionHolder::Find(control);
    if (holder == nullptr)
        return AnsiToWide(control.Hint());
    return GetSyncedWideString(holder->WideHint, control.Hint());
}

void SetWideControlHint(TControl& control, const WideString& hint) {
    if (!VynPlatformIsNT) {
        control.SetHint(WideToAnsi(hint));
        return;
    }
    TWideCaptionHolder& holder = TWideCaptionHolder::Obtain(control);
    SetSyncedWideString(hint, holder.WideHint, control.Hint(),
                        [&control](const AnsiString& ansi) { control.SetHint(ansi); });
}

WideString LongHintPart(const WideString& hint) {
    const size_t bar = hint.find(u'|');
    return bar == WideString::npos ? hint : hint.substr(bar + 1);
}

WideString ShortHintPart(const WideString& hint) {
    const size_t bar = hint.find(u'|');
    return bar == WideString::npos ? hint : hint.substr(0, bar);
}

// ---- Unicode windows

WideString UnicodeClassName(const TCreateParams& params) {
    return AnsiToWide(params.WinClassName) + u".UnicodeClass";
}

WNDPROC RegisterUnicodeClass(const TCreateParams& params, WNDPROC procedure) {
    const WideString className = UnicodeClassName(params);
    WNDCLASSW windowClass{};
    WNDPROC systemProcedure = nullptr;
    if (!params.SystemClassName.empty()) {
        if (!::GetClassInfoW(nullptr, WinText(AnsiToWide(params.SystemClassName)), &windowClass)) {
            const DWORD error = ::GetLastError();
            RaiseOSError(error, "GetClassInfoW", AnsiToWide(params.SystemClassName));
        }
        systemProcedure = windowClass.lpfnWndProc;
    } else {
        windowClass.style = params.ClassStyle;
        windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = params.Background;
    }
    WNDCLASSW existing{};
    if (::GetClassInfoW(MainInstance(), WinText(className), &existing)) {
        if (existing.lpfnWndProc == procedure)
            return systemProcedure;
        // Another procedure would bypass the framework; the class is made again with ours.
        ::UnregisterClassW(WinText(className), MainInstance());
    }
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = MainInstance();
    windowClass.lpszClassName = WinText(className);
    windowClass.lpszMenuName = nullptr;
    if (::RegisterClassW(&windowClass) == 0)
        RaiseLastOSError("RegisterClassW", className);
    return systemProcedure;
}

void SubClassUnicodeControl(HWND window) {
    if (!::IsWindowUnicode(window))
        throw EVynInternalError("Internal Error: SubClassUnicodeControl.Control is not Unicode.");
}

// ---- Wide actions

const TClassInfo& TVynAction::StaticClassInfo() {
    using A = TVynAction;
    static const TClassInfo info{
        "TVynAction",
        &TAction::StaticClassInfo(),
        {
            WideStringProperty<A>("Caption", &A::Caption, &A::SetCaption),
            WideStringProperty<A>("Hint", &A::Hint, &A::SetHint),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TVynAction(owner); },
    };
    return info;
}

WideString TVynAction::Caption() const { return GetSyncedWideString(wideCaption_, TCustomAction::Caption()); }

void TVynAction::SetCaption(const WideString& caption) {
    SetSyncedWideString(caption, wideCaption_, TCustomAction::Caption(),
                        [this](const AnsiString& ansi) { TCustomAction::SetCaption(ansi); });
}

WideString TVynAction::Hint() const { return GetSyncedWideString(wideHint_, TCustomAction::Hint()); }

void TVynAction::SetHint(const WideString& hint) {
    SetSyncedWideString(hint, wideHint_, TCustomAction::Hint(),
                        [this](const AnsiString& ansi) { TCustomAction::SetHint(ansi); });
}

void TVynAction::DefineProperties(TFiler& filer) {
    TAction::DefineProperties(filer);
    DefineWideProperties(filer, *this);
}

const TClassInfo& TVynHintAction::StaticClassInfo() {
    static const TClassInfo info{"TVynHintAction", &THintAction::StaticClassInfo()};
    return info;
}

WideString TVynHintAction::Hint() const { return GetSyncedWideString(wideHint_, TCustomAction::Hint()); }

void TVynHintAction::SetHint(const WideString& hint) {
    SetSyncedWideString(hint, wideHint_, TCustomAction::Hint(),
                        [this](const AnsiString& ansi) { TCustomAction::SetHint(ansi); });
}

WideString WideActionCaption(const TCustomAction& action) {
    if (const auto* wide = dynamic_cast<const TVynAction*>(&action))
        return wide->Caption();
    return AnsiToWide(action.Caption());
}

WideString WideActionHint(const TCustomAction& action) {
    if (const auto* wide = dynamic_cast<const TVynAction*>(&action))
        return wide->Hint();
    if (const auto* wide = dynamic_cast<const TVynHintAction*>(&action))
        return wide->Hint();
    return AnsiToWide(action.Hint());
}

bool TVynControlActionLink::IsCaptionLinked() const {
    return TActionLink::IsCaptionLinked() && GetWideControlText(Client()) == WideActionCaption(*CustomAction());
}

bool TVynControlActionLink::IsHintLinked() const {
    return TActionLink::IsHintLinked() && GetWideControlHint(Client()) == WideActionHint(*CustomAction());
}

// ---- The hint window

const TClassInfo& TVynHintWindow::StaticClassInfo() {
    static const TClassInfo info{"TVynHintWindow", &THintWindow::StaticClassInfo()};
    return info;
}

TVynHintWindow::TVynHintWindow(TComponent* owner) : TVynUnicodeWinControl<THintWindow>(owner) {}

void TVynHintWindow::ActivateHint(const RECT& rect, const AnsiString& hint) {
    const WideString shown = GetWideControlText(*this);
    ActivateHintWide(rect, WideToAnsi(shown) == hint ? shown : AnsiToWide(hint));
}

void TVynHintWindow::ActivateHintWide(const RECT& rect, const WideString& hint) {
    SetWideControlText(*this, hint);
    ShowAt(rect);
}

RECT TVynHintWindow::CalcHintRectWide(int32_t maxWidth, const WideString& hint) {
    RECT rect{0, 0, std::max(maxWidth, 1), 0};
    const WindowDC screen = WindowDC::OfClient(nullptr);
    if (screen) {
        const SelectedObject font(screen.get(), Font().Handle());
        VynDrawTextW(screen.get(), hint.c_str(), -1, &rect, HintTextFormat | DT_CALCRECT);
    }
    rect.right += 2 * HintMargin + 4;
    rect.bottom += 2 * HintMargin + 2;
    return rect;
}

void TVynHintWindow::PaintHint(HDC dc, RECT& rect) {
    const WideString text = GetWideControlText(*this);
    VynDrawTextW(dc, text.c_str(), -1, &rect, DrawTextBiDiModeFlags(HintTextFormat));
}
