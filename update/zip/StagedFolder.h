// Changes to a folder made all at once. New files are written beside their
// final places first; commit then moves the old files aside, the new ones in,
// and deletes the old ones only when every move has worked. Whatever has not
// been committed when the object goes is undone, so the folder ends either
// wholly changed or as it was (folders made on the way are removed again).
// Should putting a file back fail, the undo goes on with the others and tells
// which files are not as they were; their old copies stay beside them.
//
// The files beside the final places are named after them:
// "<place>.<process>-<number>.new" and ".old". Moving a file aside works even
// while it runs as a program, so the update engine can replace its own
// program file; that old copy, or a new one left by a run that was ended half
// way, is removed by a later run that replaces the same place (an old copy
// only while a file is in its place: it is never the only copy).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/Handles.h"

namespace vorlane::updater {

class StagedFolder {
public:
    // root: a full path without a trailing backslash. Missing levels of it
    // are made now. ZipFailure kUnzipDiskError on failure, here and below.
    explicit StagedFolder(std::wstring root);
    ~StagedFolder();
    StagedFolder(const StagedFolder&) = delete;
    StagedFolder& operator=(const StagedFolder&) = delete;

    const std::wstring& root() const { return root_; }
    std::wstring fullPath(const std::wstring& relative) const;

    // Makes the folder below the root and the levels above it that are missing.
    void makeFolder(const std::wstring& relative);

    // One new file at a time: begin, write its bytes, end with its time stamp.
    // Each place takes one file.
    void beginFile(const std::wstring& relative);
    void write(std::string_view bytes);
    void endFile(const FILETIME& modified);

    // On failure the folder is put back as far as it can be; the files that
    // could not be are in notRestored() afterwards.
    void commit();

    struct NotRestored {
        std::wstring place;     // relative to the root
        std::wstring keptCopy;  // the old copy left beside it; empty when a new file could not be removed
    };
    const std::vector<NotRestored>& notRestored() const { return notRestored_; }

    // Deletes what earlier runs left beside these places (relative to the
    // root): files named as this class names its side files after one of
    // them, unless that name is itself one of the places.
    void removeLeftovers(const std::vector<std::wstring>& places) const;

private:
    struct StagedFile {
        std::wstring target;
        std::wstring temporary;
        std::wstring backup;
        DWORD oldAttributes = INVALID_FILE_ATTRIBUTES;  // of the file it replaces, when there is one
        bool attributesCleared = false;
        bool oldMovedAside = false;
        bool newMovedIn = false;
    };

    void makeLevels(const std::wstring& folder);
    std::wstring sideName(const std::wstring& target, const wchar_t* kind);
    void putInPlace(StagedFile& file);
    void undo();

    std::wstring root_;
    std::vector<StagedFile> files_;
    std::vector<std::wstring> madeFolders_;
    std::unordered_set<std::wstring> knownFolders_;  // there already, or made: not asked again
    std::vector<NotRestored> notRestored_;
    FileHandle open_;
    unsigned counter_ = 0;
    bool committed_ = false;
};

}  // namespace vorlane::updater
