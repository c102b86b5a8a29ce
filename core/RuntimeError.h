// The program's error object: a run-time error with its number, description and
// source, thrown where a procedure raises an error and caught by the trapping
// procedures (see Trap.h).
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace vorlane {

// Run-time error numbers used across the program.
namespace errnum {
constexpr int32_t InvalidProcedureCall = 5;
constexpr int32_t Overflow = 6;
constexpr int32_t OutOfMemory = 7;
constexpr int32_t SubscriptOutOfRange = 9;
constexpr int32_t DivisionByZero = 11;
constexpr int32_t TypeMismatch = 13;
constexpr int32_t InternalError = 51;
constexpr int32_t BadFileNameOrNumber = 52;
constexpr int32_t FileNotFound = 53;
constexpr int32_t FileAlreadyOpen = 55;
constexpr int32_t DeviceIOError = 57;
constexpr int32_t DiskFull = 61;
constexpr int32_t PermissionDenied = 70;
constexpr int32_t PathFileAccessError = 75;
constexpr int32_t PathNotFound = 76;
constexpr int32_t ObjectNotSet = 91;
constexpr int32_t InvalidPropertyValue = 380;
constexpr int32_t ObjectRequired = 424;
constexpr int32_t CannotCreateObject = 429;
constexpr int32_t AutomationError = 440;
constexpr int32_t KeyAlreadyInCollection = 457;
constexpr int32_t InvalidPicture = 481;
}  // namespace errnum

// The standard English description of a run-time error number, or
// "Application-defined or object-defined error" for numbers without one.
std::wstring standardErrorText(int32_t number);

class RuntimeError : public std::exception {
public:
    RuntimeError(int32_t number, std::wstring description, std::wstring source = {});

    int32_t number() const noexcept { return number_; }
    const std::wstring& description() const noexcept { return description_; }
    const std::wstring& source() const noexcept { return source_; }

    const char* what() const noexcept override { return narrow_.c_str(); }

private:
    int32_t number_;
    std::wstring description_;
    std::wstring source_;
    std::string narrow_;  // for what(): "[number] description"
};

// Raises a run-time error with the standard description of its number.
[[noreturn]] void raiseError(int32_t number, const std::wstring& source = {});

// Raises a run-time error with a description of the caller's own.
[[noreturn]] void raiseError(int32_t number, const std::wstring& description, const std::wstring& source);

}  // namespace vorlane
