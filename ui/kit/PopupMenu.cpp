// Building the popup menu from its items and running the one chosen.
#include "ui/kit/PopupMenu.h"

namespace vorlane::ui {

MenuHandle PopupMenu::build(const MenuItem* defaultItem) const {
    MenuHandle menu(CreatePopupMenu());
    for (size_t i = 0; i < items.size(); ++i) {
        const MenuItem& item = *items[i];
        if (!item.Visible) continue;
        const UINT id = static_cast<UINT>(i + 1);
        if (item.isSeparator()) {
            AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
            continue;
        }
        AppendMenuW(menu.get(), MF_STRING | (item.Enabled ? MF_ENABLED : MF_GRAYED), id, item.Caption.c_str());
        if (&item == defaultItem) SetMenuDefaultItem(menu.get(), id, FALSE);
    }
    return menu;
}

void PopupMenu::popup(HWND owner, const MenuItem* defaultItem) const {
    MenuHandle menu = build(defaultItem);
    POINT at;
    GetCursorPos(&at);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr));
    // Lets the menu close properly when the owner is a hidden window.
    PostMessageW(owner, WM_NULL, 0, 0);
    if (chosen == 0 || chosen > items.size()) return;
    const MenuItem& item = *items[chosen - 1];
    if (item.Enabled && item.Click) item.Click();
}

}  // namespace vorlane::ui
