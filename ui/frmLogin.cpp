#include "ui/frmLogin.h"

namespace vorlane::ui {

namespace {
constexpr int kWidth = 394;
constexpr int kHeight = 352;
}  // namespace

FrmLogin::FrmLogin() : FramedForm(L"Vorlane Login", kWidth, kHeight) {}

FrmLogin& frmLogin() { return loadedForm<FrmLogin>(); }

void FrmLogin::createControls() {
    imgLoginBg.create(*this, {0, 0, kWidth, kHeight}, Art::LoginBackground);
    createFrame(L"Vorlane Account Login");

    lblLoginInstructions.create(*this, {24, 48, 346, 44},
                                L"To begin, please login with your Quorvex account.  This will allow Vorlane to "
                                L"personalize your experience.");
    lblLabels[0].create(*this, {40, 112, 80, 16}, L"Username:", FontRole::Bold);
    txtUserName.create(*this, {124, 108, 226, 22}, L"");
    lblLabels[1].create(*this, {40, 146, 80, 16}, L"Password:", FontRole::Bold);
    txtPassword.create(*this, {124, 142, 226, 22}, L"", L'*');
    picLoginSubmit.create(*this, {250, 180, 100, 34}, Art::ButtonLogin);
    picLoginSubmit.setMousePointer(MousePointer::Custom);
    // Below the visible area: only the Return key reaches it.
    cmdLogin.create(*this, {250, kHeight + 20, 100, 24}, L"Login", true);

    lblLoginInstructionsTwo.create(*this, {24, 262, 160, 48}, L"Register in seconds! It's quick and easy! ",
                                   FontRole::Bold);
    imgVerticalLine.create(*this, {196, 246, 4, 90}, Art::DividerLine);
    picNewAccount.create(*this, {216, 266, 150, 36}, Art::ButtonSignUp);
    picNewAccount.setMousePointer(MousePointer::Custom);
}

}  // namespace vorlane::ui

namespace vorlane::ui {

void FrmLogin::EnableLogin() {
    txtUserName.setEnabled(true);
    txtPassword.setEnabled(true);
    cmdLogin.setEnabled(true);
}

void FrmLogin::DisableLogin() {
    txtUserName.setEnabled(false);
    txtPassword.setEnabled(false);
    cmdLogin.setEnabled(false);
}

void FrmLogin::LoginSuccess() {}

}  // namespace vorlane::ui
