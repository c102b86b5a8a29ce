// A popup menu whose items are named members of their window. Hidden items are
// left out each time the menu opens; "-" makes a separator.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/Handles.h"
#include "ui/kit/Controls.h"

namespace vorlane::ui {

struct MenuItem {
    std::wstring Caption;
    bool Enabled = true;
    bool Visible = true;
    EventHandler Click;

    bool isSeparator() const { return Caption == L"-"; }
};

class PopupMenu {
public:
    std::wstring Caption;
    std::vector<MenuItem*> items;

    // The menu as it would open now; ids are item index + 1.
    MenuHandle build(const MenuItem* defaultItem) const;

    // Opens the menu at the pointer, owned by owner, and runs the chosen item.
    void popup(HWND owner, const MenuItem* defaultItem) const;
};

}  // namespace vorlane::ui
