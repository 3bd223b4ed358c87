// Message dialogs: captions, the layout from the message font, default and cancel buttons, the
// keys and clicks that end the modal loop, copying the dialog as text, and wide text throughout.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

#include "DeviceContexts.h"
#include "Handles.h"
#include "VynDialogs.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

WideString FromWin(const wchar_t* text) { return WideString(reinterpret_cast<const char16_t*>(text)); }

WideString WindowTextWide(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return FromWin(text);
}

WideString ClipboardText() {
    WideString text;
    if (!::OpenClipboard(nullptr))
        return u"<no clipboard>";
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const GlobalMemoryLock<const char16_t> units(data); units)
            text = units.get();
    }
    ::CloseClipboard();
    return text;
}

void SetClipboardText(const WideString& text) {
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    UniqueGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t)));
    if (const GlobalMemoryLock<char16_t> units(memory.get()); units)
        std::copy_n(text.c_str(), text.size() + 1, units.get());
    if (::SetClipboardData(CF_UNICODETEXT, memory.get()) != nullptr)
        static_cast<void>(memory.release()); // the clipboard owns it now
    ::CloseClipboard();
}

// Holds Ctrl (and Shift) down in the thread's key state while a key message is handled.
class THeldKeys {
public:
    explicit THeldKeys(std::initializer_list<BYTE> keys) {
        ::GetKeyboardState(saved_);
        BYTE state[256];
        std::copy(std::begin(saved_), std::end(saved_), state);
        for (BYTE key : keys)
            state[key] = 0x80;
        ::SetKeyboardState(state);
    }
    ~THeldKeys() { ::SetKeyboardState(saved_); }

private:
    BYTE saved_[256];
};

bool IsBetween(COLORREF colour, COLORREF from, COLORREF to) {
    const auto within = [](BYTE value, BYTE a, BYTE b) { return value >= std::min(a, b) && value <= std::max(a, b); };
    return within(GetRValue(colour), GetRValue(from), GetRValue(to)) &&
           within(GetGValue(colour), GetGValue(from), GetGValue(to)) &&
           within(GetBValue(colour), GetBValue(from), GetBValue(to));
}

// The share (in percent) of a pixel row near the top of the window's caption bar that shows a
// caption colour on the screen, read back from the screen itself: what the user sees, not what
// the window's style promises.
int CaptionColouredPercent(HWND window) {
    RECT outer;
    POINT clientTopLeft{0, 0};
    RECT client;
    if (!::GetWindowRect(window, &outer) || !::GetClientRect(window, &client) ||
        !::ClientToScreen(window, &clientTopLeft))
        return 0;
    const int y = clientTopLeft.y - ::GetSystemMetrics(SM_CYCAPTION) + 2;
    const int left = clientTopLeft.x + 2;
    // The close box at the right end is no caption colour.
    const int width = client.right - ::GetSystemMetrics(SM_CXSIZE) - 4;
    if (y < outer.top || width <= 0)
        return 0;
    const WindowDC screen = WindowDC::OfClient(nullptr);
    const UniqueMemoryDC memory(::CreateCompatibleDC(screen.get()));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const UniqueBitmap row(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    int coloured = 0;
    if (row && memory) {
        const SelectedObject selection(memory.get(), row.get());
        if (::BitBlt(memory.get(), 0, 0, width, 1, screen.get(), left, y, SRCCOPY)) {
            ::GdiFlush();
            const auto* pixels = static_cast<const BYTE*>(bits);
            for (int x = 0; x < width; ++x) {
                const COLORREF colour = RGB(pixels[4 * x + 2], pixels[4 * x + 1], pixels[4 * x]);
                if (IsBetween(colour, ::GetSysColor(COLOR_ACTIVECAPTION), ::GetSysColor(COLOR_GRADIENTACTIVECAPTION)) ||
                    IsBetween(colour, ::GetSysColor(COLOR_INACTIVECAPTION),
                              ::GetSysColor(COLOR_GRADIENTINACTIVECAPTION)))
                    ++coloured;
            }
        }
    }
    return coloured * 100 / width;
}

TVynButton* ButtonOf(TVynMessageForm& form, const char* name) {
    return dynamic_cast<TVynButton*>(form.FindComponent(name));
}

std::vector<TVynButton*> ButtonsOf(TVynMessageForm& form) {
    std::vector<TVynButton*> buttons;
    for (int i = 0; i < form.ComponentCount(); ++i)
        if (auto* button = dynamic_cast<TVynButton*>(form.Components(i)))
            buttons.push_back(button);
    return buttons;
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynFormsUnit});
        savedPlatform_ = VynPlatformIsNT;
        VynApplication->SetWideTitle(u"Dialog tests");
    }
    void TearDown() override {
        StopWatching();
        VynPlatformIsNT = savedPlatform_;
        units_.reset();
    }

    // Runs action with the message form as soon as it is shown; the dialog ends with -1 once the
    // time-out passes, so that a test cannot hang.
    void WhenShown(std::function<void(TVynMessageForm&)> action, UINT timeout = 5000) {
        StopWatching();
        pending_ = std::move(action);
        pollTimer_ = ::SetTimer(nullptr, 0, 20, &Poll);
        guardTimer_ = ::SetTimer(nullptr, 0, timeout, &Guard);
    }
    void StopWatching() {
        if (pollTimer_ != 0)
            ::KillTimer(nullptr, pollTimer_);
        if (guardTimer_ != 0)
            ::KillTimer(nullptr, guardTimer_);
        pollTimer_ = guardTimer_ = 0;
        pending_ = nullptr;
    }
    TModalResult ShowBounded(TVynMessageForm& form, UINT timeout = 5000) {
        WhenShown([](TVynMessageForm&) {}, timeout);
        const TModalResult result = form.ShowModal();
        StopWatching();
        return result;
    }

    static TVynMessageForm* ShownMessageForm() {
        TVynMessageForm* found = nullptr;
        ::EnumThreadWindows(::GetCurrentThreadId(), &FindShown, reinterpret_cast<LPARAM>(&found));
        return found;
    }

    std::unique_ptr<TUnitStartup> units_;
    bool savedPlatform_ = true;

private:
    static BOOL CALLBACK FindShown(HWND window, LPARAM result) {
        auto* form = dynamic_cast<TVynMessageForm*>(TWinControl::FromHandle(window));
        if (form == nullptr || !::IsWindowVisible(window))
            return TRUE;
        *reinterpret_cast<TVynMessageForm**>(result) = form;
        return FALSE;
    }
    static void CALLBACK Poll(HWND, UINT, UINT_PTR timer, DWORD) {
        TVynMessageForm* form = ShownMessageForm();
        if (form == nullptr || !pending_)
            return;
        ::KillTimer(nullptr, timer);
        pollTimer_ = 0;
        auto action = std::move(pending_);
        pending_ = nullptr;
        action(*form);
    }
    static void CALLBACK Guard(HWND, UINT, UINT_PTR, DWORD) {
        if (TVynMessageForm* form = ShownMessageForm())
            form->SetModalResult(-1);
    }

    static inline std::function<void(TVynMessageForm&)> pending_;
    static inline UINT_PTR pollTimer_ = 0;
    static inline UINT_PTR guardTimer_ = 0;
};

TEST_F(Dialogs, CaptionsOfTypesAndButtonsLookAtTheLowSevenBitsOnly) {
    EXPECT_EQ(GetMessageCaption(MsgWarning), u"Warning");
    EXPECT_EQ(GetMessageCaption(MsgError), u"Error");
    EXPECT_EQ(GetMessageCaption(MsgInformation), u"Information");
    EXPECT_EQ(GetMessageCaption(MsgConfirmation), u"Confirm");
    EXPECT_EQ(GetMessageCaption(MsgCustom), u"");
    EXPECT_EQ(GetMessageCaption(static_cast<MsgType>(0x83)), u"Confirm");
    EXPECT_EQ(MessageOf([] { GetMessageCaption(static_cast<MsgType>(5)); }),
              "Unexpected MsgType in GetMessageCaption.");
    EXPECT_THROW(GetMessageCaption(static_cast<MsgType>(0x85)), EVynInternalError);

    const std::vector<WideString> captions{u"&Yes",    u"&No",  u"OK",         u"Cancel",      u"&Abort", u"&Retry",
                                           u"&Ignore", u"&All", u"N&o to All", u"Yes to &All", u"&Help"};
    for (unsigned button = 0; button < captions.size(); ++button)
        EXPECT_EQ(GetButtonCaption(static_cast<MsgDlgBtn>(button)), captions[button]) << button;
    EXPECT_EQ(GetButtonCaption(static_cast<MsgDlgBtn>(0x82)), u"OK");
    EXPECT_EQ(MessageOf([] { GetButtonCaption(static_cast<MsgDlgBtn>(11)); }),
              "Unexpected MsgDlgBtn in GetButtonCaption.");
    EXPECT_THROW(GetButtonCaption(static_cast<MsgDlgBtn>(0x8B)), EVynInternalError);
}

TEST_F(Dialogs, ShowMessageHasNoIconTheTitleAsCaptionAndOneButtonThatIsDefaultAndCancel) {
    VynApplication->SetWideTitle(u"Setup \u4E2D\u6587");
    bool inspected = false;
    WhenShown([&](TVynMessageForm& form) {
        inspected = true;
        EXPECT_EQ(form.FindComponent("Image"), nullptr);
        EXPECT_EQ(form.Caption(), u"Setup \u4E2D\u6587");
        EXPECT_EQ(WindowTextWide(form.Handle()), u"Setup \u4E2D\u6587");
        ASSERT_EQ(ButtonsOf(form).size(), 1u);
        TVynButton* ok = ButtonOf(form, "OK");
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->Default());
        EXPECT_TRUE(ok->Cancel());
        EXPECT_EQ(ok->ModalResult(), mrOk);
        EXPECT_EQ(form.Message->Caption(), u"Nothing to do.");
        ::PostMessageW(ok->Handle(), BM_CLICK, 0, 0);
    });
    const int components = Application->ComponentCount();
    ShowMessageWide(u"Nothing to do.");
    EXPECT_TRUE(inspected);
    EXPECT_EQ(Application->ComponentCount(), components) << "the dialog is freed";

    // The same dialog through MessageDialogPos gives OK's result; Escape presses OK as well.
    WhenShown([](TVynMessageForm& form) { ::PostMessageW(ButtonOf(form, "OK")->Handle(), BM_CLICK, 0, 0); });
    EXPECT_EQ(MessageDialogPos(u"Again", MsgCustom, MsgButtons({MsgBtnOK}), 0, -1, -1), mrOk);
    WhenShown([](TVynMessageForm& form) { ::PostMessageW(form.Handle(), WM_KEYDOWN, VK_ESCAPE, 0); });
    EXPECT_EQ(MessageDialogPos(u"Again", MsgCustom, MsgButtons({MsgBtnOK}), 0, -1, -1), mrOk);
}

TEST_F(Dialogs, TheCaptionBarIsDrawnOnTheScreenAboveTheClientArea) {
    int outerHeight = 0, clientHeight = 0, captionPercent = 0;
    WhenShown([&](TVynMessageForm& form) {
        HWND window = form.Handle();
        RECT outer, client;
        ::GetWindowRect(window, &outer);
        ::GetClientRect(window, &client);
        outerHeight = outer.bottom - outer.top;
        clientHeight = client.bottom;
        // The screen shows the frame only once the window system has painted and flushed it.
        for (int attempt = 0; attempt < 100 && captionPercent < 75; ++attempt) {
            ::RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
            MSG message;
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
            ::Sleep(20);
            captionPercent = CaptionColouredPercent(window);
        }
        form.SetModalResult(mrOk);
    });
    EXPECT_EQ(MessageDialogPos(u"Where is my caption?", MsgInformation, MsgButtons({MsgBtnOK}), 0, -1, -1), mrOk);
    EXPECT_GE(outerHeight - clientHeight, ::GetSystemMetrics(SM_CYCAPTION));
    EXPECT_GE(captionPercent, 75) << "the caption bar is missing from the screen";
}

TEST_F(Dialogs, YesNoMakesYesTheDefaultAndNoTheCancelButton) {
    std::unique_ptr<TVynMessageForm> form(BuildMessageForm(u"Replace it?", MsgConfirmation, MsgYesNo));
    TVynButton* yes = ButtonOf(*form, "Yes");
    TVynButton* no = ButtonOf(*form, "No");
    ASSERT_NE(yes, nullptr);
    ASSERT_NE(no, nullptr);
    EXPECT_TRUE(yes->Default());
    EXPECT_FALSE(yes->Cancel());
    EXPECT_TRUE(no->Cancel());
    EXPECT_FALSE(no->Default());
    EXPECT_EQ(form->Caption(), u"Confirm");
    EXPECT_NE(form->FindComponent("Image"), nullptr);

    ::PostMessageW(form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(ShowBounded(*form), mrNo);
    ::PostMessageW(form->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(ShowBounded(*form), mrYes);
    // Closing the window counts as cancelling, as for any modal form.
    ::PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(ShowBounded(*form), mrCancel);
}

TEST_F(Dialogs, AbortRetryIgnoreDefaultsToRetryAndEscapeDoesNotEndIt) {
    std::unique_ptr<TVynMessageForm> form(BuildMessageForm(u"Drive not ready.", MsgError, MsgAbortRetryIgnore));
    EXPECT_TRUE(ButtonOf(*form, "Retry")->Default());
    for (TVynButton* button : ButtonsOf(*form))
        EXPECT_FALSE(button->Cancel()) << button->Name();
    EXPECT_EQ(ButtonOf(*form, "OK"), nullptr);

    ::PostMessageW(form->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(ShowBounded(*form, 700), -1) << "no button answers Escape, so the dialog stays";
    ::PostMessageW(form->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(ShowBounded(*form), mrRetry);
    ::PostMessageW(ButtonOf(*form, "Ignore")->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(ShowBounded(*form), mrIgnore);
}

TEST_F(Dialogs, ButtonsStandInValueOrderCentredBelowTheTextWithTheirResults) {
    const MsgDlgButtons all = 0xFFFF;
    std::unique_ptr<TVynMessageForm> form(BuildMessageForm(u"Overwrite?", MsgWarning, all));
    const std::vector<TVynButton*> buttons = ButtonsOf(*form);
    const std::vector<AnsiString> names{"Yes",    "No",  "OK",      "Cancel",   "Abort", "Retry",
                                        "Ignore", "All", "NoToAll", "YesToAll", "Help"};
    const std::vector<TModalResult> results{6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 0};
    ASSERT_EQ(buttons.size(), names.size()) << "bits above the help button name no button";
    const int vertMargin = form->Message->Top();
    for (size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i]->Name(), names[i]);
        EXPECT_EQ(buttons[i]->ModalResult(), results[i]) << names[i];
        EXPECT_EQ(buttons[i]->Caption(), GetButtonCaption(static_cast<MsgDlgBtn>(i)));
        EXPECT_EQ(buttons[i]->Width(), buttons[0]->Width());
        EXPECT_EQ(buttons[i]->Height(), buttons[0]->Height());
        EXPECT_EQ(buttons[i]->Top(), buttons[0]->Top());
        if (i > 0) {
            EXPECT_EQ(buttons[i]->Left() - buttons[i - 1]->Left(), buttons[1]->Left() - buttons[0]->Left());
        }
    }
    EXPECT_TRUE(ButtonOf(*form, "OK")->Default());
    EXPECT_TRUE(ButtonOf(*form, "Cancel")->Cancel());
    EXPECT_GT(buttons[1]->Left() - (buttons[0]->Left() + buttons[0]->Width()), 0) << "spaced apart";

    const int clientWidth = form->ClientWidth();
    const int leftGap = buttons.front()->Left();
    const int rightGap = clientWidth - (buttons.back()->Left() + buttons.back()->Width());
    EXPECT_LE(std::abs(leftGap - rightGap), 1) << "the row is centred";
    EXPECT_EQ(buttons[0]->Top() + buttons[0]->Height() + vertMargin, form->ClientHeight());
    EXPECT_GT(buttons[0]->Top(), form->Message->Top() + form->Message->Height());
    EXPECT_GT(buttons[0]->Top(), 32 + vertMargin) << "below the icon";

    // The form is centred on the screen.
    EXPECT_EQ(form->Left(), ::GetSystemMetrics(SM_CXSCREEN) / 2 - form->Width() / 2);
    EXPECT_EQ(form->Top(), ::GetSystemMetrics(SM_CYSCREEN) / 2 - form->Height() / 2);

    // The help button leaves the dialog open; the next button ends it.
    ::PostMessageW(ButtonOf(*form, "Help")->Handle(), BM_CLICK, 0, 0);
    ::PostMessageW(ButtonOf(*form, "NoToAll")->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(ShowBounded(*form), mrNoToAll);
}

TEST_F(Dialogs, IconAndTextSitSideBySideAndAnEmptyButtonSetLeavesOnlyMargins) {
    std::unique_ptr<TVynMessageForm> plain(BuildMessageForm(u"Just text", MsgCustom, 0));
    EXPECT_TRUE(ButtonsOf(*plain).empty());
    TVynLabel* label = plain->Message;
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Name(), "Message");
    EXPECT_TRUE(label->WordWrap());
    EXPECT_EQ(plain->ClientWidth(), label->Width() + 2 * label->Left()) << "the text's width and two margins";
    EXPECT_GT(plain->ClientHeight(), label->Top() + label->Height()) << "the row of buttons keeps its place";

    std::unique_ptr<TVynMessageForm> withIcon(BuildMessageForm(u"Just text", MsgInformation, 0));
    auto* image = dynamic_cast<TVynImage*>(withIcon->FindComponent("Image"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Icon(), ::LoadIconW(nullptr, IDI_ASTERISK));
    const int horzMargin = plain->Message->Left();
    EXPECT_EQ(image->BoundsRect().left, horzMargin);
    EXPECT_EQ(image->Top(), withIcon->Message->Top());
    EXPECT_EQ(image->Width(), 32);
    EXPECT_EQ(image->Height(), 32);
    EXPECT_GT(withIcon->Message->Left(), image->Left() + image->Width()) << "spaced from the icon";
    EXPECT_EQ(withIcon->Message->Width(), label->Width());
    EXPECT_EQ(withIcon->ClientWidth(), withIcon->Message->Left() + withIcon->Message->Width() + horzMargin);
    EXPECT_GE(withIcon->ClientHeight() - plain->ClientHeight(), 32 - label->Height());

    const std::vector<std::pair<MsgType, LPCWSTR>> icons{
        {MsgWarning, IDI_EXCLAMATION}, {MsgError, IDI_HAND}, {MsgConfirmation, IDI_QUESTION}};
    for (const auto& [type, icon] : icons) {
        std::unique_ptr<TVynMessageForm> form(BuildMessageForm(u"x", type, 0));
        EXPECT_EQ(dynamic_cast<TVynImage*>(form->FindComponent("Image"))->Icon(), ::LoadIconW(nullptr, icon));
    }
}

TEST_F(Dialogs, LongMessagesWrapAtHalfTheScreenAndTabsExpand) {
    WideString longMessage;
    for (int i = 0; i < 60; ++i)
        longMessage += u"component ";
    std::unique_ptr<TVynMessageForm> wrapped(BuildMessageForm(longMessage, MsgCustom, MsgButtons({MsgBtnOK})));
    std::unique_ptr<TVynMessageForm> single(BuildMessageForm(u"component", MsgCustom, MsgButtons({MsgBtnOK})));
    const int lineHeight = single->Message->Height();
    EXPECT_LE(wrapped->Message->Width(), ::GetSystemMetrics(SM_CXSCREEN) / 2);
    EXPECT_GT(wrapped->Message->Width(), ::GetSystemMetrics(SM_CXSCREEN) / 2 - 100);
    EXPECT_GE(wrapped->Message->Height(), 3 * lineHeight);
    EXPECT_EQ(wrapped->Message->Caption(), longMessage);

    std::unique_ptr<TVynMessageForm> tabbed(BuildMessageForm(u"a\tb", MsgCustom, 0));
    std::unique_ptr<TVynMessageForm> untabbed(BuildMessageForm(u"ab", MsgCustom, 0));
    EXPECT_GT(tabbed->Message->Width(), untabbed->Message->Width() * 2);
    EXPECT_EQ(tabbed->Message->Height(), lineHeight);

    // An ampersand in a message is text, not an accelerator mark.
    std::unique_ptr<TVynMessageForm> ampersand(BuildMessageForm(u"a&&&&&&&&b", MsgCustom, 0));
    std::unique_ptr<TVynMessageForm> plain(BuildMessageForm(u"ab", MsgCustom, 0));
    EXPECT_GT(ampersand->Message->Width(), plain->Message->Width() * 2);
    EXPECT_FALSE(ampersand->Message->ShowAccelChar());
}

TEST_F(Dialogs, APositionGivenOnOneAxisKeepsTheCentredPositionOnTheOther) {
    auto shownAt = [&](int x, int y) {
        RECT rect{-1, -1, -1, -1};
        WhenShown([&](TVynMessageForm& form) {
            ::GetWindowRect(form.Handle(), &rect);
            form.SetModalResult(mrOk);
        });
        const int32_t result = MessageDialogPos(u"Where am I?", MsgInformation, MsgButtons({MsgBtnOK}), 0, x, y);
        StopWatching();
        EXPECT_EQ(result, mrOk);
        return rect;
    };
    const RECT centred = shownAt(-1, -1);
    const int width = centred.right - centred.left;
    const int height = centred.bottom - centred.top;
    EXPECT_EQ(centred.left, ::GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2);
    EXPECT_EQ(centred.top, ::GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2);

    const RECT left100 = shownAt(100, -1);
    EXPECT_EQ(left100.left, 100);
    EXPECT_EQ(left100.top, centred.top);
    const RECT top7 = shownAt(-1, 7);
    EXPECT_EQ(top7.left, centred.left);
    EXPECT_EQ(top7.top, 7);
    const RECT both = shownAt(0, 0);
    EXPECT_EQ(both.left, 0);
    EXPECT_EQ(both.top, 0);
}

TEST_F(Dialogs, CtrlCCopiesTheDialogAsTextAndCtrlShiftCDoesNothing) {
    std::unique_ptr<TVynMessageForm> form(BuildMessageForm(u"Disk \u4E2D full", MsgWarning, MsgYesNoCancel));
    const WideString expected = u"---------------------------\r\n"
                                u"Warning\r\n"
                                u"---------------------------\r\n"
                                u"Disk \u4E2D full\r\n"
                                u"---------------------------\r\n"
                                u"Yes   No   Cancel   \r\n"
                                u"---------------------------\r\n";
    EXPECT_EQ(form->DialogClipboardText(), expected);

    SetClipboardText(u"untouched");
    {
        THeldKeys keys{VK_CONTROL, VK_SHIFT};
        ::SendMessageW(form->Handle(), WM_KEYDOWN, 'C', 0);
    }
    EXPECT_EQ(ClipboardText(), u"untouched");
    {
        THeldKeys keys{VK_CONTROL};
        ::SendMessageW(form->Handle(), WM_KEYDOWN, 'X', 0);
    }
    EXPECT_EQ(ClipboardText(), u"untouched");
    {
        // The form previews the keys of its buttons.
        THeldKeys keys{VK_CONTROL};
        ::SendMessageW(ButtonOf(*form, "No")->Handle(), WM_KEYDOWN, 'C', 0);
    }
    EXPECT_EQ(ClipboardText(), expected);

    SetClipboardText(u"untouched");
    WORD key = 'C';
    form->OnKeyDown(form.get(), key, ssCtrl | ssAlt);
    EXPECT_EQ(ClipboardText(), u"untouched");
    form->OnKeyDown(form.get(), key, ssCtrl);
    EXPECT_EQ(ClipboardText(), expected);
}

TEST_F(Dialogs, AnotherThreadCanEndTheDialogByPressingAButton) {
    std::thread presser([] {
        for (int attempt = 0; attempt < 250; ++attempt) {
            HWND dialog = ::FindWindowW(L"TVynMessageForm.UnicodeClass", L"Confirm");
            HWND no = dialog != nullptr ? ::FindWindowExW(dialog, nullptr, nullptr, L"&No") : nullptr;
            if (no != nullptr && ::IsWindowVisible(dialog)) {
                ::PostMessageW(no, BM_CLICK, 0, 0);
                return;
            }
            ::Sleep(20);
        }
    });
    WhenShown([](TVynMessageForm&) {}, 8000);
    const int32_t result = MessageDialogPos(u"Keep the old files?", MsgConfirmation, MsgYesNoCancel, 0, -1, -1);
    presser.join();
    EXPECT_EQ(result, mrNo);
}

TEST_F(Dialogs, ShowMessageFmtFormatsWideTextAndFormattingErrorsComeFirst) {
    WideString shown;
    WhenShown([&](TVynMessageForm& form) {
        shown = form.Message->Caption();
        form.SetModalResult(mrOk);
    });
    ShowMessageFmtWide(u"%s is missing (version %d or later).", {u"\u4E2D DAO", 3});
    EXPECT_EQ(shown, u"\u4E2D DAO is missing (version 3 or later).");

    const int components = Application->ComponentCount();
    bool dialogShown = false;
    WhenShown([&](TVynMessageForm& form) {
        dialogShown = true;
        form.SetModalResult(mrOk);
    }, 500);
    EXPECT_ANY_THROW(ShowMessageFmtWide(u"%d components", {u"not a number"}));
    EXPECT_EQ(Application->ComponentCount(), components);
    EXPECT_FALSE(dialogShown);
}

TEST_F(Dialogs, WideTextReachesUnicodeWindowsOnNtAndAnsiWindowsElsewhere) {
    {
        std::unique_ptr<TVynMessageForm> form(BuildMessageForm(u"\u4E2D\u6587 text", MsgInformation, MsgYesNo));
        EXPECT_TRUE(::IsWindowUnicode(form->Handle()));
        TVynButton* yes = ButtonOf(*form, "Yes");
        EXPECT_TRUE(::IsWindowUnicode(yes->Handle()));
        EXPECT_EQ(WindowTextWide(yes->Handle()), u"&Yes");
        EXPECT_EQ(ClassNameOf(yes->Handle()), L"TVynButton.UnicodeClass");
        EXPECT_EQ(form->Message->Caption(), u"\u4E2D\u6587 text");
        EXPECT_EQ(WindowTextWide(form->Handle()), u"Information");
        yes->SetCaption(u"\u662F");
        EXPECT_EQ(WindowTextWide(yes->Handle()), u"\u662F");
        EXPECT_EQ(yes->Caption(), u"\u662F");
    }
    VynPlatformIsNT = false;
    {
        std::unique_ptr<TVynMessageForm> form(BuildMessageForm(u"Plain text", MsgInformation, MsgYesNo));
        EXPECT_FALSE(::IsWindowUnicode(form->Handle()));
        EXPECT_FALSE(::IsWindowUnicode(ButtonOf(*form, "No")->Handle()));
        EXPECT_EQ(WindowTextWide(ButtonOf(*form, "No")->Handle()), u"&No");
        EXPECT_EQ(form->Caption(), u"Information");
        EXPECT_EQ(form->Message->Caption(), u"Plain text");
        ::PostMessageW(ButtonOf(*form, "No")->Handle(), BM_CLICK, 0, 0);
        EXPECT_EQ(ShowBounded(*form), mrNo);
    }
}

TEST_F(Dialogs, RightToLeftPutsTheIconOnTheRightAndTheTextBesideIt) {
    Application->SetBiDiMode(bdRightToLeft);
    std::unique_ptr<TVynMessageForm> form(BuildMessageForm(u"A message long enough to be wider than a button",
                                                           MsgWarning, MsgButtons({MsgBtnOK})));
    Application->SetBiDiMode(bdLeftToRight);
    std::unique_ptr<TVynMessageForm> mirror(BuildMessageForm(u"A message long enough to be wider than a button",
                                                             MsgWarning, MsgButtons({MsgBtnOK})));
    EXPECT_EQ(form->BiDiMode(), bdRightToLeft);
    EXPECT_EQ(form->Message->BiDiMode(), bdRightToLeft);
    const TControl* image = dynamic_cast<TControl*>(form->FindComponent("Image"));
    const TControl* mirrorImage = dynamic_cast<TControl*>(mirror->FindComponent("Image"));
    const int clientWidth = form->ClientWidth();
    EXPECT_EQ(form->ClientWidth(), mirror->ClientWidth());
    // Each control mirrors its left-to-right place.
    EXPECT_EQ(image->Left(), clientWidth - mirrorImage->Left() - mirrorImage->Width());
    EXPECT_EQ(form->Message->Left(), clientWidth - mirror->Message->Left() - mirror->Message->Width());
    EXPECT_LT(form->Message->Left() + form->Message->Width(), image->Left()) << "text and icon do not overlap";
}

} // namespace
