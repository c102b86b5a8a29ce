// Running the test thread's window messages until something has happened.
#include "tests/support/MessagePump.h"

#include <windows.h>

namespace vorlane::test {

namespace {

// One message at a time, so the caller sees every state between two of them.
bool dispatchOne() {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

}  // namespace

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done()) return true;
        const bool dispatched = dispatchOne();
        if (done()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        if (dispatched) continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left < 50 ? left : 50), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

void pumpFor(std::chrono::milliseconds duration) {
    pumpUntil([] { return false; }, duration);
}

}  // namespace vorlane::test
