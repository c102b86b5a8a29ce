// The hidden window behind the tray icon: it gets the icon's mouse messages,
// keeps the icon's tooltip up to date and owns the tray menu.
#pragma once

#include <string>

#include "ui/kit/Form.h"
#include "ui/kit/PopupMenu.h"

namespace vorlane::ui {

class FrmPopupMenu : public Form {
public:
    FrmPopupMenu();

    MenuItem mnuProcessing;
    MenuItem mnuPleaseWait;
    MenuItem mnuSep0;
    MenuItem mnuVisitQX;
    MenuItem mnuViewCurrent;
    MenuItem mnuSep1;
    MenuItem mnuEditPreferences;
    MenuItem mnuForce;
    MenuItem mnuSep2;
    MenuItem mnuExit;
    PopupMenu mnuSystrayPopup;

    // The tray icon's callback: X carries the icon's mouse message.
    void Form_MouseMove(int Button, int Shift, int X, int Y);

    void mnuVisitQX_Click();
    void mnuViewCurrent_Click();
    void mnuEditPreferences_Click();
    void mnuForce_Click();
    void mnuExit_Click();

    // The pages the menu opens.
    static std::wstring homePage();
    static std::wstring currentWallpaperPage();

protected:
    void createControls() override;
    LRESULT formMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    // The tray icon's window stays for the whole run: a close request (Alt+F4
    // after the tray menu made it the foreground window) is ignored.
    void closeRequested() override {}

private:
    // Greys the working items while the program is busy (the main window disabled).
    void refreshTrayMenu();
};

FrmPopupMenu& frmPopupMenu();

// The tooltip the tray icon shows now.
std::wstring trayTooltip();

}  // namespace vorlane::ui
