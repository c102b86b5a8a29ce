// The update engine's run-time errors: a number, its standard description and
// where it arose. The run traps none of them; the program ends with a message
// box that gives the number and the description.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vorlane::updater {

namespace errnum {
constexpr int32_t InvalidCall = 5;
constexpr int32_t Overflow = 6;
constexpr int32_t OutOfMemory = 7;
constexpr int32_t InternalError = 51;
constexpr int32_t FileNotFound = 53;
constexpr int32_t PathFileAccess = 75;
}  // namespace errnum

class UpdateError : public std::runtime_error {
public:
    UpdateError(int32_t number, std::wstring description, std::wstring source);

    int32_t number;
    std::wstring description;
    std::wstring source;
};

// "Overflow", "File not found", ... for the numbers above.
std::wstring standardErrorText(int32_t number);

[[noreturn]] void raiseError(int32_t number, const std::wstring& source);

// "Run-time error '53':", a blank line, then the description.
std::wstring runtimeErrorMessage(const UpdateError& error);

}  // namespace vorlane::updater
