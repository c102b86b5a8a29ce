#include "ui/frmPopupMenu.h"

#include "core/modSysTray.h"

namespace vorlane::ui {

FrmPopupMenu::FrmPopupMenu() : Form(L"Popup Menu Form", 120, 40, FormStyle{true, false}) {
    mnuSystrayPopup.items = {&mnuProcessing, &mnuPleaseWait,      &mnuSep0,  &mnuVisitQX, &mnuViewCurrent,
                             &mnuSep1,       &mnuEditPreferences, &mnuForce, &mnuSep2,    &mnuExit};
}

FrmPopupMenu& frmPopupMenu() { return loadedForm<FrmPopupMenu>(); }

void FrmPopupMenu::createControls() {
    mnuSystrayPopup.Caption = L"Systray Popup";
    mnuProcessing = {L"Vorlane is busy...", false, false, nullptr};
    mnuPleaseWait = {L"Please wait.", false, false, nullptr};
    mnuSep0 = {L"-", true, false, nullptr};
    mnuVisitQX = {L"&Visit Quorvex", true, true, nullptr};
    mnuViewCurrent = {L"View Info on &Current Wallpaper", true, true, nullptr};
    mnuSep1 = {L"-", true, true, nullptr};
    mnuEditPreferences = {L"Edit &Preferences", true, true, nullptr};
    mnuForce = {L"&Rotate Wallpaper Now", true, true, nullptr};
    mnuSep2 = {L"-", true, true, nullptr};
    mnuExit = {L"E&xit Vorlane", true, true, nullptr};
}

LRESULT FrmPopupMenu::formMessage(UINT message, WPARAM, LPARAM, bool& handled) {
    // A restarted shell has forgotten the icon: add it again.
    handled = message == taskbarCreatedMessage();
    if (handled) onTaskbarCreated();
    return 0;
}

}  // namespace vorlane::ui
