// Reading a zip archive's end records, central directory and local headers from bytes.
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
constexpr uint32_t kDescriptorSignature = 0x08074B50;
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

[[noreturn]] void ambiguous(const std::string& what) { throw ZipFailure(kUnzipAmbiguous, what); }

// The 64-bit values of a central entry whose 32-bit fields are saturated, in
// the order the format gives them. A field that holds more values than that
// is read by some readers as size, packed size and offset, each in its place:
// those must then say what the entry says.
void applyZip64Extra(std::string_view extra, ZipEntry& entry, bool sizeSaturated, bool packedSaturated,
                     bool offsetSaturated) {
    const std::optional<std::string_view> data = extraField(extra, kZip64ExtraId);
    const size_t saturated = size_t{sizeSaturated} + packedSaturated + offsetSaturated;
    if (saturated == 0 && !data) return;
    if (!data) damaged("the 64-bit sizes of " + visibleBytes(entry.name) + " are missing");
    ByteReader values(*data, "a member's 64-bit sizes");
    if (sizeSaturated) entry.size = values.u64();
    if (packedSaturated) entry.packedSize = values.u64();
    if (offsetSaturated) entry.localHeaderOffset = values.u64();
    if (data->size() < 8 * (saturated + 1)) return;
    ByteReader inPlace(*data, "a member's 64-bit sizes");
    for (const uint64_t expected : {entry.size, entry.packedSize, entry.localHeaderOffset}) {
        if (inPlace.remaining() < 8) break;
        if (inPlace.u64() != expected)
            ambiguous(visibleBytes(entry.name) + ": its 64-bit fields disagree with the directory");
    }
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

// The end of an end record that begins at that place of the tail, its
// comment included; it may lie beyond the tail.
size_t endRecordEnd(std::string_view tail, size_t at) {
    ByteReader commentLength(tail.substr(at + kEndRecordSize - 2, 2), "the end record");
    return at + kEndRecordSize + commentLength.u16();
}

bool isEndRecordAt(std::string_view tail, size_t at) {
    return at + kEndRecordSize <= tail.size() && signatureAt(tail, at) == kEndSignature &&
           endRecordEnd(tail, at) <= tail.size();
}

// The end record nearest the end of the tail whose comment fits in it.
std::optional<size_t> lastEndRecordAt(std::string_view tail) {
    if (tail.size() < kEndRecordSize) return std::nullopt;
    for (size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;)
        if (isEndRecordAt(tail, at)) return at;
    return std::nullopt;
}

// Readers look for the end record in different ways: from the end, from the
// start of the tail, one that fills the file to its end. All must find the
// same one: nothing follows it, no other record (nor its signature) lies in
// its comment, and it lies in no other record's comment.
void refuseOtherEndRecords(std::string_view tail, size_t found) {
    if (endRecordEnd(tail, found) != tail.size()) ambiguous("bytes follow the archive's end record");
    const std::string_view signature("PK\x05\x06", 4);
    for (size_t at = tail.find(signature); at != std::string_view::npos; at = tail.find(signature, at + 1)) {
        const bool holdsFound = at < found && isEndRecordAt(tail, at) && endRecordEnd(tail, at) > found;
        if (at > found || holdsFound) ambiguous("an end record's comment holds another end record");
    }
}

}  // namespace

std::optional<EndRecord> findEndRecord(std::string_view tail, uint64_t tailStart) {
    const std::optional<size_t> found = lastEndRecordAt(tail);
    if (!found) return std::nullopt;
    refuseOtherEndRecords(tail, *found);

    ByteReader reader(tail.substr(*found + 4), "the end record");
    const uint16_t disk = reader.u16();
    reader.skip(2);  // disk of the directory
    const uint16_t entriesHere = reader.u16();
    const uint16_t entries = reader.u16();
    const uint32_t size = reader.u32();
    const uint32_t offset = reader.u32();
    const uint16_t commentLength = reader.u16();
    if (disk != 0 && disk != kSaturated16) damaged("archives split over several files are not supported");
    if (entriesHere != entries) ambiguous("the end record's member counts disagree");
    EndRecord end;
    end.position = tailStart + *found;
    end.entryCount = entries;
    end.directorySize = size;
    end.directoryOffset = offset;
    end.comment = std::string(reader.bytes(commentLength));
    end.saturated = entries == kSaturated16 || size == kSaturated32 || offset == kSaturated32;
    return end;
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
    reader.skip(8 + 2 + 2 + 4 + 4);  // record size, versions, disks
    const uint64_t entriesHere = reader.u64();
    const uint64_t entries = reader.u64();
    const uint64_t size = reader.u64();
    const uint64_t offset = reader.u64();
    // A reader that knows no 64-bit records goes by the old fields where they
    // are not saturated: they must say the same.
    auto disagrees = [](uint64_t old, uint64_t saturatedValue, uint64_t value) {
        return old != saturatedValue && old != value;
    };
    if (entriesHere != entries) ambiguous("the 64-bit end record's member counts disagree");
    if (disagrees(end.entryCount, kSaturated16, entries) || disagrees(end.directorySize, kSaturated32, size) ||
        disagrees(end.directoryOffset, kSaturated32, offset))
        ambiguous("the 64-bit end record disagrees with the end record");
    end.entryCount = entries;
    end.directorySize = size;
    end.directoryOffset = offset;
}

std::vector<ZipEntry> parseCentralDirectory(std::string_view directory, uint64_t entryCount) {
    // Each entry takes at least 46 bytes: a count beyond that is a lie.
    if (entryCount > directory.size() / 46) damaged("the central directory is shorter than its member count");
    std::vector<ZipEntry> entries;
    entries.reserve(static_cast<size_t>(entryCount));
    ByteReader reader(directory, "the central directory");
    for (uint64_t i = 0; i < entryCount; ++i) entries.push_back(parseCentralEntry(reader));
    // A reader that goes by the directory's size would find more members.
    if (reader.remaining() > 0)
        ambiguous("the directory holds more than its " + std::to_string(entryCount) + " members");
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
    reader.skip(4);  // time and date
    local.crc = reader.u32();
    local.packedSize = reader.u32();
    local.size = reader.u32();
    const uint16_t nameLength = reader.u16();
    const uint16_t extraLength = reader.u16();
    local.name = std::string(reader.bytes(nameLength));
    const std::string_view extra = reader.bytes(extraLength);
    local.unicodeName = unicodePathField(extra, local.name);
    // Here a 64-bit field holds both sizes, whichever is saturated; where
    // none is, a reader may still take them from it.
    if (const std::optional<std::string_view> zip64 = extraField(extra, kZip64ExtraId)) {
        local.zip64 = true;
        const bool saturated = local.size == kSaturated32 || local.packedSize == kSaturated32;
        if (!saturated && zip64->size() < 16) return local;
        ByteReader values(*zip64, "a local header's 64-bit sizes");
        const uint64_t size = values.u64();
        const uint64_t packedSize = values.u64();
        if (!saturated && (size != local.size || packedSize != local.packedSize))
            ambiguous(visibleBytes(local.name) + ": its local header's 64-bit fields disagree with it");
        local.size = size;
        local.packedSize = packedSize;
    }
    return local;
}

DataDescriptor parseDataDescriptor(std::string_view bytes, bool zip64) {
    ByteReader reader(bytes, "the sizes after a member's data");
    DataDescriptor descriptor;
    descriptor.crc = reader.u32();
    if (descriptor.crc == kDescriptorSignature) descriptor.crc = reader.u32();
    descriptor.packedSize = zip64 ? reader.u64() : reader.u32();
    descriptor.size = zip64 ? reader.u64() : reader.u32();
    descriptor.length = bytes.size() - reader.remaining();
    return descriptor;
}

std::optional<std::string> unicodePathField(std::string_view extra, std::string_view name) {
    const std::optional<std::string_view> data = extraField(extra, kUnicodePathExtraId);
    if (!data) return std::nullopt;
    ByteReader field(*data, "a Unicode path field");
    const uint8_t version = static_cast<uint8_t>(field.bytes(1)[0]);
    const uint32_t nameCrc = field.u32();
    if (version != 1 || nameCrc != crc32Update(0, name))
        ambiguous(visibleBytes(name) + ": its Unicode name was made for another name");
    return std::string(field.bytes(field.remaining()));
}

}  // namespace vorlane::updater
