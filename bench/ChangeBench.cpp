// One whole wallpaper change on loopback, on a 3840 by 2160 screen: from
// RotateWallpaper through the query, the reply, the JPEG's download and its
// conversion to the bitmap the desktop is set to. Beside it, the floor: the
// same JPEG decoded and written as the bitmap alone. The best of a few rounds
// of each counts.
//
//   change_ms        RotateWallpaper to the wallpaper set
//   decode_floor_ms  decoding the downloaded picture and writing the bitmap
//   change_ratio     the first over the second
//
// Needs the stand-in that tools/run-benches starts, and the virtual screen
// `make bench` gives it.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "bench/BenchClock.h"
#include "core/CTimerFunctions.h"
#include "core/ComApartment.h"
#include "core/Globals.h"
#include "tests/support/MessagePump.h"
#include "tests/support/QuorvexService.h"
#include "tests/support/TestFiles.h"
#include "ui/frmDownloading.h"
#include "ui/frmMain.h"
#include "ui/frmOptions.h"
#include "webclient/CQXAPI.h"
#include "webclient/PictureConverter.h"

using namespace vorlane;
using bench::Clock;

namespace {

constexpr int kRounds = 9;

// Sets the program up as start-up and login leave it, asking for the one
// 16:9 wallpaper with the tag "trees".
void prepare(const test::QuorvexService& service, const std::wstring& folder) {
    SetEnvironmentVariableW(L"VORLANE_SERVICE", service.address().c_str());
    dataFolder = folder + L"\\";
    screenAspectRatio = L"1.77778";
    activeSourceTab = 1;
    gTimerFunctions = std::make_unique<CTimerFunctions>();
    gTimerFunctions->TimerInit();
    gQXAPI = std::make_unique<CQXAPI>();
    gQXAPI->apiUsername = L"benchmark";
    ui::FrmMain& main = ui::frmMain();
    main.tmrMain.setEnabled(false);
    main.txtTagName.setText(L"trees");
    main.cboGallery.setText(L"All Galleries");
    main.cboCategory.setText(L"All Categories");
    ui::frmOptions().txtRating.setText(L"0");
}

double timeChange() {
    gQXAPI->apiActiveWallpaper = 0;
    const Clock::time_point start = Clock::now();
    gQXAPI->RotateWallpaper();
    const bool applied = test::pumpUntil(
        [] { return gQXAPI->apiActiveWallpaper != 0 && !ui::formInstance<ui::FrmDownloading>().isLoaded(); },
        std::chrono::minutes(2));
    const double ms = bench::elapsedSince<std::milli>(start);
    if (!applied) throw std::runtime_error("the change did not end with a wallpaper");
    return ms;
}

double timeFloor(const std::wstring& picture, const std::wstring& bitmap) {
    const Clock::time_point start = Clock::now();
    convertPictureToBitmap(picture, bitmap);
    return bench::elapsedSince<std::milli>(start);
}

}  // namespace

int main() {
    try {
        ComApartment com;
        if (GetSystemMetrics(SM_CXSCREEN) != 3840 || GetSystemMetrics(SM_CYSCREEN) != 2160)
            std::fprintf(stderr, "note: the screen is %dx%d, not 3840x2160\n", GetSystemMetrics(SM_CXSCREEN),
                         GetSystemMetrics(SM_CYSCREEN));
        test::QuorvexService service;
        test::TempDir folder;
        prepare(service, folder.path());

        timeChange();  // the service makes the picture once; the rounds fetch it made
        double change = 1e9, floor = 1e9;
        for (int round = 0; round < kRounds; ++round) {
            change = std::min(change, timeChange());
            floor = std::min(floor, timeFloor(dataFolder + L"qx_wall_active", folder.file(L"floor.bmp")));
        }
        std::printf("change_ms %.1f ms\n", change);
        std::printf("decode_floor_ms %.1f ms\n", floor);
        std::printf("change_ratio %.2f x\n", change / floor);
        gQXAPI.reset();
        gTimerFunctions.reset();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "change benchmark: %s\n", e.what());
        return 1;
    }
}
