// The options window: its controls, loading, checking and saving the options.
#include "ui/frmOptions.h"

#include <windows.h>

#include <algorithm>

#include "core/CTimerFunctions.h"
#include "core/Convert.h"
#include "core/Globals.h"
#include "core/modMisc.h"
#include "ui/frmMain.h"
#include "ui/modGlobals.h"
#include "webclient/CQXAPI.h"

namespace vorlane::ui {

namespace {

constexpr int kWidth = 430;
constexpr int kHeight = 480;

constexpr const wchar_t* kMinutes = L"Minutes";
constexpr const wchar_t* kHours = L"Hours";
constexpr const wchar_t* kDays = L"Days";
constexpr const wchar_t* kRandomize = L"Randomize";
constexpr const wchar_t* kSequential = L"Sequential";

constexpr const wchar_t* kDefaultFrequency = L"3";
constexpr const wchar_t* kDefaultRating = L"0";
constexpr double kLowestFrequency = 1;
constexpr double kHighestFrequency = 500;
constexpr int32_t kFewestMinutes = 10;
constexpr double kLowestRating = -99;
constexpr double kHighestRating = 200;

// Seconds in one unit of the frequency, or 0 for a text that is no unit.
double secondsPerUnit(const std::wstring& unit) {
    if (unit == kMinutes) return 60;
    if (unit == kHours) return 60.0 * 60;
    if (unit == kDays) return 60.0 * 60 * 24;
    return 0;
}

// Save only ever stores what its checks let through; anything else in the store
// (edited by hand, damaged) gives way to the default rather than to a countdown
// that cannot be computed.
std::wstring storedFrequency(const std::wstring& stored) {
    if (!isNumeric(stored)) return kDefaultFrequency;
    const double frequency = toDouble(stored);
    return (frequency < kLowestFrequency || frequency > kHighestFrequency) ? kDefaultFrequency : stored;
}

// The rotation sends the rating's text as it is, so it takes the form Save
// stores: a whole number from -99 to 200. Anything else (not a number, too
// large for a double, a text no request line can carry) gives the default.
std::wstring storedRating(const std::wstring& stored) {
    if (!isNumeric(stored)) return kDefaultRating;
    const double rating = toDouble(stored);
    return rating < kLowestRating || rating > kHighestRating ? kDefaultRating : numberText(toInt32(rating));
}

std::wstring storedUnit(const std::wstring& stored) { return secondsPerUnit(stored) > 0 ? stored : kHours; }

// On or off, as Save stores it. A grayed box is not: it counts as frozen at
// login and as running at Save, and the box would take a third state.
int storedCheckValue(const std::wstring& stored, int fallback) {
    if (!isNumeric(stored)) return fallback;
    const double value = roundHalfEven(toDouble(stored));
    return (value < CheckBox::vbUnchecked || value > CheckBox::vbChecked) ? fallback : static_cast<int>(value);
}

HICON windowIcon(HWND window, WPARAM size) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, size, 0));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(window, size == ICON_BIG ? GCLP_HICON : GCLP_HICONSM));
    return icon;
}

}  // namespace

FrmOptions::FrmOptions() : FramedForm(L"frmOptions", L"Vorlane Options", kWidth, kHeight) {}

FrmOptions& frmOptions() { return loadedForm<FrmOptions>(); }

void FrmOptions::createControls() {
    imgOptionsBg.create(*this, {0, 0, kWidth, kHeight}, Art::OptionsBackground);
    createFrame(L"Vorlane Options");

    // The name has the rest of the line, the longest one the login takes at
    // 150 % included; Logout goes under it.
    lblLoggedInAs.create(*this, {20, 40, 94, 16}, L"Logged in as:", FontRole::Bold);
    lblLoggedIn.create(*this, {116, 40, 294, 16}, L"[Not Logged In]");
    lblLoggedIn.setEllipsis(Ellipsis::End);
    lblLogout.create(*this, {350, 56, 60, 16}, L"Logout", FontRole::Link, colors::kLink, Align::Right);
    lblLogout.setMousePointer(MousePointer::Custom);

    lblRotationText.create(*this, {20, 86, 390, 16}, L"How often should Vorlane rotate your wallpaper image?",
                           FontRole::Bold);
    txtFrequency.create(*this, {36, 106, 52, 22}, L"3");
    cboFrequencyType.create(*this, {96, 106, 110, 22}, L"Hours", {L"Minutes", L"Hours", L"Days"});
    // A line of its own: the countdown of the longest interval ("499 Days,
    // 23:59:59") fits at 150 %.
    lblNextRotationIn.create(*this, {36, 134, 100, 16}, L"Next Rotation In:", FontRole::Body, colors::kMutedText);
    lblNextRotation.create(*this, {140, 134, 200, 16}, L"Not Running", FontRole::Bold);

    lblQualityText.create(*this, {20, 164, 394, 16},
                          L"Minimum vote rating for wallpapers to be downloaded by Vorlane:");
    txtRating.create(*this, {36, 186, 52, 22}, L"0");
    lblQualityExample.create(*this, {100, 184, 310, 32},
                             L"(Default is 0.  The greater this number, the fewer wallpapers in rotation, but the "
                             L"higher the quality.)",
                             FontRole::Small, colors::kMutedText);

    lblMethodTitle.create(*this, {20, 232, 120, 16}, L"Rotation Method:", FontRole::Bold);
    optRandomize.create(*this, {36, 254, 120, 20}, L"Randomize", true);
    optSequential.create(*this, {170, 254, 120, 20}, L"Sequential", false);

    chkFreeze.create(*this, {20, 296, 390, 20}, L"Freeze Current Wallpaper (Pause Rotation)", CheckBox::vbUnchecked);
    lblUpdatesText.create(*this, {20, 326, 390, 44},
                          L"Vorlane periodically releases software updates which add functionality and fix bugs.  "
                          L"We strongly encourage users to keep updates enabled.",
                          FontRole::Body, colors::kMutedText);
    chkAutoUpdate.create(*this, {20, 374, 390, 20}, L"Automatically download and install Vorlane updates",
                         CheckBox::vbChecked);

    picCancel.create(*this, {206, 432, 100, 34}, Art::ButtonCancel);
    picSave.create(*this, {314, 432, 100, 34}, Art::ButtonSave);
    picCancel.setMousePointer(MousePointer::Custom);
    picSave.setMousePointer(MousePointer::Custom);

    picSave.Click = [this] { picSave_Click(); };
    picCancel.Click = [this] { picCancel_Click(); };
    picCloseX.Click = [this] { picCloseX_Click(); };
    lblLogout.Click = [this] { lblLogout_Click(); };
    chkFreeze.MouseUp = [this](const MouseEvent& e) { chkFreeze_MouseUp(e); };
}

void FrmOptions::Form_Load() {
    const HWND main = frmMain().hwnd();
    for (WPARAM size : {ICON_BIG, ICON_SMALL})
        if (HICON icon = windowIcon(main, size)) SendMessageW(hwnd(), WM_SETICON, size, reinterpret_cast<LPARAM>(icon));
}

void FrmOptions::loadOptions() {
    txtFrequency.setText(storedFrequency(getMemberSetting(L"Frequency", kDefaultFrequency)));
    cboFrequencyType.setText(storedUnit(getMemberSetting(L"FrequencyType", kHours)));
    chkFreeze.setValue(storedCheckValue(getMemberSetting(L"Freeze", L"0"), CheckBox::vbUnchecked));
    chkAutoUpdate.setValue(storedCheckValue(getMemberSetting(L"AutoUpdate", L"1"), CheckBox::vbChecked));
    txtRating.setText(storedRating(getMemberSetting(L"QualityRating", kDefaultRating)));
    if (getMemberSetting(L"Method", kRandomize) == kRandomize) {
        optSequential.setValue(false);
        optRandomize.setValue(true);
    } else {
        optRandomize.setValue(false);
        optSequential.setValue(true);
    }
    ratingInEffect_ = txtRating.Text();
    // Shown at the fewest minutes allowed; stored so only by the next Save.
    if (toDouble(txtFrequency.Text()) < kFewestMinutes && cboFrequencyType.Text() == kMinutes)
        txtFrequency.setText(numberText(kFewestMinutes));
    UpdateChangeOnTrigger();
}

std::wstring FrmOptions::ratingInEffect() const { return Visible() ? ratingInEffect_ : txtRating.Text(); }

LRESULT FrmOptions::formMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    handled = false;
    if (message == WM_SHOWWINDOW && wParam) ratingInEffect_ = txtRating.Text();
    return 0;
}

void FrmOptions::UpdateChangeOnTrigger() {
    secondsSinceChange = 0;
    const double unit = secondsPerUnit(cboFrequencyType.Text());
    const std::wstring frequency = txtFrequency.Text();
    // Any other unit keeps the interval there was.
    if (unit == 0 || !isNumeric(frequency)) return;
    const double interval = toDouble(frequency) * unit;
    if (interval >= INT32_MIN && interval <= INT32_MAX) changeIntervalSeconds = toInt32(interval);
}

bool FrmOptions::refuse(WindowedControl& focus, const wchar_t* title, const wchar_t* text) {
    MessageBoxW(hwnd(), text, title, MB_OK | MB_ICONEXCLAMATION);
    focus.setFocus();
    return false;
}

bool FrmOptions::validateOptions() {
    const std::wstring frequencyText = txtFrequency.Text();
    if (!isNumeric(frequencyText) || toDouble(frequencyText) < kLowestFrequency)
        return refuse(txtFrequency, L"Invalid Frequency", L"Oops! The frequency must be a positive number!");
    const double frequency = toDouble(frequencyText);
    if (frequency > kHighestFrequency)
        return refuse(txtFrequency, L"Invalid Frequency", L"Oops! The frequency cannot be larger than 500!");
    const int32_t wholeFrequency = toInt32(frequency);
    txtFrequency.setText(numberText(wholeFrequency));

    std::wstring ratingText = txtRating.Text();
    ratingText.erase(std::remove(ratingText.begin(), ratingText.end(), L'+'), ratingText.end());
    txtRating.setText(ratingText);
    if (!isNumeric(ratingText))
        return refuse(txtRating, L"Non-Numeric Rating",
                      L"The average quality rating must be a number.  Please check the value and try again.");
    const double rating = toDouble(ratingText);
    if (rating < kLowestRating || rating > kHighestRating)
        return refuse(txtRating, L"Invalid Rating Range",
                      L"The average quality rating must be between -99 and 200.  Please check the value and try "
                      L"again.");
    txtRating.setText(numberText(toInt32(rating)));

    if (wholeFrequency < kFewestMinutes && cboFrequencyType.Text() == kMinutes)
        return refuse(txtFrequency, L"Too Frequent Wallpaper Rotation",
                      L"Oops! The most frequent update allowed is every 10 minutes.");
    if (!existsInCombo(cboFrequencyType.Text(), cboFrequencyType.hwnd()))
        return refuse(cboFrequencyType, L"Invalid Frequency Type",
                      L"Invalid selection for 'Frequency Type'.  Please select Hours, Minutes, or Days.");
    return true;
}

void FrmOptions::applyFreezeToSchedule() {
    if (!gTimerFunctions) return;
    // Switching a task on starts its count from the current second.
    const bool run = chkFreeze.Value() != CheckBox::vbChecked;
    gTimerFunctions->Active_CheckIdle = run;
    gTimerFunctions->Active_ChangeWallpaper = run;
}

void FrmOptions::storeOptions() {
    saveMemberSetting(L"Freeze", std::to_wstring(chkFreeze.Value()));
    saveMemberSetting(L"AutoUpdate", std::to_wstring(chkAutoUpdate.Value()));
    saveMemberSetting(L"FrequencyType", cboFrequencyType.Text());
    saveMemberSetting(L"Frequency", txtFrequency.Text());
    saveMemberSetting(L"QualityRating", txtRating.Text());
    if (optRandomize.Value())
        saveMemberSetting(L"Method", kRandomize);
    else if (optSequential.Value())
        saveMemberSetting(L"Method", kSequential);
}

void FrmOptions::picSave_Click() {
    if (!validateOptions()) return;
    UpdateChangeOnTrigger();
    applyFreezeToSchedule();
    storeOptions();
    // A countdown paused for want of matching wallpapers tries the new options.
    noMatchingWallpapers = false;
    Hide();
    frmMain().Show();
}

void FrmOptions::picCancel_Click() {
    Hide();
    loadOptions();
    frmMain().Show();
}

void FrmOptions::lblLogout_Click() {
    if (MessageBoxW(hwnd(), L"Are you sure you want to logout of your Quorvex account?", L"Confirm Logout?",
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    picCancel_Click();
    if (gQXAPI) gQXAPI->APILogout();
}

void FrmOptions::chkFreeze_MouseUp(const MouseEvent&) { applyFreezeToSchedule(); }

}  // namespace vorlane::ui
