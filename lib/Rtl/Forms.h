// Top-level forms: a window described by a stored form description (an RCDATA resource named
// after the form's class in upper case), with caption, border style and icons, client size,
// font and position.
#pragma once

#include <windows.h>

#include <memory>

#include "Classes.h"
#include "Graphics.h"
#include "Handles.h"

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

class TCustomForm : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    // Constructs a form of class T and reads its stored description; the form belongs to owner.
    template <class T>
    static T* CreateFromResource(TComponent* owner) {
        std::unique_ptr<T> form(new T(owner));
        form->ReadFormResource();
        return form.release();
    }

    int32_t Left() const { return left_; }
    void SetLeft(int32_t value) { left_ = value, UpdateBounds(); }
    int32_t Top() const { return top_; }
    void SetTop(int32_t value) { top_ = value, UpdateBounds(); }
    int32_t Width() const;
    void SetWidth(int32_t value) { width_ = value, clientWidth_ = -1, UpdateBounds(); }
    int32_t Height() const;
    void SetHeight(int32_t value) { height_ = value, clientHeight_ = -1, UpdateBounds(); }
    int32_t ClientWidth() const;
    void SetClientWidth(int32_t value) { clientWidth_ = value, UpdateBounds(); }
    int32_t ClientHeight() const;
    void SetClientHeight(int32_t value) { clientHeight_ = value, UpdateBounds(); }

    AnsiString Caption() const { return caption_; }
    void SetCaption(const AnsiString& caption);
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style) { borderStyle_ = style; }
    uint32_t BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(uint32_t icons) { borderIcons_ = icons; }
    int32_t Color() const { return color_; }
    void SetColor(int32_t color);
    TFont& Font() { return *font_; }
    TPersistent* FontObject() { return font_.get(); }
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    bool OldCreateOrder() const { return oldCreateOrder_; }
    void SetOldCreateOrder(bool value) { oldCreateOrder_ = value; }
    int32_t PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int32_t value) { pixelsPerInch_ = value; }
    int32_t TextHeight() const { return textHeight_; }
    void SetTextHeight(int32_t value) { textHeight_ = value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    HWND Handle();
    bool HandleAllocated() const { return window_.valid(); }
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Closing the main form ends the application; any other form is hidden.
    void Close();

    void ReadFormResource();

protected:
    virtual DWORD WindowStyle() const;
    virtual DWORD WindowExStyle() const;
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateHandle();
    RECT OuterRectForClient(int32_t clientWidth, int32_t clientHeight) const;
    void UpdateBounds();
    void PlaceByPosition();

    UniqueWindow window_;
    int32_t left_ = 0, top_ = 0, width_ = 320, height_ = 240;
    int32_t clientWidth_ = -1, clientHeight_ = -1;
    AnsiString caption_;
    TFormBorderStyle borderStyle_ = bsSizeable;
    uint32_t borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    TColor color_ = clBtnFace;
    UniqueGdiObject brush_;
    std::unique_ptr<TFont> font_ = std::make_unique<TFont>();
    TPosition position_ = poDesigned;
    bool oldCreateOrder_ = false;
    int32_t pixelsPerInch_ = 96;
    int32_t textHeight_ = 13;
    bool visible_ = false;
};

class TForm : public TCustomForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TCustomForm::TCustomForm;
};
