// The CRC-32 of zip archives.
#include "update/zip/Crc32.h"

#include <array>

namespace vorlane::updater {

namespace {

constexpr std::array<uint32_t, 256> makeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kTable = makeTable();

}  // namespace

uint32_t crc32Step(uint32_t crc, uint8_t byte) { return kTable[(crc ^ byte) & 0xFF] ^ (crc >> 8); }

uint32_t crc32Update(uint32_t crc, std::string_view bytes) {
    crc = ~crc;
    for (char c : bytes) crc = crc32Step(crc, static_cast<uint8_t>(c));
    return ~crc;
}

}  // namespace vorlane::updater
