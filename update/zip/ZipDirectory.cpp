#include "update/zip/ZipDirectory.h"

#include "update/zip/Crc32.h"
#include "update/zip/ZipFailure.h"
#include "update/zip/ZipPaths.h"

namespace vorlane::updater {

namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kUnicodePathExtraId = 0x7075;
constexpr uint16_t kUtf8NameFlag = 0x0800;
constexpr uint32_t kSaturated32 = 0xFFFFFFFF;
constexpr uint16_t kSaturated16 = 0xFFFF;

[[noreturn]] void damaged(const std::string& what) { throw ZipFailure(kUnzipBadArchive, what); }

// Little-endian fields read in order from a span of bytes.
class ByteReader {
public:
    explicit ByteReader(std::string_view bytes, const char* what) : bytes_(bytes), what_(what) {}

    uint16_t u16() { return static_cast<uint16_t>(take(2)); }
    uint32_t u32() { return static_cast<uint32_t>(take(4)); }
    uint64_t u64() { return take(8); }
    std::string_view bytes(size_t count) {
        need(count);
        const std::string_view piece = bytes_.substr(at_, count);
        at_ += count;
        return piece;
    }
    void skip(size_t count) { bytes(count); }
    size_t remaining() const { return bytes_.size() - at_; }

private:
    void need(size_t count) const {
        if (count > remaining()) damaged(std::string(what_) + " is cut short");
    }
    uint64_t take(size_t count) {
        need(count);
        uint64_t value = 0;
        for (size_t i = 0; i < count; ++i)
            value |= static_cast<uint64_t>(static_cast<uint8_t>(bytes_[at_ + i])) << (8 * i);
        at_ += count;
        return value;
    }

    std::string_view bytes_;
    const char* what_;
    size_t at_ = 0;
};

uint32_t signatureAt(std::string_view bytes, size_t at) {
    if (at + 4 > bytes.size()) return 0;
    ByteReader reader(bytes.substr(at, 4), "signature");
    return reader.u32();
}

// The data of the first extra field with that id.
std::optional<std::string_view> extraField(std::string_view extra, uint16_t wanted) {
    ByteReader fields(extra, "an extra field");
    while (fields.remaining() >= 4) {
        const uint16_t id = fields.u16();
        const uint16_t length = fields.u16();
        const std::string_view data = fields.bytes(length);
        if (id == wanted) return data;
    }
    return std::nullopt;
}

// The 64-bit values of a central entry whose 32-bit fields are saturated, in
// the order the format gives them.
void applyZip64Extra(std::string_view extra, ZipEntry& entry, bool sizeSaturated, bool packedSaturated,
                     bool offsetSaturated) {
    if (!sizeSaturated && !packedSaturated && !offsetSaturated) return;
    const std::optional<std::string_view> data = extraField(extra, kZip64ExtraId);
    if (!data) damaged("the 64-bit sizes of " + visibleBytes(entry.name) + " are missing");
    ByteReader values(*data, "a member's 64-bit sizes");
    if (sizeSaturated) entry.size = values.u64();
    if (packedSaturated) entry.packedSize = values.u64();
    if (offsetSaturated) entry.localHeaderOffset = values.u64();
}

ZipEntry parseCentralEntry(ByteReader& reader) {
    if (reader.u32() != kCentralSignature) damaged("the central directory is damaged");
    ZipEntry entry;
    entry.versionMadeBy = reader.u16();
    reader.skip(2);  // version needed
    entry.flags = reader.u16();
    entry.method = reader.u16();
    entry.dosTime = reader.u16();
    entry.dosDate = reader.u16();
    entry.crc = reader.u32();
    const uint32_t packed = reader.u32();
    const uint32_t size = reader.u32();
    const uint16_t nameLength = reader.u16();
    const uint16_t extraLength = reader.u16();
    const uint16_t commentLength = reader.u16();
    reader.skip(2);  // disk number
    entry.internalAttributes = reader.u16();
    entry.externalAttributes = reader.u32();
    const uint32_t offset = reader.u32();
    entry.name = std::string(reader.bytes(nameLength));
    const std::string_view extra = reader.bytes(extraLength);
    reader.skip(commentLength);

    entry.utf8Name = (entry.flags & kUtf8NameFlag) != 0;
    entry.packedSize = packed;
    entry.size = size;
    entry.localHeaderOffset = offset;
    applyZip64Extra(extra, entry, size == kSaturated32, packed == kSaturated32, offset == kSaturated32);
    entry.unicodeName = unicodePathField(extra, entry.name);
    return entry;
}

}  // namespace

std::optional<EndRecord> findEndRecord(std::string_view tail, uint64_t tailStart) {
    if (tail.size() < kEndRecordSize) return std::nullopt;
    for (size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
        if (signatureAt(tail, at) != kEndSignature) continue;
        ByteReader reader(tail.substr(at + 4), "the end record");
        const uint16_t disk = reader.u16();
        reader.skip(2);  // disk of the directory
        reader.skip(2);  // entries on this disk
        const uint16_t entries = reader.u16();
        const uint32_t size = reader.u32();
        const uint32_t offset = reader.u32();
        const uint16_t commentLength = reader.u16();
        if (commentLength > reader.remaining()) continue;  // a signature inside data, not the record
        if (disk != 0 && disk != kSaturated16) damaged("archives split over several files are not supported");
        EndRecord end;
        end.position = tailStart + at;
        end.entryCount = entries;
        end.directorySize = size;
        end.directoryOffset = offset;
        end.comment = std::string(reader.bytes(commentLength));
        end.saturated = entries == kSaturated16 || size == kSaturated32 || offset == kSaturated32;
        return end;
    }
    return std::nullopt;
}

std::optional<uint64_t> zip64EndOffset(std::string_view locator) {
    if (locator.size() != kZip64LocatorSize || signatureAt(locator, 0) != kZip64LocatorSignature) return std::nullopt;
    ByteReader reader(locator.substr(4), "the 64-bit end locator");
    reader.skip(4);  // disk of the record
    return reader.u64();
}

void applyZip64End(std::string_view record, EndRecord& end) {
    if (signatureAt(record, 0) != kZip64EndSignature) damaged("the 64-bit end record is missing");
    ByteReader reader(record.substr(4), "the 64-bit end record");
    reader.skip(8 + 2 + 2 + 4 + 4 + 8);  // record size, versions, disks, entries on this disk
    end.entryCount = reader.u64();
    end.directorySize = reader.u64();
    end.directoryOffset = reader.u64();
}

std::vector<ZipEntry> parseCentralDirectory(std::string_view directory, uint64_t entryCount) {
    // Each entry takes at least 46 bytes: a count beyond that is a lie.
    if (entryCount > directory.size() / 46) damaged("the central directory is shorter than its member count");
    std::vector<ZipEntry> entries;
    entries.reserve(static_cast<size_t>(entryCount));
    ByteReader reader(directory, "the central directory");
    for (uint64_t i = 0; i < entryCount; ++i) entries.push_back(parseCentralEntry(reader));
    return entries;
}

uint64_t localHeaderLength(std::string_view header) {
    if (header.size() < kLocalHeaderSize || signatureAt(header, 0) != kLocalSignature)
        damaged("a member's local header is missing");
    ByteReader reader(header.substr(26, 4), "a local header");
    const uint16_t nameLength = reader.u16();
    const uint16_t extraLength = reader.u16();
    return kLocalHeaderSize + nameLength + extraLength;
}

LocalHeader parseLocalHeader(std::string_view header) {
    if (localHeaderLength(header) != header.size()) damaged("a member's local header is cut short");
    ByteReader reader(header.substr(6), "a local header");
    LocalHeader local;
    local.flags = reader.u16();
    local.method = reader.u16();
    reader.skip(4 + 4 + 4 + 4);  // time and date, CRC, sizes
    const uint16_t nameLength = reader.u16();
    const uint16_t extraLength = reader.u16();
    local.name = std::string(reader.bytes(nameLength));
    local.unicodeName = unicodePathField(reader.bytes(extraLength), local.name);
    return local;
}

std::optional<std::string> unicodePathField(std::string_view extra, std::string_view name) {
    const std::optional<std::string_view> data = extraField(extra, kUnicodePathExtraId);
    if (!data) return std::nullopt;
    ByteReader field(*data, "a Unicode path field");
    const uint8_t version = static_cast<uint8_t>(field.bytes(1)[0]);
    const uint32_t nameCrc = field.u32();
    if (version != 1 || nameCrc != crc32Update(0, name))
        throw ZipFailure(kUnzipAmbiguous, visibleBytes(name) + ": its Unicode name was made for another name");
    return std::string(field.bytes(field.remaining()));
}

}  // namespace vorlane::updater
