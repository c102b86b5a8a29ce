// One zip archive on disk: its checked directory and its members unpacked on demand.
#include "update/zip/ZipArchive.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "update/zip/Crc32.h"
#include "update/zip/UnpackChecks.h"
#include "update/zip/ZipCipher.h"
#include "update/zip/ZipFailure.h"
#include "update/zip/ZipPaths.h"

namespace vorlane::updater {

namespace {

constexpr size_t kChunk = 64 * 1024;

[[noreturn]] void damagedData(const std::string& what) { throw ZipFailure(kUnzipBadData, what); }

// The packed bytes of one member, read in chunks and decrypted on the way.
class PackedStream {
public:
    PackedStream(std::function<void(uint64_t, char*, size_t)> read, uint64_t start, uint64_t length,
                 std::unique_ptr<ZipCipher> cipher, char* buffer)
        : read_(std::move(read)), next_(start), left_(length), cipher_(std::move(cipher)), buffer_(buffer) {}

    uint64_t left() const { return left_; }

    // Up to one chunk; empty at the end.
    std::string_view next() {
        const size_t length = static_cast<size_t>(std::min<uint64_t>(left_, kChunk));
        read_(next_, buffer_, length);
        if (cipher_) cipher_->decrypt(buffer_, length);
        next_ += length;
        left_ -= length;
        return {buffer_, length};
    }

private:
    std::function<void(uint64_t, char*, size_t)> read_;
    uint64_t next_;
    uint64_t left_;
    std::unique_ptr<ZipCipher> cipher_;
    char* buffer_;  // kChunk bytes
};

// Counts and checks what comes out of a member before handing it on.
class CheckedSink {
public:
    CheckedSink(const ZipEntry& entry, const ByteSink& sink) : entry_(entry), sink_(sink) {}

    void put(std::string_view bytes) {
        if (bytes.size() > entry_.size - produced_) damagedData("holds more data than its recorded size");
        produced_ += bytes.size();
        crc_ = crc32Update(crc_, bytes);
        sink_(bytes);
    }

    void finish() const {
        if (produced_ != entry_.size) damagedData("holds less data than its recorded size");
        if (crc_ != entry_.crc) damagedData("checksum does not match its data");
    }

private:
    const ZipEntry& entry_;
    const ByteSink& sink_;
    uint64_t produced_ = 0;
    uint32_t crc_ = 0;
};

void copyStored(PackedStream& packed, CheckedSink& out) {
    while (packed.left() > 0) out.put(packed.next());
}

struct InflateStream {
    z_stream stream{};
    InflateStream() {
        // Raw deflate data: no zlib header, no trailer.
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
    }
    ~InflateStream() { inflateEnd(&stream); }
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;
};

void inflateInto(PackedStream& packed, CheckedSink& out, char* output) {
    InflateStream inflater;
    z_stream& z = inflater.stream;
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        if (z.avail_in == 0) {
            if (packed.left() == 0) damagedData("compressed data ends early");
            const std::string_view piece = packed.next();
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
            z.avail_in = static_cast<uInt>(piece.size());
        }
        z.next_out = reinterpret_cast<Bytef*>(output);
        z.avail_out = static_cast<uInt>(kChunk);
        status = inflate(&z, Z_NO_FLUSH);
        if (status == Z_MEM_ERROR) throw std::bad_alloc();
        if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
            damagedData("compressed data is damaged");
        out.put({output, kChunk - z.avail_out});
    }
    // A reader that finds the member's end by its stream would read on there.
    if (z.avail_in != 0 || packed.left() != 0)
        throw ZipFailure(kUnzipAmbiguous, "holds bytes after its compressed data");
}

std::optional<DataDescriptor> wholeDataDescriptor(std::string_view bytes, bool zip64) {
    try {
        return parseDataDescriptor(bytes, zip64);
    } catch (const ZipFailure&) {
        return std::nullopt;
    }
}

void refuseDisagreement(const ZipEntry& entry, const LocalHeader& local) {
    if (local.name != entry.name)
        throw ZipFailure(kUnzipAmbiguous,
                         visibleBytes(entry.name) + ": its local header names " + visibleBytes(local.name));
    // Encrypted, strongly so, sizes after the data, UTF-8 name.
    constexpr uint16_t kMeaningFlags = 0x0001 | 0x0040 | 0x0008 | 0x0800;
    // With the sizes after the data, the local header may leave them 0.
    auto agrees = [&entry](uint64_t inHeader, uint64_t inDirectory) {
        return inHeader == inDirectory || (entry.hasDataDescriptor() && inHeader == 0);
    };
    if (local.unicodeName != entry.unicodeName || local.method != entry.method ||
        (local.flags & kMeaningFlags) != (entry.flags & kMeaningFlags) || !agrees(local.crc, entry.crc) ||
        !agrees(local.packedSize, entry.packedSize) || !agrees(local.size, entry.size))
        throw ZipFailure(kUnzipAmbiguous, visibleBytes(entry.name) + ": its local header disagrees with the directory");
}

}  // namespace

ZipArchive::ZipArchive(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {
    if (!file_) throw ZipFailure(kUnzipNoArchive, "cannot open the archive (system error " +
                                                      std::to_string(GetLastError()) + ")");
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.get(), &size)) throw ZipFailure(kUnzipNoArchive, "cannot read the archive's size");
    fileSize_ = static_cast<uint64_t>(size.QuadPart);
    readDirectory();
}

void ZipArchive::readAt(uint64_t offset, char* buffer, size_t length) {
    if (offset > fileSize_ || length > fileSize_ - offset)
        throw ZipFailure(kUnzipBadArchive, "the archive is incomplete: it ends early");
    while (length > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(length, 1u << 30));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD done = 0;
        if (!ReadFile(file_.get(), buffer, piece, &done, &at) || done != piece)
            throw ZipFailure(kUnzipBadArchive, "cannot read the archive (system error " +
                                                   std::to_string(GetLastError()) + ")");
        buffer += piece;
        offset += piece;
        length -= piece;
    }
}

std::string ZipArchive::readString(uint64_t offset, size_t length) {
    std::string bytes(length, '\0');
    readAt(offset, bytes.data(), length);
    return bytes;
}

void ZipArchive::readDirectory() {
    const uint64_t tailLength = std::min<uint64_t>(fileSize_, kEndRecordSize + kMaxCommentSize);
    const uint64_t tailStart = fileSize_ - tailLength;
    const std::optional<EndRecord> found = findEndRecord(readString(tailStart, static_cast<size_t>(tailLength)),
                                                         tailStart);
    if (!found) throw ZipFailure(kUnzipBadArchive, "not a zip archive, or an incomplete one: no directory at its end");
    EndRecord end = *found;

    uint64_t directoryLimit = end.position;  // the directory lies wholly before this
    if (end.position >= kZip64LocatorSize) {
        const uint64_t locatorAt = end.position - kZip64LocatorSize;
        if (const auto zip64At = zip64EndOffset(readString(locatorAt, kZip64LocatorSize))) {
            if (*zip64At > locatorAt || locatorAt - *zip64At < kZip64EndSize)
                throw ZipFailure(kUnzipBadArchive, "the 64-bit end record lies outside the archive");
            applyZip64End(readString(*zip64At, kZip64EndSize), end);
            directoryLimit = *zip64At;
        } else if (end.saturated) {
            throw ZipFailure(kUnzipBadArchive, "the 64-bit end record is missing");
        }
    }
    if (end.directoryOffset > directoryLimit || end.directorySize != directoryLimit - end.directoryOffset)
        throw ZipFailure(kUnzipBadArchive, "the directory is not where the archive's end says it is");
    // Before any member is read: what each costs is not spent on more than a release holds.
    if (end.entryCount > kMaxMembers)
        throw ZipFailure(kUnzipTooLarge, "holds " + std::to_string(end.entryCount) + " members, more than the " +
                                             std::to_string(kMaxMembers) + " an update may have");
    if (end.directorySize > SIZE_MAX / 2) throw std::bad_alloc();
    entries_ = parseCentralDirectory(readString(end.directoryOffset, static_cast<size_t>(end.directorySize)),
                                     end.entryCount);
    directoryStart_ = end.directoryOffset;
    comment_ = std::move(end.comment);
    for (ZipEntry& entry : entries_) readLocalHeader(entry);
    refuseOverlapsAndGaps();
}

// The local header must name the same file, in the same encoding, with the
// same method, encryption, checksum and sizes, as the central record; so must
// the sizes after the data, where the local header leaves them there.
void ZipArchive::readLocalHeader(ZipEntry& entry) {
    // One read for the usual header: its fixed part, the same name and an extra field of modest size.
    const uint64_t room = entry.localHeaderOffset < directoryStart_ ? directoryStart_ - entry.localHeaderOffset : 0;
    std::string header = readString(entry.localHeaderOffset,
                                    static_cast<size_t>(std::min<uint64_t>(room, kLocalHeaderSize + entry.name.size() + 256)));
    const uint64_t length = localHeaderLength(header);
    if (length > header.size())
        header = readString(entry.localHeaderOffset, static_cast<size_t>(length));
    else
        header.resize(static_cast<size_t>(length));
    const LocalHeader local = parseLocalHeader(header);
    const uint64_t start = entry.localHeaderOffset + length;
    if (start > directoryStart_ || entry.packedSize > directoryStart_ - start)
        throw ZipFailure(kUnzipBadArchive, visibleBytes(entry.name) + ": data runs into the archive's directory");
    refuseDisagreement(entry, local);
    entry.dataOffset = start;
    entry.dataEnd = start + entry.packedSize;
    if (entry.hasDataDescriptor()) readDataDescriptor(entry, local.zip64);
}

// The sizes are 64-bit when the local header has a 64-bit field, yet some
// writers give a small member that field (even an empty one) and its sizes in
// 32 bits: the width whose values are the directory's is the one written. The
// next member must still begin right after them.
void ZipArchive::readDataDescriptor(ZipEntry& entry, bool zip64) {
    const uint64_t room = directoryStart_ - entry.dataEnd;
    const std::string bytes =
        readString(entry.dataEnd, static_cast<size_t>(std::min<uint64_t>(room, kMaxDataDescriptorSize)));
    for (const bool wide : {zip64, !zip64}) {
        const std::optional<DataDescriptor> descriptor = wholeDataDescriptor(bytes, wide);
        if (descriptor && descriptor->crc == entry.crc && descriptor->packedSize == entry.packedSize &&
            descriptor->size == entry.size) {
            entry.dataEnd += descriptor->length;
            return;
        }
    }
    parseDataDescriptor(bytes, zip64);  // one that is cut short is damage
    throw ZipFailure(kUnzipAmbiguous, visibleBytes(entry.name) + ": the sizes after its data disagree with the directory");
}

// Members in the order of their bytes: each begins where the one before it
// ends, from the archive's first byte to its directory. Bytes that no record
// names could be members to a reader that goes by the local headers.
void ZipArchive::refuseOverlapsAndGaps() const {
    std::vector<const ZipEntry*> byPlace;
    byPlace.reserve(entries_.size());
    for (const ZipEntry& entry : entries_) byPlace.push_back(&entry);
    std::sort(byPlace.begin(), byPlace.end(),
              [](const ZipEntry* a, const ZipEntry* b) { return a->localHeaderOffset < b->localHeaderOffset; });
    uint64_t expected = 0;
    const ZipEntry* before = nullptr;
    for (const ZipEntry* entry : byPlace) {
        if (entry->localHeaderOffset < expected)
            throw ZipFailure(kUnzipAmbiguous, visibleBytes(before->name) + " and " + visibleBytes(entry->name) +
                                                  " share data");
        if (entry->localHeaderOffset > expected)
            throw ZipFailure(kUnzipAmbiguous, "bytes before " + visibleBytes(entry->name) + " belong to no member");
        expected = entry->dataEnd;
        before = entry;
    }
    if (expected != directoryStart_)
        throw ZipFailure(kUnzipAmbiguous, "bytes before the directory belong to no member");
}

bool ZipArchive::opens(const ZipEntry& entry, std::string_view password) {
    if (!entry.encrypted()) return true;
    if (entry.packedSize < ZipCipher::kHeaderSize) throw ZipFailure(kUnzipBadArchive, "cipher header is missing");
    char header[ZipCipher::kHeaderSize];
    readAt(entry.dataOffset, header, sizeof header);
    return ZipCipher(password).acceptsHeader(header, entry.checkByte());
}

void ZipArchive::unpack(const ZipEntry& entry, std::string_view password, const ByteSink& sink) {
    if (entry.strongEncryption()) throw ZipFailure(kUnzipUnsupported, "uses an encryption that is not supported");
    if (entry.method != kMethodStored && entry.method != kMethodDeflated)
        throw ZipFailure(kUnzipUnsupported, "uses compression method " + std::to_string(entry.method) +
                                                ", which is not supported");
    uint64_t start = entry.dataOffset;
    uint64_t length = entry.packedSize;
    std::unique_ptr<ZipCipher> cipher;
    if (entry.encrypted()) {
        if (length < ZipCipher::kHeaderSize) throw ZipFailure(kUnzipBadArchive, "cipher header is missing");
        char header[ZipCipher::kHeaderSize];
        readAt(start, header, sizeof header);
        cipher = std::make_unique<ZipCipher>(password);
        if (!cipher->acceptsHeader(header, entry.checkByte()))
            throw ZipFailure(kUnzipBadPassword, "the password is wrong");
        start += ZipCipher::kHeaderSize;
        length -= ZipCipher::kHeaderSize;
    }
    // The buffers serve every member: each costs the platform a mapping of its own.
    if (!buffers_) buffers_ = std::make_unique<char[]>(2 * kChunk);
    PackedStream packed([this](uint64_t at, char* buffer, size_t count) { readAt(at, buffer, count); }, start, length,
                        std::move(cipher), buffers_.get());
    CheckedSink out(entry, sink);
    // Some archivers mark an empty file as deflated yet write no stream for it.
    if (entry.method == kMethodStored || (length == 0 && entry.size == 0))
        copyStored(packed, out);
    else
        inflateInto(packed, out, buffers_.get() + kChunk);
    out.finish();
}

}  // namespace vorlane::updater
