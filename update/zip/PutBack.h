// Putting a place back as it was before a run changed it, and what a run that
// could not leaves for the next one. Other programs (a virus scanner looking
// at a file just moved in, an indexer) often hold a file or folder for a
// moment without leave to replace or delete it: such a one is tried again for
// a while, by these steps and by the swap's own moves alike.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "update/zip/SideFiles.h"

namespace vorlane::updater {

// Calls attempt, a platform call that sets the last error when it fails,
// until it succeeds, fails for another reason than a hold, or has been held
// for about two seconds. The last error is then the last attempt's.
bool retryWhileHeld(const std::function<bool()>& attempt);

// Deletes a file, tried again while it is held; whether it is gone.
bool deleteWhenFree(const std::wstring& path);

// True when nothing is at path, not even the folder it would lie in.
bool isMissing(const std::wstring& path);
bool isFolder(const std::wstring& path);

// Removes what stands at a place that held nothing, tried again while it is
// held: a file of its own (a link's delete would reach the file it leads to),
// or an empty folder. True when nothing is left there.
bool removeAddedPlace(const std::wstring& place);

// Puts place (a full path) back as its side file says it was: an old copy is
// moved over whatever is there; for a place that held nothing (kAdded) the
// file there is deleted, or the folder there removed when it is empty, and
// then the mark. False when the place could not be put back; its side file
// stays for the next run.
bool putPlaceBack(const std::wstring& place, const std::wstring& sideFile, SideKind kind);

// Makes an empty side file of that kind beside place for run, under a number
// that no file holds yet; its path, or nothing when none could be made.
std::optional<std::wstring> makeSideFile(const std::wstring& place, std::wstring_view run, SideKind kind);

// A run that leaves a new copy beside a place stopped in its swap or in its
// undo: the next run finishes the undo. Beside a place that could not be put
// back, an empty one says so to every later run that looks in its folder.
inline void markUndoUnfinished(const std::wstring& place, std::wstring_view run) {
    makeSideFile(place, run, SideKind::kNew);
}

}  // namespace vorlane::updater
