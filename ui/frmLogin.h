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

protected:
    void createControls() override;
};

FrmLogin& frmLogin();

}  // namespace vorlane::ui
