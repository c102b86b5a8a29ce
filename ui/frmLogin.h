// The login window: user name and password, the login button and the sign-up link.
#pragma once

#include <array>

#include "ui/kit/FramedForm.h"

namespace vorlane::ui {

class FrmLogin : public FramedForm {
public:
    FrmLogin();

    Image imgLoginBg;
    Label lblLoginInstructions;
    std::array<Label, 2> lblLabels;
    TextBox txtUserName;
    TextBox txtPassword;
    PictureBox picLoginSubmit;
    CommandButton cmdLogin;
    Image imgVerticalLine;
    Label lblLoginInstructionsTwo;
    PictureBox picNewAccount;

    // Let the member type and send again, or not while a login is under way.
    void EnableLogin();
    void DisableLogin();
    // A login that did not come about leaves the member a way in: the window
    // shown, its input enabled, the next login an interactive one.
    void readyForAnotherLogin();

    // The one way into the logged-in state, run for every accepted login.
    void LoginSuccess();

    // The login action: checks the input, then sends the login request.
    void cmdLogin_Click();
    void picLoginSubmit_Click();
    void txtPassword_GotFocus();
    void picNewAccount_Click();
    void picCloseX_Click();
    // A close request ends the program.
    void Form_Unload();

protected:
    void createControls() override;
    void closeRequested() override { Form_Unload(); }
};

FrmLogin& frmLogin();

}  // namespace vorlane::ui
