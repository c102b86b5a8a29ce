// The program's one icon in the notification area. Its mouse messages reach the
// owner window as WM_MOUSEMOVE with the real mouse message in lParam. The icon
// comes back by itself when the shell re-creates the taskbar, as long as the
// owner passes the "TaskbarCreated" message on to onTaskbarCreated.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace vorlane {

// The longest tooltip the shell shows; longer texts are cut.
inline constexpr size_t kTrayTooltipLength = 63;

// The record of the run's tray icon (owner, id 1, callback, icon and tooltip).
const NOTIFYICONDATAW& trayIconData();

// Fills the record for owner (with owner's icon) and adds the icon.
void CreateSystrayIcon(HWND owner, const std::wstring& tooltip);

// Removes the icon the record describes; removing one that is gone changes nothing.
void RemoveSystrayIcon();

// Rewrites the tooltip of the record and hands the record to the shell again.
void setSystrayTooltip(const std::wstring& tooltip);

// The text as it goes into the record's tooltip field.
std::wstring trayTooltipText(const std::wstring& tooltip);

// The message the shell broadcasts after (re-)creating the taskbar.
UINT taskbarCreatedMessage();

// Adds the icon again if it was shown when the taskbar went away.
void onTaskbarCreated();

bool systrayIconShown();

}  // namespace vorlane
