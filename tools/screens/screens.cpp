// Shows every window of the program with representative content and saves a
// picture of each as a PNG file, so the windows can be looked at without
// Windows. Usage: screens OUTPUT_FOLDER [NAME_SUFFIX]
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <functional>
#include <string>

#include "core/MessageLoop.h"
#include "core/ServiceHosts.h"
#include "tools/screens/ScreenPng.h"
#include "ui/frmDownloading.h"
#include "ui/frmLogin.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "ui/frmPopupMenu.h"
#include "ui/frmQuickStart.h"
#include "ui/frmSlideMessage.h"
#include "update/InputBox.h"
#include "update/frmMain.h"

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

// Copies what the screen shows of the window.
void capture(HWND window, const std::wstring& name) {
    RECT rect;
    GetWindowRect(window, &rect);
    const std::wstring path = outputFolder + L"\\" + name + suffix + L".png";
    const bool saved = saveScreenPng(rect, path);
    if (!saved) ++failures;
    std::wprintf(L"%ls %ls (%ldx%ld)\n", saved ? L"saved" : L"FAILED", path.c_str(), rect.right - rect.left,
                 rect.bottom - rect.top);
}

void shoot(Form& form, const std::wstring& name, const std::function<void()>& prepare = {}) {
    form.Load();
    if (prepare) prepare();
    form.Show();
    form.moveTo(40, 40);
    RedrawWindow(form.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpMessages();
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
    const std::wstring members = serviceHosts().members.root();
    shoot(main, L"frmMain", [&] {
        main.tmrMain.setEnabled(false);
        main.lblFavoriteWhere.setCaption(members + L"abc/favorites/");
        main.lblUploadedWhere.setCaption(members + L"abc/uploads/");
        selectTab(main, 0);
    });
    shoot(main, L"frmMain-tags", [&] {
        selectTab(main, 1);
        main.txtTagName.setText(L"dog*, golden retriever");
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

void shootSlideMessage() {
    FrmSlideMessage& slide = frmSlideMessage();
    slide.tmrSlide.setEnabled(false);
    slide.lblTitle.setCaption(L"Vorlane - Information");
    slide.startSlide(L"Vorlane has been minimized!\r\n\r\nYou'll see the Vorlane icon in the bottom-right corner of "
                     L"your monitor.  To bring the preferences screen back, double-click on the icon.");
    slide.tmrSlide.setEnabled(false);
    while (slide.slidePhase == FrmSlideMessage::kRising) slide.tmrSlide_Timer();
    pumpMessages();
    capture(slide.hwnd(), L"frmSlideMessage");
    slide.slideSysError(L"Function ParseXML, modXML", -2147467259, L"Unspecified error");
    slide.tmrSlide.setEnabled(false);
    pumpMessages();
    capture(slide.hwnd(), L"frmSlideMessage-error");
    slide.Unload();
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

    shootMain();
    FrmLogin& login = frmLogin();
    shoot(login, L"frmLogin", [&] {
        login.txtUserName.setText(L"abc");
        login.txtPassword.setText(L"secret");
    });
    FrmOptions& options = frmOptions();
    shoot(options, L"frmOptions", [&] {
        options.lblLoggedIn.setCaption(L"abc");
        options.lblNextRotation.setCaption(L"2 hrs 14 mins");
    });
    FrmDownloading& downloading = frmDownloading();
    shoot(downloading, L"frmDownloading", [&] {
        downloading.lblHeaderTitle.setCaption(L"Vorlane - Downloading Wallpaper...");
        downloading.picProgressBar.setWidth(267);
        downloading.lblProgressPercent.setCaption(L"64%");
    });
    shoot(frmQuickStart(), L"frmQuickStart");
    shootSlideMessage();
    shootPopupMenu(true);
    shootUpdateEngine();
    shootUpdatePasswordBox();

    CoUninitialize();
    return failures == 0 ? 0 : 1;
}
