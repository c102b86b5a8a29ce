// Running the test thread's window messages, as the program's message loop
// would, until something has happened.
#pragma once

#include <chrono>
#include <functional>

namespace vorlane::test {

// Dispatches messages until done() is true or the time is up; answers done().
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20));

// Dispatches messages for the given time.
void pumpFor(std::chrono::milliseconds duration);

}  // namespace vorlane::test
