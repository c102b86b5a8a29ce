// The main window: start-up, exit, save and minimize, and its controls.
#include "ui/frmMain.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <utility>

#include "core/CTimerFunctions.h"
#include "core/Convert.h"
#include "core/Globals.h"
#include "core/Handles.h"
#include "core/RuntimeError.h"
#include "core/ServiceHosts.h"
#include "core/Trap.h"
#include "core/modMisc.h"
#include "core/modRegistry.h"
#include "core/modShell.h"
#include "core/modSysTray.h"
#include "ui/frmDownloading.h"
#include "ui/frmLogin.h"
#include "ui/frmOptions.h"
#include "ui/frmPopupMenu.h"
#include "ui/frmQuickStart.h"
#include "ui/frmSlideMessage.h"
#include "ui/modMiscTray.h"
#include "webclient/CQXAPI.h"

namespace vorlane::ui {

namespace {

constexpr int kWidth = 520;
constexpr int kHeight = 500;
constexpr DesignRect kPage{24, 178, 472, 234};
constexpr int kCorner = 8;
constexpr DesignRect kTipImage{16, 138, 24, 26};
constexpr DesignRect kTipText{50, 136, 408, 92};

constexpr const wchar_t* kMemberInstructions =
    L"Vorlane can rotate between your favorite wallpapers or your uploaded wallpapers on Quorvex.  Which would you "
    L"like to use?";
constexpr const wchar_t* kMemberTip =
    L"The most common (and recommended) setting is to choose your own favorite wallpapers.  Then simply go to "
    L"Quorvex, login, and when you find a wallpaper you like, add it to your favorites.  From then on, it'll be in "
    L"the pool of possible wallpapers for Vorlane to use.";
constexpr const wchar_t* kTagInstructions =
    L"Tags are a feature on Quorvex that is used to connect similar wallpapers together.  If you find one or more "
    L"tags that interest you, enter them below seperated by commas and Vorlane will rotate between backgrounds "
    L"marked with those tags.";
constexpr const wchar_t* kTagTip =
    L"If you're not seeing very many wallpapers in the rotation, try adding in a wildcard (*).  Foe example, dog* "
    L"will match dog, dogs, dog food, and anything else beginning with \"dog\".  B*ball will match both basketball "
    L"and baseball.  An asterick means \"any one or more characters here\".";
constexpr const wchar_t* kCategoryInstructions =
    L"All wallpapers on Quorvex are divided into galleries (broad) and categories (specific).  If you would like "
    L"Vorlane to choose wallpapers from an entire gallery or category, choose it below.";
constexpr const wchar_t* kCategoryTip =
    L"Selecting both the \"All Galleries\" and \"All Categories\" options will rotate through every wallpaper on the "
    L"entire Quorvex website.  Selecting a gallery and the \"All Categories\" option for a category will rotate "
    L"between all wallpapers within that gallery.";

constexpr std::array<Art, 3> kTabArt{Art::TabMembers, Art::TabTags, Art::TabCategory};
constexpr std::array<Art, 3> kTabActiveArt{Art::TabMembersActive, Art::TabTagsActive, Art::TabCategoryActive};

// Set by startVorlane for the one load that is the program's start.
bool programStarting = false;

// Held while this copy runs; its name tells a later copy that one runs. The
// name follows the settings key, so a copy with settings of its own (a test, a
// demonstration) is a program of its own.
KernelHandle instanceMutex;

bool anotherCopyRuns() {
    std::wstring name = settingsApp(kAppName) + L".Instance";
    std::replace(name.begin(), name.end(), L'\\', L'/');  // no backslash in a kernel object's own name
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
    const bool taken = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
    instanceMutex.reset(mutex);
    return taken;
}

std::wstring applicationDataFolder(HWND owner) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(owner, CSIDL_APPDATA, nullptr, 0, path))) return {};
    return path;  // the text before the first NUL
}

void openPage(const std::wstring& address) { shellExecuteFile(address, L"Open", L"", L"", SW_SHOWNORMAL); }

bool isPasswordDigest(const std::wstring& text) {
    return text.size() == 32 && std::all_of(text.begin(), text.end(), [](wchar_t c) {
               return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
           });
}

// In small letters, as the login window writes it: the service compares the
// digest's text, and one saved in capitals (edited by hand) is the same digest.
std::wstring digestAsWritten(std::wstring digest) {
    for (wchar_t& c : digest)
        if (c >= L'A' && c <= L'F') c = static_cast<wchar_t>(c - L'A' + L'a');
    return digest;
}

// A saved login is used only in the form a login through the window saves it:
// a name the window takes and a password digest. Any other (damaged, edited by
// hand) would name the member's settings section and go out in the request.
bool isSoundSavedLogin(const std::wstring& username, const std::wstring& digest) {
    const bool namesSection = !username.empty() && username.size() <= longestMemberName();
    return namesSection && isValidUsername(username) && isPasswordDigest(digest);
}

// Tests of the message dispatch's trap have a handler of the running program
// fail on request, with the message's wParam as the error number. Only with
// VORLANE_TEST_RAISE set, which no installation sets; otherwise no message is it.
UINT raiseForTestMessage() {
    static const UINT message = GetEnvironmentVariableW(L"VORLANE_TEST_RAISE", nullptr, 0) > 0
                                    ? RegisterWindowMessageW(L"Vorlane.RaiseForTest")
                                    : 0;
    return message;
}

// Set to "start", the start-up itself fails at its end, for the tests of its trap.
bool startFailsForTest() {
    wchar_t value[8] = {};
    const DWORD length = GetEnvironmentVariableW(L"VORLANE_TEST_RAISE", value, ARRAYSIZE(value));
    return length > 0 && length < ARRAYSIZE(value) && std::wstring(value) == L"start";
}

// Longer than any notice stays up; the program does not wait on a stuck one.
constexpr DWORD kFailedStartNoticeLimitMs = 30'000;

// A start-up that failed leaves a program in no known state: the member reads
// the report, then the program ends as an exit does, its tray icon gone, so
// that neither a hidden copy nor a stale icon is left and a new start works.
// Only the report's own messages run meanwhile: nothing else of the program
// (a login reply, the clock) may act on the half-made state.
void endFailedStart() {
    RemoveSystrayIcon();
    const HWND report = formInstance<FrmSlideMessage>().hwnd();
    const DWORD start = GetTickCount();
    while (report && IsWindow(report) && GetTickCount() - start < kFailedStartNoticeLimitMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (IsWindow(report) && PeekMessageW(&message, report, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    formInstance<FrmMain>().exitVorlane(true);
}

}  // namespace

void startVorlane() {
    const bool started = runTrapped(L"startVorlane", L"frmMain", [] {
        programStarting = true;
        frmMain();
        if (startFailsForTest()) raiseError(errnum::InternalError);
    });
    programStarting = false;
    if (!started) endFailedStart();
}

std::wstring memberPageAddress(const std::wstring& username, const wchar_t* page) {
    return serviceHosts().members.root() + username + L"/" + page + L"/";
}

std::wstring makeDataFolder(const std::wstring& appDataFolder) {
    if (appDataFolder.empty()) return {};
    const std::wstring folder = appDataFolder + L"\\Vorlane\\";
    if (!dirExists(folder) && !CreateDirectoryW(folder.c_str(), nullptr)) return {};
    return dirExists(folder) ? folder : std::wstring();
}

FrmMain::FrmMain() : FramedForm(L"frmMain", L"Vorlane - Desktop Wallpaper Manager", kWidth, kHeight) {}

FrmMain& frmMain() { return loadedForm<FrmMain>(); }

void FrmMain::createControls() {
    setPicture(Art::MainBackground);
    createFrame(L"Vorlane Wallpaper Manager");

    picMainTopMascot.create(*this, {16, 40, 60, 60}, Art::Mascot);
    picMainTopMascot.setMousePointer(MousePointer::Custom);
    lblChoose.create(*this, {90, 52, 414, 40}, L"What source should Vorlane use for its wallpaper content?",
                     FontRole::Heading);

    imgSourceBgTL.create(*this, {12, 108, kCorner, kCorner}, Art::SourceCornerTopLeft);
    imgSourceBgTR.create(*this, {500, 108, kCorner, kCorner}, Art::SourceCornerTopRight);
    imgSourceBgBL.create(*this, {12, 416, kCorner, kCorner}, Art::SourceCornerBottomLeft);
    imgSourceBgBR.create(*this, {500, 416, kCorner, kCorner}, Art::SourceCornerBottomRight);

    for (int i = 0; i < 3; ++i) {
        const DesignRect tab{24 + i * 160, 120, 152, 48};
        picSourceTabs[i].create(*this, tab, kTabArt[i]);
        picSourceTabs[i].Tag = L"U";
        picSourceTabs[i].setMousePointer(MousePointer::Custom);
        picSourceTabsAlt[i].create(*this, tab, kTabActiveArt[i]);
        picSourceTabsAlt[i].setVisible(false);
    }
    picBuff.create(*this, {0, 0, 152, 48}, Art::None);
    picBuff.setVisible(false);

    createMemberPage();
    createTagPage();
    createCategoryPage();
    frmSourceTabs[1].setVisible(false);
    frmSourceTabs[2].setVisible(false);

    picSave.create(*this, {16, 450, 180, 36}, Art::ButtonSaveMinimize);
    picOptions.create(*this, {302, 450, 100, 36}, Art::ButtonOptions);
    picExit.create(*this, {412, 450, 92, 36}, Art::ButtonExit);
    for (PictureBox* button : {&picSave, &picOptions, &picExit}) button->setMousePointer(MousePointer::Custom);
    // Below the visible area: only the Return key reaches it.
    cmdSaveMin.create(*this, {16, kHeight + 20, 180, 24}, L"Default (Return) Save and Minimize", true);
    wireMainHandlers();

    tmrMain.create(*this, 1000, true);
    tmrMain.Tick = [this] { tmrMain_Timer(); };
    wireSourceHandlers();
}

void FrmMain::wireMainHandlers() {
    picCloseX.Click = [this] { picCloseX_Click(); };
    picMainTopMascot.Click = [this] { picMainTopMascot_Click(); };
    lblFavoriteWhere.Click = [this] { lblFavoriteWhere_Click(); };
    lblUploadedWhere.Click = [this] { lblUploadedWhere_Click(); };
    picSave.Click = [this] { picSave_Click(); };
    cmdSaveMin.Click = [this] { cmdSaveMin_Click(); };
    picOptions.Click = [this] { picOptions_Click(); };
    picExit.Click = [this] { picExit_Click(); };
}

// ---- start-up

void FrmMain::Form_Load() {
    if (!std::exchange(programStarting, false)) return;
    // A second copy ends at once, without a word.
    if (anotherCopyRuns()) ExitProcess(0);

    gQXAPI = std::make_unique<CQXAPI>();
    frmLogin();
    frmOptions();
    frmPopupMenu();
    screenAspectRatio = numberText(getScreenAspectRatio());
    userIsIdle = false;
    gTimerFunctions = std::make_unique<CTimerFunctions>();
    gTimerFunctions->TimerInit();
    makeDataFolderOrEnd();
    dragging = false;

    const std::wstring username = regGetSetting(kAppName, kLoginSection, L"SavedUsername", L"");
    const std::wstring digest = regGetSetting(kAppName, kLoginSection, L"SavedPassword", L"");
    if (isSoundSavedLogin(username, digest)) {
        gQXAPI->apiUsername = username;
        gQXAPI->apiPasswordHash = digestAsWritten(digest);
        // Silent start: in the tray, logging in with the saved login.
        minimizeToTray(gQXAPI->apiUsername);
        setEnabled(false);
        gQXAPI->apiSilent = true;
        gQXAPI->APILogin();
        return;
    }
    Hide();
    setEnabled(false);
    frmLogin().ShowModal(this);
}

void FrmMain::makeDataFolderOrEnd() {
    dataFolder = makeDataFolder(applicationDataFolder(hwnd()));
    if (!dataFolder.empty()) return;
    MessageBoxW(hwnd(),
                (L"A critical error occurred trying to setup the Vorlane temporary data folder!\r\n\r\nIf this "
                 L"continues to happen, try reinstalling Vorlane from: \r\n" +
                 programPageAddress() + L"\r\n\r\nOr contact us:\r\n" + contactPageAddress())
                    .c_str(),
                L"Fatal Permissions Error", MB_OK | MB_ICONSTOP);
    exitVorlane(true);
}

// ---- the window's own handlers

void FrmMain::Form_Unload(int16_t& Cancel) {
    if (Visible()) ShowWindow(hwnd(), SW_MINIMIZE);
    Cancel = 1;
}

LRESULT FrmMain::formMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    handled = false;
    if (message != 0 && message == raiseForTestMessage()) raiseError(static_cast<int32_t>(wParam));
    return 0;
}

void FrmMain::closeRequested() {
    int16_t cancel = 0;
    Form_Unload(cancel);
    if (cancel == 0) Unload();
}

void FrmMain::picSave_Click() {
    if (activeSourceTab == 1 && !validateTagName()) return;
    minimizeToTray(gQXAPI->apiUsername);
    if (frmOptions().chkFreeze.Value() == CheckBox::vbUnchecked) {
        gQXAPI->apiForced = true;
        gQXAPI->RotateWallpaper();
    }
}

void FrmMain::cmdSaveMin_Click() { picSave_Click(); }

void FrmMain::picCloseX_Click() { picSave_Click(); }

void FrmMain::picExit_Click() { exitVorlane(false); }

void FrmMain::picOptions_Click() {
    Hide();
    FrmOptions& options = frmOptions();
    options.Show();
    SetForegroundWindow(options.hwnd());
}

void FrmMain::lblFavoriteWhere_Click() {
    openPage(withSourceQuery(memberPageAddress(gQXAPI->apiUsername, L"favorites")));
}

void FrmMain::lblUploadedWhere_Click() {
    openPage(withSourceQuery(memberPageAddress(gQXAPI->apiUsername, L"uploads")));
}

void FrmMain::picMainTopMascot_Click() { openPage(homePageAddress()); }

void FrmMain::tmrMain_Timer() {
    if (gTimerFunctions) gTimerFunctions->TimerTick();
}

void FrmMain::unMinimize() {
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    setLeft(screenWidth() / 2 - Width() / 2);
    setTop(screenHeight() / 2 - Height() / 2);
    SetForegroundWindow(hwnd());
    SetFocus(hwnd());
    RemoveSystrayIcon();
}

HWND windowInFront() {
    // The download progress window comes up over whatever else is open.
    for (Form* form : {static_cast<Form*>(&formInstance<FrmDownloading>()),
                       static_cast<Form*>(&formInstance<FrmQuickStart>()), static_cast<Form*>(&formInstance<FrmLogin>()),
                       static_cast<Form*>(&formInstance<FrmOptions>())})
        if (form->Visible()) return form->hwnd();
    return formInstance<FrmMain>().hwnd();
}

bool FrmMain::confirmExit() {
    // Exit in the tray menu stays available while the question is up: asking
    // again brings that question forward instead of stacking another.
    if (exitAskedFrom_) {
        SetForegroundWindow(GetLastActivePopup(exitAskedFrom_));
        return false;
    }
    // What stays usable under the question would let the member act on a
    // program that is about to end.
    exitAskedFrom_ = windowInFront();
    const int answer = MessageBoxW(exitAskedFrom_,
                                   L"Are you sure you want to completely shut down Vorlane?\r\n\r\nYour wallpaper "
                                   L"will remain exactly as it looks now and will not be automatically updated with "
                                   L"new images.",
                                   L"Confirm Exit", MB_YESNO | MB_ICONQUESTION);
    exitAskedFrom_ = nullptr;
    return answer == IDYES;
}

void FrmMain::exitVorlane(bool Silent) {
    if (!Silent && !confirmExit()) return;
    if (gQXAPI) {
        gQXAPI->APICloseSock();
        gQXAPI->removeUpdateFiles();  // an update left unfinished is fetched whole next time
    }
    RemoveSystrayIcon();
    // At once: no window's unload handling and no further event.
    ExitProcess(0);
}

void FrmMain::createPageFrame(Frame& page, Image& fill, Image& topLeft, Image& topRight, Image& bottomLeft,
                              Image& bottomRight) {
    page.create(*this, kPage, colors::kPanel);
    fill.create(page, {0, 0, kPage.width, kPage.height}, Art::PanelFill);
    topLeft.create(page, {0, 0, kCorner, kCorner}, Art::CornerTopLeft);
    topRight.create(page, {kPage.width - kCorner, 0, kCorner, kCorner}, Art::CornerTopRight);
    bottomLeft.create(page, {0, kPage.height - kCorner, kCorner, kCorner}, Art::CornerBottomLeft);
    bottomRight.create(page, {kPage.width - kCorner, kPage.height - kCorner, kCorner, kCorner}, Art::CornerBottomRight);
}

void FrmMain::createMemberPage() {
    Frame& page = frmSourceTabs[0];
    createPageFrame(page, imgMemberBg, imgMemberBgTL, imgMemberBgTR, imgMemberBgBL, imgMemberBgBR);
    lblMemberTabInstructions.create(page, {16, 10, 440, 36}, kMemberInstructions);
    // Each address has a line of its own under its option; one too long for
    // it (a long user name) is cut in the middle, its page's name kept in view.
    optMemberFavorites.create(page, {28, 48, 170, 20}, L"Favorite Wallpapers", true);
    lblFavoriteWhere.create(page, {46, 68, 410, 30}, L"", FontRole::Link, colors::kLink);
    optMemberUploads.create(page, {28, 100, 170, 20}, L"Uploaded Wallpapers", false);
    lblUploadedWhere.create(page, {46, 120, 410, 30}, L"", FontRole::Link, colors::kLink);
    lblFavoriteWhere.setEllipsis(Ellipsis::Path);
    lblUploadedWhere.setEllipsis(Ellipsis::Path);
    lblFavoriteWhere.setMousePointer(MousePointer::Custom);
    lblUploadedWhere.setMousePointer(MousePointer::Custom);
    imgMemberTabQuickTip.create(page, {16, 158, 24, 26}, Art::QuickTip);
    lblMemberTabQuickTip.create(page, {50, 156, 408, 74}, kMemberTip, FontRole::Body, colors::kMutedText);
}

void FrmMain::createTagPage() {
    Frame& page = frmSourceTabs[1];
    createPageFrame(page, imgTagBg, imgTagBgTL, imgTagBgTR, imgTagBgBL, imgTagBgBR);
    lblTagTabInstructions.create(page, {16, 12, 440, 62}, kTagInstructions);
    lblEnterTag.create(page, {28, 84, 70, 16}, L"Tag Name:", FontRole::Bold);
    txtTagName.create(page, {104, 80, 340, 22}, L"");
    lblTagExamples.create(page, {104, 106, 340, 16}, L"Examples: Love, Yankees, Golden Retriever, etc.",
                          FontRole::Small, colors::kMutedText);
    imgTagQuickTip.create(page, kTipImage, Art::QuickTip);
    lblTagTabQuickTip.create(page, kTipText, kTagTip, FontRole::Body, colors::kMutedText);
}

void FrmMain::createCategoryPage() {
    Frame& page = frmSourceTabs[2];
    createPageFrame(page, imgCategoryBg, imgCategoryBgTL, imgCategoryBgTR, imgCategoryBgBL, imgCategoryBgBR);
    lblCategoryTabInstructions.create(page, {16, 12, 440, 48}, kCategoryInstructions);
    lblGallery.create(page, {28, 70, 70, 16}, L"Gallery:", FontRole::Bold);
    cboGallery.create(page, {104, 66, 250, 22}, L"Loading...");
    lblCategory.create(page, {28, 100, 70, 16}, L"Category:", FontRole::Bold);
    cboCategory.create(page, {104, 96, 250, 22}, L"Loading...");
    imgCategoryQuickTip.create(page, kTipImage, Art::QuickTip);
    lblCategoryTabQuickTip.create(page, kTipText, kCategoryTip, FontRole::Body, colors::kMutedText);
}

}  // namespace vorlane::ui
