#include "core/TaskSchedule.h"

#include <utility>

namespace vorlane {

size_t TaskSchedule::add(std::wstring name, int32_t intervalSeconds, Task task) {
    entries_.push_back({std::move(name), intervalSeconds < 1 ? 1 : intervalSeconds, std::move(task)});
    return entries_.size() - 1;
}

void TaskSchedule::switchOn(size_t entry) {
    Entry& e = entries_.at(entry);
    e.phase = ticks_;
    e.on = true;
}

void TaskSchedule::switchOff(size_t entry) { entries_.at(entry).on = false; }

void TaskSchedule::tick() {
    // By index: a task may switch entries while we walk the table.
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (!e.on) continue;
        const int64_t elapsed = ticks_ - e.phase;
        if (elapsed > 0 && elapsed % e.interval == 0) {
            Task task = e.task;  // the table stays put, but keep the callable alive while it runs
            task();
        }
    }
    ++ticks_;
}

}  // namespace vorlane
