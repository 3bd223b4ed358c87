// Memos: lines before and after the window exists, batched updates, read-only text set by the
// program, scroll bars and wrapping changed at run time, files, keys and colours.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "Memo.h"
#include "StdCtrls.h"
#include "WineTestSupport.h"

namespace {

class Memos : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(
            std::initializer_list<const TUnitInfo*>{&RtlFormsUnit, &RtlStdCtrlsUnit});
        form_ = TCustomForm::CreateNew<TForm>(Application);
        form_->SetClientWidth(300);
        form_->SetClientHeight(200);
        memo_ = new TMemo(form_);
        memo_->SetParent(form_);
        memo_->SetBounds(10, 10, 200, 150);
    }
    void TearDown() override { units_.reset(); }
    LONG_PTR Style() { return ::GetWindowLongPtrW(memo_->Handle(), GWL_STYLE); }
    LRESULT LineCount() { return ::SendMessageW(memo_->Handle(), EM_GETLINECOUNT, 0, 0); }

    std::unique_ptr<TUnitStartup> units_;
    TForm* form_ = nullptr;
    TMemo* memo_ = nullptr;
};

TEST_F(Memos, LinesWorkBeforeAndAfterTheWindowExists) {
    TStrings& lines = memo_->Lines();
    ASSERT_FALSE(memo_->HandleAllocated());
    EXPECT_EQ(lines.Add("alpha"), 0);
    EXPECT_EQ(lines.Add("gamma"), 1);
    lines.Insert(1, "beta");
    EXPECT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines.Text(), "alpha\r\nbeta\r\ngamma\r\n");
    EXPECT_EQ(memo_->GetText(), "alpha\r\nbeta\r\ngamma");

    HWND window = memo_->Handle();
    EXPECT_EQ(WindowTextA(window), "alpha\r\nbeta\r\ngamma");
    lines.Add("delta");
    lines.Insert(0, "start");
    EXPECT_EQ(WindowTextA(window), "start\r\nalpha\r\nbeta\r\ngamma\r\ndelta");
    lines.Delete(2);
    lines.Delete(3);
    EXPECT_EQ(WindowTextA(window), "start\r\nalpha\r\ngamma");
    lines.SetStrings(1, "ALPHA");
    EXPECT_EQ(lines[1], "ALPHA");
    EXPECT_EQ(MessageOf([&] { lines.Strings(9); }), "List index out of bounds (9)");
    EXPECT_THROW(lines.Insert(7, "x"), EStringListError);

    // What the user typed is what the lines read.
    ::SetWindowTextA(window, "typed\r\nby hand\r\n");
    EXPECT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines[1], "by hand");
    lines.Add("more");
    EXPECT_EQ(WindowTextA(window), "typed\r\nby hand\r\nmore") << "no empty line in between";
    lines.SetText("one\ntwo\rthree");
    EXPECT_EQ(WindowTextA(window), "one\r\ntwo\r\nthree") << "every break as CR LF";
    lines.Clear();
    EXPECT_EQ(lines.Count(), 0);
    EXPECT_EQ(WindowTextA(window), "");

    // The text survives the window.
    lines.SetText("kept\r\n");
    memo_->DestroyHandle();
    EXPECT_EQ(lines.Count(), 1);
    EXPECT_EQ(WindowTextA(memo_->Handle()), "kept\r\n");
}

TEST_F(Memos, FiveHundredLinesInOneUpdateBracketReachTheWindowOnce) {
    memo_->SetWordWrap(false);
    HWND window = memo_->Handle();
    TStrings& lines = memo_->Lines();
    std::vector<WPARAM> redraws;
    TMemo* memo = memo_;
    memo_->WindowProc = [&redraws, memo](TMessage& message) {
        if (message.Msg == WM_SETREDRAW)
            redraws.push_back(message.WParam);
        static_cast<TControl*>(memo)->WndProc(message);
    };
    lines.Add("header");
    lines.BeginUpdate();
    lines.BeginUpdate();
    EXPECT_EQ(redraws, std::vector<WPARAM>{FALSE}) << "drawing is off while the update is open";
    int32_t last = -1;
    for (int i = 0; i < 500; ++i)
        last = lines.Add("Line " + std::to_string(i));
    EXPECT_EQ(last, 500);
    EXPECT_EQ(WindowTextA(window), "header") << "the lines wait for the bracket to close";
    lines.EndUpdate();
    EXPECT_EQ(redraws, std::vector<WPARAM>{FALSE}) << "brackets are counted";
    EXPECT_EQ(WindowTextA(window), "header");
    lines.EndUpdate();
    EXPECT_EQ(redraws, (std::vector<WPARAM>{FALSE, TRUE}));
    EXPECT_EQ(LineCount(), 501);
    EXPECT_EQ(lines.Count(), 501);
    EXPECT_EQ(lines[500], "Line 499");

    // Reading within a bracket sees what was added so far.
    lines.BeginUpdate();
    lines.Add("read back");
    EXPECT_EQ(lines[501], "read back");
    lines.EndUpdate();

    // No text limit: far beyond the edit window's default of some 32,000 characters.
    lines.BeginUpdate();
    for (int i = 0; i < 1000; ++i)
        lines.Add(std::string(60, 'x'));
    lines.EndUpdate();
    EXPECT_EQ(lines.Count(), 1502);
    EXPECT_GT(::GetWindowTextLengthA(window), 60000);
}

TEST_F(Memos, AProgramSetsTheTextOfAReadOnlyMemoThroughLines) {
    memo_->SetReadOnly(true);
    HWND window = memo_->Handle();
    EXPECT_TRUE(Style() & ES_READONLY);
    memo_->Lines().SetText("first\r\nsecond\r\n");
    memo_->Lines().Add("third");
    memo_->Lines().Insert(0, "zeroth");
    memo_->Lines().Delete(1);
    EXPECT_EQ(WindowTextA(window), "zeroth\r\nsecond\r\nthird");
    // The user still cannot type.
    ::SendMessageA(window, WM_CHAR, 'q', 0);
    EXPECT_EQ(WindowTextA(window), "zeroth\r\nsecond\r\nthird");
    memo_->SetReadOnly(false);
    EXPECT_FALSE(Style() & ES_READONLY);
}

TEST_F(Memos, ScrollBarsAndWrappingChangeAtRunTime) {
    memo_->Lines().SetText("kept text");
    EXPECT_FALSE(Style() & (WS_HSCROLL | WS_VSCROLL));
    EXPECT_FALSE(Style() & ES_AUTOHSCROLL);
    memo_->SetScrollBars(ssVertical);
    EXPECT_TRUE(Style() & WS_VSCROLL);
    EXPECT_FALSE(Style() & WS_HSCROLL);
    memo_->SetScrollBars(ssBoth);
    EXPECT_TRUE(Style() & WS_VSCROLL);
    EXPECT_TRUE(Style() & WS_HSCROLL);
    memo_->SetScrollBars(ssNone);
    EXPECT_FALSE(Style() & (WS_HSCROLL | WS_VSCROLL));
    EXPECT_EQ(memo_->Lines().Text(), "kept text\r\n");
    EXPECT_EQ(::GetParent(memo_->Handle()), form_->Handle());

    // A line of 2,000 characters wraps into many lines, or stays one without word wrap.
    memo_->Lines().Clear();
    memo_->Lines().Add(std::string(1000, 'w') + " " + std::string(999, 'w'));
    memo_->Lines().Add("end");
    EXPECT_GT(LineCount(), 2);
    memo_->SetWordWrap(false);
    EXPECT_TRUE(Style() & ES_AUTOHSCROLL);
    EXPECT_EQ(LineCount(), 2);
    EXPECT_EQ(memo_->Lines()[0].size(), 2000u);
}

TEST_F(Memos, LinesAreSavedAsAnsiWithCrLf) {
    ScratchFolder folder(L"FerruleMemoTest");
    const std::wstring path = folder.Path() + L"\\lines.txt";
    memo_->Handle();
    memo_->Lines().SetText("caf\xE9\nline two");
    const AnsiString ansiPath(path.begin(), path.end());
    memo_->Lines().SaveToFile(ansiPath);
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, "caf\xE9\r\nline two\r\n");
    EXPECT_THROW(memo_->Lines().SaveToFile(ansiPath + "\\no\\such\\folder\\x.txt"), EFCreateError);
}

TEST_F(Memos, EnterBelongsToTheFormUnlessTheMemoWantsIt) {
    auto* button = new TButton(form_);
    button->SetParent(form_);
    button->SetLeft(220);
    button->SetDefault(true);
    form_->Show();
    int clicks = 0;
    button->OnClick = [&](TObject*) { ++clicks; };
    HWND window = memo_->Handle();
    memo_->Lines().SetText("a");
    memo_->SetSelStart(1);
    ::SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    ::SendMessageA(window, WM_CHAR, '\r', 0);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(WindowTextA(window), "a\r\n");

    memo_->SetWantReturns(false);
    EXPECT_FALSE(Style() & ES_WANTRETURN);
    ::SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    ::SendMessageA(window, WM_CHAR, '\r', 0);
    EXPECT_EQ(clicks, 1) << "the default button";
    EXPECT_EQ(WindowTextA(window), "a\r\n") << "and no line break";
}

TEST_F(Memos, AParentColouredMemoPaintsInItsParentsColour) {
    HWND window = memo_->Handle();
    const auto brushColour = [&](UINT message) {
        const WindowDC dc = WindowDC::OfClient(window);
        const auto brush = reinterpret_cast<HBRUSH>(::SendMessageW(
            form_->Handle(), message, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(window)));
        LOGBRUSH info{};
        if (brush == nullptr || ::GetObjectW(brush, sizeof info, &info) == 0)
            return COLORREF(CLR_INVALID);
        return info.lbColor;
    };
    EXPECT_EQ(memo_->Color(), clWindow);
    EXPECT_EQ(brushColour(WM_CTLCOLOREDIT), ColorToRGB(clWindow));
    memo_->SetParentColor(true);
    EXPECT_EQ(memo_->Color(), clBtnFace);
    EXPECT_EQ(brushColour(WM_CTLCOLORSTATIC), ColorToRGB(clBtnFace)) << "read-only memos ask as statics";
    form_->SetColor(RGB(10, 20, 30));
    EXPECT_EQ(memo_->Color(), RGB(10, 20, 30)) << "and follows the parent";
    memo_->SetColor(clWhite);
    EXPECT_FALSE(memo_->ParentColor());
    form_->SetColor(clBtnFace);
    EXPECT_EQ(memo_->Color(), clWhite);
}

} // namespace
