// What the target folder must allow before anything is written to it: one
// place per member, no way through a link, and the room for the files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "update/zip/ZipMember.h"

namespace vorlane::updater {

// ZipFailure kUnzipAmbiguous when two members are bound for one file (names
// that differ only in letter case, in any script, or in "/" and "\"), or a
// file member stands where another member needs a folder. Folder members may
// repeat. Members' places must be settled.
void refuseSharedPlaces(const std::vector<Member>& members);

// ZipFailure kUnzipUnsafePath when a folder that exists on a member's way
// below root is a reparse point (a junction, a symbolic link, a mount point)
// or leads, by its final path, outside root. Root itself and the folders
// above it are taken as they are: the installation may lie where a link
// points, and its final path is where it really is.
void refuseLinkedFolders(const std::wstring& root, const std::vector<Member>& members);

// ZipFailure kUnzipTooLarge when the disk that holds root (or the nearest
// folder above it that exists) has less room free than needed.
void refuseBeyondFreeSpace(const std::wstring& root, uint64_t needed);

}  // namespace vorlane::updater
