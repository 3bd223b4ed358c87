// Wide captions and hints of the framework's controls. The framework keeps ANSI text; a wide
// value is kept beside it (in the control's Unicode window, or in a holder component) and stays
// paired with the ANSI value so that code changing the ANSI value directly is still seen.
// Controls that want Unicode windows on the NT family derive through TVynUnicodeWinControl.
#pragma once

#include <windows.h>

#include <functional>

#include "ActnList.h"
#include "Controls.h"
#include "HintWindow.h"
#include "OSError.h"
#include "ResourceModule.h"
#include "SysTypes.h"
#include "TextConversion.h"
#include "VynSysUtils.h"
#include "WinText.h"

// ---- Synced wide strings

// The wide value kept beside an ANSI value that other code may change directly: when the wide
// value's ANSI form no longer equals the ANSI value, the wide value is replaced by the ANSI value
// converted. Returns the (updated) wide value. Conversions use DefaultCodePage.
WideString GetSyncedWideString(WideString& wide, const AnsiString& ansi);
// Sets both: nothing happens when value equals the current wide value. A value whose ANSI form
// loses characters but equals the ANSI value already held is preceded by an empty ANSI value, so
// that whoever watches the ANSI value sees a change.
void SetSyncedWideString(const WideString& value, WideString& wide, const AnsiString& ansi,
                         const std::function<void(const AnsiString&)>& setAnsi);

// ---- Where wide captions and hints of controls live outside their windows

// One per control whose wide caption or hint cannot live in its window. The control owns it, so
// it goes when the control goes; all holders are also listed by control for look-up.
class TWideCaptionHolder : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    ~TWideCaptionHolder() override;

    // The control's holder, or null.
    static TWideCaptionHolder* Find(const TControl& control);
    // The control's holder, made when it has none.
    static TWideCaptionHolder& Obtain(TControl& control);
    // How many holders exist (for tests of the holders' life).
    static size_t Count();

    TControl& Control() const { return control_; }
    WideString WideCaption;
    WideString WideHint;

private:
    explicit TWideCaptionHolder(TControl& control);
    TControl& control_;
};

// ---- Wide text of a control

// The control's caption (its text) as wide text. Off the NT family, or for a window that is not
// a Unicode window, the framework's ANSI text converted.
WideString GetWideControlText(const TControl& control);
// Sets the control's caption; windows get the text through the wide system call and the control
// a text-changed notification.
void SetWideControlText(TControl& control, const WideString& text);
WideString GetWideControlHint(const TControl& control);
void SetWideControlHint(TControl& control, const WideString& hint);

// The part of a hint after its first '|', or the whole hint when it has none.
WideString LongHintPart(const WideString& hint);
// The part of a hint before its first '|'.
WideString ShortHintPart(const WideString& hint);

// ---- Unicode windows

// The window class name of a Unicode window: the framework's class name and ".UnicodeClass".
WideString UnicodeClassName(const TCreateParams& params);
// Registers the Unicode window class of params with procedure (a registration of the same name
// with another procedure is removed first). For a system class taken over by the control
// (params.SystemClassName) returns the system's wide procedure, otherwise null. Raises EOSError.
WNDPROC RegisterUnicodeClass(const TCreateParams& params, WNDPROC procedure);
// Checks that the control's window is a Unicode window, as the controls' wide handling assumes;
// raises EVynInternalError otherwise.
void SubClassUnicodeControl(HWND window);

// A windowed control whose window is a Unicode window on the NT family, made with its wide
// caption, and whose wide caption survives the window being made again.
template <class Base>
class TVynUnicodeWinControl : public Base {
public:
    using Base::Base;

protected:
    void CreateParams(TCreateParams& params) override {
        Base::CreateParams(params);
        params.Caption = GetWideControlText(*this);
    }

    void CreateWindowHandle(const TCreateParams& params) override {
        if (!VynPlatformIsNT) {
            Base::CreateWindowHandle(params);
            return;
        }
        CreateUnicodeWindowHandle(params);
    }

    // Registers the class "<class>.UnicodeClass" and makes the window with CreateWindowExW.
    void CreateUnicodeWindowHandle(const TCreateParams& params) {
        const WNDPROC systemProcedure = RegisterUnicodeClass(params, &Base::StandardWindowProcedure);
        if (systemProcedure != nullptr)
            this->SetDefaultProcedure(systemProcedure);
        const WideString className = UnicodeClassName(params);
        Base::SetCreatingControl(this);
        HWND window = ::CreateWindowExW(params.ExStyle, WinText(className), WinText(params.Caption), params.Style,
                                        params.X, params.Y, params.Width, params.Height, params.WndParent,
                                        nullptr, MainInstance(), params.Param);
        const DWORD error = ::GetLastError();
        Base::SetCreatingControl(nullptr);
        if (window == nullptr)
            RaiseOSError(error, "CreateWindowExW", className);
        if (this->HandleIfAllocated() != window)
            this->AttachWindow(window);
        SubClassUnicodeControl(window);
    }

    // The window's wide text is kept in the holder before the window goes, so that a window made
    // again shows it; the ANSI text kept by the framework is its ANSI form.
    void DestroyWnd() override {
        HWND window = this->HandleIfAllocated();
        if (window == nullptr || !VynPlatformIsNT || !::IsWindowUnicode(window)) {
            Base::DestroyWnd();
            return;
        }
        const WideString text = GetWideControlText(*this);
        Base::DestroyWnd();
        TWideCaptionHolder::Obtain(*this).WideCaption = text;
        this->text_ = WideToAnsi(text);
    }
};

// ---- Wide actions

// An action with a wide caption and hint, each kept beside the framework's ANSI value.
class TVynAction : public TAction {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynAction(TComponent* owner) : TAction(owner) {}

    // Wide: these hide the framework's ANSI Caption and Hint (still reachable through
    // TCustomAction).
    WideString Caption() const;
    void SetCaption(const WideString& caption);
    WideString Hint() const;
    void SetHint(const WideString& hint);

    void DefineProperties(TFiler& filer) override;

private:
    mutable WideString wideCaption_;
    mutable WideString wideHint_;
};

// The hint action with the wide application hint: controls that show hints show the wide text.
class TVynHintAction : public THintAction {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynHintAction(TComponent* owner) : THintAction(owner) {}
    WideString Hint() const;
    void SetHint(const WideString& hint);

private:
    mutable WideString wideHint_;
};

// The wide caption and hint of any action (the ANSI text converted for framework actions).
WideString WideActionCaption(const TCustomAction& action);
WideString WideActionHint(const TCustomAction& action);

// The link of a control with a wide caption and hint: linked while the control shows the
// action's wide text.
class TVynControlActionLink : public TControlActionLink {
public:
    using TControlActionLink::TControlActionLink;
    bool IsCaptionLinked() const override;
    bool IsHintLinked() const override;
};

// ---- The hint window

// Shows wide hints: a Unicode window on the NT family, painted with the wide text.
class TVynHintWindow : public TVynUnicodeWinControl<THintWindow> {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynHintWindow(TComponent* owner);

    // The wide hint shown last is kept when the ANSI text given is its ANSI form.
    void ActivateHint(const RECT& rect, const AnsiString& hint) override;
    void ActivateHintWide(const RECT& rect, const WideString& hint);
    RECT CalcHintRectWide(int32_t maxWidth, const WideString& hint);

protected:
    void PaintHint(HDC dc, RECT& rect) override;
};
