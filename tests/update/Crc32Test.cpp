// Tests of the CRC-32 of zip archives.
#include "update/zip/Crc32.h"

#include <gtest/gtest.h>

namespace vorlane::updater {
namespace {

TEST(Crc32Test, KnownValues) {
    EXPECT_EQ(crc32Update(0, ""), 0u);
    EXPECT_EQ(crc32Update(0, "123456789"), 0xCBF43926u);
    EXPECT_EQ(crc32Update(0, "The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

TEST(Crc32Test, PiecesGiveTheSameAsTheWhole) {
    uint32_t crc = 0;
    for (std::string_view piece : {"12", "", "3456", "789"}) crc = crc32Update(crc, piece);
    EXPECT_EQ(crc, 0xCBF43926u);
}

}  // namespace
}  // namespace vorlane::updater
