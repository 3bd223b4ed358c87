// The system clipboard as text: ANSI (CF_TEXT) and Unicode (CF_UNICODETEXT). Each call opens
// the clipboard for itself and closes it before returning.
#pragma once

#include <windows.h>

#include "Exceptions.h"
#include "Handles.h"
#include "SysTypes.h"

RTL_DECLARE_EXCEPTION(EClipboardException, Exception)

class TClipboard {
public:
    TClipboard() = default;
    TClipboard(const TClipboard&) = delete;
    TClipboard& operator=(const TClipboard&) = delete;

    // Replace the clipboard's contents with the text. Every call raises EClipboardException
    // "Cannot open clipboard" when another program keeps the clipboard open through a few brief
    // retries, and EOSError when the system refuses the data.
    void SetAsText(const AnsiString& text);
    // Where the system has no Unicode clipboard (the Windows 9x family) the text goes as CF_TEXT
    // in the system's ANSI code page.
    void SetAsWideText(const WideString& text);
    // The text up to its terminating zero (or the end of the data); empty when the clipboard
    // holds no text.
    AnsiString AsText();
    WideString AsWideText();
    bool HasFormat(UINT format) const;
    void Clear();

private:
    friend class OpenClipboardScope;
    // The window that owns what this object puts on the clipboard, made on first use.
    HWND OwnerWindow();

    UniqueWindow owner_;
};

// The process's clipboard object, made on first use.
TClipboard& Clipboard();
