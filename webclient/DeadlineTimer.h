// A deadline on the thread's message queue: once the time is up, the next
// message loop to run (the main one or any nested one) calls the handler.
// Nothing waits; a timer that is destroyed or disarmed never calls.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

namespace vorlane {

class DeadlineTimer {
public:
    explicit DeadlineTimer(std::function<void()> expired) : expired_(std::move(expired)) {}
    ~DeadlineTimer() { disarm(); }
    DeadlineTimer(const DeadlineTimer&) = delete;
    DeadlineTimer& operator=(const DeadlineTimer&) = delete;

    // Calls the handler once, after delay; replaces an earlier arming. False
    // when the system has no timer left to give.
    bool arm(std::chrono::milliseconds delay);
    void disarm();

private:
    static void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD);

    std::function<void()> expired_;
    UINT_PTR id_ = 0;
    std::chrono::steady_clock::time_point due_;
};

}  // namespace vorlane
