// The English texts of the Winsock errors the socket layer reports, and the
// small conversions between Winsock's 16-bit and pointer values and the
// program's numbers and texts.
#pragma once

#include <cstdint>
#include <string>

namespace vorlane {

// The text of a Winsock error number; "Unknown error." for any other number.
std::wstring WinsockErrorText(int32_t code);

// Raises the Winsock error code with its text and the given source.
[[noreturn]] void raiseWinsockError(int32_t code, const std::wstring& source);

// Bits 16..31 and 0..15 of a value, each read as an unsigned number.
constexpr int32_t HighWord(int32_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value) >> 16); }
constexpr int32_t LowWord(int32_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) & 0xFFFF);
}

// A port 0..65535 in the signed 16-bit form of the byte-order calls; any other
// value raises Overflow (6).
int16_t PortToShort(int32_t port);
constexpr int32_t ShortToPort(int16_t value) { return value < 0 ? value + 65536 : value; }

// The text of a NUL-terminated string in the ANSI code page; empty for null.
std::wstring StringFromPointer(const char* text);

}  // namespace vorlane
