// The traditional password cipher of zip archives: three keys turned by every
// plain byte. Weak, but what password-protected archives commonly use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vorlane::updater {

class ZipCipher {
public:
    static constexpr size_t kHeaderSize = 12;

    explicit ZipCipher(std::string_view password);

    // Decrypts the member's 12-byte header in place; answers whether its last
    // byte is the check byte, as it is when the password is right (and, by
    // chance, for one wrong password in 256: the CRC check catches those).
    bool acceptsHeader(char* header, uint8_t checkByte);

    void decrypt(char* data, size_t length);

private:
    uint8_t streamByte() const;
    void turnKeys(uint8_t plain);

    uint32_t key0_ = 0x12345678;
    uint32_t key1_ = 0x23456789;
    uint32_t key2_ = 0x34567890;
};

}  // namespace vorlane::updater
