// Changes to a folder made all at once. New files are written beside their
// final places first; commit then moves the old files aside, the new ones in,
// and deletes the old ones only when every move has worked. Whatever has not
// been committed when the object goes is undone, so the folder ends either
// wholly changed or as it was (folders made on the way are removed again).
//
// Moving a file aside works even while it runs as a program, so the update
// engine can replace its own program file.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
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
    // A second file for the same place replaces the first.
    void beginFile(const std::wstring& relative);
    void write(std::string_view bytes);
    void endFile(const FILETIME& modified);

    void commit();

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
    FileHandle open_;
    unsigned counter_ = 0;
    bool committed_ = false;
};

}  // namespace vorlane::updater
