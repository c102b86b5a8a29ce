#include "ui/frmQuickStart.h"

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
constexpr std::array<std::pair<int, int>, 4> kParagraphBoxes{{{54, 100}, {162, 72}, {242, 114}, {364, 20}}};

}  // namespace

FrmQuickStart::FrmQuickStart() : FramedForm(L"Vorlane - Quick Start Guide", kWidth, kHeight) {}

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
}

}  // namespace vorlane::ui
