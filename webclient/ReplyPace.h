// How long an API reply may take. Ten seconds without a byte end it; so does a
// reply that falls too far behind the slowest line a member may have: every
// byte buys 1/slowestRate of a second, and no more than grace can be saved up,
// so a slow but steady reply always finishes and a drip never does. However
// steady it is, a whole exchange ends after longest: every request queued
// behind it waits for it.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace vorlane {

class ReplyPace {
public:
    using Clock = std::chrono::steady_clock;

    // Tests shorten them; the defaults suit real use.
    struct Limits {
        std::chrono::milliseconds silence{10'000};
        // Time the service may take before its first byte, and the most a fast
        // start may save up for a slow end.
        std::chrono::milliseconds grace{30'000};
        // Bytes a second, on average: the slowest dial-up or mobile line keeps it up.
        int64_t slowestRate = 2048;
        // The most a whole exchange may take. The largest reply the service
        // sends, a gallery list of about 100 KB, needs under a minute at the
        // slowest rate; five minutes hold the grace and then some 550 KB at
        // that rate, more than five such lists. A reply that only keeps up the
        // pace (a proxy's endless page) holds the queue no longer than this,
        // not the half hour the 4 MB reply limit would allow.
        std::chrono::milliseconds longest{300'000};
    };

    // The request went out.
    void start(const Limits& limits, Clock::time_point now = Clock::now()) {
        limits_ = limits;
        received_ = 0;
        started_ = now;
        lastArrival_ = now;
        keptUpUntil_ = now + limits.grace;
    }

    // The reply has grown to received bytes in all.
    void arrived(int64_t received, Clock::time_point now = Clock::now()) {
        const int64_t rate = std::max<int64_t>(limits_.slowestRate, 1);
        const auto bought = std::chrono::microseconds(std::max<int64_t>(received - received_, 0) * 1'000'000 / rate);
        received_ = std::max(received, received_);
        lastArrival_ = now;
        keptUpUntil_ = std::min<Clock::time_point>(keptUpUntil_ + bought, now + limits_.grace);
    }

    Clock::time_point deadline() const {
        return std::min({lastArrival_ + limits_.silence, keptUpUntil_, started_ + limits_.longest});
    }
    bool overdue(Clock::time_point now = Clock::now()) const { return now >= deadline(); }

private:
    Limits limits_;
    int64_t received_ = 0;
    Clock::time_point started_;
    Clock::time_point lastArrival_;
    Clock::time_point keptUpUntil_;
};

}  // namespace vorlane
