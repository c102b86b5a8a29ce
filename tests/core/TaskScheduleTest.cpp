// Tests of the timed tasks' table and due rule.
#include <gtest/gtest.h>

#include <vector>

#include "core/TaskSchedule.h"

using namespace vorlane;

namespace {

// The four entries of the program's schedule, recording the step of every run.
struct Recorder {
    TaskSchedule schedule;
    std::vector<std::vector<int>> runs = std::vector<std::vector<int>>(4);
    int step = 0;
    size_t wallpaper, idle, timeout, retry;

    Recorder() {
        wallpaper = schedule.add(L"ChangeWallpaper", 1, [this] { runs[0].push_back(step); });
        idle = schedule.add(L"CheckIdle", 10, [this] { runs[1].push_back(step); });
        timeout = schedule.add(L"SockTimeout", 10, [this] { runs[2].push_back(step); });
        retry = schedule.add(L"NetworkRetry", 30, [this] { runs[3].push_back(step); });
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i, ++step) schedule.tick();
    }
};

std::vector<int> everyFrom(int first, int interval, int last) {
    std::vector<int> steps;
    for (int s = first; s <= last; s += interval) steps.push_back(s);
    return steps;
}

}  // namespace

TEST(TaskSchedule, EveryEntryKeepsItsIntervalWhateverSecondItStartsAt) {
    for (int startSecond = 0; startSecond < 60; ++startSecond) {
        SCOPED_TRACE(startSecond);
        Recorder r;
        r.ticks(startSecond);  // switched on between ticks, at this second
        for (size_t e : {r.wallpaper, r.idle, r.timeout, r.retry}) r.schedule.switchOn(e);
        r.ticks(300);
        const int last = startSecond + 299;
        EXPECT_EQ(r.runs[0], everyFrom(startSecond + 1, 1, last));
        EXPECT_EQ(r.runs[1], everyFrom(startSecond + 10, 10, last));
        EXPECT_EQ(r.runs[2], everyFrom(startSecond + 10, 10, last));
        EXPECT_EQ(r.runs[3], everyFrom(startSecond + 30, 30, last));
    }
}

TEST(TaskSchedule, SecondCounterWrapsAfter59) {
    TaskSchedule schedule;
    EXPECT_EQ(schedule.second(), 0);
    for (int i = 0; i < 59; ++i) schedule.tick();
    EXPECT_EQ(schedule.second(), 59);
    schedule.tick();
    EXPECT_EQ(schedule.second(), 0);
}

TEST(TaskSchedule, EntrySwitchedOnByAnEarlierTaskWaitsItsWholeInterval) {
    // The wallpaper task sends a query at step 5, which arms the time-out in the
    // same step, before the time-out is examined.
    Recorder r;
    r.schedule = TaskSchedule();
    r.wallpaper = r.schedule.add(L"ChangeWallpaper", 1, [&] {
        r.runs[0].push_back(r.step);
        if (r.step == 5) r.schedule.switchOn(r.timeout);
    });
    r.idle = r.schedule.add(L"CheckIdle", 10, [] {});
    r.timeout = r.schedule.add(L"SockTimeout", 10, [&] {
        r.runs[2].push_back(r.step);
        r.schedule.switchOff(r.timeout);  // the time-out fires once
    });
    r.schedule.switchOn(r.wallpaper);
    r.ticks(40);
    EXPECT_EQ(r.runs[2], std::vector<int>{15});
}

TEST(TaskSchedule, EntrySwitchedOnByALaterTaskRunsInTheNextStep) {
    // The idle check (examined second) switches the one-second entry back on:
    // one second later it counts again.
    TaskSchedule schedule;
    std::vector<int> wallpaperRuns;
    int step = 0;
    size_t wallpaper = 0;
    wallpaper = schedule.add(L"ChangeWallpaper", 1, [&] { wallpaperRuns.push_back(step); });
    const size_t idle = schedule.add(L"CheckIdle", 10, [&] { schedule.switchOn(wallpaper); });
    schedule.switchOn(idle);
    for (; step < 12; ++step) schedule.tick();
    EXPECT_EQ(wallpaperRuns, std::vector<int>{11});
}

TEST(TaskSchedule, OffEntriesDoNotRunAndSwitchingOnAgainRestartsTheCount) {
    Recorder r;
    r.schedule.switchOn(r.retry);
    r.ticks(20);
    r.schedule.switchOff(r.retry);
    r.ticks(20);
    EXPECT_TRUE(r.runs[3].empty());
    r.schedule.switchOn(r.retry);  // at step 40
    r.ticks(31);
    EXPECT_EQ(r.runs[3], std::vector<int>{70});
    EXPECT_TRUE(r.runs[0].empty());
}

TEST(TaskSchedule, TaskCanSwitchItselfOffAndStaysOff) {
    Recorder r;
    int runs = 0;
    r.schedule = TaskSchedule();
    const size_t once = r.schedule.add(L"Once", 10, [&] {
        ++runs;
        r.schedule.switchOff(0);
    });
    r.schedule.switchOn(once);
    r.ticks(100);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(r.schedule.isOn(once));
}

TEST(TaskSchedule, ATaskInAModalLoopIsNotRunAgainWhileTheClockTicksOnInside) {
    // The retry opens a modal window at step 30 that stays up for 35 seconds:
    // the clock's steps 31 to 65 run inside it. Each other entry runs once in
    // each of its due steps, in there or after; the retry's due step 60 is
    // dropped, and it runs at 90 again.
    Recorder r;
    r.schedule = TaskSchedule();
    const auto recorded = [&](int entry) { return [&r, entry] { r.runs[entry].push_back(r.step); }; };
    r.wallpaper = r.schedule.add(L"ChangeWallpaper", 1, recorded(0));
    r.idle = r.schedule.add(L"CheckIdle", 10, recorded(1));
    r.timeout = r.schedule.add(L"SockTimeout", 10, recorded(2));
    r.retry = r.schedule.add(L"NetworkRetry", 30, [&] {
        r.runs[3].push_back(r.step);
        if (r.runs[3].size() > 1) return;
        for (int inside = 0; inside < 35; ++inside) {
            ++r.step;
            r.schedule.tick();
        }
    });
    for (size_t e : {r.wallpaper, r.idle, r.timeout, r.retry}) r.schedule.switchOn(e);
    r.ticks(100);
    const int last = r.step - 1;
    EXPECT_EQ(last, 134);
    EXPECT_EQ(r.runs[0], everyFrom(1, 1, last));
    EXPECT_EQ(r.runs[1], everyFrom(10, 10, last));
    EXPECT_EQ(r.runs[2], everyFrom(10, 10, last));
    EXPECT_EQ(r.runs[3], (std::vector<int>{30, 90, 120}));
    EXPECT_EQ(r.schedule.second(), (last + 1) % 60);
}
