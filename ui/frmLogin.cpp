// The login window: its controls, the checks before a login and what a successful login does.
#include "ui/frmLogin.h"

#include "core/CTimerFunctions.h"
#include "core/Convert.h"
#include "core/Globals.h"
#include "core/RuntimeError.h"
#include "core/ServiceHosts.h"
#include "core/modMisc.h"
#include "core/modRegistry.h"
#include "core/modShell.h"
#include "core/modSysTray.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmQuickStart.h"
#include "ui/modGlobals.h"
#include "webclient/CQXAPI.h"
#include "webclient/modMD5.h"

namespace vorlane::ui {

namespace {

constexpr int kWidth = 394;
constexpr int kHeight = 352;
constexpr const wchar_t* kForgotTitle = L"Oops! You forgot something...";

// A whole number kept in the settings. A damaged value (not a number, or out of
// range) reads as 0 rather than stopping every later login half-way.
template <class Int>
Int storedNumber(const std::wstring& text) {
    if (!isNumeric(text)) return 0;
    try {
        if constexpr (sizeof(Int) == sizeof(int16_t))
            return toInt16(text);
        else
            return toInt32(text);
    } catch (const RuntimeError&) {
        return 0;
    }
}

// The tab pages are 0 to 2; another number would show none of them.
int16_t storedTab(const std::wstring& text) {
    const int16_t tab = storedNumber<int16_t>(text);
    return tab >= 0 && tab <= 2 ? tab : 0;
}

}  // namespace

// Its title is for the taskbar: a button of its own although the hidden main
// window owns it.
FrmLogin::FrmLogin() : FramedForm(L"frmLogin", L"Vorlane Login", kWidth, kHeight, FormStyle{.appWindow = true}) {}

FrmLogin& frmLogin() { return loadedForm<FrmLogin>(); }

void FrmLogin::createControls() {
    imgLoginBg.create(*this, {0, 0, kWidth, kHeight}, Art::LoginBackground);
    createFrame(L"Vorlane Account Login");

    lblLoginInstructions.create(*this, {24, 48, 346, 44},
                                L"To begin, please login with your Quorvex account.  This will allow Vorlane to "
                                L"personalize your experience.");
    lblLabels[0].create(*this, {40, 112, 80, 16}, L"Username:", FontRole::Bold);
    txtUserName.create(*this, {124, 108, 226, 22}, L"");
    lblLabels[1].create(*this, {40, 146, 80, 16}, L"Password:", FontRole::Bold);
    txtPassword.create(*this, {124, 142, 226, 22}, L"", L'*');
    picLoginSubmit.create(*this, {250, 180, 100, 34}, Art::ButtonLogin);
    picLoginSubmit.setMousePointer(MousePointer::Custom);
    // Below the visible area: only the Return key reaches it.
    cmdLogin.create(*this, {250, kHeight + 20, 100, 24}, L"Login", true);

    lblLoginInstructionsTwo.create(*this, {24, 262, 160, 48}, L"Register in seconds! It's quick and easy! ",
                                   FontRole::Bold);
    imgVerticalLine.create(*this, {196, 246, 4, 90}, Art::DividerLine);
    picNewAccount.create(*this, {216, 266, 150, 36}, Art::ButtonSignUp);
    picNewAccount.setMousePointer(MousePointer::Custom);

    picCloseX.Click = [this] { picCloseX_Click(); };
    picLoginSubmit.Click = [this] { picLoginSubmit_Click(); };
    cmdLogin.Click = [this] { cmdLogin_Click(); };
    txtPassword.GotFocus = [this] { txtPassword_GotFocus(); };
    picNewAccount.Click = [this] { picNewAccount_Click(); };
}

}  // namespace vorlane::ui

namespace vorlane::ui {

void FrmLogin::EnableLogin() {
    txtUserName.setEnabled(true);
    txtPassword.setEnabled(true);
    cmdLogin.setEnabled(true);
}

void FrmLogin::DisableLogin() {
    txtUserName.setEnabled(false);
    txtPassword.setEnabled(false);
    cmdLogin.setEnabled(false);
}

void FrmLogin::readyForAnotherLogin() {
    if (gQXAPI) gQXAPI->apiSilent = false;
    if (!Visible()) Show();
    EnableLogin();
}

void FrmLogin::cmdLogin_Click() {
    // One login at a time: a second click on the login picture (a double click)
    // would send it again and have its answer told twice.
    if (!cmdLogin.Enabled()) return;
    const std::wstring username = txtUserName.Text();
    const std::wstring password = txtPassword.Text();
    if (username.empty()) {
        MessageBoxW(hwnd(), L"Please enter your username.", kForgotTitle, MB_OK | MB_ICONEXCLAMATION);
        txtUserName.setFocus();
        return;
    }
    if (password.empty()) {
        MessageBoxW(hwnd(), L"Please enter your password.", kForgotTitle, MB_OK | MB_ICONEXCLAMATION);
        txtPassword.setFocus();
        return;
    }
    if (!isValidUsername(username)) {
        MessageBoxW(hwnd(),
                    L"The username can only consist of letters, numbers, periods, dashes, and underscores.\r\n"
                    L"Please check your typing and try again.",
                    L"Invalid Username", MB_OK | MB_ICONINFORMATION);
        txtUserName.setFocus();
        return;
    }
    // The name names the member's settings section: one it cannot name would
    // keep none of the member's choices.
    if (username.size() > longestMemberName()) {
        MessageBoxW(hwnd(),
                    (L"The username is too long: Vorlane can keep the settings of a username of up to " +
                     std::to_wstring(longestMemberName()) + L" characters.\r\nPlease check your typing and try again.")
                        .c_str(),
                    L"Username Too Long", MB_OK | MB_ICONINFORMATION);
        txtUserName.setFocus();
        return;
    }
    DisableLogin();
    gQXAPI->apiSilent = false;
    gQXAPI->apiUsername = username;
    gQXAPI->apiPasswordHash = GetStringMD5(password);
    // A login that did not go out gets no answer to make the window ready
    // again (a failed connection has told the member already).
    if (!gQXAPI->APILogin()) EnableLogin();
}

void FrmLogin::picLoginSubmit_Click() { cmdLogin_Click(); }

void FrmLogin::txtPassword_GotFocus() {
    txtPassword.setSelStart(0);
    txtPassword.setSelLength(static_cast<int>(txtPassword.Text().size()));
}

void FrmLogin::picNewAccount_Click() {
    shellExecuteFile(signUpPageAddress(), L"Open", L"", L"", SW_SHOWNORMAL);
}

void FrmLogin::picCloseX_Click() { frmMain().exitVorlane(false); }

void FrmLogin::Form_Unload() {
    gQXAPI->APICloseSock();
    // At once: nothing else is cleaned up but the tray icon, which would stay
    // behind dead when the login came up over a program in the tray.
    RemoveSystrayIcon();
    ExitProcess(0);
}

// Runs inside the handling of the login reply; a failure on the way ends it there
// and reaches that handler's report.
void FrmLogin::LoginSuccess() {
    CQXAPI& api = *gQXAPI;
    FrmMain& main = frmMain();
    Hide();
    main.setEnabled(true);
    if (!api.apiSilent) {
        main.Show();
        SetFocus(main.hwnd());
        // Back from the tray, if the program started there: the icon goes, as
        // when the window is restored, and the tray menu cannot bring the
        // window up again behind a later logout.
        RemoveSystrayIcon();
    }
    frmOptions().lblLoggedIn.setCaption(api.apiUsername);
    const ServiceHosts hosts = serviceHosts();
    main.lblFavoriteWhere.setCaption(memberPageAddress(api.apiUsername, L"favorites"));
    main.lblUploadedWhere.setCaption(memberPageAddress(api.apiUsername, L"uploads"));
    noMatchingWallpapers = false;
    if (!api.apiSilent) {
        regSaveSetting(kAppName, kLoginSection, L"SavedUsername", api.apiUsername);
        regSaveSetting(kAppName, kLoginSection, L"SavedPassword", api.apiPasswordHash);
    }

    // Each read names the section afresh: the member who just logged in.
    const auto saved = [&api](const wchar_t* name, const wchar_t* fallback) {
        return regGetSetting(kAppName, memberSection(api.apiUsername), name, fallback);
    };
    toggleSourceTabs(storedTab(saved(L"ActiveTab", L"0")));
    if (saved(L"UseMembers", L"Favorites") == L"Favorites") {
        main.optMemberUploads.setValue(false);
        main.optMemberFavorites.setValue(true);
    } else {
        main.optMemberFavorites.setValue(false);
        main.optMemberUploads.setValue(true);
    }
    main.txtTagName.setText(storedTag(saved(L"TagName", L"")));
    selectedGallery = storedListChoice(saved(L"Gallery", L"All Galleries"), L"All Galleries");
    selectedCategory = storedListChoice(saved(L"Category", L"All Categories"), L"All Categories");
    api.apiActiveWallpaper = storedNumber<int32_t>(saved(L"ActiveWallpaper", L"0"));
    // The shell opens it: only a web page of the service, never a program, file or script.
    api.apiActiveWallpaperLink = saved(L"ActiveWallpaperLink", L"");
    if (!isServicePage(api.apiActiveWallpaperLink, hosts)) api.apiActiveWallpaperLink = homePageAddress();
    frmOptions().loadOptions();
    if (saved(L"HideQuickStart", L"0") == L"0") frmQuickStart().ShowModal(&main);

    requestGalleries();
    if (frmOptions().chkFreeze.Value() != CheckBox::vbUnchecked) {
        gTimerFunctions->Active_CheckIdle = false;
        gTimerFunctions->Active_ChangeWallpaper = false;
    } else {
        // Switching a task on starts its count from the current second.
        gTimerFunctions->Active_CheckIdle = true;
        gTimerFunctions->Active_ChangeWallpaper = true;
    }
}

}  // namespace vorlane::ui
