// Text between the program's UTF-16 and the bytes of other code pages: the
// system's ANSI code page for the unzip routines' texts, and the two encodings
// zip archives store member names in.
#pragma once

#include <string>
#include <string_view>

namespace vorlane::updater {

// Characters the ANSI code page cannot hold become "?".
std::string toAnsi(std::wstring_view text);
std::wstring fromAnsi(std::string_view bytes);

// A member name as stored: UTF-8 when the archive says so, else code page 437.
std::wstring fromMemberName(std::string_view bytes, bool utf8);

// Whether the bytes are UTF-8 that every reader decodes alike: no stray or
// overlong sequences, no halves of surrogate pairs.
bool isValidUtf8(std::string_view bytes);

}  // namespace vorlane::updater
