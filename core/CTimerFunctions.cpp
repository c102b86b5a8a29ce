// The scheduler's tasks: the wallpaper countdown, the idle check, the reply time-out and the retry.
#include "core/CTimerFunctions.h"

#include <windows.h>

#include "core/Globals.h"
#include "core/RuntimeError.h"
#include "core/Trap.h"
#include "core/modMisc.h"
#include "ui/frmOptions.h"
#include "webclient/CQXAPI.h"

namespace vorlane {

std::unique_ptr<CTimerFunctions> gTimerFunctions;

namespace {

enum Entry : size_t { ChangeWallpaper, CheckIdle, SockTimeout, NetworkRetry };

bool freezeTicked() { return ui::frmOptions().chkFreeze.Value() != 0; }

}  // namespace

CTimerFunctions::CTimerFunctions()
    : Active_CheckIdle(schedule_, CheckIdle),
      Active_ChangeWallpaper(schedule_, ChangeWallpaper),
      Active_SockTimeout(schedule_, SockTimeout),
      Active_NetworkRetry(schedule_, NetworkRetry) {
    schedule_.add(L"ChangeWallpaper", 1, [this] { TimerFunc_ChangeWallpaper(); });
    schedule_.add(L"CheckIdle", 10, [this] { TimerFunc_CheckIdle(); });
    schedule_.add(L"SockTimeout", 10, [this] { TimerFunc_SockTimeout(); });
    schedule_.add(L"NetworkRetry", 30, [this] { TimerFunc_NetworkRetry(); });
}

void CTimerFunctions::TimerInit() {
    for (size_t entry = 0; entry < schedule_.size(); ++entry) schedule_.switchOff(entry);
}

void CTimerFunctions::TimerTick() { schedule_.tick(); }

void CTimerFunctions::TimerFunc_ChangeWallpaper() {
    if (noMatchingWallpapers || rotationHeld) return;
    ++secondsSinceChange;
    ui::FrmOptions& options = ui::frmOptions();
    if (options.Visible()) options.lblNextRotation.setCaption(getFormattedTimeUntilChange());
    if (secondsSinceChange >= changeIntervalSeconds) {
        gQXAPI->apiForced = false;
        secondsSinceChange = 0;
        gQXAPI->RotateWallpaper();
    }
}

void CTimerFunctions::TimerFunc_CheckIdle() {
    if (freezeTicked() || rotationHeld) return;
    POINT cursor{};
    GetCursorPos(&cursor);

    if (cursor.x != lastCursorX_ || cursor.y != lastCursorY_) {
        idleTicks_ = 0;
        lastCursorX_ = cursor.x;
        lastCursorY_ = cursor.y;
        if (!freezeTicked() && userIsIdle) Active_ChangeWallpaper = true;
        userIsIdle = false;
    } else if (!userIsIdle) {
        // Idle for more than two and a half change intervals: one last change.
        if (changeIntervalSeconds * 2.5 / 10 < idleTicks_) {
            // A change of the schedule's, as the countdown's are: not one the
            // member asked for, whatever an earlier change left behind.
            gQXAPI->apiForced = false;
            gQXAPI->RotateWallpaper();
            Active_ChangeWallpaper = false;
            userIsIdle = true;
        } else {
            ++idleTicks_;
        }
    }
}

void CTimerFunctions::TimerFunc_SockTimeout() {
    gQXAPI->replyTimedOut();
    Active_SockTimeout = false;
}

void CTimerFunctions::TimerFunc_NetworkRetry() {
    if (gQXAPI->apiNetworkRetry()) Active_NetworkRetry = false;
}

std::wstring getFormattedTimeUntilChange() {
    std::wstring text;
    runTrapped(L"getFormattedTimeUntilChange", L"modMisc", [&] {
        const int64_t left = int64_t(changeIntervalSeconds) - secondsSinceChange;
        if (left < INT32_MIN || left > INT32_MAX) raiseError(errnum::Overflow);
        text = formatTimeLeft(static_cast<int32_t>(left));
    });
    return text;
}

}  // namespace vorlane
