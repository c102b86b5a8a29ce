// CTimerFunctions: the program's timed work, driven by the main window's
// one-second clock: the countdown to the next wallpaper change, the idle check,
// the API reply time-out and the network retry. One instance, gTimerFunctions.
//
// Each task is switched on and off through its Active_ flag; switching it on
// also starts its count from the current tick:
//
//     gTimerFunctions->Active_SockTimeout = true;   // a request went out
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/TaskSchedule.h"

namespace vorlane {

class CTimerFunctions {
    TaskSchedule schedule_;  // first: the switches below refer to it

public:
    // A task's on/off switch.
    class TaskSwitch {
    public:
        TaskSwitch(TaskSchedule& schedule, size_t entry) : schedule_(schedule), entry_(entry) {}
        TaskSwitch& operator=(bool on) {
            on ? schedule_.switchOn(entry_) : schedule_.switchOff(entry_);
            return *this;
        }
        operator bool() const { return schedule_.isOn(entry_); }

    private:
        TaskSchedule& schedule_;
        size_t entry_;
    };

    CTimerFunctions();
    CTimerFunctions(const CTimerFunctions&) = delete;
    CTimerFunctions& operator=(const CTimerFunctions&) = delete;

    // The schedule in examination order: "1-ChangeWallpaper", "10-CheckIdle",
    // "10-SockTimeout", "30-NetworkRetry".
    const TaskSchedule& TimerFunctionsCol() const { return schedule_; }

    TaskSwitch Active_CheckIdle;
    TaskSwitch Active_ChangeWallpaper;
    TaskSwitch Active_SockTimeout;
    TaskSwitch Active_NetworkRetry;
    // The countdown and the idle check stand still while the service's answers
    // cannot be trusted; the reply time-out and the network retry run on.
    bool rotationHeld = false;

    // Builds the schedule with every task off.
    void TimerInit();
    // One step of the clock: every task that is on and due runs.
    void TimerTick();

    // The scheduler's second counter, 0 to 59.
    int32_t timerSecond() const { return schedule_.second(); }

    void TimerFunc_ChangeWallpaper();
    void TimerFunc_CheckIdle();
    void TimerFunc_SockTimeout();
    void TimerFunc_NetworkRetry();

private:
    // The idle check's memory between calls.
    int32_t lastCursorX_ = 0;
    int32_t lastCursorY_ = 0;
    int32_t idleTicks_ = 0;
};

// The program's one scheduler, made at start-up.
extern std::unique_ptr<CTimerFunctions> gTimerFunctions;

// The time left to the next wallpaper change as text ("3:05:09", "1 Day, 2:00:00").
std::wstring getFormattedTimeUntilChange();

}  // namespace vorlane
