// The traditional password cipher of zip archives.
#include "update/zip/ZipCipher.h"

#include "update/zip/Crc32.h"

namespace vorlane::updater {

ZipCipher::ZipCipher(std::string_view password) {
    for (char c : password) turnKeys(static_cast<uint8_t>(c));
}

uint8_t ZipCipher::streamByte() const {
    const uint16_t t = static_cast<uint16_t>(key2_ | 2);
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

void ZipCipher::turnKeys(uint8_t plain) {
    key0_ = crc32Step(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xFF)) * 134775813u + 1;
    key2_ = crc32Step(key2_, static_cast<uint8_t>(key1_ >> 24));
}

void ZipCipher::decrypt(char* data, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const uint8_t plain = static_cast<uint8_t>(static_cast<uint8_t>(data[i]) ^ streamByte());
        turnKeys(plain);
        data[i] = static_cast<char>(plain);
    }
}

bool ZipCipher::acceptsHeader(char* header, uint8_t checkByte) {
    decrypt(header, kHeaderSize);
    return static_cast<uint8_t>(header[kHeaderSize - 1]) == checkByte;
}

}  // namespace vorlane::updater
