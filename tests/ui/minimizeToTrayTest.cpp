// Tests of minimizing the main window to the tray.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/modRegistry.h"
#include "core/modSysTray.h"
#include "tests/support/ErrorCapture.h"
#include "ui/frmMain.h"
#include "ui/frmPopupMenu.h"
#include "ui/frmSlideMessage.h"
#include "ui/modMiscTray.h"

using namespace vorlane;
using namespace vorlane::ui;

TEST(MinimizeToTray, HidesTheMainWindowAndExplainsOnlyTheFirstTimeForAMember) {
    const std::wstring member = L"tray-test-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring key = L"Software\\Vorlane\\" + memberSection(member);
    test::ErrorCapture capture;

    frmMain().Show();
    minimizeToTray(member);
    EXPECT_FALSE(frmMain().Visible());
    EXPECT_TRUE(systrayIconShown());
    EXPECT_EQ(trayIconData().hWnd, frmPopupMenu().hwnd());
    EXPECT_STREQ(trayIconData().szTip, L"Vorlane Wallpaper Manager");

    FrmSlideMessage& notice = formInstance<FrmSlideMessage>();
    ASSERT_TRUE(notice.isLoaded());
    EXPECT_EQ(notice.lblTitle.Caption(), L"Vorlane - Information");
    EXPECT_EQ(notice.lblStatusMsg.Caption(),
              L"Vorlane has been minimized!\r\n\r\nYou'll see the Vorlane icon in the bottom-right corner of your "
              L"monitor.  To bring the preferences screen back, double-click on the icon.  To see more options, "
              L"right-click on it.");
    EXPECT_EQ(regGetSetting(kAppName, memberSection(member), L"MinimizeHelp", L""), L"1");

    notice.Unload();
    frmMain().Show();
    minimizeToTray(member);
    EXPECT_FALSE(frmMain().Visible());
    EXPECT_FALSE(notice.isLoaded());
    EXPECT_TRUE(capture.empty());

    RemoveSystrayIcon();
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}
