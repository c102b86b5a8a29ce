// The socket object's own error numbers and their descriptions.
#pragma once

#include <cstdint>

namespace vorlane::sockerr {

constexpr int32_t WrongState = 40006;
constexpr const wchar_t* WrongStateText =
    L"Wrong protocol or connection state for the requested transaction or request";

constexpr int32_t BadArgument = 40014;
constexpr const wchar_t* BadArgumentText =
    L"The argument passed to a function was not in the correct format or in the specified range.";
constexpr const wchar_t* InvalidArgumentText = L"Invalid argument";

constexpr int32_t UnsupportedType = 40018;
constexpr const wchar_t* UnsupportedTypeText = L"Unsupported variant type.";

constexpr int32_t InvalidOperation = 40020;
constexpr const wchar_t* InvalidOperationText = L"Invalid operation at current state";

}  // namespace vorlane::sockerr
