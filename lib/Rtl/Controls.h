// Controls: components with a place on a parent, text, font, colour and visibility. Windowed
// controls own a system window, made on demand from their creation parameters; graphic controls
// are painted by their parent. Every message a control's window receives passes its WindowProc.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Classes.h"
#include "DeviceContexts.h"
#include "Graphics.h"
#include "Handles.h"
#include "Messages.h"

class TWinControl;

// The text of a window as the ANSI calls give it.
AnsiString WindowTextA(HWND window);
class TBasicAction;
class TControlActionLink;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

using TShiftState = uint32_t;
enum TShiftStateFlag : uint32_t { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
// The state of Shift, Alt and Ctrl now.
TShiftState KeyboardShiftState();

using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;

// The edges of its parent a control keeps its distance to when the parent's client area changes
// size: both edges of a direction stretch the control, one edge moves it with that edge.
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = uint32_t;
constexpr TAnchors AnchorBit(TAnchorKind kind) {
    return TAnchors{1} << kind;
}
constexpr TAnchors DefaultAnchors = AnchorBit(akLeft) | AnchorBit(akTop);

// The smallest and largest size a control may take; 0 leaves a bound open. Setting a bound
// re-applies the constraints to the control at once.
class TSizeConstraints : public TPersistent {
    RTL_DECLARE_CLASS_INFO()
public:
    int32_t MinWidth() const { return minWidth_; }
    void SetMinWidth(int32_t value) { Change(minWidth_, value); }
    int32_t MinHeight() const { return minHeight_; }
    void SetMinHeight(int32_t value) { Change(minHeight_, value); }
    int32_t MaxWidth() const { return maxWidth_; }
    void SetMaxWidth(int32_t value) { Change(maxWidth_, value); }
    int32_t MaxHeight() const { return maxHeight_; }
    void SetMaxHeight(int32_t value) { Change(maxHeight_, value); }
    // The size within the bounds (a maximum below the minimum gives way to the minimum).
    int32_t ConstrainWidth(int32_t width) const;
    int32_t ConstrainHeight(int32_t height) const;

    std::function<void()> OnChange;

private:
    void Change(int32_t& field, int32_t value);
    int32_t minWidth_ = 0, minHeight_ = 0, maxWidth_ = 0, maxHeight_ = 0;
};

class TControl : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);
    void SetParentComponent(TComponent* parent) override;
    TComponent* GetParentComponent() const override;

    int32_t Left() const { return left_; }
    void SetLeft(int32_t value) { SetBounds(value, top_, width_, height_); }
    int32_t Top() const { return top_; }
    void SetTop(int32_t value) { SetBounds(left_, value, width_, height_); }
    int32_t Width() const { return width_; }
    void SetWidth(int32_t value) { SetBounds(left_, top_, value, height_); }
    int32_t Height() const { return height_; }
    void SetHeight(int32_t value) { SetBounds(left_, top_, width_, value); }
    RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
    // The program's own placement: the size within Constraints, and the anchor distances taken
    // from the new place.
    virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
    virtual int32_t ClientWidth() const { return width_; }
    virtual void SetClientWidth(int32_t value) { SetWidth(value); }
    virtual int32_t ClientHeight() const { return height_; }
    virtual void SetClientHeight(int32_t value) { SetHeight(value); }

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    // The framework's text of the control (a caption or the text of an edit), ANSI.
    AnsiString Caption() const { return GetText(); }
    void SetCaption(const AnsiString& text) { SetText(text); }
    AnsiString Text() const { return GetText(); }
    virtual AnsiString GetText() const;
    virtual void SetText(const AnsiString& text);
    AnsiString Hint() const { return hint_; }
    void SetHint(const AnsiString& hint) { hint_ = hint; }
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value) { showHint_ = value; }

    TColor Color() const { return color_; }
    void SetColor(TColor color);
    TFont& Font() { return *font_; }
    const TFont& Font() const { return *font_; }
    TPersistent* FontObject() { return font_.get(); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value);
    // True: the control shows its parent's colour and follows it; setting Color ends that.
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool value);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);
    TAnchors Anchors() const { return anchors_; }
    void SetAnchors(TAnchors anchors);
    TSizeConstraints& Constraints() { return *constraints_; }
    const TSizeConstraints& Constraints() const { return *constraints_; }
    TPersistent* ConstraintsObject() { return constraints_.get(); }
    int32_t HelpContext() const { return helpContext_; }
    void SetHelpContext(int32_t value) { helpContext_ = value; }

    TBiDiMode BiDiMode() const { return biDiMode_; }
    void SetBiDiMode(TBiDiMode mode);
    bool ParentBiDiMode() const { return parentBiDiMode_; }
    void SetParentBiDiMode(bool value);
    bool UseRightToLeftAlignment() const { return biDiMode_ == bdRightToLeft; }
    bool UseRightToLeftReading() const { return biDiMode_ != bdLeftToRight; }
    // flags with DT_RIGHT/DT_RTLREADING as the bidirectional mode asks.
    UINT DrawTextBiDiModeFlags(UINT flags) const;
    UINT DrawTextBiDiModeFlagsReadingOnly() const;

    TNotifyEvent OnClick;
    AnsiString OnClickName;
    void SetOnClick(TNotifyEvent handler, AnsiString name = {});
    // OnClick, or else the action.
    virtual void Click();
    // Windowed controls fire it on WM_LBUTTONDBLCLK.
    TNotifyEvent OnDblClick;
    AnsiString OnDblClickName;
    virtual void DblClick();

    // The action the control shows and executes on a click; null for none.
    TBasicAction* Action() const;
    void SetAction(TBasicAction* action);
    TControlActionLink* ActionLink() const { return actionLink_.get(); }
    // False while the action supplies the property: stored descriptions leave it out.
    bool IsCaptionStored() const;
    bool IsHintStored() const;

    // Sends the message through WindowProc and returns its result.
    LRESULT Perform(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Every message of the control passes here; replaceable, WndProc by default.
    std::function<void(TMessage&)> WindowProc;
    virtual void WndProc(TMessage& message);
    // What happens to a message no override handled.
    virtual void DefaultHandler(TMessage& message);

    virtual void Invalidate();
    void Repaint();
    // Whether the control and all its parents are visible and the top one has a window.
    virtual bool Showing() const;
    POINT ClientToScreen(POINT point) const;
    POINT ScreenToClient(POINT point) const;
    // The control's origin within its parent's client area (graphic controls paint there).
    virtual bool IsWindowed() const { return false; }

protected:
    friend class TControlActionLink;
    // The control takes over the action's properties; with checkDefaults only those it has left
    // at their defaults.
    virtual void ActionChange(TObject* sender, bool checkDefaults);
    virtual std::unique_ptr<TControlActionLink> CreateActionLink();

    virtual void VisibleChanged();
    virtual void EnabledChanged() { Invalidate(); }
    virtual void TextChanged() {}
    virtual void FontChanged();
    // The parent's font, when the control takes it over.
    void TakeParentFont();
    // Records where the window is now, without moving it.
    void StoreBounds(int32_t left, int32_t top, int32_t width, int32_t height);
    // The initial visibility of a control class, without notifications (forms start hidden).
    void SetVisibleQuietly(bool visible) { visible_ = visible; }
    // The initial colour of a control class, without notifications.
    void SetColorQuietly(TColor color) { color_ = color; }
    void Loaded() override;
    // The distances to the parent's edges, measured now against its client size.
    void UpdateAnchorRules();

    AnsiString text_;

private:
    friend class TWinControl;
    // Moves the control to follow its anchors within a parent client area of this size.
    void FollowAnchors(int32_t parentWidth, int32_t parentHeight);
    void TakeParentColor();
    void ApplyConstraints();

    // The place and parent client size the anchor distances were measured at.
    struct TAnchorRules {
        bool Valid = false;
        int32_t Left = 0, Top = 0, Width = 0, Height = 0, ParentWidth = 0, ParentHeight = 0;
    };

    TWinControl* parent_ = nullptr;
    bool takingParentFont_ = false;
    int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    AnsiString hint_;
    bool showHint_ = false;
    TColor color_ = clBtnFace;
    std::unique_ptr<TFont> font_;
    bool parentFont_ = true;
    bool parentColor_ = false;
    bool takingParentColor_ = false;
    TAlign align_ = alNone;
    TAnchors anchors_ = DefaultAnchors;
    TAnchorRules anchorRules_;
    bool followingAnchors_ = false;
    std::unique_ptr<TSizeConstraints> constraints_;
    int32_t helpContext_ = 0;
    TBiDiMode biDiMode_ = bdLeftToRight;
    bool parentBiDiMode_ = true;
    std::unique_ptr<TControlActionLink> actionLink_;
};

// What a windowed control's window is made from.
struct TCreateParams {
    WideString Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    void* Param = nullptr;
    UINT ClassStyle = CS_DBLCLKS;
    // The framework's class name; a subclassed system class keeps the system's procedure in
    // DefaultProcedure.
    AnsiString WinClassName;
    AnsiString SystemClassName;
    HBRUSH Background = nullptr;
};

class TWinControl : public TControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    // The control's window, made (with its parents' windows) when first asked for.
    HWND Handle();
    HWND HandleIfAllocated() const { return window_; }
    bool HandleAllocated() const { return window_ != nullptr; }
    void HandleNeeded() { Handle(); }
    // Destroys the window and makes it again from new creation parameters, if it exists.
    void RecreateWnd();
    void DestroyHandle();

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);

    void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
    int32_t ClientWidth() const override;
    void SetClientWidth(int32_t value) override;
    int32_t ClientHeight() const override;
    void SetClientHeight(int32_t value) override;
    AnsiString GetText() const override;
    void SetText(const AnsiString& text) override;
    void Invalidate() override;
    bool Showing() const override;
    bool IsWindowed() const override { return true; }

    void SetFocus();
    bool Focused() const;
    bool CanFocus() const;
    // Lays out the aligned children within the client area, and the anchored ones.
    void Realign();

    // The place among its windowed siblings for Tab and in the window Z-order; -1 without a
    // parent. A value out of range puts the control last.
    int32_t TabOrder() const;
    void SetTabOrder(int32_t value);

    void WndProc(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    void Loaded() override;

    TKeyEvent OnKeyDown;
    AnsiString OnKeyDownName;

    // The control whose window this is, or null.
    static TWinControl* FromHandle(HWND window);

protected:
    virtual void CreateParams(TCreateParams& params);
    // Makes the window: the parameters, the class, CreateWindowHandle, then the window's font,
    // text and children.
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& params);
    virtual void DestroyWnd();
    virtual void DestroyWindowHandle();
    // Takes over a system window class (for example "BUTTON"): its procedure handles what the
    // control leaves to DefaultHandler.
    void CreateSubClass(TCreateParams& params, const char* systemClass);
    // Adopts a window made by CreateWindowHandle of a derived class; the window procedure must
    // already be the framework's (StandardWindowProcedure).
    void AttachWindow(HWND window);
    // The procedure every control window starts with; it binds the window to the control that
    // is creating it.
    static LRESULT CALLBACK StandardWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The control whose window is being made on this thread.
    static void SetCreatingControl(TWinControl* control);
    WNDPROC DefaultProcedure() const { return defaultProcedure_; }
    void SetDefaultProcedure(WNDPROC procedure) { defaultProcedure_ = procedure; }

    virtual void AlignControls(RECT& rect);
    virtual void PaintWindow(HDC dc);
    void PaintControls(HDC dc);
    // Keys of the control: the form's preview first, then OnKeyDown; a key set to 0 is handled.
    virtual bool DoKeyDown(WORD& key, TShiftState shift);
    // The top-level control's look at a key of one of its children first; true when handled.
    virtual bool PreviewKeyDown(WORD& key, TShiftState shift);
    virtual void KeyDown(WORD& key, TShiftState shift);
    // True for a key the control handles itself rather than as a dialog key (Enter in a memo).
    virtual bool WantsKey(WORD key) const;
    void VisibleChanged() override;
    void EnabledChanged() override;
    void FontChanged() override;
    void TextChanged() override;

private:
    void UpdateWindowBounds();
    void DetachWindow();
    void AnchorControls();
    // Stacks the children's windows in tab order, so that the system's Tab order follows it.
    void ApplyTabOrder();

    HWND window_ = nullptr;
    WNDPROC defaultProcedure_ = nullptr;
    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tabList_;
    // A tab order read from a description, applied once the siblings are all there.
    int32_t pendingTabOrder_ = -1;
    bool realigning_ = false;
};

// A key event property (OnKeyDown) bound to a published key method of the root (PublishedKeyMethod).
template <class C>
TPropInfo KeyEventProperty(const char* name, TKeyEvent C::*handler, AnsiString C::*handlerName) {
    TPropInfo info;
    info.Name = name;
    info.Kind = TTypeKind::tkMethod;
    info.BindMethod = [handler, handlerName](TPersistent& o, TComponent* root, const TMethodEntry* method) {
        auto& self = static_cast<C&>(o);
        if (method == nullptr) {
            self.*handler = nullptr;
            (self.*handlerName).clear();
            return;
        }
        if (!method->InvokeKey)
            throw EConvertError("method of another kind");
        auto invoke = method->InvokeKey;
        self.*handler = [root, invoke](TObject* sender, WORD& key, TShiftState shift) {
            invoke(*root, sender, key, shift);
        };
        self.*handlerName = method->Name;
    };
    info.GetMethodName = [handlerName](const TPersistent& o) {
        return static_cast<const C&>(o).*handlerName;
    };
    return info;
}

// A canvas over a device context: the text measures and drawing the framework needs.
class TCanvas {
public:
    TCanvas() = default;
    virtual ~TCanvas() = default;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    // The device context with the canvas's font selected; made on demand by derived canvases.
    HDC Handle();
    HDC HandleIfAllocated() const { return dc_; }
    void SetHandle(HDC dc);
    TFont& Font() { return font_; }
    TColor BrushColor() const { return brushColor_; }
    void SetBrushColor(TColor color) { brushColor_ = color; }

    SIZE TextExtent(const AnsiString& text);
    SIZE TextExtentWide(const WideString& text);
    int32_t TextWidth(const AnsiString& text) { return TextExtent(text).cx; }
    int32_t TextHeight(const AnsiString& text) { return TextExtent(text).cy; }
    void FillRect(const RECT& rect);

protected:
    virtual void CreateHandle() {}
    virtual void ReleaseHandle();

private:
    void SelectFont();

    HDC dc_ = nullptr;
    std::optional<SelectedObject> fontSelection_;
    TFont font_;
    TColor brushColor_ = clBtnFace;
};

// Lends a device context to a canvas and takes it back on every path (the canvas's font leaves
// the DC first).
class TLentCanvas {
public:
    TLentCanvas(TCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.SetHandle(dc); }
    ~TLentCanvas() { canvas_.SetHandle(nullptr); }
    TLentCanvas(const TLentCanvas&) = delete;
    TLentCanvas& operator=(const TLentCanvas&) = delete;

private:
    TCanvas& canvas_;
};

// A canvas on a control's window (or its parent's, for a graphic control), held until released.
class TControlCanvas : public TCanvas {
public:
    explicit TControlCanvas(TControl& control) : control_(control) {}
    ~TControlCanvas() override;
    void Release() { ReleaseHandle(); }

protected:
    void CreateHandle() override;
    void ReleaseHandle() override;

private:
    TControl& control_;
    WindowDC lent_;
};

// Painted by its parent: Paint draws on Canvas while the parent handles WM_PAINT.
class TGraphicControl : public TControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;
    TCanvas& Canvas() { return *canvas_; }
    // Paints into dc at the control's place (the parent's coordinates).
    void PaintTo(HDC dc);

protected:
    virtual void Paint() {}

private:
    std::unique_ptr<TCanvas> canvas_;
};
