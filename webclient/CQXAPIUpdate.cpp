// CQXAPI: the steps of a program update that follow a complete download: the
// published checksum is fetched, the archive is checked against it, and a
// verified archive is handed to the update engine.
#include <windows.h>
#include <shellapi.h>

#include "core/Globals.h"
#include "core/Handles.h"
#include "core/MessageLoop.h"
#include "core/ServiceHosts.h"
#include "core/modMisc.h"
#include "core/modSysTray.h"
#include "ui/frmDownloading.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmSlideMessage.h"
#include "webclient/CQXAPI.h"
#include "webclient/UpdateRules.h"
#include "webclient/modMD5.h"
#include "webclient/modXML.h"

namespace vorlane {

namespace {

// The first line is all a checksum file needs to hold.
constexpr DWORD kChecksumReadLimit = 4096;
constexpr int kMostArchiveDownloads = 3;


std::wstring updateEnginePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.rfind(L'\\')) + L"\\Updater\\update.exe";
}

// An engine run ended while it replaced its own file (closed by the member as
// it seemed stuck) leaves it moved aside: the newest such copy goes back, or
// no update could start again. The engine's next run puts right the rest.
void putBackMovedAsideEngine(const std::wstring& engine) {
    if (GetFileAttributesW(engine.c_str()) != INVALID_FILE_ATTRIBUTES || GetLastError() != ERROR_FILE_NOT_FOUND)
        return;
    const size_t nameStart = engine.rfind(L'\\') + 1;
    const std::wstring fileName = engine.substr(nameStart);
    WIN32_FIND_DATAW found;
    const FindHandle search(FindFirstFileW((engine + L".*.old").c_str(), &found));
    if (!search) return;
    std::wstring newest;
    FILETIME newestTime{};
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
        if (!isMovedAsideCopy(found.cFileName, fileName)) continue;
        if (newest.empty() || CompareFileTime(&found.ftLastWriteTime, &newestTime) > 0) {
            newest = found.cFileName;
            newestTime = found.ftLastWriteTime;
        }
    } while (FindNextFileW(search.get(), &found));
    if (!newest.empty()) MoveFileExW((engine.substr(0, nameStart) + newest).c_str(), engine.c_str(), 0);
}

// The first bytes of the checksum file; nothing when it cannot be read, which
// then matches no archive.
std::string readChecksumFile(const std::wstring& path) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    std::string content(kChecksumReadLimit, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), content.data(), kChecksumReadLimit, &read, nullptr)) return {};
    content.resize(read);
    return content;
}

// Ends the program at once, as leaving through the main window does, but
// without its question.
[[noreturn]] void endProgram(CQXAPI& api) {
    api.APICloseSock();
    RemoveSystrayIcon();
    ExitProcess(0);
}

void resetProgress(ui::FrmDownloading& progress, int64_t& downloadedBytes) {
    downloadedBytes = 0;
    progress.SetProgressBarValue(0);
    progress.lblProgressPercent.setCaption(L"0%");
}

}  // namespace

void CQXAPI::downloadUpdateDigest() {
    try {
        apiDownloadingUpdateMD5 = true;
        ui::FrmDownloading& progress = ui::frmDownloading();
        progress.lblHeaderTitle.setCaption(L"Vorlane - Verifying update file ...");
        resetProgress(progress, apiDownloadedBytes);
        QXDownload.Download(apiDownloadingUpdateLink + L".md5", dataFolder + apiDownloadingUpdateFile + L".md5");
    } catch (...) {
        updateDownloadFailed();
    }
}

void CQXAPI::checkUpdateDigest() {
    try {
        const std::wstring archive = dataFolder + apiDownloadingUpdateFile;
        const std::wstring published = publishedChecksum(readChecksumFile(archive + L".md5"));
        if (!published.empty() && GetFileMD5(archive) == published) {
            startUpdateEngine();
            return;
        }
        if (++apiDownloadingUpdateErr >= kMostArchiveDownloads) {
            giveUpCorruptUpdate();
        } else {
            // Once more, with no question and no box, and both files afresh:
            // the checksum may have been the bad one.
            apiDownloadingUpdateMD5 = false;
            upgradeVorlane(apiDownloadingUpdateLink);
        }
    } catch (...) {
        updateDownloadFailed();
    }
}

void CQXAPI::startUpdateEngine() {
    ui::frmDownloading().lblHeaderTitle.setCaption(L"Download completed. Updating...");
    DeleteFileW((dataFolder + apiDownloadingUpdateFile + L".md5").c_str());
    if (ui::frmOptions().chkAutoUpdate.Value() == ui::CheckBox::vbUnchecked)
        MessageBoxW(ui::windowInFront(), L"Vorlane has successfully downloaded the update.  Applying update now and restarting "
                             L"the program...",
                    L"Update Downloaded Successfully", MB_OK | MB_ICONINFORMATION);
    // The member may have aborted the update while the box was open: its
    // archive is gone, and the program runs on.
    if (!apiDownloadingUpdate) return;

    // The engine finds the archive in the data folder by its bare name. The
    // launch fails when the engine is missing or broken, or the member
    // declines its elevation.
    const std::wstring engine = updateEnginePath();
    putBackMovedAsideEngine(engine);
    SHELLEXECUTEINFOW launch{};
    launch.cbSize = sizeof launch;
    launch.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    launch.hwnd = ui::frmMain().hwnd();
    launch.lpVerb = L"runas";
    launch.lpFile = engine.c_str();
    launch.lpParameters = apiDownloadingUpdateFile.c_str();
    launch.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&launch)) endProgram(*this);
    updateEngineDidNotStart(GetLastError());
}

void CQXAPI::updateEngineDidNotStart(uint32_t error) {
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    if (missing) {
        const std::wstring text = L"An error has occurred launching the Vorlane Update Engine.\r\n\r\nPlease visit " +
                                  programPageAddress() + L" and reinstall the software.";
        MessageBoxW(ui::windowInFront(), text.c_str(), L"Critical Update Error", MB_OK | MB_ICONERROR);
    }
    // Nothing was applied: the program runs on as it was before the update,
    // which it neither fetches nor asks about again until it starts anew.
    apiUpdateLeftAlone = apiDownloadingUpdateLink;
    endDownloadUnapplied();
    if (!missing)
        ui::showNotice(L"Vorlane - Update Error",
                       L"The update was not applied: the Vorlane Update Engine did not start.  Vorlane keeps "
                       L"running with its current version.  If the problem persists, please reinstall: " +
                           programPageAddress());
}

void CQXAPI::giveUpCorruptUpdate() {
    removeUpdateFiles();
    ui::showNotice(L"Vorlane - Update Error",
                   L"The update engine cannot find the correct update file on the Quorvex servers.  This could be "
                   L"due to a corruption issue.  Please reopen Vorlane and try again later.  If the problem "
                   L"persists, please reinstall: " + programPageAddress());
    // The notice slides up, waits and closes itself; the program ends after it.
    while (ui::formInstance<ui::FrmSlideMessage>().isLoaded())
        if (!waitThenDoEvents(100)) break;
    endProgram(*this);
}

void CQXAPI::updateDownloadFailed() {
    QXDownload.Cancel();
    removeUpdateFiles();
    const std::wstring text = L"An error occurred downloading the new Vorlane update: " + apiDownloadingUpdateFile +
                              L".\r\nPlease check your internet connection and try again, otherwise visit " +
                              programPageAddress() + L" and try reinstalling the software.\r\n\r\nShutting down Vorlane...";
    MessageBoxW(ui::windowInFront(), text.c_str(), L"Update Error", MB_OK | MB_ICONINFORMATION);
    apiDownloadingUpdate = false;
    ui::frmMain().exitVorlane(true);
}

void CQXAPI::forgetUpdate() {
    if (apiDownloadingUpdate) apiForced = false;  // set for the update's downloads
    removeUpdateFiles();
    apiDownloadingUpdate = false;
    apiDownloadingUpdateMD5 = false;
    apiDownloadingUpdateErr = 0;
    if (apiUpdateStoppedClock) ui::frmMain().tmrMain.setEnabled(true);
    apiUpdateStoppedClock = false;
}

void CQXAPI::endDownloadUnapplied() {
    forgetUpdate();
    endWallpaperChange();
}

void CQXAPI::removeUpdateFiles() {
    if (!apiDownloadingUpdate) return;
    QXDownload.Cancel();  // its file is one of them
    const std::wstring archive = dataFolder + apiDownloadingUpdateFile;
    DeleteFileW(archive.c_str());
    DeleteFileW((archive + L".md5").c_str());
}

}  // namespace vorlane
