// A multi-line text control: the system's "EDIT" window taken over by the framework, its text
// also reachable line by line through Lines.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>

#include "Controls.h"
#include "Forms.h"
#include "StringLists.h"

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
// A memo's border: bsNone or bsSingle (a sunken client edge); the names are the forms' own.
using TBorderStyle = TFormBorderStyle;

class TMemo;

// The lines of a memo: its text split at CR LF (a last line break starts no further line).
// Works before the window exists and reads the window's text once it does. An update bracket
// turns the window's drawing off, and lines added at the end within it reach the window at once
// when the outermost bracket closes.
class TMemoStrings : public TStrings {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TMemoStrings(TMemo& memo) : memo_(memo) {}

    int32_t Count() const override;
    AnsiString Strings(int32_t index) const override;
    void SetStrings(int32_t index, const AnsiString& text) override;
    void Clear() override;
    void Delete(int32_t index) override;
    void Insert(int32_t index, const AnsiString& text) override;
    int32_t Add(const AnsiString& text) override;
    AnsiString Text() const override;
    // Line breaks become CR LF, the only ones the window shows.
    void SetText(const AnsiString& text) override;
    // Stored as "Strings", the list of lines.
    void DefineProperties(TFiler& filer) override;

protected:
    void SetUpdateState(bool updating) override;

private:
    friend class TMemo;
    // Hands the lines added within an update bracket to the window.
    void Flush() const;

    TMemo& memo_;
    mutable AnsiString pending_;
    mutable int32_t pendingCount_ = 0;
    int32_t pendingBase_ = 0;
};

class TMemo : public TWinControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TMemo(TComponent* owner);
    ~TMemo() override;

    TStrings& Lines() { return *lines_; }
    TPersistent* LinesObject() { return lines_.get(); }

    // A read-only memo still takes the focus, shows its caret, scrolls and copies.
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    // Without word wrap lines never break; the window scrolls sideways instead.
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool value);
    // Without it Enter is the form's (its default button) and inserts no line break.
    bool WantReturns() const { return wantReturns_; }
    void SetWantReturns(bool value);
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle value);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    // Anything but bsNone is bsSingle.
    void SetBorderStyle(TBorderStyle value);

    int32_t SelStart() const;
    void SetSelStart(int32_t value);
    int32_t SelLength() const;
    void SetSelLength(int32_t value);

    AnsiString GetText() const override;
    void SetText(const AnsiString& text) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void DestroyWnd() override;
    void WndProc(TMessage& message) override;
    bool WantsKey(WORD key) const override;

private:
    friend class TMemoStrings;
    // Replaces the characters [start, end) of the text without reading it all back.
    void ReplaceRange(size_t start, size_t end, const AnsiString& text);
    // Adds lines (CR LF between them) after the last line.
    void AppendLines(const AnsiString& lines);
    HBRUSH ColorBrush();

    std::unique_ptr<TMemoStrings> lines_;
    bool readOnly_ = false;
    bool wordWrap_ = true;
    bool wantReturns_ = true;
    TScrollStyle scrollBars_ = ssNone;
    TBorderStyle borderStyle_ = bsSingle;
    int32_t selStart_ = 0, selLength_ = 0;
    UniqueBrush brush_;
    TColor brushColor_ = 0;
};
