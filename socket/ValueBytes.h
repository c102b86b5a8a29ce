// The byte layouts of the typed socket values: text in the ANSI code page,
// byte arrays as they are, numbers little-endian, Boolean as a 16-bit word with
// all bits set for True, currency as a 64-bit count of ten-thousandths, dates as
// their double day number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "socket/SocketValue.h"

namespace vorlane {

// The type code of the value a variable holds (Empty for monostate).
VarType varTypeOf(const SocketValue& value);

// The bytes a value is sent as; nullopt for a type that has no layout.
std::optional<ByteArray> valueBytes(const SocketValue& value);

// Bytes a fixed-size type occupies: Boolean 2, Byte 1, Integer 2, Long 4,
// Single 4, Double, Currency and Date 8. 0 for text, byte arrays and anything else.
size_t fixedSizeOf(VarType type);

// The value of a fixed-size type read from the first fixedSizeOf(type) bytes.
// A Boolean is True when any bit is set.
SocketValue valueFromBytes(VarType type, std::span<const uint8_t> bytes);

}  // namespace vorlane
