// The first-run help window and its "don't show again" box.
#include "ui/frmQuickStart.h"

#include "core/modRegistry.h"
#include "ui/frmMain.h"
#include "webclient/CQXAPI.h"

namespace vorlane::ui {

namespace {

constexpr int kWidth = 343;
constexpr int kHeight = 500;

constexpr std::array<const wchar_t*, 4> kParagraphs{
    L"We're trying to make Vorlane as easy as possible to use, while giving you the flexability you desire.  On the "
    L"top of the main screen, you will see three big buttons (Members / Tag / Category).  These are the \"sources\", "
    L"which determine where Vorlane gets the wallpapers for rotation.  Clicking on each one will bring up a quick "
    L"description of what it is.",
    L"Vorlane downloads all of its wallpapers from Quorvex (to save you space on your computer).  If you have any "
    L"wallpapers you would like to add to your rotation, visit Quorvex and upload them (100% free) with your account.",
    L"After you configure Vorlane, click the \"Save and Minimize\" button to send the program down to your system "
    L"tray (you'll see our logo/icon to the left of your clock in the bottom right-corner of your screen).  You can "
    L"double-click that icon to bring the configuration screen back up at any time, or right-click on the icon for "
    L"even more options.",
    L"Thanks for using Vorlane.  Enjoy!",
};

// Top and height of each paragraph, in design pixels.
constexpr std::array<std::pair<int, int>, 4> kParagraphBoxes{{{50, 118}, {172, 72}, {252, 114}, {378, 20}}};

}  // namespace

// Its title is for the taskbar: a button of its own although the main window owns it.
FrmQuickStart::FrmQuickStart()
    : FramedForm(L"frmQuickStart", L"Vorlane - Quick Start Guide", kWidth, kHeight, FormStyle{.appWindow = true}) {}

FrmQuickStart& frmQuickStart() { return loadedForm<FrmQuickStart>(); }

void FrmQuickStart::createControls() {
    imgQuickStartBg.create(*this, {0, 0, kWidth, kHeight}, Art::QuickStartBackground);
    createFrame(L"Vorlane Wallpaper Manager");
    for (size_t i = 0; i < lblQuickStartText.size(); ++i) {
        const auto [top, height] = kParagraphBoxes[i];
        lblQuickStartText[i].create(*this, {26, top, 291, height}, kParagraphs[i],
                                    i == 3 ? FontRole::Bold : FontRole::Body);
    }
    chkDontShowAgain.create(*this, {16, 448, 180, 20}, L"Don't show this again", CheckBox::vbChecked);
    picClose.create(*this, {233, 442, 94, 34}, Art::ButtonClose);
    picClose.setMousePointer(MousePointer::Custom);

    picClose.Click = [this] { picClose_Click(); };
    picCloseX.Click = [this] { picCloseX_Click(); };
    activated_ = false;
}

void FrmQuickStart::picClose_Click() {
    const wchar_t* hide = chkDontShowAgain.Value() == CheckBox::vbChecked ? L"1" : L"0";
    regSaveSetting(kAppName, memberSection(gQXAPI->apiUsername), L"HideQuickStart", hide);
    Unload();
}

void FrmQuickStart::picCloseX_Click() { picClose_Click(); }

void FrmQuickStart::Form_Activate() {
    if (frmMain().Visible()) return;
    setLeft(screenWidth() / 2 - Width() / 2);
    setTop(screenHeight() / 2 - Height() / 2);
}

void FrmQuickStart::centerOverOwner() {
    const HWND owner = GetWindow(hwnd(), GW_OWNER);
    if (!owner || !IsWindowVisible(owner)) return;
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    const RECT own = screenRect();
    moveTo(ownerRect.left + ((ownerRect.right - ownerRect.left) - (own.right - own.left)) / 2,
           ownerRect.top + ((ownerRect.bottom - ownerRect.top) - (own.bottom - own.top)) / 2);
}

LRESULT FrmQuickStart::formMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = false;
    if (message == WM_SHOWWINDOW && wParam) {
        // Opens centred over its owner, the main window, when that is in sight.
        centerOverOwner();
    } else if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
        // Coming back from another program is no activation among ours.
        DWORD process = 0;
        const auto previous = reinterpret_cast<HWND>(lParam);
        if (previous) GetWindowThreadProcessId(previous, &process);
        if (!activated_ || process == GetCurrentProcessId()) Form_Activate();
        activated_ = true;
    }
    return 0;
}

}  // namespace vorlane::ui
