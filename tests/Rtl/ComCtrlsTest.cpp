// The bars: status bar panels and modes as the system's control reports them, tool bar clicks
// through the real control, windows that follow their bar to a new parent, the control bar's
// colour, and bars read from a stored description.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <vector>

#include "Application.h"
#include "DeviceContexts.h"
#include "ComCtrls.h"
#include "ControlBars.h"
#include "FormData.h"
#include "FormLoader.h"
#include "FreeNotification.h"

namespace {

class Bars : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(
            std::initializer_list<const TUnitInfo*>{&RtlFormsUnit, &RtlComCtrlsUnit, &RtlControlBarsUnit});
        form_ = TCustomForm::CreateNew<TForm>(Application);
        form_->SetBounds(100, 100, 400, 300);
    }
    void TearDown() override { units_.reset(); }

    std::vector<int> Parts(TStatusBar& bar) {
        int edges[16] = {};
        const auto count = ::SendMessageW(bar.Handle(), SB_GETPARTS, 16, reinterpret_cast<LPARAM>(edges));
        return std::vector<int>(edges, edges + count);
    }
    std::string PanelText(TStatusBar& bar, int index) {
        char text[128] = {};
        ::SendMessageA(bar.Handle(), SB_GETTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
        return text;
    }
    // A left click on the button as a user makes it; the control tells its parent.
    void ClickButton(TToolBar& bar, int index) {
        RECT rect{};
        ASSERT_TRUE(::SendMessageW(bar.Handle(), TB_GETITEMRECT, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(&rect)));
        const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        ::SendMessageW(bar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, point);
        ::SendMessageW(bar.Handle(), WM_LBUTTONUP, 0, point);
        Application->ProcessMessages();
    }
    // The colour the window paints its background in.
    COLORREF BackgroundOf(HWND window) {
        const WindowDC screen = WindowDC::OfClient(nullptr);
        const UniqueMemoryDC memory(::CreateCompatibleDC(screen.get()));
        const UniqueBitmap bitmap(::CreateCompatibleBitmap(screen.get(), 8, 8));
        const SelectedObject selection(memory.get(), bitmap.get());
        ::SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.get()), 0);
        return ::GetPixel(memory.get(), 2, 2);
    }

    std::unique_ptr<TUnitStartup> units_;
    TForm* form_ = nullptr;
};

TEST_F(Bars, PanelWidthsBecomeRightEdgesAndTheLastPanelReachesTheEnd) {
    auto* bar = new TStatusBar(form_);
    bar->SetParent(form_);
    bar->Panels().Add(80).SetText("Ready");
    bar->Panels().Add(120).SetText("Line 1");
    bar->Panels().Add(60);
    EXPECT_EQ(Parts(*bar), (std::vector<int>{80, 200, -1}));
    EXPECT_EQ(PanelText(*bar, 0), "Ready");
    EXPECT_EQ(PanelText(*bar, 1), "Line 1");
    EXPECT_EQ(bar->Panels().TotalWidth(), 260);

    bar->Panels()[0].SetWidth(100);
    bar->Panels().Delete(2);
    EXPECT_EQ(Parts(*bar), (std::vector<int>{100, -1}));

    EXPECT_THROW(bar->Panels()[2], EListError);
    EXPECT_THROW(bar->Panels().Delete(-1), EListError);

    bar->Panels().Clear();
    EXPECT_EQ(Parts(*bar), (std::vector<int>{-1})) << "an empty bar still shows one part";
}

TEST_F(Bars, SimpleModeShowsOneTextAndKeepsThePanelsForLater) {
    auto* bar = new TStatusBar(form_);
    bar->SetParent(form_);
    bar->Panels().Add(70);
    bar->Panels().Add(70);
    bar->SetSimpleText("Working");
    bar->SetSimplePanel(true);
    EXPECT_TRUE(::SendMessageW(bar->Handle(), SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(PanelText(*bar, 0), "Working") << "in simple mode every part reads the simple text";

    bar->SetSimplePanel(false);
    EXPECT_FALSE(::SendMessageW(bar->Handle(), SB_ISSIMPLE, 0, 0));
    EXPECT_EQ(Parts(*bar), (std::vector<int>{70, -1}));
}

TEST_F(Bars, TheSizeGripIsMadeAnewWithTheWindowAndThePanelsSurvive) {
    auto* bar = new TStatusBar(form_);
    bar->SetParent(form_);
    bar->Panels().Add(90).SetText("kept");
    HWND first = bar->Handle();
    EXPECT_TRUE(::GetWindowLongW(first, GWL_STYLE) & SBARS_SIZEGRIP);

    bar->SetSizeGrip(false);
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_FALSE(::GetWindowLongW(bar->Handle(), GWL_STYLE) & SBARS_SIZEGRIP);
    EXPECT_EQ(Parts(*bar), (std::vector<int>{-1})) << "one panel reaches the end";
    EXPECT_EQ(PanelText(*bar, 0), "kept");
}

TEST_F(Bars, TheStatusBarLiesAlongTheFormsBottom) {
    auto* bar = new TStatusBar(form_);
    bar->SetParent(form_);
    form_->Show();
    RECT client;
    ::GetClientRect(form_->Handle(), &client);
    RECT rect;
    ::GetWindowRect(bar->Handle(), &rect);
    ::MapWindowPoints(nullptr, form_->Handle(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.right, client.right);
    EXPECT_EQ(rect.bottom, client.bottom);
    EXPECT_EQ(rect.bottom - rect.top, bar->Height());

    form_->SetWidth(form_->Width() + 50);
    ::GetClientRect(form_->Handle(), &client);
    ::GetWindowRect(bar->Handle(), &rect);
    EXPECT_EQ(rect.right - rect.left, client.right) << "it follows the form's width";
}

TEST_F(Bars, ABarsWindowFollowsItToAnotherParent) {
    auto* first = new TControlBar(form_);
    first->SetParent(form_);
    auto* second = new TControlBar(form_);
    second->SetParent(form_);
    auto* bar = new TStatusBar(form_);
    bar->SetAlign(alNone);
    bar->SetParent(first);
    HWND window = bar->Handle();
    EXPECT_EQ(::GetParent(window), first->Handle());

    bar->SetBounds(7, 0, 50, 19);
    bar->SetParent(second);
    EXPECT_EQ(bar->Handle(), window) << "the same window, moved";
    EXPECT_EQ(::GetParent(window), second->Handle());
    RECT rect;
    ::GetWindowRect(window, &rect);
    ::MapWindowPoints(nullptr, second->Handle(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 7);

    bar->SetParent(nullptr);
    EXPECT_FALSE(bar->HandleAllocated()) << "a bar without a parent has no window";
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(Bars, AReplacedWindowProcedureSeesThePanelUpdate) {
    auto* bar = new TStatusBar(form_);
    bar->SetParent(form_);
    bar->Handle();
    auto previous = bar->WindowProc;
    std::vector<int> seen;
    bar->WindowProc = [&](TMessage& message) {
        if (message.Msg == SB_SETPARTS) {
            const int* edges = reinterpret_cast<const int*>(message.LParam);
            seen.assign(edges, edges + message.WParam);
        }
        previous(message);
    };
    bar->Panels().Add(40);
    bar->Panels().Add(40);
    EXPECT_EQ(seen, (std::vector<int>{40, -1}));
    bar->WindowProc = previous;
}

TEST_F(Bars, ToolButtonClicksReachTheirHandlersAlsoAfterTheBarMoved) {
    auto* holder = new TControlBar(form_);
    holder->SetParent(form_);
    auto* other = new TControlBar(form_);
    other->SetParent(form_);
    auto* bar = new TToolBar(form_);
    bar->SetParent(holder);
    std::vector<std::string> clicks;
    for (const char* caption : {"Open", "Save", "Close"}) {
        auto* button = new TToolButton(form_);
        button->SetCaption(caption);
        button->SetToolBar(bar);
        button->OnClick = [&clicks, button](TObject* sender) {
            EXPECT_EQ(sender, button);
            clicks.push_back(button->Caption());
        };
    }
    form_->Show();
    EXPECT_EQ(::SendMessageW(bar->Handle(), TB_BUTTONCOUNT, 0, 0), 3);

    ClickButton(*bar, 1);
    EXPECT_EQ(clicks, (std::vector<std::string>{"Save"}));

    bar->SetParent(other);
    ClickButton(*bar, 2);
    EXPECT_EQ(clicks, (std::vector<std::string>{"Save", "Close"}));

    bar->Buttons(0)->SetEnabled(false);
    ClickButton(*bar, 0);
    EXPECT_EQ(clicks.size(), 2u) << "a disabled button does not click";

    delete bar->Buttons(1);
    EXPECT_EQ(bar->ButtonCount(), 2);
    EXPECT_EQ(::SendMessageW(bar->Handle(), TB_BUTTONCOUNT, 0, 0), 2);
    ClickButton(*bar, 1);
    EXPECT_EQ(clicks.back(), "Close") << "the buttons after a removed one keep their handlers";
}

TEST_F(Bars, AButtonOutlivesItsBar) {
    auto* bar = new TToolBar(form_);
    bar->SetParent(form_);
    auto button = std::make_unique<TToolButton>(nullptr);
    button->SetToolBar(bar);
    delete bar;
    EXPECT_EQ(button->ToolBar(), nullptr);
    EXPECT_EQ(button->Index(), -1);
}

TEST_F(Bars, TheControlBarPaintsItsColour) {
    auto* bar = new TControlBar(form_);
    bar->SetParent(form_);
    bar->SetColor(0x0000C0);
    EXPECT_EQ(BackgroundOf(bar->Handle()), RGB(0xC0, 0, 0));
    bar->SetColor(clSystemColor | COLOR_MENU);
    EXPECT_EQ(BackgroundOf(bar->Handle()), ::GetSysColor(COLOR_MENU));
}

TEST_F(Bars, WhoeverHoldsABarHearsOnceThatItGoes) {
    auto* statusBar = new TStatusBar(form_);
    auto* toolBar = new TToolBar(form_);
    auto* controlBar = new TControlBar(form_);
    int watcherA = 0, watcherB = 0;
    std::vector<std::string> heard;
    AddFreeNotification(statusBar, &watcherA, [&] { heard.push_back("A: status bar"); });
    AddFreeNotification(statusBar, &watcherB, [&] { heard.push_back("B: status bar"); });
    AddFreeNotification(toolBar, &watcherA, [&] { heard.push_back("A: tool bar"); });
    AddFreeNotification(controlBar, &watcherA, [&] { heard.push_back("A: control bar"); });
    RemoveFreeNotification(statusBar, &watcherB);
    AddFreeNotification(toolBar, &watcherA, [&] { heard.push_back("A: tool bar again"); });

    delete statusBar;
    delete toolBar;
    EXPECT_EQ(heard, (std::vector<std::string>{"A: status bar", "A: tool bar again"}))
        << "a watcher holds one subscription per component";

    RemoveFreeNotifications(&watcherA);
    delete controlBar;
    EXPECT_EQ(heard.size(), 2u);
}

TEST_F(Bars, AFailingWatcherDoesNotStopTheBarFromGoing) {
    auto* bar = new TStatusBar(form_);
    int watcher = 0;
    AddFreeNotification(bar, &watcher, [] { throw EInvalidOperation("watcher failed"); });
    AnsiString reported;
    Application->OnException = [&](TObject*, Exception& error) { reported = error.Message(); };
    delete bar;
    EXPECT_EQ(reported, "watcher failed");
    EXPECT_EQ(form_->ComponentCount(), 0);
}

TEST_F(Bars, BarsAreReadFromAStoredDescription) {
    const TFormObject description = ParseFormText(
        "object BarForm: TForm\n"
        "  object ControlBar1: TControlBar\n"
        "    Color = clWhite\n"
        "    object ToolBar1: TToolBar\n"
        "      Align = alNone\n"
        "      object ToolButton1: TToolButton\n"
        "        Caption = 'Go'\n"
        "      end\n"
        "    end\n"
        "  end\n"
        "  object StatusBar1: TStatusBar\n"
        "    SimplePanel = True\n"
        "    SizeGrip = False\n"
        "  end\n"
        "end\n");
    ReadComponentFromForm(*form_, description);
    auto* controlBar = dynamic_cast<TControlBar*>(form_->FindComponent("ControlBar1"));
    auto* toolBar = dynamic_cast<TToolBar*>(form_->FindComponent("ToolBar1"));
    auto* button = dynamic_cast<TToolButton*>(form_->FindComponent("ToolButton1"));
    auto* statusBar = dynamic_cast<TStatusBar*>(form_->FindComponent("StatusBar1"));
    ASSERT_TRUE(controlBar && toolBar && button && statusBar);
    EXPECT_EQ(controlBar->Color(), clWhite);
    EXPECT_EQ(toolBar->Parent(), controlBar);
    EXPECT_EQ(button->ToolBar(), toolBar);
    EXPECT_EQ(button->Caption(), "Go");
    EXPECT_TRUE(statusBar->SimplePanel());
    EXPECT_FALSE(statusBar->SizeGrip());
    EXPECT_EQ(statusBar->Align(), alBottom);
}

} // namespace
