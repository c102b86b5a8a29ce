// Minimizing the main window to the tray.
#include "ui/modMiscTray.h"

#include "core/modRegistry.h"
#include "core/modSysTray.h"
#include "core/Trap.h"
#include "ui/frmMain.h"
#include "ui/frmPopupMenu.h"
#include "ui/frmSlideMessage.h"

namespace vorlane::ui {

void minimizeToTray(const std::wstring& username) {
    runTrapped(L"minimizeToTray", L"modMisc", [&] {
        frmMain().Hide();
        CreateSystrayIcon(frmPopupMenu().hwnd(), L"Vorlane Wallpaper Manager");
        const std::wstring section = memberSection(username);
        if (regGetSetting(kAppName, section, L"MinimizeHelp", L"0") == L"0") {
            FrmSlideMessage& notice = frmSlideMessage();
            notice.lblTitle.setCaption(L"Vorlane - Information");
            notice.startSlide(
                L"Vorlane has been minimized!\r\n\r\nYou'll see the Vorlane icon in the bottom-right corner of your "
                L"monitor.  To bring the preferences screen back, double-click on the icon.  To see more options, "
                L"right-click on it.");
            regSaveSetting(kAppName, section, L"MinimizeHelp", L"1");
        }
    });
}

}  // namespace vorlane::ui
