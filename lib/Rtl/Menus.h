// Menus: a tree of menu items made into system menus on demand. A main menu is the menu bar of
// the form it is set on; a click on an item reaches it through its command identifier.
#pragma once

#include <windows.h>

#include <vector>

#include "Classes.h"
#include "Handles.h"

class TMenu;
class TCustomForm;

enum TFindItemKind { fkCommand, fkHandle };

namespace MenuDetail {
// Destroys a menu without its submenus: those belong to their own items.
void DestroyMenuAlone(HMENU menu) noexcept;
} // namespace MenuDetail
using UniqueMenu = UniqueHandle<HMENU, MenuDetail::DestroyMenuAlone>;

class TMenuItem : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TMenuItem(TComponent* owner);
    // Takes the item out of its parent and frees its items.
    ~TMenuItem() override;

    AnsiString Caption() const { return caption_; }
    void SetCaption(const AnsiString& caption);
    AnsiString Hint() const { return hint_; }
    void SetHint(const AnsiString& hint) { hint_ = hint; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);

    // The identifier of the item's command in WM_COMMAND and WM_MENUSELECT; unique in the process.
    UINT Command() const { return command_; }

    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    void Remove(TMenuItem* item);
    TMenuItem* Parent() const { return parent_; }
    // The index among the parent's items, or -1.
    int MenuIndex() const;
    // The menu the item belongs to, or null.
    TMenu* GetParentMenu() const;

    // The item's system menu: the submenu of an item with items, the menu of a menu's root item.
    HMENU Handle();
    bool HandleAllocated() const { return handle_.valid(); }
    // The system menu the item's entry lies in (its parent's), or null while there is none.
    HMENU ParentHandle() const;
    // The entry's position in the parent's system menu (hidden items have none), or -1.
    int EntryPosition() const;

    TNotifyEvent OnClick;
    AnsiString OnClickName;
    virtual void Click();

    void SetParentComponent(TComponent* parent) override;
    TComponent* GetParentComponent() const override;

protected:
    // Appends the item's entry to menu, its parent's system menu. The flags and identifier are
    // those of EntryFlags and EntryIdentifier; the text is the caption ("-" a separator).
    virtual void AppendTo(HMENU menu);
    UINT EntryFlags();
    UINT_PTR EntryIdentifier();
    // Makes the parent's system menu again after a change of this item.
    void Changed();

private:
    friend class TMenu;
    // Fills the system menu anew from the visible items.
    void RebuildHandle();

    AnsiString caption_;
    AnsiString hint_;
    bool enabled_ = true;
    bool checked_ = false;
    bool visible_ = true;
    UINT command_ = 0;
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;
    std::vector<TMenuItem*> items_;
    UniqueMenu handle_;
};

class TMenu : public TComponent {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;

    // The root item: its items are the menu's entries.
    TMenuItem* Items() const { return items_; }
    HMENU Handle() { return items_->Handle(); }
    // The item with the command identifier or the submenu handle, or null.
    TMenuItem* FindItem(UINT_PTR value, TFindItemKind kind) const;
    // Clicks the item of the command; false when no item has it.
    bool DispatchCommand(UINT command);

protected:
    friend class TMenuItem;
    // The root's system menu: a menu bar for a main menu, a popup menu otherwise.
    virtual bool IsMenuBar() const { return false; }
    // After the entries of the root's system menu were made again.
    virtual void MenuChanged() {}

private:
    TMenuItem* items_;
};

// The menu bar of the form it is set on (TCustomForm::SetMenu).
class TMainMenu : public TMenu {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TMainMenu(TComponent* owner) : TMenu(owner) {}
    ~TMainMenu() override;
    // The form showing the menu, or null.
    TCustomForm* Form() const { return form_; }

protected:
    bool IsMenuBar() const override { return true; }
    void MenuChanged() override;

private:
    friend class TCustomForm;
    TCustomForm* form_ = nullptr;
};
