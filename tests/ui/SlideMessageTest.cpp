// Tests of the notification window: its rise, hold and sink, notices and error reports.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>

#include "core/RuntimeError.h"
#include "core/ServiceHosts.h"
#include "core/Trap.h"
#include "ui/frmSlideMessage.h"

using namespace vorlane;
using namespace vorlane::ui;

namespace {

class SlideMessage : public ::testing::Test {
protected:
    void SetUp() override { formInstance<FrmSlideMessage>().Unload(); }
    void TearDown() override { formInstance<FrmSlideMessage>().Unload(); }

    static FrmSlideMessage& slide() { return formInstance<FrmSlideMessage>(); }

    static void ticks(int count) {
        for (int i = 0; i < count; ++i) slide().tmrSlide_Timer();
    }

    // Where the window's edges should be, in screen pixels, for a top given in twips.
    static LONG pixels(double twips) { return std::lround(twips / slide().twipsPerPixelY()); }
    static double screenTwips() { return GetSystemMetrics(SM_CYSCREEN) * slide().twipsPerPixelY(); }
    static double span() { return slide().travelTwips + slide().taskbarTwips; }

    static void expectTopAndClip(double topTwips) {
        const RECT rect = slide().screenRect();
        EXPECT_EQ(rect.top, pixels(topTwips));
        // The bottom edge stands on the taskbar's top edge.
        EXPECT_EQ(rect.bottom, GetSystemMetrics(SM_CYSCREEN) - pixels(slide().taskbarTwips));
    }
};

}  // namespace

TEST_F(SlideMessage, LoadPlacesItBelowTheScreenAtTheRightTopmostAndRising) {
    FrmSlideMessage& window = frmSlideMessage();
    const RECT rect = window.screenRect();
    EXPECT_EQ(rect.top, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(rect.right, GetSystemMetrics(SM_CXSCREEN) - 1);
    EXPECT_TRUE(GetWindowLongW(window.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(window.Visible());
    EXPECT_NE(GetForegroundWindow(), window.hwnd());
    EXPECT_EQ(window.travelTwips, static_cast<int16_t>(std::lround(124 * 1440.0 / 96)));
    EXPECT_EQ(window.slideDuration, 100);
    EXPECT_EQ(window.slidePhase, FrmSlideMessage::kRising);
    EXPECT_EQ(window.slideTicks, 0);
    EXPECT_TRUE(window.tmrSlide.Enabled());
    EXPECT_EQ(window.tmrSlide.Interval(), 2u);
    EXPECT_EQ(window.lblTitle.Caption(), L"Vorlane Wallpaper Manager");
    EXPECT_EQ(window.lblStatusMsg.Caption(),
              L"Network Error!\r\nCould not connect to the Quorvex servers.  Please check your internet connection.");
}

TEST_F(SlideMessage, RisesHoldsAndSinksByTimerTicks) {
    frmSlideMessage().startSlide(L"Hello");

    ticks(1);  // the first event clips the window to the height it has risen
    expectTopAndClip(screenTwips() - 0.02 * span());

    ticks(24);  // half way up after 25 events of 2 ms
    expectTopAndClip(screenTwips() - 0.5 * span());
    EXPECT_EQ(slide().slidePhase, FrmSlideMessage::kRising);

    ticks(25);  // fully up: 124 pixels tall, standing on the taskbar
    EXPECT_EQ(slide().slidePhase, FrmSlideMessage::kHolding);
    EXPECT_EQ(slide().slideTicks, 0);
    expectTopAndClip(screenTwips() - span());
    const RECT up = slide().screenRect();
    EXPECT_EQ(up.bottom - up.top, 124);

    ticks(749);  // the hold lasts 750 events
    EXPECT_EQ(slide().slidePhase, FrmSlideMessage::kHolding);
    EXPECT_EQ(slide().screenRect().top, up.top);
    ticks(1);
    EXPECT_EQ(slide().slidePhase, FrmSlideMessage::kSinking);
    EXPECT_EQ(slide().slideTicks, 0);

    ticks(25);  // half way down
    expectTopAndClip(screenTwips() - 0.5 * span());
    ticks(24);
    EXPECT_TRUE(slide().isLoaded());
    ticks(1);  // gone at the end of the sink
    EXPECT_FALSE(slide().isLoaded());
}

TEST_F(SlideMessage, SecondNoticeDuringTheHoldReplacesTheTextWithoutRisingAgain) {
    frmSlideMessage().startSlide(L"first");
    ticks(50 + 300);
    const RECT before = slide().screenRect();

    frmSlideMessage().startSlide(L"second");
    EXPECT_EQ(slide().lblStatusMsg.Caption(), L"second");
    EXPECT_EQ(slide().slidePhase, FrmSlideMessage::kHolding);
    EXPECT_EQ(slide().slideTicks, 300);
    EXPECT_EQ(slide().screenRect().top, before.top);

    ticks(450);  // only the rest of the hold
    EXPECT_EQ(slide().slidePhase, FrmSlideMessage::kSinking);
}

TEST_F(SlideMessage, CloseBoxUnloadsAtOnceAndTheNextNoticeRisesFromBelow) {
    frmSlideMessage().startSlide(L"first");
    ticks(20);
    const HWND close = slide().picCloseX.hwnd();
    SendMessageW(close, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(close, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(slide().isLoaded());
    EXPECT_FALSE(slide().tmrSlide.Enabled());

    frmSlideMessage().startSlide(L"next");
    EXPECT_EQ(slide().slidePhase, FrmSlideMessage::kRising);
    EXPECT_EQ(slide().slideTicks, 0);
    EXPECT_EQ(slide().screenRect().top, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(slide().lblStatusMsg.Caption(), L"next");
}

TEST_F(SlideMessage, SysErrorShowsThreeLinesWithANegativeNumber) {
    frmSlideMessage().slideSysError(L"Function APISend, CQXAPI", -2147467259, L"Unspecified error");
    EXPECT_EQ(slide().lblTitle.Caption(), L"Vorlane - Internal Error");
    EXPECT_EQ(slide().lblStatusMsg.Caption(),
              L"In Function APISend, CQXAPI\r\n[-2147467259] Unspecified error\r\n"
              L"If this continues to happen, please reinstall Vorlane from " +
                  serviceHosts().web.root() + L"vorlane/");

    // The title stays for later notices of the same showing.
    frmSlideMessage().startSlide(L"later");
    EXPECT_EQ(slide().lblTitle.Caption(), L"Vorlane - Internal Error");
}

TEST_F(SlideMessage, TrappedErrorsSlideUpOnceTheReporterIsInstalled) {
    installErrorReporter();
    runTrapped(L"ParseXML", L"modXML", [] { raiseError(errnum::ObjectRequired); });
    setErrorReporter(nullptr);

    ASSERT_TRUE(slide().isLoaded());
    EXPECT_EQ(slide().lblTitle.Caption(), L"Vorlane - Internal Error");
    const std::wstring shown = slide().lblStatusMsg.Caption();
    const std::wstring expected = L"In Function ParseXML, modXML\r\n[424] Object required\r\nIf this";
    EXPECT_EQ(shown.substr(0, expected.size()), expected);
}
