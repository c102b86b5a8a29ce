// The clock the benchmarks time their rounds by.
#pragma once

#include <chrono>

namespace vorlane::bench {

using Clock = std::chrono::steady_clock;

// The time since start, in the unit Period gives (std::milli, std::micro).
template <typename Period>
double elapsedSince(Clock::time_point start) {
    return std::chrono::duration<double, Period>(Clock::now() - start).count();
}

}  // namespace vorlane::bench
