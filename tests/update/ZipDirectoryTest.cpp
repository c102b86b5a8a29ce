// The directory parser on bytes made here, for the shapes real archives
// rarely show: lying counts, signatures inside comments, 64-bit fields.
#include "update/zip/ZipDirectory.h"

#include <gtest/gtest.h>

#include <functional>

#include "update/zip/ZipFailure.h"

namespace vorlane::updater {
namespace {

void put(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

struct CentralFields {
    std::string name = "a.txt";
    uint32_t packed = 5;
    uint32_t size = 5;
    uint32_t offset = 0;
    std::string extra;
    uint16_t flags = 0;
};

std::string centralEntry(const CentralFields& f) {
    std::string out = "PK\x01\x02";
    put(out, 20, 2);  // made by
    put(out, 20, 2);  // needed
    put(out, f.flags, 2);
    put(out, 8, 2);       // method
    put(out, 0x4AA3, 2);  // time
    put(out, 0x38E4, 2);  // date
    put(out, 0x12345678, 4);
    put(out, f.packed, 4);
    put(out, f.size, 4);
    put(out, f.name.size(), 2);
    put(out, f.extra.size(), 2);
    put(out, 0, 2);  // comment
    put(out, 0, 2);  // disk
    put(out, 1, 2);  // internal: text
    put(out, 0x20, 4);
    put(out, f.offset, 4);
    return out + f.name + f.extra;
}

std::string endRecord(uint16_t entries, uint32_t size, uint32_t offset, const std::string& comment) {
    std::string out = "PK\x05\x06";
    put(out, 0, 2);
    put(out, 0, 2);
    put(out, entries, 2);
    put(out, entries, 2);
    put(out, size, 4);
    put(out, offset, 4);
    put(out, comment.size(), 2);
    return out + comment;
}

UnzipResult failureOf(const std::function<void()>& parse) {
    try {
        parse();
    } catch (const ZipFailure& failure) {
        return failure.code();
    }
    return kUnzipOk;
}

TEST(ZipDirectoryTest, CentralEntriesCarryTheirFields) {
    const std::string directory = centralEntry({"docs/readme.txt", 40, 100, 0, "", 0x0800}) +
                                  centralEntry({"docs/", 0, 0, 90, "", 0});
    const std::vector<ZipEntry> entries = parseCentralDirectory(directory, 2);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "docs/readme.txt");
    EXPECT_TRUE(entries[0].utf8Name);
    EXPECT_TRUE(entries[0].isText());
    EXPECT_FALSE(entries[0].isFolder());
    EXPECT_EQ(entries[0].packedSize, 40u);
    EXPECT_EQ(entries[0].size, 100u);
    EXPECT_EQ(entries[0].crc, 0x12345678u);
    EXPECT_EQ(entries[0].method, kMethodDeflated);
    EXPECT_EQ(entries[0].checkByte(), 0x12);
    EXPECT_TRUE(entries[1].isFolder());
    EXPECT_EQ(entries[1].localHeaderOffset, 90u);
}

TEST(ZipDirectoryTest, ACountThatDoesNotMatchTheDirectoryIsDamage) {
    const std::string one = centralEntry({});
    EXPECT_EQ(failureOf([&] { parseCentralDirectory(one, 2); }), kUnzipBadArchive);
    EXPECT_EQ(failureOf([&] { parseCentralDirectory(one + one, 2000000); }), kUnzipBadArchive);
    EXPECT_EQ(failureOf([&] { parseCentralDirectory(one.substr(0, one.size() - 2), 1); }), kUnzipBadArchive);
    EXPECT_EQ(failureOf([&] { parseCentralDirectory("PK\x03\x04" + one.substr(4), 1); }), kUnzipBadArchive);
}

TEST(ZipDirectoryTest, SaturatedFieldsTakeTheir64BitValues) {
    std::string extra;
    put(extra, 0x0001, 2);
    put(extra, 24, 2);
    put(extra, 0x1'0000'0005ULL, 8);  // size
    put(extra, 0x1'0000'0004ULL, 8);  // packed
    put(extra, 0x2'0000'0000ULL, 8);  // offset
    const auto entries = parseCentralDirectory(centralEntry({"big", 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, extra}), 1);
    EXPECT_EQ(entries[0].size, 0x1'0000'0005ULL);
    EXPECT_EQ(entries[0].packedSize, 0x1'0000'0004ULL);
    EXPECT_EQ(entries[0].localHeaderOffset, 0x2'0000'0000ULL);

    // Only the saturated ones are present, in order.
    std::string onlyOffset;
    put(onlyOffset, 0x0001, 2);
    put(onlyOffset, 8, 2);
    put(onlyOffset, 0x3'0000'0000ULL, 8);
    const auto second = parseCentralDirectory(centralEntry({"x", 7, 9, 0xFFFFFFFF, onlyOffset}), 1);
    EXPECT_EQ(second[0].size, 9u);
    EXPECT_EQ(second[0].localHeaderOffset, 0x3'0000'0000ULL);

    EXPECT_EQ(failureOf([] { parseCentralDirectory(centralEntry({"x", 7, 0xFFFFFFFF, 0, ""}), 1); }),
              kUnzipBadArchive);
}

TEST(ZipDirectoryTest, TheEndRecordIsFoundBehindData) {
    const std::string tail = std::string(100, 'x') + endRecord(3, 200, 1000, "a comment");
    const auto end = findEndRecord(tail, 5000);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->position, 5100u);
    EXPECT_EQ(end->entryCount, 3u);
    EXPECT_EQ(end->directorySize, 200u);
    EXPECT_EQ(end->directoryOffset, 1000u);
    EXPECT_EQ(end->comment, "a comment");
    EXPECT_FALSE(end->saturated);
}

TEST(ZipDirectoryTest, ASignatureInsideTheCommentRefusesTheArchive) {
    // The comment ends with what looks like an end record claiming a comment
    // longer than what follows it: a reader that does not check that finds
    // a directory of its own choosing.
    std::string fake = "PK\x05\x06";
    fake += std::string(16, '\0');
    put(fake, 500, 2);
    EXPECT_EQ(failureOf([&] { findEndRecord(endRecord(1, 46, 0, "note " + fake), 0); }), kUnzipAmbiguous);
}

TEST(ZipDirectoryTest, NoEndRecordInTextOrInACutRecord) {
    EXPECT_FALSE(findEndRecord(std::string(300, 'a'), 0));
    EXPECT_FALSE(findEndRecord("PK\x05\x06", 0));
    const std::string record = endRecord(1, 46, 0, "comment");
    EXPECT_FALSE(findEndRecord(record.substr(0, record.size() - 3), 0));
}

TEST(ZipDirectoryTest, SaturatedEndRecordsPointToThe64BitOne) {
    const auto end = findEndRecord(endRecord(0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, ""), 0);
    ASSERT_TRUE(end);
    EXPECT_TRUE(end->saturated);

    std::string locator = "PK\x06\x07";
    put(locator, 0, 4);
    put(locator, 0x1234, 8);
    put(locator, 1, 4);
    EXPECT_EQ(zip64EndOffset(locator), 0x1234u);
    EXPECT_EQ(zip64EndOffset(std::string(20, 'x')), std::nullopt);

    std::string record = "PK\x06\x06";
    put(record, 44, 8);
    put(record, 45, 2);
    put(record, 45, 2);
    put(record, 0, 4);
    put(record, 0, 4);
    put(record, 70000, 8);
    put(record, 70000, 8);
    put(record, 0x1'0000'0000ULL, 8);
    put(record, 0x2'0000'0000ULL, 8);
    EndRecord applied = *end;
    applyZip64End(record, applied);
    EXPECT_EQ(applied.entryCount, 70000u);
    EXPECT_EQ(applied.directorySize, 0x1'0000'0000ULL);
    EXPECT_EQ(applied.directoryOffset, 0x2'0000'0000ULL);
    EXPECT_EQ(failureOf([&] { applyZip64End(std::string(56, 'x'), applied); }), kUnzipBadArchive);
}

TEST(ZipDirectoryTest, LocalHeaderLengthCountsNameAndExtra) {
    std::string header = "PK\x03\x04";
    header += std::string(22, '\0');
    put(header, 7, 2);
    put(header, 20, 2);
    EXPECT_EQ(localHeaderLength(header), 30u + 7 + 20);
    EXPECT_EQ(failureOf([&] { localHeaderLength("PK\x01\x02" + header.substr(4)); }), kUnzipBadArchive);
    EXPECT_EQ(failureOf([&] { localHeaderLength(header.substr(0, 20)); }), kUnzipBadArchive);
}

}  // namespace
}  // namespace vorlane::updater
