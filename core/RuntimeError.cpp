// The run-time error object and the standard descriptions of the error numbers.
#include "core/RuntimeError.h"

#include <utility>

namespace vorlane {

namespace {

struct KnownError {
    int32_t number;
    const wchar_t* text;
};

constexpr KnownError kKnownErrors[] = {
    {3, L"Return without GoSub"},
    {5, L"Invalid procedure call or argument"},
    {6, L"Overflow"},
    {7, L"Out of memory"},
    {9, L"Subscript out of range"},
    {10, L"This array is fixed or temporarily locked"},
    {11, L"Division by zero"},
    {13, L"Type mismatch"},
    {14, L"Out of string space"},
    {28, L"Out of stack space"},
    {48, L"Error in loading DLL"},
    {51, L"Internal error"},
    {52, L"Bad file name or number"},
    {53, L"File not found"},
    {54, L"Bad file mode"},
    {55, L"File already open"},
    {57, L"Device I/O error"},
    {58, L"File already exists"},
    {61, L"Disk full"},
    {62, L"Input past end of file"},
    {67, L"Too many files"},
    {68, L"Device unavailable"},
    {70, L"Permission denied"},
    {71, L"Disk not ready"},
    {75, L"Path/File access error"},
    {76, L"Path not found"},
    {91, L"Object variable or With block variable not set"},
    {94, L"Invalid use of Null"},
    {380, L"Invalid property value"},
    {381, L"Invalid property array index"},
    {424, L"Object required"},
    {429, L"ActiveX component can't create object"},
    {438, L"Object doesn't support this property or method"},
    {440, L"Automation error"},
    {453, L"Specified DLL function not found"},
    {457, L"This key is already associated with an element of this collection"},
    {481, L"Invalid picture"},
};

std::string narrowForWhat(int32_t number, const std::wstring& description) {
    std::string text;
    text.reserve(description.size() + 16);
    text += '[';
    text += std::to_string(number);
    text += "] ";
    for (wchar_t c : description) text += (c < 0x80) ? static_cast<char>(c) : '?';
    return text;
}

}  // namespace

std::wstring standardErrorText(int32_t number) {
    for (const auto& known : kKnownErrors)
        if (known.number == number) return known.text;
    return L"Application-defined or object-defined error";
}

RuntimeError::RuntimeError(int32_t number, std::wstring description, std::wstring source)
    : number_(number),
      description_(std::move(description)),
      source_(std::move(source)),
      narrow_(narrowForWhat(number_, description_)) {}

void raiseError(int32_t number, const std::wstring& source) {
    throw RuntimeError(number, standardErrorText(number), source);
}

void raiseError(int32_t number, const std::wstring& description, const std::wstring& source) {
    throw RuntimeError(number, description, source);
}

}  // namespace vorlane
