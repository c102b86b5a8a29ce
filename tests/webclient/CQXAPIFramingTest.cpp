// The API client's requests and its cutting of replies out of the byte stream,
// against the stand-in service.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/Globals.h"
#include "tests/webclient/ApiFixture.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"

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

TEST_F(Framing, ArmsTheReplyTimeOutAndAnyDataDisarmsIt) {
    service.fault("hang", "&seconds=3&reply=1");
    ASSERT_TRUE(requestGalleries());
    EXPECT_TRUE(gTimerFunctions->Active_SockTimeout);
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    EXPECT_FALSE(gTimerFunctions->Active_SockTimeout);
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

TEST_F(Framing, RepliesThatNeverCompleteAreDroppedByTheNextRequest) {
    for (const char* fault : {"crlf", "xml_decl", "truncated"}) {
        SCOPED_TRACE(fault);
        galleries.clear();
        service.fault(fault);
        ASSERT_TRUE(requestGalleries());
        pumpUntil([] { return gQXAPI->socket().State() != StateConnected; }, std::chrono::seconds(5));
        pumpFor(std::chrono::milliseconds(200));
        EXPECT_FALSE(galleriesArrived());

        // The stale end tag and bytes of the abandoned reply do not spoil the next.
        ASSERT_TRUE(requestGalleries());
        ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
        // The service ends each reply by closing: the next round starts on a new connection.
        ASSERT_TRUE(waitFor([] { return gQXAPI->socket().State() != StateConnected; }));
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(Framing, ForeignReplyIsAnnouncedStopsTheClockAndIsStillParsed) {
    service.fault("foreign");
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return galleriesArrived(); }));
    const auto shown = notice();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->title, L"Vorlane - Network Error");
    EXPECT_EQ(shown->text.rfind(L"Vorlane received a response from a source other than Quorvex.", 0), 0u);
    EXPECT_FALSE(ui::frmMain().tmrMain.Enabled());
}

TEST_F(Framing, ReplyWithOneLineIsUnexpected) {
    service.fault("custom", "&body=%3Cauth%2F%3E%0A%0A");
    ASSERT_TRUE(requestGalleries());
    ASSERT_TRUE(waitFor([&] { return notice().has_value(); }));
    const auto shown = notice();
    EXPECT_EQ(shown->title, L"Vorlane - Network Error");
    EXPECT_NE(shown->text.find(L"responded in an unexpected way"), std::wstring::npos);
    EXPECT_FALSE(ui::frmMain().tmrMain.Enabled());
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

TEST_F(Framing, ConnectingLetsWindowMessagesRun) {
    // A message posted before the request is handled while the connection is
    // being made, not after the request returns.
    static bool handled = false;
    static bool requestReturned = false;
    static bool handledBeforeReturn = false;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_APP) {
            handled = true;
            handledBeforeReturn = !requestReturned;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    };
    windowClass.lpszClassName = L"VorlaneConnectProbe";
    windowClass.hInstance = GetModuleHandleW(nullptr);
    RegisterClassW(&windowClass);
    HWND probe = CreateWindowW(L"VorlaneConnectProbe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(probe, nullptr);
    // By name: the lookup keeps the socket busy for at least one message round.
    SetEnvironmentVariableW(L"VORLANE_SERVICE", (L"localhost:" + std::to_wstring(service.port())).c_str());
    gQXAPI = std::make_unique<CQXAPI>();
    PostMessageW(probe, WM_APP, 0, 0);
    EXPECT_TRUE(requestGalleries());
    requestReturned = true;
    EXPECT_TRUE(handled);
    EXPECT_TRUE(handledBeforeReturn);
    DestroyWindow(probe);
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
