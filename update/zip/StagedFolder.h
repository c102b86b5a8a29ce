// Changes to a folder made all at once. New files are written beside their
// final places first; commit then moves the old files aside, the new ones in,
// and deletes the old ones only when every move has worked. Whatever has not
// been committed when the object goes is undone, so the folder ends either
// wholly changed or as it was (folders made on the way are removed again).
// A file another program holds for a moment is tried again, in the swap and
// in its undo alike. Should putting a place back fail all the same, the undo
// goes on with the others and tells which places are not as they were; what
// they need to be put back stays beside them for the next run, which does it
// (see InterruptedRuns.h).
//
// The files beside the final places are named after them:
// "<place>.<process>-<number>.new" and ".old", and ".added", an empty mark
// beside a file or folder that this run put where nothing was and its undo
// could not remove. Moving a file aside works even while it runs as a
// program, so the update engine can replace its own program file; that old
// copy, or a new one left by a run that was ended half way, is removed by a
// later run that replaces the same place (an old copy only while a file is in
// its place: it is never the only copy).
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

    // On failure the folder is put back as far as it can be; the places that
    // could not be are in notRestored() afterwards.
    void commit();

    // Puts the folder back as far as it can be, as the object does when it
    // goes uncommitted; a second call finds nothing left to do.
    void undo();

    struct NotRestored {
        std::wstring place;     // a full path
        std::wstring keptCopy;  // the old copy left beside it; empty where nothing was before
        bool folder = false;    // a folder made by this run, which could not be removed
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
        std::wstring backup;  // the old copy's name
        bool oldMovedAside = false;
        bool newMovedIn = false;
    };

    void makeLevels(const std::wstring& folder);
    std::wstring sideName(const std::wstring& target, const wchar_t* kind);
    void putInPlace(StagedFile& file);
    void putBack(const StagedFile& file);
    void removeMadeFolders();
    void markAdded(const std::wstring& place) const;
    void notPutBack(const std::wstring& place, const std::wstring& keptCopy, bool folder);

    std::wstring root_;
    std::wstring run_;  // the process number that names this run's side files
    std::vector<StagedFile> files_;
    std::vector<std::wstring> madeFolders_;
    std::unordered_set<std::wstring> knownFolders_;  // there already, or made: not asked again
    std::vector<NotRestored> notRestored_;
    FileHandle open_;
    unsigned counter_ = 0;
    bool committed_ = false;
};

}  // namespace vorlane::updater
