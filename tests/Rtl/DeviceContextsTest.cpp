// Painting gives back what it borrows: a paint handler that throws leaves no GDI object behind,
// its window validated and the device context as it came; hint windows shown and hidden many
// times leave nothing behind either.
#include <gtest/gtest.h>

#include <memory>

#include "Application.h"
#include "DeviceContexts.h"
#include "HintWindow.h"
#include "StdCtrls.h"

namespace {

// The process's GDI objects in use. Wine does not count them (GetGuiResources is a stub there and
// answers 0), but it hands the slot of the last object freed to the next one: the slot number of
// a new object rises by one for every object still alive.
long GdiObjectLevel() {
    if (const DWORD count = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS); count != 0)
        return static_cast<long>(count);
    const UniqueBrush probe(::CreateSolidBrush(RGB(0, 0, 0)));
    return static_cast<long>(reinterpret_cast<UINT_PTR>(probe.get()) & 0xFFFF);
}

// Draws with its canvas (a font selected into the parent's paint DC), then fails.
class TFailingPainter : public TGraphicControl {
public:
    using TGraphicControl::TGraphicControl;
    int paints = 0;

protected:
    void Paint() override {
        ++paints;
        RECT area{0, 0, 10, 10};
        Canvas().FillRect(area);
        Canvas().TextWidth("measured");
        throw EInvalidOperation("paint failed");
    }
};

class DeviceContexts : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(
            std::initializer_list<const TUnitInfo*>{&RtlFormsUnit, &RtlStdCtrlsUnit});
        form_ = TCustomForm::CreateNew<TForm>(Application);
        form_->SetClientWidth(200);
        form_->SetClientHeight(100);
        painter_ = new TFailingPainter(form_);
        painter_->SetParent(form_);
        painter_->SetLeft(20);
        painter_->SetTop(10);
        painter_->SetWidth(50);
        painter_->SetHeight(30);
        Application->OnException = [this](TObject*, Exception& error) {
            if (error.Message() == "paint failed")
                ++reported_;
        };
    }
    void TearDown() override {
        Application->OnException = nullptr;
        units_.reset();
    }

    std::unique_ptr<TUnitStartup> units_;
    TForm* form_ = nullptr;
    TFailingPainter* painter_ = nullptr;
    int reported_ = 0;
};

TEST_F(DeviceContexts, APaintHandlerThatThrowsLeavesNoGdiObjectAndItsWindowValidated) {
    form_->Show();
    HWND window = form_->Handle();
    ::UpdateWindow(window);
    const long before = GdiObjectLevel();
    constexpr int Paints = 200;
    for (int i = 0; i < Paints; ++i) {
        ::InvalidateRect(window, nullptr, TRUE);
        ::UpdateWindow(window);
    }
    EXPECT_GE(painter_->paints, Paints);
    EXPECT_GE(reported_, Paints) << "each failure reaches the application's exception event";
    EXPECT_FALSE(::GetUpdateRect(window, nullptr, FALSE)) << "the failed paint validated the window";
    // A leaked paint DC costs several objects a time; a few may be cached lazily by the system.
    EXPECT_LT(GdiObjectLevel() - before, 10);
}

TEST_F(DeviceContexts, AFailingPaintGivesTheDeviceContextBackAsItCame) {
    const UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    const HGDIOBJ originalFont = ::GetCurrentObject(dc.get(), OBJ_FONT);
    EXPECT_THROW(painter_->PaintTo(dc.get()), EInvalidOperation);
    POINT origin{-1, -1};
    ::GetViewportOrgEx(dc.get(), &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(origin.y, 0);
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_FONT), originalFont) << "the canvas's font left the DC";
    RECT clip{};
    EXPECT_EQ(::GetClipBox(dc.get(), &clip), SIMPLEREGION);
    EXPECT_GT(clip.right - clip.left, 0) << "the clipping to the control was undone";
    // Painting again starts from the same state: the canvas holds no stale DC.
    EXPECT_THROW(painter_->PaintTo(dc.get()), EInvalidOperation);
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_FONT), originalFont);
}

TEST_F(DeviceContexts, AHintWindowShownAndHiddenAThousandTimesLeavesNoGdiObject) {
    THintWindow* hint = CreateHintWindow(form_);
    const RECT place{100, 100, 260, 130};
    hint->ActivateHint(place, "A hint");
    hint->ReleaseHint();
    const long before = GdiObjectLevel();
    for (int i = 0; i < 1000; ++i) {
        const RECT needed = hint->CalcHintRect(200, "A hint that wraps over more than one line of text");
        RECT shown = place;
        shown.right = shown.left + needed.right;
        shown.bottom = shown.top + needed.bottom;
        hint->ActivateHint(shown, "A hint that wraps over more than one line of text");
        ::UpdateWindow(hint->Handle());
        hint->ReleaseHint();
    }
    EXPECT_LT(GdiObjectLevel() - before, 10);
}

TEST(WindowDC, IsGivenBackOnceAndMovesWithItsOwner) {
    WindowDC screen = WindowDC::OfClient(nullptr);
    ASSERT_TRUE(screen);
    const HDC dc = screen.get();
    WindowDC moved(std::move(screen));
    EXPECT_FALSE(screen);
    EXPECT_EQ(moved.get(), dc);
    ::SetLastError(0x2A5A5A5);
    moved.reset();
    EXPECT_EQ(::GetLastError(), 0x2A5A5A5u);
    EXPECT_FALSE(moved);
}

TEST(SelectedObject, PutsThePreviousObjectBackAndKeepsTheLastError) {
    const UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    const UniquePen pen(::CreatePen(PS_SOLID, 3, RGB(9, 9, 9)));
    const HGDIOBJ original = ::GetCurrentObject(dc.get(), OBJ_PEN);
    {
        const SelectedObject selection(dc.get(), pen.get());
        EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_PEN), pen.get());
        ::SetLastError(0x2A5A5A5);
    }
    EXPECT_EQ(::GetLastError(), 0x2A5A5A5u);
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_PEN), original);
}

} // namespace
