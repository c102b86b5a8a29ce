// The scheduler's table of switchable timed tasks and its due rule, apart from
// what the tasks do. A task switched on runs every `interval` ticks counted from
// the tick it was switched on in, never in that tick itself:
//  - switched on during a tick (by a task that ran before it in the same tick,
//    or by anything between ticks), its first run comes `interval` ticks later;
//  - this holds at any second of the minute, so a one-second task counts every
//    second and a ten-second time-out fires ten seconds after its request.
// A task may run messages (a message box, a modal window) and the clock ticks
// on inside it: those steps run the other tasks as usual, but never the one
// still running. Its runs that fall due meanwhile are dropped, not saved up:
// what it does is under way already (the login window it opened is up, the
// change it started is being made), and repeating it on return would do it
// twice. It runs again at its next due step after it returned.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vorlane {

class TaskSchedule {
public:
    using Task = std::function<void()>;

    // Adds an entry at the end of the examination order; returns its index.
    size_t add(std::wstring name, int32_t intervalSeconds, Task task);

    void switchOn(size_t entry);
    void switchOff(size_t entry);
    bool isOn(size_t entry) const { return entries_.at(entry).on; }

    // One step: every entry that is on and due runs, in table order; a task may
    // switch entries on or off for the rest of the same step.
    void tick();

    // The second counter 0..59 that the step advances (once the step is over).
    int32_t second() const { return static_cast<int32_t>(currentStep() % 60); }
    const std::wstring& name(size_t entry) const { return entries_.at(entry).name; }
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::wstring name;
        int32_t interval = 1;
        Task task;
        bool on = false;
        int64_t phase = 0;  // the step count when the entry was switched on
        bool running = false;
        int64_t lastRun = -1;  // the step it last ran in
    };

    // The step under way, or the next one between steps.
    int64_t currentStep() const { return depth_ > 0 ? ticks_ - 1 : ticks_; }
    void run(size_t entry, int64_t step);

    std::vector<Entry> entries_;
    int64_t ticks_ = 0;  // steps begun
    int depth_ = 0;      // steps under way: more than one inside a task's message loop
};

}  // namespace vorlane
