// The scheduler's four tasks as the one-second clock drives them.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/Globals.h"
#include "tests/webclient/ApiFixture.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

class Scheduler : public ApiFixture {
protected:
    void SetUp() override {
        ApiFixture::SetUp();
        secondsSinceChange = 0;
        changeIntervalSeconds = 0;
        noMatchingWallpapers = false;
        userIsIdle = false;
        // Queries go to the service; their replies and downloads are not looked at here.
        screenAspectRatio = L"1.25";
        activeSourceTab = 1;
        ui::frmMain().txtTagName.setText(L"sun*");
        ui::frmMain().cboGallery.setText(L"All Galleries");
        ui::frmMain().cboCategory.setText(L"All Categories");
        ui::frmOptions().chkFreeze.setValue(0);
        ui::frmOptions().txtRating.setText(L"-5");
        ui::frmOptions().Hide();
    }
    void tick(int seconds) {
        for (int i = 0; i < seconds; ++i) gTimerFunctions->TimerTick();
    }
    size_t queries() {
        size_t count = 0;
        for (const LoggedRequest& r : apiRequests())
            if (r.requestLine().find("qx.wallpapers.browse") != std::string::npos) ++count;
        return count;
    }
    void waitForQueries(size_t count) {
        ASSERT_TRUE(waitFor([&] { return queries() >= count && gQXAPI->socket().State() != StateConnected; }));
    }
    void moveCursor(int x, int y) { ASSERT_TRUE(SetCursorPos(x, y)); }
};

}  // namespace

TEST_F(Scheduler, CountdownAsksForAWallpaperAtTheIntervalAndStartsAgain) {
    changeIntervalSeconds = 10;
    gTimerFunctions->Active_ChangeWallpaper = true;
    tick(10);  // the tick after the switch starts the count
    EXPECT_EQ(secondsSinceChange, 9);
    EXPECT_EQ(queries(), 0u);
    gQXAPI->apiForced = true;
    tick(1);
    EXPECT_EQ(secondsSinceChange, 0);
    EXPECT_FALSE(gQXAPI->apiForced);  // a scheduled change
    waitForQueries(1);
    tick(9);
    EXPECT_EQ(secondsSinceChange, 9);
}

TEST_F(Scheduler, NoMatchPausesTheCountdownAndTheOptionsLabel) {
    changeIntervalSeconds = 3600;
    ui::frmOptions().Show();
    gTimerFunctions->Active_ChangeWallpaper = true;
    tick(3);
    EXPECT_EQ(secondsSinceChange, 2);
    EXPECT_EQ(ui::frmOptions().lblNextRotation.Caption(), L"0:59:58");
    noMatchingWallpapers = true;
    tick(5);
    EXPECT_EQ(secondsSinceChange, 2);
    EXPECT_EQ(ui::frmOptions().lblNextRotation.Caption(), L"0:59:58");
}

TEST_F(Scheduler, TimeOutOfAQueryStartedInTheSameTickComesTenSecondsLater) {
    service.fault("hang", "&seconds=60");
    gQXAPI->apiLoggedIn = true;
    changeIntervalSeconds = 1;
    gTimerFunctions->Active_ChangeWallpaper = true;
    tick(1);
    tick(1);  // the query goes out, arming the time-out within this tick
    EXPECT_TRUE(gTimerFunctions->Active_SockTimeout);
    gTimerFunctions->Active_ChangeWallpaper = false;
    tick(9);
    EXPECT_FALSE(gQXAPI->apiNetworkOutage);
    tick(1);
    EXPECT_TRUE(gQXAPI->apiNetworkOutage);
    EXPECT_FALSE(gTimerFunctions->Active_SockTimeout);
    EXPECT_TRUE(gTimerFunctions->Active_NetworkRetry);
}

TEST_F(Scheduler, IdleUserGetsOneLastChangeAndMovingResumes) {
    changeIntervalSeconds = 10;  // idle after more than 2.5 checks without movement
    moveCursor(100, 100);
    gTimerFunctions->Active_CheckIdle = true;
    gTimerFunctions->Active_ChangeWallpaper = true;
    noMatchingWallpapers = true;  // keeps the countdown itself out of the way
    tick(11);  // the first check sees the cursor where the test put it
    EXPECT_EQ(queries(), 0u);
    tick(30);  // three checks without movement: not yet two and a half intervals
    EXPECT_EQ(queries(), 0u);
    EXPECT_FALSE(userIsIdle);
    gQXAPI->apiForced = true;  // left by a change the member asked for that found nothing
    tick(10);
    EXPECT_TRUE(userIsIdle);
    EXPECT_FALSE(gQXAPI->apiForced);  // no one asked for this one: no progress window, no boxes
    waitForQueries(1);
    EXPECT_FALSE(gTimerFunctions->Active_ChangeWallpaper);
    tick(30);
    EXPECT_EQ(queries(), 1u);  // once only

    moveCursor(200, 150);
    tick(10);
    EXPECT_FALSE(userIsIdle);
    EXPECT_TRUE(gTimerFunctions->Active_ChangeWallpaper);
}

TEST_F(Scheduler, FreezeKeepsTheIdleCheckOut) {
    changeIntervalSeconds = 10;
    moveCursor(300, 300);
    ui::frmOptions().chkFreeze.setValue(1);
    gTimerFunctions->Active_CheckIdle = true;
    tick(100);
    EXPECT_FALSE(userIsIdle);
    EXPECT_EQ(queries(), 0u);

    userIsIdle = true;
    moveCursor(310, 300);
    tick(10);
    EXPECT_TRUE(userIsIdle);  // frozen: a movement changes nothing
    EXPECT_FALSE(gTimerFunctions->Active_ChangeWallpaper);
}

TEST_F(Scheduler, CountdownText) {
    changeIntervalSeconds = 2 * 86400;
    secondsSinceChange = 86400 - 2 * 3600;
    EXPECT_EQ(getFormattedTimeUntilChange(), L"1 Day, 2:00:00");
    changeIntervalSeconds = 3 * 3600;
    secondsSinceChange = 0;
    EXPECT_EQ(getFormattedTimeUntilChange(), L"3:00:00");
    changeIntervalSeconds = 10;
    secondsSinceChange = 15;
    EXPECT_EQ(getFormattedTimeUntilChange(), L"0:00:-05");
    EXPECT_TRUE(errors.empty());

    changeIntervalSeconds = INT32_MAX;
    secondsSinceChange = -10;
    EXPECT_EQ(getFormattedTimeUntilChange(), L"");
    ASSERT_EQ(errors.reports().size(), 1u);
    EXPECT_EQ(errors.reports()[0].where, L"Function getFormattedTimeUntilChange, modMisc");
    EXPECT_EQ(errors.reports()[0].number, 6);
}
