// The options window: rotation frequency, minimum rating, order, freeze and
// automatic updates; who is logged in and the time to the next change.
#pragma once

#include "ui/kit/FramedForm.h"

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

    // The minimum rating a change asks for: the box's text, but while the
    // window is up the text it held when it opened (or was loaded), so that a
    // change falling due meanwhile never asks with one typed but not saved.
    std::wstring ratingInEffect() const;

    // Checks the boxes, applies them to the schedule, stores them and closes.
    void picSave_Click();
    // Discards the edits (the boxes go back to the stored options) and closes.
    void picCancel_Click();
    void picCloseX_Click() { picCancel_Click(); }
    void lblLogout_Click();
    // A change of Freeze with the mouse reaches the schedule at once.
    void chkFreeze_MouseUp(const MouseEvent& event);

protected:
    void createControls() override;
    void Form_Load() override;
    // Never unloaded: a close request cancels, as the close box does.
    void closeRequested() override { picCancel_Click(); }
    LRESULT formMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    // The six checks of Save, in order, with their normalisations; false after
    // the first one that fails has been explained to the member.
    bool validateOptions();
    bool refuse(WindowedControl& focus, const wchar_t* title, const wchar_t* text);
    void applyFreezeToSchedule();
    void storeOptions();

    std::wstring ratingInEffect_;
};

FrmOptions& frmOptions();

}  // namespace vorlane::ui
