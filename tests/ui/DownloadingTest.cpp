// The download progress window: its bar arithmetic and its abort.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/CTimerFunctions.h"
#include "core/ComApartment.h"
#include "core/RuntimeError.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TestFiles.h"
#include "ui/frmDownloading.h"
#include "ui/frmMain.h"
#include "webclient/CQXAPI.h"

using namespace vorlane;
using namespace vorlane::ui;

TEST(Downloading, BarWidthIsThePercentageOfItsFullWidth) {
    const std::pair<int16_t, int16_t> cases[] = {{0, 1},    {-40, 1},    {1, 4},     {50, 208}, {99, 413},
                                                 {100, 417}, {120, 500}, {25, 104}, {3, 13}};
    for (auto [percent, width] : cases) EXPECT_EQ(FrmDownloading::progressBarWidth(percent), width) << percent;
    try {
        FrmDownloading::progressBarWidth(8000);  // 33360 pixels: past the 16-bit range
        FAIL() << "no overflow";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 6);
    }
}

TEST(Downloading, FreshWindowShowsAOnePixelBarAndTheDesignTexts) {
    FrmDownloading& progress = frmDownloading();
    EXPECT_EQ(progress.picProgressBar.Width(), 1);
    EXPECT_EQ(progress.lblProgressPercent.Caption(), L"100%");  // the bar leaves the text alone
    EXPECT_EQ(progress.lblHeaderTitle.Caption(), L"Vorlane - Initializing...");
    progress.SetProgressBarValue(50);
    EXPECT_EQ(progress.picProgressBar.Width(), 208);
    EXPECT_EQ(progress.lblProgressPercent.Caption(), L"100%");
    progress.Unload();
    EXPECT_EQ(frmDownloading().picProgressBar.Width(), 1);
}

TEST(Downloading, OpensInTheMiddleOfTheScreen) {
    const RECT rect = frmDownloading().screenRect();
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_NEAR((rect.left + rect.right) / 2, screenWidth / 2, 2);
    EXPECT_NEAR((rect.top + rect.bottom) / 2, screenHeight / 2, 2);
}

TEST(Downloading, AbortStopsTheDownloadRemovesThePartialFileAndForgetsTheUpdate) {
    ComApartment com;
    test::TempDir dir;
    gTimerFunctions = std::make_unique<CTimerFunctions>();
    gQXAPI = std::make_unique<CQXAPI>();

    // A transfer under way to a server that accepts and never answers.
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    int length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::wstring partial = dir.file(L"Vorlane-1.0.1.zip");
    int events = 0;
    gQXAPI->QXDownload.events.Completed = [&] { ++events; };
    gQXAPI->QXDownload.events.Error = [&](int16_t, const std::wstring&) { ++events; };
    gQXAPI->QXDownload.Download(L"http://127.0.0.1:" + std::to_wstring(ntohs(address.sin_port)) + L"/x.zip", partial);
    ASSERT_TRUE(test::pumpUntil([&] { return GetFileAttributesW(partial.c_str()) != INVALID_FILE_ATTRIBUTES; }));

    gQXAPI->apiDownloadingUpdate = true;
    gQXAPI->apiDownloadingUpdateMD5 = true;
    gQXAPI->apiDownloadingUpdateErr = 2;
    gQXAPI->apiForced = true;
    FrmMain& main = frmMain();
    main.setEnabled(false);
    frmDownloading().imgAbort_Click();

    EXPECT_EQ(GetFileAttributesW(partial.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(gQXAPI->apiDownloadingUpdate);
    EXPECT_FALSE(gQXAPI->apiDownloadingUpdateMD5);
    EXPECT_EQ(gQXAPI->apiDownloadingUpdateErr, 0);
    EXPECT_FALSE(gQXAPI->apiForced);  // the update's own, gone with it
    EXPECT_TRUE(main.Enabled());
    EXPECT_FALSE(formInstance<FrmDownloading>().isLoaded());
    test::pumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(events, 0);  // no download event follows an abort

    closesocket(listener);
    gQXAPI.reset();
    gTimerFunctions.reset();
}

TEST(Downloading, AbortWithoutAFileStillClearsTheUpdateAndClosingTheWindowAborts) {
    gTimerFunctions = std::make_unique<CTimerFunctions>();
    gQXAPI = std::make_unique<CQXAPI>();
    // The abort picture, a close request, Alt+F4; during an update or a
    // change the member asked for (the next change is the schedule's own).
    for (const bool update : {true, false}) {
        for (const auto& [message, wParam] :
             {std::pair<UINT, WPARAM>{0, 0}, {WM_CLOSE, 0}, {WM_SYSCOMMAND, SC_CLOSE}}) {
            gQXAPI->apiDownloadingUpdate = update;
            gQXAPI->apiForced = true;
            frmMain().setEnabled(false);
            FrmDownloading& progress = frmDownloading();
            if (message == 0)
                progress.imgAbort_Click();
            else
                SendMessageW(progress.hwnd(), message, wParam, 0);
            EXPECT_FALSE(gQXAPI->apiDownloadingUpdate) << message;
            EXPECT_FALSE(gQXAPI->apiForced) << message << " update " << update;
            EXPECT_TRUE(frmMain().Enabled());
            EXPECT_FALSE(formInstance<FrmDownloading>().isLoaded());
        }
    }
    gQXAPI.reset();
    gTimerFunctions.reset();
}

// The window has no taskbar button of its own (its owner, the main window, is
// in the tray): minimized, it could not be brought back to abort, so it is not.
TEST(Downloading, TheWindowDoesNotMinimize) {
    FrmDownloading& progress = frmDownloading();
    progress.Show(&frmMain());
    SendMessageW(progress.hwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsIconic(progress.hwnd()));
    EXPECT_TRUE(progress.Visible());
    progress.Unload();
}
