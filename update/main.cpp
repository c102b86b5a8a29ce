// The update engine: installs the update archive named on its command line and
// starts the main program again. A run that cannot go on leaves its window
// open until the member closes it.
#include <windows.h>

#include "update/UpdateError.h"
#include "update/UpdateText.h"
#include "update/frmMain.h"

using namespace vorlane::updater;

namespace {

void showRuntimeError(const UpdateError& error) {
    MessageBoxW(nullptr, runtimeErrorMessage(error).c_str(), kProgramTitle, MB_OK | MB_ICONERROR);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    FrmMain form;
    try {
        form.Load(commandArguments(GetCommandLineW()));
    } catch (const UpdateError& error) {
        showRuntimeError(error);
        return 0;
    } catch (const std::bad_alloc&) {
        showRuntimeError(UpdateError(errnum::OutOfMemory, standardErrorText(errnum::OutOfMemory), L"frmMain"));
        return 0;
    } catch (const std::exception&) {
        showRuntimeError(UpdateError(errnum::InternalError, standardErrorText(errnum::InternalError), L"frmMain"));
        return 0;
    }
    if (form.ended()) return 0;

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form.hwnd() && IsDialogMessageW(form.hwnd(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
