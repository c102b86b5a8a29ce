// The tray program as a member starts it: a second copy, the login window when
// no login is saved, the silent start in the tray when one is, and the ways out
// of the login window. Each test gives the program settings of its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "core/CTimerFunctions.h"
#include "core/ComApartment.h"
#include "core/Globals.h"
#include "core/modMisc.h"
#include "core/modRegistry.h"
#include "core/modSysTray.h"
#include "tests/support/DialogWatcher.h"
#include "tests/support/ErrorCapture.h"
#include "tests/support/MessagePump.h"
#include "tests/support/OwnSettings.h"
#include "tests/support/QuorvexService.h"
#include "tests/ui/ProgramProcess.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmPopupMenu.h"
#include "webclient/CQXAPI.h"

using namespace vorlane;
using namespace vorlane::test;

namespace {

constexpr const wchar_t* kMainCaption = L"Vorlane - Desktop Wallpaper Manager";
constexpr const wchar_t* kLoginCaption = L"Vorlane Login";
constexpr const wchar_t* kQuickStartCaption = L"Vorlane - Quick Start Guide";
constexpr const wchar_t* kAliceDigest = L"968d34696c27a1cc949074e23d9ee0a0";  // tulips2008

class ProgramStart : public ::testing::Test {
protected:
    void SetUp() override { SetEnvironmentVariableW(L"VORLANE_SERVICE", service.address().c_str()); }

    static void saveLogin(const std::wstring& username, const std::wstring& digest) {
        regSaveSetting(kAppName, kLoginSection, L"SavedUsername", username);
        regSaveSetting(kAppName, kLoginSection, L"SavedPassword", digest);
    }
    static std::wstring saved(const std::wstring& section, const std::wstring& name) {
        return regGetSetting(kAppName, section, name, L"<none>");
    }

    size_t loginRequests() {
        size_t count = 0;
        for (const LoggedRequest& request : service.log())
            if (request.requestLine().find("method=qx.auth.login") != std::string::npos) ++count;
        return count;
    }
    bool requested(const std::string& text) {
        for (const LoggedRequest& request : service.log())
            if (request.requestLine().find(text) != std::string::npos) return true;
        return false;
    }

    OwnSettings settings;
    QuorvexService service;
};

RECT rectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// Twice the centre, to stay in whole pixels.
POINT doubleCentre(const RECT& rect) { return {rect.left + rect.right, rect.top + rect.bottom}; }

bool centredOn(HWND window, const RECT& area) {
    const POINT own = doubleCentre(rectOf(window));
    const POINT other = doubleCentre(area);
    return std::abs(own.x - other.x) <= 2 && std::abs(own.y - other.y) <= 2;
}

RECT screenArea() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

// The login window's two text boxes and its (keyboard-only) login button.
struct LoginControls {
    HWND userName = nullptr;
    HWND password = nullptr;
    HWND loginButton = nullptr;
};

LoginControls loginControlsOf(HWND login) {
    LoginControls controls;
    for (HWND edit : descendants(login, L"Edit")) {
        if (GetWindowLongPtrW(edit, GWL_STYLE) & ES_PASSWORD)
            controls.password = edit;
        else
            controls.userName = edit;
    }
    for (HWND button : descendants(login, L"Button"))
        if (windowText(button) == L"Login") controls.loginButton = button;
    return controls;
}

}  // namespace

TEST_F(ProgramStart, ASecondCopyEndsAtOnceWithoutAWindowAndLeavesTheFirstAlone) {
    ProgramProcess first;
    const HWND login = first.waitForWindow(kLoginCaption);
    ASSERT_NE(login, nullptr);

    ProgramProcess second;
    bool showedAWindow = false;
    ASSERT_TRUE(waitUntil([&] {
        showedAWindow = showedAWindow || !second.visibleWindows().empty();
        return !second.running();
    }));
    DWORD exitCode = 1;
    ASSERT_TRUE(second.waitForExit(1s, exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(showedAWindow);

    EXPECT_TRUE(first.running());
    EXPECT_TRUE(IsWindowVisible(login));
    EXPECT_EQ(loginRequests(), 0u);
}

TEST_F(ProgramStart, WithoutASavedLoginTheLoginWindowIsModalAndALoginShowsTheMainWindow) {
    ProgramProcess program;
    const HWND login = program.waitForWindow(kLoginCaption);
    ASSERT_NE(login, nullptr);
    const HWND main = program.window(kMainCaption);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_FALSE(IsWindowEnabled(main));

    const LoginControls controls = loginControlsOf(login);
    ASSERT_TRUE(controls.userName && controls.password && controls.loginButton);
    SendMessageW(controls.userName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"alice"));
    SendMessageW(controls.password, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"tulips2008"));
    PostMessageW(controls.loginButton, BM_CLICK, 0, 0);

    // The first-run help comes up over the main window, which the login showed.
    const HWND help = program.waitForWindow(kQuickStartCaption);
    ASSERT_NE(help, nullptr);
    EXPECT_FALSE(IsWindowVisible(login));
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_TRUE(centredOn(help, rectOf(main)));
    EXPECT_FALSE(requested("method=qx.getGalleries")) << "the gallery list waits for the help to close";
    EXPECT_EQ(saved(kLoginSection, L"SavedUsername"), L"alice");
    EXPECT_EQ(saved(kLoginSection, L"SavedPassword"), kAliceDigest);

    const HWND closeBox = closeBoxOf(help);
    ASSERT_NE(closeBox, nullptr);
    clickWindow(closeBox);
    ASSERT_TRUE(waitUntil([&] { return !IsWindow(help) || !IsWindowVisible(help); }));
    ASSERT_TRUE(waitUntil([&] { return requested("method=qx.getGalleries"); }));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(saved(memberSection(L"alice"), L"HideQuickStart"), L"1");
    EXPECT_TRUE(program.running());
}

// Only a whole saved login in the forms a login through the window saves (a
// name the window takes, a digest) is sent: the name names the member's
// settings and goes into the request.
TEST_F(ProgramStart, HalfASavedLoginOrOneTheLoginWindowWouldNotSaveTakesTheLoginWindow) {
    // One more character than the member's settings section can be named with.
    const std::wstring tooLongName(kLongestKeyName - memberSection(L"").size() + 1, L'n');
    const std::pair<const wchar_t*, const wchar_t*> logins[] = {
        {L"alice", L""},
        {L"", kAliceDigest},
        {L"alice smith", kAliceDigest},
        {L"..\\alice", kAliceDigest},
        {L"alice\r\nX-Forwarded-For: 1", kAliceDigest},
        {tooLongName.c_str(), kAliceDigest},
        {L"alice", L"tulips2008"},
        {L"alice", L"968d34696c27a1cc949074e23d9ee0ag"},
    };
    for (const auto& [username, digest] : logins) {
        saveLogin(username, digest);
        ProgramProcess program;
        EXPECT_NE(program.waitForWindow(kLoginCaption), nullptr) << "saved user name: " << testing::PrintToString(username);
        const HWND main = program.window(kMainCaption);
        ASSERT_NE(main, nullptr);
        EXPECT_FALSE(IsWindowVisible(main));
        EXPECT_EQ(loginRequests(), 0u);
    }
}

// A digest saved in capitals (edited by hand, another tool) goes out as the
// login window writes it, in small letters: the login goes through. So does a
// long name, whole.
TEST_F(ProgramStart, ASavedDigestInCapitalsOrALongNameLogsInAsTheWindowsOwnWould) {
    std::wstring capitals = kAliceDigest;
    std::transform(capitals.begin(), capitals.end(), capitals.begin(), towupper);
    for (const auto& [username, digest] : {std::pair<std::wstring, std::wstring>{L"alice", capitals},
                                           {L"Maximilian.Alexander_von-Hohenberg-1987",
                                            L"dc64c2fb077463bc22334fb6edd5ab40"}}) {
        saveLogin(username, digest);
        const size_t before = loginRequests();
        ProgramProcess program;
        ASSERT_NE(program.waitForWindow(kQuickStartCaption), nullptr) << "no login of " << testing::PrintToString(username);
        const HWND login = program.window(kLoginCaption);
        ASSERT_NE(login, nullptr);
        EXPECT_FALSE(IsWindowVisible(login));
        EXPECT_EQ(loginRequests(), before + 1);
        EXPECT_EQ(saved(kLoginSection, L"SavedPassword"), digest);
    }
}

TEST_F(ProgramStart, WithASavedLoginItStartsInTheTrayAndLogsInSilently) {
    // Another letter case than the service's: a silent login does not save again.
    saveLogin(L"ALICE", kAliceDigest);
    ProgramProcess program;
    // The one-time notice explains where the program went.
    ASSERT_NE(program.waitForWindow(L"Vorlane Slide Up Message"), nullptr);
    const HWND main = program.window(kMainCaption);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(IsWindowVisible(main));
    const HWND login = program.window(kLoginCaption);
    ASSERT_NE(login, nullptr);
    EXPECT_FALSE(IsWindowVisible(login));
    ASSERT_TRUE(waitUntil([&] { return loginRequests() == 1; }));

    // The first-run help then opens in the middle of the screen; the main window stays in the tray.
    const HWND help = program.waitForWindow(kQuickStartCaption);
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(centredOn(help, screenArea()));
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(saved(kLoginSection, L"SavedUsername"), L"ALICE");
    EXPECT_EQ(saved(memberSection(L"alice"), L"MinimizeHelp"), L"1");
}

// A captive portal answers the silent login with a redirect. Once the service
// answers again the retry logs in: the program is no longer busy, and the
// member's Save and Minimize changes the wallpaper, without a restart.
TEST_F(ProgramStart, AGatewayAnsweringTheSilentLoginLeavesAWayBack) {
    saveLogin(L"alice", kAliceDigest);
    regSaveSetting(kAppName, memberSection(L"alice"), L"HideQuickStart", L"1");
    regSaveSetting(kAppName, memberSection(L"alice"), L"MinimizeHelp", L"1");  // the only notices are the gateway's
    regSaveSetting(kAppName, memberSection(L"alice"), L"UseMembers", L"Uploads");  // some fit the test's screen
    service.fault("redirect", "&count=0");
    ProgramProcess program;
    ASSERT_NE(program.waitForWindow(L"Vorlane Slide Up Message"), nullptr);
    const HWND main = program.window(kMainCaption);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(loginRequests(), 1u);
    service.reset();
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(main); }, 45s)) << "still busy";
    EXPECT_EQ(loginRequests(), 1u);  // the retry's, since the reset

    const HWND tray = program.window(L"Popup Menu Form");
    ASSERT_NE(tray, nullptr);
    PostMessageW(tray, WM_MOUSEMOVE, 0, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(waitUntil([&] { return IsWindowVisible(main) != FALSE; }));
    for (HWND button : descendants(main, L"Button"))
        if (windowText(button) == L"Default (Return) Save and Minimize") PostMessageW(button, BM_CLICK, 0, 0);
    EXPECT_TRUE(waitUntil([&] { return saved(memberSection(L"alice"), L"ActiveWallpaper") != L"<none>"; }, 30s));
}

TEST_F(ProgramStart, ClosingTheLoginWindowEndsTheProgramWithoutAQuestion) {
    // A close request, and Alt+F4 or the taskbar's Close.
    for (const auto& [message, command] : {std::pair<UINT, WPARAM>{WM_CLOSE, 0}, {WM_SYSCOMMAND, SC_CLOSE}}) {
        ProgramProcess program;
        const HWND login = program.waitForWindow(kLoginCaption);
        ASSERT_NE(login, nullptr);
        DialogWatcher dialogs(program.id());
        PostMessageW(login, message, command, 0);
        DWORD exitCode = 1;
        ASSERT_TRUE(program.waitForExit(20s, exitCode)) << message;
        EXPECT_EQ(exitCode, 0u);
        EXPECT_EQ(dialogs.count(), 0u);
    }
}

TEST_F(ProgramStart, TheLoginCloseBoxAsksFirstAndYesEndsTheProgram) {
    ProgramProcess program;
    const HWND login = program.waitForWindow(kLoginCaption);
    ASSERT_NE(login, nullptr);
    DialogWatcher dialogs(program.id());
    dialogs.answer(L"Confirm Exit", IDYES);
    const HWND closeBox = closeBoxOf(login);
    ASSERT_NE(closeBox, nullptr);
    clickWindow(closeBox);
    DWORD exitCode = 1;
    ASSERT_TRUE(program.waitForExit(20s, exitCode));
    EXPECT_EQ(exitCode, 0u);
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.seen()[0].title, L"Confirm Exit");
    EXPECT_EQ(dialogs.seen()[0].text,
              L"Are you sure you want to completely shut down Vorlane?\r\n\r\nYour wallpaper will remain exactly as it "
              L"looks now and will not be automatically updated with new images.");
}

TEST_F(ProgramStart, AnErrorThatNoHandlerTrapsIsReportedAndTheProgramGoesOn) {
    // The program is asked to fail in a handler of its main window.
    SetEnvironmentVariableW(L"VORLANE_TEST_RAISE", L"1");
    ProgramProcess program;
    SetEnvironmentVariableW(L"VORLANE_TEST_RAISE", nullptr);
    const HWND login = program.waitForWindow(kLoginCaption);
    ASSERT_NE(login, nullptr);
    const HWND main = program.window(kMainCaption);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(program.window(L"Vorlane Slide Up Message"), nullptr);

    PostMessageW(main, RegisterWindowMessageW(L"Vorlane.RaiseForTest"), 6, 0);
    EXPECT_NE(program.waitForWindow(L"Vorlane Slide Up Message"), nullptr) << "no report";
    ASSERT_TRUE(program.running());

    // The login window still logs the member in.
    const LoginControls controls = loginControlsOf(login);
    ASSERT_TRUE(controls.userName && controls.password && controls.loginButton);
    SendMessageW(controls.userName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"alice"));
    SendMessageW(controls.password, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"tulips2008"));
    PostMessageW(controls.loginButton, BM_CLICK, 0, 0);
    EXPECT_NE(program.waitForWindow(kQuickStartCaption), nullptr);
    EXPECT_TRUE(program.running());
}

// The start-up fails after the silent start has put the icon in the tray: the
// member is told, and the program then ends as an exit does (not aborted).
TEST_F(ProgramStart, AnErrorInTheStartUpIsReportedAndThenTheProgramEndsCleanly) {
    saveLogin(L"alice", kAliceDigest);
    regSaveSetting(kAppName, memberSection(L"alice"), L"MinimizeHelp", L"1");  // no notice but the report
    SetEnvironmentVariableW(L"VORLANE_TEST_RAISE", L"start");
    ProgramProcess program;
    SetEnvironmentVariableW(L"VORLANE_TEST_RAISE", nullptr);
    ASSERT_NE(program.waitForWindow(L"Vorlane Slide Up Message"), nullptr) << "no report";
    EXPECT_TRUE(program.running());

    DWORD exitCode = 1;
    ASSERT_TRUE(program.waitForExit(40s, exitCode));
    EXPECT_EQ(exitCode, 0u);
}

// ---- the start-up inside this process, for what only the program itself can see

TEST(StartUpInThisProcess, ASilentStartMakesTheSharedObjectsAndWaitsInTheTrayForTheLogin) {
    OwnSettings settings;
    QuorvexService service;
    const ComApartment com;
    ErrorCapture errors;
    DialogWatcher dialogs;
    SetEnvironmentVariableW(L"VORLANE_SERVICE", service.address().c_str());
    regSaveSetting(kAppName, kLoginSection, L"SavedUsername", L"alice");
    regSaveSetting(kAppName, kLoginSection, L"SavedPassword", kAliceDigest);
    regSaveSetting(kAppName, memberSection(L"alice"), L"HideQuickStart", L"1");
    userIsIdle = true;

    ui::startVorlane();

    ASSERT_TRUE(gQXAPI);
    EXPECT_TRUE(gQXAPI->apiSilent);
    EXPECT_EQ(gQXAPI->apiUsername, L"alice");
    EXPECT_EQ(gQXAPI->apiPasswordHash, kAliceDigest);
    EXPECT_EQ(screenAspectRatio, L"1.25");  // the virtual screen is 1280 by 1024
    EXPECT_FALSE(userIsIdle);
    ASSERT_TRUE(gTimerFunctions);
    EXPECT_FALSE(gTimerFunctions->Active_ChangeWallpaper);
    EXPECT_FALSE(gTimerFunctions->Active_CheckIdle);
    EXPECT_FALSE(gTimerFunctions->Active_NetworkRetry);
    EXPECT_TRUE(gTimerFunctions->Active_SockTimeout) << "the login request waits for its reply";
    EXPECT_GE(dataFolder.size(), 10u);
    EXPECT_EQ(dataFolder.substr(dataFolder.size() - 9), L"\\Vorlane\\");
    EXPECT_TRUE(dirExists(dataFolder));

    ui::FrmMain& main = ui::formInstance<ui::FrmMain>();
    ASSERT_TRUE(main.isLoaded());
    EXPECT_FALSE(main.Visible());
    EXPECT_FALSE(main.Enabled());
    EXPECT_FALSE(main.dragging);
    EXPECT_TRUE(systrayIconShown());
    EXPECT_TRUE(ui::formInstance<ui::FrmLogin>().isLoaded());
    EXPECT_FALSE(ui::formInstance<ui::FrmLogin>().Visible());
    EXPECT_TRUE(ui::formInstance<ui::FrmOptions>().isLoaded());
    EXPECT_FALSE(ui::formInstance<ui::FrmOptions>().Visible());
    EXPECT_TRUE(ui::formInstance<ui::FrmPopupMenu>().isLoaded());

    // The reply logs the member in: ready, still in the tray.
    ASSERT_TRUE(pumpUntil([&] { return main.Enabled(); }));
    EXPECT_TRUE(gQXAPI->apiLoggedIn);
    EXPECT_FALSE(main.Visible());
    EXPECT_TRUE(systrayIconShown());
    EXPECT_TRUE(gTimerFunctions->Active_ChangeWallpaper);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(dialogs.count(), 0u);

    RemoveSystrayIcon();
    gQXAPI.reset();
    gTimerFunctions.reset();
}
