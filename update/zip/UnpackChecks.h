// What the engine refuses to unpack at all, checked on the whole selection
// before the first member is: methods and encryptions it does not know,
// symbolic links, and archives beyond any real release. No platform calls.
#pragma once

#include <cstdint>
#include <vector>

#include "update/zip/ZipMember.h"

namespace vorlane::updater {

// A release is the two programs and a few documents: some megabytes in a
// handful of files. The limits lie orders of magnitude above that, and far
// below what an archive made to hurt claims (65,535 members; 2 GB from 2 MB).
inline constexpr uint64_t kMaxMembers = 10'000;  // refused by the archive itself, before its members are read
inline constexpr uint64_t kMaxTotalSize = uint64_t{1} << 30;  // unpacked, all members together
// Programs pack 2 to 5 times, text about 10 times; only data made to be
// packed (runs of one byte) comes near deflate's ceiling of about 1,000.
inline constexpr uint64_t kMaxRatio = 100;
// Small members may pack as well as they do: a bitmap of one colour, an empty
// table. What they can add up to is bounded by the total.
inline constexpr uint64_t kRatioAllowance = uint64_t{1} << 20;

// ZipFailure kUnzipUnsupported for a method, encryption or link the engine does
// not unpack, kUnzipAmbiguous for a folder that holds data or a file marked
// as a folder, kUnzipTooLarge beyond the limits of size and ratio; the first
// member at fault is named.
void refuseUnpackable(const std::vector<Member>& members);

// The room the members' files take on disk: each rounded up to whole 4 KiB
// clusters, text members counted twice when line ends are to be converted.
uint64_t roomNeeded(const std::vector<Member>& members, bool convertLineEnds);

}  // namespace vorlane::updater
