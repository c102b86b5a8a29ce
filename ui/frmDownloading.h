// The download progress window: a header that drags it, the bar, the percentage
// and the abort picture.
#pragma once

#include "ui/kit/Form.h"

namespace vorlane::ui {

class FrmDownloading : public Form {
public:
    FrmDownloading();

    Image imgDownloadBg;
    Image imgHeaderBg;
    Label lblHeaderTitle;
    PictureBox picProgressBar;
    Label lblProgressPercent;
    Image imgAbort;
    CommandButton cmdFocusStealer;

    // The bar's width for a percentage: Percent / 100 of its full 417 pixels,
    // halves to even, at least 1 pixel, no upper limit.
    void SetProgressBarValue(int16_t Percent);
    static int16_t progressBarWidth(int16_t Percent);

    // Stops the download, removes the partial file and forgets an update under way.
    void imgAbort_Click();

    void imgHeaderBg_MouseDown(const MouseEvent& event) { dragMouseDown(event); }
    void imgHeaderBg_MouseMove(const MouseEvent& event) { dragMouseMove(event); }
    void imgHeaderBg_MouseUp(const MouseEvent& event) { dragMouseUp(event); }
    void lblHeaderTitle_MouseDown(const MouseEvent& event) { imgHeaderBg_MouseDown(event); }
    void lblHeaderTitle_MouseMove(const MouseEvent& event) { imgHeaderBg_MouseMove(event); }
    void lblHeaderTitle_MouseUp(const MouseEvent& event) { imgHeaderBg_MouseUp(event); }

protected:
    void createControls() override;
    void Form_Load() override;
    // Closing the window stops the download, as the abort picture does.
    void closeRequested() override { imgAbort_Click(); }
};

FrmDownloading& frmDownloading();

}  // namespace vorlane::ui
