#include "ExtCtrls.h"

#include "Handles.h"

namespace {

void StartExtCtrls() {
    RegisterComponentClass(TImage::StaticClassInfo());
    RegisterComponentClass(TBevel::StaticClassInfo());
}

void EndExtCtrls() {
    UnregisterComponentClass(TBevel::StaticClassInfo());
    UnregisterComponentClass(TImage::StaticClassInfo());
}

} // namespace

const TUnitInfo RtlExtCtrlsUnit{"lib/Rtl/ExtCtrls", StartExtCtrls, EndExtCtrls};

SIZE IconSize(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !::GetIconInfo(icon, &info))
        return SIZE{0, 0};
    // GetIconInfo hands out copies of both bitmaps; they are ours to delete.
    UniqueBitmap mask(info.hbmMask);
    UniqueBitmap color(info.hbmColor);
    BITMAP bitmap{};
    if (color && ::GetObjectW(color.get(), sizeof bitmap, &bitmap) != 0)
        return SIZE{bitmap.bmWidth, bitmap.bmHeight};
    // A monochrome icon stacks its AND and XOR masks in one bitmap of twice the height.
    if (mask && ::GetObjectW(mask.get(), sizeof bitmap, &bitmap) != 0)
        return SIZE{bitmap.bmWidth, bitmap.bmHeight / 2};
    return SIZE{0, 0};
}

const TClassInfo& TImage::StaticClassInfo() {
    using C = TImage;
    static const TClassInfo info{
        "TImage",
        &TGraphicControl::StaticClassInfo(),
        {
            BooleanProperty<C>("Stretch", &C::Stretch, &C::SetStretch),
            BooleanProperty<C>("Center", &C::Center, &C::SetCenter),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TImage(owner); },
    };
    return info;
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 105, 105);
}

void TImage::SetIcon(HICON icon) {
    if (icon == icon_)
        return;
    icon_ = icon;
    Invalidate();
}

void TImage::SetStretch(bool value) {
    if (value == stretch_)
        return;
    stretch_ = value;
    Invalidate();
}

void TImage::SetCenter(bool value) {
    if (value == center_)
        return;
    center_ = value;
    Invalidate();
}

void TImage::Paint() {
    if (icon_ == nullptr)
        return;
    HDC dc = Canvas().Handle();
    if (stretch_) {
        ::DrawIconEx(dc, 0, 0, icon_, Width(), Height(), 0, nullptr, DI_NORMAL);
        return;
    }
    const SIZE size = IconSize(icon_);
    int x = 0, y = 0;
    if (center_) {
        x = (Width() - size.cx) / 2;
        y = (Height() - size.cy) / 2;
    }
    // Width and height 0 draw the icon at its own size rather than the system's default size.
    ::DrawIconEx(dc, x, y, icon_, 0, 0, 0, nullptr, DI_NORMAL);
}

// ---- TBevel

const TClassInfo& TBevel::StaticClassInfo() {
    using C = TBevel;
    static const TClassInfo info{
        "TBevel",
        &TGraphicControl::StaticClassInfo(),
        {
            EnumProperty<C, TBevelShape>(
                "Shape", &C::Shape, &C::SetShape,
                {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"}),
            EnumProperty<C, TBevelStyle>("Style", &C::Style, &C::SetStyle, {"bsLowered", "bsRaised"}),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TBevel(owner); },
    };
    return info;
}

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape value) {
    if (value == shape_)
        return;
    shape_ = value;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle value) {
    if (value == style_)
        return;
    style_ = value;
    Invalidate();
}

void TBevel::Paint() {
    TCanvas& canvas = Canvas();
    const TColor first = style_ == bsLowered ? clBtnShadow : clBtnHighlight;
    const TColor second = style_ == bsLowered ? clBtnHighlight : clBtnShadow;
    const int32_t width = Width(), height = Height();
    const auto line = [&](TColor color, int32_t left, int32_t top, int32_t right, int32_t bottom) {
        canvas.SetBrushColor(color);
        canvas.FillRect(RECT{left, top, right, bottom});
    };
    switch (shape_) {
    case bsBox:
        line(first, 0, 0, width, 1);
        line(first, 0, 0, 1, height);
        line(second, 0, height - 1, width, height);
        line(second, width - 1, 0, width, height);
        break;
    case bsFrame:
        // Two rectangles one pixel apart: the shadow one up and left, the highlight one inside it.
        line(first, 0, 0, width - 1, 1);
        line(first, 0, 0, 1, height - 1);
        line(first, 0, height - 2, width - 1, height - 1);
        line(first, width - 2, 0, width - 1, height - 1);
        line(second, 1, 1, width, 2);
        line(second, 1, 1, 2, height);
        line(second, 1, height - 1, width, height);
        line(second, width - 1, 1, width, height);
        break;
    case bsTopLine:
        line(first, 0, 0, width, 1);
        line(second, 0, 1, width, 2);
        break;
    case bsBottomLine:
        line(first, 0, height - 2, width, height - 1);
        line(second, 0, height - 1, width, height);
        break;
    case bsLeftLine:
        line(first, 0, 0, 1, height);
        line(second, 1, 0, 2, height);
        break;
    case bsRightLine:
        line(first, width - 2, 0, width - 1, height);
        line(second, width - 1, 0, width, height);
        break;
    case bsSpacer:
        break;
    }
}
