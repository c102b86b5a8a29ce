// The first-run help: four short paragraphs and a "don't show again" box.
#pragma once

#include <array>

#include "ui/FramedForm.h"

namespace vorlane::ui {

class FrmQuickStart : public FramedForm {
public:
    FrmQuickStart();

    Image imgQuickStartBg;
    std::array<Label, 4> lblQuickStartText;
    CheckBox chkDontShowAgain;
    PictureBox picClose;

protected:
    void createControls() override;
};

FrmQuickStart& frmQuickStart();

}  // namespace vorlane::ui
