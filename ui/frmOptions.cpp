#include "ui/frmOptions.h"

namespace vorlane::ui {

namespace {
constexpr int kWidth = 430;
constexpr int kHeight = 480;
}  // namespace

FrmOptions::FrmOptions() : FramedForm(L"Vorlane Options", kWidth, kHeight) {}

FrmOptions& frmOptions() { return loadedForm<FrmOptions>(); }

void FrmOptions::createControls() {
    imgOptionsBg.create(*this, {0, 0, kWidth, kHeight}, Art::OptionsBackground);
    createFrame(L"Vorlane Options");

    lblLoggedInAs.create(*this, {20, 42, 94, 16}, L"Logged in as:", FontRole::Bold);
    lblLoggedIn.create(*this, {116, 42, 220, 16}, L"[Not Logged In]");
    lblLogout.create(*this, {350, 42, 60, 16}, L"Logout", FontRole::Link, colors::kLink, Align::Right);
    lblLogout.setMousePointer(MousePointer::Custom);

    lblRotationText.create(*this, {20, 78, 390, 16}, L"How often should Vorlane rotate your wallpaper image?",
                           FontRole::Bold);
    txtFrequency.create(*this, {36, 100, 52, 22}, L"3");
    cboFrequencyType.create(*this, {96, 100, 110, 22}, L"Hours", {L"Minutes", L"Hours", L"Days"});
    lblNextRotationIn.create(*this, {214, 104, 100, 16}, L"Next Rotation In:", FontRole::Body, colors::kMutedText);
    lblNextRotation.create(*this, {320, 104, 96, 16}, L"Not Running", FontRole::Bold);

    lblQualityText.create(*this, {20, 146, 394, 16},
                          L"Minimum vote rating for wallpapers to be downloaded by Vorlane:");
    txtRating.create(*this, {36, 170, 52, 22}, L"0");
    lblQualityExample.create(*this, {100, 168, 310, 32},
                             L"(Default is 0.  The greater this number, the fewer wallpapers in rotation, but the "
                             L"higher the quality.)",
                             FontRole::Small, colors::kMutedText);

    lblMethodTitle.create(*this, {20, 218, 120, 16}, L"Rotation Method:", FontRole::Bold);
    optRandomize.create(*this, {36, 240, 120, 20}, L"Randomize", true);
    optSequential.create(*this, {170, 240, 120, 20}, L"Sequential", false);

    chkFreeze.create(*this, {20, 292, 390, 20}, L"Freeze Current Wallpaper (Pause Rotation)", CheckBox::vbUnchecked);
    lblUpdatesText.create(*this, {20, 324, 390, 44},
                          L"Vorlane periodically releases software updates which add functionality and fix bugs.  "
                          L"We strongly encourage users to keep updates enabled.",
                          FontRole::Body, colors::kMutedText);
    chkAutoUpdate.create(*this, {20, 372, 390, 20}, L"Automatically download and install Vorlane updates",
                         CheckBox::vbChecked);

    picCancel.create(*this, {206, 432, 100, 34}, Art::ButtonCancel);
    picSave.create(*this, {314, 432, 100, 34}, Art::ButtonSave);
    picCancel.setMousePointer(MousePointer::Custom);
    picSave.setMousePointer(MousePointer::Custom);
}

void FrmOptions::loadOptions() {}

void FrmOptions::UpdateChangeOnTrigger() {}

}  // namespace vorlane::ui
