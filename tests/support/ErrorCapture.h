// Collects what trapping procedures report while a test runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Trap.h"

namespace vorlane::test {

struct ErrorReport {
    std::wstring where;
    int32_t number = 0;
    std::wstring description;
};

class ErrorCapture {
public:
    ErrorCapture();
    ~ErrorCapture();
    ErrorCapture(const ErrorCapture&) = delete;
    ErrorCapture& operator=(const ErrorCapture&) = delete;

    const std::vector<ErrorReport>& reports() const { return reports_; }
    bool empty() const { return reports_.empty(); }

private:
    std::vector<ErrorReport> reports_;
    ErrorReporter previous_;
};

}  // namespace vorlane::test
