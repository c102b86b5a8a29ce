// Putting right what a run that ended half way left in the installation.
#include "update/zip/InterruptedRuns.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "update/AnsiText.h"
#include "update/zip/FinalPath.h"
#include "core/Handles.h"
#include "update/zip/FoldedName.h"
#include "update/zip/SideFiles.h"

namespace vorlane::updater {

namespace {

struct SideFile {
    std::wstring path;
    std::wstring place;
    std::wstring run;
    bool old = false;
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
                         std::wstring(side->run), side->old, written});
    } while (FindNextFileW(search.get(), &data));
}

// The side files of the folders that are where they say below root, each once.
std::vector<SideFile> sideFilesIn(const std::wstring& root, const std::vector<std::wstring>& folders) {
    std::vector<SideFile> found;
    const std::optional<std::wstring> rootFinal = finalPathOf(root);
    if (!rootFinal) return found;
    std::unordered_set<std::wstring> seen;
    for (const std::wstring& folder : folders) {
        if (!seen.insert(foldedName(folder)).second) continue;
        if (folder.empty()) {
            collect(root, found);
            continue;
        }
        const std::wstring path = root + L"\\" + folder;
        if (finalPathOf(path) == *rootFinal + L"\\" + foldedName(folder)) collect(path, found);
    }
    return found;
}

bool isMissing(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
           (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
}

// Runs that left both old and new copies: stopped in their swap or its undo.
std::unordered_map<std::wstring, bool> swappingRuns(const std::vector<SideFile>& files) {
    std::unordered_map<std::wstring, std::pair<bool, bool>> kinds;
    for (const SideFile& file : files) (file.old ? kinds[file.run].first : kinds[file.run].second) = true;
    std::unordered_map<std::wstring, bool> swapping;
    for (const auto& [run, both] : kinds) swapping[run] = both.first && both.second;
    return swapping;
}

std::string putBackLine(const SideFile& file) { return "Put back: " + toAnsi(file.place); }

}  // namespace

std::vector<std::string> recoverInterruptedRuns(const std::wstring& root, const std::vector<std::wstring>& folders) {
    std::vector<SideFile> files = sideFilesIn(root, folders);
    if (files.empty()) return {};
    std::vector<std::string> lines;
    const auto swapping = swappingRuns(files);
    // Old copies first: should this be ended too, the new copies still mark the
    // run as one to undo.
    for (SideFile& file : files) {
        if (file.old && swapping.at(file.run) &&
            MoveFileExW(file.path.c_str(), file.place.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            lines.push_back(putBackLine(file));
            file.settled = true;
        }
    }
    // No new copy is an installed file (the engine installs no file named so).
    for (SideFile& file : files) {
        if (file.old) continue;
        DeleteFileW(file.path.c_str());
        file.settled = true;
    }
    // The newest old copy of a missing file first.
    std::stable_sort(files.begin(), files.end(),
                     [](const SideFile& a, const SideFile& b) { return a.written > b.written; });
    for (SideFile& file : files) {
        if (file.settled || !file.old || !isMissing(file.place)) continue;
        if (MoveFileExW(file.path.c_str(), file.place.c_str(), 0)) {
            lines.push_back(putBackLine(file));
            file.settled = true;
        }
    }
    for (const SideFile& file : files)
        if (!file.settled && file.old && (swapping.at(file.run) || isMissing(file.place)))
            lines.push_back("Not put back: " + toAnsi(file.place) + " (the old file is kept as " +
                            toAnsi(file.path) + ")");
    return lines;
}

}  // namespace vorlane::updater
