// Deadlines on the thread's message queue.
#include "webclient/DeadlineTimer.h"

#include <algorithm>
#include <unordered_map>

#include "core/Trap.h"

namespace vorlane {

namespace {

// Thread timers carry no pointer of their own: the armed ones by their id.
// Never destroyed, so that a timer in an object that outlives it at exit
// still finds it.
std::unordered_map<UINT_PTR, DeadlineTimer*>& armedTimers() {
    static auto* timers = new std::unordered_map<UINT_PTR, DeadlineTimer*>;
    return *timers;
}

}  // namespace

bool DeadlineTimer::arm(std::chrono::milliseconds delay) {
    disarm();
    const auto milliseconds = std::clamp<std::chrono::milliseconds::rep>(delay.count(), USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    due_ = std::chrono::steady_clock::now() + delay;
    id_ = SetTimer(nullptr, 0, static_cast<UINT>(milliseconds), onTimer);
    if (id_ == 0) return false;
    armedTimers()[id_] = this;
    return true;
}

void DeadlineTimer::disarm() {
    if (id_ == 0) return;
    KillTimer(nullptr, id_);
    armedTimers().erase(id_);
    id_ = 0;
}

void CALLBACK DeadlineTimer::onTimer(HWND, UINT, UINT_PTR id, DWORD) {
    // A message left over from a timer already killed finds nothing; its id
    // may belong to another timer of the thread by now, which is left alone.
    const auto found = armedTimers().find(id);
    if (found == armedTimers().end()) return;
    DeadlineTimer& timer = *found->second;
    // Early: a message left over from a killed timer whose id a new one got,
    // or the system's clock ahead of ours. The rest of the time is waited again.
    const auto now = std::chrono::steady_clock::now();
    if (now < timer.due_) {
        timer.arm(std::chrono::ceil<std::chrono::milliseconds>(timer.due_ - now));
        return;
    }
    timer.disarm();
    // The handler may destroy the timer: it runs from a copy.
    const std::function<void()> expired = timer.expired_;
    // Nothing may cross the system's dispatch: what the handler did not trap
    // itself is reported, as the window dispatch reports it.
    runTrapped(L"TimerProc", L"DeadlineTimer", expired);
}

}  // namespace vorlane
