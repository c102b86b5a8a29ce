// Login and logout, the service's error numbers, outages and the retry.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "core/Globals.h"
#include "core/ServiceHosts.h"
#include "core/modRegistry.h"
#include "socket/WinsockErrors.h"
#include "tests/webclient/ApiFixture.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmSlideMessage.h"
#include "ui/modGlobals.h"
#include "webclient/modMD5.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

class Session : public ApiFixture {
protected:
    // The login requests among them (an accepted login goes on to ask for the gallery list).
    size_t loginRequests() {
        size_t count = 0;
        for (const LoggedRequest& request : apiRequests())
            if (request.requestLine().find("method=qx.auth.login") != std::string::npos) ++count;
        return count;
    }
    // Fetches the gallery list once, as a request that gets an answer.
    void askForGalleries() {
        TextArray keys{L"withcategories"}, values{L"yes"};
        gQXAPI->APISend(L"qx.getGalleries", keys, values);
    }
};

// A loopback listener of the test's own, for what the stand-in cannot do:
// reset a kept connection between two requests.
class RawListener {
public:
    explicit RawListener(int backlog = 4) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(socket_, backlog) != 0 ||
            getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ADD_FAILURE() << "no listener: " << WSAGetLastError();
        port_ = ntohs(address.sin_port);
    }
    ~RawListener() {
        closesocket(socket_);
        WSACleanup();
    }
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    uint16_t port() const { return port_; }

    // The connection the client has made (within five seconds).
    SOCKET accept() {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(socket_, &ready);
        timeval limit{5, 0};
        if (select(0, &ready, nullptr, nullptr, &limit) != 1) return INVALID_SOCKET;
        return ::accept(socket_, nullptr, nullptr);
    }
    // Reads until the end of a request head.
    static void receiveRequest(SOCKET connection) {
        DWORD limit = 5000;
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
        std::string head;
        char chunk[4096];
        int n;
        while (head.find("\r\n\r\n") == std::string::npos && (n = recv(connection, chunk, sizeof chunk, 0)) > 0)
            head.append(chunk, static_cast<size_t>(n));
        EXPECT_NE(head.find("\r\n\r\n"), std::string::npos) << "no request came";
    }
    static void reply(SOCKET connection, const std::string& bytes) {
        EXPECT_EQ(send(connection, bytes.data(), static_cast<int>(bytes.size()), 0), static_cast<int>(bytes.size()));
    }
    // Closes the connection with a reset rather than an orderly end.
    static void reset(SOCKET connection) {
        const linger abort{1, 0};
        setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
        closesocket(connection);
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
    uint16_t port_ = 0;
};

const std::wstring kOutageText =
    L"Could not connect to Quorvex\r\n\r\nVorlane will try again in a few minutes.  Wallpaper rotation will resume "
    L"automatically when you reconnect to the internet.";

const wchar_t* kBadLoginText =
    L"Oops!  That username / password is not a valid Quorvex login!\r\n\r\nPlease try again, or visit Quorvex to "
    L"create a new account or recover a forgotten password.";

}  // namespace

TEST_F(Session, LoginSendsTheDigestAndLaterRequestsCarryTheMembersKey) {
    galleries.clear();
    logIn();
    EXPECT_EQ(gQXAPI->apiKey, L"Ak7Tq2Wn9Xc4");
    // The gallery list the login asks for is answered under the member's key.
    ASSERT_TRUE(waitFor([] { return galleries.size() > 0; }));
    const auto requests = apiRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(loginRequests(), 1u);
    EXPECT_EQ(queryPairsOf(requests[0]),
              (QueryPairs{{"apikey", "Vx3k9QpL2m7Z"}, {"method", "qx.auth.login"}, {"username", "alice"},
                          {"md5password", "968d34696c27a1cc949074e23d9ee0a0"}}));
    EXPECT_EQ(GetStringMD5(L"tulips2008"), L"968d34696c27a1cc949074e23d9ee0a0");
    EXPECT_EQ(queryPairsOf(requests[1])[0], (QueryPair{"apikey", "Ak7Tq2Wn9Xc4"}));

    // The service knows its keys: one it never gave out is refused.
    gQXAPI->apiKey = L"Zz9Zz9Zz9Zz9";
    askForGalleries();
    ASSERT_TRUE(waitFor([&] { return notice().has_value(); }));
    EXPECT_EQ(notice()->text.rfind(L"[950] A fatal API error", 0), 0u);
}

TEST_F(Session, LoginNeedsBothCredentials) {
    gQXAPI->apiUsername = L"alice";
    EXPECT_FALSE(gQXAPI->APILogin());
    gQXAPI->apiUsername.clear();
    gQXAPI->apiPasswordHash = GetStringMD5(L"tulips2008");
    EXPECT_FALSE(gQXAPI->APILogin());
    EXPECT_TRUE(apiRequests().empty());
}

TEST_F(Session, RejectedLoginForgetsThePasswordAndReopensTheLogin) {
    regSaveSetting(kAppName, kLoginSection, L"SavedUsername", L"alice");
    regSaveSetting(kAppName, kLoginSection, L"SavedPassword", L"0123456789abcdef0123456789abcdef");
    ui::FrmLogin& login = ui::frmLogin();
    login.txtPassword.setText(L"wrong");
    login.DisableLogin();
    gQXAPI->apiSilent = true;
    gQXAPI->apiUsername = L"alice";
    gQXAPI->apiPasswordHash = GetStringMD5(L"wrong");
    ASSERT_TRUE(gQXAPI->APILogin());
    ASSERT_TRUE(waitFor([&] { return dialogs.count() > 0 && gQXAPI->apiPasswordHash.empty(); }));

    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"Invalid Username/Password");
    EXPECT_EQ(dialogs.seen()[0].text, kBadLoginText);
    EXPECT_EQ(regGetSetting(kAppName, kLoginSection, L"SavedUsername", L"?"), L"");
    EXPECT_EQ(regGetSetting(kAppName, kLoginSection, L"SavedPassword", L"?"), L"");
    EXPECT_EQ(login.txtPassword.Text(), L"");
    EXPECT_EQ(ui::frmOptions().lblLoggedIn.Caption(), L"[Not Logged In]");
    EXPECT_FALSE(gQXAPI->apiLoggedIn);
    EXPECT_FALSE(gQXAPI->apiSilent);
    EXPECT_TRUE(login.Visible());
    EXPECT_TRUE(login.txtUserName.Enabled());
    EXPECT_EQ(GetFocus(), login.txtPassword.hwnd());  // the name stays; the password is to be typed again
}

TEST_F(Session, RejectedLoginWithoutANameFocusesTheName) {
    ui::FrmLogin& login = ui::frmLogin();
    login.txtUserName.setText(L"typed");
    gQXAPI->APIHandleError(75, L"Bad login");
    EXPECT_EQ(login.txtUserName.Text(), L"");
    EXPECT_EQ(GetFocus(), login.txtUserName.hwnd());
}

TEST_F(Session, ErrorNumbersGetTheirNotices) {
    gQXAPI->APIHandleError(901, L"whatever");
    auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane API Error");
    EXPECT_EQ(shown->text, L"Your API Key has exceeded it's daily allocation.  This usually shouldn't happen in "
                           L"Vorlane.  Please contact us for details: " + serviceHosts().web.root() + L"contact/");
    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());

    gQXAPI->APIHandleError(-7, L"Odd");
    shown = notice();
    EXPECT_EQ(shown->title, L"Vorlane Error");
    EXPECT_EQ(shown->text.rfind(L"An error has occurred [-7]: Odd.  Please contact us for details: ", 0), 0u);
}

TEST_F(Session, FatalApiErrorHoldsTheRotation) {
    service.fault("api_error", "&number=951&description=Unknown+method");
    askForGalleries();
    ASSERT_TRUE(waitFor([&] { return notice().has_value(); }));
    const auto shown = notice();
    EXPECT_EQ(shown->title, L"Vorlane API Error");
    EXPECT_EQ(shown->text.rfind(L"[951] A fatal API error has occurred within Vorlane.  Please contact us for details: ",
                                0),
              0u);
    EXPECT_TRUE(gTimerFunctions->rotationHeld);
}

// A reply that is not the service's own, or a fatal error of it, holds the
// countdown; the retry asks again, and the service's first good answer lets
// the countdown go on where it stood.
TEST_F(Session, EveryNoticeThatHoldsTheRotationLeavesAWayBack) {
    logIn();
    changeIntervalSeconds = 3600;
    for (const auto& [fault, params] : {std::pair{"foreign", ""}, {"custom", "&body=%3Cauth%3E%0A%0A"},
                                        {"api_error", "&number=950"}, {"api_error", "&number=951"}}) {
        SCOPED_TRACE(fault + std::string(params));
        ASSERT_TRUE(waitFor([] { return !gTimerFunctions->Active_SockTimeout; }));
        secondsSinceChange = 0;
        service.fault(fault, params);
        askForGalleries();
        // Held, with the retry armed, and the exchange over.
        ASSERT_TRUE(waitFor([] {
            return gTimerFunctions->rotationHeld && gTimerFunctions->Active_NetworkRetry &&
                   gQXAPI->socket().State() == StateClosed;
        }));
        tick(30);  // between two ticks: the next starts the count
        EXPECT_EQ(secondsSinceChange, 0);
        tick(1);
        ASSERT_TRUE(waitFor([] { return !gTimerFunctions->rotationHeld; }));
        tick(2);
        EXPECT_EQ(secondsSinceChange, 2);
        EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());
    }
}

namespace {

// A hotspot in front of the service that answers every request while it stays.
struct Gateway {
    const char* name;
    const char* fault;
    const char* params;
    bool silentStart;  // met by the start-up's silent login, not by a member logged in
    bool memberAsks;   // the member's own change while it stays is told what becomes of it
};

const Gateway kGateways[] = {
    {"RedirectThenClose", "redirect", "&to=http%3A%2F%2Fhotspot.example%2Flogin", false, false},
    {"SignInPage", "portal", "", false, false},
    {"MalformedPage", "portal", "&markup=html", false, false},
    {"NoServiceHeader", "foreign", "", false, false},
    {"FatalError950", "api_error", "&number=950", false, false},
    {"MemberRotatesNow", "redirect", "", false, true},
    {"MemberRotatesNowMalformedPage", "portal", "&markup=html", false, true},
    {"SilentStartRedirect", "redirect", "", true, false},
    {"SilentStartMalformedPage", "portal", "&markup=html", true, false},
    {"SilentStartFatalError950", "api_error", "&number=950", true, false},
};

class GatewayThatStays : public Session, public ::testing::WithParamInterface<Gateway> {};

bool listsUsable() { return ui::frmMain().cboGallery.Enabled() && ui::frmMain().cboCategory.Enabled(); }

// The retry's question has had its answer, or none, and the retry waits to ask again.
bool retryWaits() {
    return gTimerFunctions->Active_NetworkRetry && !gTimerFunctions->Active_SockTimeout &&
           gQXAPI->socket().State() == StateClosed;
}

void rotateNow() {
    gQXAPI->apiForced = true;
    gQXAPI->RotateWallpaper();
}

}  // namespace

TEST_P(GatewayThatStays, TellsOnceKeepsTheListsAndStepsAsideForTheService) {
    const Gateway& gateway = GetParam();
    regSaveSetting(kAppName, memberSection(L"alice"), L"MinimizeHelp", L"1");  // told at the start, in the tray
    if (!gateway.silentStart) logIn();
    ASSERT_TRUE(waitFor([] { return listsUsable() && gQXAPI->socket().State() == StateClosed; }));
    service.fault(gateway.fault, std::string(gateway.params) + "&count=0");
    gQXAPI->apiSilent = gateway.silentStart;
    gQXAPI->apiUsername = L"alice";
    gQXAPI->apiPasswordHash = GetStringMD5(L"tulips2008");
    gateway.silentStart ? (void)gQXAPI->APILogin() : askForGalleries();
    size_t told = 0;
    for (int cycle = 0; cycle < 5; ++cycle) {  // the first failure, then four retries
        SCOPED_TRACE(cycle);
        ASSERT_TRUE(waitFor(retryWaits));
        told += notice().has_value();
        ui::formInstance<ui::FrmSlideMessage>().Unload();
        const size_t asked = apiRequests().size();
        if (gateway.memberAsks && cycle == 2) rotateNow();
        tick(31);
        EXPECT_TRUE(listsUsable() || gateway.silentStart);  // while the question is out too
        ASSERT_TRUE(waitFor([&] { return apiRequests().size() > asked; })) << "the retry asked nothing";
    }
    ASSERT_TRUE(waitFor(retryWaits));
    EXPECT_EQ(told + notice().has_value() + dialogs.count(), 1u + gateway.memberAsks);
    EXPECT_TRUE(errors.empty());

    // The gateway goes: the retry's next question has the service's answer.
    service.reset();
    ASSERT_TRUE(waitFor(retryWaits));
    tick(31);
    ASSERT_TRUE(waitFor([] { return gQXAPI->apiLoggedIn && !gTimerFunctions->rotationHeld && listsUsable(); }));
    rotateNow();
    EXPECT_TRUE(waitFor([] { return gQXAPI->apiActiveWallpaper != 0; }));
}

INSTANTIATE_TEST_SUITE_P(Session, GatewayThatStays, ::testing::ValuesIn(kGateways),
                         [](const auto& one) { return std::string(one.param.name); });

TEST_F(Session, NothingMatchesIsTheNoMatchNotice) {
    activeSourceTab = 2;
    noMatchingWallpapers = false;
    ui::frmOptions().txtRating.setText(L"0");
    gQXAPI->APIHandleError(69, L"No wallpapers");
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane - No matching wallpapers!");
    EXPECT_TRUE(noMatchingWallpapers);
}

TEST_F(Session, OutageWhileLoggedInTellsOnceAndArmsTheRetry) {
    logIn();
    gQXAPI->apiSetNetworkOutage();
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane - Connection Issue");
    EXPECT_EQ(shown->text, kOutageText);
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    EXPECT_TRUE(gTimerFunctions->Active_NetworkRetry);
    EXPECT_EQ(gQXAPI->socket().State(), StateClosed);

    // The second call does nothing at all.
    ui::frmSlideMessage().lblStatusMsg.setCaption(L"seen");
    gTimerFunctions->Active_NetworkRetry = false;
    gQXAPI->apiSetNetworkOutage();
    EXPECT_EQ(notice().value().text, L"seen");
    EXPECT_FALSE(gTimerFunctions->Active_NetworkRetry);
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(Session, OutageDuringAnInteractiveLoginIsAMessageBoxWithoutRetry) {
    ui::frmLogin().DisableLogin();
    gQXAPI->apiSetNetworkOutage();
    gQXAPI->apiSetNetworkOutage();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"Connection Error");
    EXPECT_EQ(dialogs.seen()[0].text,
              L"The connection to Quorvex cannot be established at this time due to a connectivity issue.\r\n\r\n"
              L"Please make sure you're connected to the internet and try again.");
    EXPECT_TRUE(ui::frmLogin().txtUserName.Enabled());
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    EXPECT_FALSE(gTimerFunctions->Active_NetworkRetry);
    EXPECT_FALSE(notice());
}

TEST_F(Session, ReplyTimeOutEntersTheOutageAndTheRetryLogsInAgain) {
    // A silent login at start-up whose reply never comes.
    gQXAPI->apiSilent = true;
    gQXAPI->apiUsername = L"alice";
    gQXAPI->apiPasswordHash = GetStringMD5(L"tulips2008");
    service.fault("hang", "&seconds=60");
    ASSERT_TRUE(gQXAPI->APILogin());
    // Sent between two ticks: the next tick starts the count, ten more end it.
    tick(10);
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    tick(1);
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    EXPECT_FALSE(gTimerFunctions->Active_SockTimeout);
    EXPECT_TRUE(gTimerFunctions->Active_NetworkRetry);
    service.reset();

    tick(29);
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    EXPECT_EQ(apiRequests().size(), 0u);
    tick(1);  // thirty seconds on: reconnect and log in again, silently
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    EXPECT_FALSE(gTimerFunctions->Active_NetworkRetry);
    ASSERT_TRUE(waitFor([] { return gQXAPI->apiLoggedIn; }));
    EXPECT_EQ(queryPairsOf(apiRequests().at(0))[1].second, "qx.auth.login");
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(Session, RetryKeepsTryingWhileTheServiceIsAway) {
    logIn();
    SetEnvironmentVariableW(L"VORLANE_SERVICE", L"127.0.0.1:1");
    const std::wstring key = gQXAPI->apiKey;
    gQXAPI = std::make_unique<CQXAPI>();  // the same client, now pointed at nothing
    gQXAPI->apiLoggedIn = true;
    gQXAPI->apiSetNetworkOutage();
    EXPECT_FALSE(gQXAPI->apiNetworkRetry());
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    tick(31);
    EXPECT_TRUE(gTimerFunctions->Active_NetworkRetry);
}

TEST_F(Session, RetryWithoutAPasswordBringsUpTheLoginWindowOverTheDisabledMain) {
    gQXAPI->apiUsername = L"alice";  // no password in memory
    gQXAPI->apiSilent = true;
    gQXAPI->apiSetNetworkOutage();
    // While the login window waits, a timer looks at the windows and then
    // closes it, as a member logging in would.
    static bool loginUp, mainDisabled;
    loginUp = mainDisabled = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
        if (!ui::frmLogin().Visible()) return;  // still connecting
        loginUp = true;
        mainDisabled = ui::frmMain().Visible() && !ui::frmMain().Enabled();
        ui::frmLogin().Hide();
    });
    ASSERT_NE(timer, 0u);
    EXPECT_TRUE(gQXAPI->apiNetworkRetry());
    KillTimer(nullptr, timer);
    EXPECT_TRUE(loginUp);
    EXPECT_TRUE(mainDisabled);
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    EXPECT_TRUE(apiRequests().empty());  // nothing to log in with
}

TEST_F(Session, SocketErrorsOfALostConnectionAreTheOutageOthersANoticeForAChangeAsked) {
    logIn();
    // The socket reports its errors through its event: an aborted connection
    // or a host name without an address is the outage, whoever asked for the
    // change; any other number a notice, only for a change the member asked for.
    struct Case {
        int16_t number;
        bool forced;
        bool outage;
        bool notice;
    } cases[] = {{10053, false, true, true}, {11004, true, true, true}, {10054, true, false, true},
                 {10060, false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        // Each case starts with the service answering well: no trouble before it.
        askForGalleries();
        ASSERT_TRUE(waitFor([] { return !gTimerFunctions->Active_SockTimeout; }));
        ui::requestGalleries();
        ASSERT_EQ(gQXAPI->socket().State(), StateConnected);
        gQXAPI->apiNetworkOutage = false;
        gQXAPI->apiForced = c.forced;
        ui::formInstance<ui::FrmSlideMessage>().Unload();
        std::wstring description = WinsockErrorText(c.number);
        bool cancelDisplay = true;
        const_cast<CSocketMaster&>(gQXAPI->socket())
            .events.Error(c.number, description, 0, L"CSocketMaster.PostSocket", L"", 0, cancelDisplay);
        EXPECT_EQ(gQXAPI->socket().State(), StateClosed);
        EXPECT_EQ(gQXAPI->apiNetworkOutage, c.outage);
        if (!c.outage) {  // the list lost with its connection does not leave the lists waiting
            noMatchingWallpapers = true;  // the next request's reply tells nothing
            TextArray keys{L"tag"}, values{L"no-such-tag"};
            gQXAPI->APISend(L"qx.wallpapers.browse", keys, values);
            EXPECT_TRUE(waitFor([] { return ui::frmMain().cboGallery.Enabled(); }));
        }
        ASSERT_EQ(notice().has_value(), c.notice);
        if (!c.notice) continue;
        EXPECT_EQ(notice()->title, L"Vorlane - Connection Issue");
        EXPECT_EQ(notice()->text,
                  c.outage ? kOutageText : L"Network Error " + std::to_wstring(c.number) + L"!\r\n" + description);
    }
}

TEST_F(Session, AFailedSendClosesTheSocketAndLeavesNoLoginStuck) {
    // Interactive: the member is told and can try again. Silent (the login at
    // start-up or after the retry): the outage, whose retry logs in again.
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "interactive");
        RawListener listener;
        SetEnvironmentVariableW(L"VORLANE_SERVICE", (L"127.0.0.1:" + std::to_wstring(listener.port())).c_str());
        gQXAPI = std::make_unique<CQXAPI>();
        gTimerFunctions->Active_NetworkRetry = false;
        galleries.clear();
        // A first exchange on a connection the server keeps.
        askForGalleries();
        SOCKET server = listener.accept();
        ASSERT_NE(server, INVALID_SOCKET);
        listener.receiveRequest(server);
        listener.reply(server,
                       "HTTP/1.0 200 OK\r\nResponse-From: QXAPI\r\nConnection: keep-alive\r\n\r\n"
                       "<galleries>\n<gallery><friendly>Nature</friendly></gallery>\n</galleries>\n");
        ASSERT_TRUE(waitFor([] { return galleries.size() > 0; }));
        ASSERT_EQ(gQXAPI->socket().State(), StateConnected);
        // The server resets it; the login is written before the client has heard.
        listener.reset(server);
        Sleep(200);

        const size_t boxesBefore = dialogs.count();
        ui::frmLogin().DisableLogin();
        gQXAPI->apiSilent = silent;
        gQXAPI->apiUsername = L"alice";
        gQXAPI->apiPasswordHash = GetStringMD5(L"tulips2008");
        EXPECT_FALSE(gQXAPI->APILogin());
        EXPECT_EQ(gQXAPI->socket().State(), StateClosed);
        EXPECT_FALSE(gTimerFunctions->Active_SockTimeout);
        if (silent) {
            EXPECT_EQ(dialogs.count(), boxesBefore);
            EXPECT_TRUE(gQXAPI->apiNetworkOutage);
            EXPECT_TRUE(gTimerFunctions->Active_NetworkRetry);
            continue;
        }
        ASSERT_EQ(dialogs.count(), boxesBefore + 1);
        EXPECT_EQ(dialogs.seen().back().title, L"Connection Error");
        EXPECT_EQ(dialogs.seen().back().text,
                  L"Could not connect to the Quorvex servers!\r\n\r\nMake sure you're connected to the internet and "
                  L"try again.");
        EXPECT_TRUE(ui::frmLogin().cmdLogin.Enabled());
    }
}

TEST_F(Session, RetryWhileLoggedInOnlyReconnects) {
    logIn();
    gQXAPI->apiSetNetworkOutage();
    EXPECT_TRUE(gQXAPI->apiNetworkRetry());
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    EXPECT_EQ(gQXAPI->socket().State(), StateConnected);
    pumpFor(std::chrono::milliseconds(200));
    EXPECT_EQ(loginRequests(), 1u);  // no second login
    // The gallery list the outage cut off is asked for again.
    EXPECT_TRUE(waitFor([] { return ui::frmMain().cboGallery.Enabled(); }));
}

TEST_F(Session, LogoutForgetsTheMemberAndShowsTheLogin) {
    logIn();
    regSaveSetting(kAppName, kLoginSection, L"SavedUsername", L"alice");
    ui::FrmLogin& login = ui::frmLogin();
    login.txtUserName.setText(L"alice");
    login.txtPassword.setText(L"tulips2008");
    login.DisableLogin();
    ui::frmMain().Show();
    gQXAPI->apiForced = true;  // the member's change, its query still unanswered

    gQXAPI->APILogout();
    EXPECT_FALSE(gQXAPI->apiForced);  // it ended with the session
    EXPECT_EQ(regGetSetting(kAppName, kLoginSection, L"SavedUsername", L"?"), L"");
    EXPECT_EQ(ui::frmOptions().lblLoggedIn.Caption(), L"[Not Logged In]");
    EXPECT_EQ(gQXAPI->socket().State(), StateClosed);
    EXPECT_EQ(login.txtUserName.Text(), L"");
    EXPECT_EQ(login.txtPassword.Text(), L"");
    EXPECT_FALSE(gQXAPI->apiLoggedIn);
    EXPECT_TRUE(gQXAPI->apiUsername.empty());
    EXPECT_TRUE(gQXAPI->apiPasswordHash.empty());
    EXPECT_TRUE(login.txtUserName.Enabled());
    EXPECT_FALSE(ui::frmMain().Visible());
    EXPECT_TRUE(login.Visible());
    // Whoever logs in next asks under the program's key, not the last member's.
    askForGalleries();
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() == 3; }));
    EXPECT_EQ(queryPairsOf(apiRequests().back())[0], (QueryPair{"apikey", "Vx3k9QpL2m7Z"}));
}

TEST_F(Session, EveryFailedInteractiveLoginSaysSoAndGivesTheLoginWindowBack) {
    // The second failure comes while the outage of the first still stands.
    for (const bool refused : {true, false}) {
        SCOPED_TRACE(refused ? "connection refused" : "no reply");
        SetEnvironmentVariableW(L"VORLANE_SERVICE", refused ? L"127.0.0.1:1" : service.address().c_str());
        gQXAPI = std::make_unique<CQXAPI>();
        if (!refused) service.fault("hang", "&seconds=60&count=2");
        const size_t boxesBefore = dialogs.count();
        ui::FrmLogin& login = ui::frmLogin();
        login.Show();
        for (size_t attempt = 1; attempt <= 2; ++attempt) {
            SCOPED_TRACE(attempt);
            login.txtUserName.setText(L"alice");
            login.txtPassword.setText(L"tulips2008");
            login.cmdLogin_Click();
            if (!refused) {
                ASSERT_TRUE(waitFor([&] { return apiRequests().size() == attempt; }));
                tick(11);  // the reply's time-out
            }
            EXPECT_EQ(dialogs.count(), boxesBefore + attempt);
            EXPECT_EQ(dialogs.seen().back().title, L"Connection Error");
            EXPECT_TRUE(login.cmdLogin.Enabled());
            EXPECT_TRUE(login.txtPassword.Enabled());
        }
        EXPECT_TRUE(gQXAPI->apiNetworkOutage);
        EXPECT_FALSE(gTimerFunctions->Active_NetworkRetry);
    }
}

TEST_F(Session, ARequestWrittenIntoAKeptConnectionAsTheServerEndsItGoesOutAgain) {
    RawListener listener;
    SetEnvironmentVariableW(L"VORLANE_SERVICE", (L"127.0.0.1:" + std::to_wstring(listener.port())).c_str());
    gQXAPI = std::make_unique<CQXAPI>();
    const std::string reply =
        "HTTP/1.0 200 OK\r\nResponse-From: QXAPI\r\nConnection: keep-alive\r\n\r\n"
        "<galleries>\n<gallery><friendly>Nature</friendly></gallery>\n</galleries>\n";
    askForGalleries();
    SOCKET first = listener.accept();
    ASSERT_NE(first, INVALID_SOCKET);
    listener.receiveRequest(first);
    listener.reply(first, reply);
    ASSERT_TRUE(waitFor([] { return galleries.size() > 0; }));
    ASSERT_EQ(gQXAPI->socket().State(), StateConnected);
    // The server ends the idle connection; the next request is written before
    // the client has heard of it, so no reply to it can come there.
    closesocket(first);
    Sleep(200);
    galleries.clear();
    askForGalleries();
    pumpFor(std::chrono::milliseconds(500));

    SOCKET second = listener.accept();
    ASSERT_NE(second, INVALID_SOCKET) << "the request was not sent again";
    listener.receiveRequest(second);
    listener.reply(second, reply);
    closesocket(second);
    ASSERT_TRUE(waitFor([] { return galleries.size() > 0; }));
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_FALSE(gTimerFunctions->Active_SockTimeout);
}

TEST_F(Session, WhatAKeptConnectionBringsUnaskedIsNoOnesReply) {
    RawListener listener;
    SetEnvironmentVariableW(L"VORLANE_SERVICE", (L"127.0.0.1:" + std::to_wstring(listener.port())).c_str());
    gQXAPI = std::make_unique<CQXAPI>();
    const auto reply = [](const std::string& gallery) {
        return "HTTP/1.0 200 OK\r\nResponse-From: QXAPI\r\nConnection: keep-alive\r\n\r\n"
               "<galleries>\n<gallery><friendly>" + gallery + "</friendly></gallery>\n</galleries>\n";
    };
    askForGalleries();
    SOCKET first = listener.accept();
    ASSERT_NE(first, INVALID_SOCKET);
    listener.receiveRequest(first);
    listener.reply(first, reply("Nature"));
    ASSERT_TRUE(waitFor([] { return galleries.size() > 0; }));
    galleries.clear();
    listener.reply(first, reply("Anime"));  // asked by no one
    pumpFor(std::chrono::milliseconds(500));
    EXPECT_EQ(galleries.size(), 0u);

    // The next request gets its own reply, on a connection of its own.
    askForGalleries();
    SOCKET second = listener.accept();
    closesocket(first);
    ASSERT_NE(second, INVALID_SOCKET);
    listener.receiveRequest(second);
    listener.reply(second, reply("Forests"));
    closesocket(second);
    ASSERT_TRUE(waitFor([] { return galleries.size() > 0; }));
    EXPECT_EQ(galleries.item(L"Forests").front(), L"Forests");
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Session, LogoutStopsTheRotationAndTheRetry) {
    logIn();
    ASSERT_TRUE(gTimerFunctions->Active_ChangeWallpaper);
    gQXAPI->apiSetNetworkOutage();
    ui::frmMain().Show();
    gQXAPI->APILogout();
    EXPECT_FALSE(gTimerFunctions->Active_ChangeWallpaper);
    EXPECT_FALSE(gTimerFunctions->Active_CheckIdle);
    ASSERT_FALSE(gTimerFunctions->Active_NetworkRetry);  // else it brings the login window up modally
    changeIntervalSeconds = 2;
    tick(31);
    pumpFor(std::chrono::milliseconds(300));
    // Nothing asked for the member who left. (The galleries asked for at the
    // login may reach the service's log only now, so the count says nothing.)
    for (const LoggedRequest& request : apiRequests())
        EXPECT_EQ(request.requestLine().find("qx.wallpapers"), std::string::npos) << request.requestLine();
    EXPECT_FALSE(ui::frmMain().Visible());
}

TEST_F(Session, ALoginAnsweredByAnythingButAcceptanceGivesTheLoginWindowBack) {
    // Interactive or silent: a silent login at start-up must not leave the
    // program waiting in the tray for good.
    struct Case {
        const char* fault;  // and its parameters; empty: the service's own answer
        const wchar_t* user;
        const wchar_t* password;
        bool silent;
    } cases[] = {
        {"", L"dave_new", L"welcome1", true},  // not active: an empty token and a status
        {"custom&body=%3Cauth%3E%0A%3Ctoken%3E%26bad%3B%3C%2Ftoken%3E%0A%3C%2Fauth%3E%0A", L"alice", L"tulips2008", false},
        {"unknown_root", L"alice", L"tulips2008", true},
        {"api_error&number=951", L"alice", L"tulips2008", false},
    };
    ui::FrmLogin& login = ui::frmLogin();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        const char* parameters = std::strchr(c.fault, '&');
        if (*c.fault) service.fault(std::string(c.fault, std::strcspn(c.fault, "&")), parameters ? parameters : "");
        login.Hide();
        login.DisableLogin();
        gQXAPI->apiSilent = c.silent;
        gQXAPI->apiUsername = c.user;
        gQXAPI->apiPasswordHash = GetStringMD5(c.password);
        ASSERT_TRUE(gQXAPI->APILogin());
        ASSERT_TRUE(waitFor([&] { return !gTimerFunctions->Active_SockTimeout; }));
        EXPECT_FALSE(gQXAPI->apiLoggedIn);
        EXPECT_FALSE(gQXAPI->apiSilent);
        EXPECT_TRUE(login.Visible());
        EXPECT_TRUE(login.cmdLogin.Enabled());
    }
    // The inactive member hears the service's reason; the unreadable reply is an XML error.
    const auto seen = dialogs.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].title, L"Vorlane");
    EXPECT_EQ(seen[0].text, L"Account not activated");
    EXPECT_EQ(seen[1].title, L"XML Error");
}

TEST_F(Session, AConnectionThatNeverCompletesIsGivenUpInTime) {
    // A listener that takes no one: once its queue is full, a connect to it
    // neither completes nor fails until the system gives up, minutes later.
    RawListener listener(0);
    std::vector<SOCKET> queued;
    for (int i = 0; i < 3; ++i) {
        queued.push_back(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        u_long nonBlocking = 1;
        ioctlsocket(queued.back(), FIONBIO, &nonBlocking);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(listener.port());
        connect(queued.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    Sleep(300);
    SetEnvironmentVariableW(L"VORLANE_SERVICE", (L"127.0.0.1:" + std::to_wstring(listener.port())).c_str());
    gQXAPI = std::make_unique<CQXAPI>();
    ui::frmLogin().DisableLogin();
    gQXAPI->apiUsername = L"alice";
    gQXAPI->apiPasswordHash = GetStringMD5(L"tulips2008");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(gQXAPI->APILogin());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));  // not when the system gives up
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"Connection Error");
    EXPECT_TRUE(ui::frmLogin().cmdLogin.Enabled());
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    EXPECT_EQ(gQXAPI->socket().State(), StateClosed);
    for (SOCKET s : queued) closesocket(s);
}
