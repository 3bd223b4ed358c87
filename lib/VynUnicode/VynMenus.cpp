#include "VynMenus.h"

#include <vector>

#include "Forms.h"
#include "OSError.h"
#include "VynClasses.h"
#include "VynControls.h"
#include "VynSysUtils.h"
#include "WinText.h"

const TClassInfo& TVynMenuItem::StaticClassInfo() {
    using M = TVynMenuItem;
    static const TClassInfo info{
        "TVynMenuItem",
        &TMenuItem::StaticClassInfo(),
        {
            WideStringProperty<M>("Caption", &M::Caption, &M::SetCaption),
            WideStringProperty<M>("Hint", &M::Hint, &M::SetHint),
        },
        {},
        {},
        [](TComponent* owner) -> TComponent* { return new TVynMenuItem(owner); },
    };
    return info;
}

WideString TVynMenuItem::Caption() const { return GetSyncedWideString(wideCaption_, TMenuItem::Caption()); }

void TVynMenuItem::SetCaption(const WideString& caption) {
    SetSyncedWideString(caption, wideCaption_, TMenuItem::Caption(),
                        [this](const AnsiString& ansi) { TMenuItem::SetCaption(ansi); });
}

WideString TVynMenuItem::Hint() const { return GetSyncedWideString(wideHint_, TMenuItem::Hint()); }

void TVynMenuItem::SetHint(const WideString& hint) {
    SetSyncedWideString(hint, wideHint_, TMenuItem::Hint(),
                        [this](const AnsiString& ansi) { TMenuItem::SetHint(ansi); });
}

void TVynMenuItem::DefineProperties(TFiler& filer) {
    TMenuItem::DefineProperties(filer);
    DefineWideProperties(filer, *this);
}

void TVynMenuItem::AppendTo(HMENU menu) {
    const UINT flags = EntryFlags();
    if (!VynPlatformIsNT || flags == MF_SEPARATOR) {
        TMenuItem::AppendTo(menu);
        return;
    }
    if (!::AppendMenuW(menu, flags, EntryIdentifier(), WinText(Caption()))) {
        const DWORD error = ::GetLastError();
        RaiseOSError(error, "AppendMenuW", Caption());
    }
}

bool TVynMenuItem::RefreshEntry() {
    HMENU menu = ParentHandle();
    const int position = EntryPosition();
    if (!VynPlatformIsNT || menu == nullptr || position < 0 || EntryFlags() == MF_SEPARATOR)
        return false;
    WideString text = Caption();
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = WinBuffer(text.data());
    return ::SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) != FALSE;
}

WideString WideMenuItemCaption(const TMenuItem& item) {
    if (const auto* wide = dynamic_cast<const TVynMenuItem*>(&item))
        return wide->Caption();
    return AnsiToWide(item.Caption());
}

WideString WideMenuItemHint(const TMenuItem& item) {
    if (const auto* wide = dynamic_cast<const TVynMenuItem*>(&item))
        return wide->Hint();
    return AnsiToWide(item.Hint());
}

void RefreshVynMenu(TMenu& menu) {
    bool refreshed = false;
    std::vector<TMenuItem*> pending{menu.Items()};
    while (!pending.empty()) {
        TMenuItem* item = pending.back();
        pending.pop_back();
        if (auto* wide = dynamic_cast<TVynMenuItem*>(item))
            refreshed = wide->RefreshEntry() || refreshed;
        for (int i = 0; i < item->Count(); ++i)
            pending.push_back(item->Items(i));
    }
    auto* mainMenu = dynamic_cast<TMainMenu*>(&menu);
    if (refreshed && mainMenu != nullptr && mainMenu->Form() != nullptr && mainMenu->Form()->HandleAllocated())
        ::DrawMenuBar(mainMenu->Form()->HandleIfAllocated());
}
