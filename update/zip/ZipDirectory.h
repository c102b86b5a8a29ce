// The structure of a zip archive as bytes: the end record, the 64-bit end
// record, the central directory and the local headers. Every length is checked
// against the bytes at hand; anything that does not fit is a ZipFailure with
// kUnzipBadArchive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane::updater {

struct ZipEntry {
    std::string name;  // as stored: UTF-8 when utf8Name, else code page 437
    bool utf8Name = false;
    uint16_t versionMadeBy = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    uint64_t localHeaderOffset = 0;
    uint64_t dataOffset = 0;                 // where its packed data begins; known once the archive is open
    uint64_t dataEnd = 0;                    // where its bytes end, the sizes after its data included
    std::optional<std::string> unicodeName;  // the name its Unicode path field gives, UTF-8

    bool encrypted() const { return (flags & 0x0001) != 0; }
    bool strongEncryption() const { return (flags & 0x0040) != 0; }
    bool isText() const { return (internalAttributes & 0x0001) != 0; }
    bool isFolder() const { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }
    bool hasDataDescriptor() const { return (flags & 0x0008) != 0; }
    // A folder by its attributes: the DOS folder attribute, or a Unix mode of a folder.
    bool markedAsFolder() const { return unixFileType() == 0x4000 || (externalAttributes & 0x10) != 0; }
    // A symbolic link as the archiving system saw it: a Unix mode of a link.
    // The reparse-point attribute of Windows archivers says only what the file
    // system said of the file they read (one kept by a cloud service, or
    // deduplicated): they store its contents.
    bool isLink() const { return unixFileType() == 0xA000; }
    // The file type bits of a Unix mode; 0 when made on another system.
    uint32_t unixFileType() const { return (versionMadeBy >> 8) == 3 ? (externalAttributes >> 16) & 0xF000 : 0; }
    // The byte a right password reveals at the end of the cipher header.
    uint8_t checkByte() const {
        return static_cast<uint8_t>(hasDataDescriptor() ? dosTime >> 8 : crc >> 24);
    }
};

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;

struct EndRecord {
    uint64_t position = 0;  // of the record in the file
    uint64_t entryCount = 0;
    uint64_t directorySize = 0;
    uint64_t directoryOffset = 0;
    std::string comment;
    // A field too small for its value: the 64-bit end record holds the real one.
    bool saturated = false;
};

constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxCommentSize = 0xFFFF;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kLocalHeaderSize = 30;

// Finds the end record in the last bytes of the file; tail begins at file
// offset tailStart: the record nearest the end whose comment fits. A record
// that other readers could find otherwise (bytes after it, another record in
// its comment or it in another's, counts that disagree) is a ZipFailure
// kUnzipAmbiguous.
std::optional<EndRecord> findEndRecord(std::string_view tail, uint64_t tailStart);

// The offset of the 64-bit end record, when the 20 bytes before the end record
// are its locator.
std::optional<uint64_t> zip64EndOffset(std::string_view locator);

// Takes the counts and places of the 64-bit end record into end, whose
// fields that are not saturated must say the same (else kUnzipAmbiguous).
void applyZip64End(std::string_view record, EndRecord& end);

// The members of the central directory, which must hold exactly entryCount
// (kUnzipBadArchive when fewer, kUnzipAmbiguous when more).
std::vector<ZipEntry> parseCentralDirectory(std::string_view directory, uint64_t entryCount);

// The length of a local header (its fixed part, name and extra field) from its
// first 30 bytes.
uint64_t localHeaderLength(std::string_view header);

// What a local header says of its member, read from the whole header.
struct LocalHeader {
    uint16_t flags = 0;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    bool zip64 = false;  // it has a 64-bit field: the sizes after the data are 64-bit too
    std::string name;
    std::optional<std::string> unicodeName;
};
LocalHeader parseLocalHeader(std::string_view header);

// The checksum and sizes a member whose local header could not give them
// carries after its data, with or without their signature; bytes may run on
// beyond them.
struct DataDescriptor {
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    size_t length = 0;  // of the descriptor itself
};
constexpr size_t kMaxDataDescriptorSize = 24;
DataDescriptor parseDataDescriptor(std::string_view bytes, bool zip64);

// The name a Unicode path field (0x7075) among the extra fields gives, as
// UTF-8; nothing when there is none. A field made for another name (its
// checksum) or of an unknown version is a ZipFailure kUnzipAmbiguous: readers
// would differ on the member's name.
std::optional<std::string> unicodePathField(std::string_view extra, std::string_view name);

}  // namespace vorlane::updater
