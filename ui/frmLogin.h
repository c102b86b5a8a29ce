// The login window: user name and password, the login button and the sign-up link.
#pragma once

#include <array>

#include "ui/FramedForm.h"

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

    // The one way into the logged-in state, run for every accepted login.
    void LoginSuccess();

protected:
    void createControls() override;
};

FrmLogin& frmLogin();

}  // namespace vorlane::ui
