#include "update/zip/StagedFolder.h"

#include <algorithm>
#include <cwctype>

#include "update/AnsiText.h"
#include "update/zip/ZipFailure.h"

namespace vorlane::updater {

namespace {

[[noreturn]] void diskFailure(const std::string& what, const std::wstring& path) {
    const DWORD code = GetLastError();
    throw ZipFailure(kUnzipDiskError, what + " " + toAnsi(path) + " (system error " + std::to_string(code) + ")");
}

bool samePlace(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towupper(x) == std::towupper(y);
           });
}

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

StagedFolder::StagedFolder(std::wstring root) : root_(std::move(root)) {
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
    if (isFolder(folder)) return;
    const size_t parentEnd = folder.find_last_of(L'\\');
    if (parentEnd != std::wstring::npos && parentEnd > 0 && folder[parentEnd - 1] != L':' &&
        folder[parentEnd - 1] != L'\\')
        makeLevels(folder.substr(0, parentEnd));
    if (!CreateDirectoryW(folder.c_str(), nullptr)) diskFailure("cannot make the folder", folder);
    madeFolders_.push_back(folder);
}

std::wstring StagedFolder::sideName(const std::wstring& target, const wchar_t* kind) {
    return target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter_) + kind;
}

void StagedFolder::beginFile(const std::wstring& relative) {
    StagedFile file;
    file.target = fullPath(relative);
    if (isFolder(file.target)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        diskFailure("a folder is in the way of", file.target);
    }
    for (auto it = files_.begin(); it != files_.end(); ++it) {
        if (!samePlace(it->target, file.target)) continue;
        DeleteFileW(it->temporary.c_str());
        files_.erase(it);
        break;
    }
    file.temporary = sideName(file.target, L".new");
    file.backup = sideName(file.target, L".old");
    open_.reset(CreateFileW(file.temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!open_) diskFailure("cannot write", file.temporary);
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
    file.oldAttributes = GetFileAttributesW(file.target.c_str());
    if (file.oldAttributes != INVALID_FILE_ATTRIBUTES && (file.oldAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        diskFailure("a folder is in the way of", file.target);
    }
    if (file.oldAttributes != INVALID_FILE_ATTRIBUTES) {
        if (file.oldAttributes & FILE_ATTRIBUTE_READONLY) {
            SetFileAttributesW(file.target.c_str(), file.oldAttributes & ~FILE_ATTRIBUTE_READONLY);
            file.attributesCleared = true;
        }
        if (!MoveFileExW(file.target.c_str(), file.backup.c_str(), 0)) diskFailure("cannot replace", file.target);
        file.oldMovedAside = true;
    }
    if (!MoveFileExW(file.temporary.c_str(), file.target.c_str(), 0)) diskFailure("cannot replace", file.target);
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
        if (!file.oldMovedAside || DeleteFileW(file.backup.c_str())) continue;
        // A program that still runs (this one, being replaced) goes at the next restart.
        MoveFileExW(file.backup.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

void StagedFolder::undo() {
    open_.reset();
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
        if (it->oldMovedAside)
            MoveFileExW(it->backup.c_str(), it->target.c_str(), MOVEFILE_REPLACE_EXISTING);
        else if (it->newMovedIn)
            DeleteFileW(it->target.c_str());
        if (!it->newMovedIn) DeleteFileW(it->temporary.c_str());
        if (it->attributesCleared) SetFileAttributesW(it->target.c_str(), it->oldAttributes);
    }
    files_.clear();
    for (auto it = madeFolders_.rbegin(); it != madeFolders_.rend(); ++it) RemoveDirectoryW(it->c_str());
    madeFolders_.clear();
}

}  // namespace vorlane::updater
