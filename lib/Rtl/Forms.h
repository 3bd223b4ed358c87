// Top-level forms: a window described by a stored form description (an RCDATA resource named
// after the form's class in upper case), with caption, border style and icons, client size,
// font and position; shown modelessly or modally; MDI frames and children.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "Controls.h"

class TMainMenu;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : uint32_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormStateFlag : uint32_t { fsCreating = 1, fsModal = 2, fsCreatedMDIChild = 4, fsShowing = 8 };

using TModalResult = int32_t;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT, mrRetry = IDRETRY,
                       mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO, mrAll = mrNo + 1,
                       mrNoToAll = mrAll + 1, mrYesToAll = mrNoToAll + 1;

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;

class TCustomForm : public TWinControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    // Constructs a form of class T and reads its stored description; the form belongs to owner.
    template <class T> static T* CreateFromResource(TComponent* owner) {
        std::unique_ptr<T> form(new T(owner));
        form->InitializeForm();
        return form.release();
    }
    // Constructs a form of class T without a stored description.
    template <class T> static T* CreateNew(TComponent* owner) {
        std::unique_ptr<T> form(new T(owner));
        form->AfterConstruction();
        return form.release();
    }

    int32_t ClientWidth() const override;
    void SetClientWidth(int32_t value) override;
    int32_t ClientHeight() const override;
    void SetClientHeight(int32_t value) override;
    void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    uint32_t BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(uint32_t icons);
    TFormStyle FormStyle() const { return formStyle_; }
    virtual void SetFormStyle(TFormStyle style);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    bool OldCreateOrder() const { return oldCreateOrder_; }
    void SetOldCreateOrder(bool value) { oldCreateOrder_ = value; }
    int32_t PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int32_t value) { pixelsPerInch_ = value; }
    int32_t TextHeight() const { return textHeight_; }
    void SetTextHeight(int32_t value) { textHeight_ = value; }
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool value) { keyPreview_ = value; }
    AnsiString HelpFile() const { return helpFile_; }
    void SetHelpFile(const AnsiString& file) { helpFile_ = file; }
    uint32_t FormState() const { return formState_; }
    // During OnPaint the canvas draws on the paint DC; otherwise on a DC of the client area.
    TCanvas& Canvas() { return *canvas_; }

    // The control that gets the focus when the form is shown or activated; follows the focus
    // while it moves within the form. Null for none (the form's window itself).
    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);

    // Shows the form and returns once its ModalResult is set (by a button or Close); the other
    // windows of the thread are disabled meanwhile. Raises EInvalidOperation for a visible form.
    TModalResult ShowModal();
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    // Closing the main form ends the application; others follow OnClose (hidden by default).
    void Close();
    // Frees the form once the messages in the queue are handled.
    void Release();
    // Reads the stored description of the form's own class; EResNotFound when there is none.
    void ReadFormResource();
    // Reads the stored description of the named class into this form; false when there is none.
    bool ReadFormResourceOf(const AnsiString& className);

    // The menu bar; MDI children show none. The menu is not owned by the form for this.
    TMainMenu* Menu() const { return menu_; }
    virtual void SetMenu(TMainMenu* menu);

    // Layered windows: the whole form translucent (AlphaBlendValue 0 to 255), and/or one colour
    // transparent.
    bool AlphaBlend() const { return alphaBlend_; }
    void SetAlphaBlend(bool value);
    int32_t AlphaBlendValue() const { return alphaBlendValue_; }
    void SetAlphaBlendValue(int32_t value);
    bool TransparentColor() const { return transparentColor_; }
    void SetTransparentColor(bool value);
    TColor TransparentColorValue() const { return transparentColorValue_; }
    void SetTransparentColorValue(TColor value);

    // Updates the actions of the form's action lists and of its controls; the application calls
    // it for visible forms while it is idle.
    virtual void UpdateActions();

    // The MDI client window of an MDI frame; null otherwise.
    HWND ClientHandle() const { return clientWindow_; }
    // The active MDI child of this MDI frame, or null.
    TCustomForm* ActiveMDIChild() const;

    TNotifyEvent OnCreate, OnDestroy, OnShow, OnHide;
    AnsiString OnCreateName, OnDestroyName, OnShowName, OnHideName;
    // OnPaint runs in WM_PAINT after the background and the graphic children are painted, with
    // Canvas lent the paint DC. OnResize runs after every change of the client size once the
    // window exists.
    TNotifyEvent OnPaint, OnResize;
    AnsiString OnPaintName, OnResizeName;
    TCloseEvent OnClose;

    void Loaded() override;

protected:
    friend class TApplication;
    // Reads the description and runs OnCreate: what CreateFromResource does after constructing.
    virtual void InitializeForm();
    // InitializeForm for forms described per class: reads the descriptions of the classes below
    // `stop` down to this form's own, ancestors first (a class's description changes what its
    // ancestors' made); EResNotFound "Resource <class> not found" when there is none. Then
    // OnCreate if OldCreateOrder; AfterConstruction is left to the caller.
    void ReadInheritedDescriptions(const TClassInfo& stop);
    virtual void AfterConstruction();
    void DoCreate();
    // Runs OnDestroy once. The form's destructor calls it, when the members of derived classes
    // are already gone: a derived form whose handler uses its own members calls it first in its
    // own destructor.
    void DoDestroy();
    void SetFormState(uint32_t flag, bool on);

    void CreateParams(TCreateParams& params) override;
    void CreateWindowHandle(const TCreateParams& params) override;
    void CreateWnd() override;
    void DestroyWindowHandle() override;
    void VisibleChanged() override;
    void WndProc(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    bool PreviewKeyDown(WORD& key, TShiftState shift) override;
    virtual void DoClose(TCloseAction& action);
    void TextChanged() override;

    DWORD WindowStyle() const;
    DWORD WindowExStyle() const;

private:
    RECT OuterRectForClient(int32_t clientWidth, int32_t clientHeight) const;
    void PlaceByPosition();
    void ApplyPendingClientSize();
    bool HandleDialogKey(WORD key);

    TFormBorderStyle borderStyle_ = bsSizeable;
    uint32_t borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    TFormStyle formStyle_ = fsNormal;
    TPosition position_ = poDesigned;
    bool oldCreateOrder_ = false;
    int32_t pixelsPerInch_ = 96;
    int32_t textHeight_ = 13;
    bool keyPreview_ = false;
    AnsiString helpFile_;
    uint32_t formState_ = 0;
    int32_t clientWidth_ = -1, clientHeight_ = -1;
    TModalResult modalResult_ = mrNone;
    bool created_ = false;
    HWND clientWindow_ = nullptr;
    std::unique_ptr<TControlCanvas> canvas_;
    TMainMenu* menu_ = nullptr;
    bool alphaBlend_ = false;
    int32_t alphaBlendValue_ = 255;
    bool transparentColor_ = false;
    TColor transparentColorValue_ = 0;

    void ApplyLayeredAttributes();
    bool ShowsMenu() const;
    void FocusActiveControl();
    void PaintForm(HDC dc);

    TWinControl* activeControl_ = nullptr;
    SIZE lastClientSize_{-1, -1};
};

class TForm : public TCustomForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TCustomForm::TCustomForm;
};

// The form a control lies on, or null.
TCustomForm* GetParentForm(TControl* control);
