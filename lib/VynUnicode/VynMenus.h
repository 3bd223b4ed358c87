// Wide captions and hints of menu items: menu items whose entries the system shows with wide
// text on the NT family, and the refresh that writes the wide texts into the system menus again.
#pragma once

#include <windows.h>

#include "Menus.h"
#include "SysTypes.h"

class TVynMenuItem : public TMenuItem {
    RTL_DECLARE_CLASS_INFO()
public:
    explicit TVynMenuItem(TComponent* owner) : TMenuItem(owner) {}

    // Wide: these hide the framework's ANSI Caption and Hint (still reachable through TMenuItem).
    WideString Caption() const;
    void SetCaption(const WideString& caption);
    WideString Hint() const;
    void SetHint(const WideString& hint);

    void DefineProperties(TFiler& filer) override;
    // Writes the wide caption into the entry of the parent's system menu (NT family); false when
    // there is no entry to write.
    bool RefreshEntry();

protected:
    void AppendTo(HMENU menu) override;

private:
    mutable WideString wideCaption_;
    mutable WideString wideHint_;
};

// The wide caption and hint of any menu item (the ANSI text converted for framework items).
WideString WideMenuItemCaption(const TMenuItem& item);
WideString WideMenuItemHint(const TMenuItem& item);
// Writes the wide captions of the menu's items into its system menus again and redraws a menu
// bar that changed.
void RefreshVynMenu(TMenu& menu);
