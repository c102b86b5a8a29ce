// Conversion between the program's UTF-16 text and the bytes of the system's
// ANSI code page, used only where the wire or a digest needs bytes. Characters
// the code page cannot hold become "?", as the platform converts them.
#pragma once

#include <string>
#include <string_view>

namespace vorlane {

std::string toAnsi(std::wstring_view text);
std::wstring fromAnsi(std::string_view bytes);

}  // namespace vorlane
