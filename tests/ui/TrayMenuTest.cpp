// The tray icon's callback: the tooltip, the double-click and the tray menu.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "core/modSysTray.h"
#include "tests/ui/MemberFixture.h"
#include "ui/frmOptions.h"
#include "ui/frmPopupMenu.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace vorlane::ui;

namespace {

struct ShownItem {
    std::wstring caption;  // "-" for a separator
    bool grayed = false;
    bool isDefault = false;
};

// What the menu showed the one time it opened, read as it opened and then closed.
std::vector<ShownItem> shownMenu;
int menusOpened = 0;

void CALLBACK closeMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EndMenu();
}

LRESULT CALLBACK watchMenu(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    if (message == WM_INITMENUPOPUP) {
        ++menusOpened;
        const auto menu = reinterpret_cast<HMENU>(wParam);
        shownMenu.clear();
        const UINT defaultId = GetMenuDefaultItem(menu, FALSE, 0);
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
            wchar_t text[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            const UINT id = GetMenuItemID(menu, i);
            shownMenu.push_back({(state & MF_SEPARATOR) ? L"-" : text, (state & MF_GRAYED) != 0,
                                 defaultId != static_cast<UINT>(-1) && id == defaultId});
        }
        SetTimer(nullptr, 0, 30, closeMenu);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

class TrayMenu : public MemberFixture {
protected:
    void SetUp() override {
        MemberFixture::SetUp();
        SetEnvironmentVariableW(L"VORLANE_SERVICE", L"quorvex.test:8080");
        CreateSystrayIcon(tray.hwnd(), L"Vorlane Wallpaper Manager");
        SetWindowSubclass(tray.hwnd(), watchMenu, 1, 0);
        main.Hide();
        main.setEnabled(true);
        frmOptions().chkFreeze.setValue(CheckBox::vbUnchecked);
        changeIntervalSeconds = 3 * 3600;
        secondsSinceChange = 0;
    }
    void TearDown() override {
        RemoveWindowSubclass(tray.hwnd(), watchMenu, 1);
        RemoveSystrayIcon();
        MemberFixture::TearDown();
    }

    // The shell hands the icon's mouse message to the window as a pointer move.
    void callback(UINT mouseMessage) { SendMessageW(tray.hwnd(), WM_MOUSEMOVE, 0, mouseMessage); }

    std::wstring tooltip() const { return trayIconData().szTip; }

    FrmPopupMenu& tray = frmPopupMenu();
    FrmMain& main = frmMain();
};

TEST_F(TrayMenu, TheTooltipTellsFrozenBeforeOutageBeforeTheCountdown) {
    frmOptions().chkFreeze.setValue(CheckBox::vbChecked);
    gQXAPI->apiNetworkOutage = true;
    callback(WM_MOUSEMOVE);
    EXPECT_EQ(tooltip(), L"Vorlane - Frozen on Current Wallpaper");

    frmOptions().chkFreeze.setValue(CheckBox::vbUnchecked);
    callback(WM_MOUSEMOVE);
    EXPECT_EQ(tooltip(), L"Vorlane - Waiting for Internet Connectivity");

    gQXAPI->apiNetworkOutage = false;
    secondsSinceChange = 5;
    callback(WM_MOUSEMOVE);
    EXPECT_EQ(tooltip(), L"Vorlane - Next update in 2:59:55");

    // The tooltip follows the countdown while the pointer rests on the icon.
    changeIntervalSeconds = 500 * 86400;
    secondsSinceChange = 0;
    callback(WM_MOUSEMOVE);
    EXPECT_EQ(tooltip(), L"Vorlane - Next update in 500 Days, 0:00:00");
    EXPECT_EQ(menusOpened, 0);
    EXPECT_FALSE(main.Visible());
    EXPECT_TRUE(systrayIconShown());
    EXPECT_TRUE(errors.empty());
}

TEST_F(TrayMenu, ADoubleClickWhileBusyOnlyRefreshesTheTooltip) {
    main.setEnabled(false);
    secondsSinceChange = 60;
    callback(WM_LBUTTONDBLCLK);
    EXPECT_EQ(tooltip(), L"Vorlane - Next update in 2:59:00");
    EXPECT_FALSE(main.Visible());
    EXPECT_TRUE(systrayIconShown());
    EXPECT_EQ(menusOpened, 0);
}

TEST_F(TrayMenu, ADoubleClickBringsTheMainWindowBackCentred) {
    callback(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(main.Visible());
    EXPECT_FALSE(systrayIconShown());
    const RECT rect = main.screenRect();
    EXPECT_NEAR((rect.left + rect.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
    EXPECT_NEAR((rect.top + rect.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 2);
    EXPECT_EQ(menusOpened, 0);
}

TEST_F(TrayMenu, EditPreferencesRestoresTheMainWindow) {
    tray.mnuEditPreferences_Click();  // greyed while busy, so only reached when enabled
    EXPECT_TRUE(main.Visible());
    EXPECT_FALSE(systrayIconShown());
}

TEST_F(TrayMenu, TheMenuOpensOnTheReleaseOfTheRightButton) {
    callback(WM_RBUTTONDOWN);
    EXPECT_EQ(menusOpened, 0);
    callback(WM_RBUTTONUP);
    EXPECT_EQ(menusOpened, 1);
    const std::vector<std::wstring> captions{L"&Visit Quorvex",         L"View Info on &Current Wallpaper", L"-",
                                             L"Edit &Preferences",      L"&Rotate Wallpaper Now",          L"-",
                                             L"E&xit Vorlane"};
    ASSERT_EQ(shownMenu.size(), captions.size());
    for (size_t i = 0; i < captions.size(); ++i) {
        EXPECT_EQ(shownMenu[i].caption, captions[i]);
        if (captions[i] != L"-") {
            EXPECT_FALSE(shownMenu[i].grayed) << i;
        }
        EXPECT_EQ(shownMenu[i].isDefault, i == 3) << i;
    }
}

TEST_F(TrayMenu, WhileBusyTheWorkingItemsAreGreyedUnderANote) {
    main.setEnabled(false);
    callback(WM_RBUTTONUP);
    ASSERT_EQ(menusOpened, 1);
    const std::vector<std::pair<std::wstring, bool>> expected{
        {L"Vorlane is busy...", true},  {L"Please wait.", true},       {L"-", false},
        {L"&Visit Quorvex", false},     {L"View Info on &Current Wallpaper", true},
        {L"-", false},                  {L"Edit &Preferences", true},   {L"&Rotate Wallpaper Now", true},
        {L"-", false},                  {L"E&xit Vorlane", false}};
    ASSERT_EQ(shownMenu.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(shownMenu[i].caption, expected[i].first) << i;
        if (expected[i].first != L"-") {
            EXPECT_EQ(shownMenu[i].grayed, expected[i].second) << i;
        }
    }

    // No longer busy: the note goes again.
    main.setEnabled(true);
    callback(WM_RBUTTONUP);
    ASSERT_EQ(menusOpened, 2);
    EXPECT_EQ(shownMenu.size(), 7u);
    EXPECT_EQ(shownMenu[0].caption, L"&Visit Quorvex");
    EXPECT_FALSE(shownMenu[1].grayed);
}

TEST_F(TrayMenu, TheCurrentWallpapersPageOrElseTheHomePage) {
    EXPECT_EQ(FrmPopupMenu::homePage(), L"http://quorvex.test:8080/?source=Vorlane");
    gQXAPI->apiActiveWallpaperLink.clear();
    EXPECT_EQ(FrmPopupMenu::currentWallpaperPage(), L"http://quorvex.test:8080/?source=Vorlane");
    gQXAPI->apiActiveWallpaperLink = L"http://quorvex.test:8080/wallpaper/42";
    EXPECT_EQ(FrmPopupMenu::currentWallpaperPage(), L"http://quorvex.test:8080/wallpaper/42?source=Vorlane");
    // Before any change the login has made the home page the current one.
    gQXAPI->apiActiveWallpaperLink = FrmPopupMenu::homePage();
    EXPECT_EQ(FrmPopupMenu::currentWallpaperPage(), L"http://quorvex.test:8080/?source=Vorlane");
    // A link from the reply that is no page of the service is never opened.
    gQXAPI->apiActiveWallpaperLink = L"file:///C:/quorvex.test/run.exe";
    EXPECT_EQ(FrmPopupMenu::currentWallpaperPage(), L"http://quorvex.test:8080/?source=Vorlane");
}

TEST_F(TrayMenu, ExitAsksFirst) {
    dialogs.answer(L"Confirm Exit", IDNO);
    tray.mnuExit.Click();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"Confirm Exit");
    EXPECT_TRUE(systrayIconShown());  // answered No: still running, still in the tray
}

}  // namespace
