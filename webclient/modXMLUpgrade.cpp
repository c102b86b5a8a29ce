// modXML: an announced program update. With the member's leave, and when its
// address is one the program fetches updates from, the archive is downloaded
// into the data folder; the client's completion handler takes it from there.
#include <windows.h>

#include "core/FlagScope.h"
#include "core/Globals.h"
#include "core/MessageLoop.h"
#include "core/ServiceHosts.h"
#include "core/Trap.h"
#include "core/modMisc.h"
#include "ui/frmDownloading.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "webclient/CQXAPI.h"
#include "webclient/UpdateRules.h"
#include "webclient/modXML.h"

namespace vorlane {

namespace {

constexpr const wchar_t* kModule = L"modXML";

// The service announces the update in every reply, and the clock runs on
// under the update's boxes: one announcement is taken up at a time.
bool takingUpAnUpdate = false;

// Asks for permission to update; false when the member said No.
bool memberAllowsUpdate() {
    constexpr const wchar_t* text =
        L"An update has been released for your Vorlane Wallpaper Manager software.\r\n\r\nYou have disabled "
        L"automatic updates, so your permission is required to update Vorlane.\r\n\r\nProceed with update now?  "
        L"Clicking 'No' will exit the program.";
    return MessageBoxW(ui::windowInFront(), text, L"Proceed with Update?", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void tellUpdateAddressRefused() {
    const std::wstring text =
        L"A critical error occurred while downloading the new software update for Vorlane Wallpaper Manager.\r\n\r\n"
        L"Please try reinstalling the software by visiting:\r\n" + programPageAddress();
    MessageBoxW(ui::windowInFront(), text.c_str(), L"Critical Update Error", MB_OK | MB_ICONERROR);
}

void tellAutoUpdateStarting() {
    MessageBoxW(ui::windowInFront(),
                L"A new update to Vorlane has been released since you last rotated your wallpaper.  Hang on one "
                L"second and we'll handle the upgrade for you.",
                L"Auto-Update Starting", MB_OK | MB_ICONINFORMATION);
}

void createDataFolder() {
    if (dirExists(dataFolder)) return;
    if (!CreateDirectoryW(dataFolder.c_str(), nullptr))
        raiseError(GetLastError() == ERROR_PATH_NOT_FOUND ? errnum::PathNotFound : errnum::PathFileAccessError,
                   kModule);
}

}  // namespace

void upgradeVorlane(const std::wstring& link) {
    if (takingUpAnUpdate) return;
    const FlagScope takingUp(takingUpAnUpdate);
    runTrapped(L"upgradeVorlane", kModule, [&] {
        CQXAPI& api = *gQXAPI;
        ui::FrmMain& main = ui::frmMain();
        // An update whose engine would not start, or whose address was refused,
        // is not taken up again this run: the service announces it in every reply.
        if (!api.apiUpdateLeftAlone.empty() && link == api.apiUpdateLeftAlone) return;
        // After a checksum mismatch the archive is fetched again without a word.
        const bool again = api.apiDownloadingUpdateErr > 0;
        bool asked = false;
        if (ui::frmOptions().chkAutoUpdate.Value() == ui::CheckBox::vbUnchecked && !again) {
            if (!memberAllowsUpdate()) {
                main.exitVorlane(true);
                return;
            }
            asked = true;
        }
        const std::wstring fileName = updateArchiveName(link, serviceHosts());
        if (fileName.empty()) {
            tellUpdateAddressRefused();
            api.apiUpdateLeftAlone = link;
            main.exitVorlane(false);
            return;
        }
        if (api.apiForced && !again) {
            tellAutoUpdateStarting();
            asked = true;
        }
        createDataFolder();

        api.apiDownloadingUpdate = true;
        api.apiDownloadingUpdateLink = link;
        api.apiDownloadingUpdateFile = fileName;
        api.apiForced = true;
        if (main.tmrMain.Enabled()) {
            api.apiUpdateStoppedClock = true;
            main.tmrMain.setEnabled(false);
        }
        const std::wstring archive = dataFolder + fileName;
        if (fileExists(archive)) DeleteFileW(archive.c_str());

        main.setEnabled(false);
        ui::FrmDownloading& progress = ui::frmDownloading();
        api.apiDownloadedBytes = 0;
        progress.SetProgressBarValue(0);
        progress.lblProgressPercent.setCaption(L"0%");
        if (asked) {
            progress.Show(&main);
            SetForegroundWindow(progress.hwnd());
        }
        api.QXDownload.Cancel();
        doEvents();
        if (!api.apiDownloadingUpdate) return;  // aborted meanwhile
        api.QXDownload.Download(link, archive);
    });
    // A failure on the way (reported above) would leave the update waiting for
    // a download that never started: it is forgotten, and the program runs on.
    if (gQXAPI->apiDownloadingUpdate && !gQXAPI->QXDownload.Busy()) gQXAPI->endDownloadUnapplied();
}

}  // namespace vorlane
