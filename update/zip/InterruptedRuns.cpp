// Putting right what a run that ended half way left in the installation.
#include "update/zip/InterruptedRuns.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "update/AnsiText.h"
#include "update/zip/FinalPath.h"
#include "core/Handles.h"
#include "update/zip/FoldedName.h"
#include "update/zip/PutBack.h"
#include "update/zip/SideFiles.h"

namespace vorlane::updater {

namespace {

struct SideFile {
    std::wstring path;
    std::wstring place;
    std::wstring run;
    SideKind kind = SideKind::kNew;
    ULONGLONG written = 0;
    bool settled = false;
};

// The side files in folder; links are not taken.
void collect(const std::wstring& folder, std::vector<SideFile>& found) {
    WIN32_FIND_DATAW data;
    const FindHandle search(
        FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!search) return;
    do {
        if (data.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) continue;
        const auto side = parseSideFileName(data.cFileName);
        if (!side || !isFileOfItsOwn(folder, data.cFileName)) continue;
        const ULONGLONG written =
            (ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
        found.push_back({sideFilePath(folder + L"\\" + data.cFileName), folder + L"\\" + std::wstring(side->owner),
                         std::wstring(side->run), side->kind, written});
    } while (FindNextFileW(search.get(), &data));
}

// The side files of the folders that are where they say below root, each
// once. A folder a run made is wholly its own: the side files in it are taken
// too, so that one look finds all that run left there.
std::vector<SideFile> sideFilesIn(const std::wstring& root, const std::vector<std::wstring>& folders) {
    std::vector<SideFile> found;
    const std::optional<std::wstring> rootFinal = finalPathOf(root);
    if (!rootFinal) return found;
    std::unordered_set<std::wstring> seen;
    std::vector<std::wstring> pending = folders;
    for (size_t next = 0; next < pending.size(); ++next) {
        const std::wstring folder = pending[next];
        if (!seen.insert(foldedName(folder)).second) continue;
        const std::wstring path = folder.empty() ? root : root + L"\\" + folder;
        if (!folder.empty() && finalPathOf(path) != *rootFinal + L"\\" + foldedName(folder)) continue;
        const size_t before = found.size();
        collect(path, found);
        for (size_t at = before; at < found.size(); ++at)
            if (found[at].kind == SideKind::kAdded && isFolder(found[at].place))
                pending.push_back(found[at].place.substr(root.size() + 1));
    }
    return found;
}

// Runs that left new copies beside old copies or marks: stopped in their swap
// or its undo.
std::unordered_set<std::wstring> undoingRuns(const std::vector<SideFile>& files) {
    std::unordered_set<std::wstring> changed, unswapped, undoing;
    for (const SideFile& file : files) (file.kind == SideKind::kNew ? unswapped : changed).insert(file.run);
    for (const std::wstring& run : changed)
        if (unswapped.contains(run)) undoing.insert(run);
    return undoing;
}

class Recovery {
public:
    explicit Recovery(std::vector<SideFile> files) : files_(std::move(files)), undoing_(undoingRuns(files_)) {}

    std::vector<std::string> run() {
        // Old copies and added files first: should this be ended too, the new
        // copies still mark the run as one to undo.
        for (SideFile& file : files_)
            if (file.kind == SideKind::kOld && undoes(file)) putBack(file, "Put back: ");
        removeAdded(false);
        // No new copy is an installed file (the engine installs no file named so).
        for (SideFile& file : files_)
            if (file.kind == SideKind::kNew)
                file.settled = deleteWhenFree(file.path);
        removeAdded(true);
        restoreOnlyCopies();
        leaveTheRestForLater();
        return lines_;
    }

private:
    bool undoes(const SideFile& file) const { return undoing_.contains(file.run); }

    void putBack(SideFile& file, const char* line) {
        file.settled = putPlaceBack(file.place, file.path, file.kind);
        if (file.settled) lines_.push_back(line + toAnsi(file.place));
    }

    // The files a run added, or the folders it made once their new copies are
    // gone: deepest first, so that a folder is empty by its turn.
    void removeAdded(bool folders) {
        std::vector<SideFile*> added;
        for (SideFile& file : files_) {
            if (file.kind == SideKind::kAdded && !file.settled && undoes(file) && isFolder(file.place) == folders)
                added.push_back(&file);
        }
        std::stable_sort(added.begin(), added.end(),
                         [](const SideFile* a, const SideFile* b) { return a->place.size() > b->place.size(); });
        for (SideFile* file : added) putBack(*file, "Removed: ");
    }

    // The newest old copy of a missing file first.
    void restoreOnlyCopies() {
        std::vector<SideFile*> old;
        for (SideFile& file : files_)
            if (!file.settled && file.kind == SideKind::kOld) old.push_back(&file);
        std::stable_sort(old.begin(), old.end(),
                         [](const SideFile* a, const SideFile* b) { return a->written > b->written; });
        for (SideFile* file : old) {
            if (!isMissing(file->place) || !MoveFileExW(file->path.c_str(), file->place.c_str(), 0)) continue;
            lines_.push_back("Put back: " + toAnsi(file->place));
            file->settled = true;
        }
    }

    // Beside each place of a run still to put back, a new copy says so to the
    // next run that looks in its folder.
    void leaveTheRestForLater() {
        for (const SideFile& file : files_) {
            if (file.settled || file.kind == SideKind::kNew) continue;
            if (!undoes(file) && !(file.kind == SideKind::kOld && isMissing(file.place))) continue;
            const bool old = file.kind == SideKind::kOld;
            lines_.push_back("Not put back: " + toAnsi(file.place) +
                             (old ? " (the old file is kept as " + toAnsi(file.path) + ")" : ""));
            if (undoes(file)) markUndoUnfinished(file.place, file.run);
        }
    }

    std::vector<SideFile> files_;
    const std::unordered_set<std::wstring> undoing_;
    std::vector<std::string> lines_;
};

}  // namespace

std::vector<std::string> recoverInterruptedRuns(const std::wstring& root, const std::vector<std::wstring>& folders) {
    std::vector<SideFile> files = sideFilesIn(root, folders);
    if (files.empty()) return {};
    return Recovery(std::move(files)).run();
}

}  // namespace vorlane::updater
