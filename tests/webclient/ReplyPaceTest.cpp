// The pace an API reply must keep, on a clock of the test's own.
#include <gtest/gtest.h>

#include "webclient/ReplyPace.h"

using namespace std::chrono_literals;

// A start, then a piece every half second: a real reply arrives whole; one
// that only looks alive ends, and when.
TEST(ReplyPace, ARealReplyArrivesWholeAndOneThatOnlyLooksAliveEnds) {
    const struct {
        int64_t firstPiece, bytesPerSecond, size;  // size 0: endless
        std::chrono::seconds endsFrom, endsBy;     // 0: it arrives whole
    } paces[] = {
        {0, 6 * 1024, 100'000, 0s, 0s},
        {0, 2048, 500'000, 0s, 0s},     // five gallery lists at the slowest rate
        {100'000, 100, 0, 30s, 40s},    // a fast start saves up no more than the grace for a drip
        {0, 2048, 0, 300s, 301s},       // the slowest rate for ever
    };
    for (const auto& c : paces) {
        SCOPED_TRACE(c.bytesPerSecond);
        vorlane::ReplyPace pace;
        const vorlane::ReplyPace::Clock::time_point start;
        pace.start({}, start);
        int64_t received = 0;
        auto at = 0ms;
        for (bool ended = false; !ended && (!c.size || received < c.size) && at < 1h;) {
            at += 500ms;
            received += at == 500ms ? c.firstPiece : c.bytesPerSecond / 2;
            pace.arrived(received, start + at);
            ended = pace.overdue(start + at);
        }
        EXPECT_TRUE(c.endsBy == 0s ? received >= c.size : at >= c.endsFrom && at <= c.endsBy) << at.count();
    }
}
