// Running the thread's pending window messages from inside a handler.
#include "core/MessageLoop.h"

#include <windows.h>

namespace vorlane {

bool doEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));  // leave it for the main loop
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

bool waitThenDoEvents(unsigned long waitMilliseconds) {
    MsgWaitForMultipleObjectsEx(0, nullptr, waitMilliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    return doEvents();
}

}  // namespace vorlane
