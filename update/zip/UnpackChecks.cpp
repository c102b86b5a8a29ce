// What the engine refuses to unpack, checked on the whole selection first.
#include "update/zip/UnpackChecks.h"

#include <string>

#include "update/zip/ZipFailure.h"

namespace vorlane::updater {

namespace {

constexpr uint64_t kCluster = 4096;
constexpr uint64_t kMiB = uint64_t{1} << 20;

[[noreturn]] void tooLarge(const std::string& what) { throw ZipFailure(kUnzipTooLarge, what); }

void refuseUnknown(const Member& member) {
    const ZipEntry& entry = *member.entry;
    if (entry.isLink()) throw ZipFailure(kUnzipUnsupported, member.shownName + ": is a symbolic link, which is not supported");
    if (entry.isFolder()) {
        // What a reader that makes the folder skips, another writes as a file.
        if (entry.size != 0) throw ZipFailure(kUnzipAmbiguous, member.shownName + ": is a folder that holds data");
        return;
    }
    if (entry.markedAsFolder())
        throw ZipFailure(kUnzipAmbiguous, member.shownName + ": is named as a file but marked as a folder");
    if (entry.strongEncryption())
        throw ZipFailure(kUnzipUnsupported, member.shownName + ": uses an encryption that is not supported");
    if (entry.method != kMethodStored && entry.method != kMethodDeflated)
        throw ZipFailure(kUnzipUnsupported, member.shownName + ": uses compression method " +
                                                std::to_string(entry.method) + ", which is not supported");
}

}  // namespace

void refuseUnpackable(const std::vector<Member>& members) {
    for (const Member& member : members) refuseUnknown(member);
    uint64_t total = 0;
    for (const Member& member : members) {
        const ZipEntry& entry = *member.entry;
        // Sizes as recorded: unpacking stops at a member that holds more.
        if (entry.size > kRatioAllowance && entry.size / kMaxRatio > entry.packedSize)
            tooLarge(member.shownName + ": unpacks " + std::to_string(entry.size) + " bytes from " +
                     std::to_string(entry.packedSize) + ", more than " + std::to_string(kMaxRatio) +
                     " times its packed size");
        if (entry.size > kMaxTotalSize - total)
            tooLarge("unpacks to more than the " + std::to_string(kMaxTotalSize / kMiB) + " MiB an update may have");
        total += entry.size;
    }
}

uint64_t roomNeeded(const std::vector<Member>& members, bool convertLineEnds) {
    uint64_t room = 0;
    for (const Member& member : members) {
        if (member.entry->isFolder()) continue;
        const uint64_t size = member.entry->size * (convertLineEnds && member.entry->isText() ? 2 : 1);
        room += (size + kCluster - 1) / kCluster * kCluster;
    }
    return room;
}

}  // namespace vorlane::updater
