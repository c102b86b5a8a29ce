// The MD5 message digest (RFC 1321), computed incrementally so that a file of
// any size is digested in constant memory.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlane {

class Md5 {
public:
    using Digest = std::array<uint8_t, 16>;

    void update(const void* data, size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }

    // Ends the message; the object must not be updated afterwards.
    Digest finish();

    // The digest as 32 lowercase hexadecimal characters.
    static std::wstring hex(const Digest& digest);
    static std::wstring hexOf(std::string_view bytes);

private:
    void transform(const uint8_t block[64]);

    std::array<uint32_t, 4> state_{0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};
    uint64_t length_ = 0;  // bytes seen
    std::array<uint8_t, 64> buffer_{};
    size_t buffered_ = 0;
};

}  // namespace vorlane
