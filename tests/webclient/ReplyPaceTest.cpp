// The pace an API reply must keep, on a clock of the test's own: what a real
// line delivers arrives whole; what only looks alive ends, and when.
#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "webclient/ReplyPace.h"

using namespace vorlane;
using namespace std::chrono_literals;

namespace {

struct Pace {
    const char* name;
    int64_t firstBytes;      // at once, a moment after the request
    int64_t bytesPerSecond;  // then a piece every half second
    int64_t size;            // 0: endless
    std::optional<std::pair<std::chrono::seconds, std::chrono::seconds>> endsBetween;  // none: arrives whole
};

const Pace kPaces[] = {
    {"ListAtSixKilobytesASecond", 0, 6 * 1024, 100'000, {}},
    {"ListAtTheSlowestRate", 0, 2048, 100'000, {}},
    {"FiveListsAtTheSlowestRate", 0, 2048, 500'000, {}},
    // The fast start saves up no more than the grace for the drip.
    {"FastStartThenADrip", 100'000, 100, 0, std::pair{30s, 40s}},
    {"EndlessAtTheSlowestRate", 0, 2048, 0, std::pair{300s, 301s}},
};

}  // namespace

TEST(ReplyPace, ARealReplyArrivesWholeAndOneThatOnlyLooksAliveEnds) {
    for (const Pace& c : kPaces) {
        SCOPED_TRACE(c.name);
        ReplyPace pace;
        const ReplyPace::Clock::time_point start;
        pace.start({}, start);
        int64_t received = 0;
        std::optional<std::chrono::milliseconds> ended;
        const auto arrive = [&](std::chrono::milliseconds at, int64_t bytes) {
            received = c.size ? std::min(received + bytes, c.size) : received + bytes;
            pace.arrived(received, start + at);
            if (pace.overdue(start + at)) ended = at;
        };
        if (c.firstBytes) arrive(100ms, c.firstBytes);
        for (auto at = 500ms; !ended && (!c.size || received < c.size) && at < 1h; at += 500ms)
            arrive(at, c.bytesPerSecond / 2);
        if (!c.endsBetween) {
            EXPECT_FALSE(ended) << ended->count() << " ms";
            continue;
        }
        ASSERT_TRUE(ended);
        EXPECT_GE(*ended, c.endsBetween->first);
        EXPECT_LE(*ended, c.endsBetween->second);
    }
}
