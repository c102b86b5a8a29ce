// The login window: the checks before a login goes out, and what an accepted
// login does (interactive and silent), against the service stand-in.
#include <gtest/gtest.h>

#include <windows.h>

#include "core/CTimerFunctions.h"
#include "core/Globals.h"
#include "core/modRegistry.h"
#include "core/modSysTray.h"
#include "tests/webclient/ApiFixture.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmQuickStart.h"
#include "ui/frmSlideMessage.h"
#include "ui/modMiscTray.h"
#include "webclient/modMD5.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace vorlane::ui;

namespace {

constexpr const wchar_t* kForgot = L"Oops! You forgot something...";
constexpr const wchar_t* kLongName = L"Maximilian.Alexander_von-Hohenberg-1987";  // a member of the stand-in
// One character more than the member's settings section can be named with.
const std::wstring kTooLongName(kLongestKeyName - memberSection(L"").size() + 1, L'n');

// The windows of this thread that got the keyboard focus, the last one kept.
// Unlike GetFocus it is not disturbed by tests beside this one that take the
// foreground of the shared display.
class FocusLog {
public:
    FocusLog() : hook_(SetWindowsHookExW(WH_CALLWNDPROC, record, nullptr, GetCurrentThreadId())) { current = this; }
    ~FocusLog() {
        UnhookWindowsHookEx(hook_);
        current = nullptr;
    }
    FocusLog(const FocusLog&) = delete;
    FocusLog& operator=(const FocusLog&) = delete;

    HWND last() const { return last_; }

private:
    static LRESULT CALLBACK record(int code, WPARAM wParam, LPARAM lParam) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && message->message == WM_SETFOCUS && current) current->last_ = message->hwnd;
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline FocusLog* current = nullptr;
    HHOOK hook_;
    HWND last_ = nullptr;
};

class Login : public ApiFixture {
protected:
    void SetUp() override {
        ApiFixture::SetUp();
        // As the start-up leaves them: the main window hidden and disabled, the login window up.
        frmMain().Hide();
        frmMain().setEnabled(false);
        FrmLogin& login = frmLogin();
        login.Show();
        SetForegroundWindow(login.hwnd());
    }

    static void type(const std::wstring& username, const std::wstring& password) {
        frmLogin().txtUserName.setText(username);
        frmLogin().txtPassword.setText(password);
    }
    static void saveMember(const std::wstring& name, const std::wstring& value) {
        regSaveSetting(kAppName, memberSection(L"alice"), name, value);
    }
    static void forgetMember(const std::wstring& name) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, settingsKeyPath(kAppName, memberSection(L"alice")).c_str(), name.c_str());
    }
    static std::wstring saved(const std::wstring& section, const std::wstring& name) {
        return regGetSetting(kAppName, section, name, L"<none>");
    }
    // An interactive login of alice (the fixture keeps the first-run help away).
    void logInAsTheMemberWould() {
        type(L"alice", L"tulips2008");
        frmLogin().cmdLogin.Click();
        ASSERT_TRUE(waitFor([] { return frmMain().Enabled(); })) << "no login";
    }
    bool sent(const std::string& method) {
        for (const LoggedRequest& request : apiRequests())
            if (request.requestLine().find("method=" + method) != std::string::npos) return true;
        return false;
    }

    FocusLog focus;
};

// The login action's refusals: one box each, the focus on the box to fix, nothing sent.
struct Refusal {
    const wchar_t* username;
    const wchar_t* password;
    const wchar_t* title;
    const wchar_t* text;
    bool focusOnUserName;
};

const Refusal kRefusals[] = {
    {L"", L"", kForgot, L"Please enter your username.", true},
    {L"", L"tulips2008", kForgot, L"Please enter your username.", true},
    {L"alice", L"", kForgot, L"Please enter your password.", false},
    {L"alice smith", L"tulips2008", L"Invalid Username",
     L"The username can only consist of letters, numbers, periods, dashes, and underscores.\r\nPlease check your "
     L"typing and try again.",
     true},
    // The empty password is asked for before the name is checked.
    {L"al!ce", L"", kForgot, L"Please enter your password.", false},
    {L"j\u00f6rg", L"x", L"Invalid Username", nullptr, true},
    {kTooLongName.c_str(), L"x", L"Username Too Long",
     L"The username is too long: Vorlane can keep the settings of a username of up to 245 characters.\r\nPlease "
     L"check your typing and try again.",
     true},
};

}  // namespace

TEST_F(Login, MissingOrInvalidInputIsRefusedWithOneBoxAndTheFocusOnTheBoxToFix) {
    FrmLogin& login = frmLogin();
    for (const Refusal& refusal : kRefusals) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(refusal.username)) + " / " +
                     testing::PrintToString(std::wstring(refusal.password)));
        const size_t before = dialogs.count();
        type(refusal.username, refusal.password);
        (refusal.focusOnUserName ? login.txtPassword : login.txtUserName).setFocus();
        login.picLoginSubmit.Click();

        ASSERT_EQ(dialogs.count(), before + 1);
        const SeenDialog shown = dialogs.seen().back();
        EXPECT_EQ(shown.title, refusal.title);
        if (refusal.text) {
            EXPECT_EQ(shown.text, refusal.text);
        }
        EXPECT_EQ(focus.last(), (refusal.focusOnUserName ? login.txtUserName : login.txtPassword).hwnd());
        EXPECT_TRUE(login.txtUserName.Enabled() && login.txtPassword.Enabled() && login.cmdLogin.Enabled());
    }
    pumpFor(std::chrono::milliseconds(200));
    EXPECT_TRUE(service.log().empty());
}

// A login the service refuses, or that cannot reach it, is told once, in a box
// modal to the login window: the member cannot send again while it is up, nor
// while the login is under way.
TEST_F(Login, ARefusedOrUnreachableLoginIsToldInABoxModalToTheLoginWindow) {
    FrmLogin& login = frmLogin();
    for (const auto& [server, title] : {std::pair{service.address(), L"Invalid Username/Password"},
                                        std::pair{std::wstring(L"127.0.0.1:1"), L"Connection Error"}}) {
        SCOPED_TRACE(testing::PrintToString(server));
        SetEnvironmentVariableW(L"VORLANE_SERVICE", server.c_str());
        gQXAPI = std::make_unique<CQXAPI>();
        const size_t before = dialogs.count();
        type(L"alice", L"not-the-password");
        // A double click on the login picture, as the message loop delivers it.
        for (int click = 0; click < 2; ++click) {
            PostMessageW(login.picLoginSubmit.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
            PostMessageW(login.picLoginSubmit.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
        }
        ASSERT_TRUE(waitFor([&] { return dialogs.count() > before && login.txtUserName.Enabled(); }));
        pumpFor(std::chrono::milliseconds(500));
        ASSERT_EQ(dialogs.count(), before + 1);
        EXPECT_EQ(dialogs.seen().back().title, title);
        EXPECT_EQ(dialogs.seen().back().owner, static_cast<void*>(login.hwnd()));
        EXPECT_FALSE(dialogs.seen().back().ownerEnabled);
        EXPECT_TRUE(login.Enabled());  // again, after the box
    }
}

// A member the service knows but does not let in (an account not activated) is
// told why, and the login window is ready for another try: never left with
// its boxes disabled, nor the program busy in the tray after a silent login.
TEST_F(Login, ALoginTheServiceRefusesWithAReasonIsToldAndTheWindowIsReadyAgain) {
    FrmLogin& login = frmLogin();
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "typed");
        const size_t before = dialogs.count();
        if (silent) {
            login.Hide();
            gQXAPI->apiSilent = true;
            gQXAPI->apiUsername = L"dave_new";
            gQXAPI->apiPasswordHash = GetStringMD5(L"welcome1");
            ASSERT_TRUE(gQXAPI->APILogin());
        } else {
            type(L"dave_new", L"welcome1");
            login.cmdLogin.Click();
        }
        ASSERT_TRUE(waitFor([&] { return dialogs.count() > before && login.txtUserName.Enabled(); }));
        EXPECT_EQ(dialogs.seen().back().text, L"Account not activated");
        EXPECT_TRUE(login.Visible());
        EXPECT_TRUE(login.txtPassword.Enabled() && login.cmdLogin.Enabled());
        EXPECT_FALSE(gQXAPI->apiLoggedIn);
        EXPECT_FALSE(gQXAPI->apiSilent);
    }
}

// So is a login answered with an error of the service's, or with a reply no
// service sends: the notice says what went wrong.
TEST_F(Login, ALoginAnsweredWithAServiceErrorOrAnUnexpectedReplyLeavesTheWindowReadyAgain) {
    FrmLogin& login = frmLogin();
    for (const std::string fault : {"api_error&number=901", "api_error&number=912&description=Slow+down", "oversize"}) {
        SCOPED_TRACE(fault);
        const size_t separator = fault.find('&');
        service.fault(fault.substr(0, separator), separator == std::string::npos ? "" : fault.substr(separator));
        type(L"alice", L"tulips2008");
        login.cmdLogin.Click();
        ASSERT_TRUE(waitFor([&] { return notice().has_value() && login.txtUserName.Enabled(); }));
        EXPECT_TRUE(login.Visible());
        EXPECT_FALSE(gQXAPI->apiLoggedIn);
        formInstance<FrmSlideMessage>().Unload();
    }
}

// A retry that finds the service again while nobody is logged in waits in the
// login window. Meanwhile the outage is over and the retry off: the clock, which
// runs on under the window, does not open it over itself every thirty seconds.
TEST_F(Login, ARetryWaitingInTheLoginWindowIsOverWhileItWaits) {
    frmLogin().Hide();
    gQXAPI->apiNetworkOutage = true;
    gTimerFunctions->Active_NetworkRetry = true;
    static bool seen = false, retryOn = true, outage = true;
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR id, DWORD) {
        FrmLogin& login = formInstance<FrmLogin>();
        if (!login.Visible()) return;
        KillTimer(nullptr, id);
        seen = true;
        retryOn = gTimerFunctions->Active_NetworkRetry;
        outage = gQXAPI->apiNetworkOutage;
        login.Hide();
    });
    EXPECT_TRUE(gQXAPI->apiNetworkRetry());
    EXPECT_TRUE(seen);
    EXPECT_FALSE(retryOn);
    EXPECT_FALSE(outage);
}

TEST_F(Login, TheWindowOpensWithTheFocusInTheUserNameBox) {
    FrmLogin& login = frmLogin();
    EXPECT_EQ(focus.last(), login.txtUserName.hwnd());
    // Opened again (after a logout, say), wherever the focus was before.
    login.txtPassword.setFocus();
    login.Hide();
    frmMain().Show();
    SetForegroundWindow(frmMain().hwnd());
    login.Show();
    EXPECT_EQ(focus.last(), login.txtUserName.hwnd());
    frmMain().Hide();
}

TEST_F(Login, ThePasswordBoxSelectsItsWholeTextWhenItGetsTheFocus) {
    FrmLogin& login = frmLogin();
    login.txtPassword.setText(L"secret-words");
    login.txtPassword.setFocus();
    login.txtPassword.setSelStart(3);
    login.txtPassword.setSelLength(0);
    login.txtUserName.setFocus();
    login.txtPassword.setFocus();
    EXPECT_EQ(login.txtPassword.SelStart(), 0);
    EXPECT_EQ(login.txtPassword.SelLength(), 12);
}

TEST_F(Login, ALoginSendsTheNameAsTypedAndTheDigestAndHoldsTheInputUntilTheReply) {
    gQXAPI->apiSilent = true;
    type(L"alice", L"tulips2008");
    FrmLogin& login = frmLogin();
    login.cmdLogin.Click();
    EXPECT_FALSE(login.txtUserName.Enabled());
    EXPECT_FALSE(login.txtPassword.Enabled());
    EXPECT_FALSE(login.cmdLogin.Enabled());
    EXPECT_FALSE(gQXAPI->apiSilent);
    EXPECT_EQ(gQXAPI->apiUsername, L"alice");
    EXPECT_EQ(gQXAPI->apiPasswordHash, GetStringMD5(L"tulips2008"));

    ASSERT_TRUE(waitFor([&] { return !apiRequests().empty(); }));
    const QueryPairs query = queryPairsOf(apiRequests()[0]);
    EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"username", "alice"}), query.end());
    EXPECT_NE(std::find(query.begin(), query.end(), QueryPair{"md5password", "968d34696c27a1cc949074e23d9ee0a0"}),
              query.end());
    EXPECT_TRUE(waitFor([] { return frmMain().Enabled(); }));
}

// The box keeps a long name whole, pasted or typed, and the whole name logs in.
TEST_F(Login, ALongNamePastedOrTypedIsKeptWholeAndLogsIn) {
    FrmLogin& login = frmLogin();
    const std::wstring name = kLongName;
    regSaveSetting(kAppName, memberSection(name), L"HideQuickStart", L"1");
    ASSERT_TRUE(OpenClipboard(login.hwnd()));
    EmptyClipboard();
    const HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, (name.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(copy), name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(copy);
    SetClipboardData(CF_UNICODETEXT, copy);
    CloseClipboard();
    type(L"", L"edelweiss1987");
    SendMessageW(login.txtUserName.hwnd(), WM_PASTE, 0, 0);
    EXPECT_EQ(login.txtUserName.Text(), name);
    type(L"", L"edelweiss1987");
    for (wchar_t c : name) SendMessageW(login.txtUserName.hwnd(), WM_CHAR, c, 1);
    ASSERT_EQ(login.txtUserName.Text(), name);

    login.cmdLogin.Click();
    ASSERT_TRUE(waitFor([] { return frmMain().Enabled(); })) << "no login";
    EXPECT_EQ(frmOptions().lblLoggedIn.Caption(), name);
    EXPECT_EQ(saved(kLoginSection, L"SavedUsername"), name);
}

TEST_F(Login, AnAcceptedLoginShowsTheMainWindowSavesTheLoginAndStartsTheSchedule) {
    noMatchingWallpapers = true;
    logInAsTheMemberWould();
    FrmMain& main = frmMain();
    EXPECT_FALSE(frmLogin().Visible());
    EXPECT_TRUE(main.Visible());
    EXPECT_EQ(GetAncestor(focus.last(), GA_ROOT), main.hwnd());
    EXPECT_EQ(frmOptions().lblLoggedIn.Caption(), L"alice");
    const std::wstring site = L"http://" + service.address() + L"/";
    EXPECT_EQ(main.lblFavoriteWhere.Caption(), site + L"alice/favorites/");
    EXPECT_EQ(main.lblUploadedWhere.Caption(), site + L"alice/uploads/");
    EXPECT_FALSE(noMatchingWallpapers);
    EXPECT_EQ(saved(kLoginSection, L"SavedUsername"), L"alice");
    EXPECT_EQ(saved(kLoginSection, L"SavedPassword"), L"968d34696c27a1cc949074e23d9ee0a0");

    // The gallery list is asked for, the lists wait for it, and the schedule runs.
    EXPECT_TRUE(waitFor([&] { return sent("qx.getGalleries"); }));
    EXPECT_TRUE(gTimerFunctions->Active_ChangeWallpaper);
    EXPECT_TRUE(gTimerFunctions->Active_CheckIdle);
    EXPECT_TRUE(errors.empty());
}

// A silent start whose saved login the service refused leaves the icon in the
// tray; the member's own login brings the main window back from there, so the
// icon goes, as when the window is restored from the tray.
TEST_F(Login, ALoginTypedAfterAStartInTheTrayTakesTheTrayIconAway) {
    minimizeToTray(L"alice");
    ASSERT_TRUE(systrayIconShown());
    logInAsTheMemberWould();
    EXPECT_TRUE(frmMain().Visible());
    EXPECT_FALSE(systrayIconShown());
    RemoveSystrayIcon();
}

TEST_F(Login, TheMembersSavedChoicesAreLoaded) {
    saveMember(L"TagName", L"dog*, b*ball");
    saveMember(L"Gallery", L"Anime");
    saveMember(L"Category", L"Ah! My Goddess");
    saveMember(L"ActiveWallpaper", L"1042");
    const std::wstring link = L"http://" + service.address() + L"/wallpaper/1042";
    saveMember(L"ActiveWallpaperLink", link);
    logInAsTheMemberWould();
    EXPECT_EQ(frmMain().txtTagName.Text(), L"dog*, b*ball");
    EXPECT_EQ(selectedGallery, L"Anime");
    EXPECT_EQ(selectedCategory, L"Ah! My Goddess");
    EXPECT_EQ(gQXAPI->apiActiveWallpaper, 1042);
    EXPECT_EQ(gQXAPI->apiActiveWallpaperLink, link);
}

TEST_F(Login, MissingOrStrangeSavedValuesTakeTheirDefaults) {
    selectedGallery = L"left over";
    saveMember(L"ActiveWallpaper", L"abc");
    saveMember(L"ActiveWallpaperLink", L"http://elsewhere.example/wallpaper/7");
    // A damaged tab number must not stop the login half-way.
    saveMember(L"ActiveTab", L"two");
    logInAsTheMemberWould();
    EXPECT_EQ(selectedGallery, L"All Galleries");
    EXPECT_EQ(selectedCategory, L"All Categories");
    EXPECT_EQ(frmMain().txtTagName.Text(), L"");
    EXPECT_EQ(gQXAPI->apiActiveWallpaper, 0);
    EXPECT_EQ(gQXAPI->apiActiveWallpaperLink, L"http://" + service.address() + L"/?source=Vorlane");
    EXPECT_TRUE(waitFor([&] { return sent("qx.getGalleries"); }));
    EXPECT_TRUE(gTimerFunctions->Active_ChangeWallpaper);
    EXPECT_TRUE(errors.empty());
}

// Saved choices that the program never writes (damaged, edited by hand, hostile)
// load as their defaults: each would otherwise stick through every later login.
TEST_F(Login, UnsoundSavedChoicesLoadAsTheirDefaults) {
    logInAsTheMemberWould();
    const std::wstring host = L"127.0.0.1";
    const std::wstring home = L"http://" + service.address() + L"/?source=Vorlane";
    const auto tab = [] { return saved(memberSection(L"alice"), L"ActiveTab"); };
    const auto tag = [] { return frmMain().txtTagName.Text(); };
    const auto gallery = [] { return selectedGallery; };
    const auto category = [] { return selectedCategory; };
    const auto link = [] { return gQXAPI->apiActiveWallpaperLink; };
    const struct {
        const wchar_t* name;
        std::wstring stored;
        std::function<std::wstring()> loaded;
        std::wstring expected;
    } cases[] = {
        {L"ActiveTab", L"5", tab, L"0"},  // no page shown, and so saved again
        {L"ActiveTab", L"-1", tab, L"0"},
        {L"TagName", std::wstring(65536, L'a'), tag, L""},  // a request line no server takes
        {L"TagName", L"dogs\r\ncats", tag, L""},
        {L"Gallery", L"Loading...", gallery, L"All Galleries"},  // asks for the list at every change
        {L"Category", L"Loading...", category, L"All Categories"},
        {L"Gallery", std::wstring(300, L'g'), gallery, L"All Galleries"},
        {L"ActiveWallpaperLink", L"javascript:alert('" + host + L"')", link, home},
        {L"ActiveWallpaperLink", L"file:///C:/" + host + L"/run.exe", link, home},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)) + " = " +
                     testing::PrintToString(c.stored.substr(0, 40)));
        saveMember(c.name, c.stored);
        frmLogin().LoginSuccess();
        const std::wstring loaded = c.loaded();
        EXPECT_TRUE(loaded == c.expected) << testing::PrintToString(loaded.substr(0, 60));
        forgetMember(c.name);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(Login, OnlyFavoritesInThatSpellingSelectsTheFavorites) {
    FrmMain& main = frmMain();
    saveMember(L"UseMembers", L"favorites");
    logInAsTheMemberWould();
    EXPECT_TRUE(main.optMemberUploads.Value());
    EXPECT_FALSE(main.optMemberFavorites.Value());

    saveMember(L"UseMembers", L"Favorites");
    frmLogin().LoginSuccess();
    EXPECT_TRUE(main.optMemberFavorites.Value());
    EXPECT_FALSE(main.optMemberUploads.Value());
}

TEST_F(Login, ASilentLoginLeavesTheMainWindowInTheTrayAndTheSavedLoginAsItWas) {
    regSaveSetting(kAppName, kLoginSection, L"SavedUsername", L"ALICE");
    regSaveSetting(kAppName, kLoginSection, L"SavedPassword", L"digest-as-it-was");
    frmLogin().Hide();
    gQXAPI->apiSilent = true;
    logIn();
    ASSERT_TRUE(waitFor([] { return frmMain().Enabled(); }));
    EXPECT_FALSE(frmMain().Visible());
    EXPECT_EQ(saved(kLoginSection, L"SavedUsername"), L"ALICE");
    EXPECT_EQ(saved(kLoginSection, L"SavedPassword"), L"digest-as-it-was");
    EXPECT_EQ(frmOptions().lblLoggedIn.Caption(), L"alice");
    EXPECT_TRUE(gTimerFunctions->Active_ChangeWallpaper);
}

TEST_F(Login, AFrozenWallpaperKeepsTheScheduleOff) {
    // The member's saved option, and the box as the options hold it.
    saveMember(L"Freeze", L"1");
    frmOptions().chkFreeze.setValue(CheckBox::vbChecked);
    gTimerFunctions->Active_ChangeWallpaper = true;
    gTimerFunctions->Active_CheckIdle = true;
    logInAsTheMemberWould();
    EXPECT_TRUE(waitFor([&] { return sent("qx.getGalleries"); }));
    EXPECT_FALSE(gTimerFunctions->Active_ChangeWallpaper);
    EXPECT_FALSE(gTimerFunctions->Active_CheckIdle);
}

// ---- the first-run help, which the login shows modally

namespace {

// What the test saw while the help window was open, from inside its modal loop.
struct WhileHelpOpen {
    bool seen = false;
    bool helpVisible = false;
    bool scheduleOff = false;
    bool galleriesAsked = false;
    RECT help{};
    RECT main{};
    bool mainVisible = false;
    int tickBox = CheckBox::vbChecked;
    std::function<bool()> galleriesSent;
};
WhileHelpOpen* whileHelpOpen = nullptr;

void CALLBACK lookAtTheHelp(HWND, UINT, UINT_PTR timer, DWORD) {
    FrmQuickStart& help = formInstance<FrmQuickStart>();
    if (!whileHelpOpen || whileHelpOpen->seen || !help.Visible()) return;
    KillTimer(nullptr, timer);
    WhileHelpOpen& seen = *whileHelpOpen;
    seen.seen = true;
    seen.helpVisible = true;
    seen.scheduleOff = !gTimerFunctions->Active_ChangeWallpaper && !gTimerFunctions->Active_CheckIdle;
    seen.galleriesAsked = seen.galleriesSent();
    seen.help = help.screenRect();
    seen.main = frmMain().screenRect();
    seen.mainVisible = frmMain().Visible();
    help.chkDontShowAgain.setValue(seen.tickBox);
    help.picClose.Click();
}

bool centredOver(const RECT& inner, const RECT& outer) {
    return std::abs((inner.left + inner.right) - (outer.left + outer.right)) <= 2 &&
           std::abs((inner.top + inner.bottom) - (outer.top + outer.bottom)) <= 2;
}

}  // namespace

TEST_F(Login, TheFirstRunHelpComesBeforeTheGalleriesAndTheScheduleAndKeepsComingWhenUnticked) {
    forgetMember(L"HideQuickStart");  // never closed before
    WhileHelpOpen seen;
    seen.tickBox = CheckBox::vbUnchecked;
    seen.galleriesSent = [&] { return sent("qx.getGalleries"); };
    whileHelpOpen = &seen;
    SetTimer(nullptr, 0, 50, lookAtTheHelp);

    type(L"alice", L"tulips2008");
    frmLogin().cmdLogin.Click();
    ASSERT_TRUE(waitFor([] { return gTimerFunctions->Active_ChangeWallpaper; }));
    whileHelpOpen = nullptr;

    ASSERT_TRUE(seen.seen) << "the first-run help did not open";
    EXPECT_TRUE(seen.scheduleOff);
    EXPECT_FALSE(seen.galleriesAsked);
    EXPECT_TRUE(seen.mainVisible);
    EXPECT_TRUE(centredOver(seen.help, seen.main));
    EXPECT_FALSE(formInstance<FrmQuickStart>().isLoaded());
    EXPECT_EQ(saved(memberSection(L"alice"), L"HideQuickStart"), L"0");
    EXPECT_TRUE(gTimerFunctions->Active_CheckIdle);
    EXPECT_TRUE(waitFor([&] { return sent("qx.getGalleries"); }));
    EXPECT_TRUE(frmMain().Enabled());
}

TEST_F(Login, AfterASilentLoginTheHelpOpensInTheMiddleOfTheScreenAndTickedItStaysAway) {
    saveMember(L"HideQuickStart", L"0");
    WhileHelpOpen seen;
    seen.galleriesSent = [] { return false; };
    whileHelpOpen = &seen;
    SetTimer(nullptr, 0, 50, lookAtTheHelp);

    frmLogin().Hide();
    gQXAPI->apiSilent = true;
    logIn();
    ASSERT_TRUE(waitFor([] { return gTimerFunctions->Active_ChangeWallpaper; }));
    whileHelpOpen = nullptr;

    ASSERT_TRUE(seen.seen);
    EXPECT_FALSE(seen.mainVisible);
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EXPECT_TRUE(centredOver(seen.help, screen));
    EXPECT_EQ(saved(memberSection(L"alice"), L"HideQuickStart"), L"1");

    // The next login goes straight on.
    gTimerFunctions->Active_ChangeWallpaper = false;
    frmLogin().LoginSuccess();
    EXPECT_TRUE(gTimerFunctions->Active_ChangeWallpaper);
}

TEST(FirstRunHelp, ComingBackFromAnotherOfOurWindowsCentresItOnlyWhileTheMainWindowIsAway) {
    FrmQuickStart& help = frmQuickStart();
    FrmOptions& other = frmOptions();
    frmMain().Hide();
    help.Show();
    other.Show();
    const auto backToTheHelp = [&](int left, int top) {
        help.moveTo(left, top);
        SetActiveWindow(other.hwnd());
        SetActiveWindow(help.hwnd());
    };
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};

    backToTheHelp(5, 7);
    EXPECT_TRUE(centredOver(help.screenRect(), screen));

    frmMain().Show();
    backToTheHelp(5, 7);
    EXPECT_EQ(help.screenRect().left, 5);
    EXPECT_EQ(help.screenRect().top, 7);
}
