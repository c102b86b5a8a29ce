// The options window: rotation frequency, minimum rating, order, freeze and
// automatic updates; who is logged in and the time to the next change.
#pragma once

#include "ui/FramedForm.h"

namespace vorlane::ui {

class FrmOptions : public FramedForm {
public:
    FrmOptions();

    Image imgOptionsBg;
    Label lblLoggedInAs;
    Label lblLoggedIn;
    Label lblLogout;
    Label lblRotationText;
    TextBox txtFrequency;
    ComboBox cboFrequencyType;
    Label lblNextRotationIn;
    Label lblNextRotation;
    Label lblQualityText;
    TextBox txtRating;
    Label lblQualityExample;
    Label lblMethodTitle;
    OptionButton optRandomize;
    OptionButton optSequential;
    CheckBox chkFreeze;
    Label lblUpdatesText;
    CheckBox chkAutoUpdate;
    PictureBox picSave;
    PictureBox picCancel;

    // Fills the boxes from the member's saved options and restarts the countdown.
    void loadOptions();
    // Restarts the countdown and takes the interval from the boxes.
    void UpdateChangeOnTrigger();

protected:
    void createControls() override;
};

FrmOptions& frmOptions();

}  // namespace vorlane::ui
