// The window and desktop helpers of modMisc.
#include <windows.h>

#include "core/Convert.h"
#include "core/modMisc.h"
#include "core/Trap.h"

namespace vorlane {

namespace {
constexpr const wchar_t* kModule = L"modMisc";
}  // namespace

void setAlwaysOnTop(HWND window, bool onTop) {
    runTrapped(L"setAlwaysOnTop", kModule, [&] {
        SetWindowPos(window, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    });
}

int16_t taskbarHeightOf(double screenHeight, double workAreaHeight) { return toInt16(screenHeight - workAreaHeight); }

float aspectRatioOf(double width, double height) {
    if (height <= 0) return 0.0f;
    return static_cast<float>(roundHalfEven(width / height * 100000.0) / 100000.0);
}

int16_t getTaskbarHeight() {
    int16_t height = 0;
    runTrapped(L"getTaskbarHeight", kModule, [&] {
        RECT workArea{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
        height = taskbarHeightOf(GetSystemMetrics(SM_CYSCREEN), workArea.bottom - workArea.top);
    });
    return height;
}

float getScreenAspectRatio() { return aspectRatioOf(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)); }

}  // namespace vorlane
