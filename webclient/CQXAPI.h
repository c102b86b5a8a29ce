// CQXAPI: the client of the service's XML API and the program's shared login
// and download state. One instance, gQXAPI, lives for the whole run. It owns the
// API connection (QXSock), which carries one HTTP/1.0 request and its XML reply
// at a time, and the file downloader (QXDownload) for pictures and updates.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/modMisc.h"
#include "socket/CSocketMaster.h"
#include "webclient/CDownload.h"

namespace vorlane {

class CQXAPI {
public:
    CQXAPI();  // Class_Initialize
    ~CQXAPI();
    CQXAPI(const CQXAPI&) = delete;
    CQXAPI& operator=(const CQXAPI&) = delete;

    // --- Shared state ---
    std::wstring apiKey;          // sent with every request; the member's own after login
    std::wstring apiUsername;     // names the member's settings section
    std::wstring apiPasswordHash; // MD5 of the password, lowercase hexadecimal
    std::wstring apiAuthToken;    // from the login reply; kept, never read
    bool apiForced = false;       // the change under way was asked for by the member
    bool apiSilent = false;       // log in without showing any window
    bool apiLoggedIn = false;
    bool apiDownloadingUpdate = false;
    std::wstring apiDownloadingUpdateFile;
    std::wstring apiDownloadingUpdateLink;
    bool apiDownloadingUpdateMD5 = false;
    int16_t apiDownloadingUpdateErr = 0;
    // The update download switched the main clock off (it was running before).
    bool apiUpdateStoppedClock = false;
    bool apiNetworkOutage = false;
    int32_t apiActiveWallpaper = 0;
    std::wstring apiActiveWallpaperLink;
    int64_t apiDownloadedBytes = 0;
    CDownload QXDownload;

    // --- Requests and framing ---
    // Sends one API request; true when it went out and the reply time-out is armed.
    bool APISend(const std::wstring& QueryMethod, TextArray& queryKeys, TextArray& queryValues);

    // --- Wallpaper rotation ---
    void RotateWallpaper();
    void DownloadAndChangeWallpaper(int32_t ID, const std::wstring& FileName);

    // --- Session, errors, outage ---
    bool APILogin();
    void APILogout();
    void APICloseSock();
    void APIHandleError(int16_t ErrorNo, const std::wstring& ErrorDescr);
    void apiSetNetworkOutage();
    bool apiNetworkRetry();

    // The API connection itself, for the program's own checks (state, buffered bytes).
    const CSocketMaster& socket() const { return QXSock; }
    const std::wstring& host() const { return apiHost; }

    // Replies that grow past this without completing are dropped.
    static constexpr int32_t kLargestReply = 4 * 1024 * 1024;

private:
    bool APIConnect();
    void APIHandleSockError();
    void APIUnexpectedResponse();
    void APIForeignResponse();
    bool apiCheckNetworkOutage(int16_t number, const std::wstring& description);

    void QXSock_DataArrival(int32_t bytesTotal);
    void QXSock_Error(int16_t Number, const std::wstring& Description);
    void QXDownload_Starting(int32_t FileSize, const std::wstring& Header);
    void QXDownload_DataArrival(int32_t bytesTotal);
    void QXDownload_Completed();
    void QXDownload_Error(int16_t Number, const std::wstring& Description);

    void frameReply();
    void dropUnreadReply();
    void requestNextWallpaper();
    void applyWallpaper();
    void endWallpaperChange();
    void retryAfterFailedChange();
    // The two steps of an update download that follow a complete file.
    void downloadUpdateDigest();
    void checkUpdateDigest();
    void startUpdateEngine();
    void giveUpCorruptUpdate();
    // An update download that cannot go on: the member is told, the program ends.
    void updateDownloadFailed();
    // An update download cut off by an outage: forgotten, so that the retry and
    // the schedule run again; the service announces the update anew.
    void forgetUpdateAfterOutage();
    std::wstring wallpaperAddress(int32_t id, const std::wstring& fileName) const;

    std::wstring apiHost;     // host, or host:port, of the API
    std::wstring apiBaseURL;  // "http://" host "/api.php?apikey="
    std::wstring apiEndTag;   // the end tag of the reply now arriving
    CSocketMaster QXSock;
    // Wallpaper downloads in a row that could not be applied: the rotation stops
    // asking after a few, until the next scheduled change.
    int failedChanges_ = 0;
};

// The program's one API client, made at start-up.
extern std::unique_ptr<CQXAPI> gQXAPI;

}  // namespace vorlane
