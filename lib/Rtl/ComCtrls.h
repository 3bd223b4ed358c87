// Bars of the system's common controls: a status bar with panels and a tool bar with text
// buttons. Both take over the system's window classes, so they look and behave as the system's
// own bars; the common-controls library is initialised on first use.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "Controls.h"
#include "UnitRegistry.h"

class TStatusBar;
class TToolBar;

// Makes the named classes of the common-controls library available (once per process and class
// group); raises EOSError when the library refuses.
void InitCommonControlClasses(DWORD classes);

class TStatusPanel {
public:
    TStatusPanel(TStatusBar& bar, int32_t width) : bar_(bar), width_(width) {}
    TStatusPanel(const TStatusPanel&) = delete;
    TStatusPanel& operator=(const TStatusPanel&) = delete;

    int32_t Width() const { return width_; }
    void SetWidth(int32_t width);
    AnsiString Text() const { return text_; }
    void SetText(const AnsiString& text);
    int Index() const;

private:
    TStatusBar& bar_;
    int32_t width_;
    AnsiString text_;
};

// The panels of a status bar, in order from the left; each change updates the bar.
class TStatusPanels {
public:
    explicit TStatusPanels(TStatusBar& bar) : bar_(bar) {}
    TStatusPanels(const TStatusPanels&) = delete;
    TStatusPanels& operator=(const TStatusPanels&) = delete;

    int Count() const { return static_cast<int>(panels_.size()); }
    // Raises EListError for an index outside the list.
    TStatusPanel& Items(int index) const;
    TStatusPanel& operator[](int index) const { return Items(index); }
    TStatusPanel& Add(int32_t width = 50);
    void Delete(int index);
    void Clear();
    // The sum of the panels' widths.
    int32_t TotalWidth() const;

private:
    friend class TStatusPanel;
    TStatusBar& bar_;
    std::vector<std::unique_ptr<TStatusPanel>> panels_;
};

class TStatusBar : public TWinControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TStatusBar(TComponent* owner);
    // Announces itself (FreeNotification.h).
    ~TStatusBar() override;

    TStatusPanels& Panels() { return panels_; }
    const TStatusPanels& Panels() const { return panels_; }
    // One text over the whole bar instead of the panels.
    bool SimplePanel() const { return simplePanel_; }
    void SetSimplePanel(bool value);
    AnsiString SimpleText() const { return simpleText_; }
    void SetSimpleText(const AnsiString& text);
    // The grip in the bottom-right corner by which the form is resized; changing it remakes the
    // window because the system reads it only at creation.
    bool SizeGrip() const { return sizeGrip_; }
    void SetSizeGrip(bool value);

    // Hands the panels' right edges (SB_SETPARTS, the last one -1 so that it reaches the end)
    // and texts to the window, or the simple mode. Sent as messages so that a replaced window
    // procedure sees them.
    void UpdatePanels();

    // Moves the window along when the bar changes its parent.
    void SetParent(TWinControl* parent) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void WndProc(TMessage& message) override;

private:
    TStatusPanels panels_;
    bool simplePanel_ = false;
    AnsiString simpleText_;
    bool sizeGrip_ = true;
};

// A text button of a tool bar; it lies on the bar its stored description places it in.
class TToolButton : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TToolButton(TComponent* owner);
    ~TToolButton() override;

    TToolBar* ToolBar() const { return toolBar_; }
    void SetToolBar(TToolBar* bar);
    AnsiString Caption() const { return caption_; }
    void SetCaption(const AnsiString& caption);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int Index() const;

    TNotifyEvent OnClick;
    AnsiString OnClickName;
    virtual void Click();

    void SetParentComponent(TComponent* parent) override;
    TComponent* GetParentComponent() const override;

private:
    friend class TToolBar;
    TToolBar* toolBar_ = nullptr;
    AnsiString caption_;
    bool enabled_ = true;
};

class TToolBar : public TWinControl {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TToolBar(TComponent* owner);
    // Announces itself (FreeNotification.h).
    ~TToolBar() override;

    int ButtonCount() const { return static_cast<int>(buttons_.size()); }
    TToolButton* Buttons(int index) const { return buttons_.at(static_cast<size_t>(index)); }
    // The command identifier the window reports for a button; 0 when it is not on this bar.
    int CommandOf(const TToolButton* button) const;

    // Moves the window along when the bar changes its parent; button clicks are then reported
    // to the new parent, which hands them back to the bar.
    void SetParent(TWinControl* parent) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void WndProc(TMessage& message) override;

private:
    friend class TToolButton;
    void InsertButton(TToolButton* button);
    void RemoveButton(TToolButton* button);
    void ButtonChanged(TToolButton* button);
    void RebuildButtons();

    std::vector<TToolButton*> buttons_;
};

// Registers the bars with the class registry, so stored descriptions can hold them.
extern const TUnitInfo RtlComCtrlsUnit;
