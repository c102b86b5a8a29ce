// The program's two digests: of the member's password (sent at login) and of a
// downloaded update archive (checked against the published one). Both are 32
// lowercase hexadecimal characters, as the service writes them.
#pragma once

#include <string>

namespace vorlane {

// MD5 of the text's bytes in the system's ANSI code page.
std::wstring GetStringMD5(const std::wstring& text);

// MD5 of the file's contents, read in pieces. A missing or unreadable file
// raises an error (53 File not found, 76 Path not found, 70 Permission denied,
// 57 Device I/O error or 75 Path/File access error); it never yields a digest.
std::wstring GetFileMD5(const std::wstring& path);

}  // namespace vorlane
