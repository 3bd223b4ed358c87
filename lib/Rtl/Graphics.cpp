#include "Graphics.h"

#include "TextConversion.h"

COLORREF ColorToRGB(TColor color) {
    if ((color & clSystemColor) == clSystemColor)
        return ::GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color);
}

const std::vector<TIdentMapEntry>& ColorIdents() {
    static const std::vector<TIdentMapEntry> idents{
        {clBlack, "clBlack"},        {clWhite, "clWhite"},           {0x000080, "clMaroon"},
        {0x008000, "clGreen"},       {0x000080 | 0x008000, "clOlive"}, {0x800000, "clNavy"},
        {0x800080, "clPurple"},      {0x808000, "clTeal"},          {0x808080, "clGray"},
        {0xC0C0C0, "clSilver"},      {0x0000FF, "clRed"},           {0x00FF00, "clLime"},
        {0x00FFFF, "clYellow"},      {0xFF0000, "clBlue"},          {0xFF00FF, "clFuchsia"},
        {0xFFFF00, "clAqua"},        {clBtnFace, "clBtnFace"},      {clWindowText, "clWindowText"},
        {clWindow, "clWindow"},      {clSystemColor | COLOR_BTNTEXT, "clBtnText"},
        {clSystemColor | COLOR_HIGHLIGHT, "clHighlight"},
        {clSystemColor | COLOR_HIGHLIGHTTEXT, "clHighlightText"},
        {clSystemColor | COLOR_INFOBK, "clInfoBk"},     {clSystemColor | COLOR_INFOTEXT, "clInfoText"},
        {clSystemColor | COLOR_GRAYTEXT, "clGrayText"}, {clSystemColor | COLOR_BTNSHADOW, "clBtnShadow"},
        {clSystemColor | COLOR_BTNHIGHLIGHT, "clBtnHighlight"},
    };
    return idents;
}

const std::vector<TIdentMapEntry>& CharsetIdents() {
    static const std::vector<TIdentMapEntry> idents{
        {ANSI_CHARSET, "ANSI_CHARSET"},       {DEFAULT_CHARSET, "DEFAULT_CHARSET"},
        {SYMBOL_CHARSET, "SYMBOL_CHARSET"},   {SHIFTJIS_CHARSET, "SHIFTJIS_CHARSET"},
        {HANGEUL_CHARSET, "HANGEUL_CHARSET"}, {GB2312_CHARSET, "GB2312_CHARSET"},
        {CHINESEBIG5_CHARSET, "CHINESEBIG5_CHARSET"}, {OEM_CHARSET, "OEM_CHARSET"},
        {GREEK_CHARSET, "GREEK_CHARSET"},     {TURKISH_CHARSET, "TURKISH_CHARSET"},
        {HEBREW_CHARSET, "HEBREW_CHARSET"},   {ARABIC_CHARSET, "ARABIC_CHARSET"},
        {BALTIC_CHARSET, "BALTIC_CHARSET"},   {RUSSIAN_CHARSET, "RUSSIAN_CHARSET"},
        {THAI_CHARSET, "THAI_CHARSET"},       {EASTEUROPE_CHARSET, "EASTEUROPE_CHARSET"},
        {MAC_CHARSET, "MAC_CHARSET"},
    };
    return idents;
}

const TClassInfo& TFont::StaticClassInfo() {
    static const TClassInfo info{
        "TFont",
        &TPersistent::StaticClassInfo(),
        {
            IntegerProperty<TFont>("Charset", &TFont::Charset, &TFont::SetCharset, &CharsetIdents()),
            IntegerProperty<TFont>("Color", &TFont::Color, &TFont::SetColor, &ColorIdents()),
            IntegerProperty<TFont>("Height", &TFont::Height, &TFont::SetHeight),
            AnsiStringProperty<TFont>("Name", &TFont::Name, &TFont::SetName),
            SetProperty<TFont>("Style", &TFont::Style, &TFont::SetStyle,
                               {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}),
        },
    };
    return info;
}

HFONT TFont::Handle() {
    if (!handle_) {
        LOGFONTW font{};
        font.lfHeight = height_;
        font.lfWeight = (style_ & fsBold) ? FW_BOLD : FW_NORMAL;
        font.lfItalic = (style_ & fsItalic) ? TRUE : FALSE;
        font.lfUnderline = (style_ & fsUnderline) ? TRUE : FALSE;
        font.lfStrikeOut = (style_ & fsStrikeOut) ? TRUE : FALSE;
        font.lfCharSet = static_cast<BYTE>(charset_);
        font.lfQuality = DEFAULT_QUALITY;
        const WideString face = AnsiToWide(name_).substr(0, LF_FACESIZE - 1);
        face.copy(reinterpret_cast<char16_t*>(font.lfFaceName), face.size());
        handle_.reset(::CreateFontIndirectW(&font));
    }
    return handle_.get();
}

AnsiString& TFont::DefaultName() {
    static AnsiString name = "MS Sans Serif";
    return name;
}

void TFont::SetHandle(HFONT font) {
    LOGFONTW description{};
    if (font == nullptr)
        return;
    if (::GetObjectW(font, sizeof description, &description) == 0) {
        // Not a font this process can read; it is ours all the same, so it goes.
        UniqueFont unreadable(font);
        return;
    }
    height_ = description.lfHeight;
    charset_ = description.lfCharSet;
    style_ = (description.lfWeight >= FW_BOLD ? fsBold : 0u) | (description.lfItalic ? fsItalic : 0u) |
             (description.lfUnderline ? fsUnderline : 0u) | (description.lfStrikeOut ? fsStrikeOut : 0u);
    name_ = WideToAnsi(WideString(reinterpret_cast<const char16_t*>(description.lfFaceName)));
    Changed();
    handle_.reset(font);
}

void TFont::AssignFont(const TFont& source) {
    if (&source == this)
        return;
    charset_ = source.charset_;
    color_ = source.color_;
    height_ = source.height_;
    name_ = source.name_;
    style_ = source.style_;
    Changed();
}

void TFont::Assign(const TPersistent* source) {
    if (const auto* font = dynamic_cast<const TFont*>(source)) {
        AssignFont(*font);
        return;
    }
    TPersistent::Assign(source);
}
