// The tray program's entry point. The main window's load is the start-up; after
// it the message loop runs until the program ends, which it does through
// exitVorlane from whatever handler decides so.
#include <windows.h>

#include "core/ComApartment.h"
#include "ui/kit/Form.h"
#include "ui/frmMain.h"
#include "ui/frmSlideMessage.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace vorlane;
    ui::enableDpiAwareness();
    // MSXML and WIC are used from this, the only thread.
    const ComApartment com;
    ui::installErrorReporter();
    ui::startVorlane();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (ui::translateFormMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // Nothing asks the loop to end; should it, leave as exitVorlane leaves, with
    // the tray icon gone and nothing else torn down.
    ui::frmMain().exitVorlane(true);
    return 0;
}
