// The API client's requests and its cutting of replies out of the byte stream,
// against the stand-in service.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "core/Ansi.h"
#include "core/Globals.h"
#include "tests/webclient/ApiFixture.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmSlideMessage.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

class Framing : public ApiFixture {
protected:
    bool requestGalleries() {
        TextArray keys{L"withcategories"}, values{L"yes"};
        return gQXAPI->APISend(L"qx.getGalleries", keys, values);
    }
    bool galleriesArrived() { return galleries.size() > 0; }
};

// Runs its action when the message posted to it is handled.
class MessageProbe {
public:
    explicit MessageProbe(std::function<void()> action) : action_(std::move(action)) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message == WM_APP) reinterpret_cast<MessageProbe*>(lParam)->action_();
            return DefWindowProcW(window, message, wParam, lParam);
        };
        windowClass.lpszClassName = L"VorlaneMessageProbe";
        windowClass.hInstance = GetModuleHandleW(nullptr);
        RegisterClassW(&windowClass);
        window_ = CreateWindowW(L"VorlaneMessageProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    }
    ~MessageProbe() { DestroyWindow(window_); }
    MessageProbe(const MessageProbe&) = delete;
    MessageProbe& operator=(const MessageProbe&) = delete;

    void post() { ASSERT_TRUE(PostMessageW(window_, WM_APP, 0, reinterpret_cast<LPARAM>(this))); }

private:
    std::function<void()> action_;
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(Framing, RequestsCarryTheWholeAddressAndNoHeaders) {
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    const auto requests = apiRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].head, "GET http://" + service.host() +
                                    "/api.php?apikey=Vx3k9QpL2m7Z&method=qx.getGalleries&withcategories=yes HTTP/1.0"
                                    "\r\n\r\n");
}

TEST_F(Framing, VersionPairOnlyWhereDueAndValuesEncoded) {
    TextArray keys{L"tag", L"minpoints"}, values{L"golden retriever, caf\u00e9", L"-5"};
    ASSERT_TRUE(gQXAPI->APISend(L"qx.wallpapers.browse", keys, values));
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() == 1; }));
    ASSERT_TRUE(waitFor([] { return gQXAPI->socket().State() != StateConnected; }));  // one request at a time
    EXPECT_EQ(queryPairsOf(apiRequests()[0]),
              (QueryPairs{{"apikey", "Vx3k9QpL2m7Z"}, {"method", "qx.wallpapers.browse"},
                          {"tag", "golden+retriever%2C+caf%E9"}, {"minpoints", "%2D5"}, {"VL%5FVersion", "1%2E0%2E0"}}));
    EXPECT_EQ(keys.back(), L"VL_Version");  // appended to the caller's arrays, as the caller gave them

    TextArray loginKeys{L"username", L"md5password"}, loginValues{L"alice", L"x"};
    ASSERT_TRUE(gQXAPI->APISend(L"qx.auth.login", loginKeys, loginValues));
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() == 2; }));
    EXPECT_EQ(queryPairsOf(apiRequests()[1]).back().first, "md5password");
}

TEST_F(Framing, TheReplyTimeOutStaysArmedUntilTheWholeReplyAndThenRunsTheOutage) {
    gQXAPI->apiLoggedIn = true;
    service.fault("pause", "&seconds=60");  // the first line, then nothing
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([] { return gQXAPI->socket().BytesReceived() > 0; }));
    EXPECT_TRUE(gTimerFunctions->Active_SockTimeout);  // bytes alone do not disarm it
    tick(10);
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    tick(1);
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    EXPECT_EQ(notice().value().title, L"Vorlane - Connection Issue");
    EXPECT_TRUE(gTimerFunctions->Active_NetworkRetry);
    EXPECT_EQ(gQXAPI->socket().State(), StateClosed);
}

TEST_F(Framing, ARequestThatWaitedItsTurnHasATimeOutOfItsOwn) {
    gQXAPI->apiLoggedIn = true;
    service.fault("hang", "&seconds=60&match=withcategories%3Dno");
    TextArray keys{L"withcategories"}, values{L"no"};
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(gQXAPI->APISend(L"qx.getGalleries", keys, values));  // waits for the first reply
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() == 2; }));
    EXPECT_TRUE(gTimerFunctions->Active_SockTimeout);
    tick(10);
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    tick(1);
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
}

// Every byte starts the ten seconds again, and a steady pace above the slowest
// one keeps a reply alive however long it takes in all.
TEST_F(Framing, ASlowButSteadyReplyArrivesWhole) {
    gQXAPI->replyLimits = {.grace = std::chrono::seconds(1), .slowestRate = 50};
    service.fault("trickle", "&limit=100000&delay=0.002");
    ASSERT_TRUE(requestGalleries());
    for (int ticks = 0; !galleriesArrived() && ticks < 1000; ++ticks) {
        pumpFor(std::chrono::milliseconds(20));
        tick(1);
    }
    EXPECT_EQ(galleries.size(), 6u);
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
}

TEST_F(Framing, ReplyInSinglesCompletesOnceAtItsEndTag) {
    service.fault("trickle", "&limit=100000&delay=0");
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    EXPECT_EQ(galleries.size(), 6u);
    pumpUntil([] { return gQXAPI->socket().State() != StateConnected; }, std::chrono::seconds(5));
    // Neither the header in pieces nor the last line end on its own is a stranger's reply.
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(notice());
    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());
}

TEST_F(Framing, APieceEndingAfterTheFirstLineIsNoReplyOfItsOwn) {
    // The network may cut a reply anywhere, just after its start tag's line too.
    service.fault("pause", "&seconds=1");
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    EXPECT_EQ(galleries.size(), 6u);
    EXPECT_FALSE(notice());
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());
}

TEST_F(Framing, AReplyCutOffByTheServiceEndsAsItsTimeOutWouldAndTheNextGoesOut) {
    gQXAPI->apiLoggedIn = true;
    gQXAPI->replyLimits.grace = std::chrono::seconds(1);
    // A drip ends as the service's closing would end it.
    for (const auto& [fault, params] : {std::pair{"truncated", ""}, {"drip", "&scope=api&every=0.2&piece=1"}}) {
        SCOPED_TRACE(fault);
        galleries.clear();
        service.fault(fault, params);
        ASSERT_TRUE(requestGalleries());
        // The service closes the connection without a reply the client can read.
        ASSERT_TRUE(waitFor([] { return gQXAPI->apiNetworkOutage; }));
        EXPECT_FALSE(gTimerFunctions->Active_SockTimeout);
        EXPECT_TRUE(gTimerFunctions->Active_NetworkRetry);
        EXPECT_FALSE(galleriesArrived());

        ASSERT_TRUE(requestGalleries());
        ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
        EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    }
    EXPECT_TRUE(errors.empty());
}

// As the service, or a proxy on the way, may write a whole reply.
TEST_F(Framing, EveryFormOfAWholeReplyIsRead) {
    // UTF-8 after its byte-order mark, a prolog, the root's content on its
    // start tag's line, blanks after the end tag. The stand-in reads its
    // control requests as UTF-8 and writes bodies in the code page: each byte
    // of this body goes as the UTF-8 of the letter the code page makes of it.
    const std::string body =
        "%C3%AF%C2%BB%C2%BF" +
        toAnsi(URLEncode(L"<?xml version=\"1.0\"?>\r\n<!-- <x> -->\n<galleries><gallery><friendly>Caf")) +
        "%C3%83%C2%A9" +
        toAnsi(URLEncode(L"</friendly></gallery>\n<gallery><friendly>Nature</friendly></gallery></galleries>")) +
        "+%0D%0A%09%0A";
    const auto custom = [](const wchar_t* text) { return "&body=" + toAnsi(URLEncode(text)); };
    for (const auto& [fault, params] :
         {std::pair<const char*, std::string>{"crlf", ""}, {"xml_decl", ""}, {"lf_head", ""},
          {"foreign", "&header=response-from:%20QXAPI%20"},
          // The root on one line or many, closed by its end tag (blanks before
          // its ">" too) or as an empty element, comments after it.
          {"custom", custom(L"<galleries>\n<gallery><friendly>A</friendly></gallery>\n</galleries >\n")},
          {"custom",
           custom(L"<?xml version=\"1.0\"?><galleries><gallery><friendly>A</friendly></gallery></galleries\r\n>")},
          {"custom", custom(L"<galleries/>")},
          {"custom", custom(L"<!-- none -->\r\n<galleries count=\"0\"\r\n/>\r\n<!-- cached -->\r\n<?done?>\r\n")},
          {"custom", "&body=" + body}}) {
        SCOPED_TRACE(params);
        galleries.clear();
        galleries.add(L"Stale");
        service.fault(fault, params);
        ASSERT_TRUE(requestGalleries());
        ASSERT_TRUE(waitFor([&] { return !galleries.contains(L"Stale"); }));
    }
    EXPECT_EQ(galleries.item(L"Caf\u00E9"), Galleries::Entry{L"Caf\u00E9"});
    EXPECT_FALSE(notice());
    EXPECT_TRUE(errors.empty());
}

TEST_F(Framing, AnEndTagInCDataThatEndsAPieceDoesNotEndTheReply) {
    const std::wstring body =
        L"<galleries>\n<gallery><friendly>Nature</friendly><note><![CDATA[\n</galleries>\n]]></note></gallery>\n"
        L"</galleries>\n";
    service.fault("pause", "&seconds=1&after=%0A%3C%2Fgalleries%3E%0A&body=" + toAnsi(URLEncode(body)));
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    EXPECT_EQ(galleries.item(L"Nature"), Galleries::Entry{L"Nature"});
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_FALSE(notice());
    EXPECT_FALSE(gTimerFunctions->Active_SockTimeout);
}

TEST_F(Framing, ForeignReplyIsAnnouncedHoldsTheRotationAndIsStillParsed) {
    service.fault("foreign");
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane - Network Error");
    EXPECT_EQ(shown->text.rfind(L"Vorlane received a response from a source other than Quorvex.", 0), 0u);
    EXPECT_TRUE(gTimerFunctions->rotationHeld);
    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());
}

// What the service sends that is no whole document: told at its connection's
// end (one line), or at once (text, more after the root, another name's end).
TEST_F(Framing, AReplyThatIsNoWholeDocumentIsUnexpected) {
    for (const wchar_t* body : {L"<auth>\n\n", L"Service unavailable\n", L"<auth></auth><x/>", L"<auth></token>",
                                L"<!DOCTYPE auth>\n<auth/>\n"}) {
        SCOPED_TRACE(body);
        service.fault("custom", "&body=" + toAnsi(URLEncode(body)));
        ASSERT_TRUE(requestGalleries());
        ASSERT_TRUE(waitFor([&] { return notice().has_value() && !gTimerFunctions->Active_SockTimeout; }));
        const auto shown = notice();
        EXPECT_EQ(shown->title, L"Vorlane - Network Error");
        EXPECT_NE(shown->text.find(L"responded in an unexpected way"), std::wstring::npos);
        EXPECT_TRUE(gTimerFunctions->rotationHeld);
        EXPECT_FALSE(gQXAPI->apiNetworkOutage);
        ui::formInstance<ui::FrmSlideMessage>().Unload();
        // The service's next good answer ends the trouble: the next row is told again.
        ASSERT_TRUE(requestGalleries());
        ASSERT_TRUE(waitFor([] { return !gTimerFunctions->rotationHeld; }));
    }
    EXPECT_TRUE(ui::frmMain().tmrMain.Enabled());
}

TEST_F(Framing, OversizeReplyIsDroppedWithTheUnexpectedResponseNotice) {
    service.fault("oversize", "&bytes=6000000");
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return notice().has_value(); }, std::chrono::seconds(40)));
    const auto shown = notice();
    EXPECT_NE(shown->text.find(L"responded in an unexpected way"), std::wstring::npos);
    EXPECT_EQ(gQXAPI->socket().State(), StateClosed);  // the rest of it is never read
    pumpFor(std::chrono::milliseconds(300));
    EXPECT_NE(notice()->text.find(L"responded in an unexpected way"), std::wstring::npos);
}

TEST_F(Framing, OneCharacterFirstLineIsReportedAndNothingParsed) {
    service.fault("custom", "&body=x%0Ay%0A");
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return !errors.empty(); }));
    EXPECT_EQ(errors.reports()[0].where, L"Function QXSock_DataArrival, CQXAPI");
    EXPECT_EQ(errors.reports()[0].number, 5);
}

TEST_F(Framing, ReconnectsWhenTheServiceClosedTheConnection) {
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    ASSERT_TRUE(waitFor([] { return gQXAPI->socket().State() != StateConnected; }));
    galleries.clear();
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    const auto requests = apiRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].connection, requests[1].connection);
}

TEST_F(Framing, KeptConnectionIsReusedWithoutReconnecting) {
    service.control("/_control/config?keepalive=1");
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    galleries.clear();
    ASSERT_EQ(gQXAPI->socket().State(), StateConnected);
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    const auto requests = apiRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].connection, requests[1].connection);
}

TEST_F(Framing, ARequestMadeWhileConnectingGoesOutInItsTurn) {
    // A handler that runs while the login's connection is being made (a posted
    // message) asks for the gallery list.
    bool loginReturned = false, askedWhileConnecting = false, accepted = false;
    MessageProbe probe([&] {
        askedWhileConnecting = !loginReturned;
        accepted = requestGalleries();
    });
    // By name: the lookup keeps the socket busy for at least one message round.
    SetEnvironmentVariableW(L"VORLANE_SERVICE", (L"localhost:" + std::to_wstring(service.port())).c_str());
    gQXAPI = std::make_unique<CQXAPI>();
    probe.post();
    logIn();
    loginReturned = true;
    EXPECT_TRUE(askedWhileConnecting);
    EXPECT_TRUE(accepted);

    // The login, the gallery list asked for meanwhile, then the one the login asks for.
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() == 3 && !gTimerFunctions->Active_SockTimeout; }));
    const auto requests = apiRequests();
    EXPECT_EQ(queryPairsOf(requests[0])[1].second, "qx.auth.login");
    EXPECT_EQ(queryPairsOf(requests[1])[1].second, "qx.getGalleries");
    EXPECT_EQ(queryPairsOf(requests[2])[1].second, "qx.getGalleries");
    EXPECT_TRUE(galleriesArrived());
    EXPECT_FALSE(notice());
}

TEST_F(Framing, ValuesShorterThanKeysAreReportedAndNothingIsSent) {
    TextArray keys{L"withcategories", L"extra"}, values{L"yes"};
    EXPECT_FALSE(gQXAPI->APISend(L"qx.getGalleries", keys, values));
    ASSERT_EQ(errors.reports().size(), 1u);
    EXPECT_EQ(errors.reports()[0].where, L"Function APISend, CQXAPI");
    EXPECT_EQ(errors.reports()[0].number, 9);
    EXPECT_FALSE(gTimerFunctions->Active_SockTimeout);
    EXPECT_TRUE(apiRequests().empty());
}

TEST_F(Framing, RefusedConnectionEntersTheOutageState) {
    SetEnvironmentVariableW(L"VORLANE_SERVICE", L"127.0.0.1:1");
    gQXAPI = std::make_unique<CQXAPI>();
    gQXAPI->apiLoggedIn = true;
    EXPECT_FALSE(requestGalleries());
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    EXPECT_TRUE(gTimerFunctions->Active_NetworkRetry);
    EXPECT_FALSE(gTimerFunctions->Active_SockTimeout);
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane - Connection Issue");
}

TEST_F(Framing, WithTheClockStoppedAReplyThatNeverComesHoldsUpNoLaterRequest) {
    ui::frmMain().tmrMain.setEnabled(false);  // as an update download leaves it: no time-out fires
    service.fault("hang", "&seconds=60&match=withcategories%3Dno");
    TextArray keys{L"withcategories"}, values{L"no"};
    ASSERT_TRUE(gQXAPI->APISend(L"qx.getGalleries", keys, values));
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() == 1; }));
    pumpFor(std::chrono::seconds(11));  // longer than a reply may take
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    EXPECT_EQ(apiRequests().size(), 2u);
}

TEST_F(Framing, TheKeyALoginReplyGaveIsEncodedIntoEveryRequestLine) {
    // The reply's key is the service's text: it may hold anything.
    const std::wstring key = L"Ak7Tq2Wn9Xc4 &method=x\nX-Injected: 1";
    service.fault("custom", "&body=" + toAnsi(URLEncode(L"<auth>\n<token>0123456789abcdef</token><username>alice"
                                                           L"</username><apiKey>Ak7Tq2Wn9Xc4 &amp;method=x\n"
                                                           L"X-Injected: 1</apiKey><status>ok</status>\n</auth>\n")));
    logIn();
    EXPECT_EQ(gQXAPI->apiKey, key);
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() == 2; }));  // the gallery list the login asks for
    const auto requests = apiRequests();
    EXPECT_EQ(requests[1].requestLine(), "GET http://" + service.host() + "/api.php?apikey=" + toAnsi(URLEncode(key)) +
                                             "&method=qx.getGalleries&withcategories=yes HTTP/1.0");
}
