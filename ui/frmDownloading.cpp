// The download progress window: its controls, the progress shown and the abort.
#include "ui/frmDownloading.h"

#include <windows.h>

#include "core/Convert.h"
#include "core/modMisc.h"
#include "webclient/CQXAPI.h"

namespace vorlane::ui {

namespace {
constexpr int kWidth = 501;
constexpr int kHeight = 66;
constexpr int kFullBarWidth = 417;
}  // namespace

// No taskbar button of its own: minimized, it could not be brought back.
FrmDownloading::FrmDownloading()
    : Form(L"frmDownloading", L"", kWidth, kHeight, FormStyle{.minimizes = false}) {}

FrmDownloading& frmDownloading() { return loadedForm<FrmDownloading>(); }

void FrmDownloading::createControls() {
    imgDownloadBg.create(*this, {0, 0, kWidth, kHeight}, Art::DownloadBackground);
    imgHeaderBg.create(*this, {0, 0, kWidth, 24}, Art::HeaderStrip);
    lblHeaderTitle.create(*this, {10, 5, kWidth - 20, 16}, L"Vorlane - Initializing...", FontRole::Title,
                          colors::kHeaderText);
    picProgressBar.create(*this, {12, 32, kFullBarWidth, 24}, Art::ProgressStrip);
    lblProgressPercent.create(*this, {432, 36, 38, 16}, L"100%", FontRole::Bold, colors::kText, Align::Right);
    imgAbort.create(*this, {476, 35, 18, 18}, Art::ButtonAbort);
    imgAbort.setMousePointer(MousePointer::Custom);
    // Holds the keyboard focus out of sight while the window is open.
    cmdFocusStealer.create(*this, {0, kHeight + 20, 10, 10}, L"");

    imgHeaderBg.MouseDown = [this](const MouseEvent& e) { imgHeaderBg_MouseDown(e); };
    imgHeaderBg.MouseMove = [this](const MouseEvent& e) { imgHeaderBg_MouseMove(e); };
    imgHeaderBg.MouseUp = [this](const MouseEvent& e) { imgHeaderBg_MouseUp(e); };
    lblHeaderTitle.MouseDown = [this](const MouseEvent& e) { lblHeaderTitle_MouseDown(e); };
    lblHeaderTitle.MouseMove = [this](const MouseEvent& e) { lblHeaderTitle_MouseMove(e); };
    lblHeaderTitle.MouseUp = [this](const MouseEvent& e) { lblHeaderTitle_MouseUp(e); };
    imgAbort.Click = [this] { imgAbort_Click(); };
}

void FrmDownloading::Form_Load() {
    centerOnScreen();
    SetProgressBarValue(0);
}

int16_t FrmDownloading::progressBarWidth(int16_t Percent) {
    const int16_t width = toInt16(Percent / 100.0 * kFullBarWidth);
    return width < 1 ? int16_t{1} : width;
}

void FrmDownloading::SetProgressBarValue(int16_t Percent) { picProgressBar.setWidth(progressBarWidth(Percent)); }

void FrmDownloading::imgAbort_Click() {
    gQXAPI->QXDownload.Cancel();
    const std::wstring partial = gQXAPI->QXDownload.Destination();
    if (fileExists(partial)) DeleteFileW(partial.c_str());
    gQXAPI->endDownloadUnapplied();  // the member's change ends here; the next is the schedule's
}

}  // namespace vorlane::ui
