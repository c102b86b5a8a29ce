// One zip archive on disk: its directory read and checked when it is opened,
// its members unpacked on demand as a stream of checked bytes.
//
// Opening also makes sure the archive has one meaning: one end record at its
// end, 64-bit records that say what the old fields say, each member's local
// header (and the sizes after its data) agreeing with its central record, and
// its members laid end to end from the first byte to the directory, sharing
// none and leaving none out, so that no reader can find other members in it. An archive of more members than any
// release is refused before its members are read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Handles.h"
#include "update/zip/ZipDirectory.h"

namespace vorlane::updater {

using ByteSink = std::function<void(std::string_view)>;

class ZipArchive {
public:
    // ZipFailure: kUnzipNoArchive when the file cannot be opened,
    // kUnzipBadArchive when it holds no intact zip directory, kUnzipAmbiguous
    // when its headers disagree or its members overlap, kUnzipTooLarge beyond
    // kMaxMembers.
    explicit ZipArchive(const std::wstring& path);

    const std::vector<ZipEntry>& entries() const { return entries_; }
    const std::string& comment() const { return comment_; }

    // Whether the password opens an encrypted member (by the check byte).
    bool opens(const ZipEntry& entry, std::string_view password);

    // Hands the member's bytes to sink in pieces, and only then answers: a
    // size or checksum that does not match the directory, a damaged stream or
    // data beyond the archive's end is a ZipFailure (kUnzipBadData,
    // kUnzipBadArchive, kUnzipUnsupported), raised after the good pieces; so
    // are packed bytes after the end of a compressed stream (kUnzipAmbiguous).
    void unpack(const ZipEntry& entry, std::string_view password, const ByteSink& sink);

private:
    void readAt(uint64_t offset, char* buffer, size_t length);
    std::string readString(uint64_t offset, size_t length);
    void readDirectory();
    void readLocalHeader(ZipEntry& entry);
    void readDataDescriptor(ZipEntry& entry, bool zip64);
    void refuseOverlapsAndGaps() const;

    FileHandle file_;
    uint64_t fileSize_ = 0;
    uint64_t directoryStart_ = 0;  // member data must end before it
    std::vector<ZipEntry> entries_;
    std::string comment_;
    std::unique_ptr<char[]> buffers_;  // packed and unpacked data, a chunk each
};

}  // namespace vorlane::updater
