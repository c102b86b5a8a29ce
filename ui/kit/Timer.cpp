// The timer: arming and stopping its form's window timer.
#include "ui/kit/Timer.h"

#include "ui/kit/Form.h"

namespace vorlane::ui {

void Timer::create(Form& form, UINT interval, bool enabled) {
    form_ = &form;
    id_ = form.registerTimer(*this);
    interval_ = interval;
    enabled_ = enabled;
    Tick = nullptr;
    arm();
}

void Timer::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    arm();
}

void Timer::setInterval(UINT interval) {
    interval_ = interval;
    arm();
}

void Timer::arm() {
    if (!form_ || !form_->hwnd()) return;
    if (enabled_ && interval_ > 0)
        SetTimer(form_->hwnd(), id_, interval_, nullptr);
    else
        KillTimer(form_->hwnd(), id_);
}

}  // namespace vorlane::ui
