// CQXAPI: the client of the service's XML API and the program's shared login
// and download state. One instance, gQXAPI, lives for the whole run. It owns the
// API connection (QXSock), which carries one HTTP/1.0 request and its XML reply
// at a time (requests made meanwhile wait their turn), and the file downloader
// (QXDownload) for pictures and updates.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/FlagScope.h"
#include "core/modMisc.h"
#include "socket/CSocketMaster.h"
#include "webclient/CDownload.h"
#include "webclient/ReplyPace.h"

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
    // The address of an update left alone for the rest of the run: its engine
    // did not start, or the member stayed after its address was refused.
    std::wstring apiUpdateLeftAlone;
    bool apiNetworkOutage = false;
    int32_t apiActiveWallpaper = 0;
    std::wstring apiActiveWallpaperLink;
    int64_t apiDownloadedBytes = 0;
    CDownload QXDownload;

    // --- Requests and framing ---
    // Sends one API request, or queues it behind the one under way; true when it
    // went out with its reply time-out armed, or waits its turn to.
    bool APISend(const std::wstring& QueryMethod, TextArray& queryKeys, TextArray& queryValues);

    // Removes the files of the update under way from the data folder: the
    // archive and its checksum file, complete or not. Nothing when none is.
    void removeUpdateFiles();
    // An update that will not be applied (the member aborted it, an outage cut
    // it off, its engine did not start): its files and state go, and what it
    // stopped runs again (the clock, so that the retry and the schedule run; a
    // change no longer forced). The service announces it anew; one whose
    // engine did not start is then left alone (apiUpdateLeftAlone).
    void forgetUpdate();
    // Ends the download under way without applying it (the member aborted it,
    // or it cannot go on): an update is forgotten, the change is no longer
    // forced, the main window comes back and the progress window goes.
    void endDownloadUnapplied();

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
    // The reply time-out fired: the request is given up as a failed connection is.
    void replyTimedOut();

    // --- Episodes of trouble ---
    // An episode runs from the first failure that holds the rotation or starts
    // an outage to the first reply that carries the service's header and is
    // understood. Every failure that would tell the member asks here first:
    // true outside an episode, and within one only for what the member asked
    // for (a change, their login), once for each request; the retry's
    // questions and the schedule's changes fail silently until the episode ends.
    bool tellOfTrouble();

    // The API connection itself, for the program's own checks (state, buffered bytes).
    const CSocketMaster& socket() const { return QXSock; }
    const std::wstring& host() const { return apiHost; }

    // Replies that grow past this without completing are dropped.
    static constexpr int32_t kLargestReply = 4 * 1024 * 1024;
    // How long a reply may take (the silence rule runs on the scheduler's clock).
    ReplyPace::Limits replyLimits;

private:
    // Requests go under the program's own key until a login gives the member's.
    void useProgramKey();
    bool APIConnect();
    void APIHandleSockError();
    void APIUnexpectedResponse();
    void APIForeignResponse();
    bool apiCheckNetworkOutage(int16_t number, const std::wstring& description);
    // A reply that is not the service's own, or a fatal error of the service:
    // the rotation holds until the service answers as itself again. True when
    // the member is to hear of it (tellOfTrouble).
    bool holdRotation();
    void startEpisode();
    void endEpisode();
    // During an episode, for a member who is logged in or being logged in
    // silently, the retry asks the service again every thirty seconds.
    void askAgainInEpisode();

    void QXSock_DataArrival(int32_t bytesTotal);
    void QXSock_CloseSck();
    void QXSock_Error(int16_t Number, const std::wstring& Description);
    void QXDownload_Starting(int32_t FileSize, const std::wstring& Header);
    void QXDownload_DataArrival(int32_t bytesTotal);
    void QXDownload_Completed();
    void QXDownload_Error(int16_t Number, const std::wstring& Description);

    struct Request {
        uint64_t id;
        std::wstring line;  // the whole request, as it goes on the wire
        bool onKeptConnection = false;  // written into a connection an earlier reply came on
        bool login = false;
        bool galleries = false;  // the list the gallery and category boxes wait for
        bool members = false;    // asked for by the member: its failures are told in an episode too
    };
    // The failures that follow are told as those of what the member asked for,
    // or not, until the scope ends.
    FlagScope exchangeOf(bool members) { return FlagScope(membersExchange_, members); }
    bool inFlightIsMembers() const { return inFlight_ && inFlight_->members; }
    // True when a request under way or waiting its turn has the flag set.
    bool anyRequest(bool Request::*flag) const;

    void frameReply();
    // document: the body from where its root should start.
    void frameDocument(std::wstring_view document, bool fromService);
    void completeReply();
    // A reply that is no document of the service's (too long, not XML, more
    // than one document): its request ends with the unexpected-reply notice.
    void refuseReply();
    void dropUnreadReply();
    void dropUnaskedBytes();
    // Requests go out one at a time, in the order they were made.
    void sendQueued();
    void writeRequest(const Request& request);
    bool isUnderWay(uint64_t id) const;
    bool awaitingReply();
    bool replyOverdueWithoutClock() const;
    bool replyTooSlow();
    bool resendUnanswered();
    bool waitForConnect();
    void connectionFailed();
    void showConnectionError();
    void forgetRequestInFlight();
    void loginEndedWithoutSession();
    void dropRequests();
    void requestNextWallpaper();
    void applyWallpaper();
    bool wallpaperChangeUnderWay() const;
    void endWallpaperChange();
    void retryAfterFailedChange();
    // The two steps of an update download that follow a complete file.
    void downloadUpdateDigest();
    void checkUpdateDigest();
    void startUpdateEngine();
    void giveUpCorruptUpdate();
    // An update download that cannot go on: the member is told, the program ends.
    void updateDownloadFailed();
    // A verified archive whose engine could not be started: the member is told,
    // the update forgotten, the program runs on.
    void updateEngineDidNotStart(uint32_t error);
    std::wstring wallpaperAddress(int32_t id, const std::wstring& fileName) const;

    std::wstring apiHost;     // host, or host:port, of the API
    std::wstring apiBaseURL;  // "http://" host "/api.php?apikey="
    std::wstring apiEndTag;   // the end tag of the reply now arriving
    CSocketMaster QXSock;
    std::deque<Request> pendingRequests_;  // waiting their turn, oldest first
    uint64_t lastRequestId_ = 0;
    std::optional<Request> inFlight_;      // sent, its whole reply not come yet
    bool replyBegun_ = false;              // a byte of its reply has come
    bool replyIsOneLine_ = false;          // ... and so far it is one whole line, no document
    ReplyPace replyPace_;                  // its reply's deadlines
    bool inEpisode_ = false;               // an episode of trouble lasts
    uint64_t troubles_ = 0;                // tellOfTrouble calls
    uint64_t troublesAtRequest_ = 0;       // ... when the request in flight went out
    bool membersExchange_ = false;         // the exchange failing now is the member's own
    bool connectionAnswered_ = false;      // the connection open now has carried a whole reply
    bool connecting_ = false;              // APIConnect is waiting for the connection
    uint64_t closings_ = 0;                // APICloseSock calls, to tell a connect given up
    // Wallpaper downloads in a row that could not be applied: the rotation stops
    // asking after a few, until the next scheduled change.
    int failedChanges_ = 0;
    // The wallpaper the running download brings: a later reply that starts no
    // download of its own does not rename it.
    int32_t changingToID_ = 0;
    std::wstring changingToLink_;
};

// The program's one API client, made at start-up.
extern std::unique_ptr<CQXAPI> gQXAPI;

}  // namespace vorlane
