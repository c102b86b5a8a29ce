// The first-run help: four short paragraphs and a "don't show again" box.
#pragma once

#include <array>

#include "ui/kit/FramedForm.h"

namespace vorlane::ui {

class FrmQuickStart : public FramedForm {
public:
    FrmQuickStart();

    Image imgQuickStartBg;
    std::array<Label, 4> lblQuickStartText;
    CheckBox chkDontShowAgain;
    PictureBox picClose;

    // Saves the member's choice (HideQuickStart) and closes the window.
    void picClose_Click();
    void picCloseX_Click();
    // The window became the active one among the program's windows: with the
    // main window out of sight (in the tray) it moves to the middle of the screen.
    void Form_Activate();

protected:
    void createControls() override;
    LRESULT formMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    void centerOverOwner();
    bool activated_ = false;  // since the window was loaded
};

FrmQuickStart& frmQuickStart();

}  // namespace vorlane::ui
