// CQXAPI: one wallpaper change, from the query for the next wallpaper through
// its download to the bitmap on the desktop.
#include <windows.h>

#include <algorithm>

#include "core/Convert.h"
#include "core/Globals.h"
#include "core/RuntimeError.h"
#include "core/Trap.h"
#include "core/modRegistry.h"
#include "ui/frmDownloading.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmSlideMessage.h"
#include "ui/modGlobals.h"
#include "webclient/CQXAPI.h"
#include "webclient/PictureConverter.h"

namespace vorlane {

namespace {

constexpr const wchar_t* kModule = L"CQXAPI";
constexpr int kMostFailedChangesInARow = 3;

std::wstring activePicturePath() { return dataFolder + L"qx_wall_active"; }
std::wstring wallpaperBitmapPath() { return dataFolder + L"Vorlane.bmp"; }

void pushPair(TextArray& keys, TextArray& values, const std::wstring& key, const std::wstring& value) {
    array_push(keys, key);
    array_push(values, value);
}

// A damaged saved id (not a number, out of range) reads as 0: sequential order
// starts over rather than stopping at every change.
int32_t savedWallpaperId(const std::wstring& saved) {
    try {
        return isNumeric(saved, kWireNumberFormat) ? toInt32(toDouble(saved, kWireNumberFormat)) : 0;
    } catch (const RuntimeError&) {
        return 0;
    }
}

}  // namespace

std::wstring CQXAPI::wallpaperAddress(int32_t id, const std::wstring& fileName) const {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    return L"http://" + apiHost + L"/dl/inline/" + std::to_wstring(id) + L"/" + std::to_wstring(width) + L"x" +
           std::to_wstring(height) + L"/" + fileName;
}

void CQXAPI::RotateWallpaper() {
    failedChanges_ = 0;  // asked for by the schedule or the member: a fresh start
    requestNextWallpaper();
}

void CQXAPI::requestNextWallpaper() {
    // A change the member asked for hears what becomes of it, in an episode too.
    const FlagScope exchange = exchangeOf(apiForced);
    runTrapped(L"RotateWallpaper", kModule, [&] {
        if (apiDownloadingUpdate) return;
        if (apiNetworkOutage) {
            if (!apiForced) return;
            if (!apiNetworkRetry()) {
                apiNetworkOutage = false;
                apiSetNetworkOutage();
                return;
            }
        }
        ui::FrmMain& main = ui::frmMain();
        if (main.cboGallery.Text() == L"Loading..." || main.cboCategory.Text() == L"Loading...") {
            ui::requestGalleries();
            return;
        }
        secondsSinceChange = 0;

        ui::FrmOptions& options = ui::frmOptions();
        TextArray keys, values;
        pushPair(keys, values, L"withar", screenAspectRatio);
        pushPair(keys, values, L"withtags", L"no");
        pushPair(keys, values, L"sort", L"desc");
        pushPair(keys, values, L"minpoints", options.ratingInEffect());
        if (options.optRandomize.Value()) {
            pushPair(keys, values, L"order", L"randomize");
        } else {
            const std::wstring saved = regGetSetting(kAppName, memberSection(apiUsername), L"ActiveWallpaper", L"");
            apiActiveWallpaper = savedWallpaperId(saved);
            // After a picture that could not be shown the sequence goes on
            // past it: asked for again, it would stall every change.
            const int32_t startAfter = failedChanges_ > 0 ? changingToID_ : apiActiveWallpaper;
            pushPair(keys, values, L"startid", std::to_wstring(startAfter));
            pushPair(keys, values, L"order", L"freshness");
        }
        pushPair(keys, values, L"page", L"1");
        pushPair(keys, values, L"perpage", L"1");
        if (activeSourceTab == 1) {
            pushPair(keys, values, L"tag", main.tagInEffect());
        } else if (activeSourceTab == 2) {
            const std::wstring gallery = main.galleryInEffect();
            const std::wstring category = main.categoryInEffect();
            if (gallery != L"All Galleries") {
                pushPair(keys, values, L"gallery", gallery);
                if (category != L"All Categories") pushPair(keys, values, L"category", category);
            }
        } else if (activeSourceTab == 0) {
            pushPair(keys, values, L"member", apiUsername);
        }
        const bool favorites = activeSourceTab == 0 && main.optMemberFavorites.Value();
        APISend(favorites ? L"qx.wallpapers.favorites" : L"qx.wallpapers.browse", keys, values);
    });
}

void CQXAPI::DownloadAndChangeWallpaper(int32_t ID, const std::wstring& FileName) {
    runTrapped(L"DownloadAndChangeWallpaper", kModule, [&] {
        if (apiDownloadingUpdate) return;
        QXDownload.Cancel();
        // Made at start-up, but a clean-up may have removed it since; if it
        // cannot be made, the download fails as on any other disk error.
        if (!dirExists(dataFolder)) CreateDirectoryW(dataFolder.c_str(), nullptr);
        const std::wstring path = activePicturePath();
        if (fileExists(path)) DeleteFileW(path.c_str());

        ui::FrmMain& main = ui::frmMain();
        main.setEnabled(false);
        ui::FrmDownloading& progress = ui::frmDownloading();
        apiDownloadedBytes = 0;
        progress.SetProgressBarValue(0);
        progress.lblProgressPercent.setCaption(L"0%");
        if (apiForced) {
            progress.Show(&main);
            SetForegroundWindow(progress.hwnd());
        }
        changingToID_ = ID;
        changingToLink_ = nextWallpaperLink;
        QXDownload.Download(wallpaperAddress(ID, FileName), path);
    });
}

void CQXAPI::QXDownload_Starting(int32_t, const std::wstring&) {
    runTrapped(L"QXDownload_Starting", kModule, [&] {
        if (apiForced) ui::frmDownloading().lblHeaderTitle.setCaption(L"Vorlane - Connecting to Quorvex...");
    });
}

void CQXAPI::QXDownload_DataArrival(int32_t bytesTotal) {
    runTrapped(L"QXDownload_DataArrival", kModule, [&] {
        ui::FrmDownloading& progress = ui::frmDownloading();
        const bool sized = QXDownload.FileSize() > 0;
        if (apiDownloadedBytes == 0 && (sized || apiDownloadingUpdate)) {
            // The checksum file's download goes back to the verifying title
            // that the connecting one replaced.
            const wchar_t* title =
                !apiDownloadingUpdate          ? L"Vorlane - Downloading..."
                : apiDownloadingUpdateMD5      ? L"Vorlane - Verifying update file ..."
                : apiDownloadingUpdateErr == 0 ? L"Vorlane - Downloading Update..."
                                               : L"Vorlane - Corrupt update detected! Retrying download...";
            progress.lblHeaderTitle.setCaption(title);
        }
        apiDownloadedBytes += bytesTotal;

        if (!sized && !apiDownloadingUpdate) {
            // No size: never applied. The wallpaper change ends here and
            // counts as a failure.
            QXDownload.Cancel();
            endWallpaperChange();
            retryAfterFailedChange();
            return;
        }
        // An update file may come without a size, its end told by the close
        // (HTTP/1.0): the checksum tells whether the archive came whole.
        if (sized && progress.Visible()) {
            const double share = double(apiDownloadedBytes) / QXDownload.FileSize() * 100;
            const int16_t percent = toInt16(std::clamp(share, 0.0, 100.0));
            progress.SetProgressBarValue(percent);
            progress.lblProgressPercent.setCaption(std::to_wstring(percent) + L"%");
        }
    });
}

void CQXAPI::QXDownload_Completed() {
    ui::FrmDownloading& progress = ui::frmDownloading();
    progress.SetProgressBarValue(100);
    progress.lblProgressPercent.setCaption(L"100%");

    if (apiDownloadingUpdateMD5) {
        checkUpdateDigest();
    } else if (apiDownloadingUpdate) {
        downloadUpdateDigest();
    } else {
        try {
            applyWallpaper();
        } catch (...) {
            // Not a picture we can show, or the disk refused it: the previous
            // wallpaper stays; end this change and ask for another.
            endWallpaperChange();
            retryAfterFailedChange();
        }
    }
}

void CQXAPI::applyWallpaper() {
    convertPictureToBitmap(activePicturePath(), wallpaperBitmapPath());
    setDesktopWallpaper(wallpaperBitmapPath());

    apiActiveWallpaper = changingToID_;
    apiActiveWallpaperLink = changingToLink_;
    regSaveSetting(kAppName, memberSection(apiUsername), L"ActiveWallpaperLink", apiActiveWallpaperLink);
    regSaveSetting(kAppName, memberSection(apiUsername), L"ActiveWallpaper", std::to_wstring(apiActiveWallpaper));
    failedChanges_ = 0;
    endWallpaperChange();
}

bool CQXAPI::wallpaperChangeUnderWay() const {
    // Its picture is on its way; an update takes the downloader over.
    return !apiDownloadingUpdate && QXDownload.Busy();
}

void CQXAPI::endWallpaperChange() {
    apiForced = false;
    ui::frmMain().setEnabled(true);
    ui::formInstance<ui::FrmDownloading>().Unload();
}

void CQXAPI::retryAfterFailedChange() {
    // A service that keeps sending what cannot be shown is not asked again and
    // again: after a few failures in a row the rotation waits for the next
    // scheduled change.
    if (++failedChanges_ < kMostFailedChangesInARow) requestNextWallpaper();
}

void CQXAPI::QXDownload_Error(int16_t Number, const std::wstring& Description) {
    const FlagScope exchange = exchangeOf(apiForced);
    runTrapped(L"QXDownload_Error", kModule, [&] {
        const bool outage = apiCheckNetworkOutage(Number, Description);
        if (!outage) {
            if (apiDownloadingUpdate) {
                updateDownloadFailed();
                return;
            }
            if (apiLoggedIn && apiForced) {
                ui::showNotice(L"Vorlane - Connection Issue",
                               L"Network Error " + std::to_wstring(Number) + L"!\r\n" + Description);
            }
        } else if (apiDownloadingUpdate) {
            forgetUpdate();
        }
        QXDownload.Cancel();
        endWallpaperChange();
        // A reply that was no picture fails this change as a picture that
        // cannot be shown does. The network's failures (a socket error, a
        // server silent or too slow, a reply cut short in its head or its
        // body) end the change here: asking again would only wait on the
        // same line.
        if (!outage && downloadError::isRefusedReply(Number)) retryAfterFailedChange();
    });
}

}  // namespace vorlane
