#include "Menus.h"

#include <algorithm>

#include "Forms.h"
#include "OSError.h"

namespace {

// Command identifiers are 16 bits in WM_COMMAND; 0 means none, and from 0xF000 on the system
// menu's commands begin.
UINT NextCommand() {
    static UINT last = 0;
    last = last >= 0xEFFF ? 1 : last + 1;
    return last;
}

} // namespace

void MenuDetail::DestroyMenuAlone(HMENU menu) noexcept {
    while (::GetMenuItemCount(menu) > 0)
        if (!::RemoveMenu(menu, 0, MF_BYPOSITION))
            break;
    ::DestroyMenu(menu);
}

// ---- TMenuItem

const TClassInfo& TMenuItem::StaticClassInfo() {
    using M = TMenuItem;
    static const TClassInfo info{
        "TMenuItem",
        &TComponent::StaticClassInfo(),
        {
            AnsiStringProperty<M>("Caption", &M::Caption, &M::SetCaption),
            BooleanProperty<M>("Checked", &M::Checked, &M::SetChecked),
            BooleanProperty<M>("Enabled", &M::Enabled, &M::SetEnabled),
            AnsiStringProperty<M>("Hint", &M::Hint, &M::SetHint),
            BooleanProperty<M>("Visible", &M::Visible, &M::SetVisible),
            EventProperty<M>("OnClick", &M::OnClick, &M::OnClickName),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TMenuItem(owner); },
    };
    return info;
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner), command_(NextCommand()) {}

TMenuItem::~TMenuItem() {
    if (parent_ != nullptr)
        parent_->Remove(this);
    while (!items_.empty())
        delete items_.back();
}

void TMenuItem::SetCaption(const AnsiString& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    Changed();
}

void TMenuItem::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Changed();
}

void TMenuItem::SetChecked(bool checked) {
    if (checked == checked_)
        return;
    checked_ = checked;
    Changed();
}

void TMenuItem::SetVisible(bool visible) {
    if (visible == visible_)
        return;
    visible_ = visible;
    Changed();
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (item == nullptr || item == this)
        throw EInvalidOperation("Cannot insert a menu item into itself");
    for (TMenuItem* ancestor = parent_; ancestor != nullptr; ancestor = ancestor->parent_)
        if (ancestor == item)
            throw EInvalidOperation("Cannot insert a menu item into one of its items");
    if (item->parent_ != nullptr)
        item->parent_->Remove(item);
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
    if (HandleAllocated())
        RebuildHandle();
    // The first item makes this item's entry a submenu.
    Changed();
}

void TMenuItem::Remove(TMenuItem* item) {
    const auto found = std::find(items_.begin(), items_.end(), item);
    if (found == items_.end())
        return;
    items_.erase(found);
    item->parent_ = nullptr;
    if (HandleAllocated())
        RebuildHandle();
    Changed();
}

int TMenuItem::MenuIndex() const {
    if (parent_ == nullptr)
        return -1;
    const auto found = std::find(parent_->items_.begin(), parent_->items_.end(), this);
    return static_cast<int>(found - parent_->items_.begin());
}

TMenu* TMenuItem::GetParentMenu() const {
    const TMenuItem* root = this;
    while (root->parent_ != nullptr)
        root = root->parent_;
    return root->menu_;
}

HMENU TMenuItem::Handle() {
    if (!handle_) {
        const bool menuBar = parent_ == nullptr && menu_ != nullptr && menu_->IsMenuBar();
        HMENU menu = menuBar ? ::CreateMenu() : ::CreatePopupMenu();
        if (menu == nullptr)
            RaiseLastOSError(menuBar ? "CreateMenu" : "CreatePopupMenu");
        handle_.reset(menu);
        RebuildHandle();
    }
    return handle_.get();
}

HMENU TMenuItem::ParentHandle() const {
    return parent_ != nullptr && parent_->HandleAllocated() ? parent_->handle_.get() : nullptr;
}

int TMenuItem::EntryPosition() const {
    if (parent_ == nullptr || !visible_)
        return -1;
    int position = 0;
    for (TMenuItem* sibling : parent_->items_) {
        if (sibling == this)
            return position;
        if (sibling->visible_)
            ++position;
    }
    return -1;
}

UINT TMenuItem::EntryFlags() {
    if (caption_ == "-")
        return MF_SEPARATOR;
    UINT flags = MF_STRING | (enabled_ ? MF_ENABLED : MF_GRAYED) | (checked_ ? MF_CHECKED : MF_UNCHECKED);
    if (!items_.empty())
        flags |= MF_POPUP;
    return flags;
}

UINT_PTR TMenuItem::EntryIdentifier() {
    return items_.empty() ? command_ : reinterpret_cast<UINT_PTR>(Handle());
}

void TMenuItem::AppendTo(HMENU menu) {
    const UINT flags = EntryFlags();
    if (flags == MF_SEPARATOR) {
        ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        return;
    }
    if (!::AppendMenuA(menu, flags, EntryIdentifier(), caption_.c_str()))
        RaiseLastOSError("AppendMenuA");
}

void TMenuItem::RebuildHandle() {
    if (!handle_)
        return;
    HMENU menu = handle_.get();
    while (::GetMenuItemCount(menu) > 0)
        if (!::RemoveMenu(menu, 0, MF_BYPOSITION))
            break;
    for (TMenuItem* item : items_)
        if (item->visible_)
            item->AppendTo(menu);
    if (parent_ == nullptr && menu_ != nullptr)
        menu_->MenuChanged();
}

void TMenuItem::Changed() {
    if (parent_ != nullptr && parent_->HandleAllocated())
        parent_->RebuildHandle();
}

void TMenuItem::Click() {
    if (OnClick)
        OnClick(this);
}

void TMenuItem::SetParentComponent(TComponent* parent) {
    if (auto* item = dynamic_cast<TMenuItem*>(parent))
        item->Add(this);
    else if (auto* menu = dynamic_cast<TMenu*>(parent))
        menu->Items()->Add(this);
}

TComponent* TMenuItem::GetParentComponent() const {
    if (parent_ != nullptr && parent_->menu_ != nullptr)
        return parent_->menu_;
    return parent_;
}

// ---- TMenu

const TClassInfo& TMenu::StaticClassInfo() {
    static const TClassInfo info{"TMenu", &TComponent::StaticClassInfo()};
    return info;
}

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr)) { items_->menu_ = this; }

TMenu::~TMenu() { delete items_; }

TMenuItem* TMenu::FindItem(UINT_PTR value, TFindItemKind kind) const {
    std::vector<TMenuItem*> pending{items_};
    while (!pending.empty()) {
        TMenuItem* item = pending.back();
        pending.pop_back();
        if (item != items_) {
            if (kind == fkCommand && item->Command() == value)
                return item;
            if (kind == fkHandle && item->HandleAllocated() && reinterpret_cast<UINT_PTR>(item->handle_.get()) == value)
                return item;
        }
        for (int i = item->Count() - 1; i >= 0; --i)
            pending.push_back(item->Items(i));
    }
    return nullptr;
}

bool TMenu::DispatchCommand(UINT command) {
    TMenuItem* item = FindItem(command, fkCommand);
    if (item == nullptr || item->Count() > 0)
        return false;
    item->Click();
    return true;
}

// ---- TMainMenu

const TClassInfo& TMainMenu::StaticClassInfo() {
    static const TClassInfo info{"TMainMenu",
                                 &TMenu::StaticClassInfo(),
                                 {},
                                 {},
                                 {},
                                 [](TComponent* owner) -> TComponent* { return new TMainMenu(owner); }};
    return info;
}

TMainMenu::~TMainMenu() {
    // The form's window would destroy the menu bar with itself; it lets go of it first.
    if (form_ != nullptr)
        form_->SetMenu(nullptr);
}

void TMainMenu::MenuChanged() {
    if (form_ != nullptr && form_->HandleAllocated()) {
        ::DrawMenuBar(form_->HandleIfAllocated());
        form_->Perform(CM_MENUCHANGED);
    }
}
