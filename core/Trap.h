// The trapping convention of the main program: a procedure that traps its errors
// runs its body through runTrapped. Any error escaping the body is handed to the
// error reporter with the procedure's location text, and the procedure then goes on
// to return whatever result it held at that moment.
//
//     bool CQXAPI::APISend(...) {
//         bool ok = false;
//         runTrapped(L"APISend", L"CQXAPI", [&] { ...; ok = true; });
//         return ok;
//     }
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace vorlane {

using ErrorReporter =
    std::function<void(const std::wstring& where, int32_t number, const std::wstring& description)>;

// Installs the program-wide reporter and returns the one it replaces. The window
// layer installs the notification window's report; until then reports go to the
// debugger output.
ErrorReporter setErrorReporter(ErrorReporter reporter);

// Hands one report to the current reporter.
void reportError(const std::wstring& where, int32_t number, const std::wstring& description);

// "Function " + procedure + ", " + module, as every trapping procedure reports.
std::wstring trapLocation(const wchar_t* procedure, const wchar_t* module);

namespace detail {
// Reports the exception in flight (called from inside a catch block).
void reportCurrentException(const std::wstring& where) noexcept;
void reportCurrentException(const wchar_t* procedure, const wchar_t* module) noexcept;
}

// Runs body; an error escaping it is reported at the location text where.
// Returns false when an error was trapped.
template <class Body>
bool runTrappedAt(const std::wstring& where, Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (...) {
        detail::reportCurrentException(where);
        return false;
    }
}

// As runTrapped, but an error is reported only when tell(), asked once it has
// happened, agrees.
template <class Tell, class Body>
bool runTrappedTelling(const wchar_t* procedure, const wchar_t* module, Tell&& tell, Body&& body) noexcept {
    try {
        body();
        return true;
    } catch (...) {
        bool report = true;
        try {
            report = tell();
        } catch (...) {
        }
        if (report) detail::reportCurrentException(procedure, module);
        return false;
    }
}

template <class Body>
bool runTrapped(const wchar_t* procedure, const wchar_t* module, Body&& body) noexcept {
    return runTrappedTelling(procedure, module, [] { return true; }, std::forward<Body>(body));
}

// The message dispatch's trap: runs the handling of one message and returns its
// result. An error that no handler trapped is reported once with the location of
// procedure and module, and the message then gets the window's default handling
// (standard), as if no handler of ours had been there: a paint that failed still
// validates its region instead of coming back at once, and no error unwinds
// through the platform's dispatch and ends the program.
template <class Body, class Standard>
auto runDispatchTrapped(const wchar_t* procedure, const wchar_t* module, Body&& body, Standard&& standard) noexcept
    -> decltype(body()) {
    try {
        return body();
    } catch (...) {
        detail::reportCurrentException(procedure, module);
    }
    return standard();
}

}  // namespace vorlane
