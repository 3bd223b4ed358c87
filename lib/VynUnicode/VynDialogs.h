// Modal message dialogs with wide text: a form built at run time with an optional system icon, the
// word-wrapped message and a row of buttons, sized from the system message font. Ctrl+C copies
// the whole dialog as text.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "Format.h"
#include "SysTypes.h"
#include "VynForms.h"
#include "VynStdCtrls.h"

// Only the low 7 bits of a type or button value count.
enum MsgType : uint8_t { MsgWarning, MsgError, MsgInformation, MsgConfirmation, MsgCustom };

enum MsgDlgBtn : uint8_t {
    MsgBtnYes,
    MsgBtnNo,
    MsgBtnOK,
    MsgBtnCancel,
    MsgBtnAbort,
    MsgBtnRetry,
    MsgBtnIgnore,
    MsgBtnAll,
    MsgBtnNoToAll,
    MsgBtnYesToAll,
    MsgBtnHelp
};

// A set of buttons: bit n stands for the button of value n. Bits above the Help button name no
// button and are ignored.
using MsgDlgButtons = uint16_t;

constexpr MsgDlgButtons MsgButtons(std::initializer_list<MsgDlgBtn> buttons) {
    MsgDlgButtons set = 0;
    for (MsgDlgBtn button : buttons)
        set = static_cast<MsgDlgButtons>(set | (1u << (button & 0x7F)));
    return set;
}

constexpr MsgDlgButtons MsgYesNo = MsgButtons({MsgBtnYes, MsgBtnNo});
constexpr MsgDlgButtons MsgYesNoCancel = MsgButtons({MsgBtnYes, MsgBtnNo, MsgBtnCancel});
constexpr MsgDlgButtons MsgOKCancel = MsgButtons({MsgBtnOK, MsgBtnCancel});
constexpr MsgDlgButtons MsgAbortRetryIgnore = MsgButtons({MsgBtnAbort, MsgBtnRetry, MsgBtnIgnore});

// The message dialog's form; built by BuildMessageForm.
class TVynMessageForm : public TVynForm {
    RTL_DECLARE_CLASS_INFO()
public:
    // Without a stored description; the font is the system's message font when it can be had.
    explicit TVynMessageForm(TComponent* owner);

    // The message label, owned by the form as a component.
    TVynLabel* Message = nullptr;

    // What Ctrl+C puts on the clipboard: the caption, the message and the button captions
    // (without accelerator marks) between divider lines.
    WideString DialogClipboardText();

protected:
    void WndProc(TMessage& message) override;

private:
    friend TVynMessageForm* BuildMessageForm(const WideString& message, MsgType type, MsgDlgButtons buttons);
    void CustomKeyDown(TObject* sender, WORD& key, TShiftState shift);
    bool HasCancelButton() const;
};

// A new message form (the caller frees it); the application owns it until then.
TVynMessageForm* BuildMessageForm(const WideString& message, MsgType type, MsgDlgButtons buttons);

// Shows the dialog modally at left x and top y (a negative value keeps the centred position on
// that axis) and returns the modal result of the button that ended it. The help button asks
// for helpContext in helpFile.
int32_t MessageDialogPosHelp(const WideString& message, MsgType type, MsgDlgButtons buttons, int32_t helpContext,
                             int32_t x, int32_t y, const WideString& helpFile);
int32_t MessageDialogPos(const WideString& message, MsgType type, MsgDlgButtons buttons, int32_t helpContext,
                         int32_t x, int32_t y);
// The message with the OK button only and the application title as caption.
void ShowMessagePosWide(const WideString& message, int32_t x, int32_t y);
void ShowMessageWide(const WideString& message);
// Formatting errors are raised before any dialog is made.
void ShowMessageFmtWide(const WideString& format, const std::vector<TVarRec>& args);

// The caption of a dialog type (empty for MsgCustom); raises EVynInternalError above MsgCustom.
WideString GetMessageCaption(MsgType type);
// The caption of a button, with its accelerator mark; raises EVynInternalError above MsgBtnHelp.
WideString GetButtonCaption(MsgDlgBtn button);
