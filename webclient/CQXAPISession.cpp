// CQXAPI: login and logout, the service's error numbers, socket errors, the
// network-outage state and its retry, and replies that are not the service's.
#include <windows.h>

#include "core/CTimerFunctions.h"
#include "core/ServiceHosts.h"
#include "core/Trap.h"
#include "core/modRegistry.h"
#include "core/modSysTray.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmSlideMessage.h"
#include "ui/modGlobals.h"
#include "ui/modMiscTray.h"
#include "webclient/CQXAPI.h"
#include "webclient/modXML.h"

namespace vorlane {

namespace {

constexpr const wchar_t* kModule = L"CQXAPI";


void forgetSavedLogin() {
    regSaveSetting(kAppName, kLoginSection, L"SavedUsername", L"");
    regSaveSetting(kAppName, kLoginSection, L"SavedPassword", L"");
}

}  // namespace

bool CQXAPI::APILogin() {
    bool sent = false;
    runTrapped(L"APILogin", kModule, [&] {
        if (apiUsername.empty() || apiPasswordHash.empty()) return;
        TextArray keys, values;
        array_push(keys, L"username");
        array_push(values, apiUsername);
        array_push(keys, L"md5password");
        array_push(values, apiPasswordHash);
        sent = gQXAPI->APISend(L"qx.auth.login", keys, values);
    });
    return sent;
}

void CQXAPI::APILogout() {
    runTrapped(L"APILogout", kModule, [&] {
        forgetSavedLogin();
        ui::frmOptions().lblLoggedIn.setCaption(L"[Not Logged In]");
        APICloseSock();
        // A change under way was the member's: it ends with the session, and
        // nothing of it is applied or saved under the next member, or none.
        // One still at its query ended with the connection.
        if (wallpaperChangeUnderWay()) {
            QXDownload.Cancel();
            endWallpaperChange();
        }
        if (!apiDownloadingUpdate) apiForced = false;
        ui::FrmLogin& login = ui::frmLogin();
        login.txtUserName.setText(L"");
        login.txtPassword.setText(L"");
        apiLoggedIn = false;
        apiUsername.clear();
        apiPasswordHash.clear();
        useProgramKey();  // the member's key leaves with the member
        // Nothing more is asked for the member who left: the next login arms
        // the rotation again, the next outage the retry.
        gTimerFunctions->Active_ChangeWallpaper = false;
        gTimerFunctions->Active_CheckIdle = false;
        gTimerFunctions->Active_NetworkRetry = false;
        login.EnableLogin();
        ui::frmMain().Hide();
        login.Show();
        SetForegroundWindow(login.hwnd());
    });
}

void CQXAPI::APICloseSock() {
    // Every request under way is given up with the connection: the one sent and
    // those waiting their turn.
    dropRequests();
    ++closings_;
    QXSock.CloseSck();
}

void CQXAPI::APIHandleError(int16_t ErrorNo, const std::wstring& ErrorDescr) {
    runTrapped(L"APIHandleError", kModule, [&] {
        switch (ErrorNo) {
            case 69:
                NoWallpapersExist();
                break;
            case 75: {
                MessageBoxW(ui::windowInFront(),
                            L"Oops!  That username / password is not a valid Quorvex login!\r\n\r\n"
                            L"Please try again, or visit Quorvex to create a new account or recover a forgotten "
                            L"password.",
                            L"Invalid Username/Password", MB_OK | MB_ICONEXCLAMATION);
                forgetSavedLogin();
                apiPasswordHash.clear();
                ui::FrmLogin& login = ui::frmLogin();
                login.txtPassword.setText(L"");
                ui::frmOptions().lblLoggedIn.setCaption(L"[Not Logged In]");
                apiLoggedIn = false;
                login.readyForAnotherLogin();
                if (apiUsername.empty()) {
                    login.txtUserName.setText(L"");
                    login.txtUserName.setFocus();
                } else {
                    login.txtPassword.setFocus();
                }
                break;
            }
            case 901:
                ui::showNotice(L"Vorlane API Error",
                           L"Your API Key has exceeded it's daily allocation.  This usually shouldn't happen in "
                           L"Vorlane.  Please contact us for details: " + contactPageAddress());
                break;
            case 950:
            case 951:
                if (holdRotation())
                    ui::showNotice(L"Vorlane API Error",
                                   L"[" + std::to_wstring(ErrorNo) +
                                       L"] A fatal API error has occurred within Vorlane.  Please contact us for "
                                       L"details: " + contactPageAddress());
                break;
            default:
                ui::showNotice(L"Vorlane Error", L"An error has occurred [" + std::to_wstring(ErrorNo) + L"]: " +
                                                 ErrorDescr + L".  Please contact us for details: " + contactPageAddress());
                break;
        }
        // Logged out, the error answered the login.
        if (ErrorNo != 75) loginEndedWithoutSession();
    });
}

void CQXAPI::apiSetNetworkOutage() {
    runTrapped(L"apiSetNetworkOutage", kModule, [&] {
        if (apiNetworkOutage) return;
        // The member's own requests that wait their turn go with the connection.
        const bool tell = tellOfTrouble() || anyRequest(&Request::members);
        APICloseSock();
        if (apiSilent || apiLoggedIn) {
            if (tell)
                ui::showNotice(L"Vorlane - Connection Issue",
                               L"Could not connect to Quorvex\r\n\r\nVorlane will try again in a few minutes.  "
                               L"Wallpaper rotation will resume automatically when you reconnect to the internet.");
            gTimerFunctions->Active_NetworkRetry = true;
        } else if (tell) {
            showConnectionError();
        } else {
            ui::frmLogin().EnableLogin();
        }
        apiNetworkOutage = true;
        startEpisode();
    });
}

void CQXAPI::showConnectionError() {
    MessageBoxW(ui::windowInFront(),
                L"The connection to Quorvex cannot be established at this time due to a connectivity "
                L"issue.\r\n\r\nPlease make sure you're connected to the internet and try again.",
                L"Connection Error", MB_OK | MB_ICONERROR);
    ui::frmLogin().EnableLogin();
}

// A login answered by the service with anything but acceptance (refused,
// unreadable, an error, another root): logged out, with the login window ready
// for another try. A silent login gets it too, or the program would wait in the
// tray for good. One that met an episode's trouble (a gateway in front of the
// service, a reply that holds the rotation) is no answer: the retry logs in
// again, silently, until the service answers as itself.
void CQXAPI::loginEndedWithoutSession() {
    runTrapped(L"loginEndedWithoutSession", kModule, [&] {
        if (apiLoggedIn) return;
        if (apiSilent && inEpisode_) {
            askAgainInEpisode();
            return;
        }
        gTimerFunctions->Active_NetworkRetry = false;  // the member logs in from here
        ui::frmLogin().readyForAnotherLogin();
    });
}

void CQXAPI::replyTimedOut() {
    const FlagScope exchange = exchangeOf(inFlightIsMembers());
    forgetRequestInFlight();
    QXSock.CloseSck();  // a late reply is no one's
    connectionFailed();
}

void CQXAPI::connectionFailed() {
    if (!apiNetworkOutage || apiSilent || apiLoggedIn) {
        apiSetNetworkOutage();
        return;
    }
    // Already in the outage: a member who is logging in still hears of each
    // attempt that fails, and gets the login window back to try again.
    runTrapped(L"connectionFailed", kModule, [&] {
        APICloseSock();
        showConnectionError();
    });
}

bool CQXAPI::apiNetworkRetry() {
    bool connected = false;
    // A change the member asked for is its own question; the retry's fails
    // silently during an episode.
    const bool forMember = membersExchange_;
    const FlagScope exchange = exchangeOf(false);
    runTrapped(L"apiNetworkRetry", kModule, [&] {
        // A connection that carries a request, or is being made for one, stays.
        if (!connecting_ && !awaitingReply()) QXSock.CloseSck();
        if (!APIConnect()) return;
        if (!apiLoggedIn && (apiPasswordHash.empty() || apiUsername.empty())) {
            // The outage is over before the wait in the login window: the
            // clock runs on under it and must not retry, and so open the
            // window over itself, every thirty seconds.
            apiNetworkOutage = false;
            gTimerFunctions->Active_NetworkRetry = false;
            ui::FrmMain& main = ui::frmMain();
            main.Show();
            main.setEnabled(false);
            ui::frmLogin().ShowModal(&main);
            connected = true;
        } else {
            // Connected again: a login that cannot go out is a new outage,
            // whose retry stays armed.
            apiNetworkOutage = false;
            if (!apiLoggedIn) {
                ui::minimizeToTray(apiUsername);
                apiSilent = true;
                APILogin();
            } else if ((inEpisode_ || !ui::frmMain().cboGallery.Enabled()) && !forMember &&
                       !anyRequest(&Request::galleries)) {
                // The lightest question, which also refills lists that a lost
                // request left waiting: does the service answer as itself again?
                ui::requestGalleries();
            }
            connected = !apiNetworkOutage;
        }
        sendQueued();  // requests made while the connection was being made
    });
    return connected;
}

void CQXAPI::APIHandleSockError() {
    runTrapped(L"APIHandleSockError", kModule, [&] {
        if (QXSock.State() != StateClosed) QXSock.CloseSck();
        if (!apiSilent && !apiLoggedIn) {
            MessageBoxW(ui::windowInFront(),
                        L"Could not connect to the Quorvex servers!\r\n\r\nMake sure you're connected to the "
                        L"internet and try again.",
                        L"Connection Error", MB_OK | MB_ICONERROR);
            ui::frmLogin().EnableLogin();  // the member can try again
        } else if (!apiLoggedIn) {
            // A silent login that could not go out: the outage's retry logs in again.
            apiSetNetworkOutage();
        } else {
            askAgainInEpisode();  // the retry's question, maybe: asked again
        }
    });
}

bool CQXAPI::tellOfTrouble() {
    ++troubles_;
    askAgainInEpisode();
    if (inEpisode_ && !membersExchange_) return false;
    // The member hears once what became of their request: the rest of its
    // trouble (a stranger's page that cannot be read either, the connection
    // it then closes) adds no second notice or box.
    membersExchange_ = false;
    if (inFlight_) inFlight_->members = false;
    return true;
}

bool CQXAPI::holdRotation() {
    const bool tell = tellOfTrouble();
    gTimerFunctions->rotationHeld = true;
    startEpisode();
    return tell;
}

void CQXAPI::startEpisode() {
    inEpisode_ = true;
    askAgainInEpisode();
}

void CQXAPI::endEpisode() {
    inEpisode_ = false;
    gTimerFunctions->rotationHeld = false;
    if (!apiNetworkOutage) gTimerFunctions->Active_NetworkRetry = false;  // nothing left to ask
}

void CQXAPI::askAgainInEpisode() {
    if (inEpisode_ && (apiLoggedIn || apiSilent) && !gTimerFunctions->Active_NetworkRetry)
        gTimerFunctions->Active_NetworkRetry = true;
}

void CQXAPI::APIUnexpectedResponse() {
    const bool tell = holdRotation();
    loginEndedWithoutSession();
    if (!tell) return;
    ui::showNotice(L"Vorlane - Network Error",
               L"The Quorvex servers responded in an unexpected way.  This could be due to a temporary network "
               L"problem or interference from another program on your computer (such as spyware).  If this "
               L"continues, please reinstall Vorlane: " + programPageAddress());
}

void CQXAPI::APIForeignResponse() {
    if (!holdRotation()) return;
    ui::showNotice(L"Vorlane - Network Error",
               L"Vorlane received a response from a source other than Quorvex.  This is usually caused by a "
               L"wireless gateway interfering (at a coffee shop, airport, etc).  Try visiting Quorvex in your web "
               L"browser.  If everything works there, try scanning your computer for spyware.");
}

void CQXAPI::QXSock_Error(int16_t Number, const std::wstring& Description) {
    const FlagScope exchange = exchangeOf(inFlightIsMembers());
    runTrapped(L"QXSock_Error", kModule, [&] {
        QXSock.CloseSck();
        if (resendUnanswered()) return;
        const bool outage = apiCheckNetworkOutage(Number, Description);
        if (!outage && apiLoggedIn && apiForced && tellOfTrouble())
            ui::showNotice(L"Vorlane - Connection Issue",
                       L"Network Error " + std::to_wstring(Number) + L"!\r\n" + Description);
    });
}

bool CQXAPI::apiCheckNetworkOutage(int16_t number, const std::wstring&) {
    // A connection aborted on our side, or a host name without an address.
    if (number == 10053 || number == 11004) {
        gQXAPI->apiSetNetworkOutage();
        return true;
    }
    return false;
}

}  // namespace vorlane
