// The timer: a window timer of a form that raises Tick at its interval.
#pragma once

#include <windows.h>

#include "ui/kit/Control.h"

namespace vorlane::ui {

class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    EventHandler Tick;  // the timer's event

    void create(Form& form, UINT interval, bool enabled);
    bool Enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    UINT Interval() const { return interval_; }
    void setInterval(UINT interval);

private:
    void arm();
    Form* form_ = nullptr;
    UINT_PTR id_ = 0;
    UINT interval_ = 0;
    bool enabled_ = false;

    friend class Form;
};

}  // namespace vorlane::ui
