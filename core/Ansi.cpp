// Conversion between UTF-16 text and the bytes of the system's ANSI code page.
#include "core/Ansi.h"

#include <windows.h>

#include <climits>

#include "core/RuntimeError.h"

namespace vorlane {

std::string toAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    if (text.size() > INT_MAX / 2) raiseError(errnum::OutOfMemory);
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
    return bytes;
}

std::wstring fromAnsi(std::string_view bytes) {
    if (bytes.empty()) return {};
    if (bytes.size() > INT_MAX) raiseError(errnum::OutOfMemory);
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    std::wstring text(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, text.data(), needed);
    return text;
}

}  // namespace vorlane
