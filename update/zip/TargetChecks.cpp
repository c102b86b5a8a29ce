// The checks of the target folder before anything is written to it.
#include "update/zip/TargetChecks.h"

#include <windows.h>

#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "update/AnsiText.h"
#include "update/zip/FinalPath.h"
#include "update/zip/FoldedName.h"
#include "update/zip/ZipFailure.h"
#include "update/zip/ZipPaths.h"

namespace vorlane::updater {

namespace {

// Each level of a relative path that names a folder, from the top: "a", "a\b".
std::vector<std::wstring> folderLevels(const Member& member) {
    std::vector<std::wstring> levels = placeLevels(member.target);
    if (!member.entry->isFolder() && !levels.empty()) levels.pop_back();
    return levels;
}

bool isBelow(const std::optional<std::wstring>& path, const std::wstring& folder) {
    return path && path->size() > folder.size() + 1 && path->starts_with(folder) && (*path)[folder.size()] == L'\\';
}

std::wstring existingFolderAtOrAbove(std::wstring path) {
    for (;;) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return path;
        const size_t slash = path.find_last_of(L'\\');
        if (slash == std::wstring::npos) return path;
        path.resize(slash == 2 && path[1] == L':' ? 3 : slash);  // "C:\" keeps its backslash
    }
}

}  // namespace

void refuseSharedPlaces(const std::vector<Member>& members) {
    struct Place {
        const Member* member;
        bool file;
    };
    std::unordered_map<std::wstring, Place> places;
    auto claim = [&places](const std::wstring& place, const Member& member, bool file) {
        const auto [found, added] = places.try_emplace(foldedName(place), Place{&member, file});
        if (added || (!file && !found->second.file)) return;
        const Member& other = *found->second.member;
        throw ZipFailure(kUnzipAmbiguous, other.shownName + " and " + member.shownName + " would be written to the same place");
    };
    for (const Member& member : members) {
        if (member.target.empty()) continue;
        for (const std::wstring& level : folderLevels(member)) claim(level, member, false);
        if (!member.entry->isFolder()) claim(member.target, member, true);
    }
}

void refuseLinkedFolders(const std::wstring& root, const std::vector<Member>& members) {
    const DWORD rootAttributes = GetFileAttributesW(root.c_str());
    if (rootAttributes == INVALID_FILE_ATTRIBUTES || !(rootAttributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    // Where the platform cannot tell final paths, the links themselves are still found.
    const std::optional<std::wstring> rootFinal = finalPathOf(root);
    std::unordered_set<std::wstring> checked;
    for (const Member& member : members) {
        for (const std::wstring& level : folderLevels(member)) {
            if (!checked.insert(foldedName(level)).second) continue;
            const std::wstring folder = root + L"\\" + level;
            const DWORD attributes = GetFileAttributesW(folder.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
            if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || (rootFinal && !isBelow(finalPathOf(folder), *rootFinal)))
                throw ZipFailure(kUnzipUnsafePath, member.shownName + ": would be written through " + toAnsi(level) +
                                                       ", a link to another place");
        }
    }
}

void refuseBeyondFreeSpace(const std::wstring& root, uint64_t needed) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(existingFolderAtOrAbove(root).c_str(), &available, nullptr, nullptr)) return;
    if (needed > available.QuadPart)
        throw ZipFailure(kUnzipTooLarge, "needs " + std::to_string(needed) + " bytes, but the disk of " + toAnsi(root) +
                                             " has only " + std::to_string(available.QuadPart) + " free");
}

}  // namespace vorlane::updater
