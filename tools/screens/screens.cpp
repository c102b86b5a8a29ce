// Shows every window of the program filled with what the program itself puts
// there at its longest (a long user name, the countdown of the longest
// interval, the longest notices and error report, the tooltip of the longest
// name) and saves a picture of each as a PNG file, so the windows can be
// looked at without Windows. A label too small for its text is named on the
// output and fails the run, unless it is one that ellipsizes, shows the
// ellipsis and holds the whole text in its tooltip.
// Usage: screens OUTPUT_FOLDER [NAME_SUFFIX]
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <string>

#include "core/CTimerFunctions.h"
#include "core/Globals.h"
#include "core/MessageLoop.h"
#include "core/RuntimeError.h"
#include "core/ServiceHosts.h"
#include "core/modRegistry.h"
#include "core/modSysTray.h"
#include "socket/SocketErrorNumbers.h"
#include "tools/screens/ScreenPng.h"
#include "ui/frmDownloading.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmPopupMenu.h"
#include "ui/frmQuickStart.h"
#include "ui/frmSlideMessage.h"
#include "ui/modMiscTray.h"
#include "update/InputBox.h"
#include "update/frmMain.h"
#include "webclient/CQXAPI.h"
#include "webclient/modXML.h"

using namespace vorlane;
using namespace vorlane::ui;

namespace {

std::wstring outputFolder;
std::wstring suffix;
int failures = 0;

// Lets the windows paint: a few rounds of their messages.
void pumpMessages() {
    for (int round = 0; round < 20; ++round) {
        doEvents();
        Sleep(15);
    }
}

// A long user name, as a member may have one.
std::wstring longestUsername() { return L"Maximilian.Alexander_von-Hohenberg-Wittelsbach-Photography-1987"; }

// Names every label of the window whose text it cannot show whole, but for
// one cut with an ellipsis that holds the whole text in its tooltip.
void checkLabels(const Form& form) {
    for (const Control* control : form.controls()) {
        const auto* label = dynamic_cast<const Label*>(control);
        if (!label || !label->Visible()) continue;
        const std::wstring shown = label->shownText(form.dpi());
        const bool ellipsized = shown != label->Caption() && shown.find(L"...") != std::wstring::npos &&
                                label->toolTipText() == label->Caption();
        const SIZE size = label->textSize(ellipsized ? shown : label->Caption(), form.dpi());
        const RECT box = label->deviceRect();
        if (size.cx <= box.right - box.left && size.cy <= box.bottom - box.top) {
            if (ellipsized) std::wprintf(L"ellipsized in %ls: \"%ls\"\n", form.moduleName(), shown.c_str());
            continue;
        }
        ++failures;
        std::wprintf(L"CUT in %ls: \"%ls\" takes %ldx%ld of %ldx%ld\n", form.moduleName(), label->Caption().c_str(),
                     size.cx, size.cy, box.right - box.left, box.bottom - box.top);
    }
}

// Copies what the screen shows of rect.
void capture(const RECT& rect, const std::wstring& name) {
    const std::wstring path = outputFolder + L"\\" + name + suffix + L".png";
    const bool saved = saveScreenPng(rect, path);
    if (!saved) ++failures;
    std::wprintf(L"%ls %ls (%ldx%ld)\n", saved ? L"saved" : L"FAILED", path.c_str(), rect.right - rect.left,
                 rect.bottom - rect.top);
}

// Copies what the screen shows of the window.
void capture(HWND window, const std::wstring& name) {
    RECT rect;
    GetWindowRect(window, &rect);
    capture(rect, name);
}

void shoot(Form& form, const std::wstring& name, const std::function<void()>& prepare = {}) {
    form.Load();
    if (prepare) prepare();
    form.Show();
    form.moveTo(40, 40);
    RedrawWindow(form.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpMessages();
    checkLabels(form);
    capture(form.hwnd(), name);
    form.Hide();
}

void selectTab(FrmMain& main, int active) {
    static constexpr Art kNormal[] = {Art::TabMembers, Art::TabTags, Art::TabCategory};
    static constexpr Art kActive[] = {Art::TabMembersActive, Art::TabTagsActive, Art::TabCategoryActive};
    for (int i = 0; i < 3; ++i) {
        main.picSourceTabs[i].setPicture(i == active ? kActive[i] : kNormal[i]);
        main.frmSourceTabs[i].setVisible(i == active);
    }
}

void shootMain() {
    FrmMain& main = formInstance<FrmMain>();
    shoot(main, L"frmMain", [&] {
        main.tmrMain.setEnabled(false);
        main.lblFavoriteWhere.setCaption(memberPageAddress(longestUsername(), L"favorites"));
        main.lblUploadedWhere.setCaption(memberPageAddress(longestUsername(), L"uploads"));
        selectTab(main, 0);
    });
    shoot(main, L"frmMain-tags", [&] {
        selectTab(main, 1);
        // As long as the tag rule lets a tag be.
        main.txtTagName.setText(std::wstring(L"golden retriever, labrador, beagle, dog*, puppies, snow dogs, x").substr(0, 64));
    });
    shoot(main, L"frmMain-category", [&] {
        selectTab(main, 2);
        for (ComboBox* box : {&main.cboGallery, &main.cboCategory}) box->Clear();
        for (const wchar_t* item : {L"All Galleries", L"Animals", L"Landscapes", L"Space"}) main.cboGallery.AddItem(item);
        for (const wchar_t* item : {L"All Categories", L"Dogs", L"Cats"}) main.cboCategory.AddItem(item);
        main.cboGallery.setText(L"Animals");
        main.cboCategory.setText(L"Dogs");
    });
}

// The tooltip of a label cut short, as it pops up where the pointer rests on
// it: the whole of the longest name a member may have, with the window.
void shootToolTip() {
    FrmOptions& options = frmOptions();
    std::wstring name;
    while (name.size() < longestMemberName()) name += longestUsername();
    options.lblLoggedIn.setCaption(name.substr(0, longestMemberName()));
    options.Show();
    options.moveTo(40, 40);
    const RECT box = options.lblLoggedIn.deviceRect();
    POINT at{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
    const POINT inWindow = at;
    ClientToScreen(options.hwnd(), &at);
    SetCursorPos(at.x, at.y);
    PostMessageW(options.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(inWindow.x, inWindow.y));
    HWND tip = nullptr;
    for (int round = 0; round < 200 && !tip; ++round) {
        doEvents();
        Sleep(15);
        for (HWND w = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); w && !tip;
             w = FindWindowExW(nullptr, w, TOOLTIPS_CLASSW, nullptr))
            if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == options.hwnd()) tip = w;
    }
    if (!tip) {
        ++failures;
        std::wprintf(L"FAILED no tooltip over the logged-in name\n");
    } else {
        pumpMessages();
        RECT window, shown, both;
        GetWindowRect(options.hwnd(), &window);
        GetWindowRect(tip, &shown);
        UnionRect(&both, &window, &shown);
        capture(both, L"frmOptions-tooltip");
        SendMessageW(tip, TTM_POP, 0, 0);
    }
    options.Hide();
}

// The notice the program raises with notify, fully up.
void shootNotice(const std::wstring& name, const std::function<void()>& notify) {
    notify();
    FrmSlideMessage& slide = frmSlideMessage();
    slide.tmrSlide.setEnabled(false);
    while (slide.slidePhase == FrmSlideMessage::kRising) slide.tmrSlide_Timer();
    pumpMessages();
    checkLabels(slide);
    capture(slide.hwnd(), name);
    slide.Unload();
}

void shootSlideMessage() {
    // The one-time notice of the first minimize.
    shootNotice(L"frmSlideMessage", [] {
        regSaveSetting(kAppName, memberSection(longestUsername()), L"MinimizeHelp", L"0");
        minimizeToTray(longestUsername());
        RemoveSystrayIcon();
    });
    // The longest error report: the longest location and description, the widest number.
    shootNotice(L"frmSlideMessage-error", [] {
        std::wstring description = sockerr::BadArgumentText;  // the socket layer's own
        for (int32_t number = 1; number < 1000; ++number)
            if (standardErrorText(number).size() > description.size()) description = standardErrorText(number);
        frmSlideMessage().slideSysError(L"Function DownloadAndChangeWallpaper, CQXAPI", INT32_MIN, description);
    });
    // The longest notice: no wallpaper of the member's uploads at the highest rating.
    shootNotice(L"frmSlideMessage-nomatch", [] {
        activeSourceTab = 0;
        formInstance<FrmMain>().optMemberUploads.setValue(true);
        frmOptions().txtRating.setText(L"200");
        noMatchingWallpapers = false;
        NoWallpapersExist();
    });
}

// The tray menu is modal: take its picture from a timer while it is open.
void CALLBACK captureMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (HWND menu = FindWindowW(L"#32768", nullptr)) capture(menu, L"frmPopupMenu-menu");
    EndMenu();
}

void shootPopupMenu(bool busy) {
    FrmPopupMenu& popup = frmPopupMenu();
    popup.mnuProcessing.Visible = popup.mnuPleaseWait.Visible = popup.mnuSep0.Visible = busy;
    popup.mnuViewCurrent.Enabled = popup.mnuEditPreferences.Enabled = popup.mnuForce.Enabled = !busy;
    SetCursorPos(300, 300);
    SetForegroundWindow(popup.hwnd());
    SetTimer(nullptr, 0, 400, captureMenu);
    popup.mnuSystrayPopup.popup(popup.hwnd(), &popup.mnuEditPreferences);
}

// The update engine's window as it stays after a run that had no archive to
// install.
void shootUpdateEngine() {
    updater::FrmMain engine;
    engine.Load(L"");
    SetWindowPos(engine.hwnd(), nullptr, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RedrawWindow(engine.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpMessages();
    capture(engine.hwnd(), L"update-frmMain");
}

// The password box is modal: take its picture from a timer while it is open.
void CALLBACK captureInputBox(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (HWND box = FindWindowW(updater::kInputBoxClass, nullptr)) {
        capture(box, L"update-InputBox");
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    }
}

void shootUpdatePasswordBox() {
    SetTimer(nullptr, 0, 400, captureInputBox);
    updater::InputBox(L"Please Enter The Password!", L"VorlaneUpdater");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: screens OUTPUT_FOLDER [NAME_SUFFIX]\n");
        return 2;
    }
    outputFolder = argv[1];
    suffix = argc > 2 ? argv[2] : L"";
    CreateDirectoryW(outputFolder.c_str(), nullptr);
    enableDpiAwareness();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    // The built-in hosts: the addresses a member sees.
    SetEnvironmentVariableW(L"VORLANE_SERVICE", nullptr);
    gQXAPI = std::make_unique<CQXAPI>();
    gQXAPI->apiUsername = longestUsername();

    shootMain();
    FrmLogin& login = frmLogin();
    shoot(login, L"frmLogin", [&] {
        login.txtUserName.setText(longestUsername());
        login.txtPassword.setText(L"secret");
    });
    FrmOptions& options = frmOptions();
    shoot(options, L"frmOptions", [&] {
        options.lblLoggedIn.setCaption(longestUsername());
        // The longest interval the options allow, a second after its change.
        options.txtFrequency.setText(L"500");
        options.cboFrequencyType.setText(L"Days");
        options.UpdateChangeOnTrigger();
        secondsSinceChange = 1;
        options.lblNextRotation.setCaption(getFormattedTimeUntilChange());
    });
    FrmDownloading& downloading = frmDownloading();
    shoot(downloading, L"frmDownloading", [&] {
        // The longest of the download's titles, at the end of the file.
        downloading.lblHeaderTitle.setCaption(L"Vorlane - Corrupt update detected! Retrying download...");
        downloading.SetProgressBarValue(100);
        downloading.lblProgressPercent.setCaption(L"100%");
    });
    shootToolTip();
    shoot(frmQuickStart(), L"frmQuickStart");
    shootSlideMessage();
    shootPopupMenu(true);
    shootUpdateEngine();
    shootUpdatePasswordBox();

    gQXAPI.reset();
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}
