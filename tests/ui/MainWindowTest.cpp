// The main window's own actions: exit, a close request, save and minimize,
// restoring from the tray, the options and the web pages it opens; and the
// data folder the start-up makes.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <set>
#include <sstream>

#include "core/CTimerFunctions.h"
#include "core/Globals.h"
#include "core/modMisc.h"
#include "core/modSysTray.h"
#include "tests/support/ProcessWindows.h"
#include "tests/webclient/ApiFixture.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmPopupMenu.h"
#include "ui/modMiscTray.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace vorlane::ui;

namespace {

class MainWindow : public ApiFixture {
protected:
    void SetUp() override {
        ApiFixture::SetUp();
        FrmMain& main = frmMain();
        main.setEnabled(true);
        main.Show();
        activeSourceTab = 0;
        // Lists filled, so a rotation asks for a wallpaper, not for the gallery list.
        main.cboGallery.setText(L"All Galleries");
        main.cboCategory.setText(L"All Categories");
    }
    void TearDown() override {
        RemoveSystrayIcon();
        ApiFixture::TearDown();
    }

    size_t wallpaperRequests() {
        size_t count = 0;
        for (const LoggedRequest& request : apiRequests())
            if (request.requestLine().find("method=qx.wallpapers.") != std::string::npos) ++count;
        return count;
    }

};

}  // namespace

TEST_F(MainWindow, TheExitQuestionAnsweredNoLeavesEverythingAsItWas) {
    minimizeToTray(L"nobody");
    gTimerFunctions->Active_ChangeWallpaper = true;
    // A request under way, its reply held back while the question is up.
    service.fault("hang", "&match=qx.getGalleries&seconds=2&reply=1");
    TextArray keys{L"withcategories"}, values{L"yes"};
    ASSERT_TRUE(gQXAPI->APISend(L"qx.getGalleries", keys, values));
    ASSERT_TRUE(waitFor([&] { return apiRequests().size() == 1; }));
    dialogs.answer(L"Confirm Exit", IDNO);

    frmMain().picExit.Click();

    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"Confirm Exit");
    EXPECT_EQ(dialogs.seen()[0].text,
              L"Are you sure you want to completely shut down Vorlane?\r\n\r\nYour wallpaper will remain exactly as it "
              L"looks now and will not be automatically updated with new images.");
    EXPECT_TRUE(systrayIconShown());
    EXPECT_TRUE(gTimerFunctions->Active_ChangeWallpaper);
    // The connection stayed open: the reply still arrives and fills the lists.
    EXPECT_TRUE(waitFor([] { return galleries.size() > 0; }));
}

// The question belongs to the window the member asked from, which cannot be
// used while it is open: the login's close box, Exit in the tray menu while
// the options are up, the main window's Exit.
TEST_F(MainWindow, TheExitQuestionIsModalToTheWindowThatAsked) {
    dialogs.answer(L"Confirm Exit", IDNO);
    FrmMain& main = frmMain();
    struct Asked {
        Form& window;
        std::function<void()> ask;
    };
    const Asked cases[] = {
        {frmLogin(), [] { frmLogin().picCloseX.Click(); }},
        {frmOptions(), [] { frmPopupMenu().mnuExit_Click(); }},
        {main, [&] { main.picExit.Click(); }},
    };
    for (const Asked& c : cases) {
        SCOPED_TRACE(c.window.Caption());
        main.Hide();
        c.window.Show();
        const size_t before = dialogs.count();
        c.ask();
        ASSERT_EQ(dialogs.count(), before + 1);
        EXPECT_EQ(dialogs.seen().back().title, L"Confirm Exit");
        EXPECT_EQ(dialogs.seen().back().owner, static_cast<void*>(c.window.hwnd()));
        EXPECT_FALSE(dialogs.seen().back().ownerEnabled);
        EXPECT_TRUE(c.window.Enabled());  // again, after No
        c.window.Hide();
    }
}

// Exit in the tray menu stays available while the question is up (the tray's
// window is never disabled): asking again adds no second question.
TEST_F(MainWindow, TheExitQuestionIsUpOnceAtATime) {
    // Left unanswered: the test ends the first question itself, after asking again.
    dialogs.answer(L"Confirm Exit", IDNO, std::chrono::seconds(3));
    minimizeToTray(L"nobody");
    static int askedAgain = 0;
    static const DialogWatcher* watcher = nullptr;
    askedAgain = 0;
    watcher = &dialogs;
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
        if (watcher->count() == 0) return;  // the question is not up yet
        KillTimer(nullptr, id);
        ++askedAgain;
        frmPopupMenu().mnuExit_Click();
        EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM) {
            if (windowText(window) == L"Confirm Exit") PostMessageW(window, WM_COMMAND, IDNO, 0);
            return TRUE;
        }, 0);
    });
    frmPopupMenu().mnuExit_Click();
    EXPECT_EQ(askedAgain, 1);
    EXPECT_EQ(dialogs.count(), 1u);
    EXPECT_TRUE(systrayIconShown());
}

TEST_F(MainWindow, ACloseRequestMinimizesTheWindowAndKeepsItLoaded) {
    FrmMain& main = frmMain();
    SendMessageW(main.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(main.isLoaded());
    EXPECT_TRUE(IsIconic(main.hwnd()));
    EXPECT_FALSE(systrayIconShown());

    // In the tray the request changes nothing either.
    main.unMinimize();
    minimizeToTray(L"nobody");
    SendMessageW(main.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(main.isLoaded());
    EXPECT_FALSE(main.Visible());
    EXPECT_TRUE(systrayIconShown());
}

TEST_F(MainWindow, SaveAndMinimizeAsksForAWallpaperOfTheChosenSource) {
    logIn();
    // The login's gallery request is answered, and its connection closed, first:
    // the service takes one request per connection.
    ASSERT_TRUE(waitFor([] {
        return frmMain().cboGallery.Enabled() && gQXAPI->socket().State() != StateConnected;
    }));
    // The reply is held back: the request is what counts here, not a new desktop.
    service.fault("hang", "&match=qx.wallpapers&seconds=5");
    frmOptions().chkFreeze.setValue(CheckBox::vbUnchecked);
    frmMain().cmdSaveMin.Click();

    EXPECT_FALSE(frmMain().Visible());
    EXPECT_TRUE(systrayIconShown());
    EXPECT_TRUE(gQXAPI->apiForced);
    ASSERT_TRUE(waitFor([&] { return wallpaperRequests() == 1; }));
    EXPECT_NE(apiRequests().back().requestLine().find("method=qx.wallpapers.favorites"), std::string::npos);
}

TEST_F(MainWindow, SaveAndMinimizeWithAFrozenWallpaperAsksForNone) {
    logIn();
    for (int freeze : {CheckBox::vbChecked, CheckBox::vbGrayed}) {
        frmMain().Show();
        frmOptions().chkFreeze.setValue(freeze);
        frmMain().picCloseX.Click();
        EXPECT_FALSE(frmMain().Visible());
        EXPECT_TRUE(systrayIconShown());
    }
    pumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(wallpaperRequests(), 0u);
    EXPECT_FALSE(gQXAPI->apiForced);
}

TEST_F(MainWindow, SaveOnTheTagTabWithARefusedTagStaysOpen) {
    logIn();
    activeSourceTab = 1;
    frmMain().txtTagName.setText(L"");
    frmMain().picSave.Click();
    EXPECT_TRUE(frmMain().Visible());
    EXPECT_FALSE(systrayIconShown());
    pumpFor(std::chrono::milliseconds(300));
    EXPECT_EQ(wallpaperRequests(), 0u);
}

TEST_F(MainWindow, RestoringFromTheTrayCentresTheWindowAndRemovesTheIcon) {
    FrmMain& main = frmMain();
    main.moveTo(3, 5);
    ShowWindow(main.hwnd(), SW_MINIMIZE);
    minimizeToTray(L"nobody");
    main.setEnabled(false);  // busy: restoring leaves that alone

    main.unMinimize();
    EXPECT_TRUE(main.Visible());
    EXPECT_FALSE(IsIconic(main.hwnd()));
    EXPECT_FALSE(systrayIconShown());
    EXPECT_FALSE(main.Enabled());
    const RECT rect = main.screenRect();
    EXPECT_NEAR((rect.left + rect.right) / 2.0, GetSystemMetrics(SM_CXSCREEN) / 2.0, 1.0);
    EXPECT_NEAR((rect.top + rect.bottom) / 2.0, GetSystemMetrics(SM_CYSCREEN) / 2.0, 1.0);
}

TEST_F(MainWindow, TheOptionsButtonSwapsTheMainWindowForTheOptions) {
    frmMain().picOptions.Click();
    EXPECT_FALSE(frmMain().Visible());
    EXPECT_TRUE(frmOptions().Visible());
    EXPECT_EQ(GetForegroundWindow(), frmOptions().hwnd());
}

// ---- the web pages, opened through the shell; a recorder stands in for the browser

namespace {

std::set<std::string> pagesOpenedFor(const std::string& host) {
    std::set<std::string> pages;
    const std::wstring log = hostPath(PAGE_LOG);
    if (!fileExists(log)) return pages;
    std::istringstream lines(readFile(log));
    for (std::string line; std::getline(lines, line);)
        if (line.find("//" + host + "/") != std::string::npos) pages.insert(line);
    return pages;
}

}  // namespace

TEST(MainWindowPages, TheMembersPagesTheHomePageAndTheSignUpPageOpenWithTheSourceQuery) {
    const ComApartment com;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string recorderPath = PAGE_RECORDER;  // a host program: winebrowser runs it with the address
    const std::wstring recorder(recorderPath.begin(), recorderPath.end());
    RegSetValueExW(key, L"Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(recorder.c_str()),
                   static_cast<DWORD>((recorder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    const std::string host = "pages-" + std::to_string(GetCurrentProcessId()) + ".example:8080";
    SetEnvironmentVariableW(L"VORLANE_SERVICE", std::wstring(host.begin(), host.end()).c_str());
    gQXAPI = std::make_unique<CQXAPI>();
    gQXAPI->apiUsername = L"Bob.Smith";

    FrmMain& main = frmMain();
    main.lblFavoriteWhere.Click();
    main.lblUploadedWhere.Click();
    main.picMainTopMascot.Click();
    frmLogin().picNewAccount.Click();

    const std::string site = "http://" + host + "/";
    const std::set<std::string> expected{site + "Bob.Smith/favorites/?source=Vorlane",
                                         site + "Bob.Smith/uploads/?source=Vorlane", site + "?source=Vorlane",
                                         site + "signup?source=Vorlane"};
    EXPECT_TRUE(pumpUntil([&] { return pagesOpenedFor(host).size() >= expected.size(); }, std::chrono::seconds(30)));
    EXPECT_EQ(pagesOpenedFor(host), expected);
    gQXAPI.reset();
}

// ---- the data folder

TEST(DataFolder, IsMadeBelowTheApplicationDataFolderOnce) {
    TempDir appData;
    const std::wstring folder = makeDataFolder(appData.path());
    EXPECT_EQ(folder, appData.path() + L"\\Vorlane\\");
    EXPECT_TRUE(dirExists(folder));
    writeFile(folder + L"kept", "x");
    EXPECT_EQ(makeDataFolder(appData.path()), folder);
    EXPECT_EQ(readFile(folder + L"kept"), "x");
}

TEST(DataFolder, IsRefusedWhenItCannotBeMade) {
    TempDir appData;
    writeFile(appData.file(L"Vorlane"), "a file in the way");
    EXPECT_EQ(makeDataFolder(appData.path()), L"");
    EXPECT_EQ(makeDataFolder(appData.file(L"missing\\deeper")), L"");
    EXPECT_FALSE(dirExists(appData.file(L"missing")));
    EXPECT_EQ(makeDataFolder(L""), L"");
}

// ---- the program's icon (this test program carries it as Vorlane.exe does)

TEST(ProgramIcon, TheWindowsAndTheTrayIconShowIt) {
    const auto own = [](int width, int height) {
        return reinterpret_cast<LONG_PTR>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, width, height, LR_SHARED));
    };
    const LONG_PTR large = own(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    const LONG_PTR small = own(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    ASSERT_NE(large, 0);
    ASSERT_NE(small, 0);
    EXPECT_NE(large, reinterpret_cast<LONG_PTR>(LoadIconW(nullptr, IDI_APPLICATION)));
    EXPECT_EQ(GetClassLongPtrW(frmMain().hwnd(), GCLP_HICON), large);
    EXPECT_EQ(GetClassLongPtrW(frmLogin().hwnd(), GCLP_HICONSM), small);

    minimizeToTray(L"nobody");
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(trayIconData().hIcon), small);
    RemoveSystrayIcon();
}
