// Collecting the reports of trapped errors while a test runs.
#include "tests/support/ErrorCapture.h"

namespace vorlane::test {

ErrorCapture::ErrorCapture() {
    previous_ = setErrorReporter([this](const std::wstring& where, int32_t number, const std::wstring& description) {
        reports_.push_back({where, number, description});
    });
}

ErrorCapture::~ErrorCapture() { setErrorReporter(previous_); }

}  // namespace vorlane::test
