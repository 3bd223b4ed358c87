#include "VynDialogs.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <memory>

#include "Clipbrd.h"
#include "TextConversion.h"
#include "VynDialogsResStr.h"
#include "VynFormatStrUtils.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"
#include "Unattended.h"

namespace {

using namespace ResStr::VynDialogs;

constexpr unsigned ButtonCount = MsgBtnHelp + 1;
// The set bits that name buttons.
constexpr MsgDlgButtons KnownButtons = static_cast<MsgDlgButtons>((1u << ButtonCount) - 1);

struct TButtonInfo {
    const char* Name;
    const TResStringRec* Caption;
    TModalResult Result;
};

const TButtonInfo& ButtonInfo(unsigned button) {
    static const TButtonInfo buttons[ButtonCount]{
        {"Yes", &SMsgDlgYes, mrYes},
        {"No", &SMsgDlgNo, mrNo},
        {"OK", &SMsgDlgOK, mrOk},
        {"Cancel", &SMsgDlgCancel, mrCancel},
        {"Abort", &SMsgDlgAbort, mrAbort},
        {"Retry", &SMsgDlgRetry, mrRetry},
        {"Ignore", &SMsgDlgIgnore, mrIgnore},
        {"All", &SMsgDlgAll, mrAll},
        {"NoToAll", &SMsgDlgNoToAll, mrNoToAll},
        {"YesToAll", &SMsgDlgYesToAll, mrYesToAll},
        // The help button shows help and leaves the dialog open.
        {"Help", &SMsgDlgHelp, mrNone},
    };
    return buttons[button];
}

// The system icon of a dialog type, or 0 for none.
WORD IconOf(unsigned type) {
    switch (type) {
    case MsgWarning:
        return 32515; // IDI_EXCLAMATION
    case MsgError:
        return 32513; // IDI_HAND
    case MsgInformation:
        return 32516; // IDI_ASTERISK
    case MsgConfirmation:
        return 32514; // IDI_QUESTION
    default:
        return 0;
    }
}

bool Contains(MsgDlgButtons set, unsigned button) {
    return (set & (1u << button)) != 0;
}

// The size Windows before Vista gives the structure; newer systems accept it too and it leaves
// out only the padded border width, which the dialog does not need.
constexpr UINT ClassicNonClientMetricsSize = 340;
static_assert(sizeof(NONCLIENTMETRICSA) >= ClassicNonClientMetricsSize);

WideString WithoutAmpersands(WideString text) {
    text.erase(std::remove(text.begin(), text.end(), u'&'), text.end());
    return text;
}

// Gives a borrowed device context back to the system when the measuring is done.
class TReleaseCanvasAtEnd {
public:
    explicit TReleaseCanvasAtEnd(TCanvas& canvas) : canvas_(canvas) {}
    ~TReleaseCanvasAtEnd() {
        if (auto* controlCanvas = dynamic_cast<TControlCanvas*>(&canvas_))
            controlCanvas->Release();
    }
    TReleaseCanvasAtEnd(const TReleaseCanvasAtEnd&) = delete;
    TReleaseCanvasAtEnd& operator=(const TReleaseCanvasAtEnd&) = delete;

private:
    TCanvas& canvas_;
};

WideString ApplicationWideTitle() {
    if (VynApplication != nullptr)
        return VynApplication->WideTitle();
    return Application != nullptr ? AnsiToWide(Application->Title()) : WideString();
}

} // namespace

WideString GetMessageCaption(MsgType type) {
    switch (type & 0x7F) {
    case MsgWarning:
        return LoadResStringWide(&SMsgDlgWarning);
    case MsgError:
        return LoadResStringWide(&SMsgDlgError);
    case MsgInformation:
        return LoadResStringWide(&SMsgDlgInformation);
    case MsgConfirmation:
        return LoadResStringWide(&SMsgDlgConfirm);
    case MsgCustom:
        return {};
    default:
        throw EVynInternalError("Unexpected MsgType in GetMessageCaption.");
    }
}

WideString GetButtonCaption(MsgDlgBtn button) {
    const unsigned value = button & 0x7Fu;
    if (value >= ButtonCount)
        throw EVynInternalError("Unexpected MsgDlgBtn in GetButtonCaption.");
    return LoadResStringWide(ButtonInfo(value).Caption);
}

// ---- TVynMessageForm

const TClassInfo& TVynMessageForm::StaticClassInfo() {
    static const TClassInfo info{
        "TVynMessageForm",
        &TVynForm::StaticClassInfo(),
        {},
        {},
        {PublishedField<TVynMessageForm, TVynLabel>("Message", &TVynMessageForm::Message)},
    };
    return info;
}

TVynMessageForm::TVynMessageForm(TComponent* owner) : TVynForm(owner, StaticClassInfo()) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = ClassicNonClientMetricsSize;
    if (::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, ClassicNonClientMetricsSize, &metrics, 0)) {
        if (HFONT font = ::CreateFontIndirectA(&metrics.lfMessageFont))
            Font().SetHandle(font);
    }
}

WideString TVynMessageForm::DialogClipboardText() {
    const WideString lineBreak = u"\r\n";
    const WideString divider = WideString(27, u'-') + lineBreak;
    WideString buttonCaptions;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* button = dynamic_cast<TVynButton*>(Components(i)))
            buttonCaptions += button->Caption() + u"   ";
    const WideString message = Message != nullptr ? Message->Caption() : WideString();
    return divider + Caption() + lineBreak + divider + message + lineBreak + divider +
           WithoutAmpersands(buttonCaptions) + lineBreak + divider;
}

void TVynMessageForm::CustomKeyDown(TObject*, WORD& key, TShiftState shift) {
    if (shift == ssCtrl && key == 'C') {
        ::MessageBeep(0);
        Clipboard().SetAsWideText(DialogClipboardText());
    }
}

bool TVynMessageForm::HasCancelButton() const {
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* button = dynamic_cast<TButton*>(Components(i)); button != nullptr && button->Cancel())
            return true;
    return false;
}

void TVynMessageForm::WndProc(TMessage& message) {
    // Without a cancel button Escape must not end the dialog with a result none of its buttons
    // gives (the framework ends modal forms on Escape with mrCancel).
    if (message.Msg == CM_DIALOGKEY && message.WParam == VK_ESCAPE && !HasCancelButton()) {
        message.Result = 1;
        return;
    }
    TVynForm::WndProc(message);
}

// ---- Building and showing

TVynMessageForm* BuildMessageForm(const WideString& message, MsgType type, MsgDlgButtons buttons) {
    const unsigned typeValue = type & 0x7Fu;
    buttons &= KnownButtons;

    std::unique_ptr<TVynMessageForm> form(TCustomForm::CreateNew<TVynMessageForm>(Application));
    TVynMessageForm* self = form.get();
    form->SetBiDiMode(Application != nullptr ? Application->BiDiMode() : bdLeftToRight);
    form->SetBorderStyle(bsDialog);
    TCanvas& canvas = form->Canvas();
    canvas.Font().AssignFont(form->Font());
    form->SetKeyPreview(true);
    form->OnKeyDown = [self](TObject* sender, WORD& key, TShiftState shift) {
        self->CustomKeyDown(sender, key, shift);
    };

    int32_t horzMargin, vertMargin, horzSpacing, vertSpacing, buttonWidth, buttonHeight, buttonSpacing;
    RECT textRect{0, 0, ::GetSystemMetrics(SM_CXSCREEN) / 2, 0};
    {
        TReleaseCanvasAtEnd release(canvas);
        const SIZE extent = canvas.TextExtentWide(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        const int averageWidth = extent.cx / 52;
        const int averageHeight = extent.cy;
        horzMargin = ::MulDiv(8, averageWidth, 4);
        vertMargin = ::MulDiv(8, averageHeight, 8);
        horzSpacing = ::MulDiv(10, averageWidth, 4);
        vertSpacing = ::MulDiv(10, averageHeight, 8);
        buttonWidth = ::MulDiv(50, averageWidth, 4);
        buttonHeight = ::MulDiv(14, averageHeight, 8);
        buttonSpacing = ::MulDiv(4, averageWidth, 4);

        HDC dc = canvas.Handle();
        const UINT readingFlags = form->DrawTextBiDiModeFlagsReadingOnly();
        for (unsigned button = 0; button < ButtonCount; ++button) {
            if (!Contains(buttons, button))
                continue;
            const WideString caption = GetButtonCaption(static_cast<MsgDlgBtn>(button));
            RECT captionRect{0, 0, 0, 0};
            VynDrawTextW(dc, caption.c_str(), -1, &captionRect,
                         DT_CALCRECT | DT_LEFT | DT_SINGLELINE | readingFlags);
            buttonWidth = std::max<int32_t>(buttonWidth, captionRect.right - captionRect.left + 8);
        }
        // The label shows the message as given, so an ampersand in it is no accelerator mark.
        // The count takes in the terminating zero, as the dialog has always measured it.
        const int count = static_cast<int>(std::min<size_t>(message.size() + 1, INT_MAX));
        VynDrawTextW(dc, message.c_str(), count, &textRect,
                     DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | readingFlags);
    }

    const WORD icon = IconOf(typeValue);
    int32_t iconTextWidth = textRect.right;
    int32_t iconTextHeight = textRect.bottom;
    if (icon != 0) {
        iconTextWidth += 32 + horzSpacing;
        iconTextHeight = std::max<int32_t>(iconTextHeight, 32);
    }
    const int32_t buttonCount = std::popcount(buttons);
    const int32_t buttonGroupWidth =
        buttonCount == 0 ? 0 : buttonCount * buttonWidth + (buttonCount - 1) * buttonSpacing;
    form->SetClientWidth(std::max(iconTextWidth, buttonGroupWidth) + 2 * horzMargin);
    form->SetClientHeight(iconTextHeight + buttonHeight + vertSpacing + 2 * vertMargin);
    form->SetLeft(::GetSystemMetrics(SM_CXSCREEN) / 2 - form->Width() / 2);
    form->SetTop(::GetSystemMetrics(SM_CYSCREEN) / 2 - form->Height() / 2);
    form->SetCaption(typeValue == MsgCustom ? ApplicationWideTitle() : GetMessageCaption(type));
    const int32_t clientWidth = form->ClientWidth();

    if (icon != 0) {
        auto* image = new TVynImage(self);
        image->SetName("Image");
        image->SetParent(self);
        image->SetIcon(::LoadIconA(nullptr, MAKEINTRESOURCEA(icon)));
        // Right-to-left text is read from the right: the icon sits on that side, where the label
        // leaves room for it.
        const int32_t imageLeft =
            form->UseRightToLeftAlignment() ? clientWidth - horzMargin - 32 : horzMargin;
        image->SetBounds(imageLeft, vertMargin, 32, 32);
    }

    auto* label = new TVynLabel(self);
    label->SetName("Message");
    label->SetParent(self);
    label->SetShowAccelChar(false);
    label->SetWordWrap(true);
    label->SetCaption(message);
    label->SetBounds(textRect.left, textRect.top, textRect.right - textRect.left,
                     textRect.bottom - textRect.top);
    label->SetBiDiMode(form->BiDiMode());
    int32_t labelLeft = iconTextWidth - textRect.right + horzMargin;
    if (label->UseRightToLeftAlignment())
        labelLeft = clientWidth - labelLeft - label->Width();
    label->SetBounds(labelLeft, vertMargin, textRect.right, textRect.bottom);
    form->Message = label;

    const unsigned defaultButton = Contains(buttons, MsgBtnOK)    ? MsgBtnOK
                                   : Contains(buttons, MsgBtnYes) ? MsgBtnYes
                                                                  : MsgBtnRetry;
    const unsigned cancelButton = Contains(buttons, MsgBtnCancel) ? MsgBtnCancel
                                  : Contains(buttons, MsgBtnNo)   ? MsgBtnNo
                                                                  : MsgBtnOK;
    int32_t x = (clientWidth - buttonGroupWidth) / 2;
    for (unsigned value = 0; value < ButtonCount; ++value) {
        if (!Contains(buttons, value))
            continue;
        const TButtonInfo& info = ButtonInfo(value);
        auto* button = new TVynButton(self);
        button->SetName(info.Name);
        button->SetParent(self);
        button->SetCaption(GetButtonCaption(static_cast<MsgDlgBtn>(value)));
        button->SetModalResult(info.Result);
        if (value == defaultButton)
            button->SetDefault(true);
        if (value == cancelButton)
            button->SetCancel(true);
        if (value == MsgBtnHelp)
            button->OnClick = [self](TObject*) {
                if (Application != nullptr)
                    Application->HelpContext(self->HelpContext());
            };
        button->SetBounds(x, iconTextHeight + vertMargin + vertSpacing, buttonWidth, buttonHeight);
        x += buttonWidth + buttonSpacing;
    }
    return form.release();
}

int32_t MessageDialogPosHelp(const WideString& message, MsgType type, MsgDlgButtons buttons,
                             int32_t helpContext, int32_t x, int32_t y, const WideString& helpFile) {
    std::unique_ptr<TVynMessageForm> form(BuildMessageForm(message, type, buttons));
    form->SetHelpContext(helpContext);
    form->SetHelpFile(WideToAnsi(helpFile));
    if (x >= 0)
        form->SetLeft(x);
    if (y >= 0)
        form->SetTop(y);
    if (x < 0 && y < 0)
        form->SetPosition(poScreenCenter);
    return form->ShowModal();
}

int32_t MessageDialogPos(const WideString& message, MsgType type, MsgDlgButtons buttons, int32_t helpContext,
                         int32_t x, int32_t y) {
    return MessageDialogPosHelp(message, type, buttons, helpContext, x, y, WideString());
}

void ShowMessagePosWide(const WideString& message, int32_t x, int32_t y) {
    if (RunsUnattended()) {
        TellUnattended(message);
        return;
    }
    MessageDialogPos(message, MsgCustom, MsgButtons({MsgBtnOK}), 0, x, y);
}

void ShowMessageWide(const WideString& message) {
    ShowMessagePosWide(message, -1, -1);
}

void ShowMessageFmtWide(const WideString& format, const std::vector<TVarRec>& args) {
    ShowMessageWide(FormatWide(format, args));
}
