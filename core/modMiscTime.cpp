// The countdown text of modMisc: time left to the next wallpaper change.
#include "core/modMisc.h"

#include "core/Trap.h"

namespace vorlane {

std::wstring formatTimeLeft(int32_t secondsLeft) {
    int32_t days = 0, hours = 0, minutes = 0, seconds = secondsLeft;
    if (secondsLeft >= 0) {
        days = secondsLeft / 86400;
        hours = (secondsLeft % 86400) / 3600;
        minutes = (secondsLeft % 3600) / 60;
        seconds = secondsLeft % 60;
    }
    std::wstring text;
    if (days >= 1) text = std::to_wstring(days) + (days == 1 ? L" Day, " : L" Days, ");
    auto twoDigits = [](int32_t n) {
        const int64_t magnitude = n < 0 ? -int64_t(n) : n;
        return (n < 0 ? L"-" : L"") + std::wstring(magnitude < 10 ? L"0" : L"") + std::to_wstring(magnitude);
    };
    text += std::to_wstring(hours) + L":" + twoDigits(minutes) + L":" + twoDigits(seconds);
    return text;
}

}  // namespace vorlane
