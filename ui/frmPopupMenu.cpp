// The tray window: the icon's mouse messages, its tooltip and the tray menu.
#include "ui/frmPopupMenu.h"

#include "core/CTimerFunctions.h"
#include "core/ServiceHosts.h"
#include "core/Trap.h"
#include "core/modShell.h"
#include "core/modSysTray.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "webclient/CQXAPI.h"

namespace vorlane::ui {

namespace {
void openPage(const std::wstring& address) { shellExecuteFile(address, L"Open", L"", L"", SW_SHOWNORMAL); }
}  // namespace

FrmPopupMenu::FrmPopupMenu() : Form(L"frmPopupMenu", L"Popup Menu Form", 120, 40, FormStyle{true, false}) {
    mnuSystrayPopup.items = {&mnuProcessing, &mnuPleaseWait,      &mnuSep0,  &mnuVisitQX, &mnuViewCurrent,
                             &mnuSep1,       &mnuEditPreferences, &mnuForce, &mnuSep2,    &mnuExit};
}

FrmPopupMenu& frmPopupMenu() { return loadedForm<FrmPopupMenu>(); }

void FrmPopupMenu::createControls() {
    mnuSystrayPopup.Caption = L"Systray Popup";
    mnuProcessing = {L"Vorlane is busy...", false, false, nullptr};
    mnuPleaseWait = {L"Please wait.", false, false, nullptr};
    mnuSep0 = {L"-", true, false, nullptr};
    mnuVisitQX = {L"&Visit Quorvex", true, true, [this] { mnuVisitQX_Click(); }};
    mnuViewCurrent = {L"View Info on &Current Wallpaper", true, true, [this] { mnuViewCurrent_Click(); }};
    mnuSep1 = {L"-", true, true, nullptr};
    mnuEditPreferences = {L"Edit &Preferences", true, true, [this] { mnuEditPreferences_Click(); }};
    mnuForce = {L"&Rotate Wallpaper Now", true, true, [this] { mnuForce_Click(); }};
    mnuSep2 = {L"-", true, true, nullptr};
    mnuExit = {L"E&xit Vorlane", true, true, [this] { mnuExit_Click(); }};
}

LRESULT FrmPopupMenu::formMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == WM_MOUSEMOVE) {
        // The icon's callback: the window is never shown, so no real pointer moves over it.
        const int shift = ((wParam & MK_SHIFT) ? vbShiftMask : 0) | ((wParam & MK_CONTROL) ? vbCtrlMask : 0);
        Form_MouseMove(0, shift, LOWORD(lParam), HIWORD(lParam));
        handled = true;
        return 0;
    }
    // A restarted shell has forgotten the icon: add it again.
    handled = message == taskbarCreatedMessage();
    if (handled) onTaskbarCreated();
    return 0;
}

std::wstring trayTooltip() {
    if (frmOptions().chkFreeze.Value() == CheckBox::vbChecked) return L"Vorlane - Frozen on Current Wallpaper";
    if (gQXAPI && gQXAPI->apiNetworkOutage) return L"Vorlane - Waiting for Internet Connectivity";
    return L"Vorlane - Next update in " + getFormattedTimeUntilChange();
}

void FrmPopupMenu::Form_MouseMove(int, int, int X, int) {
    runTrappedAt(L"Sub Form_MouseMove, frmPopupMenu", [&] {
        // Every message, a mere pointer move included, so that the tooltip
        // follows the countdown while the pointer rests on the icon.
        setSystrayTooltip(trayTooltip());
        switch (X) {
        case WM_LBUTTONDBLCLK:
            if (frmMain().Enabled()) frmMain().unMinimize();
            break;
        case WM_RBUTTONUP:
            refreshTrayMenu();
            // Without this the menu would not close when the member clicks elsewhere.
            SetForegroundWindow(hwnd());
            mnuSystrayPopup.popup(hwnd(), &mnuEditPreferences);
            break;
        default:
            break;
        }
    });
}

void FrmPopupMenu::refreshTrayMenu() {
    const bool busy = !frmMain().Enabled();
    mnuProcessing.Visible = busy;
    mnuPleaseWait.Visible = busy;
    mnuSep0.Visible = busy;
    mnuViewCurrent.Enabled = !busy;
    mnuEditPreferences.Enabled = !busy;
    mnuForce.Enabled = !busy;
}

std::wstring FrmPopupMenu::homePage() { return homePageAddress(); }

std::wstring FrmPopupMenu::currentWallpaperPage() {
    const std::wstring link = gQXAPI ? gQXAPI->apiActiveWallpaperLink : std::wstring();
    // The shell opens it: only a web page of the service, never a program, file or script.
    return isServicePage(link, serviceHosts()) ? withSourceQuery(link) : homePage();
}

void FrmPopupMenu::mnuVisitQX_Click() { openPage(homePage()); }

void FrmPopupMenu::mnuViewCurrent_Click() { openPage(currentWallpaperPage()); }

void FrmPopupMenu::mnuEditPreferences_Click() { frmMain().unMinimize(); }

void FrmPopupMenu::mnuForce_Click() {
    gQXAPI->apiForced = true;
    gQXAPI->RotateWallpaper();
}

void FrmPopupMenu::mnuExit_Click() { frmMain().exitVorlane(false); }

}  // namespace vorlane::ui
