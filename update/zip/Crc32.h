// CRC-32 as zip archives use it (polynomial 0xEDB88320).
#pragma once

#include <cstdint>
#include <string_view>

namespace vorlane::updater {

// One step of the register, without the inversions around a whole run; the
// archive cipher's keys are turned by it.
uint32_t crc32Step(uint32_t crc, uint8_t byte);

// The running CRC of the bytes so far: start with 0, feed pieces in order.
uint32_t crc32Update(uint32_t crc, std::string_view bytes);

}  // namespace vorlane::updater
