// The update engine's run-time errors and their descriptions.
#include "update/UpdateError.h"

namespace vorlane::updater {

UpdateError::UpdateError(int32_t number_, std::wstring description_, std::wstring source_)
    : std::runtime_error("update engine error " + std::to_string(number_)),
      number(number_),
      description(std::move(description_)),
      source(std::move(source_)) {}

std::wstring standardErrorText(int32_t number) {
    switch (number) {
    case errnum::InvalidCall: return L"Invalid procedure call or argument";
    case errnum::Overflow: return L"Overflow";
    case errnum::OutOfMemory: return L"Out of memory";
    case errnum::InternalError: return L"Internal error";
    case errnum::FileNotFound: return L"File not found";
    case errnum::PathFileAccess: return L"Path/File access error";
    default: return L"Application-defined or object-defined error";
    }
}

void raiseError(int32_t number, const std::wstring& source) {
    throw UpdateError(number, standardErrorText(number), source);
}

std::wstring runtimeErrorMessage(const UpdateError& error) {
    return L"Run-time error '" + std::to_wstring(error.number) + L"':\r\n\r\n" + error.description;
}

}  // namespace vorlane::updater
