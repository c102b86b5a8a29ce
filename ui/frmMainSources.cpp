// The main window's picture-source controls: the tabs, the tag rule and the
// gallery and category boxes.
#include "ui/frmMain.h"

namespace vorlane::ui {

bool FrmMain::validateTagName() { return false; }

}  // namespace vorlane::ui
