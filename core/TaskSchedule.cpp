// The table of timed tasks and the rule that says which are due at a tick.
#include "core/TaskSchedule.h"

#include <utility>

#include "core/FlagScope.h"

namespace vorlane {

size_t TaskSchedule::add(std::wstring name, int32_t intervalSeconds, Task task) {
    entries_.push_back({std::move(name), intervalSeconds < 1 ? 1 : intervalSeconds, std::move(task)});
    return entries_.size() - 1;
}

void TaskSchedule::switchOn(size_t entry) {
    Entry& e = entries_.at(entry);
    e.phase = currentStep();
    e.on = true;
}

void TaskSchedule::switchOff(size_t entry) { entries_.at(entry).on = false; }

void TaskSchedule::tick() {
    // The step is counted before any task runs: steps that a task's message
    // loop runs are the following ones, never this one again.
    const int64_t step = ticks_++;
    struct UnderWay {
        int& depth;
        explicit UnderWay(int& d) : depth(++d) {}
        ~UnderWay() { --depth; }
    } underWay(depth_);
    // By index: a task may switch entries while we walk the table.
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        // A step nested in a task has run this entry at a later step already.
        if (!e.on || e.running || e.lastRun >= step) continue;
        const int64_t elapsed = step - e.phase;
        if (elapsed > 0 && elapsed % e.interval == 0) run(i, step);
    }
}

void TaskSchedule::run(size_t entry, int64_t step) {
    Entry& e = entries_[entry];
    const FlagScope running(e.running);
    e.lastRun = step;
    Task task = e.task;  // the table stays put, but keep the callable alive while it runs
    task();
}

}  // namespace vorlane
