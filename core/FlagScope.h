// FlagScope: sets a flag for the length of a scope and gives it back the value
// it had however the scope is left.
#pragma once

#include <utility>

namespace vorlane {

class FlagScope {
public:
    explicit FlagScope(bool& flag, bool value = true) : flag_(flag), previous_(std::exchange(flag, value)) {}
    ~FlagScope() { flag_ = previous_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool previous_;
};

}  // namespace vorlane
