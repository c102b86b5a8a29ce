// The error reporter of the trapping procedures and the reports of the errors they catch.
#include "core/Trap.h"

#include <windows.h>

#include <new>
#include <stdexcept>
#include <utility>

#include "core/RuntimeError.h"

namespace vorlane {

namespace {

void reportToDebugger(const std::wstring& where, int32_t number, const std::wstring& description) {
    std::wstring line = where + L": [" + std::to_wstring(number) + L"] " + description + L"\n";
    OutputDebugStringW(line.c_str());
}

ErrorReporter& currentReporter() {
    static ErrorReporter reporter = reportToDebugger;
    return reporter;
}

}  // namespace

ErrorReporter setErrorReporter(ErrorReporter reporter) {
    if (!reporter) reporter = reportToDebugger;
    return std::exchange(currentReporter(), std::move(reporter));
}

void reportError(const std::wstring& where, int32_t number, const std::wstring& description) {
    // Copy first: a reporter may install another while it runs.
    ErrorReporter reporter = currentReporter();
    reporter(where, number, description);
}

std::wstring trapLocation(const wchar_t* procedure, const wchar_t* module) {
    return std::wstring(L"Function ") + procedure + L", " + module;
}

namespace detail {

void reportCurrentException(const std::wstring& where) noexcept {
    // A failing report must not take the program down with it.
    try {
        try {
            throw;
        } catch (const RuntimeError& e) {
            reportError(where, e.number(), e.description());
        } catch (const std::bad_alloc&) {
            reportError(where, errnum::OutOfMemory, standardErrorText(errnum::OutOfMemory));
        } catch (const std::length_error&) {
            reportError(where, errnum::OutOfMemory, standardErrorText(errnum::OutOfMemory));
        } catch (const std::out_of_range&) {
            reportError(where, errnum::SubscriptOutOfRange, standardErrorText(errnum::SubscriptOutOfRange));
        } catch (...) {
            reportError(where, errnum::InternalError, standardErrorText(errnum::InternalError));
        }
    } catch (...) {
    }
}

void reportCurrentException(const wchar_t* procedure, const wchar_t* module) noexcept {
    try {
        reportCurrentException(trapLocation(procedure, module));
    } catch (...) {
    }
}

}  // namespace detail

}  // namespace vorlane
