// A running API client against a stand-in service of the test's own.
#include "tests/webclient/ApiFixture.h"

#include <windows.h>

#include "core/Globals.h"
#include "core/modRegistry.h"
#include "ui/frmMain.h"
#include "ui/frmSlideMessage.h"
#include "webclient/modMD5.h"

namespace vorlane::test {

QueryPairs queryPairsOf(const LoggedRequest& request) {
    const std::string line = request.requestLine();
    const size_t start = line.find('?');
    const size_t end = line.rfind(" HTTP/");
    QueryPairs pairs;
    if (start == std::string::npos || end == std::string::npos || end < start) return pairs;
    const std::string query = line.substr(start + 1, end - start - 1);
    size_t at = 0;
    while (at <= query.size()) {
        size_t next = query.find('&', at);
        if (next == std::string::npos) next = query.size();
        const std::string pair = query.substr(at, next - at);
        const size_t equals = pair.find('=');
        pairs.emplace_back(pair.substr(0, equals), equals == std::string::npos ? "" : pair.substr(equals + 1));
        at = next + 1;
    }
    return pairs;
}

void ApiFixture::SetUp() {
    SetEnvironmentVariableW(L"VORLANE_SERVICE", service.address().c_str());
    // A login goes straight on; the first-run help it may show is the login window's tests' business.
    regSaveSetting(kAppName, memberSection(L"alice"), L"HideQuickStart", L"1");
    dataFolder = data.path() + L"\\";
    gTimerFunctions = std::make_unique<CTimerFunctions>();
    gTimerFunctions->TimerInit();
    gQXAPI = std::make_unique<CQXAPI>();
    // The tests step the scheduler themselves: the main window's clock keeps
    // running (some tests watch it stop) but ticks nothing.
    ui::FrmMain& main = ui::frmMain();
    main.tmrMain.Tick = nullptr;
    ASSERT_TRUE(main.tmrMain.Enabled());
}

void ApiFixture::TearDown() {
    gQXAPI.reset();
    gTimerFunctions.reset();
}

std::optional<Notice> ApiFixture::notice() const {
    auto& slide = ui::formInstance<ui::FrmSlideMessage>();
    if (!slide.isLoaded()) return std::nullopt;
    return Notice{slide.lblTitle.Caption(), slide.lblStatusMsg.Caption()};
}

std::vector<LoggedRequest> ApiFixture::apiRequests() {
    std::vector<LoggedRequest> requests;
    for (LoggedRequest& request : service.log())
        if (request.requestLine().find("/api.php?") != std::string::npos) requests.push_back(std::move(request));
    return requests;
}

void ApiFixture::tick(int seconds) {
    for (int i = 0; i < seconds; ++i) {
        gTimerFunctions->TimerTick();
        pumpFor(std::chrono::milliseconds(1));
    }
}

void ApiFixture::logIn(const std::wstring& username, const std::wstring& password) {
    gQXAPI->apiUsername = username;
    gQXAPI->apiPasswordHash = GetStringMD5(password);
    ASSERT_TRUE(gQXAPI->APILogin());
    ASSERT_TRUE(waitFor([] { return gQXAPI->apiLoggedIn; })) << "no login reply";
}

}  // namespace vorlane::test
