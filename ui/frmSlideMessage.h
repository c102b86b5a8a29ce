// The notification window: rises out of the taskbar at the bottom right, holds,
// sinks back and unloads itself. It also reports the program's trapped errors.
#pragma once

#include <cstdint>
#include <string>

#include "ui/kit/Form.h"

namespace vorlane::ui {

class FrmSlideMessage : public Form {
public:
    FrmSlideMessage();

    Image imgWatermarkBg;
    Image imgHeaderBg;
    Label lblTitle;
    Label lblStatusMsg;
    PictureBox picCloseX;
    Timer tmrSlide;

    // Positions in twips; the timer moves the window by phase.
    int16_t taskbarTwips = 0;
    int16_t travelTwips = 0;
    int16_t slideDuration = 0;
    int16_t slideTicks = 0;
    int32_t slidePhase = 0;

    static constexpr int32_t kRising = 0;
    static constexpr int32_t kHolding = 1;
    static constexpr int32_t kSinking = 2;

    // Shows the notice; the title stays whatever the caller set.
    void startSlide(const std::wstring& message);
    void slideSysError(const std::wstring& where, int32_t errNo, const std::wstring& errDescr);

    void tmrSlide_Timer();
    void picCloseX_Click();

protected:
    void createControls() override;
    void Form_Load() override;
    void closeRequested() override { picCloseX_Click(); }

private:
    void clipAboveTaskbar();
};

FrmSlideMessage& frmSlideMessage();

// From here on the program's trapped errors slide up in the notification window.
void installErrorReporter();

// A notice with its own title: loads the window, sets the title, slides the text up.
void showNotice(const std::wstring& title, const std::wstring& text);

}  // namespace vorlane::ui
