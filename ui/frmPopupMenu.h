// The hidden window behind the tray icon: it gets the icon's mouse messages and
// owns the tray menu.
#pragma once

#include "ui/Form.h"
#include "ui/PopupMenu.h"

namespace vorlane::ui {

class FrmPopupMenu : public Form {
public:
    FrmPopupMenu();

    MenuItem mnuProcessing;
    MenuItem mnuPleaseWait;
    MenuItem mnuSep0;
    MenuItem mnuVisitQX;
    MenuItem mnuViewCurrent;
    MenuItem mnuSep1;
    MenuItem mnuEditPreferences;
    MenuItem mnuForce;
    MenuItem mnuSep2;
    MenuItem mnuExit;
    PopupMenu mnuSystrayPopup;

protected:
    void createControls() override;
    LRESULT formMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
};

FrmPopupMenu& frmPopupMenu();

}  // namespace vorlane::ui
