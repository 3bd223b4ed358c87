// A form description with every piece an exception dialog needs: anchored and constrained
// controls, memos, a bevel, the active control by reference and the form's paint, resize and
// key events, read from its resource and shown.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "Clipbrd.h"
#include "ExtCtrls.h"
#include "FormData.h"
#include "FormLoader.h"
#include "FormWriter.h"
#include "Memo.h"
#include "Screen.h"
#include "Screenshot.h"
#include "StdCtrls.h"
#include "WineTestSupport.h"

namespace {

class TPiecesForm : public TForm {
    RTL_DECLARE_CLASS_INFO()
public:
    using TForm::TForm;
    TBevel* Bevel1 = nullptr;
    TMemo* TextLabel = nullptr;
    TMemo* DetailsMemo = nullptr;
    TButton* OkBtn = nullptr;
    TButton* DetailsBtn = nullptr;

    int created = 0, shown = 0, painted = 0, resized = 0, doubleClicks = 0;
    HDC paintCanvasDc = nullptr;
    std::vector<std::string> keys;

    void FormCreate(TObject*) { ++created; }
    void FormShow(TObject*) { ++shown; }
    void FormResize(TObject*) { ++resized; }
    void FormPaint(TObject*) {
        ++painted;
        paintCanvasDc = Canvas().Handle();
        Canvas().SetBrushColor(RGB(255, 0, 0));
        Canvas().FillRect(RECT{0, 0, 2, 2});
    }
    void FormKeyDown(TObject* sender, uint16_t& key, uint32_t shift) {
        keys.push_back("form:" + std::to_string(key) + ((shift & ssCtrl) ? "+ctrl" : "") +
                       (sender == this ? "" : " from another sender"));
        if (key == VK_F2)
            key = 0;
    }
    void DetailsMemoDblClick(TObject*) { ++doubleClicks; }
    void DetailsBtnClick(TObject*) {}
};

const TClassInfo& TPiecesForm::StaticClassInfo() {
    using F = TPiecesForm;
    static const TClassInfo info{
        "TPiecesForm",
        &TForm::StaticClassInfo(),
        {},
        {PublishedMethod<F>("FormCreate", &F::FormCreate), PublishedMethod<F>("FormShow", &F::FormShow),
         PublishedMethod<F>("FormResize", &F::FormResize), PublishedMethod<F>("FormPaint", &F::FormPaint),
         PublishedKeyMethod<F>("FormKeyDown", &F::FormKeyDown),
         PublishedMethod<F>("DetailsMemoDblClick", &F::DetailsMemoDblClick),
         PublishedMethod<F>("DetailsBtnClick", &F::DetailsBtnClick)},
        {PublishedField<F, TBevel>("Bevel1", &F::Bevel1),
         PublishedField<F, TMemo>("TextLabel", &F::TextLabel),
         PublishedField<F, TMemo>("DetailsMemo", &F::DetailsMemo),
         PublishedField<F, TButton>("OkBtn", &F::OkBtn),
         PublishedField<F, TButton>("DetailsBtn", &F::DetailsBtn)},
    };
    return info;
}

int RightGap(const TControl& control) {
    return control.Parent()->ClientWidth() - (control.Left() + control.Width());
}

RECT PlaceInParent(HWND window) {
    RECT rect;
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

LONG_PTR StyleOf(HWND window) {
    return ::GetWindowLongPtrW(window, GWL_STYLE);
}

class FormPieces : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(
            std::initializer_list<const TUnitInfo*>{&RtlFormsUnit, &RtlStdCtrlsUnit, &RtlExtCtrlsUnit});
        form_ = TCustomForm::CreateFromResource<TPiecesForm>(Application);
    }
    void TearDown() override { units_.reset(); }
    static void Pump() {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    std::unique_ptr<TUnitStartup> units_;
    TPiecesForm* form_ = nullptr;
};

TEST_F(FormPieces, TheDescriptionIsReadIntoEveryPiece) {
    TPiecesForm& form = *form_;
    EXPECT_EQ(form.created, 1);
    ASSERT_NE(form.OkBtn, nullptr);
    ASSERT_NE(form.DetailsMemo, nullptr);
    EXPECT_EQ(form.ActiveControl(), form.OkBtn);
    EXPECT_EQ(form.Constraints().MinWidth(), 200);
    EXPECT_EQ(form.Constraints().MaxWidth(), 900);
    EXPECT_EQ(form.OkBtn->Anchors(), AnchorBit(akTop) | AnchorBit(akRight));
    EXPECT_EQ(form.Bevel1->Shape(), bsTopLine);
    EXPECT_EQ(form.Bevel1->Style(), bsLowered);
    EXPECT_EQ(form.TextLabel->Lines().Count(), 2);
    EXPECT_EQ(form.TextLabel->Lines()[1], "Second line");
    EXPECT_TRUE(form.TextLabel->ParentColor());
    EXPECT_EQ(form.TextLabel->Color(), clBtnFace) << "the parent's colour, not a memo's own";
    EXPECT_EQ(form.DetailsMemo->Font().Name(), "Courier New");
    EXPECT_FALSE(form.DetailsMemo->WordWrap());
    EXPECT_EQ(form.DetailsMemo->ScrollBars(), ssBoth);
    EXPECT_EQ(form.TextLabel->BorderStyle(), bsNone);

    // Tab order 4 and 5 named before the buttons' 0 and 1 keep their relative places.
    EXPECT_EQ(form.OkBtn->TabOrder(), 0);
    EXPECT_EQ(form.DetailsBtn->TabOrder(), 1);
    EXPECT_EQ(form.TextLabel->TabOrder(), 2);
    EXPECT_EQ(form.DetailsMemo->TabOrder(), 3);
    HWND window = form.Handle();
    HWND first = ::GetWindow(window, GW_CHILD);
    EXPECT_EQ(first, form.OkBtn->Handle()) << "the window Z-order follows the tab order";
    EXPECT_EQ(::GetWindow(first, GW_HWNDNEXT), form.DetailsBtn->Handle());
    // The disabled button is passed over.
    EXPECT_EQ(::GetNextDlgTabItem(window, form.OkBtn->Handle(), FALSE), form.TextLabel->Handle());
    form.DetailsMemo->SetTabOrder(0);
    EXPECT_EQ(::GetWindow(window, GW_CHILD), form.DetailsMemo->Handle());
    EXPECT_EQ(form.OkBtn->TabOrder(), 1);

    const LONG_PTR details = StyleOf(form.DetailsMemo->Handle());
    EXPECT_TRUE(details & WS_HSCROLL);
    EXPECT_TRUE(details & WS_VSCROLL);
    EXPECT_TRUE(details & ES_AUTOHSCROLL);
    EXPECT_TRUE(details & ES_READONLY);
    EXPECT_FALSE(::GetWindowLongPtrW(form.TextLabel->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(::GetWindowLongPtrW(form.DetailsMemo->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);

    // Written back: the reference by name, the set and the sub-object's values.
    const AnsiString text = RenderFormText(WriteComponentToForm(form));
    EXPECT_NE(text.find("ActiveControl = OkBtn"), AnsiString::npos) << text;
    EXPECT_NE(text.find("Constraints.MinWidth = 200"), AnsiString::npos) << text;
    EXPECT_NE(text.find("Anchors = [akTop, akRight]"), AnsiString::npos) << text;
    EXPECT_NE(text.find("OnKeyDown = FormKeyDown"), AnsiString::npos) << text;
    EXPECT_EQ(text.find("MaxHeight"), AnsiString::npos) << "open bounds are left out";
}

TEST_F(FormPieces, AnUnknownActiveControlNameFailsNamingTheProperty) {
    auto* form = TCustomForm::CreateNew<TPiecesForm>(Application);
    const TFormObject description = ParseFormText("object Probe: TPiecesForm\n"
                                                  "  ActiveControl = NoSuchButton\n"
                                                  "  object OkBtn: TButton\n"
                                                  "  end\n"
                                                  "end\n");
    EXPECT_EQ(MessageOf([&] { ReadComponentFromForm(*form, description); }),
              "Error reading Probe.ActiveControl: Component 'NoSuchButton' not found");
    EXPECT_THROW(ReadComponentFromForm(*form, description), EReadError);

    // A name that comes later in the description is found: references wait for the end.
    auto* later = TCustomForm::CreateNew<TPiecesForm>(Application);
    ReadComponentFromForm(*later, ParseFormText("object Later: TPiecesForm\n"
                                                "  ActiveControl = LastButton\n"
                                                "  object LastButton: TButton\n"
                                                "  end\n"
                                                "end\n"));
    ASSERT_NE(later->ActiveControl(), nullptr);
    EXPECT_EQ(later->ActiveControl()->Name(), "LastButton");
    // A key handler cannot be bound to a plain event, nor a plain method to a key event.
    auto* wrong = TCustomForm::CreateNew<TPiecesForm>(Application);
    EXPECT_THROW(
        ReadComponentFromForm(*wrong, ParseFormText("object W: TPiecesForm\n  OnShow = FormKeyDown\nend\n")),
        EReadError);
    EXPECT_THROW(
        ReadComponentFromForm(*wrong, ParseFormText("object W: TPiecesForm\n  OnKeyDown = FormShow\nend\n")),
        EReadError);
}

TEST_F(FormPieces, AnchoredControlsFollowTheClientSize) {
    TPiecesForm& form = *form_;
    form.Show();
    EXPECT_EQ(form.shown, 1);
    ASSERT_EQ(form.ClientWidth(), 432);
    ASSERT_EQ(form.ClientHeight(), 255);
    EXPECT_EQ(RightGap(*form.OkBtn), 5);
    const int resizedBefore = form.resized;

    form.SetClientWidth(600);
    form.SetClientHeight(355);
    EXPECT_GT(form.resized, resizedBefore);
    EXPECT_EQ(RightGap(*form.OkBtn), 5) << "a right-anchored button moves with the right edge";
    EXPECT_EQ(form.OkBtn->Top(), 8);
    EXPECT_EQ(form.OkBtn->Width(), 75);
    EXPECT_EQ(form.TextLabel->Width(), 281 + 168) << "left and right anchors stretch";
    EXPECT_EQ(form.TextLabel->Height(), 75);
    EXPECT_EQ(form.DetailsMemo->Width(), 424 + 168);
    EXPECT_EQ(form.DetailsMemo->Height(), 150 + 100) << "top and bottom anchors stretch";
    EXPECT_EQ(form.Bevel1->Width(), 428 + 168);
    const RECT okPlace = PlaceInParent(form.OkBtn->Handle());
    EXPECT_EQ(okPlace.right, 600 - 5) << "the window itself moved";

    // The program moves the button down: later resizes keep the new place.
    form.OkBtn->SetTop(200);
    form.SetClientWidth(500);
    EXPECT_EQ(form.OkBtn->Top(), 200);
    EXPECT_EQ(RightGap(*form.OkBtn), 5);

    // A resize from outside (as a user drags the frame) moves them too.
    RECT outer;
    ::GetWindowRect(form.Handle(), &outer);
    ::SetWindowPos(form.Handle(), nullptr, 0, 0, outer.right - outer.left + 50, outer.bottom - outer.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(form.ClientWidth(), 550);
    EXPECT_EQ(RightGap(*form.OkBtn), 5);
    EXPECT_EQ(form.DetailsMemo->Width(), 424 + 118);
}

TEST_F(FormPieces, ConstraintsRefuseSizesBeyondThem) {
    TPiecesForm& form = *form_;
    form.Show();
    form.SetBounds(form.Left(), form.Top(), 50, 40);
    EXPECT_EQ(form.Width(), 200);
    EXPECT_EQ(form.Height(), 150);
    RECT outer;
    ::GetWindowRect(form.Handle(), &outer);
    EXPECT_EQ(outer.right - outer.left, 200);
    form.SetWidth(5000);
    EXPECT_EQ(form.Width(), 900);

    MINMAXINFO limits{};
    ::SendMessageW(form.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, 200);
    EXPECT_EQ(limits.ptMinTrackSize.y, 150);
    EXPECT_EQ(limits.ptMaxTrackSize.x, 900);

    // A new bound holds at once, for the form and for a control.
    form.Constraints().SetMaxWidth(600);
    EXPECT_EQ(form.Width(), 600);
    ::SendMessageW(form.Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMaxTrackSize.x, 600);
    // The X server may still report an earlier size; the window settles once that is through.
    for (int i = 0; i < 50; ++i) {
        Pump();
        ::GetWindowRect(form.Handle(), &outer);
        if (outer.right - outer.left == 600)
            break;
        ::Sleep(20);
    }
    EXPECT_EQ(outer.right - outer.left, 600);
    ASSERT_LT(form.DetailsMemo->Height(), 40) << "the anchored memo shrank with the form";
    form.DetailsMemo->Constraints().SetMinHeight(40);
    EXPECT_EQ(form.DetailsMemo->Height(), 40);
    form.DetailsMemo->Constraints().SetMaxHeight(60);
    form.DetailsMemo->SetHeight(500);
    EXPECT_EQ(form.DetailsMemo->Height(), 60);
    RECT memoRect;
    ::GetWindowRect(form.DetailsMemo->Handle(), &memoRect);
    EXPECT_EQ(memoRect.bottom - memoRect.top, 60);
}

TEST_F(FormPieces, TheActiveControlIsFocusedAndFollowsTheFocus) {
    TPiecesForm& form = *form_;
    form.Show();
    Pump();
    EXPECT_EQ(::GetFocus(), form.OkBtn->Handle());
    EXPECT_EQ(Screen->ActiveControl(), form.OkBtn);
    EXPECT_EQ(Screen->ActiveForm(), &form);

    form.DetailsMemo->SetFocus();
    EXPECT_EQ(form.ActiveControl(), form.DetailsMemo);
    EXPECT_EQ(Screen->ActiveControl(), form.DetailsMemo) << "a read-only memo takes the focus";

    form.SetActiveControl(form.TextLabel);
    EXPECT_EQ(::GetFocus(), form.TextLabel->Handle());
    EXPECT_THROW(form.SetActiveControl(&form), EInvalidOperation);

    // A control that goes leaves no dangling active control.
    form.DetailsBtn->SetEnabled(true);
    form.SetActiveControl(form.DetailsBtn);
    delete form.DetailsBtn;
    form.DetailsBtn = nullptr;
    EXPECT_EQ(form.ActiveControl(), nullptr);
    form.Hide();
    form.Show();
    Pump();
    EXPECT_EQ(form.ActiveControl(), nullptr);
}

TEST_F(FormPieces, PaintDoubleClickAndPreviewedKeysReachTheForm) {
    TPiecesForm& form = *form_;
    form.Show();
    Pump();
    ::RedrawWindow(form.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GT(form.painted, 0);
    EXPECT_NE(form.paintCanvasDc, nullptr);

    // Painted into a bitmap: the bevel's lines in the system's colours, then OnPaint on top.
    uint32_t* bits = nullptr;
    const UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    const UniqueBitmap bitmap = NewPixelBitmap(dc.get(), 432, 255, bits);
    std::fill(bits, bits + 432 * 255, 0x00FFFFFFu);
    {
        const SelectedObject selection(dc.get(), bitmap.get());
        const int paintedBefore = form.painted;
        form.Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc.get()));
        EXPECT_EQ(form.painted, paintedBefore + 1);
        EXPECT_EQ(form.paintCanvasDc, dc.get()) << "the canvas was lent the paint DC";
        EXPECT_EQ(::GetPixel(dc.get(), 100, 91), ::GetSysColor(COLOR_BTNSHADOW));
        EXPECT_EQ(::GetPixel(dc.get(), 100, 92), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        EXPECT_EQ(::GetPixel(dc.get(), 100, 93), RGB(255, 255, 255)) << "a top line is two pixels high";
        EXPECT_EQ(::GetPixel(dc.get(), 1, 1), RGB(255, 0, 0));
        form.Bevel1->SetStyle(bsRaised);
        form.Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc.get()));
        EXPECT_EQ(::GetPixel(dc.get(), 100, 91), ::GetSysColor(COLOR_BTNHIGHLIGHT));
        EXPECT_EQ(::GetPixel(dc.get(), 100, 92), ::GetSysColor(COLOR_BTNSHADOW));
    }

    HWND memo = form.DetailsMemo->Handle();
    ::SendMessageW(memo, WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(form.doubleClicks, 1);

    // Keys of a focused memo: the form's preview sees them first, then the memo's own handler.
    form.DetailsMemo->OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
        form.keys.push_back("memo:" + std::to_string(key));
    };
    form.DetailsMemo->SetFocus();
    ::SendMessageW(memo, WM_KEYDOWN, VK_ESCAPE, 0);
    ::SendMessageW(memo, WM_KEYDOWN, VK_F2, 0);
    ASSERT_EQ(form.keys.size(), 3u);
    EXPECT_EQ(form.keys[0], "form:27");
    EXPECT_EQ(form.keys[1], "memo:27");
    EXPECT_EQ(form.keys[2], "form:113") << "a key the preview sets to 0 goes no further";

    // Ctrl+C: the form hears it first, and the memo still copies its selection.
    form.keys.clear();
    form.DetailsMemo->Lines().SetText("Report text to copy");
    form.DetailsMemo->SetSelStart(0);
    form.DetailsMemo->SetSelLength(6);
    Clipboard().SetAsText("before");
    BYTE state[256] = {};
    ::GetKeyboardState(state);
    state[VK_CONTROL] = 0x80;
    ::SetKeyboardState(state);
    ::SendMessageW(memo, WM_KEYDOWN, 'C', 0);
    ::SendMessageW(memo, WM_CHAR, 3, 0);
    state[VK_CONTROL] = 0;
    ::SetKeyboardState(state);
    ASSERT_FALSE(form.keys.empty());
    EXPECT_EQ(form.keys[0], "form:67+ctrl");
    EXPECT_EQ(Clipboard().AsText(), "Report");
}

} // namespace
