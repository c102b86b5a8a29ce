// Changes to a folder written beside their places and committed all at once.
#include "update/zip/StagedFolder.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "update/AnsiText.h"
#include "update/zip/FinalPath.h"
#include "core/Handles.h"
#include "update/zip/FoldedName.h"
#include "update/zip/PutBack.h"
#include "update/zip/SideFiles.h"
#include "update/zip/ZipFailure.h"

namespace vorlane::updater {

namespace {

constexpr int kNameTries = 100;

[[noreturn]] void diskFailure(const std::string& what, const std::wstring& path, DWORD code = GetLastError()) {
    throw ZipFailure(kUnzipDiskError, what + " " + toAnsi(path) + " (system error " + std::to_string(code) + ")");
}

bool moveWhenFree(const std::wstring& from, const std::wstring& to) {
    return retryWhileHeld([&] { return MoveFileExW(from.c_str(), to.c_str(), 0) != 0; });
}

// An old copy may be read-only, as its file was.
bool deleteSideFile(const std::wstring& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) != 0;
}

bool isFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

StagedFolder::StagedFolder(std::wstring root)
    : root_(std::move(root)), run_(std::to_wstring(GetCurrentProcessId())) {
    try {
        makeLevels(root_);
    } catch (const ZipFailure&) {
        undo();
        throw;
    }
}

StagedFolder::~StagedFolder() {
    if (!committed_) undo();
}

std::wstring StagedFolder::fullPath(const std::wstring& relative) const {
    return relative.empty() ? root_ : root_ + L"\\" + relative;
}

void StagedFolder::makeFolder(const std::wstring& relative) { makeLevels(fullPath(relative)); }

// Makes each missing level from the top down, remembering them for undo.
void StagedFolder::makeLevels(const std::wstring& folder) {
    if (knownFolders_.contains(folder)) return;
    if (!isFolder(folder)) {
        const size_t parentEnd = folder.find_last_of(L'\\');
        if (parentEnd != std::wstring::npos && parentEnd > 0 && folder[parentEnd - 1] != L':' &&
            folder[parentEnd - 1] != L'\\')
            makeLevels(folder.substr(0, parentEnd));
        if (!CreateDirectoryW(folder.c_str(), nullptr)) diskFailure("cannot make the folder", folder);
        madeFolders_.push_back(folder);
    }
    knownFolders_.insert(folder);
}

std::wstring StagedFolder::sideName(const std::wstring& target, const wchar_t* kind) {
    return sideFilePath(target + L"." + run_ + L"-" + std::to_wstring(++counter_) + kind);
}

void StagedFolder::beginFile(const std::wstring& relative) {
    StagedFile file;
    file.target = fullPath(relative);
    if (isFolder(file.target)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        diskFailure("a folder is in the way of", file.target);
    }
    // Only a name that nothing holds yet: whatever is there (a link planted
    // under that name among them) is not written through.
    for (int tries = 0; !open_ && tries < kNameTries; ++tries) {
        file.temporary = sideName(file.target, L".new");
        open_.reset(CreateFileW(file.temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
        if (!open_ && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    if (!open_) diskFailure("cannot write", file.temporary);
    // The old copy's name, too, is one nothing holds: a copy an earlier run of
    // the same process number kept there would make the swap fail.
    for (int tries = 0; tries < kNameTries; ++tries) {
        file.backup = sideName(file.target, L".old");
        if (GetFileAttributesW(file.backup.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    }
    files_.push_back(std::move(file));
}

void StagedFolder::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 20));
        DWORD written = 0;
        if (!WriteFile(open_.get(), bytes.data(), piece, &written, nullptr) || written == 0)
            diskFailure("cannot write", files_.back().temporary);
        bytes.remove_prefix(written);
    }
}

void StagedFolder::endFile(const FILETIME& modified) {
    SetFileTime(open_.get(), nullptr, nullptr, &modified);
    if (!CloseHandle(open_.release())) diskFailure("cannot finish", files_.back().temporary);
}

void StagedFolder::putInPlace(StagedFile& file) {
    const DWORD oldAttributes = GetFileAttributesW(file.target.c_str());
    if (oldAttributes != INVALID_FILE_ATTRIBUTES && (oldAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        diskFailure("a folder is in the way of", file.target);
    }
    // The old copy keeps its attributes (a read-only file moves all the
    // same), so that whoever puts it back puts back the file as it was.
    if (oldAttributes != INVALID_FILE_ATTRIBUTES) {
        if (!moveWhenFree(file.target, file.backup)) diskFailure("cannot replace", file.target);
        file.oldMovedAside = true;
    }
    if (!moveWhenFree(file.temporary, file.target)) diskFailure("cannot replace", file.target);
    file.newMovedIn = true;
}

void StagedFolder::commit() {
    open_.reset();
    try {
        for (StagedFile& file : files_) putInPlace(file);
    } catch (const ZipFailure&) {
        undo();
        committed_ = true;  // nothing left to undo
        throw;
    }
    committed_ = true;
    for (const StagedFile& file : files_) {
        // A program that still runs (this one, being replaced) goes at the next restart.
        if (file.oldMovedAside && !deleteSideFile(file.backup))
            MoveFileExW(file.backup.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

// The new copies that never moved in go last: while old copies are being put
// back, one of them at least is still there, which tells a later run that
// this one was ended in its undo rather than after a whole swap.
void StagedFolder::undo() {
    open_.reset();
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) putBack(*it);
    for (const StagedFile& file : files_)
        if (!file.newMovedIn) deleteWhenFree(file.temporary);
    files_.clear();
    removeMadeFolders();
    knownFolders_.clear();
}

void StagedFolder::putBack(const StagedFile& file) {
    if (file.oldMovedAside) {
        if (!putPlaceBack(file.target, file.backup, SideKind::kOld)) notPutBack(file.target, file.backup, false);
    } else if (file.newMovedIn && !removeAddedPlace(file.target)) {
        markAdded(file.target);
        notPutBack(file.target, L"", false);
    }
}

// Deepest first. A folder that still holds a place not put back is left, for
// the next run to remove after what it holds: it is not asked, which would
// only wait for it. The root and the levels above it are marked for no one.
void StagedFolder::removeMadeFolders() {
    for (auto it = madeFolders_.rbegin(); it != madeFolders_.rend(); ++it) {
        const std::wstring inside = *it + L"\\";
        const bool holdsAPlaceLeft = std::any_of(notRestored_.begin(), notRestored_.end(),
                                                 [&](const NotRestored& kept) { return kept.place.starts_with(inside); });
        if (!holdsAPlaceLeft && removeAddedPlace(*it)) continue;
        if (!it->starts_with(root_ + L"\\")) continue;
        markAdded(*it);
        if (!holdsAPlaceLeft) notPutBack(*it, L"", true);
    }
    madeFolders_.clear();
}

// Only a place the undo could not remove is marked as one the run added: the
// next run removes it. The swap itself writes no marks, so that an install
// costs no more files than it has members.
void StagedFolder::markAdded(const std::wstring& place) const { makeSideFile(place, run_, SideKind::kAdded); }

// The place and what stays beside it are left for the next run to put back.
void StagedFolder::notPutBack(const std::wstring& place, const std::wstring& keptCopy, bool folder) {
    notRestored_.push_back({place, keptCopy, folder});
    markUndoUnfinished(place, run_);
}

void StagedFolder::removeLeftovers(const std::vector<std::wstring>& places) const {
    // The places' names, by folder.
    std::unordered_map<std::wstring, std::pair<std::wstring, std::unordered_set<std::wstring>>> folders;
    for (const std::wstring& place : places) {
        const size_t slash = place.find_last_of(L'\\');
        const std::wstring folder = slash == std::wstring::npos ? L"" : place.substr(0, slash);
        auto& [path, names] = folders[foldedName(folder)];
        path = folder;
        names.insert(foldedName(slash == std::wstring::npos ? place : place.substr(slash + 1)));
    }
    for (const auto& [key, folder] : folders) {
        const auto& [path, names] = folder;
        const std::wstring base = fullPath(path);
        WIN32_FIND_DATAW found;
        const FindHandle search(FindFirstFileExW((base + L"\\*").c_str(), FindExInfoBasic, &found,
                                                 FindExSearchNameMatch, nullptr, 0));
        if (!search) continue;
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::wstring_view name = found.cFileName;
            const std::optional<SideFileName> side = parseSideFileName(name);
            if (!side || !names.contains(foldedName(side->owner)) || names.contains(foldedName(name))) continue;
            // An old copy is deleted only beside a file in its place: never the only copy.
            if (side->kind == SideKind::kOld && !isFile(base + L"\\" + std::wstring(side->owner))) continue;
            if (isFileOfItsOwn(base, found.cFileName)) deleteSideFile(sideFilePath(base + L"\\" + found.cFileName));
        } while (FindNextFileW(search.get(), &found));
    }
}

}  // namespace vorlane::updater
