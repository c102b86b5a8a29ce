// A program update against the test's own stand-in and what the member is shown.
#include "tests/webclient/UpdateFixture.h"

#include <windows.h>

#include "core/Globals.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"

namespace vorlane::test {

namespace {

std::wstring programPage(const std::wstring& serviceAddress) { return L"http://" + serviceAddress + L"/vorlane/"; }

}  // namespace

std::wstring archiveLink(const std::wstring& serviceAddress) {
    return L"http://" + serviceAddress + L"/vorlane/dl/" + kArchiveFile;
}

std::vector<std::string> updateRequestLines(QuorvexService& service) {
    std::vector<std::string> lines;
    for (const LoggedRequest& request : service.log())
        if (request.requestLine().find(" /vorlane/") != std::string::npos) lines.push_back(request.requestLine());
    return lines;
}

std::wstring permissionText() {
    return L"An update has been released for your Vorlane Wallpaper Manager software.\r\n\r\nYou have disabled "
           L"automatic updates, so your permission is required to update Vorlane.\r\n\r\nProceed with update now?  "
           L"Clicking 'No' will exit the program.";
}

std::wstring refusedAddressText(const std::wstring& serviceAddress) {
    return L"A critical error occurred while downloading the new software update for Vorlane Wallpaper "
           L"Manager.\r\n\r\nPlease try reinstalling the software by visiting:\r\n" +
           programPage(serviceAddress);
}

std::wstring autoUpdateStartingText() {
    return L"A new update to Vorlane has been released since you last rotated your wallpaper.  Hang on one second "
           L"and we'll handle the upgrade for you.";
}

std::wstring downloadedText() {
    return L"Vorlane has successfully downloaded the update.  Applying update now and restarting the program...";
}

std::wstring missingEngineText(const std::wstring& serviceAddress) {
    return L"An error has occurred launching the Vorlane Update Engine.\r\n\r\nPlease visit " +
           programPage(serviceAddress) + L" and reinstall the software.";
}

std::wstring corruptUpdateText(const std::wstring& serviceAddress) {
    return L"The update engine cannot find the correct update file on the Quorvex servers.  This could be due to a "
           L"corruption issue.  Please reopen Vorlane and try again later.  If the problem persists, please "
           L"reinstall: " +
           programPage(serviceAddress);
}

std::wstring updateErrorText(const std::wstring& serviceAddress) {
    return L"An error occurred downloading the new Vorlane update: " + std::wstring(kArchiveFile) +
           L".\r\nPlease check your internet connection and try again, otherwise visit " + programPage(serviceAddress) +
           L" and try reinstalling the software.\r\n\r\nShutting down Vorlane...";
}

std::wstring engineDidNotStartText(const std::wstring& serviceAddress) {
    return L"The update was not applied: the Vorlane Update Engine did not start.  Vorlane keeps running with its "
           L"current version.  If the problem persists, please reinstall: " +
           programPage(serviceAddress);
}

void holdTheArchiveFetchedAgain(QuorvexService& service) {
    service.control("/_control/update?name=" + std::string(kArchiveName) + "&md5=" + std::string(32, '0'));
    service.fault("trickle", "&scope=update&count=2&limit=1&delay=0");  // archive and checksum, unharmed
    service.fault("hang", "&scope=update&seconds=30");                  // the archive again
}

void prepareForUpdate() {
    ui::FrmMain& main = ui::frmMain();
    main.cboGallery.setText(L"All Galleries");
    main.cboCategory.setText(L"All Categories");
    ui::frmOptions().optRandomize.setValue(true);
    ui::frmOptions().chkAutoUpdate.setValue(ui::CheckBox::vbChecked);
    screenAspectRatio = L"1.25";
    activeSourceTab = 2;
}

void Update::SetUp() {
    ApiFixture::SetUp();
    prepareForUpdate();
    // The main window's question on a refused address: stay.
    dialogs.answer(L"Confirm Exit", IDNO);
}

std::wstring Update::archivePath() const { return dataFolder + kArchiveFile; }

void Update::announceUpdate(bool forced) {
    service.fault("upgrade");
    gQXAPI->apiForced = forced;
    gQXAPI->RotateWallpaper();
}

}  // namespace vorlane::test
