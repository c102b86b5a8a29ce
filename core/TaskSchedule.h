// The scheduler's table of switchable timed tasks and its due rule, apart from
// what the tasks do. A task switched on runs every `interval` ticks counted from
// the tick it was switched on in, never in that tick itself:
//  - switched on during a tick (by a task that ran before it in the same tick,
//    or by anything between ticks), its first run comes `interval` ticks later;
//  - this holds at any second of the minute, so a one-second task counts every
//    second and a ten-second time-out fires ten seconds after its request.
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

    // The second counter 0..59 that the step advances.
    int32_t second() const { return static_cast<int32_t>(ticks_ % 60); }
    const std::wstring& name(size_t entry) const { return entries_.at(entry).name; }
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::wstring name;
        int32_t interval = 1;
        Task task;
        bool on = false;
        int64_t phase = 0;  // the step count when the entry was switched on
    };

    std::vector<Entry> entries_;
    int64_t ticks_ = 0;  // steps completed
};

}  // namespace vorlane
