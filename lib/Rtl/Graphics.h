// Colours and fonts of forms.
#pragma once

#include <windows.h>

#include <functional>

#include "Classes.h"
#include "Handles.h"

using TColor = int32_t;
// System colours carry this flag over their COLOR_ index.
constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000);
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;

// RGB value of a colour, system colours resolved.
COLORREF ColorToRGB(TColor color);
const std::vector<TIdentMapEntry>& ColorIdents();
const std::vector<TIdentMapEntry>& CharsetIdents();

enum TFontStyle : uint32_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont : public TPersistent {
    RTL_DECLARE_CLASS_INFO()
public:
    int32_t Charset() const { return charset_; }
    void SetCharset(int32_t charset) { charset_ = charset, Changed(); }
    int32_t Color() const { return color_; }
    void SetColor(int32_t color) { color_ = color; }
    int32_t Height() const { return height_; }
    void SetHeight(int32_t height) { height_ = height, Changed(); }
    AnsiString Name() const { return name_; }
    void SetName(const AnsiString& name) { name_ = name, Changed(); }
    uint32_t Style() const { return style_; }
    void SetStyle(uint32_t style) { style_ = style, Changed(); }

    // The GDI font, made on first use after a change and owned by this object.
    HFONT Handle();
    // Takes over a font made elsewhere (its description is read back); the font becomes ours.
    void SetHandle(HFONT font);
    // Copies another font's description.
    void AssignFont(const TFont& source);
    void Assign(const TPersistent* source) override;

    // Called after every change.
    std::function<void()> OnChange;

    // The face of new fonts; the Unicode environment replaces it at start.
    static AnsiString& DefaultName();

private:
    void Changed() {
        handle_.reset();
        if (OnChange)
            OnChange();
    }

    int32_t charset_ = DEFAULT_CHARSET;
    TColor color_ = clWindowText;
    int32_t height_ = -11;
    AnsiString name_ = DefaultName();
    uint32_t style_ = 0;
    UniqueFont handle_;
};
