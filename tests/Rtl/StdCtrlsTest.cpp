// Labels, push buttons and icon images: measuring and painting text, the keys and clicks that
// end a modal form, and the controls read from a stored description.
#include <gtest/gtest.h>

#include <memory>

#include "Application.h"
#include "DeviceContexts.h"
#include "ExtCtrls.h"
#include "FormData.h"
#include "FormLoader.h"
#include "Screenshot.h"
#include "StdCtrls.h"

namespace {

class StdCtrls : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(
            std::initializer_list<const TUnitInfo*>{&RtlFormsUnit, &RtlStdCtrlsUnit, &RtlExtCtrlsUnit});
        form_ = TCustomForm::CreateNew<TForm>(Application);
        form_->SetBorderStyle(bsDialog);
        form_->SetClientWidth(300);
        form_->SetClientHeight(120);
    }
    void TearDown() override { units_.reset(); }

    template <class T>
    T* Add(const char* name, int left = 0, int top = 0) {
        auto* control = new T(form_);
        control->SetName(name);
        control->SetParent(form_);
        control->SetLeft(left);
        control->SetTop(top);
        return control;
    }

    // A modal loop that cannot hang the run: after the time-out the form ends with -1.
    TModalResult ShowModalBounded(UINT milliseconds = 5000) {
        bounded_ = form_;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, milliseconds, &EndBoundedModal);
        const TModalResult result = form_->ShowModal();
        ::KillTimer(nullptr, timer);
        bounded_ = nullptr;
        return result;
    }

    static void CALLBACK EndBoundedModal(HWND, UINT, UINT_PTR, DWORD) {
        if (bounded_ != nullptr)
            bounded_->SetModalResult(-1);
    }
    static inline TCustomForm* bounded_ = nullptr;
    std::unique_ptr<TUnitStartup> units_;
    TForm* form_ = nullptr;
};

// The height of one line of text in a font.
int LineHeight(TFont& font) {
    const WindowDC screen = WindowDC::OfClient(nullptr);
    const SelectedObject selection(screen.get(), font.Handle());
    TEXTMETRICA metrics{};
    ::GetTextMetricsA(screen.get(), &metrics);
    return metrics.tmHeight;
}

// A white 32-bit bitmap to paint into, with its pixels readable.
class TPaintTarget {
public:
    TPaintTarget(int width, int height)
        : width_(width), height_(height), dc_(::CreateCompatibleDC(nullptr)),
          bitmap_(NewPixelBitmap(dc_.get(), width, height, bits_)), selection_(dc_.get(), bitmap_.get()) {
        std::fill(bits_, bits_ + width * height, 0x00FFFFFFu);
    }
    HDC dc() const { return dc_.get(); }
    COLORREF Pixel(int x, int y) const {
        const uint32_t value = bits_[y * width_ + x];
        return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }
    int Count(COLORREF color, RECT area) const {
        int count = 0;
        for (int y = area.top; y < area.bottom && y < height_; ++y)
            for (int x = area.left; x < area.right && x < width_; ++x)
                count += Pixel(x, y) == color ? 1 : 0;
        return count;
    }
    int CountAll(COLORREF color) const { return Count(color, RECT{0, 0, width_, height_}); }

private:
    int width_, height_;
    uint32_t* bits_ = nullptr;
    UniqueMemoryDC dc_;
    UniqueBitmap bitmap_;
    SelectedObject selection_;
};

TEST_F(StdCtrls, AnAutoSizedLabelFollowsItsTextFontAndAlignment) {
    TLabel* label = Add<TLabel>("Label", 100, 10);
    const int line = LineHeight(label->Font());
    label->SetCaption("Short");
    const int shortWidth = label->Width();
    EXPECT_GT(shortWidth, 0);
    EXPECT_EQ(label->Height(), line);
    label->SetCaption("A much longer caption");
    EXPECT_GT(label->Width(), shortWidth);
    EXPECT_EQ(label->Left(), 100) << "a left-aligned label grows to the right";

    // Right alignment anchors the right edge.
    label->SetAlignment(taRightJustify);
    const int right = label->Left() + label->Width();
    label->SetCaption("Short");
    EXPECT_EQ(label->Left() + label->Width(), right);
    EXPECT_EQ(label->Width(), shortWidth);

    // An empty label keeps one line's height; a bigger font makes it taller.
    label->SetCaption("");
    EXPECT_EQ(label->Height(), line);
    EXPECT_GT(label->Width(), 0);
    label->Font().SetHeight(-30);
    EXPECT_GT(label->Height(), line);

    // Without auto-size the bounds stay as set.
    label->SetAutoSize(false);
    label->SetBounds(0, 0, 10, 10);
    label->SetCaption("Long enough to need more than ten pixels");
    EXPECT_EQ(label->Width(), 10);
    EXPECT_EQ(label->Height(), 10);
}

TEST_F(StdCtrls, AWordWrappedLabelBreaksWithinItsWidthAndAccelCharsCountOnce) {
    TLabel* label = Add<TLabel>("Label");
    const int line = LineHeight(label->Font());
    label->SetWidth(60);
    label->SetWordWrap(true);
    label->SetCaption("one two three four five six seven");
    EXPECT_LE(label->Width(), 60);
    EXPECT_GE(label->Height(), 3 * line);
    EXPECT_EQ(label->Height() % line, 0);

    TLabel* accel = Add<TLabel>("Accel");
    accel->SetCaption("A&&B&&C");
    const int withAccel = accel->Width();
    accel->SetShowAccelChar(false);
    EXPECT_GT(accel->Width(), withAccel) << "every ampersand shows once accelerators are off";
}

TEST_F(StdCtrls, ALabelPaintsItsTextInTheFontColourOrGreyedWhenDisabled) {
    TLabel* label = Add<TLabel>("Label");
    label->SetCaption("MMMM WWWW");
    const COLORREF text = ColorToRGB(label->Font().Color());
    const COLORREF face = ColorToRGB(clBtnFace);
    {
        TPaintTarget target(200, 40);
        label->PaintTo(target.dc());
        EXPECT_GT(target.Count(text, label->BoundsRect()), 10);
        EXPECT_GT(target.Count(face, label->BoundsRect()), 10) << "the background is filled";
    }
    {
        label->SetTransparent(true);
        label->SetEnabled(false);
        TPaintTarget target(200, 40);
        label->PaintTo(target.dc());
        EXPECT_EQ(target.CountAll(text), 0);
        EXPECT_GT(target.CountAll(::GetSysColor(COLOR_GRAYTEXT)), 10);
        EXPECT_EQ(target.CountAll(face), 0) << "a transparent label leaves the background";
    }
}

TEST_F(StdCtrls, AClickedButtonGivesTheFormItsModalResultAfterItsClickEvent) {
    TButton* yes = Add<TButton>("Yes", 10, 80);
    TButton* help = Add<TButton>("Help", 100, 80);
    yes->SetModalResult(mrYes);
    int helpClicks = 0;
    TModalResult seenInClick = -2;
    yes->OnClick = [&](TObject*) { seenInClick = form_->ModalResult(); };
    help->OnClick = [&](TObject*) { ++helpClicks; };
    // A button without a modal result keeps the form open: the second click ends it.
    ::PostMessageW(help->Handle(), BM_CLICK, 0, 0);
    ::PostMessageW(yes->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(ShowModalBounded(), mrYes);
    EXPECT_EQ(helpClicks, 1);
    EXPECT_EQ(seenInClick, mrYes) << "the form's result is set before the click event runs";
    EXPECT_FALSE(::IsWindowVisible(form_->Handle()));
}

TEST_F(StdCtrls, EnterPressesTheDefaultButtonAndEscapeTheCancelButton) {
    TButton* ok = Add<TButton>("OK", 10, 80);
    TButton* cancel = Add<TButton>("Cancel", 100, 80);
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    cancel->SetModalResult(mrCancel);
    cancel->SetCancel(true);
    cancel->OnClick = [&](TObject*) { form_->SetModalResult(mrAbort); };

    ::PostMessageW(form_->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(ShowModalBounded(), mrOk);
    // The cancel button's click event runs after its own result was given, and wins.
    ::PostMessageW(form_->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(ShowModalBounded(), mrAbort);

    // A disabled default button ignores Enter.
    ok->SetEnabled(false);
    ::EnableWindow(ok->Handle(), FALSE);
    ::PostMessageW(form_->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(ShowModalBounded(500), -1);
}

TEST_F(StdCtrls, AFocusedButtonTakesEnterAndTheDefaultLook) {
    TButton* yes = Add<TButton>("Yes", 10, 80);
    TButton* no = Add<TButton>("No", 100, 80);
    yes->SetModalResult(mrYes);
    yes->SetDefault(true);
    no->SetModalResult(mrNo);
    auto looksDefault = [](TButton* button) {
        return (::GetWindowLongW(button->Handle(), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
    };
    bool yesLookedDefault = false, noLookedDefault = true;
    bool noLookedDefaultWhenFocused = false, yesLookedDefaultThen = true;
    form_->OnShow = [&](TObject*) {
        yesLookedDefault = looksDefault(yes);
        noLookedDefault = looksDefault(no);
        no->SetFocus();
        noLookedDefaultWhenFocused = looksDefault(no);
        yesLookedDefaultThen = looksDefault(yes);
        ::PostMessageW(no->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    };
    EXPECT_EQ(ShowModalBounded(), mrNo);
    EXPECT_TRUE(yesLookedDefault);
    EXPECT_FALSE(noLookedDefault);
    EXPECT_TRUE(noLookedDefaultWhenFocused);
    EXPECT_FALSE(yesLookedDefaultThen);

    // Focus leaving the buttons gives the look back to the default button.
    form_->OnShow = nullptr;
    ::SetFocus(form_->Handle());
    EXPECT_TRUE(looksDefault(yes));
    EXPECT_FALSE(looksDefault(no));
}

TEST_F(StdCtrls, ButtonCaptionsAndStylesReachTheirWindows) {
    TButton* button = Add<TButton>("Button", 10, 80);
    button->SetCaption("&Retry");
    HWND window = button->Handle();
    char text[32] = {};
    ::GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "&Retry");
    char className[32] = {};
    ::GetClassNameA(window, className, sizeof className);
    EXPECT_STREQ(className, "TButton");
    EXPECT_EQ(::GetParent(window), form_->Handle());
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_TABSTOP);
    EXPECT_EQ(style & 0x0F, BS_PUSHBUTTON);
    // The system's button procedure answers for the framework's class.
    EXPECT_EQ(::SendMessageW(window, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(::SendMessageW(window, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON, DLGC_UNDEFPUSHBUTTON);
    button->SetCaption("Ignore");
    ::GetWindowTextA(window, text, sizeof text);
    EXPECT_STREQ(text, "Ignore");
}

TEST_F(StdCtrls, LabelsButtonsAndImagesAreReadFromAStoredDescription) {
    const TFormObject description = ParseFormText(R"(object Form: TForm
  object Info: TLabel
    Left = 8
    Top = 9
    Width = 40
    AutoSize = False
    Alignment = taCenter
    WordWrap = True
    Caption = 'Info && more'
  end
  object Go: TButton
    Left = 8
    Top = 40
    Caption = '&Go'
    Default = True
    Cancel = True
    ModalResult = 6
  end
  object Picture: TImage
    Center = True
    Stretch = False
  end
end
)");
    TForm* form = TCustomForm::CreateNew<TForm>(nullptr);
    std::unique_ptr<TForm> owned(form);
    ReadComponentFromForm(*form, description);
    auto* info = dynamic_cast<TLabel*>(form->FindComponent("Info"));
    auto* go = dynamic_cast<TButton*>(form->FindComponent("Go"));
    auto* picture = dynamic_cast<TImage*>(form->FindComponent("Picture"));
    ASSERT_NE(info, nullptr);
    ASSERT_NE(go, nullptr);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(info->Parent(), form);
    EXPECT_EQ(info->Caption(), "Info && more");
    EXPECT_EQ(info->Alignment(), taCenter);
    EXPECT_TRUE(info->WordWrap());
    EXPECT_EQ(info->Width(), 40) << "not auto-sized";
    EXPECT_EQ(go->Caption(), "&Go");
    EXPECT_TRUE(go->Default());
    EXPECT_TRUE(go->Cancel());
    EXPECT_EQ(go->ModalResult(), mrYes);
    EXPECT_TRUE(picture->Center());
}

TEST_F(StdCtrls, AnImageDrawsItsIconAtItsOwnSizeCentredOrStretched) {
    HICON icon = ::LoadIconW(nullptr, IDI_HAND);
    ASSERT_NE(icon, nullptr);
    const SIZE size = IconSize(icon);
    EXPECT_EQ(size.cx, ::GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(size.cy, ::GetSystemMetrics(SM_CYICON));
    EXPECT_EQ(IconSize(nullptr).cx, 0);

    TImage* image = Add<TImage>("Image");
    image->SetBounds(0, 0, 100, 100);
    const COLORREF white = RGB(255, 255, 255);
    auto painted = [&](RECT area) {
        TPaintTarget target(100, 100);
        image->PaintTo(target.dc());
        return (area.right - area.left) * (area.bottom - area.top) - target.Count(white, area);
    };
    const RECT topLeft{0, 0, size.cx, size.cy};
    const RECT centre{(100 - size.cx) / 2, (100 - size.cy) / 2, (100 + size.cx) / 2, (100 + size.cy) / 2};
    EXPECT_EQ(painted(RECT{0, 0, 100, 100}), 0) << "no icon, nothing drawn";
    image->SetIcon(icon);
    EXPECT_GT(painted(topLeft), 0);
    EXPECT_EQ(painted(RECT{size.cx, 0, 100, 100}), 0);
    EXPECT_EQ(painted(RECT{0, size.cy, 100, 100}), 0);

    image->SetCenter(true);
    EXPECT_EQ(painted(RECT{0, 0, 100, centre.top}), 0);
    EXPECT_EQ(painted(RECT{0, centre.bottom, 100, 100}), 0);
    EXPECT_GT(painted(centre), 0);

    image->SetStretch(true);
    EXPECT_GT(painted(RECT{70, 70, 100, 100}), 0) << "stretched to the control's size";
}

} // namespace
