// Minimising the main window to the tray, part of the general helpers.
#pragma once

#include <string>

namespace vorlane::ui {

// Hides the main window and adds the tray icon (owned by the tray-menu window).
// The first time for a member it explains in a notice where the program went and
// remembers that in the member's settings (MinimizeHelp). Errors are reported.
void minimizeToTray(const std::wstring& username);

}  // namespace vorlane::ui
